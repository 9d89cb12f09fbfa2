#include "drawioreader.h"
#include "drawiosceneio.h"
#include "drawiowriter.h"
#include "mermaidreader.h"
#include "mermaidwriter.h"
#include "scenerendering.h"

#include <QJsonArray>

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

// draw.io import into the diagram scene and export from it.
class TestDrawioSceneIo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void nullSceneIsRefused();
    void failedImportLeavesTheSceneAlone_data();
    void failedImportLeavesTheSceneAlone();
    void importBuildsBoxesRowsAndEdges_data();
    void importBuildsBoxesRowsAndEdges();
    void exportReadsBackToTheSameDiagram_data();
    void exportReadsBackToTheSameDiagram();
    void emptySceneHasNothingToExport();
    void exportKeepsWhatTheFileHolds();
    void mermaidThroughSceneAndDrawioKeepsWhatItSays();
};

namespace {

QString fixture(const QString &name)
{
    return testsupport::dataPath(QStringLiteral("interchange/data/drawio/") + name);
}

} // namespace

void TestDrawioSceneIo::initTestCase()
{
    testsupport::registerBundledMonoFont();
    // The scene narrates a load in debug lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestDrawioSceneIo::nullSceneIsRefused()
{
    QString error;
    QVERIFY(!importDrawioIntoScene(nullptr, fixture(QStringLiteral("reader_table_shape.drawio")), &error));
    QCOMPARE(error, QStringLiteral("No scene available."));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.drawio"));
    error.clear();
    QVERIFY(!exportSceneToDrawioFile(nullptr, target, &error));
    QCOMPARE(error, QStringLiteral("No scene available."));
    QVERIFY(!QFile::exists(target));

    QVERIFY(sceneToDrawioXml(nullptr).isEmpty());
    QVERIFY(!importDrawioIntoScene(nullptr, fixture(QStringLiteral("reader_table_shape.drawio"))));
    QVERIFY(!exportSceneToDrawioFile(nullptr, target));
}

void TestDrawioSceneIo::failedImportLeavesTheSceneAlone_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: the path does not exist
    QTest::addColumn<QString>("message");
    QTest::newRow("missing file") << QByteArray() << "Could not open the draw.io file.";
    QTest::newRow("not XML") << QByteArray("\x89PNG\r\n\x1a\n not a drawing")
                             << "No draw.io diagram was found in the file.";
    QTest::newRow("layers only")
        << QByteArray("<mxGraphModel><root><mxCell id=\"0\"/><mxCell id=\"1\" parent=\"0\"/>"
                      "<mxCell id=\"e\" edge=\"1\" parent=\"1\"/></root></mxGraphModel>")
        << "No ER entities were recognized in the draw.io file.";
}

void TestDrawioSceneIo::failedImportLeavesTheSceneAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.drawio"));
    if (!content.isEmpty()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    ERScene scene;
    QVERIFY(importDrawioIntoScene(&scene, fixture(QStringLiteral("reader_swimlane_stack.drawio"))));
    const QStringList before = scenetest::describeDocument(scene.toJson(), true);

    QString error;
    QVERIFY(!importDrawioIntoScene(&scene, path, &error));
    QCOMPARE(error, message);
    QCOMPARE(scenetest::describeDocument(scene.toJson(), true), before);
}

void TestDrawioSceneIo::importBuildsBoxesRowsAndEdges_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("picture");
    // Rows in drawn order (by y), whatever the order of the cells in the file; draw.io's
    // ERmany reads as zero or many (3), ERmandOne and ERone as one (0).
    QTest::newRow("table shape")
        << "reader_table_shape.drawio"
        << QStringList{
               "Customers @40,60 [id:INTEGER PK; name:TEXT; email:VARCHAR(200) UK]",
               "Orders @300,60 [id: PK; customer_id:INTEGER FK; total:DECIMAL(10, 2)]",
               "Customers -> Customers 0/0",
               "Orders -> Customers 3/0 : places",
           }
        << "table_shape.png";
    QTest::newRow("swimlanes with stack layout")
        << "reader_swimlane_stack.drawio"
        << QStringList{
               "Product @300,80 [sku: PK; title:VARCHAR(80); supplier_code:CHAR(4) FK; PRODUCT:]",
               "Supplier @40,80 [code:CHAR(4) PK; name:TEXT PK FK]",
               "Supplier -> Product 2/3",
           }
        << "swimlane_stack.png";
}

