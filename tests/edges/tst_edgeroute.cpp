// The route shapes of a relationship edge as plain functions: two boxes, self
// relationships and the fitting of a stored route onto the current slots.
#include "edgeroute.h"

#include <QtTest>

using edgeroute::EdgeEnds;
using edgeroute::RouteTrace;
using routing::Route;

namespace {

EdgeEnds ends(const QRectF &fromRect, int fromSide, const QPointF &fromAnchor, const QRectF &toRect,
              int toSide, const QPointF &toAnchor)
{
    return EdgeEnds{ fromAnchor, toAnchor, fromSide, toSide, fromRect, toRect };
}

} // namespace

class tst_EdgeRoute : public QObject
{
    Q_OBJECT

private slots:
    void facingSlotsOnOneLineGoStraight();
    void reversedBoxesGetNoStraightLine();
    void routeAvoidsObstacle();
    void degenerateLayoutsStillGetARoute_data();
    void degenerateLayoutsStillGetARoute();
    void overTheTopFallbackSitsAboveHigherBox();
    void detourOrderForTwoTopSlots_data();
    void detourOrderForTwoTopSlots();
    void oneCornerRouteTurnsOnce();

    void selfRelationshipShapes_data();
    void selfRelationshipShapes();
    void unknownSidePairHasNoLoop();

    void fitStoredRoute_data();
    void fitStoredRoute();
};

void tst_EdgeRoute::facingSlotsOnOneLineGoStraight()
{
    // 40 apart, facing slots level within 0.5.
    const EdgeEnds e = ends(QRectF(0, 0, 100, 60), routing::RightSide, QPointF(100, 30), QRectF(140, 0, 100, 60),
                            routing::LeftSide, QPointF(140, 30.4));
    RouteTrace trace;
    const Route route = edgeroute::entityRoute(e, {}, &trace);
    QCOMPARE(route, Route({ QPointF(100, 30), QPointF(140, 30.4) }));
    QCOMPARE(trace.candidatesScored, 1);
}

void tst_EdgeRoute::reversedBoxesGetNoStraightLine()
{
    // The same slots, the to box now left of the from box.
    const EdgeEnds e = ends(QRectF(140, 0, 100, 60), routing::RightSide, QPointF(240, 30), QRectF(0, 0, 100, 60),
                            routing::LeftSide, QPointF(0, 30));
    const Route route = edgeroute::entityRoute(e, {});
    QVERIFY(route.size() > 2);
    QCOMPARE(route.first(), e.fromAnchor);
    QCOMPARE(route.last(), e.toAnchor);
    QVERIFY(routing::isRectilinearRoute(route));
}

void tst_EdgeRoute::routeAvoidsObstacle()
{
    const QRectF a(0, 0, 100, 60);
    const QRectF b(300, 150, 100, 60);
    const QRectF c(150, 0, 100, 100); // where the channel between the two boxes would run
    const EdgeEnds e = ends(a, routing::RightSide, QPointF(100, 30), b, routing::LeftSide, QPointF(300, 180));
    const QList<QRectF> obstacles{ routing::insetObstacleRect(c) };
    const Route route = edgeroute::entityRoute(e, obstacles);
    QCOMPARE(routing::countObstacleHits(route, obstacles), 0);
    QVERIFY(routing::countObstacleHits(edgeroute::entityRoute(e, {}), obstacles) > 0);
    QCOMPARE(route.first(), e.fromAnchor);
    QCOMPARE(route.last(), e.toAnchor);
    QVERIFY(routing::isRectilinearRoute(route));
}

void tst_EdgeRoute::degenerateLayoutsStillGetARoute_data()
{
    QTest::addColumn<QRectF>("fromRect");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<int>("toSide");

    QTest::newRow("same spot") << QRectF(0, 0, 100, 60) << 1 << QRectF(0, 0, 100, 60) << 0;
    QTest::newRow("same spot, same side") << QRectF(0, 0, 100, 60) << 2 << QRectF(0, 0, 100, 60) << 2;
    QTest::newRow("one inside the other") << QRectF(0, 0, 200, 200) << 0 << QRectF(50, 50, 60, 60) << 1;
    QTest::newRow("overlapping") << QRectF(186, 49, 190, 135) << 0 << QRectF(156, 129, 178, 90) << 2;
    QTest::newRow("empty boxes") << QRectF(10, 10, 0, 0) << 3 << QRectF(10, 10, 0, 0) << 2;
}

