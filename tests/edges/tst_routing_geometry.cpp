#include "routegeometry.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using namespace routing;

Q_DECLARE_METATYPE(routing::Route)
Q_DECLARE_METATYPE(routing::SidePair)

namespace {

const QRectF Box(0, 0, 100, 50);

// What countObstacleHits must give for one segment and one box too small to be shrunk:
// the exact test, without any shortcut.
int exactHits(const QPointF &p, const QPointF &q, const QRectF &box)
{
    return box.contains(p) || box.contains(q) || segmentHitsRect(p, q, box) ? 1 : 0;
}

double before(double v)
{
    return std::nextafter(v, -std::numeric_limits<double>::infinity());
}

double after(double v)
{
    return std::nextafter(v, std::numeric_limits<double>::infinity());
}

} // namespace

class tst_RoutingGeometry : public QObject
{
    Q_OBJECT

private slots:
    void sideDirection_data();
    void sideDirection();
    void insetObstacleRect_data();
    void insetObstacleRect();
    void routeMeasures_data();
    void routeMeasures();
    void stubLength_data();
    void stubLength();
    void anchorOnSide_data();
    void anchorOnSide();
    void chooseSides_data();
    void chooseSides();
    void sidesFace_data();
    void sidesFace();
    void nearerPointPrefersBOnTie();
    void segmentHitsRect_data();
    void segmentHitsRect();
    void countObstacleHits_data();
    void countObstacleHits();
    void countObstacleHitsAgreesWithExactTestAtTheOutline_data();
    void countObstacleHitsAgreesWithExactTestAtTheOutline();
    void countObstacleHitsAgreesWithExactTestOnSeededNearMisses();
    void countInnerObstacleHitsLeavesOutEndSegments_data();
    void countInnerObstacleHitsLeavesOutEndSegments();
    void respectsEndSides_data();
    void respectsEndSides();
    void turnsBackAtStart_data();
    void turnsBackAtStart();
    void turnsBackAtEnd_data();
    void turnsBackAtEnd();
    void isCleanRoute_data();
    void isCleanRoute();
    void distanceOutsideRegion_data();
    void distanceOutsideRegion();
};

void tst_RoutingGeometry::sideDirection_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("left") << LeftSide << QPointF(-1, 0);
    QTest::newRow("right") << RightSide << QPointF(1, 0);
    QTest::newRow("top") << TopSide << QPointF(0, -1);
    QTest::newRow("bottom") << BottomSide << QPointF(0, 1);
    QTest::newRow("7 acts as right") << 7 << QPointF(1, 0);
    QTest::newRow("-1 acts as right") << -1 << QPointF(1, 0);
}

void tst_RoutingGeometry::sideDirection()
{
    QFETCH(int, side);
    QFETCH(QPointF, expected);
    QCOMPARE(routing::sideDirection(side), expected);
}

void tst_RoutingGeometry::insetObstacleRect_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QRectF>("expected");

    QTest::newRow("ordinary box") << QRectF(10, 20, 100, 50) << QRectF(12, 22, 96, 46);
    QTest::newRow("4 wide stays") << QRectF(0, 0, 4, 100) << QRectF(0, 0, 4, 100);
    QTest::newRow("4 high stays") << QRectF(0, 0, 100, 4) << QRectF(0, 0, 100, 4);
    QTest::newRow("5 x 5 becomes 1 x 1") << QRectF(0, 0, 5, 5) << QRectF(2, 2, 1, 1);
    QTest::newRow("negative width stays") << QRectF(50, 0, -40, 30) << QRectF(50, 0, -40, 30);
    QTest::newRow("empty stays") << QRectF() << QRectF();
}

void tst_RoutingGeometry::insetObstacleRect()
{
    QFETCH(QRectF, rect);
    QFETCH(QRectF, expected);
    QCOMPARE(routing::insetObstacleRect(rect), expected);
}

