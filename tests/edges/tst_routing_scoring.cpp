#include "routescoring.h"

#include <QTest>

using namespace routing;

Q_DECLARE_METATYPE(routing::Route)

namespace {

const QRectF LeftBox(0, 0, 100, 50);
const QRectF RightBox(200, 0, 100, 50);

// The path as text: M(x,y) L(x,y) Q(control end) per element, quadratic curves recovered
// from the cubic segments that QPainterPath stores.
QString describe(const QPainterPath &path)
{
    const auto num = [](double v) { return QString::number(v, 'g', 10); };
    const auto pt = [&num](const QPointF &p) { return num(p.x()) + QLatin1Char(',') + num(p.y()); };
    QStringList parts;
    QPointF current;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        const QPointF p(e.x, e.y);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            parts << QStringLiteral("M(%1)").arg(pt(p));
            current = p;
            break;
        case QPainterPath::LineToElement:
            parts << QStringLiteral("L(%1)").arg(pt(p));
            current = p;
            break;
        case QPainterPath::CurveToElement: {
            const QPainterPath::Element end = path.elementAt(i + 2);
            const QPointF control = current + 1.5 * (p - current);
            parts << QStringLiteral("Q(%1 %2)").arg(pt(control), pt(QPointF(end.x, end.y)));
            current = QPointF(end.x, end.y);
            i += 2;
            break;
        }
        default:
            parts << QStringLiteral("?");
            break;
        }
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace

class tst_RoutingScoring : public QObject
{
    Q_OBJECT

private slots:
    void removeCollinearPoints_data();
    void removeCollinearPoints();
    void sameSideDetourPenalty_data();
    void sameSideDetourPenalty();
    void scoreComputedRoute_data();
    void scoreComputedRoute();
    void scoreAutoRoute_data();
    void scoreAutoRoute();
    void buildRoundedPath_data();
    void buildRoundedPath();
};

void tst_RoutingScoring::removeCollinearPoints_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<Route>("expected");

    QTest::newRow("exact zeros compare equal") << Route{{0, 0}, {10, 0}, {20, 0}} << Route{{0, 0}, {20, 0}};
    QTest::newRow("repeated point") << Route{{5, 5}, {10, 5}, {10, 5}, {10, 20}} << Route{{5, 5}, {10, 5}, {10, 20}};
    QTest::newRow("a bend stays") << Route{{0, 0}, {10, 0}, {10, 10}} << Route{{0, 0}, {10, 0}, {10, 10}};
    QTest::newRow("a run collapses to its ends")
        << Route{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 5}} << Route{{0, 0}, {3, 0}, {3, 5}};
    QTest::newRow("a tiny value is not zero")
        << Route{{0, 0}, {10, 1e-300}, {20, 0}} << Route{{0, 0}, {10, 1e-300}, {20, 0}};
    QTest::newRow("relative equality away from zero")
        << Route{{0, 100}, {10, 100.0000000000001}, {20, 100}} << Route{{0, 100}, {20, 100}};
    QTest::newRow("0.5 apart is not equal") << Route{{0, 100}, {10, 100.5}, {20, 100}}
                                            << Route{{0, 100}, {10, 100.5}, {20, 100}};
    QTest::newRow("two points untouched") << Route{{0, 0}, {0, 0}} << Route{{0, 0}, {0, 0}};
    QTest::newRow("empty") << Route{} << Route{};
}

void tst_RoutingScoring::removeCollinearPoints()
{
    QFETCH(Route, route);
    QFETCH(Route, expected);
    QCOMPARE(routing::removeCollinearPoints(route), expected);
}

