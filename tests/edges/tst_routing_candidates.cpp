#include "routecandidates.h"
#include "routescoring.h"

#include <QTest>

#include <limits>

using namespace routing;

Q_DECLARE_METATYPE(routing::Route)
Q_DECLARE_METATYPE(std::optional<QPointF>)

namespace {

const QRectF LeftBox(0, 0, 100, 50);
const QRectF RightBox(200, 0, 100, 50);

enum Direction { Above, Below, Left, Right };

} // namespace

class tst_RoutingCandidates : public QObject
{
    Q_OBJECT

private slots:
    void appendIfMoved_data();
    void appendIfMoved();
    void assembleRouteDropsRepeatsAndCollinearPoints();
    void detourLines_data();
    void detourLines();
    void channelRoutes_data();
    void channelRoutes();
    void routeForSides_data();
    void routeForSides();
};

void tst_RoutingCandidates::appendIfMoved_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("expectedSize");

    QTest::newRow("empty route") << Route{} << QPointF(0, 0) << 1;
    QTest::newRow("same point") << Route{{10, 10}} << QPointF(10, 10) << 1;
    QTest::newRow("within 0.01") << Route{{10, 10}} << QPointF(10.006, 10.008) << 1;
    QTest::newRow("0.011 away") << Route{{10, 10}} << QPointF(10.011, 10) << 2;
    QTest::newRow("only the last point counts") << Route{{0, 0}, {10, 10}} << QPointF(0, 0) << 3;
}

void tst_RoutingCandidates::appendIfMoved()
{
    QFETCH(Route, route);
    QFETCH(QPointF, point);
    QFETCH(int, expectedSize);
    const qsizetype before = route.size();
    routing::appendIfMoved(route, point);
    QCOMPARE(route.size(), expectedSize);
    if (route.size() > before)
        QCOMPARE(route.last(), point);
}

void tst_RoutingCandidates::assembleRouteDropsRepeatsAndCollinearPoints()
{
    const Route z = assembleRoute({100, 10}, {126, 10}, {{150, 10}, {150, 40}}, {174, 40}, {200, 40});
    QCOMPARE(z, (Route{{100, 10}, {150, 10}, {150, 40}, {200, 40}}));

    // A middle point on top of the from-stub: the stub itself is always kept.
    const Route l = assembleRoute({100, 10}, {126, 10}, {{126, 10.005}, {126, 80}}, {126, 80}, {126, 100});
    QCOMPARE(l, (Route{{100, 10}, {126, 10}, {126, 100}}));

    const Route straight = assembleRoute({100, 25}, {126, 25}, {}, {174, 25}, {200, 25});
    QCOMPARE(straight, (Route{{100, 25}, {200, 25}}));
}

void tst_RoutingCandidates::detourLines_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<double>("expected");

    // Region (0, 0, 300, 50).
    QTest::newRow("above, nothing there") << int(Above) << QList<QRectF>{} << -36.0;
    QTest::newRow("above, gap 20: half raised to 12") << int(Above) << QList<QRectF>{QRectF(0, -70, 300, 50)} << -12.0;
    QTest::newRow("above, gap 15 splits nothing") << int(Above) << QList<QRectF>{QRectF(0, -65, 300, 50)} << -36.0;
    QTest::newRow("above, gap 16 splits nothing") << int(Above) << QList<QRectF>{QRectF(0, -66, 300, 50)} << -36.0;
    QTest::newRow("above, gap 50: halfway") << int(Above) << QList<QRectF>{QRectF(0, -100, 300, 50)} << -25.0;
    QTest::newRow("above, gap 100: capped at 36") << int(Above) << QList<QRectF>{QRectF(0, -150, 300, 50)} << -36.0;
    QTest::newRow("above, the nearest line wins")
        << int(Above) << QList<QRectF>{QRectF(0, -100, 300, 50), QRectF(0, -70, 300, 50)} << -12.0;
    QTest::newRow("above, reaching 2 into the region") << int(Above) << QList<QRectF>{QRectF(0, -50, 300, 52)} << -36.0;
    QTest::newRow("above, 8 to the left still counts") << int(Above) << QList<QRectF>{QRectF(-108, -70, 100, 50)}
                                                       << -12.0;
    QTest::newRow("above, 9 to the left is beside") << int(Above) << QList<QRectF>{QRectF(-109, -70, 100, 50)} << -36.0;
    QTest::newRow("below, gap 20") << int(Below) << QList<QRectF>{QRectF(0, 70, 300, 50)} << 62.0;
    QTest::newRow("below, gap 40") << int(Below) << QList<QRectF>{QRectF(0, 90, 300, 50)} << 70.0;
    QTest::newRow("below, nothing there") << int(Below) << QList<QRectF>{QRectF(0, -70, 300, 50)} << 86.0;
    QTest::newRow("left, gap 20") << int(Left) << QList<QRectF>{QRectF(-120, 0, 100, 50)} << -12.0;
    QTest::newRow("left, 8 below still counts") << int(Left) << QList<QRectF>{QRectF(-120, 58, 100, 50)} << -12.0;
    QTest::newRow("left, 9 below is beside") << int(Left) << QList<QRectF>{QRectF(-120, 59, 100, 50)} << -36.0;
    QTest::newRow("right, gap 50") << int(Right) << QList<QRectF>{QRectF(350, 0, 100, 50)} << 325.0;
    QTest::newRow("right, nothing there") << int(Right) << QList<QRectF>{} << 336.0;
}

