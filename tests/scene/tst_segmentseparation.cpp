#include "layoutquality.h"
#include "segmentseparation.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace layout;
using routing::Route;

Q_DECLARE_METATYPE(routing::Route)

namespace {

// A route whose only inner segment is vertical at x, from y0 to y1: it comes from the
// left at y0 and leaves to the right at y1, with stubs too short to jog.
Route verticalInner(double x, double y0, double y1)
{
    return {{x - 20, y0}, {x, y0}, {x, y1}, {x + 20, y1}};
}

// A route whose only inner segment is horizontal at y, from x0 to x1.
Route horizontalInner(double y, double x0, double x1)
{
    return {{x0, y - 20}, {x0, y}, {x1, y}, {x1, y + 20}};
}

// Where the inner segment of a route made by the two functions above lies across.
double innerAcross(const Route &route)
{
    return route[1].y() == route[2].y() ? route[1].y() : route[1].x();
}

QList<QualityEdge> asEdges(const QList<Route> &routes)
{
    QList<QualityEdge> edges;
    for (const Route &route : routes)
        edges.append({route, -1, -1});
    return edges;
}

// Two boxes with a channel between x = 150 and x = right.
QList<QRectF> channel(double right)
{
    return {QRectF(0, 0, 150, 400), QRectF(right, 0, 150, 400)};
}

// Three lines from the upper left down the channel at x = 200 and off to the lower right,
// each leaving the channel 10 higher than the one before at both ends, so that they can
// run side by side without crossing.
QList<Route> staircase()
{
    QList<Route> routes;
    for (int i = 0; i < 3; ++i) {
        const double top = -20 - 10 * i;
        const double bottom = 420 - 10 * i;
        routes.append({{-50, top}, {200, top}, {200, bottom}, {450, bottom}});
    }
    return routes;
}

// Where the route's vertical segment that spans y lies across; NaN when none does.
double trackAt(const Route &route, double y)
{
    for (qsizetype k = 0; k + 1 < route.size(); ++k) {
        const QPointF &p = route[k];
        const QPointF &q = route[k + 1];
        if (p.x() == q.x() && std::min(p.y(), q.y()) <= y && y <= std::max(p.y(), q.y()))
            return p.x();
    }
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

class tst_SegmentSeparation : public QObject
{
    Q_OBJECT

private slots:
    void closeOrSharedSegmentsMoveApart_data();
    void closeOrSharedSegmentsMoveApart();
    void threeLinesInOneChannelGetTracksInCrossingFreeOrder();
    void linesOnOneTrackTakeTheSidesTheyPartTo_data();
    void linesOnOneTrackTakeTheSidesTheyPartTo();
    void narrowChannelSpreadsTheTracksEvenly();
    void gapBetweenStaggeredBoxesIsLeftWithAJog();
    void tracksPressedAgainstABoxSpreadAwayFromIt();
    void routesSharingTracksNamesTheLaterOfEachPair_data();
    void routesSharingTracksNamesTheLaterOfEachPair();
    void segmentsStayOutOfBoxesAndBeforeTheirCorners_data();
    void segmentsStayOutOfBoxesAndBeforeTheirCorners();
    void firstAndLastSegmentsStay();
    void segmentsOfOneRouteStay();
    void shortRoutesAreCopied();
};

void tst_SegmentSeparation::closeOrSharedSegmentsMoveApart_data()
{
    QTest::addColumn<Route>("a");
    QTest::addColumn<Route>("b");
    QTest::addColumn<double>("acrossA"); // where the inner segments end up
    QTest::addColumn<double>("acrossB");

    QTest::newRow("vertical 6 apart, each moved by 3")
        << verticalInner(100, 0, 200) << verticalInner(106, 50, 300) << 97.0 << 109.0;
    QTest::newRow("horizontal 10 apart, each moved by 1")
        << horizontalInner(50, 0, 300) << horizontalInner(60, 200, 400) << 49.0 << 61.0;
    // On one line the order follows the turns: b leaves the line upwards later than a
    // and to the left, a leaves it downwards earlier and to the right, so b runs left.
    QTest::newRow("on one line") << verticalInner(100, 0, 200) << verticalInner(100.4, 50, 300) << 106.2 << 94.2;
    QTest::newRow("a track apart already") << verticalInner(100, 0, 200) << verticalInner(112, 50, 300) << 100.0
                                           << 112.0;
    QTest::newRow("spans only touching") << verticalInner(100, 0, 200) << verticalInner(106, 200, 300) << 100.0
                                         << 106.0;
    QTest::newRow("different orientations") << verticalInner(100, 0, 200) << horizontalInner(100, 50, 300)
                                            << 100.0 << 100.0;
}

void tst_SegmentSeparation::closeOrSharedSegmentsMoveApart()
{
    QFETCH(Route, a);
    QFETCH(Route, b);
    QFETCH(double, acrossA);
    QFETCH(double, acrossB);
    const QList<Route> separated = separateParallelSegments({a, b}, {});
    QCOMPARE(innerAcross(separated[0]), acrossA);
    QCOMPARE(innerAcross(separated[1]), acrossB);
    for (int r = 0; r < 2; ++r) {
        QVERIFY(routing::isRectilinearRoute(separated[r]));
        QCOMPARE(separated[r].first(), (r == 0 ? a : b).first());
        QCOMPARE(separated[r].last(), (r == 0 ? a : b).last());
    }
}

void tst_SegmentSeparation::threeLinesInOneChannelGetTracksInCrossingFreeOrder()
{
    // Given in either order, the line that leaves lowest at both ends runs leftmost.
    const QList<Route> routes = staircase();
    const QList<Route> reversed{routes[2], routes[1], routes[0]};
    for (const QList<Route> &given : {routes, reversed}) {
        const QList<Route> separated = separateParallelSegments(given, channel(250));
        const bool flipped = given.first() != routes.first();
        const auto trackOf = [&](int i) { return separated[flipped ? 2 - i : i][1].x(); };
        QCOMPARE(trackOf(0), 188.0);
        QCOMPARE(trackOf(1), 200.0);
        QCOMPARE(trackOf(2), 212.0);
        const LayoutQuality q = measureLayout(channel(250), asEdges(separated));
        QCOMPARE(q.sharedRuns, 0);
        QCOMPARE(q.crossings, 0);
    }
}

void tst_SegmentSeparation::linesOnOneTrackTakeTheSidesTheyPartTo_data()
{
    // Three lines down the channel at x = 200 between y = 0 and 400.
    QTest::addColumn<QList<Route>>("routes");
    QTest::addColumn<QList<int>>("leftToRight");

    QList<Route> opposite;
    QList<Route> nested;
    QList<Route> together;
    for (int i = 0; i < 3; ++i) {
        const double d = 10 * i;
        opposite.append({{-50, -20 - d}, {200, -20 - d}, {200, 420 - d}, {450, 420 - d}});
        nested.append({{-50, -40 + d}, {200, -40 + d}, {200, 440 - d}, {-50, 440 - d}});
        // One corner in and one out for all three; they part where each leaves the line
        // above and the line below the channel.
        const double in = -50 - 2 * d;
        const double out = 300 - 2 * d;
        together.append({{in, -100}, {in, -20}, {200, -20}, {200, 420}, {out, 420}, {out, 500}});
    }
    // Each leaves the channel earlier than the one before on both ends: first to the
    // left at the top, last to the right at the bottom.
    QTest::newRow("to opposite sides, staggered") << opposite << QList<int>{0, 1, 2};
    // Each leaves to the left at both ends, the last one first: it is the innermost.
    QTest::newRow("to the same side, nested") << nested << QList<int>{2, 1, 0};
    // Route 0 leaves the top line first, upwards, and the bottom line last, downwards: it
    // takes the outside of both corners.
    QTest::newRow("turning together, parting later") << together << QList<int>{2, 1, 0};
    // Routes 0 and 1 part at the top corner to opposite sides; route 2 leaves first at the
    // top, to the left, and last at the bottom.
    QTest::newRow("parting at one corner")
        << QList<Route>{{{-50, -20}, {200, -20}, {200, 420}, {450, 420}},
                        {{450, -20}, {200, -20}, {200, 410}, {450, 410}},
                        {{-50, -10}, {200, -10}, {200, 430}, {-50, 430}}}
        << QList<int>{2, 0, 1};
}

void tst_SegmentSeparation::linesOnOneTrackTakeTheSidesTheyPartTo()
{
    QFETCH(QList<Route>, routes);
    QFETCH(QList<int>, leftToRight);
    // The order must not come from the order the routes are given in.
    for (const bool reversed : {false, true}) {
        QList<Route> given = routes;
        if (reversed)
            std::reverse(given.begin(), given.end());
        QList<Route> separated = separateParallelSegments(given, channel(250));
        if (reversed)
            std::reverse(separated.begin(), separated.end());
        for (int k = 0; k + 1 < leftToRight.size(); ++k) {
            const double left = trackAt(separated[leftToRight[k]], 200);
            const double right = trackAt(separated[leftToRight[k + 1]], 200);
            QVERIFY2(left < right, qPrintable(QStringLiteral("route %1 at %2, route %3 at %4")
                                                  .arg(leftToRight[k]).arg(left)
                                                  .arg(leftToRight[k + 1]).arg(right)));
        }
        const LayoutQuality q = measureLayout(channel(250), asEdges(separated));
        QCOMPARE(q.sharedRuns, 0);
        QCOMPARE(q.crossings, 0);
    }
}

void tst_SegmentSeparation::narrowChannelSpreadsTheTracksEvenly()
{
    // Room from 156 to 169 (6 from each box): three tracks 12 apart do not fit, 6 apart do.
    QList<Route> routes = staircase();
    for (Route &route : routes) {
        route[1].rx() = 160;
        route[2].rx() = 160;
    }
    const QList<Route> separated = separateParallelSegments(routes, channel(175));
    QCOMPARE(separated[0][1].x(), 156.0);
    QCOMPARE(separated[1][1].x(), 162.0);
    QCOMPARE(separated[2][1].x(), 168.0);
}

void tst_SegmentSeparation::gapBetweenStaggeredBoxesIsLeftWithAJog()
{
    // Three lines along y = 0 between a box below on the left and one above on the right,
    // 10 apart across: no track fits 6 from both, but each piece of a line has room on
    // the side where no box is.
    const QList<QRectF> boxes{QRectF(0, 5, 100, 100), QRectF(200, -105, 100, 100)};
    QList<Route> routes;
    for (int i = 0; i < 3; ++i)
        routes.append({{-50.0 - 10 * i, -80}, {-50.0 - 10 * i, 0}, {350.0 - 10 * i, 0}, {350.0 - 10 * i, 80}});
    const QList<Route> separated = separateParallelSegments(routes, boxes);
    const LayoutQuality q = measureLayout(boxes, asEdges(separated));
    QCOMPARE(q.sharedRunEdgePairs, 0);
    QCOMPARE(q.segmentBoxHits, 0);
    QCOMPARE(q.crossings, 0);
    for (int r = 0; r < 3; ++r) {
        QVERIFY(routing::isRectilinearRoute(separated[r]));
        QCOMPARE(separated[r].first(), routes[r].first());
        QCOMPARE(separated[r].last(), routes[r].last());
        // One jog: two more bends.
        QCOMPARE(routing::countBends(separated[r]), 4);
        for (const QPointF &p : separated[r]) {
            QVERIFY(!boxes[0].adjusted(-5.9, -5.9, 5.9, 5.9).contains(p));
            QVERIFY(!boxes[1].adjusted(-5.9, -5.9, 5.9, 5.9).contains(p));
        }
    }
}

void tst_SegmentSeparation::tracksPressedAgainstABoxSpreadAwayFromIt()
{
    // The staircase runs 6 from a box on its right: every track must go left, and there is
    // room for all three a full track apart.
    const QList<Route> separated = separateParallelSegments(staircase(), {QRectF(206, 0, 150, 400)});
    QCOMPARE(separated[0][1].x(), 176.0);
    QCOMPARE(separated[1][1].x(), 188.0);
    QCOMPARE(separated[2][1].x(), 200.0);
}

void tst_SegmentSeparation::routesSharingTracksNamesTheLaterOfEachPair_data()
{
    QTest::addColumn<QList<Route>>("routes");
    QTest::addColumn<QList<int>>("later");
    const Route a = verticalInner(100, 0, 200);
    QTest::newRow("one line, 100 in common") << QList<Route>{a, verticalInner(100.4, 100, 300)} << QList<int>{1};
    QTest::newRow("10 in common is not a run") << QList<Route>{a, verticalInner(100, 190, 300)} << QList<int>{};
    QTest::newRow("0.6 apart") << QList<Route>{a, verticalInner(100.6, 50, 250)} << QList<int>{};
    QTest::newRow("three on one line, each pair")
        << QList<Route>{horizontalInner(50, 0, 300), a, horizontalInner(50, 100, 200), horizontalInner(50, 250, 400)}
        << QList<int>{2, 3};
    QTest::newRow("one route over itself") << QList<Route>{{{0, 0}, {0, 100}, {0, 50}, {20, 50}}} << QList<int>{};
}

void tst_SegmentSeparation::routesSharingTracksNamesTheLaterOfEachPair()
{
    QFETCH(QList<Route>, routes);
    QFETCH(QList<int>, later);
    QCOMPARE(routesSharingTracks(routes), later);
}

void tst_SegmentSeparation::segmentsStayOutOfBoxesAndBeforeTheirCorners_data()
{
    QTest::addColumn<double>("corners"); // x of b's two corners left of the shared line
    QTest::addColumn<double>("trackA");
    QTest::addColumn<double>("trackB");
    // b's stubs keep 8 of their length: b may not go left of corners + 8.
    QTest::newRow("a track apart") << 80.0 << 100.0 << 88.0;
    QTest::newRow("no room for a whole track") << 84.0 << 100.0 << 94.0;
}

void tst_SegmentSeparation::segmentsStayOutOfBoxesAndBeforeTheirCorners()
{
    QFETCH(double, corners);
    QFETCH(double, trackA);
    QFETCH(double, trackB);
    // a and b share the line x = 100, 2 from a box on the right that neither may come
    // nearer to; b leaves the line later on both ends, so it runs on the left.
    const Route a{{0, 0}, {100, 0}, {100, 200}, {0, 200}};
    const Route b{{corners, 20}, {100, 20}, {100, 180}, {corners, 180}};
    const QRectF box(102, -100, 100, 400);
    const QList<Route> separated = separateParallelSegments({a, b}, {box});
    QCOMPARE(separated[0][1].x(), trackA);
    QCOMPARE(separated[1][1].x(), trackB);
    QCOMPARE(separated[1][2].x(), trackB);
}

void tst_SegmentSeparation::firstAndLastSegmentsStay()
{
    // Both routes are L shapes: their only segments are first or last ones.
    const Route a{{0, 0}, {100, 0}, {100, 200}};
    const Route b{{0, 5}, {106, 5}, {106, 200}};
    const QList<Route> separated = separateParallelSegments({a, b}, {});
    QCOMPARE(separated[0], a);
    QCOMPARE(separated[1], b);

    // An inner segment on the line of another route's first segment moves off it alone.
    const Route c{{-100, 50}, {100, 50}, {100, 150}, {300, 150}};
    const QList<Route> beside = separateParallelSegments({a, c}, {});
    QCOMPARE(beside[0], a);
    // The long first segment of a may give way by a hair, too little to be drawn.
    QVERIFY(std::abs(beside[1][1].x() - 100) >= TrackSpacing - 1);
}

void tst_SegmentSeparation::segmentsOfOneRouteStay()
{
    // Two inner vertical segments of one route, 6 apart.
    const Route zigzag{{0, 0}, {100, 0}, {100, 100}, {106, 100}, {106, 0}, {200, 0}};
    QCOMPARE(separateParallelSegments({zigzag}, {}).first(), zigzag);
}

void tst_SegmentSeparation::shortRoutesAreCopied()
{
    const QList<Route> routes{{}, {{1, 1}}, {{0, 0}, {10, 0}}};
    QCOMPARE(separateParallelSegments(routes, {}), routes);
}

QTEST_GUILESS_MAIN(tst_SegmentSeparation)
#include "tst_segmentseparation.moc"
