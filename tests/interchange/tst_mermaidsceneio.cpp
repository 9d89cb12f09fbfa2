#include "mermaidreader.h"
#include "mermaidsceneio.h"
#include "scenerendering.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

// Mermaid import into the diagram scene and export from it.
class TestMermaidSceneIo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nullSceneIsRefused();
    void failedImportLeavesTheSceneAlone_data();
    void failedImportLeavesTheSceneAlone();
    void importBuildsBoxesEdgesAndForeignKeyRows();
    void exportReadsBackToTheSameDiagram_data();
    void exportReadsBackToTheSameDiagram();
    void emptySceneExportsABareDiagram();
    void exportKeepsWhatTheFileHolds();
};

namespace {

QString fixture(const char *name)
{
    return testsupport::dataPath(QStringLiteral("interchange/data/mermaid/") + QLatin1String(name));
}

} // namespace

void TestMermaidSceneIo::initTestCase()
{
    testsupport::registerBundledMonoFont();
    // The scene narrates a load in debug lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestMermaidSceneIo::nullSceneIsRefused()
{
    QString error;
    QVERIFY(!importMermaidIntoScene(nullptr, fixture("car_drivers.mmd"), &error));
    QCOMPARE(error, QStringLiteral("No scene available."));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.mmd"));
    error.clear();
    QVERIFY(!exportSceneToMermaidFile(nullptr, target, &error));
    QCOMPARE(error, QStringLiteral("No scene available."));
    QVERIFY(!QFile::exists(target));

    QVERIFY(sceneToMermaidText(nullptr).isEmpty());
    // No error pointer: still a plain failure.
    QVERIFY(!importMermaidIntoScene(nullptr, fixture("car_drivers.mmd"), nullptr));
    QVERIFY(!exportSceneToMermaidFile(nullptr, target, nullptr));
}

void TestMermaidSceneIo::failedImportLeavesTheSceneAlone_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the path does not exist
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QByteArray() << "Could not open the Mermaid file.";
    QTest::newRow("no erDiagram") << QByteArray("graph TD\n  A --> B\n")
                                  << "No Mermaid erDiagram was found in the file.";
    QTest::newRow("only comments") << QByteArray("erDiagram\n  %% nothing here\n  direction LR\n")
                                   << "The Mermaid file does not define any ER entities.";
}

void TestMermaidSceneIo::failedImportLeavesTheSceneAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.mmd"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ERScene scene;
    QVERIFY(importMermaidIntoScene(&scene, fixture("car_drivers.mmd"), nullptr));
    const QStringList before = scenetest::describeDocument(scene.toJson(), true);

    // A sentence left over from earlier is replaced by this failure's own.
    QString error = QStringLiteral("stale");
    QVERIFY(!importMermaidIntoScene(&scene, path, &error));
    QCOMPARE(error, message);
    QCOMPARE(scenetest::describeDocument(scene.toJson(), true), before);
}

void TestMermaidSceneIo::importBuildsBoxesEdgesAndForeignKeyRows()
{
    ERScene scene;
    QString error = QStringLiteral("untouched");
    QVERIFY(importMermaidIntoScene(&scene, fixture("car_drivers.mmd"), &error));
    QCOMPARE(error, QStringLiteral("untouched"));

    // Grid of two columns; the scene keeps the relationship labels.
    const QStringList expected = {
        "CAR @60,60 [registrationNumber:string PK; make:string; model:string; parts:string[]]",
        "MANUFACTURER @380,300 []",
        "NAMED-DRIVER @380,60 [carRegistrationNumber:string PK FK; driverLicence:string PK FK]",
        "PERSON @60,300 [driversLicense:string PK \"The license #\"; "
        "firstName:string(99) \"Only 99 characters are allowed\"; lastName:string; "
        "phone:string UK; age:int]",
        "CAR -> NAMED-DRIVER 0/3 : allows",
        "MANUFACTURER -> CAR 0/3 : makes",
        "PERSON -> NAMED-DRIVER 0/3 : is",
    };
    QCOMPARE(scenetest::describeDocument(scene.toJson(), true), expected);

    const QList<EntityItem *> boxes = scenetest::entityBoxes(scene);
    const QList<EdgeItem *> edges = scenetest::edgeItems(scene);
    QCOMPARE(boxes.size(), 4);
    QCOMPARE(edges.size(), 3);

    // Each foreign-key row names the scene edge that joins its box to the right parent.
    const QHash<QString, QString> parentOfRow = {
        {"carRegistrationNumber", "CAR"},
        {"driverLicence", "PERSON"},
    };
    int linkedRows = 0;
    for (const EntityItem *box : boxes) {
        for (const EntityItem::Attribute &row : box->attributes) {
            if (row.fkEdgeId.isEmpty())
                continue;
            ++linkedRows;
            const auto edge = std::find_if(edges.cbegin(), edges.cend(),
                                           [&](const EdgeItem *e) { return e->id == row.fkEdgeId; });
            QVERIFY2(edge != edges.cend(), qPrintable(row.name));
            QCOMPARE((*edge)->to, box);
            QCOMPARE((*edge)->from->title(), parentOfRow.value(row.name));
        }
    }
    QCOMPARE(linkedRows, 2);

    QRectF shown;
    const QImage image = scenetest::renderScene(scene, QStringLiteral("tst_mermaidsceneio"),
                                                QStringLiteral("car_person_named_driver.png"), &shown);
    QVERIFY(!image.isNull());
    for (const EntityItem *box : boxes)
        QVERIFY2(scenetest::inkShare(image, shown, box->sceneBoundingRect()) > 0.2, qPrintable(box->title()));
}

