#include "diagramitemtypes.h"
#include "entityitem.h"
#include "erscene.h"
#include "recognitionsteps.h"
#include "recognitiontestutil.h"

#include <QApplication>
#include <QJsonArray>
#include <QUuid>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

using Rects = QList<QRectF>;
using Fragments = QList<TextFragment>;

TextFragment text(double x, double y, const QString &words, double height = 12)
{
    return TextFragment{QRectF(x, y, 8.0 * words.size(), height), words};
}

QStringList assemble(const Rects &boxes, const Fragments &fragments)
{
    QList<RecognizedEntity> entities;
    for (const QRectF &box : boxes) {
        RecognizedEntity entity;
        entity.rect = box;
        entities.append(entity);
    }
    assembleEntities(entities, fragments);
    QStringList described;
    for (const RecognizedEntity &entity : std::as_const(entities))
        described.append(recognitiontest::describe(entity));
    return described;
}

RecognizedEntity entityAt(const QRectF &rect, const QString &title,
                          const QList<RecognizedAttribute> &attributes = {})
{
    RecognizedEntity entity;
    entity.rect = rect;
    entity.title = title;
    entity.attributes = attributes;
    return entity;
}

QList<EntityItem *> entityBoxes(const QGraphicsScene &scene)
{
    QList<EntityItem *> boxes;
    const QList<QGraphicsItem *> items = scene.items();
    for (QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EntityItem)
            boxes.append(static_cast<EntityItem *>(item));
    }
    std::sort(boxes.begin(), boxes.end(), [](EntityItem *a, EntityItem *b) { return a->title() < b->title(); });
    return boxes;
}

} // namespace

Q_DECLARE_METATYPE(Fragments)

class TestEntityBuilding : public QObject
{
    Q_OBJECT

private slots:
    void assembling_data();
    void assembling();
    void canvasScaleAndOrigin_data();
    void canvasScaleAndOrigin();
    void documentRowsAndLinks();
    void emptyDiagramGivesAnEmptyDocument();
    void numbersThatAreNotFiniteNeverReachTheDocument();
    void documentLoadsIntoTheScene();
};

