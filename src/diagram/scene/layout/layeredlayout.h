#pragma once

#include "layoutnode.h"

#include <vector>

// Placement of a component without hubs as columns of breadth-first layers: the order
// inside each column keeps crossings between neighbouring columns few, each box stands
// level with the boxes it is linked to where the column allows, and a long run of
// columns folds back and forth into bands so that the drawing keeps screen proportions.
namespace layout {

// Stacks a column's nodes from the top, RowGap apart and centred on 0: each node's centre
// goes to y[node].
void stackColumn(const QList<int> &column, const QList<LayoutNode> &nodes, std::vector<double> &y);

// Crossings between the links of neighbouring layers, each layer in its given order.
long long layerCrossings(const QList<QList<int>> &layers, const NeighbourLists &neighbours,
                         const std::vector<int> &layerOf);

// Reorders every layer but the first by sweeps down and up the layers, each node taking
// the mean position of its neighbours in the layer just placed; keeps the order with the
// fewest crossings found. layerOf gives each node's layer.
void orderLayers(QList<QList<int>> &layers, const NeighbourLists &neighbours, const std::vector<int> &layerOf);

// Places a connected component of at least two nodes; needs the neighbour lists.
void layoutComponentLayered(QList<LayoutNode> &nodes, const NeighbourLists &neighbours);

} // namespace layout
