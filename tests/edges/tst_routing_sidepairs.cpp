#include "routecandidates.h"
#include "routescoring.h"
#include "sidepairs.h"

#include <QTest>

#include <limits>

using namespace routing;

Q_DECLARE_METATYPE(routing::SidePair)

namespace {

const QRectF FromBox(0, 0, 100, 60);
const QRectF ToBox(300, 0, 100, 60);

QList<QRectF> asObstacles(const QList<QRectF> &boxes)
{
    QList<QRectF> obstacles;
    for (const QRectF &box : boxes)
        obstacles.append(insetObstacleRect(box));
    return obstacles;
}

} // namespace

class tst_RoutingSidePairs : public QObject
{
    Q_OBJECT

private slots:
    void slotAnchorKeepsCornerMargins_data();
    void slotAnchorKeepsCornerMargins();
    void pairOrderForRightLeft();
    void pairOrderHoldsEverySidePairOnce_data();
    void pairOrderHoldsEverySidePairOnce();
    void evaluateSidePairWeighsHitsBendsAndSides();
    void evaluateSidePairWithoutRoute();
    void clearPreferredPairIsTakenWithoutSweep();
    void blockedPreferredPairLosesToClearPair();
    void preferredPairWithManyBendsIsWeighedAgainstAll();
    void autoRouteWithoutStoredRouteTakesBestCandidate();
    void autoRouteAppliesBetterRouteOnCurrentSides();
    void autoRouteMovesSlotsToBetterSides();
    void autoRouteKeepsEverythingWhenAllCandidatesCross();
    void autoRouteKeepsGoodRoute();
    void autoRouteWeighsCrossedLines();
};

void tst_RoutingSidePairs::slotAnchorKeepsCornerMargins_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("target");
    QTest::addColumn<QPointF>("expected");

    const QRectF narrow(10, 20, 20, 100);
    // 0.18 x 20 = 3.6, raised to 5.
    QTest::newRow("narrow top, target far left") << narrow << TopSide << QPointF(-500, 0) << QPointF(15, 20);
    QTest::newRow("narrow top, target far right") << narrow << TopSide << QPointF(500, 0) << QPointF(25, 20);
    QTest::newRow("narrow bottom, target inside") << narrow << BottomSide << QPointF(18, 0) << QPointF(18, 120);
    // 0.18 x 100 = 18, held at 14.
    QTest::newRow("narrow left, target far above") << narrow << LeftSide << QPointF(0, -500) << QPointF(10, 34);
    QTest::newRow("narrow right, target far below") << narrow << RightSide << QPointF(0, 500) << QPointF(30, 106);
    // 0.18 x 50 = 9.
    QTest::newRow("middle margin") << QRectF(0, 0, 50, 50) << TopSide << QPointF(-1, 0) << QPointF(9, 0);
    QTest::newRow("no side gives the centre") << narrow << 7 << QPointF(0, 0) << QPointF(20, 70);
}

void tst_RoutingSidePairs::slotAnchorKeepsCornerMargins()
{
    QFETCH(QRectF, rect);
    QFETCH(int, side);
    QFETCH(QPointF, target);
    QFETCH(QPointF, expected);
    QCOMPARE(slotAnchorOnSide(rect, side, target), expected);
}

void tst_RoutingSidePairs::pairOrderForRightLeft()
{
    const QList<SidePair> expected{{1, 0}, {0, 0}, {1, 1}, {1, 2}, {2, 0}, {1, 3}, {3, 0}, {0, 1},
                                   {0, 2}, {0, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}};
    QCOMPARE(sidePairOrder({RightSide, LeftSide}), expected);
}

void tst_RoutingSidePairs::pairOrderHoldsEverySidePairOnce_data()
{
    QTest::addColumn<SidePair>("preferred");
    for (EntitySide f = LeftSide; f <= BottomSide; ++f) {
        for (EntitySide t = LeftSide; t <= BottomSide; ++t)
            QTest::addRow("(%d, %d)", f, t) << SidePair{f, t};
    }
}

void tst_RoutingSidePairs::pairOrderHoldsEverySidePairOnce()
{
    QFETCH(SidePair, preferred);
    const QList<SidePair> pairs = sidePairOrder(preferred);
    QCOMPARE(pairs.size(), 16);
    QCOMPARE(pairs.first(), preferred);
    for (EntitySide f = LeftSide; f <= BottomSide; ++f) {
        for (EntitySide t = LeftSide; t <= BottomSide; ++t)
            QCOMPARE(pairs.count(SidePair{f, t}), 1);
    }
}

