#include "edgeroute.h"

#include "obstaclefilter.h"
#include "orthogonalsearch.h"
#include "routecandidates.h"
#include "routescoring.h"

#include <QLineF>

#include <cmath>
#include <limits>

using routing::Route;

namespace edgeroute {

namespace {

constexpr double AxisTolerance = 0.5;
constexpr double TieMargin = 0.01;
constexpr double FitStub = 12;
// How far around the two boxes the search for a way around other boxes looks, widening
// step by step. It never looks among all boxes: in a diagram of thousands that search
// costs as much as the rest of the routing, for a way that a few hundred pixels more
// would rarely give.
constexpr double SearchReaches[] = {160, 640, 2560};

double distance(const QPointF &a, const QPointF &b)
{
    return QLineF(a, b).length();
}

// Keeps the cheapest of the routes offered to it, with the end tests of the computation.
class Selection
{
public:
    Selection(const EdgeEnds &ends, const QList<QRectF> &obstacles, RouteTrace *trace)
        : m_ends(ends)
        , m_obstacles(obstacles)
        , m_endRects{ routing::insetObstacleRect(ends.fromRect), routing::insetObstacleRect(ends.toRect) }
        , m_stub(stubLength(ends))
        , m_fromStub(fromStub(ends))
        , m_toStub(toStub(ends))
        , m_trace(trace)
    {
    }

    double stub() const { return m_stub; }
    QPointF stubFrom() const { return m_fromStub; }
    QPointF stubTo() const { return m_toStub; }
    const QList<QRectF> &endRects() const { return m_endRects; }
    const Route &best() const { return m_best; }

    // Offers a candidate; returns true when it is clean and short enough to stop looking.
    bool offer(const Route &candidate, bool fitEnds, bool mayEndEarly)
    {
        Route route = routing::removeCollinearPoints(candidate);
        if (route.size() < 2 || !routing::isRectilinearRoute(route))
            return false;
        if (fitEnds) {
            if (distance(route.first(), m_ends.fromAnchor) > AxisTolerance)
                route.first() = m_ends.fromAnchor;
            if (distance(route.last(), m_ends.toAnchor) > AxisTolerance)
                route.last() = m_ends.toAnchor;
            if (!routing::isRectilinearRoute(route))
                return false;
        }
        if (!routing::respectsEndSides(route, m_ends.fromSide, m_ends.toSide, m_fromStub, m_toStub)
            || routing::turnsBackAtStart(m_ends.fromSide, m_fromStub, route, m_ends.fromRect)
            || routing::turnsBackAtEnd(m_ends.toSide, m_toStub, route, m_ends.toRect))
            return false;

        const routing::ComputedRouteContext context{ m_obstacles,       m_endRects,
                                                     m_ends.fromSide,   m_ends.toSide,
                                                     m_ends.fromAnchor, m_ends.toAnchor,
                                                     m_ends.fromRect,   m_ends.toRect };
        const double cost = routing::scoreComputedRoute(route, context);
        if (m_trace)
            ++m_trace->candidatesScored;
        if (!(cost + TieMargin < m_bestCost))
            return false;
        m_best = route;
        m_bestCost = cost;
        return mayEndEarly && isGoodEnough(route);
    }

private:
    bool isGoodEnough(const Route &route) const
    {
        int hits = routing::countObstacleHits(route, m_obstacles);
        if (route.size() >= 4)
            hits += routing::countInnerObstacleHits(route, m_endRects);
        return hits == 0 && routing::countBends(route) <= 1
            && routing::routeLength(route)
            <= 2 * m_stub + distance(m_ends.fromAnchor, m_ends.toAnchor) + 8;
    }

