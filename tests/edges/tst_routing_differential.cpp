#include "obstaclefilter.h"
#include "routecandidates.h"
#include "routescoring.h"
#include "routingtestutil.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <limits>

using namespace routing;
using routingtest::Layout;
using routingtest::SeededRandom;

namespace {

constexpr int LayoutCount = 300;

QString describe(const Route &route)
{
    QStringList points;
    for (const QPointF &p : route)
        points << QStringLiteral("(%1, %2)").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17);
    return points.join(QLatin1Char(' '));
}

QString describe(const Layout &layout, int seed, EntitySide from, EntitySide to)
{
    const auto rect = [](const QRectF &r) {
        return QStringLiteral("(%1, %2, %3, %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    return QStringLiteral("layout %1, sides %2 -> %3, from %4, to %5")
        .arg(seed)
        .arg(from)
        .arg(to)
        .arg(rect(layout.fromRect), rect(layout.toRect));
}

// A point on a side of r or a little off it, as slot anchors of the edge can be.
QPointF anchorNear(SeededRandom &random, const QRectF &r, EntitySide side)
{
    const double offset = random.chance(0.7) ? 0 : random.uniform(-20, 20);
    switch (side) {
    case LeftSide:
        return QPointF(r.left() + offset, random.uniform(r.top(), r.bottom()));
    case RightSide:
        return QPointF(r.right() + offset, random.uniform(r.top(), r.bottom()));
    case TopSide:
        return QPointF(random.uniform(r.left(), r.right()), r.top() + offset);
    default:
        return QPointF(random.uniform(r.left(), r.right()), r.bottom() + offset);
    }
}

} // namespace

class tst_RoutingDifferential : public QObject
{
    Q_OBJECT

private slots:
    void preFilterKeepsEveryRoute();
    void routeCutKeepsEveryScore();
    void routesLeaveAndEnterTheirAnchors();
    void obstacleOrderChangesNothing();
    void insetNeverGrows();
    void hugeCoordinatesAndLongObstacleLists();
    void cutKeepsWhatCanMatter();
};

void tst_RoutingDifferential::preFilterKeepsEveryRoute()
{
    int compared = 0;
    int cutSmaller = 0;
    for (int seed = 1; seed <= LayoutCount; ++seed) {
        SeededRandom random(seed);
        const Layout layout = routingtest::randomLayout(random);
        const bool withAnchors = random.chance(0.3);
        for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
            for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
                std::optional<QPointF> fromAnchor;
                std::optional<QPointF> toAnchor;
                if (withAnchors) {
                    fromAnchor = anchorNear(random, layout.fromRect, from);
                    toAnchor = anchorNear(random, layout.toRect, to);
                }
                const QList<QRectF> near = obstaclesNearPair(layout.fromRect, layout.toRect, layout.obstacles,
                                                             fromAnchor, toAnchor);
                cutSmaller += near.size() < layout.obstacles.size();
                const Route full = routeForSides(layout.fromRect, layout.toRect, from, to, layout.obstacles,
                                                 fromAnchor, toAnchor);
                const Route cut = routeForSides(layout.fromRect, layout.toRect, from, to, near, fromAnchor, toAnchor);
                QVERIFY2(full == cut, qPrintable(describe(layout, seed, from, to) + QStringLiteral(": full ")
                                                 + describe(full) + QStringLiteral(", cut ") + describe(cut)));
                ++compared;
            }
        }
    }
    // The comparison only means something when the cut leaves obstacles out.
    QVERIFY2(cutSmaller > compared / 4, qPrintable(QString::number(cutSmaller)));
}

void tst_RoutingDifferential::routeCutKeepsEveryScore()
{
    for (int seed = 1; seed <= LayoutCount; ++seed) {
        SeededRandom random(seed);
        const Layout layout = routingtest::randomLayout(random);
        const QList<QRectF> ends{insetObstacleRect(layout.fromRect), insetObstacleRect(layout.toRect)};
        for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
            for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
                // Score a route routed without obstacles, so that it crosses some.
                const Route route = routeForSides(layout.fromRect, layout.toRect, from, to, {});
                const QList<QRectF> near = obstaclesNearRoute(route, layout.obstacles);
                QCOMPARE(countObstacleHits(route, near), countObstacleHits(route, layout.obstacles));
                if (route.size() < 2)
                    continue;
                const AutoRouteContext fullContext{layout.obstacles, ends, layout.fromRect, layout.toRect};
                const AutoRouteContext cutContext{near, ends, layout.fromRect, layout.toRect};
                QCOMPARE(scoreAutoRoute(cutContext, route, from, to), scoreAutoRoute(fullContext, route, from, to));
            }
        }
    }
}

void tst_RoutingDifferential::routesLeaveAndEnterTheirAnchors()
{
    for (int seed = 1; seed <= LayoutCount; ++seed) {
        SeededRandom random(seed);
        const Layout layout = routingtest::randomLayout(random);
        for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
            for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
                const Route route = routeForSides(layout.fromRect, layout.toRect, from, to, layout.obstacles);
                if (route.isEmpty())
                    continue;
                const QString where = describe(layout, seed, from, to) + QStringLiteral(": ") + describe(route);
                QVERIFY2(route.size() >= 2, qPrintable(where));
                QVERIFY2(isRectilinearRoute(route), qPrintable(where));
                QVERIFY2(route.first() == anchorOnSide(layout.fromRect, from, layout.toRect.center()), qPrintable(where));
                QVERIFY2(route.last() == anchorOnSide(layout.toRect, to, layout.fromRect.center()), qPrintable(where));
                // Only a clean channel route may have four bends; candidates are held below.
                if (countBends(route) >= 4) {
                    const double s = stubLength(from, to, layout.fromRect, layout.toRect);
                    const QList<QRectF> ends{insetObstacleRect(layout.fromRect), insetObstacleRect(layout.toRect)};
                    const RouteContext context{from, to, route.first() + s * sideDirection(from),
                                               route.last() + s * sideDirection(to), layout.fromRect, layout.toRect,
                                               ends, layout.obstacles};
                    QVERIFY2(isCleanRoute(route, context), qPrintable(where));
                }
            }
        }
    }
}

