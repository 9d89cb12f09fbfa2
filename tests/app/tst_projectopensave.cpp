// Open and Save through the window's actions: the committed fixtures, files that cannot
// be opened, and targets that cannot be written.
#include "diagramitem.h"
#include "erscene.h"
#include "erview.h"
#include "explorerkinds.h"
#include "modelitem.h"
#include "projectitem.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QComboBox>
#include <QDir>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardItemModel>
#include <QTemporaryDir>

using namespace projecttest;

namespace {

const QString OpenFailure = QStringLiteral("Could not open the selected file as a project or diagram.");
const QString SaveFailure = QStringLiteral("Could not save the project file.");

// What a failed Open must leave exactly as it was.
struct WindowState
{
    ProjectItem *project = nullptr;
    ModelItem *model = nullptr;
    DiagramItem *diagram = nullptr;
    int items = 0;
    QString filePath;
    QString status;
    QJsonObject document;

    static WindowState of(MainWindow &w)
    {
        MainWindowProbe probe(w);
        return {probe.project(), probe.currentModel(), probe.currentDiagram(),
                diagramItemCount(probe.scene()), probe.scene()->filePath, statusText(w),
                probe.project()->toDocument()};
    }

    bool operator==(const WindowState &o) const
    {
        return project == o.project && model == o.model && diagram == o.diagram && items == o.items
            && filePath == o.filePath && status == o.status && document == o.document;
    }
};

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStandardItem *childWithText(QStandardItem *parent, const QString &text)
{
    for (int row = 0; row < parent->rowCount(); ++row) {
        if (parent->child(row)->text() == text)
            return parent->child(row);
    }
    return nullptr;
}

} // namespace

