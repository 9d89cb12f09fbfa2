// Deferred re-routing with the real router and the real timer: one quick re-route per
// timer shot, one full re-route when the batch ends, and edges deleted while they wait.
#include "diagramgenerator.h"
#include "edgeitem.h"
#include "edgeswitchscope.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "sceneindexprobe.h"
#include "routegeometry.h"
#include "slotitem.h"
#include "testsupport.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QtTest>

#include <algorithm>
#include <cmath>

using edgetest::addBox;
using edgetest::addEdge;

namespace {

// Counts the routes it is given: every re-route that is not the straight line between
// two aligned slots ends in a fresh path, and the pen is applied with it.
class CountingEdge : public EdgeItem
{
public:
    using EdgeItem::EdgeItem;
    void applyPen() override
    {
        ++routed;
        EdgeItem::applyPen();
    }
    int routed = 0;
};

} // namespace

class tst_EdgeItemRerouting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void batchServesEachEdgeOncePerShot();
    void batchEndRunsFullRerouteUnlessDiscarded_data();
    void batchEndRunsFullRerouteUnlessDiscarded();
    void deletedWhilePendingIsNeverServed_data();
    void deletedWhilePendingIsNeverServed();
    void deletingBoxTakesItsPendingEdges();
    void sceneOfPendingEdgesTearsDown();
    void nestedBatchKeepsTheOuterOne();
    void nestedTimerHoldKeepsTheOuterOne();
    void nestedObstacleIndexKeepsTheOuterOne();
    void hubDragRoutesAsTheSceneWalkDoes_data();
    void hubDragRoutesAsTheSceneWalkDoes();
    void boxDroppedOnOtherLinesRoutesThemAround();

private:
    QGraphicsScene *m_scene = nullptr;
};

void tst_EdgeItemRerouting::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemRerouting::init()
{
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
}

void tst_EdgeItemRerouting::cleanup()
{
    edgetest::resetRouting();
    if (m_scene) {
        edgetest::clearScene(m_scene);
        delete m_scene;
        m_scene = nullptr;
    }
}

void tst_EdgeItemRerouting::batchServesEachEdgeOncePerShot()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 100));
    EntityItem *c = addBox(m_scene, "c", QPointF(-250, 350));
    auto *ab = addEdge<CountingEdge>(m_scene, a, b);
    auto *ac = addEdge<CountingEdge>(m_scene, a, c);
    ab->routed = ac->routed = 0;
    // Each move asks both edges to re-route.
    const auto burst = [&](int first) {
        for (int step = first; step < first + 10; ++step)
            a->setPos(step * 3, step * 2);
    };

    EdgeItem::setBatchMode(true);
    burst(1);
    QCOMPARE(ab->routed, 0);
    QCOMPARE(ac->routed, 0);
    QVERIFY(ab->isReroutePending() && ab->isRerouteDeferred());
    QTRY_VERIFY_WITH_TIMEOUT(!ab->isReroutePending() && !ac->isReroutePending(), 1000);
    QCOMPARE(ab->routed, 1);
    QCOMPARE(ac->routed, 1);
    QCOMPARE(ab->points, ab->computeRoute());
    QCOMPARE(ac->points, ac->computeRoute());

    // Without a new request the timer does not fire again.
    QTest::qWait(100);
    QCOMPARE(ab->routed, 1);
    QCOMPARE(ac->routed, 1);

    burst(11);
    QTRY_VERIFY_WITH_TIMEOUT(!ab->isReroutePending() && !ac->isReroutePending(), 1000);
    QCOMPARE(ab->routed, 2);
    QCOMPARE(ac->routed, 2);

    // The end of the batch runs the full re-route once each.
    QVERIFY(ab->isRerouteDeferred());
    EdgeItem::setBatchMode(false);
    QCOMPARE(ab->routed, 3);
    QCOMPARE(ac->routed, 3);
    QVERIFY(!ab->isRerouteDeferred() && !ac->isRerouteDeferred());
}

void tst_EdgeItemRerouting::batchEndRunsFullRerouteUnlessDiscarded_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("full re-route") << false;
    QTest::newRow("discarded") << true;
}

void tst_EdgeItemRerouting::batchEndRunsFullRerouteUnlessDiscarded()
{
    QFETCH(bool, discard);
    // Facing slots on one line: the quick re-route draws the straight line and keeps the
    // manual-route flag; only a full re-route clears it.
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(400, 0)));
    edge->manualRoute = true;
    EdgeItem::setBatchMode(true);
    EdgeItem::setDiscardPendingReroutes(discard);
    edge->scheduleReroute();
    EdgeItem::setBatchMode(false);
    QCOMPARE(edge->points, QList<QPointF>({ edge->fromSlot->center(), edge->toSlot->center() }));
    QCOMPARE(edge->manualRoute, discard);
    QVERIFY(!EdgeItem::isDiscardingPendingReroutes());
    QVERIFY(!edge->isReroutePending());
    QVERIFY(!edge->isRerouteDeferred());
}

