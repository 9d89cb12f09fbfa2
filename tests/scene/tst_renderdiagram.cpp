#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

// The render_diagram developer tool, run as a person would: exit codes, printed figures
// and the PNG it writes.
class tst_RenderDiagram : public QObject
{
    Q_OBJECT

private slots:
    void rendersDocumentAtPrintedSize_data();
    void rendersDocumentAtPrintedSize();
    void refusesBadInput_data();
    void refusesBadInput();
    void writesByOutputSuffix_data();
    void writesByOutputSuffix();
};

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runTool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(RENDER_DIAGRAM_PATH), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace

void tst_RenderDiagram::rendersDocumentAtPrintedSize_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("document");
    QTest::addColumn<QString>("counts");
    QTest::newRow("small") << QStringList() << "scene/data/small_diagram.json"
                           << "entities 2 edges 1 annotations 1";
    QTest::newRow("dark, capped") << QStringList({"--theme", "dark", "--max-size", "300"})
                                  << "scene/data/small_diagram.json"
                                  << "entities 2 edges 1 annotations 1";
    QTest::newRow("empty") << QStringList({"--no-grid"}) << "empty" << "entities 0 edges 0 annotations 0";
    QTest::newRow("scaled, other face") << QStringList({"--scale", "1.5", "--entity-font", "DejaVu Sans"})
                                        << "scene/data/small_diagram.json"
                                        << "entities 2 edges 1 annotations 1";
}

void tst_RenderDiagram::rendersDocumentAtPrintedSize()
{
    QFETCH(QStringList, options);
    QFETCH(QString, document);
    QFETCH(QString, counts);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString input = testsupport::dataPath(document);
    if (document == QLatin1String("empty")) {
        input = dir.filePath(QStringLiteral("empty.json"));
        QFile file(input);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{}");
    }
    const QString output = dir.filePath(QStringLiteral("out.png"));
    const Run run = runTool(options + QStringList({input, output}));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY2(run.out.contains(counts), qPrintable(run.out));
    for (const char *figure : {"parse_ms ", "load_ms ", "render_ms "})
        QVERIFY2(run.out.contains(QLatin1String(figure)), qPrintable(run.out));

    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("image (\\d+)x(\\d+) scale ([0-9.]+)")).match(run.out);
    QVERIFY2(size.hasMatch(), qPrintable(run.out));
    const QImage image(output);
    QVERIFY(!image.isNull());
    QCOMPARE(image.width(), size.captured(1).toInt());
    QCOMPARE(image.height(), size.captured(2).toInt());
    if (options.contains(QStringLiteral("--max-size")))
        QVERIFY(qMax(image.width(), image.height()) <= 300);
    if (options.contains(QStringLiteral("--scale")))
        QCOMPARE(size.captured(3), QStringLiteral("1.50"));
    if (document == QLatin1String("empty")) {
        QCOMPARE(image.size(), QSize(200, 200));
        QVERIFY(run.out.contains(QStringLiteral("empty diagram")));
    }
}

void tst_RenderDiagram::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for the temporary folder
    QTest::addColumn<int>("exitCode");
    const QString small = testsupport::dataPath(QStringLiteral("scene/data/small_diagram.json"));
    QTest::newRow("not JSON") << QStringList({testsupport::dataPath("scene/data/not_json.json"), "@/out.png"}) << 1;
    QTest::newRow("missing file") << QStringList({"@/nothing.json", "@/out.png"}) << 1;
    QTest::newRow("array") << QStringList({"@/array.json", "@/out.png"}) << 1;
    QTest::newRow("output is a folder") << QStringList({small, "@"}) << 1;
    QTest::newRow("output folder missing") << QStringList({small, "@/no/such/out.png"}) << 1;
    QTest::newRow("one argument") << QStringList({small}) << 2;
    QTest::newRow("unknown theme") << QStringList({"--theme", "sepia", small, "@/out.png"}) << 2;
    QTest::newRow("bad size") << QStringList({"--max-size", "0", small, "@/out.png"}) << 2;
    QTest::newRow("bad scale") << QStringList({"--scale", "9", small, "@/out.png"}) << 2;
    QTest::newRow("unknown face") << QStringList({"--entity-font", "No Such Face", small, "@/out.png"}) << 2;
    QTest::newRow("unknown option") << QStringList({"--frobnicate", small, "@/out.png"}) << 2;
}

void tst_RenderDiagram::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile array(dir.filePath(QStringLiteral("array.json")));
    QVERIFY(array.open(QIODevice::WriteOnly));
    array.write("[{\"entities\": []}]");
    array.close();
    for (QString &argument : arguments)
        argument.replace(QLatin1Char('@'), dir.path());

    const Run run = runTool(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(!run.err.trimmed().isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("out.png"))));
    // Nothing half-written is left behind either.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"array.json"}));
}

void tst_RenderDiagram::writesByOutputSuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("png") << "out.png" << QByteArray("\x89PNG");
    QTest::newRow("jpeg") << "out.JPG" << QByteArray("\xff\xd8");
    QTest::newRow("bmp") << "out.bmp" << QByteArray("BM");
    QTest::newRow("svg") << "out.svg" << QByteArray("<?xml");
    QTest::newRow("no suffix") << "out" << QByteArray("\x89PNG");
}

// The picture's format follows its suffix, and the truth file places both boxes inside the
// picture, in its coordinates, with the relationship between them.
void tst_RenderDiagram::writesByOutputSuffix()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString output = dir.filePath(name);
    const QString truthPath = dir.filePath(QStringLiteral("truth.json"));
    const Run run = runTool({QStringLiteral("--truth"), truthPath,
                             testsupport::dataPath(QStringLiteral("scene/data/small_diagram.json")), output});
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    QVERIFY(testsupport::readFileBytes(output).startsWith(magic));

    const QJsonObject truth = QJsonDocument::fromJson(testsupport::readFileBytes(truthPath)).object();
    const QJsonArray entities = truth.value(QStringLiteral("entities")).toArray();
    QCOMPARE(entities.size(), 2);
    QCOMPARE(truth.value(QStringLiteral("relationships")).toArray().size(), 1);
    QSizeF canvas;
    if (magic == "<?xml") {
        const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("svg (\\d+)x(\\d+)")).match(run.out);
        QVERIFY2(size.hasMatch(), qPrintable(run.out));
        canvas = QSizeF(size.captured(1).toInt(), size.captured(2).toInt());
    } else {
        canvas = QImage(output).size();
    }
    for (const QJsonValue &value : entities) {
        const QJsonArray r = value.toObject().value(QStringLiteral("rect")).toArray();
        const QRectF rect(r.at(0).toDouble(), r.at(1).toDouble(), r.at(2).toDouble(), r.at(3).toDouble());
        QVERIFY(rect.width() > 0 && rect.height() > 0);
        QVERIFY(QRectF(QPointF(0, 0), canvas).contains(rect));
        QVERIFY(!value.toObject().value(QStringLiteral("rows")).toArray().isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_RenderDiagram)
#include "tst_renderdiagram.moc"