void tst_EdgeRoute::degenerateLayoutsStillGetARoute()
{
    QFETCH(QRectF, fromRect);
    QFETCH(int, fromSide);
    QFETCH(QRectF, toRect);
    QFETCH(int, toSide);
    const EdgeEnds e = ends(fromRect, fromSide, routing::anchorOnSide(fromRect, fromSide, toRect.center()), toRect,
                            toSide, routing::anchorOnSide(toRect, toSide, fromRect.center()));
    const Route route = edgeroute::entityRoute(e, {});
    QVERIFY(route.size() >= 2);
    QCOMPARE(route.first(), e.fromAnchor);
    QCOMPARE(route.last(), e.toAnchor);
}

void tst_EdgeRoute::overTheTopFallbackSitsAboveHigherBox()
{
    // Overlapping boxes whose every candidate and detour fails the end tests.
    const QRectF from(186, 49, 190, 135);
    const QRectF to(156, 129, 178, 90);
    const EdgeEnds e = ends(from, routing::LeftSide, QPointF(186, 168), to, routing::TopSide, QPointF(281, 129));
    RouteTrace trace;
    const Route route = edgeroute::entityRoute(e, {}, &trace);
    QVERIFY(trace.forcedOverTop);
    const double s = edgeroute::stubLength(e);
    const double topLine = std::min(from.y(), to.y()) - std::max(16.0, s);
    const Route expected{ e.fromAnchor, edgeroute::fromStub(e), QPointF(edgeroute::fromStub(e).x(), topLine),
                          QPointF(281, topLine), e.toAnchor };
    QCOMPARE(route, expected);
}

void tst_EdgeRoute::detourOrderForTwoTopSlots_data()
{
    QTest::addColumn<double>("fromX");
    QTest::addColumn<double>("toX");
    QTest::addColumn<bool>("goesRight");

    // The to box sits above the from box; left and right detours cost the same when the
    // anchors are central, and the right one is tried first then.
    QTest::newRow("mean at the centre") << 50.0 << 50.0 << true;
    QTest::newRow("mean left of the centre") << 40.0 << 50.0 << false;
    QTest::newRow("mean right of the centre") << 60.0 << 60.0 << true;
}

void tst_EdgeRoute::detourOrderForTwoTopSlots()
{
    QFETCH(double, fromX);
    QFETCH(double, toX);
    QFETCH(bool, goesRight);
    const EdgeEnds e = ends(QRectF(0, 100, 100, 100), routing::TopSide, QPointF(fromX, 100), QRectF(0, 0, 100, 60),
                            routing::TopSide, QPointF(toX, 0));
    RouteTrace trace;
    const Route route = edgeroute::entityRoute(e, {}, &trace);
    QVERIFY(trace.fellBack);
    QVERIFY(!trace.forcedOverTop);
    const double m = std::max(16.0, edgeroute::stubLength(e));
    const double line = goesRight ? 100 + m : -m;
    QCOMPARE(route.size(), 6);
    QCOMPARE(route.at(2).x(), line);
    QCOMPARE(route.at(3).x(), line);
}

void tst_EdgeRoute::oneCornerRouteTurnsOnce()
{
    const EdgeEnds e = ends(QRectF(0, 0, 100, 60), routing::RightSide, QPointF(100, 30), QRectF(200, 200, 100, 60),
                            routing::TopSide, QPointF(250, 200));
    const Route route = edgeroute::oneCornerRoute(e);
    QCOMPARE(route, Route({ QPointF(100, 30), QPointF(250, 30), QPointF(250, 200) }));
}

void tst_EdgeRoute::selfRelationshipShapes_data()
{
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QPointF>("fc");
    QTest::addColumn<QPointF>("tc");
    QTest::addColumn<int>("loop");
    QTest::addColumn<Route>("expected");

    // Box (0, 0, 150, 70).
    QTest::newRow("left to right, first loop")
        << 0 << 1 << QPointF(0, 35) << QPointF(150, 35) << 0
        << Route{ QPointF(0, 35), QPointF(-20, 35), QPointF(-20, -20), QPointF(170, -20), QPointF(170, 35),
                  QPointF(150, 35) };
    QTest::newRow("left to right, second loop 12 further out")
        << 0 << 1 << QPointF(0, 35) << QPointF(150, 35) << 1
        << Route{ QPointF(0, 35), QPointF(-32, 35), QPointF(-32, -32), QPointF(182, -32), QPointF(182, 35),
                  QPointF(150, 35) };
    QTest::newRow("right to left, same points")
        << 1 << 0 << QPointF(150, 35) << QPointF(0, 35) << 0
        << Route{ QPointF(150, 35), QPointF(-20, 35), QPointF(-20, -20), QPointF(170, -20), QPointF(170, 35),
                  QPointF(0, 35) };
    QTest::newRow("two slots on the right, bracket 30 out")
        << 1 << 1 << QPointF(150, 20) << QPointF(150, 50) << 0
        << Route{ QPointF(150, 20), QPointF(180, 20), QPointF(180, 50), QPointF(150, 50) };
    QTest::newRow("two slots on the top, second loop")
        << 2 << 2 << QPointF(40, 0) << QPointF(100, 0) << 1
        << Route{ QPointF(40, 0), QPointF(40, -45), QPointF(100, -45), QPointF(100, 0) };
    QTest::newRow("top to bottom around the left")
        << 2 << 3 << QPointF(75, 0) << QPointF(75, 70) << 0
        << Route{ QPointF(75, 0), QPointF(75, -20), QPointF(-20, -20), QPointF(-20, 90), QPointF(75, 90),
                  QPointF(75, 70) };
    QTest::newRow("top to right corner")
        << 2 << 1 << QPointF(75, 0) << QPointF(150, 35) << 0
        << Route{ QPointF(75, 0), QPointF(75, -30), QPointF(180, -30), QPointF(180, 35), QPointF(150, 35) };
    QTest::newRow("left to bottom corner")
        << 0 << 3 << QPointF(0, 35) << QPointF(75, 70) << 0
        << Route{ QPointF(0, 35), QPointF(-30, 35), QPointF(-30, 100), QPointF(75, 100), QPointF(75, 70) };
}