void tst_EdgeItemRerouting::deletedWhilePendingIsNeverServed_data()
{
    QTest::addColumn<bool>("byTimer");
    QTest::newRow("timer fires") << true;
    QTest::newRow("batch ends") << false;
}

void tst_EdgeItemRerouting::deletedWhilePendingIsNeverServed()
{
    QFETCH(bool, byTimer);
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 100));
    QPointer<EdgeItem> doomed = addEdge(m_scene, a, b);
    EdgeItem *survivor = addEdge(m_scene, b, a);
    EdgeItem::setBatchMode(true);
    a->moveBy(10, 10);
    QVERIFY(doomed->isReroutePending());
    delete doomed.data();
    QVERIFY(survivor->isReroutePending());
    if (byTimer)
        QTRY_VERIFY_WITH_TIMEOUT(!survivor->isReroutePending(), 1000);
    EdgeItem::setBatchMode(false);
    QCOMPARE(survivor->points, survivor->computeRoute());
    QCOMPARE(a->edges, QList<EdgeItem *>({ survivor }));
}

void tst_EdgeItemRerouting::deletingBoxTakesItsPendingEdges()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 100));
    EntityItem *c = addBox(m_scene, "c", QPointF(0, 300));
    QPointer<EdgeItem> ab = addEdge(m_scene, a, b);
    QPointer<EdgeItem> cb = addEdge(m_scene, c, b);
    EdgeItem::setBatchMode(true);
    b->moveBy(20, 0);
    QVERIFY(ab->isReroutePending() && cb->isReroutePending());
    delete b;
    QVERIFY(!ab);
    QVERIFY(!cb);
    QTest::qWait(60);
    EdgeItem::setBatchMode(false);
    QVERIFY(a->edges.isEmpty());
}

void tst_EdgeItemRerouting::sceneOfPendingEdgesTearsDown()
{
    diagramgenerator::DiagramPlan plan;
    plan.columns = 6;
    plan.rows = 5;
    plan.views = 3;
    plan.edges = 60;
    plan.selfRelationships = 3;
    plan.viewLinks = 4;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(m_scene, plan);
    QList<QPointer<QObject>> items;
    for (EdgeItem *edge : diagram.edges) {
        edge->updatePath();
        items.append(edge);
    }
    for (EntityItem *box : diagram.boxes)
        items.append(box);
    EdgeItem::setBatchMode(true);
    for (int i = 0; i < diagram.boxes.size(); i += 3)
        diagram.boxes.at(i)->moveBy(5, 5);
    const auto waiting = std::count_if(diagram.edges.cbegin(), diagram.edges.cend(),
                                       [](const EdgeItem *edge) { return edge->isReroutePending(); });
    QVERIFY(waiting > 10);

    // The scene deletes boxes and edges in its own order while edges still wait.
    delete m_scene;
    m_scene = nullptr;
    QVERIFY(std::all_of(items.cbegin(), items.cend(), [](const QPointer<QObject> &item) { return item.isNull(); }));

    // What the same batch asks afterwards is served as usual: once by the timer, once at the end.
    QGraphicsScene fresh;
    EntityItem *a = addBox(&fresh, "a", QPointF(0, 0));
    auto *edge = addEdge<CountingEdge>(&fresh, a, addBox(&fresh, "b", QPointF(400, 100)));
    edge->routed = 0;
    a->moveBy(10, 10);
    QTRY_VERIFY_WITH_TIMEOUT(!edge->isReroutePending(), 1000);
    QCOMPARE(edge->routed, 1);
    EdgeItem::setBatchMode(false);
    QCOMPARE(edge->routed, 2);
    edgetest::clearScene(&fresh);
}

void tst_EdgeItemRerouting::nestedBatchKeepsTheOuterOne()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EdgeItem *edge = addEdge(m_scene, a, addBox(m_scene, "b", QPointF(400, 100)));
    EdgeItem::setBatchMode(true);
    EdgeItem::setBatchMode(true); // a box's own batch inside a layout
    a->moveBy(10, 10);
    EdgeItem::setBatchMode(false);
    QVERIFY(EdgeItem::isBatchMode());
    QVERIFY(edge->isRerouteDeferred());
    EdgeItem::setBatchMode(false);
    QVERIFY(!EdgeItem::isBatchMode());
    QVERIFY(!edge->isRerouteDeferred());
    QCOMPARE(edge->points, edge->computeRoute());
}

