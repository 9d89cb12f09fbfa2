#include "hublayout.h"

#include "forcelayout.h"
#include "overlapremoval.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <vector>

namespace layout {

namespace {

constexpr double HubGap = 380;
constexpr double BesideHub = 108;
constexpr double BlockGap = 78;
constexpr double ColumnGap = 56;
constexpr double RowGap = 42;
constexpr int Unreached = 1000000;

// a and b equal within a relative 1e-12, the way equal keys are told apart below.
bool nearlyEqual(double a, double b)
{
    return std::abs(a - b) * 1e12 <= std::min(std::abs(a), std::abs(b));
}

QRectF localBounds(const QList<LayoutNode> &nodes)
{
    return nodesBoundingBox(nodes);
}

// The non-hub parts of the component, each in breadth-first visit order.
QList<QList<int>> nonHubComponents(const NeighbourLists &neighbours, const std::vector<bool> &isHub)
{
    const int n = int(neighbours.size());
    std::vector<bool> labelled(n, false);
    QList<QList<int>> parts;
    for (int i = 0; i < n; ++i) {
        if (isHub[i] || labelled[i])
            continue;
        QList<int> members{i};
        labelled[i] = true;
        for (qsizetype head = 0; head < members.size(); ++head) {
            for (int next : neighbours[members[head]]) {
                if (!isHub[next] && !labelled[next]) {
                    labelled[next] = true;
                    members.append(next);
                }
            }
        }
        parts.append(members);
    }
    return parts;
}

bool touchesHub(const NeighbourLists &neighbours, const std::vector<bool> &isHub, int node)
{
    for (int next : neighbours[node]) {
        if (isHub[next])
            return true;
    }
    return false;
}

// Cuts a non-hub part into groups: one for the whole part unless it touches hubs at two
// or more members, else one per contact, every other member joining the nearest contact.
QList<QList<int>> splitIntoGroups(const QList<int> &members, const NeighbourLists &neighbours,
                                  const std::vector<bool> &isHub, std::vector<int> &localIndex)
{
    QList<int> contacts;
    for (int m : members) {
        if (touchesHub(neighbours, isHub, m))
            contacts.append(m);
    }
    if (contacts.size() < 2)
        return QList<QList<int>>{members};

    const int size = int(members.size());
    for (int k = 0; k < size; ++k)
        localIndex[members[k]] = k;

    // Depths from every contact, walking only through this part.
    std::vector<std::vector<int>> depths(contacts.size());
    std::vector<int> queue;
    for (qsizetype c = 0; c < contacts.size(); ++c) {
        std::vector<int> &depth = depths[c];
        depth.assign(size, Unreached);
        queue.clear();
        depth[localIndex[contacts[c]]] = 0;
        queue.push_back(contacts[c]);
        for (std::size_t head = 0; head < queue.size(); ++head) {
            const int node = queue[head];
            for (int next : neighbours[node]) {
                if (isHub[next] || localIndex[next] < 0)
                    continue;
                int &d = depth[localIndex[next]];
                if (d == Unreached) {
                    d = depth[localIndex[node]] + 1;
                    queue.push_back(next);
                }
            }
        }
    }

    QList<QList<int>> groups;
    std::vector<bool> isContact(size, false);
    for (int contact : contacts) {
        groups.append(QList<int>{contact});
        isContact[localIndex[contact]] = true;
    }
    for (int m : members) {
        const int local = localIndex[m];
        if (isContact[local])
            continue;
        qsizetype best = 0;
        for (qsizetype c = 1; c < contacts.size(); ++c) {
            const int d = depths[c][local];
            const int bestDepth = depths[best][local];
            if (d < bestDepth || (d == bestDepth && groups[c].size() < groups[best].size()))
                best = c;
        }
        groups[best].append(m);
    }
    for (int m : members)
        localIndex[m] = -1;
    return groups;
}

LayoutGroupBlock makeBlock(const QList<int> &group, const QList<LayoutNode> &nodes,
                           const NeighbourLists &neighbours, const QList<int> &sortedHubs,
                           const QList<LayoutLink> &groupLinks, std::vector<int> &localIndex)
{
    LayoutGroupBlock block;
    block.members = group;
    for (qsizetype k = 0; k < group.size(); ++k) {
        block.localNodes.append(nodes[group[k]]);
        localIndex[group[k]] = int(k);
    }

    // Owner: the hub most members are linked to; the earlier hub on equal counts.
    QHash<int, int> linksToHub;
    for (int m : group) {
        for (int next : neighbours[m])
            ++linksToHub[next];
    }
    int bestCount = -1;
    for (int hub : sortedHubs) {
        const int count = linksToHub.value(hub, 0);
        if (count > bestCount) {
            bestCount = count;
            block.hub = hub;
        }
    }
    for (qsizetype k = 0; k < group.size(); ++k) {
        if (std::binary_search(neighbours[group[k]].cbegin(), neighbours[group[k]].cend(), block.hub))
            block.attach.append(int(k));
    }

    QList<LayoutLink> localLinks;
    localLinks.reserve(groupLinks.size());
    for (const LayoutLink &link : groupLinks)
        localLinks.append({localIndex[link.first], localIndex[link.second]});
    for (int m : group)
        localIndex[m] = -1;

    layoutGroupLayered(block.localNodes, localLinks, block.attach);
    const QRectF bounds = localBounds(block.localNodes);
    block.left = bounds.x();
    block.top = bounds.y();
    block.width = bounds.width();
    block.height = bounds.height();
    return block;
}

} // namespace

void layoutComponentGrid(QList<LayoutNode> &nodes, const NeighbourLists &neighbours,
                         const QList<LayoutLink> &links, const QList<int> &hubs)
{
    const int n = int(nodes.size());
    std::vector<bool> isHub(n, false);
    QList<int> sortedHubs;
    for (int hub : hubs) {
        if (hub >= 0 && hub < n && !isHub[hub]) {
            isHub[hub] = true;
            sortedHubs.append(hub);
        }
    }
    if (sortedHubs.isEmpty())
        return;
    std::stable_sort(sortedHubs.begin(), sortedHubs.end(), [&](int a, int b) {
        if (nodes[a].degree != nodes[b].degree)
            return nodes[a].degree > nodes[b].degree;
        return a < b;
    });

    std::vector<int> localIndex(n, -1);
    const QList<QList<int>> groups = hubLayoutGroups(neighbours, sortedHubs);

    // Each group's links in link order, gathered in one pass.
    std::vector<int> groupOf(n, -1);
    for (qsizetype g = 0; g < groups.size(); ++g) {
        for (int m : groups[g])
            groupOf[m] = int(g);
    }
    QList<QList<LayoutLink>> groupLinks(groups.size());
    for (const LayoutLink &link : links) {
        if (link.first < 0 || link.second < 0 || link.first >= n || link.second >= n)
            continue;
        const int g = groupOf[link.first];
        if (g >= 0 && g == groupOf[link.second])
            groupLinks[g].append(link);
    }

    QList<LayoutGroupBlock> blocks;
    blocks.reserve(groups.size());
    for (qsizetype g = 0; g < groups.size(); ++g)
        blocks.append(makeBlock(groups[g], nodes, neighbours, sortedHubs, groupLinks[g], localIndex));

    // Tallest first; equal heights by more members, then in group order.
    std::stable_sort(blocks.begin(), blocks.end(), [](const LayoutGroupBlock &a, const LayoutGroupBlock &b) {
        if (a.height != b.height)
            return a.height > b.height;
        return a.members.size() > b.members.size();
    });

    struct Sides
    {
        QList<LayoutGroupBlock> left;
        QList<LayoutGroupBlock> right;
        double leftHeight = 0;
        double rightHeight = 0;
    };
    QHash<int, Sides> sides;
    for (LayoutGroupBlock &block : blocks) {
        Sides &hubSides = sides[block.hub];
        const bool toLeft = hubSides.leftHeight <= hubSides.rightHeight;
        QList<LayoutGroupBlock> &list = toLeft ? hubSides.left : hubSides.right;
        double &height = toLeft ? hubSides.leftHeight : hubSides.rightHeight;
        list.append(std::move(block));
        height += list.last().height + (list.size() >= 2 ? BlockGap : 0);
    }
    // The hub row, centred on x = 0. Each two hubs leave room for the groups placed
    // between them, so that one hub's groups do not fall on the next one's.
    const auto sideWidth = [&](int hub, bool left) {
        const auto it = sides.constFind(hub);
        if (it == sides.cend())
            return 0.0;
        double width = 0;
        for (const LayoutGroupBlock &block : left ? it->left : it->right)
            width = std::max(width, block.width);
        return width > 0 ? width + BesideHub : 0.0;
    };
    double x = 0;
    for (qsizetype k = 0; k < sortedHubs.size(); ++k) {
        LayoutNode &hub = nodes[sortedHubs[k]];
        if (k > 0) {
            const LayoutNode &previous = nodes[sortedHubs[k - 1]];
            const double between
                = std::max(HubGap, sideWidth(sortedHubs[k - 1], false) + BlockGap + sideWidth(sortedHubs[k], true));
            x = previous.centreX + previous.width / 2 + between + hub.width / 2;
        }
        hub.centreX = x;
        hub.centreY = 0;
    }
    const double shift = -(nodes[sortedHubs.first()].centreX + nodes[sortedHubs.last()].centreX) / 2;
    for (int hub : sortedHubs)
        nodes[hub].centreX += shift;

    for (int hub : sortedHubs) {
        auto it = sides.find(hub);
        if (it == sides.end())
            continue;
        if (!it->left.isEmpty())
            placeGroupsBesideHub(nodes, hub, it->left, true);
        if (!it->right.isEmpty())
            placeGroupsBesideHub(nodes, hub, it->right, false);
    }

    resolveOverlaps(nodes, 8, 52, 40);
    // Eight passes of pushes leave overlaps in tall stacks; this pass leaves none.
    removeOverlaps(nodes, 52, 40);
}

QList<QList<int>> hubLayoutGroups(const NeighbourLists &neighbours, const QList<int> &hubs)
{
    const int n = int(neighbours.size());
    std::vector<bool> isHub(n, false);
    for (int hub : hubs) {
        if (hub >= 0 && hub < n)
            isHub[hub] = true;
    }
    std::vector<int> localIndex(n, -1);
    QList<QList<int>> groups;
    for (const QList<int> &part : nonHubComponents(neighbours, isHub))
        groups.append(splitIntoGroups(part, neighbours, isHub, localIndex));
    return groups;
}

void placeGroupsBesideHub(QList<LayoutNode> &nodes, int hub, QList<LayoutGroupBlock> &blocks, bool leftSide)
{
    if (blocks.isEmpty() || hub < 0 || hub >= nodes.size())
        return;
    const LayoutNode &hubNode = nodes[hub];
    double total = BlockGap * (blocks.size() - 1);
    for (const LayoutGroupBlock &block : blocks)
        total += block.height;
    double y = hubNode.centreY - total / 2;

    for (LayoutGroupBlock &block : blocks) {
        double dx = 0;
        if (leftSide) {
            dx = (hubNode.centreX - hubNode.width / 2 - BesideHub) - (block.left + block.width);
        } else {
            const double axis = 2 * (block.left + block.width / 2);
            for (LayoutNode &local : block.localNodes)
                local.centreX = axis - local.centreX;
            dx = (hubNode.centreX + hubNode.width / 2 + BesideHub) - block.left;
        }
        const double dy = y - block.top;
        for (qsizetype k = 0; k < block.localNodes.size(); ++k) {
            LayoutNode &local = block.localNodes[k];
            local.centreX += dx;
            local.centreY += dy;
            LayoutNode &target = nodes[block.members[k]];
            target.centreX = local.centreX;
            target.centreY = local.centreY;
        }
        y += block.height + BlockGap;
    }
}

void layoutGroupLayered(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, const QList<int> &attach)
{
    const int n = int(nodes.size());
    if (n == 0)
        return;
    if (n == 1) {
        nodes[0].centreX = 0;
        nodes[0].centreY = 0;
        return;
    }
    const NeighbourLists neighbours = buildNeighbourLists(nodes, links);

    std::vector<int> layer(n, -1);
    std::vector<int> queue;
    for (int root : attach) {
        if (root >= 0 && root < n && layer[root] < 0) {
            layer[root] = 0;
            queue.push_back(root);
        }
    }
    if (queue.empty()) {
        for (int i = 0; i < n; ++i) {
            layer[i] = 0;
            queue.push_back(i);
        }
    }
    int deepest = 0;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int node = queue[head];
        deepest = std::max(deepest, layer[node]);
        for (int next : neighbours[node]) {
            if (layer[next] < 0) {
                layer[next] = layer[node] + 1;
                queue.push_back(next);
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        if (layer[i] < 0)
            layer[i] = deepest + 1;
    }

    const int layerCount = *std::max_element(layer.begin(), layer.end()) + 1;
    QList<QList<int>> layers(layerCount);
    for (int i = 0; i < n; ++i)
        layers[layer[i]].append(i);
    std::stable_sort(layers[0].begin(), layers[0].end(), [&](int a, int b) {
        if (nodes[a].degree != nodes[b].degree)
            return nodes[a].degree > nodes[b].degree;
        return a < b;
    });

    std::vector<double> placedY(n, 0);
    bool firstColumn = true;
    double previousLeft = 0;
    for (int l = 0; l < layerCount; ++l) {
        QList<int> &column = layers[l];
        if (column.isEmpty())
            continue;
        if (l > 0) {
            std::vector<double> barycentre(n, 0);
            for (int node : column) {
                double sum = 0;
                int count = 0;
                for (int next : neighbours[node]) {
                    if (layer[next] == l - 1) {
                        sum += placedY[next];
                        ++count;
                    }
                }
                barycentre[node] = count > 0 ? sum / count : 0;
            }
            std::stable_sort(column.begin(), column.end(), [&](int a, int b) {
                if (nearlyEqual(barycentre[a], barycentre[b]))
                    return a < b;
                return barycentre[a] < barycentre[b];
            });
        }

        double columnWidth = 0;
        double columnHeight = RowGap * (column.size() - 1);
        for (int node : column) {
            columnWidth = std::max(columnWidth, nodes[node].width);
            columnHeight += nodes[node].height;
        }
        const double centreX = firstColumn ? 0 : previousLeft - ColumnGap - columnWidth / 2;
        firstColumn = false;
        previousLeft = centreX - columnWidth / 2;

        double top = -columnHeight / 2;
        for (int node : column) {
            nodes[node].centreX = centreX;
            nodes[node].centreY = top + nodes[node].height / 2;
            placedY[node] = nodes[node].centreY;
            top += nodes[node].height + RowGap;
        }
    }

    resolveOverlaps(nodes, 12, ColumnGap, RowGap);
    alignLinkedNodes(nodes, links, 0.55);
    compactAxis(nodes, true);
    compactAxis(nodes, false);
    resolveOverlaps(nodes, 8, ColumnGap, RowGap);
}

void compactAxis(QList<LayoutNode> &nodes, bool alongX)
{
    const int n = int(nodes.size());
    if (n < 2)
        return;
    const double gap = alongX ? ColumnGap : RowGap;
    const double tolerance = alongX ? 8.4 : 11.2;
    auto primary = [&](int i) { return alongX ? nodes[i].centreX : nodes[i].centreY; };
    auto cross = [&](int i) { return alongX ? nodes[i].centreY : nodes[i].centreX; };
    auto primarySize = [&](int i) { return alongX ? nodes[i].width : nodes[i].height; };
    auto crossSize = [&](int i) { return alongX ? nodes[i].height : nodes[i].width; };

    QList<int> order(n);
    for (int i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        if (nearlyEqual(primary(a), primary(b)))
            return cross(a) < cross(b);
        return primary(a) < primary(b);
    });

    const double base = primary(order[0]) - primarySize(order[0]) / 2;
    for (int k = 0; k < n; ++k) {
        const int node = order[k];
        const double low = cross(node) - crossSize(node) / 2;
        const double high = cross(node) + crossSize(node) / 2;
        double edge = base;
        for (int before = 0; before < k; ++before) {
            const int m = order[before];
            const double mLow = cross(m) - crossSize(m) / 2;
            const double mHigh = cross(m) + crossSize(m) / 2;
            if (mLow > high + tolerance || low > mHigh + tolerance)
                continue;
            edge = std::max(edge, primary(m) + primarySize(m) / 2 + gap);
        }
        const double centre = edge + primarySize(node) / 2;
        (alongX ? nodes[node].centreX : nodes[node].centreY) = centre;
    }
}

} // namespace layout
