#include "drawioreader.h"
#include "drawiosummary.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QUuid>
#include <QtTest>

namespace {

QString fixture(const QString &name)
{
    return testsupport::dataPath(QStringLiteral("interchange/data/drawio/") + name);
}

DrawioCell makeCell(const QString &id, const QString &parent, const QString &value,
                    const QString &style, double x = 0, double y = 0)
{
    DrawioCell cell;
    cell.id = id;
    cell.parent = parent;
    cell.value = value;
    cell.style = style;
    cell.x = x;
    cell.y = y;
    cell.vertex = true;
    return cell;
}

} // namespace

class TestDrawioDiagramBuilding : public QObject
{
    Q_OBJECT

private slots:
    void drawingStylesImport_data();
    void drawingStylesImport();
    void documentCarriesFreshIdsAndNoExtras();
    void twoImportsDifferOnlyInIds();
    void noVertexGivesAnEmptyObject();
    void repeatedIdsAndSelfParentsAreAbsorbed();
    void nonFinitePositionsSumToZero();
    void chainOfNestedTablesEnds();
    void rowTextIsDecodedOnce_data();
    void rowTextIsDecodedOnce();
    void connectorsBecomeRelationships_data();
    void connectorsBecomeRelationships();
};

void TestDrawioDiagramBuilding::drawingStylesImport_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("table shape") << "reader_table_shape.drawio"
        << QStringList{
               "Customers @40,60 [id:INTEGER PK; name:TEXT; email:VARCHAR(200) UK]",
               "Orders @300,60 [id: PK; customer_id:INTEGER FK; total:DECIMAL(10, 2)]",
               "Orders -> Customers 3/0 \"places\"",
               "Customers -> Customers 0/0",
           };
    QTest::newRow("swimlane with stack layout") << "reader_swimlane_stack.drawio"
        << QStringList{
               "Product @300,80 [sku: PK; title:VARCHAR(80); supplier_code:CHAR(4) FK; PRODUCT:]",
               "Supplier @40,80 [code:CHAR(4) PK; name:TEXT PK FK]",
               "Supplier -> Product 2/3",
           };
    QTest::newRow("er entity shapes") << "reader_er_entity.drawio"
        << QStringList{
               "Employee @20,40 [emp_id: PK; dept_id:INT FK; full_name:VARCHAR(100)]",
               "Department @400,40 [dept_id: PK; label:TEXT]",
               "Employee -> Department 0/0 \"belongs\"",
           };
    QTest::newRow("plain rectangles") << "reader_plain_rectangles.drawio"
        << QStringList{
               "Author @-40.5,10.25 [author_id:INT PK; name:TEXT]",
               "Book @200,10 [isbn:CHAR(13) PK; author_id:INT FK; title:TEXT]",
               "Entity @400,10 []",
               "Author -> Book 0/3",
           };
    QTest::newRow("object wrappers") << "reader_object_wrappers.drawio"
        << QStringList{
               "Invoice @60,30 [number:INT PK; customer_id:BIGINT FK; code:CHAR(3) UK; %id%:%label% kept]",
           };
    QTest::newRow("kind marker") << "reader_corva_kind.drawio"
        << QStringList{
               "Active Users @300,20 view [user_id:INT; last_seen:TIMESTAMP]",
               "Users @20,20 [user_id:INT PK]",
               "Entity @20,200 [a:INT]",
           };
    QTest::newRow("entity inside groups") << "reader_grouped_entity.drawio"
        << QStringList{
               "Tag @115,227 [tag_id: PK]",
               "Post @600,200 [tag_id: FK]",
               "Tag -> Post 0/1",
           };
}

void TestDrawioDiagramBuilding::drawingStylesImport()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QString error = QStringLiteral("untouched");
    const QJsonObject document = parseDrawioFile(fixture(file), &error);
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(summarizeDrawioDocument(document), expected);
}

void TestDrawioDiagramBuilding::documentCarriesFreshIdsAndNoExtras()
{
    const QJsonObject document = parseDrawioFile(fixture("reader_table_shape.drawio"));
    QCOMPARE(document.value("version").toString(), QStringLiteral("1.0"));
    QCOMPARE(document.value("type").toString(), QStringLiteral("er-diagram"));
    QVERIFY(!document.contains("dialect"));
    QVERIFY(!document.contains("annotations"));

    QSet<QString> entityIds;
    for (const QJsonValue &value : document.value("entities").toArray()) {
        const QJsonObject entity = value.toObject();
        const QString id = entity.value("id").toString();
        const QUuid uuid = QUuid::fromString(id);
        QCOMPARE(uuid.toString(QUuid::WithoutBraces), id);
        QCOMPARE(uuid.version(), QUuid::Random);
        QCOMPARE(uuid.variant(), QUuid::DCE);
        entityIds.insert(id);
        QVERIFY(!entity.contains("kind"));
        for (const QJsonValue &row : entity.value("attributes").toArray()) {
            QCOMPARE(row.toObject().keys(),
                     (QStringList{"isForeignKey", "isPrimaryKey", "isUniqueKey", "name", "type"}));
        }
    }
    QCOMPARE(entityIds.size(), 2);
    const QJsonObject edge = document.value("edges").toArray().first().toObject();
    QVERIFY(!QUuid::fromString(edge.value("id").toString()).isNull());
    QVERIFY(entityIds.contains(edge.value("from").toString()));
    QVERIFY(entityIds.contains(edge.value("to").toString()));
    // Another import of the same file gets ids of its own.
    const QJsonObject again = parseDrawioFile(fixture("reader_table_shape.drawio"));
    for (const QJsonValue &value : again.value("entities").toArray())
        QVERIFY(!entityIds.contains(value.toObject().value("id").toString()));
    QVERIFY(!edge.contains("points") && !edge.contains("fromSlot"));
}