void tst_EdgeItemRerouting::nestedTimerHoldKeepsTheOuterOne()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EdgeItem *edge = addEdge(m_scene, a, addBox(m_scene, "b", QPointF(400, 100)));
    EdgeItem::setBatchMode(true);
    {
        RerouteTimerHold outer;
        { RerouteTimerHold inner; }
        QVERIFY(EdgeItem::isRerouteTimerHeld());
        a->moveBy(10, 10);
        QTest::qWait(100); // three times the batch interval
        QVERIFY(edge->isReroutePending());
    }
    QVERIFY(!EdgeItem::isRerouteTimerHeld());
    EdgeItem::setBatchMode(false);
    QVERIFY(!edge->isReroutePending());
}

void tst_EdgeItemRerouting::nestedObstacleIndexKeepsTheOuterOne()
{
    QGraphicsScene other;
    const EntityObstacleIndex outerIndex(m_scene, { addBox(m_scene, "a", QPointF(0, 0)) });
    const EntityObstacleIndex innerIndex(&other, { addBox(&other, "b", QPointF(0, 0)) });
    {
        const ObstacleIndexScope outer(&outerIndex);
        {
            // Another scene laid out or loaded during one of the outer scope's event turns.
            const ObstacleIndexScope inner(&innerIndex);
            QCOMPARE(EdgeItem::obstacleIndexFor(&other), &innerIndex);
        }
        QCOMPARE(EdgeItem::obstacleIndexFor(m_scene), &outerIndex);
    }
    QCOMPARE(EdgeItem::obstacleIndexFor(m_scene), nullptr);
    edgetest::clearScene(&other);
}

void tst_EdgeItemRerouting::hubDragRoutesAsTheSceneWalkDoes_data()
{
    QTest::addColumn<int>("rings");
    // Past 64 edges a drag step keeps clear of the boxes near the two ends only.
    QTest::newRow("12 edges") << 1;
    QTest::newRow("72 edges, near the ends while dragged") << 6;
}