void tst_RoutingSidePairs::evaluateSidePairWeighsHitsBendsAndSides()
{
    const QList<QRectF> none;
    const SidePairContext context{FromBox, ToBox, none};

    // The suggested pair: a straight line of 200, less the bonus of 160.
    int hits = -1;
    double cost = 0;
    Route route;
    QVERIFY(evaluateSidePair(context, RightSide, LeftSide, hits, cost, &route));
    QCOMPARE(hits, 0);
    QCOMPARE(route, (Route{{100, 30}, {300, 30}}));
    QCOMPARE(cost, 200.0 - 160);

    // The from end pointing away: 4,000 on top of length, bends and straying.
    QVERIFY(evaluateSidePair(context, LeftSide, TopSide, hits, cost, &route));
    QCOMPARE(hits, 0);
    const QRectF region = FromBox.united(ToBox).adjusted(-48, -48, 48, 48);
    QCOMPARE(cost, routeLength(route) + 36 * countBends(route) + 8 * distanceOutsideRegion(route, region) + 4000);

    // A box in the way counts a million per hit.
    const QList<QRectF> blocking = asObstacles({QRectF(140, -20, 120, 240)});
    const SidePairContext blocked{FromBox, ToBox, blocking};
    const Route straight = routeForSides(FromBox, ToBox, RightSide, LeftSide, blocking);
    QVERIFY(evaluateSidePair(blocked, RightSide, LeftSide, hits, cost));
    QCOMPARE(hits, countObstacleHits(straight, blocking));
    QVERIFY(hits > 0);
    QVERIFY(cost > 1e6 * hits - 1000);
}

void tst_RoutingSidePairs::evaluateSidePairWithoutRoute()
{
    const QList<QRectF> none;
    const SidePairContext context{QRectF(0, 0, qQNaN(), 10), ToBox, none};
    int hits = 0;
    double cost = 0;
    QVERIFY(!evaluateSidePair(context, RightSide, LeftSide, hits, cost));
    QCOMPARE(hits, 1000000);
    QCOMPARE(cost, std::numeric_limits<double>::max());
}

void tst_RoutingSidePairs::clearPreferredPairIsTakenWithoutSweep()
{
    const QList<QRectF> none;
    const SidePairChoice choice = chooseSidePair({FromBox, ToBox, none});
    QCOMPARE(choice.sides, (SidePair{RightSide, LeftSide}));
    QCOMPARE(choice.pairsEvaluated, 1);

    // Mirrored and stacked arrangements take their own suggested pairs the same way.
    QCOMPARE(chooseSidePair({ToBox, FromBox, none}).sides, (SidePair{LeftSide, RightSide}));
    const SidePairChoice stacked = chooseSidePair({FromBox, QRectF(0, 300, 100, 60), none});
    QCOMPARE(stacked.sides, (SidePair{BottomSide, TopSide}));
    QCOMPARE(stacked.pairsEvaluated, 1);
}

void tst_RoutingSidePairs::blockedPreferredPairLosesToClearPair()
{
    // A tall box between the two crosses every right-to-left route.
    const QList<QRectF> obstacles = asObstacles({QRectF(140, -20, 120, 240)});
    const SidePairContext context{FromBox, ToBox, obstacles};
    int preferredHits = 0;
    double preferredCost = 0;
    evaluateSidePair(context, RightSide, LeftSide, preferredHits, preferredCost);
    QVERIFY(preferredHits > 0);

    const SidePairChoice choice = chooseSidePair(context);
    QCOMPARE(choice.pairsEvaluated, 16);
    QVERIFY(choice.sides != (SidePair{RightSide, LeftSide}));
    int hits = -1;
    double cost = 0;
    QVERIFY(evaluateSidePair(context, choice.sides.from, choice.sides.to, hits, cost));
    QCOMPARE(hits, 0);
    QVERIFY(cost < 1e6);

    // The winner is the cheapest pair; earlier pairs win ties.
    for (const SidePair &pair : sidePairOrder({RightSide, LeftSide})) {
        int h = 0;
        double c = 0;
        if (evaluateSidePair(context, pair.from, pair.to, h, c))
            QVERIFY(c + 0.01 >= cost);
    }
    QCOMPARE(choice.sides, (SidePair{TopSide, TopSide}));
}

void tst_RoutingSidePairs::preferredPairWithManyBendsIsWeighedAgainstAll()
{
    // A small box in the channel: the suggested pair goes around it with four bends, which
    // is clear but not good enough to skip the others; here it still costs the least.
    const QList<QRectF> obstacles = asObstacles({QRectF(150, -10, 100, 80)});
    const SidePairChoice choice = chooseSidePair({FromBox, ToBox, obstacles});
    QCOMPARE(choice.pairsEvaluated, 16);
    QCOMPARE(choice.sides, (SidePair{RightSide, LeftSide}));
}