void tst_RoutingGeometry::routeMeasures_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<bool>("rectilinear");
    QTest::addColumn<int>("bends");
    QTest::addColumn<double>("length");

    QTest::newRow("empty") << Route{} << true << 0 << 0.0;
    QTest::newRow("one point") << Route{{5, 5}} << true << 0 << 0.0;
    QTest::newRow("two bends") << Route{{0, 0}, {10, 0}, {10, 10}, {20, 10}} << true << 2 << 30.0;
    QTest::newRow("off axis by 0.5 is still straight") << Route{{0, 0}, {10, 0.5}} << true << 0
                                                        << std::sqrt(100.25);
    QTest::newRow("off axis by 0.6 is diagonal") << Route{{0, 0}, {10, 0.6}} << false << 0 << std::sqrt(100.36);
    QTest::newRow("diagonal") << Route{{0, 0}, {3, 4}} << false << 0 << 5.0;
    QTest::newRow("zero-length after horizontal is no bend") << Route{{0, 0}, {10, 0}, {10, 0}} << true << 0 << 10.0;
    QTest::newRow("zero-length after vertical is a bend") << Route{{0, 0}, {0, 10}, {0, 10}} << true << 1 << 10.0;
    QTest::newRow("dy just under 0.5 is horizontal")
        << Route{{0, 0}, {10, 0.49}, {10, 20}} << true << 1 << std::sqrt(100 + 0.49 * 0.49) + 19.51;
}

void tst_RoutingGeometry::routeMeasures()
{
    QFETCH(Route, route);
    QFETCH(bool, rectilinear);
    QFETCH(int, bends);
    QFETCH(double, length);
    QCOMPARE(isRectilinearRoute(route), rectilinear);
    QCOMPARE(countBends(route), bends);
    QCOMPARE(routeLength(route), length);
}

void tst_RoutingGeometry::stubLength_data()
{
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QRectF>("fromRect");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<double>("expected");

    QTest::newRow("gap 20: 7 raised to 8") << RightSide << LeftSide << Box << QRectF(120, 0, 100, 50) << 8.0;
    QTest::newRow("gap 40") << RightSide << LeftSide << Box << QRectF(140, 0, 100, 50) << 14.0;
    QTest::newRow("gap 55") << RightSide << LeftSide << Box << QRectF(155, 0, 100, 50) << 0.35 * 55;
    QTest::newRow("gap 56") << RightSide << LeftSide << Box << QRectF(156, 0, 100, 50) << 26.0;
    QTest::newRow("gap 0") << RightSide << LeftSide << Box << QRectF(100, 0, 100, 50) << 26.0;
    QTest::newRow("negative gap") << RightSide << LeftSide << Box << QRectF(90, 0, 100, 50) << 26.0;
    QTest::newRow("left-right gap 40") << LeftSide << RightSide << QRectF(200, 0, 100, 50)
                                       << QRectF(0, 0, 160, 50) << 14.0;
    QTest::newRow("top-bottom gap 30") << TopSide << BottomSide << QRectF(0, 80, 100, 50) << Box << 0.35 * 30;
    QTest::newRow("bottom-top gap 40") << BottomSide << TopSide << Box << QRectF(0, 90, 100, 50) << 14.0;
    QTest::newRow("top-left never measures") << TopSide << LeftSide << Box << QRectF(120, 0, 100, 50) << 26.0;
    QTest::newRow("left-right measured the wrong way") << RightSide << LeftSide << QRectF(120, 0, 100, 50)
                                                       << Box << 26.0;
}

void tst_RoutingGeometry::stubLength()
{
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QRectF, fromRect);
    QFETCH(QRectF, toRect);
    QFETCH(double, expected);
    QCOMPARE(routing::stubLength(fromSide, toSide, fromRect, toRect), expected);
}

void tst_RoutingGeometry::anchorOnSide_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("target");
    QTest::addColumn<QPointF>("expected");

    const QRectF low(0, 0, 100, 20);
    QTest::newRow("height 20, target far above, left") << low << LeftSide << QPointF(0, -1000) << QPointF(0, 6);
    QTest::newRow("height 20, target far above, right") << low << RightSide << QPointF(0, -1000) << QPointF(100, 6);
    QTest::newRow("height 20, target far below") << low << LeftSide << QPointF(0, 1000) << QPointF(0, 14);
    const QRectF flat(0, 0, 100, 10);
    QTest::newRow("height 10 sits below the centre") << flat << LeftSide << QPointF(0, -1000) << QPointF(0, 6);
    QTest::newRow("height 10, target below") << flat << RightSide << QPointF(0, 1000) << QPointF(100, 6);
    const QRectF wide(0, 0, 200, 100);
    QTest::newRow("top follows the target") << wide << TopSide << QPointF(50, -500) << QPointF(50, 0);
    QTest::newRow("top margin clamped to 16") << wide << TopSide << QPointF(-100, -500) << QPointF(16, 0);
    QTest::newRow("bottom margin clamped to 16") << wide << BottomSide << QPointF(1000, 500) << QPointF(184, 100);
    QTest::newRow("left margin 18 of 100") << wide << LeftSide << QPointF(-10, 0) << QPointF(0, 16);
    QTest::newRow("margin 0.18 of 60") << QRectF(0, 0, 60, 60) << RightSide << QPointF(500, -50)
                                       << QPointF(60, 0.18 * 60);
    QTest::newRow("no side gives the centre") << wide << 4 << QPointF(-100, -500) << QPointF(100, 50);
}

