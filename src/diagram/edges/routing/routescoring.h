#pragma once

#include "routegeometry.h"

#include <QPainterPath>

// Costs that compare routes (lower is better; every hard fault outweighs every soft
// preference), the clean-up of redundant route points and the rounded drawing of a route.
namespace routing {

// What scoreComputedRoute needs besides the route. The lists are referenced, not copied.
struct ComputedRouteContext
{
    const QList<QRectF> &obstacles;
    const QList<QRectF> &endRects;
    EntitySide fromSide;
    EntitySide toSide;
    QPointF fromAnchor;
    QPointF toAnchor;
    QRectF fromRect;
    QRectF toRect;
};

// What scoreAutoRoute needs besides the route and its sides.
struct AutoRouteContext
{
    const QList<QRectF> &obstacles;
    const QList<QRectF> &endRects;
    QRectF fromRect;
    QRectF toRect;
};

// Obstacle hits of a route, plus, for routes of four or more points, the times it passes
// through one of its own end boxes.
int hitsWithEnds(const Route &route, const QList<QRectF> &obstacles, const QList<QRectF> &endRects);

// Whether a side of one box points away from the other box, whose centre lies (dx, dy)
// from its own (more than 8 beyond the side's axis).
bool pointsAway(EntitySide side, double dx, double dy);

// Drops every interior point that lies on one line with the last kept point and the next
// point. Coordinates compare with qFuzzyCompare, so 0 equals only an exact 0.
Route removeCollinearPoints(const Route &route);

// 1600 when a route joining two anchors on the same side goes around the far end of
// the two boxes instead of the end the anchors lie towards; else 0.
double sameSideDetourPenalty(const Route &route, EntitySide side, const QPointF &pointA,
                             const QPointF &pointB, const QRectF &rectA, const QRectF &rectB);

// Cost with which the two-entity route computation compares its candidates.
double scoreComputedRoute(const Route &route, const ComputedRouteContext &context);

// Cost with which the automatic route selection compares routes over all side pairs.
double scoreAutoRoute(const AutoRouteContext &context, const Route &route, EntitySide fromSide,
                      EntitySide toSide);

// The route as a path whose corners are quarter curves of up to radius, never taking more
// than half of either adjacent segment.
QPainterPath buildRoundedPath(const Route &route, double radius);

} // namespace routing
