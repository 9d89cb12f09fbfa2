#pragma once

#include "routegeometry.h"

// Spreading the connection points of one side of a box in the order of the boxes their
// edges lead to.
namespace layout {

// Minimum distance between two connection points on one side.
constexpr double SlotSpacing = 16;

struct SlotTarget
{
    QPointF otherSceneCentre; // centre of the box at the edge's other end, scene coordinates
    QPointF otherLocalCentre; // the same point in the box's own coordinates
};

// Positions, in the box's own coordinates and in input order, of the connection points
// on one side of rect (the box's drawn rectangle in its own coordinates). Points are
// ordered by their other ends along the side (equal ones by the other coordinate, then
// in input order), each aimed at its other end, kept 16 apart and a margin from the
// corners; when 16 apart does not fit they are spread evenly.
QList<QPointF> arrangeSideSlots(routing::EntitySide side, const QRectF &rect, const QList<SlotTarget> &targets);

} // namespace layout