void tst_RoutingGeometry::anchorOnSide()
{
    QFETCH(QRectF, rect);
    QFETCH(int, side);
    QFETCH(QPointF, target);
    QFETCH(QPointF, expected);
    QCOMPARE(routing::anchorOnSide(rect, side, target), expected);
}

void tst_RoutingGeometry::chooseSides_data()
{
    QTest::addColumn<QRectF>("a");
    QTest::addColumn<QRectF>("b");
    QTest::addColumn<SidePair>("expected");

    const SidePair rightLeft{RightSide, LeftSide};
    const SidePair leftRight{LeftSide, RightSide};
    const SidePair bottomTop{BottomSide, TopSide};
    const SidePair topBottom{TopSide, BottomSide};

    QTest::newRow("side by side, gap 6") << Box << QRectF(106, 0, 100, 50) << rightLeft;
    QTest::newRow("gap 5, centres decide") << Box << QRectF(105, 0, 100, 50) << rightLeft;
    QTest::newRow("b left of a") << QRectF(200, 0, 100, 50) << Box << leftRight;
    QTest::newRow("vertical overlap 12") << Box << QRectF(106, 38, 30, 200) << rightLeft;
    QTest::newRow("vertical overlap 11, centres decide") << Box << QRectF(106, 39, 30, 200) << bottomTop;
    QTest::newRow("stacked, gap 6") << Box << QRectF(0, 56, 100, 50) << bottomTop;
    QTest::newRow("b above a") << QRectF(0, 100, 100, 50) << Box << topBottom;
    QTest::newRow("horizontal overlap 12") << Box << QRectF(88, 56, 200, 20) << bottomTop;
    QTest::newRow("horizontal overlap 11, centres decide") << Box << QRectF(89, 56, 200, 20) << rightLeft;
    QTest::newRow("equal centres") << Box << QRectF(25, 10, 50, 30) << rightLeft;
    QTest::newRow("identical") << Box << Box << rightLeft;
    QTest::newRow("b far above") << Box << QRectF(30, -300, 100, 50) << topBottom;
    QTest::newRow("centres, left by as much as up") << Box << QRectF(-100, -100, 100, 50) << leftRight;
}

void tst_RoutingGeometry::chooseSides()
{
    QFETCH(QRectF, a);
    QFETCH(QRectF, b);
    QFETCH(SidePair, expected);
    const SidePair sides = routing::chooseSides(a, b);
    QCOMPARE(sides.from, expected.from);
    QCOMPARE(sides.to, expected.to);
}

void tst_RoutingGeometry::sidesFace_data()
{
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QRectF>("fromRect");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<bool>("expected");

    const QRectF inner(25, 10, 50, 30);
    QTest::newRow("equal centres, right-left") << RightSide << LeftSide << Box << inner << true;
    QTest::newRow("equal centres, left-right") << LeftSide << RightSide << Box << inner << true;
    QTest::newRow("equal centres, bottom-top") << BottomSide << TopSide << Box << inner << true;
    QTest::newRow("equal centres, top-bottom") << TopSide << BottomSide << Box << inner << true;
    QTest::newRow("right-left, to-box left") << RightSide << LeftSide << Box << QRectF(-200, 0, 100, 50) << false;
    QTest::newRow("bottom-top, to-box above") << BottomSide << TopSide << Box << QRectF(0, -200, 100, 50) << false;
    QTest::newRow("top-top never") << TopSide << TopSide << Box << inner << false;
    QTest::newRow("right-top never") << RightSide << TopSide << Box << QRectF(200, 200, 100, 50) << false;
}

