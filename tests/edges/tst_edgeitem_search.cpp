#include "edgeroute.h"
#include "orthogonalsearch.h"
#include "edgetestutil.h"
#include "routegeometry.h"

#include <QGraphicsScene>
#include <QTest>

namespace {

QList<QRectF> boxRects(const QGraphicsScene &scene, const EdgeItem *edge)
{
    QList<QRectF> rects;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() == EntityItem::Type && item != edge->from && item != edge->to)
            rects.append(routing::insetObstacleRect(item->sceneBoundingRect()));
    }
    return rects;
}

// A column of boxes at x, from top down to bottom, each over the one before: a wall that
// only has ends.
void addWall(QGraphicsScene *scene, double x, double top, double bottom)
{
    int k = 0;
    for (double y = top; y < bottom; y += 50)
        edgetest::addBox(scene, QStringLiteral("wall_%1").arg(k++), QPointF(x, y), {QStringLiteral("id")},
                         {QStringLiteral("a")});
}

// count boxes on a circle around centre, each over its neighbours: a wall without a way
// through, unless the box at gapAt is left out (-1 for none).
QList<QRectF> ringOfBoxes(const QPointF &centre, double radius, int count, int gapAt)
{
    QList<QRectF> ring;
    for (int k = 0; k < count; ++k) {
        const double angle = k * 6.283185307179586 / count;
        if (k != gapAt)
            ring.append(QRectF(centre + radius * QPointF(std::cos(angle), std::sin(angle)) - QPointF(75, 35),
                               QSizeF(150, 70)));
    }
    return ring;
}

bool meetsItsSlots(const EdgeItem *edge, const QList<QPointF> &route)
{
    return route.size() >= 2 && QLineF(route.first(), edge->fromSlot->center()).length() <= 0.5
        && QLineF(route.last(), edge->toSlot->center()).length() <= 0.5 && routing::isRectilinearRoute(route);
}

} // namespace

// Routes that the candidate shapes near the two boxes cannot get clear of go around the
// boxes in between.
class tst_EdgeItemSearch : public QObject
{
    Q_OBJECT

private slots:
    void init() { edgetest::resetRouting(); }
    void cleanup() { edgetest::resetRouting(); }
    void routeGoesAroundAWallOfBoxes();
    void routeLeavesAPocket();
    void boxesWithoutAWayKeepTheBestCandidate();
    void dragStepsLeaveTheSearchToTheRelease();
    void searchSteersClearOfDrawnLines();
    void longSearchPausesForItsCaller();
    void repeatedSearchesSeeTheBoxesOfEach();
    void walledInStubGivesUpWithoutSearching_data();
    void walledInStubGivesUpWithoutSearching();
    void walledInBoxKeepsTheBestCandidateWithoutSearching();
};

