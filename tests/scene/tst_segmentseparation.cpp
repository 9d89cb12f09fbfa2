#include "segmentseparation.h"

#include <QTest>

using namespace layout;
using routing::Route;

Q_DECLARE_METATYPE(routing::Route)

namespace {

// A route whose only inner segment is vertical at x, from y0 to y1.
Route verticalInner(double x, double y0, double y1)
{
    return {{x - 100, y0}, {x, y0}, {x, y1}, {x + 100, y1}};
}

// A route whose only inner segment is horizontal at y, from x0 to x1.
Route horizontalInner(double y, double x0, double x1)
{
    return {{x0, y - 100}, {x0, y}, {x1, y}, {x1, y + 100}};
}

} // namespace

class tst_SegmentSeparation : public QObject
{
    Q_OBJECT

private slots:
    void closeParallelSegments_data();
    void closeParallelSegments();
    void pushedPairEndsExactly14Apart();
    void firstAndLastSegmentsStay();
    void segmentsOfOneRouteStay();
    void shortRoutesAreCopied();
};

void tst_SegmentSeparation::closeParallelSegments_data()
{
    QTest::addColumn<Route>("a");
    QTest::addColumn<Route>("b");
    QTest::addColumn<double>("shiftA"); // across the inner segment, for its two points
    QTest::addColumn<double>("shiftB");

    QTest::newRow("vertical 6 apart, each moved by 4")
        << verticalInner(100, 0, 200) << verticalInner(106, 50, 300) << -4.0 << 4.0;
    QTest::newRow("vertical, the later one on the left")
        << verticalInner(106, 0, 200) << verticalInner(100, 50, 300) << 4.0 << -4.0;
    QTest::newRow("horizontal 10 apart, each moved by 2")
        << horizontalInner(50, 0, 300) << horizontalInner(60, 200, 400) << -2.0 << 2.0;
    QTest::newRow("13.5 apart") << verticalInner(100, 0, 200) << verticalInner(113.5, 50, 300) << -0.25 << 0.25;
    QTest::newRow("closer than 0.5 stay together")
        << verticalInner(100, 0, 200) << verticalInner(100.4, 50, 300) << 0.0 << 0.0;
    QTest::newRow("14 apart already") << verticalInner(100, 0, 200) << verticalInner(114, 50, 300) << 0.0 << 0.0;
    QTest::newRow("spans only touching")
        << verticalInner(100, 0, 200) << verticalInner(106, 200, 300) << 0.0 << 0.0;
    QTest::newRow("different orientations")
        << verticalInner(100, 0, 200) << horizontalInner(100, 50, 300) << 0.0 << 0.0;
}

void tst_SegmentSeparation::closeParallelSegments()
{
    QFETCH(Route, a);
    QFETCH(Route, b);
    QFETCH(double, shiftA);
    QFETCH(double, shiftB);
    auto shifted = [](Route route, double shift) {
        const bool horizontal = route[1].y() == route[2].y();
        for (int k : {1, 2}) {
            if (horizontal)
                route[k].ry() += shift;
            else
                route[k].rx() += shift;
        }
        return route;
    };
    const QList<Route> separated = separateParallelSegments({a, b});
    QCOMPARE(separated[0], shifted(a, shiftA));
    QCOMPARE(separated[1], shifted(b, shiftB));
}

void tst_SegmentSeparation::pushedPairEndsExactly14Apart()
{
    // Three close segments: every pushed pair ends 14 apart, and after four rounds the
    // outer two are apart too.
    const QList<Route> routes{verticalInner(100, 0, 200), verticalInner(103, 0, 200), verticalInner(108, 0, 200)};
    const QList<Route> separated = separateParallelSegments(routes);
    const double x0 = separated[0][1].x();
    const double x1 = separated[1][1].x();
    const double x2 = separated[2][1].x();
    QVERIFY(std::abs(x1 - x0) >= 14 - 1e-9 || std::abs(x1 - x0) < 0.5);
    QVERIFY(std::abs(x2 - x0) >= 14 - 1e-9 || std::abs(x2 - x0) < 0.5);
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(separated[r][1].x(), separated[r][2].x());
        QCOMPARE(separated[r].first(), routes[r].first());
        QCOMPARE(separated[r].last(), routes[r].last());
    }
}

void tst_SegmentSeparation::firstAndLastSegmentsStay()
{
    // Both routes are L shapes: their only segments are first or last ones.
    const Route a{{0, 0}, {100, 0}, {100, 200}};
    const Route b{{0, 5}, {106, 5}, {106, 200}};
    const QList<Route> separated = separateParallelSegments({a, b});
    QCOMPARE(separated[0], a);
    QCOMPARE(separated[1], b);
}

void tst_SegmentSeparation::segmentsOfOneRouteStay()
{
    // Two inner vertical segments of one route, 6 apart.
    const Route zigzag{{0, 0}, {100, 0}, {100, 100}, {106, 100}, {106, 0}, {200, 0}};
    QCOMPARE(separateParallelSegments({zigzag}).first(), zigzag);
}

void tst_SegmentSeparation::shortRoutesAreCopied()
{
    const QList<Route> routes{{}, {{1, 1}}, {{0, 0}, {10, 0}}};
    QCOMPARE(separateParallelSegments(routes), routes);
}

QTEST_GUILESS_MAIN(tst_SegmentSeparation)
#include "tst_segmentseparation.moc"
