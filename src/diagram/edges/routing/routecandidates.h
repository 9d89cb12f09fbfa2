#pragma once

#include "routegeometry.h"

#include <optional>

// Candidate routes between two boxes for one side pair: first a clean channel through the
// space between two facing sides, else the cheapest of a fixed list of shapes (L, Z, gap
// channels, detours around one box or both). Deterministic; the obstacle order never
// changes a result.
namespace routing {

// Appends point unless it lies within 0.01 of the route's last point.
void appendIfMoved(Route &route, const QPointF &point);

// fromAnchor, fromStub, the middle points, toStub, toAnchor without repeated points and
// without collinear points.
Route assembleRoute(const QPointF &fromAnchor, const QPointF &fromStub, const QList<QPointF> &middle,
                    const QPointF &toStub, const QPointF &toAnchor);

// Coordinate of a line to run a detour along, beyond one edge of region: 36 out, or
// nearer (never below 12) when an obstacle out there leaves a narrower gap to split.
double detourAbove(const QRectF &region, const QList<QRectF> &obstacles);
double detourBelow(const QRectF &region, const QList<QRectF> &obstacles);
double detourLeft(const QRectF &region, const QList<QRectF> &obstacles);
double detourRight(const QRectF &region, const QList<QRectF> &obstacles);

// The first clean route through the space between two facing sides whose boxes are in
// order; empty when there is none or the pair does not face.
Route generateChannelRoutes(const QPointF &fromAnchor, const QPointF &toAnchor, const QPointF &fromStub,
                            const QPointF &toStub, EntitySide fromSide, EntitySide toSide,
                            const QRectF &fromRect, const QRectF &toRect, const QList<QRectF> &endRects,
                            const QList<QRectF> &obstacles);

// One right-angle route from fromSide of fromRect to toSide of toRect around obstacles
// (other boxes, already inset). The anchors default to the points of the two sides
// nearest to the other box. Empty when no candidate leaves and enters its sides properly
// or an input is not finite.
Route routeForSides(const QRectF &fromRect, const QRectF &toRect, EntitySide fromSide, EntitySide toSide,
                    const QList<QRectF> &obstacles, std::optional<QPointF> fromAnchor = std::nullopt,
                    std::optional<QPointF> toAnchor = std::nullopt);

} // namespace routing
