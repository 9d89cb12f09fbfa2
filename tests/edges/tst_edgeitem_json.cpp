// The edge object of the diagram document: what an edge writes, and how a read object is
// applied to an edge between the same boxes, including bad input.
#include "edgeitem.h"
#include "edgeroute.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "slotitem.h"
#include "testsupport.h"

#include <QGraphicsScene>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUuid>
#include <QtTest>

#include <cmath>
#include <limits>

using edgetest::addBox;
using edgetest::addEdge;

namespace {

QJsonArray pointArray(const QList<QPointF> &points)
{
    QJsonArray array;
    for (const QPointF &p : points)
        array.append(QJsonObject{ { "x", p.x() }, { "y", p.y() } });
    return array;
}

bool isFreshId(const QString &id)
{
    return id.size() == 36 && !QUuid::fromString(id).isNull();
}

} // namespace

class tst_EdgeItemJson : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void writesItsObject();
    void writesNoShortRoute();
    void nullEndsWriteNothing();
    void roundTripGivesEqualObject_data();
    void roundTripGivesEqualObject();

    void missingMembersKeepDefaults();
    void wrongTypesReadAsDefaults();
    void cardinalityOutsideRangeIsKept();
    void unusableIdGetsFreshOne_data();
    void unusableIdGetsFreshOne();

    void slotSideWithoutPosition();
    void slotSideOutsideRangeKeepsSide_data();
    void slotSideOutsideRangeKeepsSide();
    void slotPositionNotFiniteIsMissing_data();
    void slotPositionNotFiniteIsMissing();

    void storedRouteIsFitted_data();
    void storedRouteIsFitted();
    void unusableRouteIsDropped_data();
    void unusableRouteIsDropped();
    void veryLongRouteLoads();

private:
    QGraphicsScene *m_scene = nullptr;
    EntityItem *m_a = nullptr;
    EntityItem *m_b = nullptr;
};

void tst_EdgeItemJson::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemJson::init()
{
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
    m_a = addBox(m_scene, "a", QPointF(0, 0));
    m_b = addBox(m_scene, "b", QPointF(400, 200));
}

void tst_EdgeItemJson::cleanup()
{
    edgetest::clearScene(m_scene);
    delete m_scene;
    m_scene = nullptr;
}

void tst_EdgeItemJson::writesItsObject()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b);
    edge->startCard = 0;
    edge->endCard = 3;
    const QJsonObject o = edge->toJson();
    QCOMPARE(o.value("from").toString(), m_a->id());
    QCOMPARE(o.value("to").toString(), m_b->id());
    QCOMPARE(o.value("startCard").toInt(), 0);
    QCOMPARE(o.value("endCard").toInt(), 3);
    QCOMPARE(o.value("id").toString(), edge->id);
    const QJsonObject fromSlot = o.value("fromSlot").toObject();
    QCOMPARE(fromSlot.value("side").toInt(), int(edge->fromSlot->side()));
    QCOMPARE(fromSlot.value("x").toDouble(), edge->fromSlot->pos().x());
    QCOMPARE(fromSlot.value("y").toDouble(), edge->fromSlot->pos().y());
    QCOMPARE(o.value("points").toArray(), pointArray(edge->points));
    QVERIFY(!o.contains("kind"));
}

void tst_EdgeItemJson::writesNoShortRoute()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    QVERIFY(!edge->toJson().contains("points"));
    edge->points = { QPointF(1, 2) };
    QVERIFY(!edge->toJson().contains("points"));
}

void tst_EdgeItemJson::nullEndsWriteNothing()
{
    EdgeItem edge(nullptr, nullptr, false);
    QTest::ignoreMessage(QtWarningMsg, "EdgeItem::toJson() called with null entities");
    QVERIFY(edge.toJson().isEmpty());
}

void tst_EdgeItemJson::roundTripGivesEqualObject_data()
{
    QTest::addColumn<bool>("selfRelationship");
    QTest::newRow("between two boxes") << false;
    QTest::newRow("self relationship") << true;
}

void tst_EdgeItemJson::roundTripGivesEqualObject()
{
    QFETCH(bool, selfRelationship);
    EntityItem *to = selfRelationship ? m_a : m_b;
    EdgeItem *edge = addEdge(m_scene, m_a, to);
    if (selfRelationship) {
        // A new self relationship's slots are not on the outline yet; a read pulls them there.
        edge->fromSlot->constrainToParent();
        edge->toSlot->constrainToParent();
        edge->updatePath();
    }
    edge->startCard = 2;
    edge->endCard = 0;
    const QJsonObject written = edge->toJson();
    QVERIFY(written.value("points").toArray().size() >= 2);
    delete edge;

    EdgeItem *read = addEdge(m_scene, m_a, to, false);
    read->fromJson(written);
    QCOMPARE(read->toJson(), written);
    QVERIFY(!read->manualRoute);
}