void tst_EdgeItemSearch::routeGoesAroundAWallOfBoxes()
{
    QGraphicsScene scene;
    EntityItem *from = edgetest::addBox(&scene, "from", QPointF(0, 400));
    EntityItem *to = edgetest::addBox(&scene, "to", QPointF(900, 400));
    addWall(&scene, 420, -200, 1100);
    EdgeItem *edge = edgetest::addEdge(&scene, from, to);

    const QList<QPointF> route = edge->points;
    QVERIFY(meetsItsSlots(edge, route));
    QCOMPARE(routing::countObstacleHits(route, boxRects(scene, edge)), 0);
    QVERIFY(!edgeroute::runsThroughBoxes(route, edgeroute::EdgeEnds{edge->fromSlot->center(), edge->toSlot->center(),
                                                                      int(edge->fromSlot->side()), int(edge->toSlot->side()),
                                                                      from->sceneBoundingRect(), to->sceneBoundingRect()},
                                         boxRects(scene, edge)));
    // Around one end of the wall, not farther than it must.
    const QRectF reach = QRectF(route.first(), route.first()).united(QRectF(route.last(), route.last()));
    double top = reach.top();
    double bottom = reach.bottom();
    for (const QPointF &p : route) {
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    QVERIFY2(top < -200 || bottom > 1100, "around an end of the wall");
    QVERIFY2(top > -300 && bottom < 1250, "not farther than it must");
    edgetest::clearScene(&scene);
}

void tst_EdgeItemSearch::routeLeavesAPocket()
{
    // The from box sits in a U of boxes open to the top; the to box lies below the U.
    QGraphicsScene scene;
    EntityItem *from = edgetest::addBox(&scene, "from", QPointF(300, 200));
    EntityItem *to = edgetest::addBox(&scene, "to", QPointF(300, 800));
    addWall(&scene, 80, 60, 560);
    addWall(&scene, 520, 60, 560);
    for (int k = 0; k < 5; ++k)
        edgetest::addBox(&scene, QStringLiteral("floor_%1").arg(k), QPointF(100 + k * 100.0, 560));
    EdgeItem *edge = edgetest::addEdge(&scene, from, to);

    const QList<QPointF> route = edge->points;
    QVERIFY(meetsItsSlots(edge, route));
    QCOMPARE(routing::countObstacleHits(route, boxRects(scene, edge)), 0);
    const auto lowest = std::min_element(route.cbegin(), route.cend(),
                                         [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    QVERIFY2(lowest->y() < 60, "the route climbs out over the top of the pocket");
    edgetest::clearScene(&scene);
}

void tst_EdgeItemSearch::boxesWithoutAWayKeepTheBestCandidate()
{
    // A ring of touching boxes around the from box: no way out, so the route is the one the
    // candidate shapes give, through the ring.
    QGraphicsScene scene;
    EntityItem *from = edgetest::addBox(&scene, "from", QPointF(200, 200));
    EntityItem *to = edgetest::addBox(&scene, "to", QPointF(900, 220));
    for (int k = 0; k < 5; ++k) {
        edgetest::addBox(&scene, QStringLiteral("top_%1").arg(k), QPointF(50 + k * 100.0, 50));
        edgetest::addBox(&scene, QStringLiteral("bottom_%1").arg(k), QPointF(50 + k * 100.0, 340));
    }
    for (int k = 0; k < 5; ++k) {
        edgetest::addBox(&scene, QStringLiteral("left_%1").arg(k), QPointF(50, 100 + k * 50.0));
        edgetest::addBox(&scene, QStringLiteral("right_%1").arg(k), QPointF(450, 100 + k * 50.0));
    }
    EdgeItem *edge = edgetest::addEdge(&scene, from, to);
    const edgeroute::EdgeEnds ends{edge->fromSlot->center(), edge->toSlot->center(), int(edge->fromSlot->side()),
                                   int(edge->toSlot->side()), from->sceneBoundingRect(), to->sceneBoundingRect()};
    QVERIFY(edgeroute::routeAroundBoxes(ends, [&](const QRectF &) { return boxRects(scene, edge); }).isEmpty());
    QCOMPARE(edge->computeRoute(), edgeroute::entityRoute(ends, edge->obstacleRects()));
    QVERIFY(meetsItsSlots(edge, edge->points));
    edgetest::clearScene(&scene);
}

void tst_EdgeItemSearch::dragStepsLeaveTheSearchToTheRelease()
{
    QGraphicsScene scene;
    EntityItem *from = edgetest::addBox(&scene, "from", QPointF(0, 400));
    EntityItem *to = edgetest::addBox(&scene, "to", QPointF(900, 400));
    addWall(&scene, 420, -200, 1100);
    EdgeItem *edge = edgetest::addEdge(&scene, from, to);

    // A drag step: the quick re-route of the batch takes the candidate shapes only.
    EdgeItem::setDiscardPendingReroutes(false);
    EdgeItem::setBatchMode(true);
    to->setPos(900, 430);
    EdgeItem::flushPendingReroutes();
    QVERIFY(routing::countObstacleHits(edge->points, boxRects(scene, edge)) > 0);

    // The release routes it in full.
    EdgeItem::setBatchMode(false);
    QVERIFY(meetsItsSlots(edge, edge->points));
    QCOMPARE(routing::countObstacleHits(edge->points, boxRects(scene, edge)), 0);
    edgetest::clearScene(&scene);
}

void tst_EdgeItemSearch::searchSteersClearOfDrawnLines()
{
    // One box between the two stubs: the ways over it and under it cost the same.
    const routing::SearchEnds ends{QPointF(-40, 0), QPointF(0, 0), routing::RightSide,
                                   QPointF(440, 0), QPointF(400, 0), routing::LeftSide};
    const QList<QRectF> wall{QRectF(150, -100, 100, 200)};
    const QRectF area(-200, -600, 800, 1200);
    const auto side = [](const routing::Route &route) {
        double reach = 0;
        for (const QPointF &p : route)
            reach = std::abs(p.y()) > std::abs(reach) ? p.y() : reach;
        return reach < 0 ? -1 : 1;
    };
    const routing::Route plain = routing::searchOrthogonalRoute(ends, wall, area);
    QVERIFY(plain.size() >= 4);
    const int taken = side(plain);

    // Lines drawn across the way it took, beside the box: it takes the other way.
    QList<routing::Route> drawn;
    for (double x = 120; x <= 280; x += 20)
        drawn.append({QPointF(x, taken * 105), QPointF(x, taken * 500)});
    const routing::DrawnLines lines(drawn);
    // Weighed exactly: the layout's default settles sooner for speed.
    routing::SearchCosts exact;
    exact.greed = 1;
    const routing::Route clear = routing::searchOrthogonalRoute(ends, wall, area, exact, &lines, -1);
    QVERIFY(clear.size() >= 4);
    QCOMPARE(side(clear), -taken);

    // Lines routed again weigh where they now run, not where they ran.
    routing::DrawnLines moved(drawn);
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        const double x = drawn[i].first().x();
        moved.replaceRoute(int(i), {QPointF(x, -taken * 105), QPointF(x, -taken * 500)});
    }
    QCOMPARE(side(routing::searchOrthogonalRoute(ends, wall, area, exact, &moved, -1)), taken);

    // A route's own lines are no reason to go elsewhere.
    const routing::DrawnLines own({{QPointF(200, taken * 105), QPointF(200, taken * 500)}});
    QCOMPARE(routing::searchOrthogonalRoute(ends, wall, area, exact, &own, 0), plain);
}

void tst_EdgeItemSearch::longSearchPausesForItsCaller()
{
    // A field of jittered boxes between the two stubs: no straight way through, many
    // nearly as short.
    QList<QRectF> field;
    for (int row = 0; row < 30; ++row) {
        for (int column = 0; column < 30; ++column)
            field.append(QRectF(column * 100.0 + (row * 37 + column * 11) % 40, row * 80.0 + (column * 23 + row * 7) % 30,
                                60, 40));
    }
    const routing::SearchEnds ends{QPointF(-30, -30), QPointF(-20, -30), routing::RightSide,
                                   QPointF(3090, 2390), QPointF(3080, 2390), routing::LeftSide};
    const QRectF area(-100, -100, 3300, 2600);
    const routing::Route plain = routing::searchOrthogonalRoute(ends, field, area);
    QVERIFY(plain.size() >= 4);

    int pauses = 0;
    routing::Route nested;
    {
        const routing::SearchPause pause([&] {
            // A search run from the pause goes through without pausing again.
            if (++pauses == 1)
                nested = routing::searchOrthogonalRoute(ends, field, area);
        });
        QCOMPARE(routing::searchOrthogonalRoute(ends, field, area), plain);
    }
    QVERIFY(pauses > 1);
    QCOMPARE(nested, plain);
    const int before = pauses;
    routing::searchOrthogonalRoute(ends, field, area);
    QCOMPARE(pauses, before);
}

void tst_EdgeItemSearch::repeatedSearchesSeeTheBoxesOfEach()
{
    // Enough boxes for the search to keep their lines for the next one.
    QList<QRectF> field;
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column)
            field.append(QRectF(column * 100.0, row * 100.0, 50, 50));
    }
    const routing::SearchEnds ends{QPointF(-40, 75), QPointF(-20, 75), routing::RightSide,
                                   QPointF(1040, 875), QPointF(1020, 875), routing::LeftSide};
    const QRectF area(-100, -100, 1200, 1200);
    const routing::Route first = routing::searchOrthogonalRoute(ends, field, area);
    QVERIFY(first.size() >= 4);

    // The same boxes listed in another order: the same route.
    QList<QRectF> reversed(field.crbegin(), field.crend());
    QCOMPARE(routing::searchOrthogonalRoute(ends, reversed, area), first);

    // One box more, across the corridor the first route takes: the route goes elsewhere.
    const QRectF corridor = QRectF(first.at(1), first.at(2)).normalized();
    QList<QRectF> more = field;
    more.append(QRectF(corridor.center() - QPointF(20, 20), QSizeF(40, 40)));
    const routing::Route around = routing::searchOrthogonalRoute(ends, more, area);
    QVERIFY(around.size() >= 4);
    QVERIFY(around != first);
    QCOMPARE(routing::countObstacleHits(around, more), 0);
}