void tst_RoutingScoring::sameSideDetourPenalty_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("pointA");
    QTest::addColumn<QPointF>("pointB");
    QTest::addColumn<QRectF>("rectB");
    QTest::addColumn<double>("expected");

    const QRectF below(0, 100, 100, 50);
    const Route aroundRight{{20, 0}, {20, -26}, {136, -26}, {136, 74}, {20, 74}, {20, 100}};
    const Route aroundLeft{{20, 0}, {20, -26}, {-36, -26}, {-36, 74}, {20, 74}, {20, 100}};
    QTest::newRow("stacked top-top around the unexpected right")
        << aroundRight << TopSide << QPointF(20, 0) << QPointF(20, 100) << below << 1600.0;
    QTest::newRow("stacked top-top around the expected left")
        << aroundLeft << TopSide << QPointF(20, 0) << QPointF(20, 100) << below << 0.0;
    QTest::newRow("anchors right of centre expect the right")
        << aroundRight << TopSide << QPointF(80, 0) << QPointF(80, 100) << below << 0.0;
    QTest::newRow("side by side top-top is never judged")
        << Route{{20, 0}, {20, -36}, {400, -36}, {400, 0}} << TopSide << QPointF(20, 0) << QPointF(220, 0)
        << RightBox << 0.0;
    QTest::newRow("within 2 of even is neither way")
        << Route{{20, 0}, {20, -26}, {-36, -26}, {-36, 74}, {136, 74}, {136, 100}} << TopSide << QPointF(20, 0)
        << QPointF(20, 100) << below << 0.0;
    QTest::newRow("side by side right-right around the bottom, anchors above the centre")
        << Route{{100, 10}, {126, 10}, {126, 86}, {326, 86}, {326, 10}, {300, 10}} << RightSide << QPointF(100, 10)
        << QPointF(300, 10) << RightBox << 1600.0;
    QTest::newRow("no side") << aroundRight << 6 << QPointF(20, 0) << QPointF(20, 100) << below << 0.0;
    QTest::newRow("empty route") << Route{} << TopSide << QPointF(20, 0) << QPointF(20, 100) << below << 0.0;
}

void tst_RoutingScoring::sameSideDetourPenalty()
{
    QFETCH(Route, route);
    QFETCH(int, side);
    QFETCH(QPointF, pointA);
    QFETCH(QPointF, pointB);
    QFETCH(QRectF, rectB);
    QFETCH(double, expected);
    QCOMPARE(routing::sameSideDetourPenalty(route, side, pointA, pointB, LeftBox, rectB), expected);
}

void tst_RoutingScoring::scoreComputedRoute_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<double>("expected");

    const QList<QRectF> none;
    const QList<QRectF> inGap{QRectF(140, 0, 20, 50)};
    QTest::newRow("clean straight") << Route{{100, 25}, {200, 25}} << RightSide << LeftSide << none << 100.0;
    QTest::newRow("two bends") << Route{{100, 25}, {150, 25}, {150, 125}, {200, 125}} << RightSide << LeftSide
                               << none << 16200.0;
    QTest::newRow("crosses one box") << Route{{100, 25}, {200, 25}} << RightSide << LeftSide << inGap
                                     << 1e12 + 1e6 + 100;
    QTest::newRow("four bends, whatever it crosses")
        << Route{{100, 25}, {110, 25}, {110, 35}, {140, 35}, {140, 45}, {200, 45}} << RightSide << LeftSide
        << inGap << 1e15;
    QTest::newRow("one point") << Route{{100, 25}} << RightSide << LeftSide << none << 2e12;
    QTest::newRow("empty") << Route{} << RightSide << LeftSide << none << 2e12;
    QTest::newRow("back through an end box counts")
        << Route{{100, 25}, {150, 25}, {150, 40}, {250, 40}, {250, 25}} << RightSide << LeftSide << none
        << 1e12 + 1e6 + 180;
    QTest::newRow("same side adds the detour penalty")
        << Route{{100, 10}, {126, 10}, {126, 100}, {326, 100}, {326, 10}} << RightSide << RightSide << none
        << 24000 + 406 + 1600.0;
}

void tst_RoutingScoring::scoreComputedRoute()
{
    QFETCH(Route, route);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(double, expected);
    const QList<QRectF> ends{insetObstacleRect(LeftBox), insetObstacleRect(RightBox)};
    const QPointF fromAnchor = route.isEmpty() ? QPointF() : route.first();
    const QPointF toAnchor = route.isEmpty() ? QPointF() : route.last();
    const ComputedRouteContext context{obstacles, ends, fromSide, toSide, fromAnchor, toAnchor, LeftBox, RightBox};
    QCOMPARE(routing::scoreComputedRoute(route, context), expected);
}