void tst_RoutingCandidates::detourLines()
{
    QFETCH(int, direction);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(double, expected);
    const QRectF region(0, 0, 300, 50);
    double line = 0;
    switch (direction) {
    case Above:
        line = detourAbove(region, obstacles);
        break;
    case Below:
        line = detourBelow(region, obstacles);
        break;
    case Left:
        line = detourLeft(region, obstacles);
        break;
    case Right:
        line = detourRight(region, obstacles);
        break;
    }
    QCOMPARE(line, expected);
}

void tst_RoutingCandidates::channelRoutes_data()
{
    QTest::addColumn<QRectF>("fromRect");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QPointF>("fromAnchor");
    QTest::addColumn<QPointF>("toAnchor");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<Route>("expected");

    const QList<QRectF> none;
    QTest::newRow("level anchors: straight") << LeftBox << RightBox << RightSide << LeftSide << QPointF(100, 25)
                                             << QPointF(200, 25) << none << Route{{100, 25}, {200, 25}};
    QTest::newRow("stacked: straight down") << LeftBox << QRectF(0, 200, 100, 50) << BottomSide << TopSide
                                            << QPointF(50, 50) << QPointF(50, 200) << none
                                            << Route{{50, 50}, {50, 200}};
    QTest::newRow("through the middle of the gap") << LeftBox << RightBox << RightSide << LeftSide
                                                   << QPointF(100, 10) << QPointF(200, 40) << none
                                                   << Route{{100, 10}, {150, 10}, {150, 40}, {200, 40}};
    QTest::newRow("blocked straight line: below the to-box")
        << LeftBox << QRectF(300, 0, 100, 50) << RightSide << LeftSide << QPointF(100, 25) << QPointF(300, 25)
        << QList<QRectF>{QRectF(180, 10, 40, 30)}
        << Route{{100, 25}, {126, 25}, {126, 58}, {274, 58}, {274, 25}, {300, 25}};
    QTest::newRow("not a facing pair") << LeftBox << RightBox << TopSide << TopSide << QPointF(84, 0)
                                       << QPointF(216, 0) << none << Route{};
    QTest::newRow("facing, boxes out of order") << RightBox << LeftBox << RightSide << LeftSide << QPointF(300, 25)
                                                << QPointF(0, 25) << none << Route{};
    QTest::newRow("not finite") << LeftBox << RightBox << RightSide << LeftSide
                                << QPointF(std::numeric_limits<double>::quiet_NaN(), 25) << QPointF(200, 25) << none
                                << Route{};
}

void tst_RoutingCandidates::channelRoutes()
{
    QFETCH(QRectF, fromRect);
    QFETCH(QRectF, toRect);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QPointF, fromAnchor);
    QFETCH(QPointF, toAnchor);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(Route, expected);

    const double s = stubLength(fromSide, toSide, fromRect, toRect);
    const QPointF fromStub = fromAnchor + s * sideDirection(fromSide);
    const QPointF toStub = toAnchor + s * sideDirection(toSide);
    const QList<QRectF> ends{insetObstacleRect(fromRect), insetObstacleRect(toRect)};
    QCOMPARE(generateChannelRoutes(fromAnchor, toAnchor, fromStub, toStub, fromSide, toSide, fromRect, toRect, ends,
                                   obstacles),
             expected);
}