void TestMermaidSceneIo::exportReadsBackToTheSameDiagram_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("fenced");
    QTest::newRow("bare") << "car_drivers.mmd" << "out.mmd" << false;
    QTest::newRow("fenced for Markdown") << "customer_orders.mmd" << "out.md" << true;
    QTest::newRow("aliases and Unicode") << "aliases_and_styles.mmd" << "out.txt" << false;
    QTest::newRow("comments, labels, identifying flags, self-relationship")
        << "kept_on_export.mmd" << "out.mmd" << false;
}

void TestMermaidSceneIo::exportReadsBackToTheSameDiagram()
{
    QFETCH(QString, fixtureName);
    QFETCH(QString, fileName);
    QFETCH(bool, fenced);

    ERScene scene;
    QString error;
    QVERIFY2(importMermaidIntoScene(&scene, fixture(qPrintable(fixtureName)), &error), qPrintable(error));
    // The scene keeps all the file gave: comments, labels and identifying flags included.
    const QJsonObject imported = parseMermaidFile(fixture(qPrintable(fixtureName)), &error);
    QCOMPARE(scenetest::describeDocument(scene.toJson(), false), scenetest::describeDocument(imported, false));

    QTemporaryDir dir;
    const QString target = dir.filePath(fileName);
    QVERIFY2(exportSceneToMermaidFile(&scene, target, &error), qPrintable(error));
    const QString written = QString::fromUtf8(testsupport::readFileBytes(target));
    const QString text = sceneToMermaidText(&scene);
    QVERIFY(text.startsWith(QLatin1String("erDiagram\n")));
    QCOMPARE(written, fenced ? QStringLiteral("```mermaid\n") + text + QStringLiteral("```\n") : text);

    const QJsonObject readBack = parseMermaidFile(target, &error);
    QVERIFY2(!readBack.isEmpty(), qPrintable(error));
    // Positions are not carried by Mermaid; titles, rows and relationships are.
    QCOMPARE(scenetest::describeDocument(readBack, false), scenetest::describeDocument(scene.toJson(), false));
}

void TestMermaidSceneIo::emptySceneExportsABareDiagram()
{
    ERScene scene;
    QCOMPARE(sceneToMermaidText(&scene), QStringLiteral("erDiagram\n"));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("empty.mmd"));
    QString error = QStringLiteral("untouched");
    QVERIFY(exportSceneToMermaidFile(&scene, target, &error));
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(testsupport::readFileBytes(target), QByteArray("erDiagram\n"));

    QVERIFY(!exportSceneToMermaidFile(&scene, QString(), &error));
    QCOMPARE(error, QStringLiteral("No destination file was specified."));
}

void TestMermaidSceneIo::exportKeepsWhatTheFileHolds()
{
    ERScene scene;
    QString error;
    QVERIFY2(importMermaidIntoScene(&scene, fixture("kept_on_export.mmd"), &error), qPrintable(error));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.mmd"));
    QVERIFY2(exportSceneToMermaidFile(&scene, target, &error), qPrintable(error));

    const QStringList expected = {
        "AIRPORT [code:string PK \"IATA code, e.g. {LHR}\"; name:string]",
        "EMPLOYEE [id:int PK FK \"the badge number\"; manager_id:int FK]",
        "FLIGHT [number:string PK \"INV-{year}-{seq}\"; origin_airport:string FK; "
        "destination_airport:string FK; seats:int]",
        "AIRPORT -> FLIGHT 0/3 : arrives at",
        "AIRPORT -> FLIGHT 0/3 : departs from",
        "EMPLOYEE ..> EMPLOYEE 0/3 : manages",
        "EMPLOYEE ..> FLIGHT 3/3 : crews",
    };
    QCOMPARE(scenetest::describeDocument(parseMermaidFile(target, &error), false), expected);
}

QTEST_MAIN(TestMermaidSceneIo)
#include "tst_mermaidsceneio.moc"