void tst_RoutingScoring::scoreAutoRoute_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("fromSide");
    QTest::addColumn<int>("toSide");
    QTest::addColumn<QRectF>("toRect");
    QTest::addColumn<QList<QRectF>>("obstacles");
    QTest::addColumn<double>("expected");

    const QList<QRectF> none;
    QTest::newRow("facing and suggested: minus 14 and 48")
        << Route{{100, 25}, {200, 25}} << RightSide << LeftSide << RightBox << none << 100.0 - 14 - 48;
    const QRectF below(0, 150, 100, 50);
    QTest::newRow("top side away from a box below")
        << Route{{50, 0}, {50, -26}, {130, -26}, {130, 175}, {100, 175}} << TopSide << RightSide << below << none
        << 337.0 + 24000 + 4000;
    QTest::newRow("both sides away")
        << Route{{0, 25}, {-26, 25}, {-26, -40}, {326, -40}, {326, 25}} << LeftSide << RightSide << RightBox << none
        << 26 + 65 + 352 + 65 + 8000 * 3 + 4000 * 2.0;
    QTest::newRow("turns back at the start")
        << Route{{100, 25}, {126, 25}, {126, 40}, {90, 40}, {90, 80}} << RightSide << LeftSide
        << QRectF(300, 0, 100, 50) << none << 1e14;
    QTest::newRow("crosses a box")
        << Route{{100, 25}, {200, 25}} << RightSide << LeftSide << RightBox << QList<QRectF>{QRectF(140, 0, 20, 50)}
        << 1e12 + 1e6 + 100;
    QTest::newRow("more than three bends")
        << Route{{100, 25}, {110, 25}, {110, 35}, {140, 35}, {140, 45}, {200, 45}} << RightSide << LeftSide
        << RightBox << none << 1e15;
    QTest::newRow("one point") << Route{{100, 25}} << RightSide << LeftSide << RightBox << none << 1e15;
}

void tst_RoutingScoring::scoreAutoRoute()
{
    QFETCH(Route, route);
    QFETCH(int, fromSide);
    QFETCH(int, toSide);
    QFETCH(QRectF, toRect);
    QFETCH(QList<QRectF>, obstacles);
    QFETCH(double, expected);
    const QList<QRectF> ends{insetObstacleRect(LeftBox), insetObstacleRect(toRect)};
    const AutoRouteContext context{obstacles, ends, LeftBox, toRect};
    QCOMPARE(routing::scoreAutoRoute(context, route, fromSide, toSide), expected);
}

void tst_RoutingScoring::buildRoundedPath_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<double>("radius");
    QTest::addColumn<QString>("expected");

    QTest::newRow("radius 10") << Route{{0, 0}, {100, 0}, {100, 100}} << 10.0
                               << "M(0,0) L(90,0) Q(100,0 100,10) L(100,100)";
    QTest::newRow("shrinks to half a short segment") << Route{{0, 0}, {6, 0}, {6, 100}} << 10.0
                                                     << "M(0,0) L(3,0) Q(6,0 6,3) L(6,100)";
    QTest::newRow("two corners, turning left") << Route{{0, 0}, {0, -50}, {-40, -50}, {-40, -100}} << 10.0
                                               << "M(0,0) L(0,-40) Q(0,-50 -10,-50) L(-30,-50) "
                                                  "Q(-40,-50 -40,-60) L(-40,-100)";
    QTest::newRow("a 0.2 segment keeps its corner sharp") << Route{{0, 0}, {0.2, 0}, {0.2, 100}} << 10.0
                                                          << "M(0,0) L(0.2,0) L(0.2,100)";
    QTest::newRow("two points") << Route{{0, 0}, {50, 0}} << 10.0 << "M(0,0) L(50,0)";
    QTest::newRow("one point is empty") << Route{{5, 5}} << 10.0 << "";
    QTest::newRow("empty") << Route{} << 10.0 << "";
}

void tst_RoutingScoring::buildRoundedPath()
{
    QFETCH(Route, route);
    QFETCH(double, radius);
    QFETCH(QString, expected);
    const QPainterPath path = routing::buildRoundedPath(route, radius);
    QCOMPARE(describe(path), expected);
    QCOMPARE(path.isEmpty(), route.size() < 2);
}

QTEST_GUILESS_MAIN(tst_RoutingScoring)
#include "tst_routing_scoring.moc"