void tst_RoutingGeometry::sidesFace()
{
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QRectF, fromRect);
    QFETCH(QRectF, toRect);
    QFETCH(bool, expected);
    QCOMPARE(routing::sidesFace(fromSide, toSide, fromRect, toRect), expected);
}

void tst_RoutingGeometry::nearerPointPrefersBOnTie()
{
    const QPointF p(0, 0);
    QCOMPARE(nearerPoint(p, QPointF(3, 4), QPointF(-4, 3)), QPointF(-4, 3));
    QCOMPARE(nearerPoint(p, QPointF(3, 4), QPointF(10, 0)), QPointF(3, 4));
    QCOMPARE(nearerPoint(p, QPointF(10, 0), QPointF(3, 4)), QPointF(3, 4));
}

void tst_RoutingGeometry::segmentHitsRect_data()
{
    QTest::addColumn<QPointF>("p");
    QTest::addColumn<QPointF>("q");
    QTest::addColumn<bool>("expected");

    QTest::newRow("crosses") << QPointF(-10, 25) << QPointF(110, 25) << true;
    QTest::newRow("inside, touching nothing") << QPointF(10, 10) << QPointF(90, 10) << false;
    QTest::newRow("along the top edge, within it") << QPointF(10, 0) << QPointF(90, 0) << false;
    QTest::newRow("along the top edge, past both corners") << QPointF(-10, 0) << QPointF(110, 0) << true;
    QTest::newRow("ends on the left edge") << QPointF(-10, 25) << QPointF(0, 25) << true;
    QTest::newRow("stops short") << QPointF(-10, 25) << QPointF(-0.01, 25) << false;
    QTest::newRow("beside") << QPointF(-10, -10) << QPointF(-10, 100) << false;
    QTest::newRow("diagonal through a corner") << QPointF(-10, -10) << QPointF(10, 10) << true;
}

void tst_RoutingGeometry::segmentHitsRect()
{
    QFETCH(QPointF, p);
    QFETCH(QPointF, q);
    QFETCH(bool, expected);
    QCOMPARE(routing::segmentHitsRect(p, q, Box), expected);
    QCOMPARE(routing::segmentHitsRect(q, p, Box), expected);
}

void tst_RoutingGeometry::countObstacleHits_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<int>("expected");

    const QList<QRectF> two{QRectF(50, 0, 50, 50), QRectF(150, 0, 50, 50)};
    QTest::newRow("one segment across two boxes") << Route{{0, 25}, {300, 25}} << two << 2;
    QTest::newRow("each segment counts") << Route{{0, 25}, {300, 25}, {300, 40}, {0, 40}} << two << 4;
    QTest::newRow("fewer than two points") << Route{{75, 25}} << two << 0;
    QTest::newRow("no obstacles") << Route{{0, 25}, {300, 25}} << QList<QRectF>{} << 0;
    QTest::newRow("inside the shrunk box, touching no edge") << Route{{10, 10}, {90, 10}} << QList<QRectF>{Box} << 1;
    QTest::newRow("along the outline, outside the shrunk box") << Route{{-10, 0}, {110, 0}} << QList<QRectF>{Box} << 0;
    QTest::newRow("along the shrunk outline, past its corners") << Route{{-10, 1}, {110, 1}}
                                                                << QList<QRectF>{Box} << 1;
    QTest::newRow("small box is not shrunk") << Route{{-5, 0.5}, {5, 0.5}} << QList<QRectF>{QRectF(0, 0, 3, 3)} << 1;
    QTest::newRow("3.5 box shrinks") << Route{{-5, 0.5}, {5, 0.5}} << QList<QRectF>{QRectF(0, 0, 3.5, 3.5)} << 0;
    QTest::newRow("zero-width obstacle is crossed") << Route{{-5, 5}, {5, 5}} << QList<QRectF>{QRectF(0, 0, 0, 10)} << 1;
}

void tst_RoutingGeometry::countObstacleHits()
{
    QFETCH(Route, route);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(int, expected);
    QCOMPARE(routing::countObstacleHits(route, obstacles), expected);
}