void TestEntityBuilding::assembling_data()
{
    QTest::addColumn<Rects>("boxes");
    QTest::addColumn<Fragments>("fragments");
    QTest::addColumn<QStringList>("entities");
    const Rects box{{0, 0, 200, 100}};
    QTest::newRow("nothing") << box << Fragments{} << QStringList{" [] missing"};
    QTest::newRow("no boxes") << Rects{} << Fragments{text(10, 10, "Orders")} << QStringList{};
    QTest::newRow("one line is the title") << box << Fragments{text(10, 10, "Orders")}
                                           << QStringList{"Orders [] missing"};
    QTest::newRow("rows in reading order")
        << box << Fragments{text(10, 50, "customer_id"), text(10, 30, "id"), text(120, 31, "uuid"),
                            text(10, 10, "Orders"), text(120, 50, "int")}
        << QStringList{"Orders [id:uuid; customer_id:int]"};
    QTest::newRow("id rows get uuid, others undefined")
        << box << Fragments{text(10, 10, "Orders"), text(10, 30, "order_id"), text(10, 50, "note")}
        << QStringList{"Orders [order_id:uuid; note:undefined]"};
    QTest::newRow("type word after the name")
        << box << Fragments{text(10, 10, "Orders"), text(10, 30, "PK id: uuid"), text(10, 50, "created_at timestamp")}
        << QStringList{"Orders [id:uuid; created_at:timestamp]"};
    QTest::newRow("7 apart stays one line at any height")
        << box << Fragments{text(10, 10, "Orders", 4), text(10, 17, "Items", 4)}
        << QStringList{"Orders Items [] missing"};
    QTest::newRow("7.5 apart at height 4 breaks")
        << box << Fragments{text(10, 10, "Orders", 4), text(10, 17.5, "note", 4)}
        << QStringList{"Orders [note:undefined]"};
    QTest::newRow("11 apart at height 20 stays one line")
        << box << Fragments{text(10, 10, "Orders", 20), text(10, 21, "Items", 20)}
        << QStringList{"Orders Items [] missing"};
    QTest::newRow("11.5 apart at height 20 breaks")
        << box << Fragments{text(10, 10, "Orders", 20), text(10, 21.5, "note", 20)}
        << QStringList{"Orders [note:undefined]"};
    // Centres at x 202, 210 and 230 for a box ending at 200.
    QTest::newRow("within 4 of the edge")
        << box << Fragments{TextFragment{QRectF(198, 40, 8, 10), "A"}} << QStringList{"A [] missing"};
    QTest::newRow("between 4 and 18: the nearest box")
        << Rects{{0, 0, 200, 100}, {240, 0, 200, 100}} << Fragments{TextFragment{QRectF(206, 40, 8, 10), "A"}}
        << QStringList{"A [] missing", " [] missing"};
    QTest::newRow("beyond 18 dropped")
        << box << Fragments{TextFragment{QRectF(226, 40, 8, 10), "A"}} << QStringList{" [] missing"};
    QTest::newRow("nested boxes: the smaller")
        << Rects{{0, 0, 400, 300}, {50, 50, 100, 80}}
        << Fragments{text(10, 10, "Outer"), text(60, 60, "Inner")}
        << QStringList{"Outer [] missing", "Inner [] missing"};
    QTest::newRow("blank, not-a-number and infinite fragments skipped")
        << box << Fragments{text(10, 10, "Orders"), TextFragment{QRectF(10, 30, 40, 12), "  "},
                            TextFragment{QRectF(NaN, 30, 40, 12), "nan"},
                            TextFragment{QRectF(10, 40, Inf, 12), "inf"}, text(10, 60, "note")}
        << QStringList{"Orders [note:undefined]"};
    QTest::newRow("boxes that are not numbers receive nothing")
        << Rects{{NaN, 0, 200, 100}, {0, 0, Inf, 100}, {0, 0, 200, 100}} << Fragments{text(10, 10, "Orders")}
        << QStringList{" [] missing", " [] missing", "Orders [] missing"};
    QTest::newRow("blank lines dropped, a lone separator is a name")
        << box << Fragments{text(10, 10, "Orders"), text(10, 30, "\t"), text(10, 50, "|")}
        << QStringList{"Orders [|:undefined]"};
}

void TestEntityBuilding::assembling()
{
    QFETCH(Rects, boxes);
    QFETCH(Fragments, fragments);
    QFETCH(QStringList, entities);
    QCOMPARE(assemble(boxes, fragments), entities);
}

void TestEntityBuilding::canvasScaleAndOrigin_data()
{
    QTest::addColumn<Rects>("rects");
    QTest::addColumn<QList<QPointF>>("positions");
    QTest::newRow("median 200: scale 0.9")
        << Rects{{10, 20, 100, 50}, {110, 220, 200, 50}, {500, 20, 300, 50}}
        << QList<QPointF>{{40, 40}, {130, 220}, {481, 40}};
    QTest::newRow("upper median of two")
        << Rects{{0, 0, 100, 50}, {100, 100, 300, 50}} << QList<QPointF>{{40, 40}, {100, 100}};
    QTest::newRow("50 wide: 2.8") << Rects{{60, 70, 50, 30}} << QList<QPointF>{{40, 40}};
    QTest::newRow("40 wide: 2.8") << Rects{{0, 0, 40, 30}, {10, 10, 40, 30}} << QList<QPointF>{{40, 40}, {68, 68}};
    QTest::newRow("1000 wide: 0.35") << Rects{{0, 0, 1000, 300}, {100, 200, 1000, 300}}
                                     << QList<QPointF>{{40, 40}, {75, 110}};
}

