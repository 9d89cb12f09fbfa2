#pragma once

#include "layoutnode.h"

// The hub layout: hubs in one row, the other boxes cut into groups owned by one hub
// each, every group arranged in columns of layers and stacked to the left and right of
// its hub.
namespace layout {

struct LayoutGroupBlock
{
    QList<int> members;
    QList<LayoutNode> localNodes;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    int hub = -1;
    QList<int> attach; // local indices of the members next to the owning hub
};

// Places a component with the given hubs; neighbours are sorted and free of repeats, the
// degrees are set. Sets every node's centre.
void layoutComponentGrid(QList<LayoutNode> &nodes, const NeighbourLists &neighbours,
                         const QList<LayoutLink> &links, const QList<int> &hubs);

// The groups of the hub layout, in order: every part of the component left when the hubs
// are taken out is one group, or, when it touches hubs at two or more members, one group
// per such member, each other member joining the nearest (on equal hops the group with
// fewer members so far, then the earlier one).
QList<QList<int>> hubLayoutGroups(const NeighbourLists &neighbours, const QList<int> &hubs);

// Arranges a group as columns, one per hop distance from the attached members, the
// nearest column at x = 0 and the farther ones to its left.
void layoutGroupLayered(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, const QList<int> &attach);

// Slides boxes towards lower x (alongX) or y until each keeps 56 (x) or 42 (y) from the
// boxes before it that share its row or column; the first box stays.
void compactAxis(QList<LayoutNode> &nodes, bool alongX);

// Stacks the blocks 108 beside the hub, centred on its height, and writes their centres
// to the component's nodes. Blocks on the right are mirrored first.
void placeGroupsBesideHub(QList<LayoutNode> &nodes, int hub, QList<LayoutGroupBlock> &blocks, bool leftSide);

} // namespace layout
