#include "routescoring.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

namespace routing {

namespace {

constexpr double NoRouteCost = 2e12;
constexpr double CrossingCost = 1e12;
constexpr double HitCost = 1e6;
constexpr double TooManyBendsCost = 1e15;
constexpr double TurnsBackCost = 1e14;
constexpr double BendCost = 8000;
constexpr double AwaySideCost = 4000;

double distance(const QPointF &a, const QPointF &b)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return std::sqrt(dx * dx + dy * dy);
}

double sign(double v)
{
    if (std::abs(v) <= 1e-12)
        return 0;
    return v > 0 ? 1 : -1;
}

QPointF signs(const QPointF &d)
{
    return QPointF(sign(d.x()), sign(d.y()));
}

} // namespace

int hitsWithEnds(const Route &route, const QList<QRectF> &obstacles, const QList<QRectF> &endRects)
{
    int hits = countObstacleHits(route, obstacles);
    if (route.size() >= 4)
        hits += countInnerObstacleHits(route, endRects);
    return hits;
}

bool pointsAway(EntitySide side, double dx, double dy)
{
    switch (side) {
    case TopSide:
        return dy > 8;
    case BottomSide:
        return dy < -8;
    case LeftSide:
        return dx > 8;
    case RightSide:
        return dx < -8;
    default:
        return false;
    }
}

Route removeCollinearPoints(const Route &route)
{
    if (route.size() < 3)
        return route;
    Route result;
    result.reserve(route.size());
    result.append(route.first());
    for (qsizetype i = 1; i + 1 < route.size(); ++i) {
        const QPointF &kept = result.last();
        const QPointF &c = route.at(i);
        const QPointF &next = route.at(i + 1);
        const bool sameX = qFuzzyCompare(kept.x(), c.x()) && qFuzzyCompare(c.x(), next.x());
        const bool sameY = qFuzzyCompare(kept.y(), c.y()) && qFuzzyCompare(c.y(), next.y());
        if (!sameX && !sameY)
            result.append(c);
    }
    result.append(route.last());
    return result;
}

double sameSideDetourPenalty(const Route &route, EntitySide side, const QPointF &pointA,
                             const QPointF &pointB, const QRectF &rectA, const QRectF &rectB)
{
    const QRectF u = rectA | rectB;
    const bool verticallySeparated = rectB.y() - 4 >= rectA.bottom() || rectA.y() - 4 >= rectB.bottom();
    const bool horizontallySeparated = rectB.x() - 4 >= rectA.right() || rectA.x() - 4 >= rectB.right();

    bool onX;
    if (side == TopSide || side == BottomSide) {
        if (horizontallySeparated && !verticallySeparated)
            return 0;
        onX = true;
    } else if (side == LeftSide || side == RightSide) {
        if (verticallySeparated && !horizontallySeparated)
            return 0;
        onX = false;
    } else {
        return 0;
    }

    double lowest = std::numeric_limits<double>::infinity();
    double highest = -std::numeric_limits<double>::infinity();
    for (const QPointF &p : route) {
        const double v = onX ? p.x() : p.y();
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    const double before = (onX ? u.left() : u.top()) - lowest;
    const double after = highest - (onX ? u.right() : u.bottom());
    const bool aroundHigh = after > before + 2;
    const bool aroundLow = before > after + 2;
    if (!aroundHigh && !aroundLow)
        return 0;

    const double mean = onX ? (pointA.x() + pointB.x()) / 2 : (pointA.y() + pointB.y()) / 2;
    const bool expectHigh = mean >= (onX ? u.center().x() : u.center().y());
    return aroundHigh != expectHigh ? 1600 : 0;
}

double scoreComputedRoute(const Route &route, const ComputedRouteContext &context)
{
    if (route.size() < 2)
        return NoRouteCost;
    const int hits = hitsWithEnds(route, context.obstacles, context.endRects);
    const int bends = countBends(route);
    if (bends >= 4)
        return TooManyBendsCost;
    if (hits >= 1)
        return CrossingCost + HitCost * hits + routeLength(route);
    double cost = BendCost * bends + routeLength(route);
    if (context.fromSide == context.toSide) {
        cost += sameSideDetourPenalty(route, context.fromSide, context.fromAnchor, context.toAnchor,
                                      context.fromRect, context.toRect);
    }
    return cost;
}

double scoreAutoRoute(const AutoRouteContext &context, const Route &route, EntitySide fromSide,
                      EntitySide toSide)
{
    // Callers only score routes of two or more points; anything shorter is no route.
    if (route.size() < 2)
        return TooManyBendsCost;
    const int hits = hitsWithEnds(route, context.obstacles, context.endRects);
    const int bends = countBends(route);
    if (bends > 3)
        return TooManyBendsCost;

    const double s = stubLength(fromSide, toSide, context.fromRect, context.toRect);
    const QPointF startProbe = route.first() + s * sideDirection(fromSide);
    const QPointF endProbe = route.last() + s * sideDirection(toSide);
    if (turnsBackAtStart(fromSide, startProbe, route, context.fromRect)
        || turnsBackAtEnd(toSide, endProbe, route, context.toRect))
        return TurnsBackCost;

    if (hits > 0)
        return CrossingCost + HitCost * hits + routeLength(route);

    double cost = routeLength(route) + BendCost * bends;
    if (fromSide == toSide)
        cost += sameSideDetourPenalty(route, fromSide, route.first(), route.last(), context.fromRect, context.toRect);
    if (sidesFace(fromSide, toSide, context.fromRect, context.toRect))
        cost -= 14;
    if (chooseSides(context.fromRect, context.toRect) == SidePair{fromSide, toSide})
        cost -= 48;
    const QPointF fromCentre = context.fromRect.center();
    const QPointF toCentre = context.toRect.center();
    if (pointsAway(fromSide, toCentre.x() - fromCentre.x(), toCentre.y() - fromCentre.y()))
        cost += AwaySideCost;
    if (pointsAway(toSide, fromCentre.x() - toCentre.x(), fromCentre.y() - toCentre.y()))
        cost += AwaySideCost;
    return cost;
}

QPainterPath buildRoundedPath(const Route &route, double radius)
{
    QPainterPath path;
    if (route.size() < 2)
        return path;
    path.moveTo(route.first());
    for (qsizetype i = 1; i + 1 < route.size(); ++i) {
        const QPointF &a = route.at(i - 1);
        const QPointF &c = route.at(i);
        const QPointF &b = route.at(i + 1);
        const double r = std::min(radius, 0.5 * std::min(distance(c, a), distance(b, c)));
        if (r <= 0.1) {
            path.lineTo(c);
            continue;
        }
        path.lineTo(c - r * signs(c - a));
        path.quadTo(c, c + r * signs(b - c));
    }
    path.lineTo(route.last());
    return path;
}

} // namespace routing