void TestEntityBuilding::canvasScaleAndOrigin()
{
    QFETCH(Rects, rects);
    QFETCH(QList<QPointF>, positions);
    RecognizedDiagram diagram;
    for (const QRectF &rect : rects)
        diagram.entities.append(entityAt(rect, QStringLiteral("T")));
    const QJsonArray entities = buildRecognizedDiagramJson(diagram).value(QStringLiteral("entities")).toArray();
    QCOMPARE(entities.size(), positions.size());
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const QJsonObject entity = entities.at(i).toObject();
        QCOMPARE(entity.value(QStringLiteral("x")).toDouble(), positions.at(i).x());
        QCOMPARE(entity.value(QStringLiteral("y")).toDouble(), positions.at(i).y());
    }
}

void TestEntityBuilding::documentRowsAndLinks()
{
    RecognizedDiagram diagram;
    diagram.entities.append(entityAt({0, 0, 200, 100}, QStringLiteral("Customers"),
                                     {{"name", "text"}, {"customer_id", "uuid"}, {"note", "undefined"}}));
    diagram.entities.append(entityAt({300, 0, 200, 100}, QStringLiteral("Orders"),
                                     {{"id", "uuid"}, {"customer_id", "uuid"}}));
    for (const auto &[one, many] : QList<QPair<int, int>>{{0, 1}, {-1, 0}, {1, 2}, {1, 1}}) {
        RecognizedLink link;
        link.oneIndex = one;
        link.manyIndex = many;
        diagram.links.append(link);
    }
    const QJsonObject document = buildRecognizedDiagramJson(diagram);

    QCOMPARE(document.value(QStringLiteral("version")).toString(), QStringLiteral("1.0"));
    QCOMPARE(document.value(QStringLiteral("type")).toString(), QStringLiteral("er-diagram"));
    QVERIFY(!document.contains(QStringLiteral("dialect")));
    QVERIFY(!document.contains(QStringLiteral("annotations")));
    QCOMPARE(document.value(QStringLiteral("edges")).toArray(), QJsonArray());
    QCOMPARE(document.value(QStringLiteral("_linkCount")).toInt(), 4);
    const QJsonArray links = document.value(QStringLiteral("_links")).toArray();
    QCOMPARE(links.size(), 1);
    QCOMPARE(links.at(0).toObject(), (QJsonObject{{"one", "Customers"}, {"many", "Orders"}}));

    const QJsonArray entities = document.value(QStringLiteral("entities")).toArray();
    QCOMPARE(entities.size(), 2);
    QStringList keys;
    QSet<QString> ids;
    for (const QJsonValue &value : entities) {
        const QJsonObject entity = value.toObject();
        const QString id = entity.value(QStringLiteral("id")).toString();
        QVERIFY(!QUuid::fromString(id).isNull());
        QVERIFY(!id.startsWith(QLatin1Char('{')));
        ids.insert(id);
        QString flags;
        for (const QJsonValue &row : entity.value(QStringLiteral("attributes")).toArray()) {
            const QJsonObject object = row.toObject();
            QVERIFY(!object.value(QStringLiteral("isUniqueKey")).toBool(true));
            flags += object.value(QStringLiteral("isPrimaryKey")).toBool()   ? QLatin1Char('P')
                     : object.value(QStringLiteral("isForeignKey")).toBool() ? QLatin1Char('F')
                                                                             : QLatin1Char('-');
        }
        keys.append(entity.value(QStringLiteral("title")).toString() + QLatin1Char(' ') + flags);
    }
    QCOMPARE(ids.size(), 2);
    // The own id is the key wherever it stands; an id naming another table refers to it.
    QCOMPARE(keys, (QStringList{"Customers -P-", "Orders PF"}));
}

void TestEntityBuilding::emptyDiagramGivesAnEmptyDocument()
{
    const QJsonObject document = buildRecognizedDiagramJson(RecognizedDiagram());
    QCOMPARE(document.value(QStringLiteral("entities")).toArray(), QJsonArray());
    QCOMPARE(document.value(QStringLiteral("edges")).toArray(), QJsonArray());
    QCOMPARE(document.value(QStringLiteral("_links")).toArray(), QJsonArray());
    QCOMPARE(document.value(QStringLiteral("_linkCount")).toInt(-1), 0);
}

