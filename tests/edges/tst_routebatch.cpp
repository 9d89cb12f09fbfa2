#include "drawnroutesscope.h"
#include "edgetestutil.h"
#include "entityobstacleindex.h"
#include "routebatch.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>

#include <cmath>

namespace {

// Boxes in a grid with a wall of boxes across it, and edges from the left of the wall to
// the right: most must search their way around it. None is routed yet.
QList<EdgeItem *> buildWalledGrid(QGraphicsScene *scene)
{
    QList<EntityItem *> left;
    QList<EntityItem *> right;
    for (int row = 0; row < 6; ++row) {
        left.append(edgetest::addBox(scene, QStringLiteral("l%1").arg(row), QPointF(0, 160.0 * row)));
        right.append(edgetest::addBox(scene, QStringLiteral("r%1").arg(row), QPointF(1000, 160.0 * row + 40)));
    }
    for (int k = 0; k < 22; ++k)
        edgetest::addBox(scene, QStringLiteral("wall_%1").arg(k), QPointF(480, -120 + 50.0 * k), {QStringLiteral("id")},
                         {QStringLiteral("a")});
    QList<EdgeItem *> edges;
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; j += 2)
            edges.append(edgetest::addEdge(scene, left[i], right[(i + j) % 6], false));
        if (i + 1 < 6)
            edges.append(edgetest::addEdge(scene, left[i], left[i + 1], false));
    }
    return edges;
}

// The quick routes of a hub of 90 spokes (a few of them in line with it, some boxes in
// between) after the hub moves during a drag, served on the given number of threads.
QList<QList<QPointF>> hubDragRoutes(int threads)
{
    RouteBatch::setThreadCount(threads);
    QGraphicsScene scene;
    EntityItem *hub = edgetest::addBox(&scene, QStringLiteral("hub"), QPointF(0, 0));
    QList<EdgeItem *> edges;
    for (int i = 0; i < 90; ++i) {
        const double angle = i * 6.283185307179586 / 90;
        const double radius = 700 + (i % 3) * 260;
        EntityItem *spoke = edgetest::addBox(&scene, QStringLiteral("s%1").arg(i),
                                             QPointF(radius * std::cos(angle), radius * std::sin(angle)));
        edges.append(edgetest::addEdge(&scene, spoke, hub));
    }
    for (int k = 0; k < 8; ++k)
        edgetest::addBox(&scene, QStringLiteral("between_%1").arg(k), QPointF(-500 + 130.0 * k, 330 - 90.0 * (k % 2)));

    EdgeItem::setBatchMode(true);
    hub->moveBy(23, 11);
    EdgeItem::flushPendingReroutes();
    QList<QList<QPointF>> routes;
    for (EdgeItem *edge : std::as_const(edges))
        routes.append(edge->points);
    EdgeItem::setDiscardPendingReroutes(true);
    EdgeItem::setBatchMode(false);
    edgetest::clearScene(&scene);
    return routes;
}

} // namespace

// The routes of many edges worked out on several threads over one index of the boxes and
// then drawn: each the route updatePath draws.
class tst_RouteBatch : public QObject
{
    Q_OBJECT

private slots:
    void init() { edgetest::resetRouting(); }
    void cleanup()
    {
        edgetest::resetRouting();
        RouteBatch::setThreadCount(0);
    }
    void batchDrawsWhatUpdatePathDraws_data();
    void batchDrawsWhatUpdatePathDraws();
    void edgesRoutedOtherwiseAreNotTaken();
    void deletedEdgePassedOverAndMovedOneRoutedAfresh();
    void hubDragServedOnThreadsDrawsWhatOneThreadDraws_data();
    void hubDragServedOnThreadsDrawsWhatOneThreadDraws();
};

void tst_RouteBatch::batchDrawsWhatUpdatePathDraws_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("1 thread") << 1;
    QTest::newRow("2 threads") << 2;
    QTest::newRow("5 threads") << 5;
}

void tst_RouteBatch::batchDrawsWhatUpdatePathDraws()
{
    QFETCH(int, threads);
    RouteBatch::setThreadCount(threads);
    QGraphicsScene scene;
    const QList<EdgeItem *> edges = buildWalledGrid(&scene);
    QVERIFY(edges.size() > 16);
    const EntityObstacleIndex index(&scene, EntityObstacleIndex::boxesOf(&scene));
    const ObstacleIndexScope useIndex(&index);

    RouteBatch batch(index);
    QList<int> places;
    for (EdgeItem *edge : edges)
        places.append(batch.add(edge));
    QCOMPARE(batch.size(), edges.size());
    batch.run({});
    for (qsizetype i = 0; i < edges.size(); ++i)
        batch.apply(places.at(i));

    int aroundTheWall = 0;
    for (EdgeItem *edge : edges) {
        const QList<QPointF> drawn = edge->points;
        QVERIFY(drawn.size() >= 2);
        edge->updatePath();
        QCOMPARE(drawn, edge->points);
        if (drawn.size() > 4)
            ++aroundTheWall;
    }
    QVERIFY(aroundTheWall > 6);
    edgetest::clearScene(&scene);
}