void tst_RoutingDifferential::obstacleOrderChangesNothing()
{
    for (int seed = 1; seed <= LayoutCount; seed += 3) {
        SeededRandom random(seed);
        const Layout layout = routingtest::randomLayout(random);
        QList<QRectF> reversed = layout.obstacles;
        std::reverse(reversed.begin(), reversed.end());
        for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
            for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
                QCOMPARE(routeForSides(layout.fromRect, layout.toRect, from, to, reversed),
                         routeForSides(layout.fromRect, layout.toRect, from, to, layout.obstacles));
            }
        }
    }
}

void tst_RoutingDifferential::insetNeverGrows()
{
    SeededRandom random(99);
    for (int i = 0; i < 5000; ++i) {
        const QRectF r(random.uniform(-500, 500), random.uniform(-500, 500), random.uniform(-20, 300),
                       random.uniform(-20, 300));
        const QRectF inset = insetObstacleRect(r);
        QVERIFY(inset.width() <= r.width() && inset.height() <= r.height());
        if (r.width() > 0 && r.height() > 0)
            QVERIFY(inset == r || r.contains(inset));
    }
}

void tst_RoutingDifferential::hugeCoordinatesAndLongObstacleLists()
{
    // 10,000 boxes, most far away: the result is the one without them, the cut keeps few.
    SeededRandom random(7);
    const QRectF fromRect(1e9, 1e9, 140, 80);
    const QRectF toRect(1e9 + 300, 1e9 + 200, 160, 90);
    QList<QRectF> obstacles;
    for (int i = 0; i < 10000; ++i) {
        const double x = random.uniform(1e9 - 40000, 1e9 + 40000);
        const double y = random.uniform(1e9 - 40000, 1e9 + 40000);
        obstacles.append(insetObstacleRect(QRectF(x, y, random.uniform(40, 260), random.uniform(30, 200))));
    }
    obstacles.append(insetObstacleRect(QRectF(1e9 + 170, 1e9 + 60, 100, 120)));

    QElapsedTimer timer;
    timer.start();
    for (EntitySide from = LeftSide; from <= BottomSide; ++from) {
        for (EntitySide to = LeftSide; to <= BottomSide; ++to) {
            const Route full = routeForSides(fromRect, toRect, from, to, obstacles);
            const QList<QRectF> near = obstaclesNearPair(fromRect, toRect, obstacles);
            QVERIFY(near.size() < 20);
            QCOMPARE(routeForSides(fromRect, toRect, from, to, near), full);
            if (!full.isEmpty()) {
                QVERIFY(isRectilinearRoute(full));
                QCOMPARE(full.first(), anchorOnSide(fromRect, from, toRect.center()));
            }
        }
    }
    // Linear in the obstacles: a few milliseconds per call, not seconds.
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

void tst_RoutingDifferential::cutKeepsWhatCanMatter()
{
    const QRectF fromRect(0, 100, 140, 80);
    const QRectF toRect(300, 100, 140, 80);
    // Union (0, 100, 440, 80). A detour line moves for an obstacle up to 72 beyond it and 8
    // across; an obstacle of no width can still be crossed.
    const QList<QRectF> obstacles{
        QRectF(-8 - 50, 0, 50, 29),      // ends 8 left of the union, 71 above: moves the line above
        QRectF(200, 200, 0, 40),         // no width
        QRectF(520, 100, 10, 10),        // 80 to the right: touches the region
        QRectF(600, 100, 10, 10),        // far
        QRectF(200, -300, 10, 10),       // far
        QRectF(qQNaN(), 0, 10, 10),      // not finite: kept, nothing is decided about it
    };
    const QList<QRectF> near = obstaclesNearPair(fromRect, toRect, obstacles);
    QCOMPARE(near.size(), 4);
    QCOMPARE(near.at(0), obstacles.at(0));
    QCOMPARE(near.at(1), obstacles.at(1));
    QCOMPARE(near.at(2), obstacles.at(2));
    QVERIFY(qIsNaN(near.at(3).x()));
    QCOMPARE(detourAbove(fromRect | toRect, near), detourAbove(fromRect | toRect, obstacles));
    QVERIFY(detourAbove(fromRect | toRect, near) > 100 - 36);

    // A straight route has a bounding box of no width; the cut still finds what it crosses.
    const Route straight{{140, 140}, {300, 140}};
    const QList<QRectF> crossing{QRectF(200, 120, 20, 40), QRectF(200, 400, 20, 40)};
    QCOMPARE(obstaclesNearRoute(straight, crossing), QList<QRectF>{crossing.first()});
    QVERIFY(obstaclesNearRoute(Route{{0, 0}}, crossing).isEmpty());

    // Inputs that are not finite leave nothing out.
    QCOMPARE(obstaclesNearPair(QRectF(qInf(), 0, 1, 1), toRect, obstacles).size(), obstacles.size());
}

QTEST_GUILESS_MAIN(tst_RoutingDifferential)
#include "tst_routing_differential.moc"