class TestProjectOpenSave : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void openShowsFirstModelsFirstDiagram_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("diagram");
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<int>("items");
        // The chooser shows "DuckDB" before each open.
        QTest::newRow("project") << "sample-project.json" << "Sample Shop" << "Sales" << "Customers"
                                 << "PostgreSQL" << 11;
        QTest::newRow("first model without diagram") << "project-first-model-without-diagram.json"
                                                     << "Sample Shop" << "Archive" << "" << "SQLite" << 0;
        QTest::newRow("diagram with dialect") << "diagram-with-dialect.json" << "Untitled Project"
                                              << "Model 1" << "Diagram 1" << "MySQL" << 3;
        QTest::newRow("diagram without dialect") << "diagram-without-dialect.json" << "Untitled Project"
                                                 << "Model 1" << "Diagram 1" << "DuckDB" << 3;
    }

    void openShowsFirstModelsFirstDiagram()
    {
        QFETCH(QString, file);
        QFETCH(QString, project);
        QFETCH(QString, model);
        QFETCH(QString, diagram);
        QFETCH(QString, dialect);
        QFETCH(int, items);

        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        MainWindowProbe probe(w);
        auto *combo = w.findChild<QComboBox *>(QStringLiteral("comboBoxDatabase"));
        combo->setCurrentText(QStringLiteral("DuckDB"));
        auto *view = w.findChild<ERView *>(QStringLiteral("view"));
        view->setZoom(2.0);
        const QString path = copyFixture(file, m_dir.path());
        // The dialect chosen is a change of the empty project, let go before the open.
        m_prompts.answerAsk(QStringLiteral("Discard"));

        QVERIFY(open(w, m_prompts, path));

        QCOMPARE(probe.project()->name(), project);
        QCOMPARE(probe.currentModel()->name(), model);
        QCOMPARE(probe.currentDiagram() ? probe.currentDiagram()->name() : QString(), diagram);
        QCOMPARE(probe.currentModel()->dialect(), dialect);
        QCOMPARE(combo->currentText(), dialect);
        QCOMPARE(probe.scene()->dialect, dialect);
        QCOMPARE(diagramItemCount(probe.scene()), items);
        QCOMPARE(probe.scene()->sceneRect(), probe.scene()->itemsBoundingRect().adjusted(-100, -100, 100, 100));
        QCOMPARE(view->zoomFactor, 1.0);
        QCOMPARE(view->transform().m11(), 1.0);
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("labelZoomPercent"))->text(), QStringLiteral("100%"));
        QCOMPARE(statusText(w), file);
        QCOMPARE(probe.scene()->filePath, path);
        QCOMPARE(probe.bulkUpdate(), false);

        // Save writes a project document into the same file without asking.
        trigger(w, "action_Save");
        QVERIFY(waitIdle(w));
        const QJsonObject saved = readJson(path);
        QCOMPARE(saved.value(QStringLiteral("version")).toString(), QStringLiteral("2.0"));
        QCOMPARE(saved.value(QStringLiteral("type")).toString(), QStringLiteral("corva-project"));
        QCOMPARE(saved, probe.project()->toDocument());
    }

    // A plain run asks for no logging rules: opening and saving a project prints nothing.
    void openAndSaveLogNothing()
    {
        QLoggingCategory::setFilterRules(QString());
        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext &, const QString &message) { logged.append(message); });
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });
        MainWindow w;
        const QString path = copyFixture(QStringLiteral("sample-project.json"), m_dir.path());

        QVERIFY(open(w, m_prompts, path));
        trigger(w, "action_Save");
        QVERIFY(waitIdle(w));

        QVERIFY2(logged.isEmpty(), qPrintable(logged.mid(0, 5).join(QLatin1Char('\n'))));
    }

    void openFailureChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("log");
        // Bytes to write; "<missing>", "<directory>" and "<huge>" stand for special files.
        QTest::newRow("missing file") << QByteArray("<missing>") << "Cannot open file:";
        QTest::newRow("directory") << QByteArray("<directory>") << "Cannot open file:";
        QTest::newRow("above 512 MiB") << QByteArray("<huge>") << "Cannot open file:";
        QTest::newRow("empty file") << QByteArray() << "Invalid JSON file:";
        QTest::newRow("not UTF-8") << QByteArray("{\"name\": \"\xff\xfe\"}") << "Invalid JSON file:";
        QTest::newRow("not JSON") << QByteArray("CREATE TABLE t (id int);") << "Invalid JSON file:";
        QTest::newRow("array") << QByteArray("[{\"type\": \"er-diagram\"}]") << "Invalid JSON file:";
        QTest::newRow("string") << QByteArray("\"er-diagram\"") << "Invalid JSON file:";
        QTest::newRow("empty object") << QByteArray("{}") << "Invalid JSON file:";
        QTest::newRow("unrelated object") << QByteArray("{\"name\": \"settings\", \"entities\": 3}")
                                          << "Invalid JSON file:";
        QTest::newRow("project data not an object")
            << QByteArray("{\"type\": \"corva-project\", \"version\": \"2.0\", \"data\": 7}") << "Invalid JSON file:";
    }

    void openFailureChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, log);
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        const WindowState before = WindowState::of(w);

        QString path = tempPath(QStringLiteral("bad.json"));
        QFile::remove(path);
        if (bytes == "<directory>") {
            path = m_dir.path();
        } else if (bytes == "<huge>") {
            QFile huge(path);
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(512LL * 1024 * 1024 + 1));
        } else if (bytes != "<missing>") {
            QVERIFY(writeBytes(path, bytes));
        }
        m_prompts.allowed = 1;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QLatin1Char('^') + QRegularExpression::escape(log)));

        QVERIFY(open(w, m_prompts, path));

        const QList<ScriptedPrompts::Prompt> warnings = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings.first().title, QStringLiteral("Open Project"));
        QCOMPARE(warnings.first().text, OpenFailure);
        QVERIFY(WindowState::of(w) == before);
        QFile::remove(path);
    }

    void openListsWhatWasLeftOut_data()
    {
        QTest::addColumn<int>("leftOut");
        QTest::addColumn<int>("lines");
        QTest::newRow("two parts") << 2 << 2;
        QTest::newRow("more than twenty") << 25 << 21;
    }

    void openListsWhatWasLeftOut()
    {
        QFETCH(int, leftOut);
        QFETCH(int, lines);
        QJsonObject document = readJson(fixture(QStringLiteral("sample-project.json")));
        QJsonArray diagrams = document.value(QStringLiteral("diagrams")).toArray();
        for (int i = 0; i < leftOut; ++i)
            diagrams.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("er-diagram")}});
        document.insert(QStringLiteral("diagrams"), diagrams);
        const QString path = tempPath(QStringLiteral("partly-read.json"));
        QVERIFY(writeBytes(path, QJsonDocument(document).toJson()));
        MainWindow w;
        MainWindowProbe probe(w);
        m_prompts.allowed = 1;

        QVERIFY(open(w, m_prompts, path));

        QCOMPARE(probe.currentDiagram()->name(), QStringLiteral("Customers"));
        QCOMPARE(statusText(w), QStringLiteral("partly-read.json"));
        const QList<ScriptedPrompts::Prompt> warnings = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings.first().title, QStringLiteral("Open Project"));
        const QStringList text = warnings.first().text.split(QLatin1Char('\n'));
        QCOMPARE(text.first(), QStringLiteral("Some parts of the file could not be read and were left out:"));
        QCOMPARE(text.size(), 1 + lines);
        QCOMPARE(text.at(1), QStringLiteral("A stored diagram without an id was left out."));
        QCOMPARE(text.last() == QStringLiteral("…"), leftOut > 20);
    }

    void cancelledDialogsChangeNothing()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        m_prompts.answerOpenFile(QString());
        m_prompts.answerSaveFile(QString());
        m_prompts.answerSaveFile(QString());
        for (const char *action : {"action_Open", "action_Save", "action_Save_As"}) {
            trigger(w, action);
            QVERIFY2(!probe.busySpinner()->isBusy(), action);
        }
        QCOMPARE(probe.scene()->filePath, QString());
        QCOMPARE(statusText(w), QStringLiteral("No file"));
        // Save still has no file, so it asks again.
        QVERIFY(runFileAction(w, m_prompts, "action_Save", QString(), true));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).size(), 3);
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).first().title, QStringLiteral("Save Project"));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("save-file")).first().filter,
                 QStringLiteral("velmora Project (*.json)"));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("open-file")).first().title, QStringLiteral("Open Project"));
        QCOMPARE(m_prompts.promptsOf(QStringLiteral("open-file")).first().initial, QString());
    }

    void fileActionsWhileBusyDoNothing()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QSemaphore release;
        probe.busySpinner()->runInThread([&release] { release.acquire(); }, {}, {});
        QVERIFY(probe.busySpinner()->isBusy());
        for (const char *action : {"action_Open", "action_Save", "action_Save_As"})
            trigger(w, action);
        release.release();
        QVERIFY(waitIdle(w));
        QVERIFY(m_prompts.prompts.isEmpty());
        QCOMPARE(probe.scene()->filePath, QString());
    }

    void saveWithoutProjectWritesBareDiagram()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        probe.dropProject();
        probe.scene()->addEntityAt(QPointF(0, 0));
        const QString path = tempPath(QStringLiteral("bare.json"));

        QVERIFY(runFileAction(w, m_prompts, "action_Save", path, true));

        const QJsonObject saved = readJson(path);
        QCOMPARE(saved.value(QStringLiteral("type")).toString(), QStringLiteral("er-diagram"));
        QCOMPARE(saved.value(QStringLiteral("entities")).toArray().size(), 1);
        QCOMPARE(probe.scene()->filePath, path);
        QCOMPARE(statusText(w), QStringLiteral("bare.json"));
    }

    void saveAsToUnwritableTargetReportsFailure_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("a directory") << "<dir>";
        QTest::newRow("under a regular file") << "plain.txt/project.json";
    }

    void saveAsToUnwritableTargetReportsFailure()
    {
        QFETCH(QString, target);
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("plain.txt")), "keep"));
        const QString path = target == QLatin1String("<dir>") ? dir.path() : dir.filePath(target);
        MainWindow w;
        MainWindowProbe probe(w);
        const QString saved = dir.filePath(QStringLiteral("first.json"));
        QVERIFY(runFileAction(w, m_prompts, "action_Save", saved, true));
        m_prompts.allowed = 1;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Cannot save file:")));

        QVERIFY(runFileAction(w, m_prompts, "action_Save_As", path, true));

        const QList<ScriptedPrompts::Prompt> warnings = m_prompts.promptsOf(QStringLiteral("warning"));
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings.first().title, QStringLiteral("Save Project"));
        QCOMPARE(warnings.first().text, SaveFailure);
        // Save As takes the new path even though the write failed; the status bar does not.
        QCOMPARE(probe.scene()->filePath, path);
        QCOMPARE(statusText(w), QStringLiteral("first.json"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{"first.json", "plain.txt"}));
        QCOMPARE(testsupport::readFileBytes(dir.filePath(QStringLiteral("plain.txt"))), QByteArray("keep"));
    }

    void saveNewProjectOpenGivesSameDocument()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(QStringLiteral("sample-project.json"))));
        const QString path = tempPath(QStringLiteral("round-trip.json"));
        QVERIFY(runFileAction(w, m_prompts, "action_Save_As", path, true));
        const QJsonObject written = probe.project()->toDocument();
        QCOMPARE(readJson(path), written);

        trigger(w, "action_New");
        QVERIFY(probe.project()->toDocument() != written);
        QVERIFY(open(w, m_prompts, path));
        QCOMPARE(probe.project()->toDocument(), written);
    }

    // Drawn while no diagram is current, a note still reaches the file.
    void saveGivesModelWithoutDiagramOne()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const QString path = copyFixture(QStringLiteral("project-first-model-without-diagram.json"), m_dir.path());
        QVERIFY(open(w, m_prompts, path));
        QCOMPARE(probe.currentDiagram(), nullptr);
        probe.scene()->addTextItemAt(QPointF(10, 10));

        trigger(w, "action_Save");
        QVERIFY(waitIdle(w));

        ProjectItem saved;
        QVERIFY(saved.loadProjectDocument(readJson(path)));
        ModelItem *archive = saved.modelByName(QStringLiteral("Archive"));
        QCOMPARE(archive->diagrams().size(), 1);
        QCOMPARE(archive->diagrams().first()->name(), QStringLiteral("Diagram 1"));
        QCOMPARE(annotationCount(archive->diagrams().first()->sceneJson()), 1);
        QStandardItem *projectRow = probe.treeModel()->item(0);
        QStandardItem *archiveRow = childWithText(projectRow, QStringLiteral("Archive"));
        QVERIFY(archiveRow);
        QStandardItem *diagrams = childWithText(archiveRow, QStringLiteral("Diagrams"));
        QCOMPARE(diagrams->rowCount(), 1);
        QCOMPARE(diagrams->child(0)->text(), QStringLiteral("Diagram 1"));
    }
};

QTEST_MAIN(TestProjectOpenSave)
#include "tst_projectopensave.moc"