    const EdgeEnds &m_ends;
    const QList<QRectF> &m_obstacles;
    const QList<QRectF> m_endRects;
    const double m_stub;
    const QPointF m_fromStub;
    const QPointF m_toStub;
    RouteTrace *m_trace;
    Route m_best;
    double m_bestCost = std::numeric_limits<double>::max();
};

bool straightLineFaces(const EdgeEnds &e)
{
    const QPointF &a = e.fromAnchor;
    const QPointF &b = e.toAnchor;
    const bool level = std::abs(a.y() - b.y()) <= AxisTolerance;
    const bool plumb = std::abs(a.x() - b.x()) <= AxisTolerance;
    using namespace routing;
    return (e.fromSide == RightSide && e.toSide == LeftSide && b.x() >= a.x() && level)
        || (e.fromSide == LeftSide && e.toSide == RightSide && a.x() >= b.x() && level)
        || (e.fromSide == BottomSide && e.toSide == TopSide && b.y() >= a.y() && plumb)
        || (e.fromSide == TopSide && e.toSide == BottomSide && a.y() >= b.y() && plumb);
}

bool isHorizontalSide(routing::EntitySide side)
{
    return side == routing::LeftSide || side == routing::RightSide;
}

bool isVerticalSide(routing::EntitySide side)
{
    return side == routing::TopSide || side == routing::BottomSide;
}

// Whether p lies behind the slot at c, on the inner side of its box's outline.
bool liesBehind(routing::EntitySide side, const QPointF &p, const QPointF &c)
{
    switch (side) {
    case routing::LeftSide:
        return p.x() > c.x() + AxisTolerance;
    case routing::RightSide:
        return p.x() < c.x() - AxisTolerance;
    case routing::TopSide:
        return p.y() > c.y() + AxisTolerance;
    case routing::BottomSide:
        return p.y() < c.y() - AxisTolerance;
    default:
        return false;
    }
}

// Moves neighbour so that the segment from anchor to it is axis-aligned the way the stored
// segment (storedAnchor to storedNeighbour) leaned, and out of its box when needed.
QPointF alignedNeighbour(const QPointF &anchor, routing::EntitySide side, const QPointF &storedAnchor,
                         const QPointF &storedNeighbour)
{
    QPointF n = storedNeighbour;
    const double dx = std::abs(storedNeighbour.x() - storedAnchor.x());
    const double dy = std::abs(storedNeighbour.y() - storedAnchor.y());
    if (dy <= dx)
        n.setY(anchor.y());
    else
        n.setX(anchor.x());
    if (liesBehind(side, n, anchor))
        n = anchor + FitStub * routing::sideDirection(side);
    return n;
}

} // namespace

double stubLength(const EdgeEnds &ends)
{
    return routing::stubLength(ends.fromSide, ends.toSide, ends.fromRect, ends.toRect);
}

QPointF fromStub(const EdgeEnds &ends)
{
    return ends.fromAnchor + stubLength(ends) * routing::sideDirection(ends.fromSide);
}

QPointF toStub(const EdgeEnds &ends)
{
    return ends.toAnchor + stubLength(ends) * routing::sideDirection(ends.toSide);
}

Route entityRoute(const EdgeEnds &ends, const QList<QRectF> &obstacles, RouteTrace *trace)
{
    Selection selection(ends, obstacles, trace);
    const QPointF &fa = ends.fromAnchor;
    const QPointF &ta = ends.toAnchor;
    const QPointF fs = selection.stubFrom();
    const QPointF ts = selection.stubTo();

    // Candidates are made one at a time: once one is good enough the rest are never needed.
    const auto offer = [&](const Route &candidate) { return selection.offer(candidate, true, true); };
    if (straightLineFaces(ends) && offer({ fa, ta }))
        return selection.best();
    if (offer(routing::generateChannelRoutes(fa, ta, fs, ts, ends.fromSide, ends.toSide, ends.fromRect,
                                             ends.toRect, selection.endRects(), obstacles)))
        return selection.best();
    if (offer(routing::routeForSides(ends.fromRect, ends.toRect, ends.fromSide, ends.toSide, obstacles, fa, ta)))
        return selection.best();
    if (offer(routing::assembleRoute(fa, fs, { QPointF(ts.x(), fs.y()) }, ts, ta)))
        return selection.best();
    offer(routing::assembleRoute(fa, fs, { QPointF(fs.x(), ts.y()) }, ts, ta));
    if (selection.best().size() >= 2)
        return selection.best();

    if (trace)
        trace->fellBack = true;
    const double m = std::max(16.0, selection.stub());
    const double topLine = std::min(ends.fromRect.y(), ends.toRect.y()) - m;
    const double bottomLine = std::max(ends.fromRect.bottom(), ends.toRect.bottom()) + m;
    const double leftLine = std::min(ends.fromRect.x(), ends.toRect.x()) - m;
    const double rightLine = std::max(ends.fromRect.right(), ends.toRect.right()) + m;

    bool rightFirst = false;
    if (ends.fromSide == ends.toSide) {
        const QPointF centre = (ends.fromRect | ends.toRect).center();
        if (isVerticalSide(ends.fromSide))
            rightFirst = (fa.x() + ta.x()) / 2 >= centre.x();
        else if (isHorizontalSide(ends.fromSide))
            rightFirst = (fa.y() + ta.y()) / 2 >= centre.y();
    }

    const QList<QPointF> overTop{ QPointF(fs.x(), topLine), QPointF(ts.x(), topLine) };
    const QList<QPointF> right{ QPointF(rightLine, fs.y()), QPointF(rightLine, ts.y()) };
    const QList<QPointF> left{ QPointF(leftLine, fs.y()), QPointF(leftLine, ts.y()) };
    const QList<QList<QPointF>> detours{
        { QPointF(ts.x(), fs.y()) },
        { QPointF(fs.x(), ts.y()) },
        overTop,
        { QPointF(fs.x(), bottomLine), QPointF(ts.x(), bottomLine) },
        rightFirst ? right : left,
        rightFirst ? left : right,
    };
    for (const QList<QPointF> &middle : detours)
        selection.offer(routing::assembleRoute(fa, fs, middle, ts, ta), false, false);
    if (selection.best().size() >= 2)
        return selection.best();

    if (trace)
        trace->forcedOverTop = true;
    return routing::removeCollinearPoints(routing::assembleRoute(fa, fs, overTop, ts, ta));
}

bool runsThroughBoxes(const Route &route, const EdgeEnds &ends, const QList<QRectF> &obstacles)
{
    if (routing::countObstacleHits(route, obstacles) > 0)
        return true;
    const QList<QRectF> endRects{routing::insetObstacleRect(ends.fromRect), routing::insetObstacleRect(ends.toRect)};
    return routing::countInnerObstacleHits(route, endRects) > 0;
}

Route routeAroundBoxes(const EdgeEnds &ends, const ObstacleQuery &obstaclesIn, const routing::DrawnLines *drawn,
                       int own)
{
    const routing::SearchEnds search{ends.fromAnchor, fromStub(ends), ends.fromSide,
                                     ends.toAnchor,   toStub(ends),   ends.toSide};
    const routing::SearchCosts costs;
    const QList<QRectF> endRects{routing::insetObstacleRect(ends.fromRect), routing::insetObstacleRect(ends.toRect)};
    // Only the boxes inside the area count, however many the query gives: the route then
    // depends on the area alone.
    const auto attempt = [&](const QRectF &area, const QList<QRectF> &others) -> Route {
        const QList<QRectF> inArea = routing::obstaclesInRegion(area, others);
        const Route route = routing::searchOrthogonalRoute(search, inArea + endRects, area, costs, drawn, own);
        const bool sound = route.size() >= 2 && routing::isRectilinearRoute(route)
            && routing::respectsEndSides(route, ends.fromSide, ends.toSide, search.fromStub, search.toStub)
            && routing::countObstacleHits(route, inArea) == 0 && routing::countInnerObstacleHits(route, endRects) == 0;
        return sound ? route : Route();
    };

    QRectF near = ends.fromRect | ends.toRect;
    near |= QRectF(search.fromStub, search.toStub).normalized();
    for (double reach : SearchReaches) {
        const QRectF area = near.adjusted(-reach, -reach, reach, reach);
        const Route route = attempt(area, obstaclesIn(area));
        if (!route.isEmpty())
            return route;
    }
    return {};
}

Route oneCornerRoute(const EdgeEnds &ends)
{
    const QPointF fs = fromStub(ends);
    const QPointF ts = toStub(ends);
    return routing::removeCollinearPoints(
        routing::assembleRoute(ends.fromAnchor, fs, { QPointF(ts.x(), fs.y()) }, ts, ends.toAnchor));
}

Route selfRelationshipRoute(const QRectF &box, const QPointF &fc, const QPointF &tc,
                            routing::EntitySide fromSide, routing::EntitySide toSide, int loopIndex)
{
    const int k = std::max(0, loopIndex);
    const double d1 = 20 + 12 * k; // loops between opposite sides
    const double d2 = 30 + 15 * k; // loops on one side and around one corner
    const auto lines = [&box](double d) {
        return QRectF(QPointF(box.x() - d, box.y() - d), QPointF(box.right() + d, box.bottom() + d));
    };

    using namespace routing;
    if (fromSide == toSide) {
        const QRectF o = lines(d2);
        switch (fromSide) {
        case LeftSide:
            return { fc, QPointF(o.left(), fc.y()), QPointF(o.left(), tc.y()), tc };
        case RightSide:
            return { fc, QPointF(o.right(), fc.y()), QPointF(o.right(), tc.y()), tc };
        case TopSide:
            return { fc, QPointF(fc.x(), o.top()), QPointF(tc.x(), o.top()), tc };
        case BottomSide:
            return { fc, QPointF(fc.x(), o.bottom()), QPointF(tc.x(), o.bottom()), tc };
        default:
            return {};
        }
    }

    const auto pairIs = [&](EntitySide a, EntitySide b) { return fromSide == a && toSide == b; };
    if (pairIs(LeftSide, RightSide) || pairIs(RightSide, LeftSide)) {
        const QRectF o = lines(d1);
        return { fc, QPointF(o.left(), fc.y()), o.topLeft(), o.topRight(), QPointF(o.right(), tc.y()), tc };
    }
    if (pairIs(TopSide, BottomSide) || pairIs(BottomSide, TopSide)) {
        const QRectF o = lines(d1);
        return { fc, QPointF(fc.x(), o.top()), o.topLeft(), o.bottomLeft(), QPointF(tc.x(), o.bottom()), tc };
    }

    const QRectF o = lines(d2);
    if (pairIs(TopSide, RightSide))
        return { fc, QPointF(fc.x(), o.top()), o.topRight(), QPointF(o.right(), tc.y()), tc };
    if (pairIs(RightSide, TopSide))
        return { fc, QPointF(o.right(), fc.y()), o.topRight(), QPointF(tc.x(), o.top()), tc };
    if (pairIs(TopSide, LeftSide))
        return { fc, QPointF(fc.x(), o.top()), o.topLeft(), QPointF(o.left(), tc.y()), tc };
    if (pairIs(LeftSide, TopSide))
        return { fc, QPointF(o.left(), fc.y()), o.topLeft(), QPointF(tc.x(), o.top()), tc };
    if (pairIs(BottomSide, RightSide))
        return { fc, QPointF(fc.x(), o.bottom()), o.bottomRight(), QPointF(o.right(), tc.y()), tc };
    if (pairIs(RightSide, BottomSide))
        return { fc, QPointF(o.right(), fc.y()), o.bottomRight(), QPointF(tc.x(), o.bottom()), tc };
    if (pairIs(BottomSide, LeftSide))
        return { fc, QPointF(fc.x(), o.bottom()), o.bottomLeft(), QPointF(o.left(), tc.y()), tc };
    if (pairIs(LeftSide, BottomSide))
        return { fc, QPointF(o.left(), fc.y()), o.bottomLeft(), QPointF(tc.x(), o.bottom()), tc };
    return {};
}

Route fitStoredRoute(const Route &stored, const QPointF &fc, const QPointF &tc, routing::EntitySide fromSide,
                     routing::EntitySide toSide)
{
    if (stored.size() < 2)
        return stored;
    Route r = routing::removeCollinearPoints(stored);
    const qsizetype n = r.size();
    if (n <= 1)
        return r;
    if (n == 2)
        return { fc, tc };
    if (n == 3) {
        const QPointF a = r.at(0);
        const QPointF b = r.at(1);
        const bool firstMoreVertical = std::abs(a.y() - b.y()) > std::abs(a.x() - b.x());
        r[0] = fc;
        r[1] = firstMoreVertical ? QPointF(fc.x(), tc.y()) : QPointF(tc.x(), fc.y());
        r[2] = tc;
        return routing::removeCollinearPoints(r);
    }
    const QPointF storedFirst = r.at(0);
    const QPointF storedLast = r.at(n - 1);
    r[0] = fc;
    r[1] = alignedNeighbour(fc, fromSide, storedFirst, r.at(1));
    r[n - 1] = tc;
    r[n - 2] = alignedNeighbour(tc, toSide, storedLast, r.at(n - 2));
    return routing::removeCollinearPoints(r);
}

} // namespace edgeroute
