#pragma once

#include "layoutnode.h"

// The last step of every placement: no two boxes overlap afterwards, whatever the pushes
// before left. One pass per axis after the scan-line method of Dwyer, Marriott and Stuckey
// ("Fast node overlap removal"): separation constraints between neighbouring boxes, then
// the positions nearest to the old ones that meet them.
namespace layout {

// Moves the nodes as little as the method can so that every two boxes are at least gapX
// apart horizontally or gapY apart vertically, keeping the left/right order of boxes
// separated across and the above/below order of boxes separated up and down. Boxes on
// one point are told apart by their index. Near n log n for boxes that overlap a few
// others each.
void removeOverlaps(QList<LayoutNode> &nodes, double gapX, double gapY);

} // namespace layout