void tst_EdgeItemRerouting::hubDragRoutesAsTheSceneWalkDoes()
{
    QFETCH(int, rings);
    // A hub with spokes all round, some behind walls, dragged with one of the walls far
    // enough for slots to change sides. The drag steps and the release answer obstacle
    // look-ups from an index; every route must be the one the walk over the scene gives.
    EntityItem *hub = addBox(m_scene, "hub", QPointF(0, 0));
    QList<EdgeItem *> edges;
    for (int i = 0; i < 12 * rings; ++i) {
        const double angle = (i % 12) * 6.283185307179586 / 12 + (i / 12) * 0.09;
        const double reach = 1 + (i / 12) * 0.6;
        const QPointF at(700 * reach * std::cos(angle), 500 * reach * std::sin(angle));
        EntityItem *spoke = addBox(m_scene, QStringLiteral("spoke_%1").arg(i), at);
        if (i % 3 == 0 && i < 12)
            addBox(m_scene, QStringLiteral("wall_%1").arg(i), at * 0.55)->setSelected(i == 3);
        edges.append(addEdge(m_scene, spoke, hub));
    }
    hub->setSelected(true);
    const auto routes = [&] {
        QList<QList<QPointF>> all;
        for (const EdgeItem *edge : std::as_const(edges))
            all.append(edge->points);
        return all;
    };
    const auto walked = [&](bool quick) {
        EdgeItem::setFullObstacleWalk(true);
        EdgeItem::setRouteSearchHeld(quick);
        for (EdgeItem *edge : std::as_const(edges)) {
            if (quick)
                edge->rerouteStraightWhenAligned();
            else
                edge->updatePath();
        }
        EdgeItem::setFullObstacleWalk(false);
        EdgeItem::setRouteSearchHeld(false);
        return routes();
    };

    // A point where the box itself, not a cell or a slot, takes the press.
    QPointF at;
    for (double y = 2; at.isNull() && y < hub->boundingRect().bottom(); y += 2) {
        for (double x = 6; at.isNull() && x < hub->boundingRect().right(); x += 3) {
            if (m_scene->itemAt(hub->mapToScene(QPointF(x, y)), QTransform()) == hub)
                at = hub->mapToScene(QPointF(x, y));
        }
    }
    QVERIFY(!at.isNull());
    QVERIFY(edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, at, Qt::LeftButton, Qt::LeftButton));
    // A drag of many lines is set up at the press, not at its first step.
    QCOMPARE(m_scene->itemIndexMethod(), rings > 1 ? QGraphicsScene::NoIndex : QGraphicsScene::BspTreeIndex);
    for (const QPointF step : {QPointF(40, 30), QPointF(120, -20), QPointF(260, 180)}) {
        at += step;
        edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseMove, at, Qt::LeftButton, Qt::LeftButton);
        EdgeItem::flushPendingReroutes();
        // Whatever bounds a line has meanwhile hold all of it.
        for (const EdgeItem *edge : std::as_const(edges))
            QVERIFY(edge->boundingRect().contains(edge->shape().controlPointRect()));
        const QList<QList<QPointF>> quick = routes();
        if (rings == 1)
            QCOMPARE(walked(true), quick);
    }
    // A rectangle of its own, as the diagram's scene keeps, which the release leaves as it is.
    m_scene->setSceneRect(-6000, -6000, 12000, 12000);
    edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseRelease, at, Qt::LeftButton, Qt::NoButton);
    QVERIFY(!EdgeItem::isBatchMode());
    QCOMPARE(hub->pos(), QPointF(420, 190));
    QCOMPARE(EntityItem::selectedEntityItems(m_scene).size(), 2);
    QVERIFY(std::any_of(edges.cbegin(), edges.cend(), [](const EdgeItem *edge) { return edge->points.size() > 4; }));
    const QList<QList<QPointF>> released = routes();
    QCOMPARE(walked(false), released);
    // After the drag each line's bounds are exact again: its outline and the reach of its
    // markers, as a saved picture's size depends on them.
    for (const EdgeItem *edge : std::as_const(edges))
        QCOMPARE(edge->boundingRect(), edge->shape().controlPointRect().adjusted(-20, -20, 20, 20));

    // Whatever the drag did with the scene's index, the scene finds each line where it now runs.
    QCOMPARE(m_scene->itemIndexMethod(), QGraphicsScene::BspTreeIndex);
    for (const EdgeItem *edge : std::as_const(edges)) {
        const QPointF middle = (edge->points.at(0) + edge->points.at(1)) / 2;
        QVERIFY(m_scene->items(QRectF(middle - QPointF(1, 1), QSizeF(2, 2))).contains(edge));
    }
    // and spans the scene: a look-up near the hub weighs no item in the far corner.
    QVERIFY(testsupport::lookUpPassesOver(m_scene, QRectF(50, 50, 50, 50), QPointF(5000, 5000)));
}

QTEST_MAIN(tst_EdgeItemRerouting)
void tst_EdgeItemRerouting::boxDroppedOnOtherLinesRoutesThemAround()
{
    // Two straight lines side by side and one far below; a box dragged onto the first two
    // and released: neither runs under it afterwards, the far one keeps its route.
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0), {"id"}, {"name", "note"});
    EntityItem *b = addBox(m_scene, "b", QPointF(900, 0), {"id"}, {"name", "note"});
    EntityItem *c = addBox(m_scene, "c", QPointF(0, 700));
    EntityItem *d = addBox(m_scene, "d", QPointF(900, 700));
    EdgeItem *first = addEdge(m_scene, a, b);
    EdgeItem *second = addEdge(m_scene, a, b);
    EdgeItem *far = addEdge(m_scene, c, d);
    EntityItem *mover = addBox(m_scene, "mover", QPointF(400, 350));
    const QList<QPointF> farRoute = far->points;
    const auto runsUnder = [&](const EdgeItem *edge) {
        return routing::countObstacleHits(edge->points, {routing::insetObstacleRect(mover->sceneBoundingRect())}) > 0;
    };
    QVERIFY(!runsUnder(first) && !runsUnder(second));

    QPointF at = mover->mapToScene(QPointF(20, 4));
    QCOMPARE(m_scene->itemAt(at, QTransform()), mover);
    QVERIFY(edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, at, Qt::LeftButton, Qt::LeftButton));
    // The box's middle onto the middle of the two lines.
    const QPointF middle = (first->points.first() + first->points.last()) / 2;
    const QPointF onto = middle - mover->sceneBoundingRect().center();
    at += onto;
    edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseMove, at, Qt::LeftButton, Qt::LeftButton);
    QVERIFY(runsUnder(first) || runsUnder(second));
    edgetest::sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseRelease, at, Qt::LeftButton, Qt::NoButton);

    QVERIFY(mover->sceneBoundingRect().contains(middle));
    QVERIFY(!runsUnder(first));
    QVERIFY(!runsUnder(second));
    QCOMPARE(far->points, farRoute);
}

#include "tst_edgeitem_rerouting.moc"