void tst_EdgeItemJson::missingMembersKeepDefaults()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    const QPointF fromPos = edge->fromSlot->pos();
    const QString oldId = edge->id;
    edge->fromJson(QJsonObject{ { "from", "x" }, { "to", "y" } });
    QCOMPARE(edge->startCard, 1);
    QCOMPARE(edge->endCard, 1);
    QCOMPARE(edge->fromSlot->pos(), fromPos);
    QVERIFY(edge->points.isEmpty());
    // A missing id is always replaced by a fresh one.
    QVERIFY(isFreshId(edge->id));
    QVERIFY(edge->id != oldId);
}

void tst_EdgeItemJson::wrongTypesReadAsDefaults()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    const QPointF toPos = edge->toSlot->pos();
    const EntitySide toSide = edge->toSlot->side();
    edge->fromJson(QJsonObject{ { "id", "e1" },
                                { "startCard", "2" },
                                { "endCard", true },
                                { "toSlot", "left" },
                                { "points", QJsonObject{ { "x", 1 } } } });
    QCOMPARE(edge->id, QStringLiteral("e1"));
    QCOMPARE(edge->startCard, 0);
    QCOMPARE(edge->endCard, 0);
    // An empty slot object: nothing set, the slot only pulled onto its side.
    QCOMPARE(edge->toSlot->pos(), toPos);
    QCOMPARE(edge->toSlot->side(), toSide);
    QVERIFY(edge->points.isEmpty());
}

void tst_EdgeItemJson::cardinalityOutsideRangeIsKept()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "startCard", 7 }, { "endCard", -1 } });
    QCOMPARE(edge->startCard, 7);
    QCOMPARE(edge->endCard, -1);
}

void tst_EdgeItemJson::unusableIdGetsFreshOne_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::newRow("number") << QJsonValue(12);
    QTest::newRow("empty string") << QJsonValue(QString());
    QTest::newRow("null") << QJsonValue(QJsonValue::Null);
    QTest::newRow("object") << QJsonValue(QJsonObject{ { "id", "x" } });
}

void tst_EdgeItemJson::unusableIdGetsFreshOne()
{
    QFETCH(QJsonValue, value);
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unusable edge id"));
    edge->fromJson(QJsonObject{ { "id", value } });
    QVERIFY(isFreshId(edge->id));
}

void tst_EdgeItemJson::slotSideWithoutPosition()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    SlotItem *slot = edge->fromSlot;
    const QPointF before = slot->pos();
    edge->readSlotJson(slot, QJsonObject{ { "side", 3 }, { "x", 5 } });
    QCOMPARE(slot->side(), EntitySide::Bottom);
    // The position is kept, then pulled onto the bottom side.
    QCOMPARE(slot->pos(), SlotItem::constrainedPoint(slot->parentRect(), EntitySide::Bottom, before));
    QCOMPARE(slot->pos().y(), m_a->rect.bottom());

    edge->readSlotJson(slot, QJsonObject{ { "x", 40 }, { "y", 500 } });
    QCOMPARE(slot->side(), EntitySide::Bottom);
    QCOMPARE(slot->pos(), QPointF(40, m_a->rect.bottom()));
    edge->readSlotJson(nullptr, QJsonObject{ { "side", 1 } });
}

void tst_EdgeItemJson::slotSideOutsideRangeKeepsSide_data()
{
    QTest::addColumn<QJsonValue>("side");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("warns");
    QTest::newRow("4") << QJsonValue(4) << int(EntitySide::Right) << true;
    QTest::newRow("-1") << QJsonValue(-1) << int(EntitySide::Right) << true;
    QTest::newRow("1.5") << QJsonValue(1.5) << int(EntitySide::Right) << true;
    QTest::newRow("not a number reads as 0") << QJsonValue("top") << int(EntitySide::Left) << false;
    QTest::newRow("2") << QJsonValue(2) << int(EntitySide::Top) << false;
}

void tst_EdgeItemJson::slotSideOutsideRangeKeepsSide()
{
    QFETCH(QJsonValue, side);
    QFETCH(int, expected);
    QFETCH(bool, warns);
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    QCOMPARE(edge->fromSlot->side(), EntitySide::Right);
    if (warns)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no side of a box"));
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "fromSlot", QJsonObject{ { "side", side } } } });
    QCOMPARE(int(edge->fromSlot->side()), expected);
    edge->updatePath();
    QVERIFY(edge->points.size() >= 2);
}