void tst_RoutingCandidates::routeForSides_data()
{
    QTest::addColumn<QRectF>("fromRect");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<std::optional<QPointF>>("fromAnchor");
    QTest::addColumn<std::optional<QPointF>>("toAnchor");
    QTest::addColumn<Route>("expected");

    const QList<QRectF> none;
    const std::optional<QPointF> computed;
    QTest::newRow("side by side: straight") << LeftBox << RightBox << RightSide << LeftSide << none << computed
                                            << computed << Route{{100, 25}, {200, 25}};
    QTest::newRow("anchors 30 apart: through the gap's middle")
        << LeftBox << RightBox << RightSide << LeftSide << none << std::optional<QPointF>(QPointF(100, 10))
        << std::optional<QPointF>(QPointF(200, 40)) << Route{{100, 10}, {150, 10}, {150, 40}, {200, 40}};
    // No channel, and every candidate would need four bends to come back round.
    QTest::newRow("right-left with the to-box on the left")
        << QRectF(300, 0, 100, 50) << QRectF(0, 0, 100, 50) << RightSide << LeftSide << none << computed << computed
        << Route{};
    QTest::newRow("top-top side by side: over the stubs")
        << LeftBox << RightBox << TopSide << TopSide << none << computed << computed
        << Route{{84, 0}, {84, -26}, {216, -26}, {216, 0}};
    QTest::newRow("top-top side by side, stub line blocked: detour above")
        << LeftBox << RightBox << TopSide << TopSide << QList<QRectF>{QRectF(120, -30, 60, 20)} << computed << computed
        << Route{{84, 0}, {84, -36}, {216, -36}, {216, 0}};
    // The same-side detour above and the detour above the from-box are one route; the
    // detour above the to-box, 0.004 lower, is 0.008 shorter: not enough to win.
    const QList<QRectF> stubLine{QRectF(120, -30, 60, 20)};
    QTest::newRow("near-equal costs: the earlier candidate wins")
        << LeftBox << QRectF(200, 0.004, 100, 50) << TopSide << TopSide << stubLine << computed << computed
        << Route{{84, 0}, {84, -36}, {216, -36}, {216, 0.004}};
    QTest::newRow("cheaper by more than 0.01 wins")
        << LeftBox << QRectF(200, 0.006, 100, 50) << TopSide << TopSide << stubLine << computed << computed
        << Route{{84, 0}, {84, 0.006 - 36}, {216, 0.006 - 36}, {216, 0.006}};
    QTest::newRow("huge coordinates") << LeftBox.translated(1e9, 1e9) << RightBox.translated(1e9, 1e9) << RightSide
                                      << LeftSide << none << computed << computed
                                      << Route{{1e9 + 100, 1e9 + 25}, {1e9 + 200, 1e9 + 25}};

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("no such side") << LeftBox << RightBox << 5 << int(LeftSide) << none << computed << computed
                                  << Route{};
    QTest::newRow("negative side") << LeftBox << RightBox << int(RightSide) << -1 << none << computed << computed
                                   << Route{};
    QTest::newRow("NaN in a rectangle") << QRectF(nan, 0, 100, 50) << RightBox << RightSide << LeftSide << none
                                        << computed << computed << Route{};
    QTest::newRow("infinite width") << LeftBox << QRectF(200, 0, inf, 50) << RightSide << LeftSide << none
                                    << computed << computed << Route{};
    QTest::newRow("infinite anchor") << LeftBox << RightBox << RightSide << LeftSide << none
                                     << std::optional<QPointF>(QPointF(inf, 25)) << computed << Route{};
}

void tst_RoutingCandidates::routeForSides()
{
    QFETCH(QRectF, fromRect);
    QFETCH(QRectF, toRect);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(std::optional<QPointF>, fromAnchor);
    QFETCH(std::optional<QPointF>, toAnchor);
    QFETCH(Route, expected);
    QCOMPARE(routing::routeForSides(fromRect, toRect, fromSide, toSide, obstacles, fromAnchor, toAnchor), expected);
}

QTEST_GUILESS_MAIN(tst_RoutingCandidates)
#include "tst_routing_candidates.moc"