void tst_RoutingGeometry::countObstacleHitsAgreesWithExactTestAtTheOutline_data()
{
    QTest::addColumn<QPointF>("p");
    QTest::addColumn<QPointF>("q");
    QTest::addColumn<QRectF>("box"); // 3 wide: not shrunk

    const QRectF small(0, 0, 3, 3);
    const QRectF far(1e6, 1e6, 3, 3);
    const QRectF huge(1e300, -1e300, 3, 3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("stops an ulp short of the left side") << QPointF(-10, 1.5) << QPointF(before(0), 1.5) << small;
    QTest::newRow("stops on the left side") << QPointF(-10, 1.5) << QPointF(0, 1.5) << small;
    QTest::newRow("an ulp above the top side") << QPointF(-10, before(0)) << QPointF(10, before(0)) << small;
    QTest::newRow("along the top side") << QPointF(-10, 0) << QPointF(10, 0) << small;
    QTest::newRow("an ulp past the right side") << QPointF(after(3), -5) << QPointF(after(3), 5) << small;
    QTest::newRow("leaning, ending an ulp off a corner")
        << QPointF(-10, -0.4) << QPointF(before(0), before(0)) << small;
    QTest::newRow("leaning across") << QPointF(-1, -0.3) << QPointF(4, 0.2) << small;
    QTest::newRow("far off") << QPointF(50, 50) << QPointF(60, 50) << small;
    QTest::newRow("a millionth short, a million out")
        << QPointF(1e6 - 10, 1e6 + 1.5) << QPointF(1e6 - 1e-6, 1e6 + 1.5) << far;
    QTest::newRow("an ulp short, a million out")
        << QPointF(1e6 - 10, 1e6 + 1.5) << QPointF(before(1e6), 1e6 + 1.5) << far;
    QTest::newRow("a thousandth short, a million out")
        << QPointF(1e6 - 10, 1e6 + 1.5) << QPointF(1e6 - 1e-3, 1e6 + 1.5) << far;
    QTest::newRow("huge box, near") << QPointF(before(1e300), -1e300) << QPointF(after(1e300), -1e300) << huge;
    QTest::newRow("not a number at the side") << QPointF(nan, 1.5) << QPointF(-10, 1.5) << small;
    QTest::newRow("not a number away") << QPointF(nan, 50) << QPointF(-10, 50) << small;
    QTest::newRow("not a number box") << QPointF(-10, 1.5) << QPointF(10, 1.5) << QRectF(nan, 0, 3, 3);
    QTest::newRow("infinite both ways") << QPointF(-inf, 1.5) << QPointF(inf, 1.5) << small;
    QTest::newRow("infinite, beside") << QPointF(-inf, 50) << QPointF(-10, 50) << small;
}

void tst_RoutingGeometry::countObstacleHitsAgreesWithExactTestAtTheOutline()
{
    QFETCH(QPointF, p);
    QFETCH(QPointF, q);
    QFETCH(QRectF, box);
    QCOMPARE(routing::countObstacleHits({ p, q }, { box }), exactHits(p, q, box));
    QCOMPARE(routing::countObstacleHits({ q, p }, { box }), exactHits(q, p, box));
}

void tst_RoutingGeometry::countObstacleHitsAgreesWithExactTestOnSeededNearMisses()
{
    // Segments, straight and leaning a little as fitted route ends do, whose ends lie a few
    // units in the last place to a millionth off a side, at several distances from the origin.
    QRandomGenerator random(20261210);
    const auto nudge = [&random](double v) {
        switch (random.bounded(4)) {
        case 0:
            return v;
        case 1:
            return std::nextafter(v, random.bounded(2) ? HUGE_VAL : -HUGE_VAL);
        case 2:
            return v + (random.generateDouble() - 0.5) * 1e-12 * std::max(1.0, std::abs(v));
        default:
            return v + (random.generateDouble() - 0.5) * 1e-6 * std::max(1.0, std::abs(v));
        }
    };
    int hits = 0;
    int cases = 0;
    for (const double origin : { 0.0, 1e3, 1e6, 1e9 }) {
        const QRectF box(origin, origin, 3, 3);
        const double edges[] = { box.left(), box.right() };
        const double levels[] = { box.top(), box.bottom() };
        for (int i = 0; i < 5000; ++i) {
            const double lean = random.bounded(3) == 0 ? random.generateDouble() * 0.5 : 0.0;
            QPointF p(origin - 10 + 20 * random.generateDouble(), nudge(levels[random.bounded(2)]));
            QPointF q(nudge(edges[random.bounded(2)]), p.y() + lean);
            if (random.bounded(2)) {
                // The box is square: mirrored, the segment runs the other way past it.
                p = p.transposed();
                q = q.transposed();
            }
            const int expected = exactHits(p, q, box);
            QCOMPARE(routing::countObstacleHits({ p, q }, { box }), expected);
            hits += expected;
            ++cases;
        }
    }
    // Both outcomes come up often enough for the comparison to mean something.
    QVERIFY(hits > cases / 10 && hits < cases * 9 / 10);
}

void tst_RoutingGeometry::countInnerObstacleHitsLeavesOutEndSegments_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("expected");

    // Ends inside the two end boxes, like every route between them.
    const Route detour{{100, 25}, {126, 25}, {126, -40}, {174, -40}, {174, 25}, {200, 25}};
    QTest::newRow("detour clear of both boxes") << detour << 0;
    QTest::newRow("three points") << Route{{50, 25}, {250, 25}, {250, 30}} << 0;
    QTest::newRow("stays between the boxes")
        << Route{{100, 25}, {126, 25}, {126, 30}, {174, 30}, {174, 25}, {200, 25}} << 0;
    QTest::newRow("inner segment back through the from-box")
        << Route{{100, 25}, {126, 25}, {126, 40}, {50, 40}, {50, 80}, {200, 80}} << 2;
}