void tst_RoutingSidePairs::autoRouteWithoutStoredRouteTakesBestCandidate()
{
    const QList<QRectF> none;
    const QPointF fa = anchorOnSide(FromBox, RightSide, ToBox.center());
    const QPointF ta = anchorOnSide(ToBox, LeftSide, FromBox.center());
    const AutoRouteChoice choice = chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, {}, none);
    QCOMPARE(choice.outcome, AutoRouteChoice::ApplyRoute);
    QCOMPARE(choice.sides, (SidePair{RightSide, LeftSide}));
    QCOMPARE(choice.route, (Route{{100, 30}, {300, 30}}));
    // One route per side pair, also when the current pair is the suggested one.
    QCOMPARE(choice.routesComputed, 16);
}

void tst_RoutingSidePairs::autoRouteAppliesBetterRouteOnCurrentSides()
{
    const QList<QRectF> none;
    const QPointF fa(100, 30);
    const QPointF ta(300, 30);
    // A needless detour far below on the right sides.
    const Route detour{fa, {150, 30}, {150, 120}, {250, 120}, {250, 30}, ta};
    const AutoRouteChoice choice = chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, detour, none);
    QCOMPARE(choice.outcome, AutoRouteChoice::ApplyRoute);
    QCOMPARE(choice.route, (Route{fa, ta}));
}

void tst_RoutingSidePairs::autoRouteMovesSlotsToBetterSides()
{
    const QList<QRectF> none;
    // Slots on the sides that face away from each other, with their route around.
    const QPointF fa(0, 30);
    const QPointF ta(400, 30);
    const Route around = routeForSides(FromBox, ToBox, LeftSide, RightSide, none, fa, ta);
    const AutoRouteChoice choice = chooseAutoRoute(FromBox, ToBox, {LeftSide, RightSide}, fa, ta, around, none);
    QCOMPARE(choice.outcome, AutoRouteChoice::MoveSlots);
    QCOMPARE(choice.sides, (SidePair{RightSide, LeftSide}));
    QCOMPARE(choice.routesComputed, 16);
}

void tst_RoutingSidePairs::autoRouteKeepsEverythingWhenAllCandidatesCross()
{
    // One box covers both ends and everything around them.
    const QList<QRectF> obstacles = asObstacles({QRectF(-500, -500, 1400, 1100)});
    const QPointF fa(100, 30);
    const QPointF ta(300, 30);
    for (const Route &current : {Route{}, Route{fa, ta}}) {
        const AutoRouteChoice choice =
            chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, current, obstacles);
        QCOMPARE(choice.outcome, AutoRouteChoice::Keep);
        QCOMPARE(choice.sides, (SidePair{RightSide, LeftSide}));
    }
}

void tst_RoutingSidePairs::autoRouteKeepsGoodRoute()
{
    const QList<QRectF> none;
    const QPointF fa(100, 30);
    const QPointF ta(300, 30);
    const AutoRouteChoice choice =
        chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, Route{fa, ta}, none);
    QCOMPARE(choice.outcome, AutoRouteChoice::Keep);
}

void tst_RoutingSidePairs::autoRouteWeighsCrossedLines()
{
    const QList<QRectF> none;
    const QPointF fa(100, 30);
    const QPointF ta(300, 30);
    const Route straight{fa, ta};
    // A fence of one other route's lines between the two boxes, no higher than they are.
    Route fence;
    for (int k = 0; k <= 10; ++k) {
        const double x = 150 + 10 * k;
        const bool down = k % 2 == 0;
        fence.append({QPointF(x, down ? 5 : 55), QPointF(x, down ? 55 : 5)});
    }
    const DrawnLines lines({fence});
    QCOMPARE(countCrossedLines(straight, lines, -1), 11);

    // Eleven crossed lines outweigh two bends: the route goes around the fence.
    const AutoRouteChoice around =
        chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, straight, none, &lines, -1);
    QCOMPARE(around.outcome, AutoRouteChoice::MoveSlots);
    QVERIFY(around.route.size() >= 2);
    QCOMPARE(countCrossedLines(around.route, lines, -1), 0);

    // Without lines, or when the lines are the edge's own, the straight route stays.
    QCOMPARE(chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, straight, none).outcome,
             AutoRouteChoice::Keep);
    QCOMPARE(chooseAutoRoute(FromBox, ToBox, {RightSide, LeftSide}, fa, ta, straight, none, &lines, 0).outcome,
             AutoRouteChoice::Keep);
}

QTEST_GUILESS_MAIN(tst_RoutingSidePairs)
#include "tst_routing_sidepairs.moc"