// Boxes that are not numbers are placed at 0 and left out of the scale and the origin;
// finite boxes too far apart to subtract are placed at 0 as well.
void TestEntityBuilding::numbersThatAreNotFiniteNeverReachTheDocument()
{
    RecognizedDiagram diagram;
    diagram.entities.append(entityAt({NaN, 5, 100, 50}, QStringLiteral("nan")));
    diagram.entities.append(entityAt({100, 100, 200, 50}, QStringLiteral("finite")));
    diagram.entities.append(entityAt({-Inf, 0, 10, 10}, QStringLiteral("inf")));
    QJsonArray entities = buildRecognizedDiagramJson(diagram).value(QStringLiteral("entities")).toArray();
    QCOMPARE(entities.at(0).toObject().value(QStringLiteral("x")).toDouble(-1), 0.0);
    QCOMPARE(entities.at(0).toObject().value(QStringLiteral("y")).toDouble(-1), 0.0);
    QCOMPARE(entities.at(1).toObject().value(QStringLiteral("x")).toDouble(), 40.0);
    QCOMPARE(entities.at(1).toObject().value(QStringLiteral("y")).toDouble(), 40.0);
    QCOMPARE(entities.at(2).toObject().value(QStringLiteral("x")).toDouble(-1), 0.0);

    diagram.entities = {entityAt({-1e300, -1e300, 100, 50}, QStringLiteral("far left")),
                        entityAt({1e300, 1e300, 100, 50}, QStringLiteral("far right"))};
    entities = buildRecognizedDiagramJson(diagram).value(QStringLiteral("entities")).toArray();
    for (const QJsonValue &value : std::as_const(entities)) {
        QVERIFY(std::isfinite(value.toObject().value(QStringLiteral("x")).toDouble(NaN)));
        QVERIFY(std::isfinite(value.toObject().value(QStringLiteral("y")).toDouble(NaN)));
    }
}

void TestEntityBuilding::documentLoadsIntoTheScene()
{
    QList<RecognizedEntity> entities{entityAt({20, 20, 200, 120}, QString()),
                                     entityAt({320, 40, 180, 100}, QString())};
    assembleEntities(entities, {text(30, 25, "Customers"), text(30, 50, "name: text"), text(30, 70, "email"),
                                text(330, 45, "Orders"), text(330, 70, "id"), text(330, 90, "customer_id int")});
    RecognizedDiagram diagram;
    diagram.entities = entities;
    ERScene scene;
    QVERIFY(scene.loadFromJson(buildRecognizedDiagramJson(diagram)));

    const QList<EntityItem *> boxes = entityBoxes(scene);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0)->title(), QStringLiteral("Customers"));
    QCOMPARE(boxes.at(0)->pos(), QPointF(40, 40));
    QCOMPARE(boxes.at(0)->attributeCount(), 2);
    QCOMPARE(boxes.at(0)->attributeName(0), QStringLiteral("name"));
    QCOMPARE(boxes.at(0)->attributeType(0), QStringLiteral("text"));
    // Neither row is an id, so neither is taken for the key.
    QVERIFY(!boxes.at(0)->isAttributePrimaryKey(0));
    QCOMPARE(boxes.at(0)->attributeName(1), QStringLiteral("email"));
    QVERIFY(!boxes.at(0)->isAttributePrimaryKey(1));
    QCOMPARE(boxes.at(1)->title(), QStringLiteral("Orders"));
    QCOMPARE(boxes.at(1)->attributeCount(), 2);
    QCOMPARE(boxes.at(1)->attributeType(0), QStringLiteral("uuid"));
    QCOMPARE(boxes.at(1)->attributeName(1), QStringLiteral("customer_id"));
    QCOMPARE(boxes.at(1)->attributeType(1), QStringLiteral("int"));
    QVERIFY(boxes.at(1)->isAttributePrimaryKey(0));
    // The customers' id in the orders is a foreign key, not a key of the orders.
    QVERIFY(!boxes.at(1)->isAttributePrimaryKey(1));
    QVERIFY(boxes.at(1)->isAttributeForeignKey(1));
}

QTEST_MAIN(TestEntityBuilding)
#include "tst_entitybuilding.moc"