void tst_RoutingGeometry::countInnerObstacleHitsLeavesOutEndSegments()
{
    QFETCH(Route, route);
    QFETCH(int, expected);
    const QList<QRectF> ends{routing::insetObstacleRect(Box), routing::insetObstacleRect(QRectF(200, 0, 100, 50))};
    QCOMPARE(countInnerObstacleHits(route, ends), expected);
}

void tst_RoutingGeometry::respectsEndSides_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<bool>("expected");

    // From-stub (126, 25), to-stub (174, 60).
    QTest::newRow("right to left") << Route{{100, 25}, {126, 25}, {126, 60}, {174, 60}, {200, 60}}
                                   << RightSide << LeftSide << true;
    QTest::newRow("first segment goes left from a right side")
        << Route{{100, 25}, {80, 25}, {80, 60}, {200, 60}} << RightSide << LeftSide << false;
    QTest::newRow("first segment leaves across the side")
        << Route{{100, 25}, {100, 60}, {200, 60}} << RightSide << LeftSide << false;
    QTest::newRow("last segment arrives from the wrong side")
        << Route{{100, 25}, {126, 25}, {126, 60}, {230, 60}, {200, 60}} << RightSide << LeftSide << false;
    QTest::newRow("doubles back along the from-stub")
        << Route{{100, 25}, {126, 25}, {110, 25}, {110, 60}, {200, 60}} << RightSide << LeftSide << false;
    QTest::newRow("doubles back along the to-stub")
        << Route{{100, 25}, {126, 25}, {126, 60}, {190, 60}, {174, 60}, {200, 60}} << RightSide << LeftSide
        << false;
    QTest::newRow("no side") << Route{{100, 25}, {126, 25}, {126, 60}, {174, 60}, {200, 60}} << 5 << LeftSide
                             << false;
    QTest::newRow("not rectilinear") << Route{{100, 25}, {126, 25}, {174, 60}, {200, 60}} << RightSide
                                     << LeftSide << false;
    QTest::newRow("one point") << Route{{100, 25}} << RightSide << LeftSide << false;
    QTest::newRow("straight") << Route{{100, 25}, {200, 25}} << RightSide << LeftSide << true;
}

void tst_RoutingGeometry::respectsEndSides()
{
    QFETCH(Route, route);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(bool, expected);
    QCOMPARE(routing::respectsEndSides(route, fromSide, toSide, QPointF(126, 25), QPointF(174, 60)), expected);
}