void TestDrawioSceneIo::importBuildsBoxesRowsAndEdges()
{
    QFETCH(QString, fixtureName);
    QFETCH(QStringList, expected);
    QFETCH(QString, picture);

    ERScene scene;
    QString error = QStringLiteral("untouched");
    QVERIFY(importDrawioIntoScene(&scene, fixture(fixtureName), &error));
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(scenetest::describeDocument(scene.toJson(), true), expected);

    const QList<EntityItem *> boxes = scenetest::entityBoxes(scene);
    const QList<EdgeItem *> edges = scenetest::edgeItems(scene);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(edges.size(), expected.filter(QStringLiteral(" -> ")).size());
    QVERIFY(edges.first()->from && edges.first()->to);

    QRectF shown;
    const QImage image = scenetest::renderScene(scene, QStringLiteral("tst_drawiosceneio"), picture, &shown);
    QVERIFY(!image.isNull());
    for (const EntityItem *box : boxes)
        QVERIFY2(scenetest::inkShare(image, shown, box->sceneBoundingRect()) > 0.2, qPrintable(box->title()));
}

void TestDrawioSceneIo::exportReadsBackToTheSameDiagram_data()
{
    QTest::addColumn<QString>("fixtureName");
    QTest::newRow("table shape") << "reader_table_shape.drawio";
    QTest::newRow("swimlanes") << "reader_swimlane_stack.drawio";
    QTest::newRow("view and tables") << "reader_corva_kind.drawio";
    QTest::newRow("entity inside groups") << "reader_grouped_entity.drawio";
    QTest::newRow("self-relationship, columns named like their table, labels")
        << "kept_on_export.drawio";
}

void TestDrawioSceneIo::exportReadsBackToTheSameDiagram()
{
    QFETCH(QString, fixtureName);

    ERScene scene;
    QString error;
    QVERIFY2(importDrawioIntoScene(&scene, fixture(fixtureName), &error), qPrintable(error));

    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.drawio"));
    QVERIFY2(exportSceneToDrawioFile(&scene, target, &error), qPrintable(error));
    QCOMPARE(QString::fromUtf8(testsupport::readFileBytes(target)), sceneToDrawioXml(&scene));

    const QJsonObject readBack = parseDrawioFile(target, &error);
    QVERIFY2(!readBack.isEmpty(), qPrintable(error));
    QCOMPARE(scenetest::describeDocument(readBack, true), scenetest::describeDocument(scene.toJson(), true));

    // The view stays a view.
    const QJsonArray entities = readBack.value(QStringLiteral("entities")).toArray();
    const qsizetype views = std::count_if(entities.begin(), entities.end(), [](const QJsonValue &entity) {
        return entity.toObject().value(QStringLiteral("kind")).toString() == QLatin1String("entity-view");
    });
    const QList<EntityItem *> boxes = scenetest::entityBoxes(scene);
    QCOMPARE(views, std::count_if(boxes.cbegin(), boxes.cend(), [](const EntityItem *box) { return box->isView(); }));
}

void TestDrawioSceneIo::emptySceneHasNothingToExport()
{
    ERScene scene;
    QVERIFY(sceneToDrawioXml(&scene).isEmpty());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kept.drawio"));
    {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old drawing");
    }
    QString error;
    QVERIFY(!exportSceneToDrawioFile(&scene, target, &error));
    QCOMPARE(error, QStringLiteral("Could not generate a draw.io ER diagram."));
    QCOMPARE(testsupport::readFileBytes(target), QByteArray("old drawing"));
}