void tst_EdgeItemSearch::walledInStubGivesUpWithoutSearching_data()
{
    QTest::addColumn<bool>("fromWalledIn");
    QTest::addColumn<int>("gapAt");
    QTest::newRow("to walled in") << false << -1;
    QTest::newRow("from walled in") << true << -1;
    QTest::newRow("to behind a gap") << false << 20;
    QTest::newRow("from behind a gap") << true << 20;
}

void tst_EdgeItemSearch::walledInStubGivesUpWithoutSearching()
{
    QFETCH(bool, fromWalledIn);
    QFETCH(int, gapAt);
    // A field of jittered boxes with a ring of overlapping boxes in a clearing at its
    // middle; one stub inside the ring, the other at the field's corner.
    const QPointF centre(1500, 1200);
    QList<QRectF> boxes = ringOfBoxes(centre, 300, 32, gapAt);
    for (int row = 0; row < 30; ++row) {
        for (int column = 0; column < 30; ++column) {
            const QRectF box(column * 100.0 + (row * 37 + column * 11) % 40, row * 80.0 + (column * 23 + row * 7) % 30,
                             60, 40);
            if (QLineF(box.center(), centre).length() > 480)
                boxes.append(box);
        }
    }
    const QPointF inside = centre + QPointF(0, 40);
    const QPointF corner(-20, -30);
    routing::SearchEnds ends{corner - QPointF(10, 0), corner, routing::RightSide,
                             inside - QPointF(10, 0), inside, routing::RightSide};
    if (fromWalledIn)
        ends = {inside - QPointF(10, 0), inside, routing::RightSide, corner - QPointF(10, 0), corner, routing::RightSide};
    const QRectF area(-100, -100, 3300, 2600);

    int pauses = 0;
    routing::Route route;
    {
        const routing::SearchPause pause([&] { ++pauses; });
        route = routing::searchOrthogonalRoute(ends, boxes, area);
    }
    if (gapAt < 0) {
        QVERIFY(route.isEmpty());
        // Given up before looking over the field, which takes many pauses.
        QCOMPARE(pauses, 0);
    } else {
        QVERIFY(route.size() >= 4);
        QCOMPARE(routing::countObstacleHits(route, boxes), 0);
    }
}

