#pragma once

#include "routegeometry.h"

#include <optional>

// Cutting a long obstacle list down to the rectangles that can change a result. Every
// route routeForSides builds (and every candidate of the two-entity route computation)
// stays near its two boxes, so obstacles farther away neither count as hits nor move a
// detour line; leaving them out gives exactly the same routes and costs.
namespace routing {

// Every point of a candidate lies within 36 of the two boxes or their anchors: stubs
// reach at most 26, detour lines at most 36 (42 beside a degenerate box, whose anchor may
// sit up to 16 past a side). Only an obstacle that meets a segment or holds a route point
// is a hit, and a detour line moves only for an obstacle less than 72 beyond the boxes'
// union and within 8 across it. 80 covers both with room to spare.
constexpr double PairObstacleMargin = 80;

// A route's own points bound every hit on it; the margin only keeps a straight route,
// whose bounding box has no width, from being treated as empty.
constexpr double RouteObstacleMargin = 2;

// The bounding box of both boxes and the given anchors, grown by PairObstacleMargin;
// unbounded when an input is not finite.
QRectF pairObstacleRegion(const QRectF &fromRect, const QRectF &toRect,
                          std::optional<QPointF> fromAnchor = std::nullopt,
                          std::optional<QPointF> toAnchor = std::nullopt);

// The bounding box of the route's points, grown by RouteObstacleMargin; null for a route
// of fewer than two points, which can hit nothing.
QRectF routeObstacleRegion(const Route &route);

// The obstacles whose closed extent meets region, in their given order. An obstacle with a
// coordinate that is not finite is always kept, and a region that is not finite keeps all.
QList<QRectF> obstaclesInRegion(const QRectF &region, const QList<QRectF> &obstacles);

// The obstacles that can matter to routeForSides (or the route computation) for this pair.
QList<QRectF> obstaclesNearPair(const QRectF &fromRect, const QRectF &toRect, const QList<QRectF> &obstacles,
                                std::optional<QPointF> fromAnchor = std::nullopt,
                                std::optional<QPointF> toAnchor = std::nullopt);

// The obstacles that can be hit by an existing route, for scoring it.
QList<QRectF> obstaclesNearRoute(const Route &route, const QList<QRectF> &obstacles);

} // namespace routing