void TestDrawioSceneIo::exportKeepsWhatTheFileHolds()
{
    ERScene scene;
    QString error;
    QVERIFY2(importDrawioIntoScene(&scene, fixture(QStringLiteral("kept_on_export.drawio")), &error),
             qPrintable(error));
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out.drawio"));
    QVERIFY2(exportSceneToDrawioFile(&scene, target, &error), qPrintable(error));

    const QStringList expected = {
        "Employee @40,260 [id:INT PK; manager_id:INT FK; city_id:INT FK]",
        "city @360,40 [city_id:INT PK; city:VARCHAR(50); country_id:INT FK]",
        "country @40,40 [country_id:INT PK; country:VARCHAR(50)]",
        "Employee ..> Employee 0/3 : manages",
        "city -> Employee 0/1 : lives in",
        "country -> city 0/3 : has",
    };
    QCOMPARE(scenetest::describeDocument(parseDrawioFile(target, &error), true), expected);
}

namespace {

// Titles, rows with their keys and comments, and relationships by the titles of their ends:
// what a diagram says, without the ids, positions and labels a trip through the scene renews
// or drops.
QStringList saying(const QJsonObject &document)
{
    QHash<QString, QString> titles;
    QStringList lines;
    for (const QJsonValue &entity : document.value(QStringLiteral("entities")).toArray()) {
        titles.insert(entity[QStringLiteral("id")].toString(), entity[QStringLiteral("title")].toString());
        QStringList rows;
        for (const QJsonValue &row : entity[QStringLiteral("attributes")].toArray()) {
            rows.append(QStringLiteral("%1 %2%3 \"%4\"")
                            .arg(row[QStringLiteral("type")].toString(), row[QStringLiteral("name")].toString(),
                                 row[QStringLiteral("isPrimaryKey")].toBool() ? QStringLiteral(" PK") : QString(),
                                 row[QStringLiteral("comment")].toString()));
        }
        lines.append(entity[QStringLiteral("title")].toString() + QStringLiteral(": ") + rows.join(QStringLiteral("; ")));
    }
    for (const QJsonValue &edge : document.value(QStringLiteral("edges")).toArray()) {
        lines.append(QStringLiteral("%1 -> %2 %3/%4")
                         .arg(titles.value(edge[QStringLiteral("from")].toString()),
                              titles.value(edge[QStringLiteral("to")].toString()))
                         .arg(edge[QStringLiteral("startCard")].toInt())
                         .arg(edge[QStringLiteral("endCard")].toInt()));
    }
    return lines;
}

} // namespace

// Names differing only in case, an identifier of underscores and row comments go from a
// Mermaid file into the scene, out to draw.io, back into a scene and out to Mermaid, and
// still say the same; the unclosed fence and directive are reported on the first read.
void TestDrawioSceneIo::mermaidThroughSceneAndDrawioKeepsWhatItSays()
{
    QString error;
    MermaidReadReport report;
    const QJsonObject read = parseMermaidFile(
        testsupport::dataPath(QStringLiteral("interchange/data/mermaid/keeps_what_it_says.md")), &error, &report);
    QVERIFY2(!read.isEmpty(), qPrintable(error));
    QCOMPARE(report.unreadLines, 2);
    QCOMPARE(report.firstUnreadLine, 6);
    const QStringList expected{
        "User: int id PK \"the user's number\"; string name \"shown name\"",
        "USER: int id PK \"the system account\"; string role \"\"",
        "__meta__: string schema_version PK \"bumped by migrations\"; int user_id \"\"",
        "User -> __meta__ 0/3",
        "USER -> __meta__ 0/0",
    };
    QCOMPARE(saying(read), expected);

    QTemporaryDir dir;
    ERScene first;
    QVERIFY(first.loadFromJson(read));
    const QString drawio = dir.filePath(QStringLiteral("trip.drawio"));
    QVERIFY(writeDrawioFile(first.toJson(), drawio, &error));
    ERScene second;
    QVERIFY2(importDrawioIntoScene(&second, drawio, &error), qPrintable(error));
    QCOMPARE(saying(second.toJson()), expected);

    const QString mermaid = dir.filePath(QStringLiteral("trip.mmd"));
    QVERIFY(writeMermaidFile(second.toJson(), mermaid, &error));
    MermaidReadReport again;
    const QJsonObject back = parseMermaidFile(mermaid, &error, &again);
    QCOMPARE(saying(back), expected);
    QCOMPARE(again.unreadLines, 0);
}

QTEST_MAIN(TestDrawioSceneIo)
#include "tst_drawiosceneio.moc"
