#pragma once

#include "routegeometry.h"

// A right-angle path around boxes, found on an orthogonal visibility graph of the boxes'
// corners (after Wybrow, Marriott and Stuckey, "Orthogonal connector routing"): from each
// corner of every box grown by a margin, and from the two stubs, lines run across and up
// and down until a box stops them; where they cross are the graph's nodes. The cheapest
// path by length plus a cost per bend joins the two stubs.
namespace routing {

struct SearchEnds
{
    QPointF fromAnchor;
    QPointF fromStub;
    EntitySide fromSide = LeftSide;
    QPointF toAnchor;
    QPointF toStub;
    EntitySide toSide = LeftSide;
};

struct SearchCosts
{
    double margin = 12;   // how far beside a box the graph's lines run
    double bendCost = 60; // in units of length
};

// The route anchor, stub, ..., stub, anchor whose middle keeps out of every obstacle (the
// router's inset rectangles, the two end boxes among them) and out of area's outside;
// empty when the obstacles wall one stub off from the other within area, or a stub lies in
// an obstacle. Collinear points are removed.
Route searchOrthogonalRoute(const SearchEnds &ends, const QList<QRectF> &obstacles, const QRectF &area,
                            const SearchCosts &costs = {});

} // namespace routing
