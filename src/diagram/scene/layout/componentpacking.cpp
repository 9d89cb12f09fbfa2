#include "componentpacking.h"

#include "forcelayout.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace layout {

namespace {

constexpr double ComponentGap = 150;

} // namespace

QList<LayoutComponent> findComponents(int nodeCount, const QList<LayoutLink> &links)
{
    NeighbourLists neighbours(std::max(nodeCount, 0));
    for (const LayoutLink &link : links) {
        if (link.first < 0 || link.second < 0 || link.first >= nodeCount || link.second >= nodeCount)
            continue;
        neighbours[link.first].append(link.second);
        neighbours[link.second].append(link.first);
    }

    QList<LayoutComponent> components;
    std::vector<bool> labelled(std::max(nodeCount, 0), false);
    for (int i = 0; i < nodeCount; ++i) {
        if (labelled[i])
            continue;
        LayoutComponent component;
        component.members.append(i);
        labelled[i] = true;
        for (qsizetype head = 0; head < component.members.size(); ++head) {
            for (int next : neighbours[component.members[head]]) {
                if (!labelled[next]) {
                    labelled[next] = true;
                    component.members.append(next);
                }
            }
        }
        components.append(std::move(component));
    }
    return components;
}

void layoutComponents(QList<LayoutNode> &nodes, const QList<LayoutLink> &links,
                      QList<LayoutComponent> &components)
{
    const int n = int(nodes.size());
    std::vector<int> componentOf(n, -1);
    std::vector<int> localIndex(n, -1);
    for (qsizetype c = 0; c < components.size(); ++c) {
        const QList<int> &members = components[c].members;
        for (qsizetype k = 0; k < members.size(); ++k) {
            componentOf[members[k]] = int(c);
            localIndex[members[k]] = int(k);
        }
    }
    // Every component's links in link order, in one pass over the links.
    QList<QList<LayoutLink>> localLinks(components.size());
    for (const LayoutLink &link : links) {
        if (link.first < 0 || link.second < 0 || link.first >= n || link.second >= n)
            continue;
        const int c = componentOf[link.first];
        if (c >= 0 && c == componentOf[link.second])
            localLinks[c].append({localIndex[link.first], localIndex[link.second]});
    }

    for (qsizetype c = 0; c < components.size(); ++c) {
        LayoutComponent &component = components[c];
        QList<LayoutNode> local;
        local.reserve(component.members.size());
        for (int member : component.members)
            local.append(nodes[member]);
        layoutComponentForceDirected(local, localLinks[c]);

        const QRectF bounds = nodesBoundingBox(local);
        component.left = bounds.x();
        component.top = bounds.y();
        component.width = bounds.width();
        component.height = bounds.height();
        component.offsetX = 0;
        component.offsetY = 0;
        for (qsizetype k = 0; k < local.size(); ++k) {
            nodes[component.members[k]].centreX = local[k].centreX;
            nodes[component.members[k]].centreY = local[k].centreY;
        }
    }
}

void packComponents(QList<LayoutNode> &nodes, QList<LayoutComponent> &components)
{
    std::stable_sort(components.begin(), components.end(),
                     [](const LayoutComponent &a, const LayoutComponent &b) { return a.height > b.height; });

    double widest = 0;
    double area = 0;
    for (const LayoutComponent &component : components) {
        widest = std::max(widest, component.width);
        area += std::max(component.width * component.height, 1.0);
    }
    // The gap between components is left out of the limit on purpose.
    const double rowLimit = std::max(widest, 1.2 * std::sqrt(area));

    double x = 0;
    double y = 0;
    double rowHeight = 0;
    for (LayoutComponent &component : components) {
        if (x > 0 && x + component.width > rowLimit) {
            y += rowHeight + ComponentGap;
            x = 0;
            rowHeight = 0;
        }
        component.offsetX = x - component.left;
        component.offsetY = y - component.top;
        rowHeight = std::max(rowHeight, component.height);
        x += component.width + ComponentGap;
    }

    for (const LayoutComponent &component : components) {
        for (int member : component.members) {
            nodes[member].centreX += component.offsetX;
            nodes[member].centreY += component.offsetY;
        }
    }
}

void centreNodesOn(QList<LayoutNode> &nodes, const QPointF &home)
{
    if (nodes.isEmpty())
        return;
    const QPointF shift = home - nodesBoundingBox(nodes).center();
    for (LayoutNode &node : nodes) {
        node.centreX += shift.x();
        node.centreY += shift.y();
    }
}

QList<LayoutComponent> layoutNodes(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, const QPointF &home)
{
    QList<LayoutComponent> components = findComponents(int(nodes.size()), links);
    layoutComponents(nodes, links, components);
    packComponents(nodes, components);
    centreNodesOn(nodes, home);
    return components;
}

} // namespace layout