void TestDrawioDiagramBuilding::twoImportsDifferOnlyInIds()
{
    const QJsonObject first = parseDrawioFile(fixture("reader_swimlane_stack.drawio"));
    const QJsonObject second = parseDrawioFile(fixture("reader_swimlane_stack.drawio"));
    QCOMPARE(summarizeDrawioDocument(first), summarizeDrawioDocument(second));
    QVERIFY(first.value("entities").toArray().first().toObject().value("id")
            != second.value("entities").toArray().first().toObject().value("id"));
}

void TestDrawioDiagramBuilding::noVertexGivesAnEmptyObject()
{
    DrawioCell root;
    root.id = QStringLiteral("0");
    DrawioCell layer;
    layer.id = QStringLiteral("1");
    layer.parent = QStringLiteral("0");
    DrawioCell edge;
    edge.id = QStringLiteral("e");
    edge.parent = QStringLiteral("1");
    edge.edge = true;
    QVERIFY(buildDrawioDiagramJson({root, layer, edge}).isEmpty());
    QVERIFY(buildDrawioDiagramJson({}).isEmpty());

    // Text and relationship shapes never become entities, not even as a fallback.
    QVERIFY(buildDrawioDiagramJson({root, layer, makeCell("t", "1", "Note", "text;html=1;"),
                                    makeCell("r", "1", "has", "shape=rhombus;")})
                .isEmpty());
}

void TestDrawioDiagramBuilding::repeatedIdsAndSelfParentsAreAbsorbed()
{
    const QString table = QStringLiteral("shape=table;");
    const QString row = QStringLiteral("shape=tableRow;");
    DrawioCell link;
    link.id = QStringLiteral("link");
    link.edge = true;
    link.source = QStringLiteral("t-row");
    link.target = QStringLiteral("u");
    link.value = QStringLiteral("a &lt; b");
    const QList<DrawioCell> cells{
        makeCell("t", "1", "First", table, 10, 10),
        makeCell("t-row", "t", "PK id", row, 0, 30),
        makeCell("t", "1", "Second", table, 20, 20),
        makeCell("u", "u", "Loop", table, 5, 5),
        makeCell("u-row", "u", "code", row, 0, 30),
        link,
    };
    // The later of two cells with one id stands for it; a table that is its own parent
    // adds its own offset once.
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)),
             (QStringList{"Second @20,20 [id: PK]", "Loop @10,10 [code:]", "Second -> Loop 0/0 \"a < b\""}));
}

void TestDrawioDiagramBuilding::nonFinitePositionsSumToZero()
{
    const double huge = 1.5e308;
    const QList<DrawioCell> cells{
        makeCell("g", "1", "", "group", huge, -huge),
        makeCell("t", "g", "Far", "shape=table;", huge, -huge),
        makeCell("r", "t", "id", "shape=tableRow;", 0, 30),
    };
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)),
             QStringList{"Far @0,0 [id:]"});
}

// Each table is a child of the one before: read as written, every table would gather
// the text of the whole rest of the chain, which takes hours and gigabytes.
void TestDrawioDiagramBuilding::chainOfNestedTablesEnds()
{
    const int depth = int(DrawioMaxEntities);
    QList<DrawioCell> cells;
    cells.reserve(depth + 1);
    QString parent = QStringLiteral("1");
    for (int i = 0; i < depth; ++i) {
        const QString id = QStringLiteral("t%1").arg(i);
        cells.append(makeCell(id, parent, QStringLiteral("T%1").arg(i), "swimlane;childLayout=stackLayout;", 0, 1));
        parent = id;
    }
    DrawioCell link;
    link.id = QStringLiteral("link");
    link.edge = true;
    link.source = QStringLiteral("t%1").arg(depth - 1);
    link.target = QStringLiteral("t0");
    cells.append(link);

    const QJsonObject document = buildDrawioDiagramJson(cells);
    const QJsonArray entities = document.value("entities").toArray();
    QCOMPARE(entities.size(), depth);
    const QJsonObject first = entities.first().toObject();
    QCOMPARE(first.value("title").toString(), QStringLiteral("T0"));
    QCOMPARE(first.value("y").toDouble(), 1.0);
    // The first table's one row begins with the next table's title.
    QCOMPARE(first.value("attributes").toArray().first().toObject().value("name").toString(),
             QStringLiteral("T1"));
    QCOMPARE(document.value("edges").toArray().size(), 1);
}