void tst_EdgeItemSearch::walledInBoxKeepsTheBestCandidateWithoutSearching()
{
    // The hub of a star inside a ring of overlapping boxes, one spoke out among other boxes.
    QGraphicsScene scene;
    EntityItem *hub = edgetest::addBox(&scene, "hub", QPointF(0, 0));
    EntityItem *spoke = edgetest::addBox(&scene, "spoke", QPointF(1500, 1100));
    const QPointF centre = hub->sceneBoundingRect().center();
    int k = 0;
    for (const QRectF &r : ringOfBoxes(centre, 380, 40, -1))
        edgetest::addBox(&scene, QStringLiteral("ring_%1").arg(k++), r.topLeft());
    for (int row = -3; row <= 6; ++row) {
        for (int column = -3; column <= 6; ++column) {
            const QPointF at(column * 320.0, row * 260.0);
            if (QLineF(at, centre).length() > 700 && QLineF(at, QPointF(1500, 1100)).length() > 300)
                edgetest::addBox(&scene, QStringLiteral("field_%1").arg(k++), at);
        }
    }
    EdgeItem *edge = edgetest::addEdge(&scene, spoke, hub, false);
    const edgeroute::EdgeEnds ends{edge->fromSlot->center(), edge->toSlot->center(), int(edge->fromSlot->side()),
                                   int(edge->toSlot->side()), spoke->sceneBoundingRect(), hub->sceneBoundingRect()};

    int pauses = 0;
    QList<QPointF> route;
    {
        const routing::SearchPause pause([&] { ++pauses; });
        route = edge->computeRoute();
    }
    // The candidate shapes run through the ring and no way around is found.
    QVERIFY(edgeroute::runsThroughBoxes(route, ends, edge->obstacleRects()));
    QCOMPARE(route, edgeroute::entityRoute(ends, edge->obstacleRects()));
    QCOMPARE(pauses, 0);
    edgetest::clearScene(&scene);
}

QTEST_MAIN(tst_EdgeItemSearch)
#include "tst_edgeitem_search.moc"
