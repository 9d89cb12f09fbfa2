#include "importerrecorder.h"
#include "schemaimporter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cerrno>

using importertest::python;
using importertest::script;

// The inspector run as a child process: every way it can end, cancel, destruction and
// the bounds on what it may print.
class TestSchemaImporter : public QObject
{
    Q_OBJECT

private slots:
    void reportsOfARun_data();
    void reportsOfARun();
    void exitMessageCarriesUnreadStandardError();
    void errorReportsByKind_data();
    void errorReportsByKind();
    void cancelKillsTheScriptAndSaysSo();
    void cancelWithoutARunningScriptReportsNothing();
    void startAgainReplacesTheProcess();
    void destroyingTheImporterStopsTheScriptSilently();
    void endlessOutputIsRefusedNearTheBound();
    void floodOfProgressIsPassedOnInPieces();

private:
    QTemporaryDir m_dir;
};

namespace {

QString parserError(const QByteArray &bytes)
{
    QJsonParseError error;
    QJsonDocument::fromJson(bytes, &error);
    return error.errorString();
}

// The current process: a dropped one may still wait for its deferred deletion before it.
QProcess *processOf(SchemaImporter &importer)
{
    const QList<QProcess *> processes = importer.findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    return processes.isEmpty() ? nullptr : processes.last();
}

qint64 peakResidentKiB()
{
    const QList<QByteArray> lines = testsupport::readFileBytes(QStringLiteral("/proc/self/status")).split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

void TestSchemaImporter::reportsOfARun_data()
{
    QTest::addColumn<QString>("interpreter");
    QTest::addColumn<QString>("scriptName");
    // Printed by print_file.py when not null.
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QStringList>("expected");

    const QString invalid = QStringLiteral("failed:Invalid JSON from Python: ");
    auto printed = [&](const char *name, const QByteArray &output, const QStringList &expected) {
        QTest::newRow(name) << python << "print_file.py" << output << expected;
    };
    printed("empty object", "{}", {"finished:"});
    printed("nothing printed", QByteArray(""), {"failed:Python produced no output."});
    printed("blanks only", " \n\t\n", {invalid + parserError(" \n\t\n")});
    // A top-level array parses without error: the description is the toolkit's "no error".
    printed("top-level array", "[]", {invalid + QStringLiteral("no error occurred")});
    printed("top-level string", "\"text\"", {invalid + parserError("\"text\"")});
    printed("truncated", "{\"tables\": [", {invalid + parserError("{\"tables\": [")});
    // The toolkit's parser skips a byte-order mark.
    printed("byte-order mark", "\xEF\xBB\xBF{}", {"finished:"});
    printed("invalid UTF-8", "{\"a\": \"\xFF\"}", {invalid + parserError("{\"a\": \"\xFF\"}")});
    printed("dialect passed on", "{\"meta\": {\"dialect\": \"postgresql\"}}\n", {"finished:postgresql"});

    // The reason shown as progress a moment before is repeated in the failure.
    QTest::newRow("error text already shown")
        << python << "fail_with_message.py" << QByteArray()
        << QStringList{"progress:boom: no such schema", "failed:Python exited with code 2.\nboom: no such schema"};
    QTest::newRow("blank standard error")
        << python << "blank_progress.py" << QByteArray() << QStringList{"progress:", "finished:"};
    QTest::newRow("killed by a signal")
        << python << "kill_self.py" << QByteArray()
        << QStringList{"progress:about to die", "failed:Python process crashed.",
                       "failed:Python process terminated unexpectedly."};
    // The application closes the script's input, so reading it ends at once.
    QTest::newRow("reads its input") << python << "read_stdin.py" << QByteArray()
                                     << QStringList{"finished:read 0 bytes"};
    const QString startFailure = QStringLiteral(
        "failed:Failed to start Python. Check that the Python executable path is correct.");
    QTest::newRow("missing interpreter")
        << "/nonexistent/python3" << "sleep.py" << QByteArray() << QStringList{startFailure};
    QTest::newRow("interpreter not on the search path")
        << "velmora-no-such-python" << "sleep.py" << QByteArray() << QStringList{startFailure};
    QTest::newRow("interpreter not executable")
        << script("sleep.py") << "sleep.py" << QByteArray() << QStringList{startFailure};
}

void TestSchemaImporter::reportsOfARun()
{
    QFETCH(QString, interpreter);
    QFETCH(QString, scriptName);
    QFETCH(QByteArray, output);
    QFETCH(QStringList, expected);

    QStringList args;
    if (scriptName == QLatin1String("print_file.py")) {
        const QString path = m_dir.filePath(QStringLiteral("output.json"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(output);
        file.close();
        args << path;
    } else if (scriptName == QLatin1String("fail_with_message.py")) {
        args << QStringLiteral("  boom: no such schema\n");
    }

    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(interpreter, script(scriptName), args);
    QVERIFY(recorder.waitForEnd());
    QCOMPARE(recorder.events, expected);

    if (expected == QStringList{"finished:"}) {
        const QJsonObject empty{{"version", "1.0"}, {"type", "er-diagram"}, {"dialect", ""},
                                {"entities", QJsonArray()}, {"edges", QJsonArray()}};
        QCOMPARE(recorder.erJson, empty);
        QCOMPARE(recorder.fullSchema, QJsonObject());
    }
}

void TestSchemaImporter::exitMessageCarriesUnreadStandardError()
{
    // A missing script: the interpreter says so on standard error and exits with 2.
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(python, QStringLiteral("/nonexistent/schema_inspector.py"), {});
    QVERIFY(recorder.waitForEnd());
    QVERIFY2(recorder.events.last().startsWith(QLatin1String("failed:Python exited with code 2.\n")),
             qPrintable(recorder.events.join(QLatin1Char('|'))));

    // The toolkit hands standard error over as progress before it reports the end; with
    // the progress hook taken away it is still unread then and becomes the second line.
    recorder.events.clear();
    importer.start(python, script(QStringLiteral("fail_with_message.py")), {QStringLiteral(" no such schema \n")});
    QVERIFY(disconnect(processOf(importer), &QProcess::readyReadStandardError, &importer, nullptr));
    QVERIFY(recorder.waitForEnd());
    QCOMPARE(recorder.events, QStringList({"progress:no such schema",
                                           "failed:Python exited with code 2.\nno such schema"}));
}

void TestSchemaImporter::errorReportsByKind_data()
{
    QTest::addColumn<QProcess::ProcessError>("error");
    QTest::addColumn<QString>("message");
    QTest::newRow("failed to start") << QProcess::FailedToStart
                                     << "Failed to start Python. Check that the Python executable path is correct.";
    QTest::newRow("crashed") << QProcess::Crashed << "Python process crashed.";
    QTest::newRow("timed out") << QProcess::Timedout << "Process error: 2";
    QTest::newRow("write error") << QProcess::WriteError << "Process error: 4";
    QTest::newRow("unknown") << QProcess::UnknownError << "Process error: 5";
}

void TestSchemaImporter::errorReportsByKind()
{
    QFETCH(QProcess::ProcessError, error);
    QFETCH(QString, message);
    // No script can make the toolkit report these on demand: the slot is called directly.
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    QVERIFY(QMetaObject::invokeMethod(&importer, "onProcessError", Q_ARG(QProcess::ProcessError, error)));
    QCOMPARE(recorder.events, QStringList{QLatin1String("failed:") + message});
}

void TestSchemaImporter::cancelKillsTheScriptAndSaysSo()
{
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(python, script(QStringLiteral("sleep.py")), {});
    QTRY_COMPARE(processOf(importer)->state(), QProcess::Running);

    QElapsedTimer clock;
    clock.start();
    importer.cancel();
    QVERIFY(clock.elapsed() < 3500);
    // Delivered from inside cancel(), once, as what it is.
    const QStringList cancelled{"failed:The import was cancelled."};
    QCOMPARE(recorder.events, cancelled);
    QTest::qWait(100);
    QCOMPARE(recorder.events, cancelled);
}

void TestSchemaImporter::cancelWithoutARunningScriptReportsNothing()
{
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.cancel();
    QVERIFY(recorder.events.isEmpty());

    importer.start(python, script(QStringLiteral("read_stdin.py")), {});
    QVERIFY(recorder.waitForEnd());
    importer.cancel();
    importer.cancel();
    QTest::qWait(50);
    QCOMPARE(recorder.events, QStringList{"finished:read 0 bytes"});
}

void TestSchemaImporter::startAgainReplacesTheProcess()
{
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(python, script(QStringLiteral("read_stdin.py")), {});
    QVERIFY(recorder.waitForEnd());
    // After an end: the old process goes without a word.
    recorder.events.clear();
    importer.start(python, script(QStringLiteral("read_stdin.py")), {});
    QVERIFY(recorder.waitForEnd());
    QCOMPARE(recorder.events, QStringList{"finished:read 0 bytes"});
    QCOMPARE(importer.findChildren<QProcess *>().size(), 1);

    // While running: the old script is killed as by cancel, then the new one runs.
    recorder.events.clear();
    importer.start(python, script(QStringLiteral("sleep.py")), {});
    QTRY_COMPARE(processOf(importer)->state(), QProcess::Running);
    importer.start(python, script(QStringLiteral("read_stdin.py")), {});
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, 30000);
    QCOMPARE(recorder.events, QStringList({"failed:The import was cancelled.", "finished:read 0 bytes"}));
}

void TestSchemaImporter::destroyingTheImporterStopsTheScriptSilently()
{
    auto *importer = new SchemaImporter;
    QStringList events;
    connect(importer, &SchemaImporter::failed, this, [&](const QString &m) { events << m; });
    connect(importer, &SchemaImporter::finished, this, [&] { events << QStringLiteral("finished"); });
    connect(importer, &SchemaImporter::progressMessage, this, [&](const QString &m) { events << m; });
    importer->start(python, script(QStringLiteral("sleep.py")), {});
    QTRY_COMPARE(processOf(*importer)->state(), QProcess::Running);
    const qint64 pid = processOf(*importer)->processId();
    QVERIFY(pid > 0);

    QElapsedTimer clock;
    clock.start();
    delete importer;
    QVERIFY(clock.elapsed() < 3500);
    QTest::qWait(50);
    QCOMPARE(events, QStringList());
    // Killed and reaped, not left behind.
    QCOMPARE(::kill(pid_t(pid), 0), -1);
    QCOMPARE(errno, ESRCH);
}

void TestSchemaImporter::endlessOutputIsRefusedNearTheBound()
{
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(python, script(QStringLiteral("print_endless.py")), {});
    QVERIFY(recorder.waitForEnd(120000));
    QCOMPARE(recorder.events,
             QStringList{"failed:Invalid JSON from Python: the output is larger than 256 MiB."});
    QVERIFY(processOf(importer) == nullptr || processOf(importer)->state() == QProcess::NotRunning);
    // Loosely: the importer held the bound and not much more.
    const qint64 peak = peakResidentKiB();
    QVERIFY2(peak > 0 && peak < 1024 * 1024, qPrintable(QString::number(peak)));
}

void TestSchemaImporter::floodOfProgressIsPassedOnInPieces()
{
    const QString piece = QStringLiteral("step").repeated(1024);
    const int pieces = 1000;
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(python, script(QStringLiteral("stderr_flood.py")), {piece, QString::number(pieces)});
    QVERIFY(recorder.waitForEnd());
    QCOMPARE(recorder.events.last(), QStringLiteral("finished:"));
    QString shown;
    for (int i = 0; i < recorder.events.size() - 1; ++i) {
        QVERIFY(recorder.events.at(i).startsWith(QLatin1String("progress:")));
        shown += recorder.events.at(i).mid(9);
    }
    QCOMPARE(shown, piece.repeated(pieces));
    QVERIFY(recorder.events.size() > 2);
}

QTEST_GUILESS_MAIN(TestSchemaImporter)
#include "tst_schemaimporter.moc"