// A label is turned into plain text once; a type such as MAP<STRING,INT>, written
// escaped in an HTML label, must not then be taken for a tag.
void TestDrawioDiagramBuilding::rowTextIsDecodedOnce_data()
{
    QTest::addColumn<QList<DrawioCell>>("cells");
    QTest::addColumn<QString>("expected");

    QTest::newRow("table row cells") << QList<DrawioCell>{
        makeCell("t", "1", "R&amp;D", "shape=table;html=1;"),
        makeCell("r", "t", "", "shape=tableRow;", 0, 30),
        makeCell("k", "r", "FK", "shape=partialRectangle;html=1;"),
        makeCell("n", "r", "tags : MAP&lt;STRING,INT&gt;", "shape=partialRectangle;html=1;", 30, 0),
    } << "R&D @0,0 [tags:MAP<STRING,INT> FK]";
    QTest::newRow("text lines of a list") << QList<DrawioCell>{
        makeCell("t", "1", "Events", "swimlane;childLayout=stackLayout;html=1;"),
        makeCell("a", "t", "items ARRAY&lt;STRING&gt;", "text;html=1;", 0, 26),
        makeCell("b", "t", "&lt;b&gt;raw&lt;/b&gt;", "text;html=1;", 0, 52),
    } << "Events @0,0 [items:ARRAY<STRING>; <b>raw</b>:]";
    QTest::newRow("label lines") << QList<DrawioCell>{
        makeCell("t", "1", "Events<br>payload: ARRAY&lt;STRING&gt;", "rounded=0;html=1;"),
    } << "Events @0,0 [payload:ARRAY<STRING>]";
}

void TestDrawioDiagramBuilding::rowTextIsDecodedOnce()
{
    QFETCH(QList<DrawioCell>, cells);
    QFETCH(QString, expected);
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)), QStringList{expected});
}

namespace {

DrawioCell connector(const QString &id, const QString &source, const QString &target,
                     const QString &style, const QString &value = QString())
{
    DrawioCell cell;
    cell.id = id;
    cell.parent = QStringLiteral("1");
    cell.edge = true;
    cell.source = source;
    cell.target = target;
    cell.style = style;
    cell.value = value;
    return cell;
}

} // namespace

void TestDrawioDiagramBuilding::connectorsBecomeRelationships_data()
{
    QTest::addColumn<QList<DrawioCell>>("cells");
    QTest::addColumn<QStringList>("expected");

    const QString table = QStringLiteral("shape=table;");
    const QString row = QStringLiteral("shape=tableRow;");
    const QList<DrawioCell> employee{makeCell("e", "1", "Employee", table),
                                     makeCell("e-id", "e", "PK id", row, 0, 30),
                                     makeCell("e-boss", "e", "FK manager_id", row, 0, 60)};
    QTest::newRow("between two rows of one table: a self-relationship")
        << (employee + QList<DrawioCell>{connector("m", "e-id", "e-boss", "endArrow=ERmany;", "manages")})
        << QStringList{"Employee @0,0 [id: PK; manager_id: FK]", "Employee -> Employee 0/3 \"manages\""};
    QTest::newRow("from a table to itself")
        << (employee + QList<DrawioCell>{connector("m", "e", "e", "")})
        << QStringList{"Employee @0,0 [id: PK; manager_id: FK]", "Employee -> Employee 0/0"};
    QTest::newRow("dashed: not identifying")
        << (employee + QList<DrawioCell>{makeCell("d", "1", "Desk", table, 300, 0),
                                         connector("m", "e", "d", "dashed=1;endArrow=ERzeroToOne;")})
        << QStringList{"Employee @0,0 [id: PK; manager_id: FK]", "Desk @300,0 []", "Employee ..> Desk 0/2"};
    QTest::newRow("to a free shape: dropped")
        << (employee + QList<DrawioCell>{makeCell("n", "1", "note", "text;html=1;", 300, 0),
                                         connector("m", "e-id", "n", "")})
        << QStringList{"Employee @0,0 [id: PK; manager_id: FK]"};
}

void TestDrawioDiagramBuilding::connectorsBecomeRelationships()
{
    QFETCH(QList<DrawioCell>, cells);
    QFETCH(QStringList, expected);
    QCOMPARE(summarizeDrawioDocument(buildDrawioDiagramJson(cells)), expected);
}

QTEST_GUILESS_MAIN(TestDrawioDiagramBuilding)
#include "tst_drawiodiagrambuilding.moc"