void tst_EdgeItemJson::slotPositionNotFiniteIsMissing_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("x not a number") << std::numeric_limits<double>::quiet_NaN() << 20.0;
    QTest::newRow("y infinite") << 40.0 << inf;
    QTest::newRow("both below every bound") << -inf << -inf;
}

void tst_EdgeItemJson::slotPositionNotFiniteIsMissing()
{
    QFETCH(double, x);
    QFETCH(double, y);
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    const QPointF before = edge->fromSlot->pos();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not finite; the slot keeps its place"));
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "fromSlot", QJsonObject{ { "side", 1 }, { "x", x }, { "y", y } } } });
    QCOMPARE(edge->fromSlot->pos(), before);
    edge->updatePath();
    QVERIFY(edge->points.size() >= 2);
    for (const QPointF &point : std::as_const(edge->points))
        QVERIFY2(std::isfinite(point.x()) && std::isfinite(point.y()), qPrintable(QString::number(point.y())));
}

void tst_EdgeItemJson::storedRouteIsFitted_data()
{
    QTest::addColumn<QList<QPointF>>("stored");
    QTest::addColumn<bool>("expectFitted");

    // Slots: right side of a, left side of b; a stored route from an older layout.
    QTest::newRow("two points") << QList<QPointF>{ QPointF(140, 30), QPointF(410, 250) } << true;
    QTest::newRow("three points") << QList<QPointF>{ QPointF(140, 30), QPointF(300, 33), QPointF(300, 240) } << true;
    QTest::newRow("four points, second one behind the slot")
        << QList<QPointF>{ QPointF(150, 40), QPointF(100, 40), QPointF(100, 240), QPointF(400, 240) } << true;
}

void tst_EdgeItemJson::storedRouteIsFitted()
{
    QFETCH(QList<QPointF>, stored);
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    const QPointF fc = edge->fromSlot->center();
    const QPointF tc = edge->toSlot->center();
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "points", pointArray(stored) } });
    QCOMPARE(edge->points, edgeroute::fitStoredRoute(stored, fc, tc, int(edge->fromSlot->side()),
                                                     int(edge->toSlot->side())));
    QCOMPARE(edge->points.first(), fc);
    QCOMPARE(edge->points.last(), tc);
    if (stored.size() == 4)
        QCOMPARE(edge->points.at(1), fc + QPointF(12, 0));
    if (stored.size() == 3)
        QCOMPARE(edge->points.at(1), QPointF(tc.x(), fc.y()));
}

void tst_EdgeItemJson::unusableRouteIsDropped_data()
{
    QTest::addColumn<QJsonValue>("element");
    QTest::newRow("not an object") << QJsonValue(3);
    QTest::newRow("no y") << QJsonValue(QJsonObject{ { "x", 3 } });
    QTest::newRow("x not a number") << QJsonValue(QJsonObject{ { "x", "3" }, { "y", 4 } });
    QTest::newRow("beyond the position bound") << QJsonValue(QJsonObject{ { "x", 3 }, { "y", 2e6 } });
}

void tst_EdgeItemJson::unusableRouteIsDropped()
{
    QFETCH(QJsonValue, element);
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    QJsonArray points = pointArray({ QPointF(140, 30), QPointF(300, 30), QPointF(300, 240), QPointF(400, 240) });
    points.insert(2, element);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("unusable point in the stored route"));
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "points", points } });
    // No route through the origin: the loader routes the edge afresh.
    QVERIFY(edge->points.isEmpty());
    QVERIFY(edge->path().isEmpty());
}

void tst_EdgeItemJson::veryLongRouteLoads()
{
    EdgeItem *edge = addEdge(m_scene, m_a, m_b, false);
    // 1,000 steps of 100 points each, most of them collinear.
    QList<QPointF> stored;
    for (int step = 0; step < 1000; ++step) {
        for (int k = 0; k < 100; ++k)
            stored.append(step % 2 ? QPointF(200 + step, 30 + k) : QPointF(200 + step + k * 0.01, 130));
    }
    QCOMPARE(stored.size(), 100000);
    edge->fromJson(QJsonObject{ { "id", "e1" }, { "points", pointArray(stored) } });
    QVERIFY(edge->points.size() >= 2);
    QVERIFY(edge->points.size() <= 2001);
    QCOMPARE(edge->points.first(), edge->fromSlot->center());
    QCOMPARE(edge->points.last(), edge->toSlot->center());
}

QTEST_MAIN(tst_EdgeItemJson)
#include "tst_edgeitem_json.moc"