void tst_RouteBatch::edgesRoutedOtherwiseAreNotTaken()
{
    QGraphicsScene scene;
    QGraphicsScene other;
    EntityItem *a = edgetest::addBox(&scene, "a", QPointF(0, 0));
    EntityItem *b = edgetest::addBox(&scene, "b", QPointF(400, 0));
    EntityItem *c = edgetest::addBox(&other, "c", QPointF(0, 0));
    EntityItem *d = edgetest::addBox(&other, "d", QPointF(400, 0));
    EdgeItem *plain = edgetest::addEdge(&scene, a, b, false);
    EdgeItem *loop = edgetest::addEdge(&scene, a, a, false);
    EdgeItem *weighed = edgetest::addEdge(&scene, b, a, false);
    EdgeItem *elsewhere = edgetest::addEdge(&other, c, d, false);
    const EntityObstacleIndex index(&scene, EntityObstacleIndex::boxesOf(&scene));
    const ObstacleIndexScope useIndex(&index);
    const DrawnRoutesScope drawn({weighed});

    RouteBatch batch(index);
    QCOMPARE(batch.add(plain), 0);
    QCOMPARE(batch.add(loop), -1);
    QCOMPARE(batch.add(weighed), -1);
    QCOMPARE(batch.add(elsewhere), -1);
    QCOMPARE(batch.add(nullptr), -1);
    QCOMPARE(batch.size(), 1);
    {
        // Over the scene's own look-ups the index would not answer as the scene does.
        EdgeItem::setFullObstacleWalk(true);
        const auto restore = qScopeGuard([] { EdgeItem::setFullObstacleWalk(false); });
        EdgeItem *another = edgetest::addEdge(&scene, b, a, false);
        QCOMPARE(batch.add(another), -1);
    }
    edgetest::clearScene(&scene);
    edgetest::clearScene(&other);
}

void tst_RouteBatch::deletedEdgePassedOverAndMovedOneRoutedAfresh()
{
    QGraphicsScene scene;
    const QList<EdgeItem *> edges = buildWalledGrid(&scene);
    const EntityObstacleIndex index(&scene, EntityObstacleIndex::boxesOf(&scene));
    const ObstacleIndexScope useIndex(&index);
    RouteBatch batch(index);
    QList<int> places;
    for (EdgeItem *edge : edges)
        places.append(batch.add(edge));
    batch.run({});

    // What the event loop may do while the routes are worked out.
    QPointer<EdgeItem> gone = edges.first();
    delete edges.first();
    EdgeItem *moved = edges.last();
    moved->to->moveBy(0, 300);
    for (int place : places)
        batch.apply(place);
    QVERIFY(!gone);

    const QList<QPointF> drawn = moved->points;
    QVERIFY(drawn.size() >= 2);
    QCOMPARE(drawn.last(), moved->toSlot->center());
    moved->updatePath();
    QCOMPARE(drawn, moved->points);
    edgetest::clearScene(&scene);
}

void tst_RouteBatch::hubDragServedOnThreadsDrawsWhatOneThreadDraws_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("2 threads") << 2;
    QTest::newRow("3 threads") << 3;
    QTest::newRow("8 threads") << 8;
}

void tst_RouteBatch::hubDragServedOnThreadsDrawsWhatOneThreadDraws()
{
    QFETCH(int, threads);
    // One thread serves each edge's own quick re-route, one after another.
    const QList<QList<QPointF>> alone = hubDragRoutes(1);
    const QList<QList<QPointF>> shared = hubDragRoutes(threads);
    QCOMPARE(shared.size(), alone.size());
    int bent = 0;
    for (qsizetype i = 0; i < alone.size(); ++i) {
        QVERIFY(alone.at(i).size() >= 2);
        QCOMPARE(shared.at(i), alone.at(i));
        if (alone.at(i).size() > 2)
            ++bent;
    }
    QVERIFY(bent > 45);
}

QTEST_MAIN(tst_RouteBatch)
#include "tst_routebatch.moc"