void tst_EdgeRoute::selfRelationshipShapes()
{
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QPointF, fc);
    QFETCH(QPointF, tc);
    QFETCH(int, loop);
    QFETCH(Route, expected);
    QCOMPARE(edgeroute::selfRelationshipRoute(QRectF(0, 0, 150, 70), fc, tc, fromSide, toSide, loop), expected);
}

void tst_EdgeRoute::unknownSidePairHasNoLoop()
{
    QVERIFY(edgeroute::selfRelationshipRoute(QRectF(0, 0, 150, 70), {}, {}, 7, 1, 0).isEmpty());
    QVERIFY(edgeroute::selfRelationshipRoute(QRectF(0, 0, 150, 70), {}, {}, -1, -1, 0).isEmpty());
}

void tst_EdgeRoute::fitStoredRoute_data()
{
    QTest::addColumn<Route>("stored");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<Route>("expected");

    // Slots now at fc = (100, 30) and tc = (300, 130).
    QTest::newRow("two points become the slot centres")
        << Route{ QPointF(90, 20), QPointF(310, 140) } << 1 << 0 << Route{ QPointF(100, 30), QPointF(300, 130) };
    QTest::newRow("three points, first segment horizontal")
        << Route{ QPointF(95, 28), QPointF(290, 28), QPointF(290, 125) } << 1 << 2
        << Route{ QPointF(100, 30), QPointF(300, 30), QPointF(300, 130) };
    QTest::newRow("three points, first segment vertical")
        << Route{ QPointF(95, 28), QPointF(95, 140), QPointF(290, 140) } << 3 << 0
        << Route{ QPointF(100, 30), QPointF(100, 130), QPointF(300, 130) };
    QTest::newRow("four points realigned")
        << Route{ QPointF(98, 27), QPointF(200, 27), QPointF(200, 128), QPointF(302, 128) } << 1 << 0
        << Route{ QPointF(100, 30), QPointF(200, 30), QPointF(200, 130), QPointF(300, 130) };
    QTest::newRow("behind the from side: 12 out")
        << Route{ QPointF(140, 30), QPointF(90, 30), QPointF(90, 130), QPointF(300, 130) } << 1 << 0
        << Route{ QPointF(100, 30), QPointF(112, 30), QPointF(90, 130), QPointF(300, 130) };
    QTest::newRow("behind the to side: 12 out")
        << Route{ QPointF(100, 30), QPointF(200, 30), QPointF(200, 170), QPointF(300, 170), QPointF(300, 160) }
        << 1 << 2
        << Route{ QPointF(100, 30), QPointF(200, 30), QPointF(200, 170), QPointF(300, 118), QPointF(300, 130) };
    QTest::newRow("collinear points removed")
        << Route{ QPointF(100, 30), QPointF(150, 30), QPointF(200, 30), QPointF(200, 130), QPointF(300, 130) } << 1
        << 0 << Route{ QPointF(100, 30), QPointF(200, 30), QPointF(200, 130), QPointF(300, 130) };
}

void tst_EdgeRoute::fitStoredRoute()
{
    QFETCH(Route, stored);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(Route, expected);
    QCOMPARE(edgeroute::fitStoredRoute(stored, QPointF(100, 30), QPointF(300, 130), fromSide, toSide), expected);
}

QTEST_APPLESS_MAIN(tst_EdgeRoute)
#include "tst_edgeroute.moc"
