#pragma once

#include "layoutnode.h"

#include <QPointF>

// The node stages of the automatic layout: connected components, each laid out on its
// own, packed into rows and centred on the diagram's old centre.
namespace layout {

// Components in the order of their lowest node index; members in breadth-first order
// over the neighbours in link order (repeats kept).
QList<LayoutComponent> findComponents(int nodeCount, const QList<LayoutLink> &links);

// Lays every component out in its own frame (centres of its members set, box of the
// component filled in).
void layoutComponents(QList<LayoutNode> &nodes, const QList<LayoutLink> &links,
                      QList<LayoutComponent> &components);

// Tallest first, equal heights in component order; then rows of components 150 apart,
// a row full when the next component would pass max(widest, 1.2 sqrt(total area)).
// Sets every component's offset and moves its members by it.
void packComponents(QList<LayoutNode> &nodes, QList<LayoutComponent> &components);

// Moves every node so that the union of their boxes is centred on home.
void centreNodesOn(QList<LayoutNode> &nodes, const QPointF &home);

// All node stages in order: components, their layouts, packing, centring.
QList<LayoutComponent> layoutNodes(QList<LayoutNode> &nodes, const QList<LayoutLink> &links,
                                   const QPointF &home);

} // namespace layout
