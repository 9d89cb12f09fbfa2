#pragma once

#include "orthogonalsearch.h"
#include "routegeometry.h"

#include <QList>

// Choosing the sides an edge attaches to on its two boxes once the boxes have been placed,
// and weighing a fresh route against the one an edge already has. Pure functions over
// the boxes' scene rectangles and the other boxes as obstacles (already inset).
namespace routing {

// anchorOnSide with corner margins of 0.18 of the side's extent held within [5, 14]:
// where the automatic layout puts a slot on a side.
QPointF slotAnchorOnSide(const QRectF &r, EntitySide side, const QPointF &target);

// The two boxes and the other boxes in the way. The list is referenced, not copied.
struct SidePairContext
{
    QRectF fromRect;
    QRectF toRect;
    const QList<QRectF> &obstacles;
};

// Cost of the route between the boxes for one side pair: a million per hit, then length,
// bends and straying from the two boxes, less a bonus for the suggested or a facing pair
// and 4,000 for each end that points away from the other box. False, with 1,000,000 hits
// and the largest double as cost, when the pair has no route. When route is given it
// receives the route that was weighed.
bool evaluateSidePair(const SidePairContext &context, EntitySide fromSide, EntitySide toSide, int &hits,
                      double &cost, Route *route = nullptr);

// All sixteen side pairs in the order they are tried: the preferred pair, then pairs that
// keep one of its sides, then the rest.
QList<SidePair> sidePairOrder(const SidePair &preferred);

struct SidePairChoice
{
    SidePair sides;
    int pairsEvaluated = 0; // 1 when the preferred pair was good enough on its own
};

// The side pair an edge between the two boxes should take: the suggested pair when its
// route is clear and has at most two bends, else the cheapest of all sixteen (earlier
// pairs win ties within 0.01), else the suggested pair when none has a route.
SidePairChoice chooseSidePair(const SidePairContext &context);

// What automatic routing decided for an edge that already has slots on two sides.
struct AutoRouteChoice
{
    enum Outcome {
        Keep,       // nothing better: route and slots stay
        ApplyRoute, // route is cheaper on the current sides
        MoveSlots   // sides is a better pair; the edge takes slots there and is routed again
    };
    Outcome outcome = Keep;
    SidePair sides;
    Route route;
    int routesComputed = 0;
};

// Cost of crossing one line of another route in the automatic route selection: a quarter
// of a bend, so a route takes another bend to keep clear of four or more lines.
constexpr double CrossedLineCost = 2000;

// How many lines of other routes than own the route crosses.
int countCrossedLines(const Route &route, const DrawnLines &drawn, int own);

// Weighs the current route (none: fewer than two points) against fresh routes for the
// current sides from the current anchors, the suggested pair and every other pair. Only
// routes that cross no obstacle and no end box in their interior are weighed. With drawn
// lines, every route weighed also pays CrossedLineCost per line of another route than own
// it crosses.
AutoRouteChoice chooseAutoRoute(const QRectF &fromRect, const QRectF &toRect, const SidePair &current,
                                const QPointF &fromAnchor, const QPointF &toAnchor, const Route &currentRoute,
                                const QList<QRectF> &obstacles, const DrawnLines *drawn = nullptr,
                                int own = -1);

} // namespace routing
