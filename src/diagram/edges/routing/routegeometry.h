#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// Vocabulary of the right-angle router: box sides, anchors, stubs, obstacle rectangles,
// measures of a route and the tests that decide whether a route leaves and enters its
// boxes properly and keeps clear of other boxes. Pure functions in scene coordinates
// (y grows downwards). Two points are on one axis, or at one place, within 0.5.
namespace routing {

// Side of an entity box: 0 left, 1 right, 2 top, 3 bottom. Other values are tolerated
// and handled as the functions below describe.
using EntitySide = int;
constexpr EntitySide LeftSide = 0;
constexpr EntitySide RightSide = 1;
constexpr EntitySide TopSide = 2;
constexpr EntitySide BottomSide = 3;

// A polyline from the from-end to the to-end; segment i joins point i and point i + 1.
using Route = QList<QPointF>;

// The side of the from-box first, then the side of the to-box.
struct SidePair
{
    EntitySide from = LeftSide;
    EntitySide to = LeftSide;

    friend bool operator==(const SidePair &a, const SidePair &b) { return a.from == b.from && a.to == b.to; }
    friend bool operator!=(const SidePair &a, const SidePair &b) { return !(a == b); }
};

// What isCleanRoute needs besides the route. The lists are referenced, not copied.
struct RouteContext
{
    EntitySide fromSide;
    EntitySide toSide;
    QPointF fromStub;
    QPointF toStub;
    QRectF fromRect;
    QRectF toRect;
    const QList<QRectF> &endRects;
    const QList<QRectF> &obstacles;
};

// Outward unit direction of a side; (1, 0) for a value that is no side.
QPointF sideDirection(EntitySide side);

// Another box as an obstacle: 2 inside each edge, unless that would leave 4 or less.
QRectF insetObstacleRect(const QRectF &r);

bool isRectilinearRoute(const Route &route);
int countBends(const Route &route);
double routeLength(const Route &route);

// How far a route runs straight out of its anchors; shorter between close facing boxes.
double stubLength(EntitySide fromSide, EntitySide toSide, const QRectF &fromRect, const QRectF &toRect);

// The point on a side of r nearest to target, kept away from the corners by 0.18 of the
// side's extent held within [minMargin, maxMargin]; the centre of r for a value that is no
// side.
QPointF anchorWithMargins(const QRectF &r, EntitySide side, const QPointF &target,
                          double minMargin, double maxMargin);
// anchorWithMargins with margins within [6, 16]: where the router anchors a route.
QPointF anchorOnSide(const QRectF &r, EntitySide side, const QPointF &target);

// The side pair the positions of two boxes suggest.
SidePair chooseSides(const QRectF &a, const QRectF &b);
bool sidesFace(EntitySide fromSide, EntitySide toSide, const QRectF &fromRect, const QRectF &toRect);

// a when it is strictly nearer to p than b, else b.
QPointF nearerPoint(const QPointF &p, const QPointF &a, const QPointF &b);

// Whether segment p-q crosses or touches an edge of r (bounded line intersection).
bool segmentHitsRect(const QPointF &p, const QPointF &q, const QRectF &r);

// Number of (segment, obstacle) pairs where the segment meets the obstacle shrunk by 1.
int countObstacleHits(const Route &route, const QList<QRectF> &obstacles);
// The same count without the first and the last segment; for the end boxes.
int countInnerObstacleHits(const Route &route, const QList<QRectF> &rects);

bool respectsEndSides(const Route &route, EntitySide fromSide, EntitySide toSide,
                      const QPointF &fromStub, const QPointF &toStub);
// True when the route, soon after its from-stub, runs back behind it beside the box.
bool turnsBackAtStart(EntitySide fromSide, const QPointF &fromStub, const Route &route, const QRectF &fromRect);
// True when the route, just before its to-stub, comes from behind it beside the box.
bool turnsBackAtEnd(EntitySide toSide, const QPointF &toStub, const Route &route, const QRectF &toRect);

bool isCleanRoute(const Route &route, const RouteContext &context);

// Sum of the distances from each point outside region to region.
double distanceOutsideRegion(const Route &route, const QRectF &region);

} // namespace routing