void tst_RoutingGeometry::turnsBackAtStart_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<bool>("expected");

    // Right side of Box, stub (126, 25); the band is y in [-4, 54].
    QTest::newRow("leaves the band first") << Route{{100, 25}, {126, 25}, {126, -40}, {60, -40}} << false;
    QTest::newRow("back behind the stub in the band")
        << Route{{100, 25}, {126, 25}, {126, 40}, {90, 40}, {90, 80}} << true;
    QTest::newRow("band edge is inclusive") << Route{{100, 25}, {126, 25}, {126, 54}, {90, 54}} << true;
    QTest::newRow("just outside the band") << Route{{100, 25}, {126, 25}, {126, 55}, {90, 55}} << false;
    QTest::newRow("no stub point: scan from the third")
        << Route{{100, 25}, {140, 25}, {125, 25}, {125, 90}} << true;
    QTest::newRow("nothing after the stub") << Route{{100, 25}, {126, 25}} << false;
    QTest::newRow("empty") << Route{} << false;
}

void tst_RoutingGeometry::turnsBackAtStart()
{
    QFETCH(Route, route);
    QFETCH(bool, expected);
    QCOMPARE(routing::turnsBackAtStart(RightSide, QPointF(126, 25), route, Box), expected);
}

void tst_RoutingGeometry::turnsBackAtEnd_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<bool>("expected");

    // Left side of (200, 0, 100, 50), stub (174, 25); the band is y in [-4, 54].
    QTest::newRow("behind the stub, 4 below the box") << Route{{190, 54}, {174, 25}, {200, 25}} << true;
    QTest::newRow("behind the stub, 5 below the box") << Route{{190, 55}, {174, 25}, {200, 25}} << false;
    QTest::newRow("in front of the stub") << Route{{100, 25}, {174, 25}, {200, 25}} << false;
    QTest::newRow("scans back past points in front")
        << Route{{190, 10}, {150, 10}, {150, 25}, {174, 25}, {200, 25}} << true;
    QTest::newRow("no stub point: from the second last")
        << Route{{100, 25}, {190, 25}, {190, 30}, {200, 30}} << true;
    QTest::newRow("stub is the first point") << Route{{174, 25}, {200, 25}} << false;
    QTest::newRow("one point") << Route{{174, 25}} << false;
}

void tst_RoutingGeometry::turnsBackAtEnd()
{
    QFETCH(Route, route);
    QFETCH(bool, expected);
    QCOMPARE(routing::turnsBackAtEnd(LeftSide, QPointF(174, 25), route, QRectF(200, 0, 100, 50)), expected);
}

void tst_RoutingGeometry::isCleanRoute_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<bool>("expected");

    const Route z{{100, 25}, {150, 25}, {150, 40}, {200, 40}};
    QTest::newRow("clean") << z << QList<QRectF>{} << true;
    QTest::newRow("obstacle in the gap") << z << QList<QRectF>{QRectF(140, -100, 20, 300)} << false;
    QTest::newRow("obstacle elsewhere") << z << QList<QRectF>{QRectF(140, 100, 20, 300)} << true;
    QTest::newRow("through the to-box") << Route{{100, 25}, {150, 25}, {150, 40}, {250, 40}, {250, 25}, {200, 25}}
                                        << QList<QRectF>{} << false;
    QTest::newRow("one point") << Route{{100, 25}} << QList<QRectF>{} << false;
}

void tst_RoutingGeometry::isCleanRoute()
{
    QFETCH(Route, route);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(bool, expected);
    const QRectF to(200, 0, 100, 50);
    const QList<QRectF> ends{routing::insetObstacleRect(Box), routing::insetObstacleRect(to)};
    const RouteContext context{RightSide, LeftSide, QPointF(126, 25), QPointF(174, 40), Box, to, ends, obstacles};
    QCOMPARE(routing::isCleanRoute(route, context), expected);
}

void tst_RoutingGeometry::distanceOutsideRegion_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << Route{} << 0.0;
    QTest::newRow("inside and on the edge") << Route{{50, 50}, {100, 50}, {100, 100}} << 0.0;
    QTest::newRow("beside and past a corner") << Route{{50, 50}, {150, 50}, {150, 150}} << 50 + std::sqrt(5000.0);
    QTest::newRow("above") << Route{{-10, -20}} << std::sqrt(500.0);
}

void tst_RoutingGeometry::distanceOutsideRegion()
{
    QFETCH(Route, route);
    QFETCH(double, expected);
    QCOMPARE(routing::distanceOutsideRegion(route, QRectF(0, 0, 100, 100)), expected);
}

QTEST_GUILESS_MAIN(tst_RoutingGeometry)
#include "tst_routing_geometry.moc"
