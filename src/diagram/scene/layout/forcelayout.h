#pragma once

#include "layoutnode.h"

#include <QPointF>

#include <cstdint>
#include <vector>

// Placement of one connected component around the origin: by spring forces that follow
// the graph distance, or, when a few boxes carry many relationships, by the hub layout.
namespace layout {

// Neighbour lists from the links: each link between two different valid nodes adds each
// end to the other's list; lists are sorted and free of repeats. Sets every node's degree.
NeighbourLists buildNeighbourLists(QList<LayoutNode> &nodes, const QList<LayoutLink> &links);

// The hubs the hub layout is used for (highest degree first); empty when forces should
// place the component. Needs the degrees set.
QList<int> findHubs(const QList<LayoutNode> &nodes);

// Shortest hop counts between all nodes of a component, 16 bits each. Up to 65,535 nodes
// the whole table is kept; above that a row is walked afresh when it is asked for.
class HopTable
{
public:
    static constexpr std::uint16_t NoPath = 0xFFFF;
    static constexpr int MaxTabulatedNodes = 65535;

    explicit HopTable(const NeighbourLists &neighbours);

    // Hop counts from node i to every node; -1 where no path leads.
    void row(int i, std::vector<int> &out) const;
    int hops(int i, int j) const;
    // The largest hop count found, at least 1.
    int maxHop() const { return m_maxHop; }
    bool isTabulated() const { return !m_table.empty(); }

private:
    void walk(int start, std::vector<int> &depth, std::vector<int> &queue) const;

    const NeighbourLists &m_neighbours;
    int m_count = 0;
    int m_maxHop = 1;
    std::vector<std::uint16_t> m_table;
};

double meanDiagonal(const QList<LayoutNode> &nodes);
// 0.28 of the mean diagonal plus 72, held within [70, 130].
double forceSpacing(double meanDiag);

// Breadth first from start over the (sorted) lists, then every node not reached, by index.
QList<int> startOrder(const NeighbourLists &neighbours, int start);

// The node of the largest degree, the lowest index among equals; -1 for no nodes.
int startNode(const QList<LayoutNode> &nodes);

// Puts the nodes on the start circle in start order; returns its radius.
double placeOnStartCircle(QList<LayoutNode> &nodes, const NeighbourLists &neighbours);

// Places a component: one node at the origin, hub-heavy components by the hub layout,
// all others by forces. Sets every node's centre and degree.
void layoutComponentForceDirected(QList<LayoutNode> &nodes, const QList<LayoutLink> &links);

// The force-directed placement alone (at least 2 nodes); needs the neighbour lists.
void placeByForces(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, const NeighbourLists &neighbours);

// Pushes overlapping boxes apart until a pass moves nothing or passes run out; each box
// keeps gapX and gapY from the others.
void resolveOverlaps(QList<LayoutNode> &nodes, int passes, double gapX, double gapY);

// One pass over the links: the lower-degree end joins the other's column or row when
// it is nearly there already.
void alignLinkedNodes(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, double strength);

} // namespace layout
