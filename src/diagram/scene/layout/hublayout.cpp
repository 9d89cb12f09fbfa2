#include "hublayout.h"

#include "forcelayout.h"
#include "layeredlayout.h"
#include "overlapremoval.h"

#include <QHash>
#include <QSizeF>

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
// Rows of hub cells stand this far apart.
constexpr double CellRowGap = 150;
// The cells of a component are laid in rows until they are no wider than this over high.
constexpr double CellsAspect = 1.5;

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

// How much room one side of a hub takes: its blocks in columns beside the hub.
struct SideExtent
{
    double width = 0; // from the hub's edge outwards, the gap beside the hub included
    double height = 0;
};

struct HubCell
{
    int hub = -1;
    double width = 0; // the hub's own box
    double height = 0;
    SideExtent leftSide;
    SideExtent rightSide;

    double halfHeight() const { return std::max({height, leftSide.height, rightSide.height}) / 2; }
};

// The blocks of one side cut into columns, by index in list order. One column unless it
// would stand far taller than the side is wide (a hub with dozens of groups); then about
// as many columns as make the side as tall as it is wide, each of about equal height.
QList<QList<int>> stackColumns(const QList<LayoutGroupBlock> &blocks)
{
    QList<QList<int>> columns;
    if (blocks.isEmpty())
        return columns;
    double total = BlockGap * (blocks.size() - 1);
    double widest = 0;
    for (const LayoutGroupBlock &block : blocks) {
        total += block.height;
        widest = std::max(widest, block.width);
    }
    const int wanted = int(std::lround(std::sqrt(total / (2 * (widest + BlockGap)))));
    const int count = std::clamp(wanted, 1, int(blocks.size()));
    const double target = total / count;
    double height = 0;
    columns.append(QList<int>());
    for (int k = 0; k < blocks.size(); ++k) {
        const double add = blocks[k].height + (columns.last().isEmpty() ? 0 : BlockGap);
        if (!columns.last().isEmpty() && height + add / 2 > target && columns.size() < count) {
            columns.append(QList<int>());
            height = 0;
        }
        height += blocks[k].height + (columns.last().isEmpty() ? 0 : BlockGap);
        columns.last().append(k);
    }
    return columns;
}

double columnWidth(const QList<LayoutGroupBlock> &blocks, const QList<int> &column)
{
    double width = 0;
    for (int k : column)
        width = std::max(width, blocks[k].width);
    return width;
}

double columnHeight(const QList<LayoutGroupBlock> &blocks, const QList<int> &column)
{
    double height = BlockGap * std::max<qsizetype>(column.size() - 1, 0);
    for (int k : column)
        height += blocks[k].height;
    return height;
}

SideExtent sideExtent(const QList<LayoutGroupBlock> &blocks)
{
    SideExtent extent;
    const QList<QList<int>> columns = stackColumns(blocks);
    for (const QList<int> &column : columns) {
        extent.width += columnWidth(blocks, column) + (extent.width > 0 ? BlockGap : BesideHub);
        extent.height = std::max(extent.height, columnHeight(blocks, column));
    }
    return extent;
}

// The hubs (indices into sortedHubs) in the order their cells are laid: each next the one
// that shares the most lines with the hub before it, else with any placed hub, else the
// next by degree; so hubs whose groups are linked stand side by side.
QList<int> orderHubsByShare(const QList<LayoutLink> &links, const QList<int> &sortedHubs,
                            const std::vector<int> &ownerOf)
{
    const int count = int(sortedHubs.size());
    const int n = int(ownerOf.size());
    QHash<int, int> cellOf; // look-ups only
    for (int k = 0; k < count; ++k)
        cellOf.insert(sortedHubs[k], k);
    std::vector<QHash<int, int>> shared(count); // look-ups only, never iterated for order
    for (const LayoutLink &link : links) {
        if (link.first < 0 || link.second < 0 || link.first >= n || link.second >= n)
            continue;
        const int a = cellOf.value(ownerOf[link.first], -1);
        const int b = cellOf.value(ownerOf[link.second], -1);
        if (a < 0 || b < 0 || a == b)
            continue;
        ++shared[a][b];
        ++shared[b][a];
    }
    std::vector<bool> placed(count, false);
    std::vector<int> withPlaced(count, 0);
    QList<int> order;
    order.reserve(count);
    int last = -1;
    for (int step = 0; step < count; ++step) {
        int next = -1;
        int bestLast = 0;
        int bestAny = 0;
        for (int k = 0; k < count; ++k) {
            if (placed[k])
                continue;
            const int withLast = last >= 0 ? shared[last].value(k, 0) : 0;
            if (next < 0 || withLast > bestLast || (withLast == bestLast && withPlaced[k] > bestAny)) {
                next = k;
                bestLast = withLast;
                bestAny = withPlaced[k];
            }
        }
        placed[next] = true;
        order.append(next);
        for (auto it = shared[next].cbegin(); it != shared[next].cend(); ++it)
            withPlaced[it.key()] += it.value();
        last = next;
    }
    return order;
}

// Rows of cells, in the given order, each row full at about width.
QList<QList<int>> rowsOfCells(const QList<double> &cellWidths, const QList<int> &order, double width)
{
    QList<QList<int>> rows{QList<int>()};
    double used = 0;
    for (int k : order) {
        const double add = cellWidths[k] + (rows.last().isEmpty() ? 0 : BlockGap);
        if (!rows.last().isEmpty() && used + add / 2 > width) {
            rows.append(QList<int>());
            used = 0;
        }
        used += cellWidths[k] + (rows.last().isEmpty() ? 0 : BlockGap);
        rows.last().append(k);
    }
    return rows;
}

// Sets the hubs' centres: cells in rows, each row centred on x = 0, the rows stacked and
// centred on y = 0. Within a row two hubs stand as far apart as their groups between them
// need, and at least HubGap. Rows run alternately left to right and right to left, so
// that the cells before and after a row's end stand near each other.
void placeHubCells(QList<LayoutNode> &nodes, const QList<int> &order, const QList<HubCell> &cells)
{
    const int count = int(cells.size());
    QList<double> widths(count);
    double total = 0;
    for (int k = 0; k < count; ++k) {
        const HubCell &c = cells[k];
        widths[k] = c.leftSide.width + c.width + c.rightSide.width;
        total += widths[k] + (k > 0 ? BlockGap : 0);
    }
    const auto between = [&](const HubCell &a, const HubCell &b) {
        return a.width / 2 + std::max(HubGap, a.rightSide.width + BlockGap + b.leftSide.width) + b.width / 2;
    };
    const auto rowsFor = [&](int rowCount) {
        QList<QList<int>> rows = rowsOfCells(widths, order, total / rowCount);
        for (int r = 1; r < rows.size(); r += 2)
            std::reverse(rows[r].begin(), rows[r].end());
        return rows;
    };
    // Width and height of the cells as laid in these rows.
    const auto extent = [&](const QList<QList<int>> &rows) {
        double width = 0;
        double height = CellRowGap * (rows.size() - 1);
        for (const QList<int> &row : rows) {
            double span = cells[row.first()].leftSide.width + cells[row.first()].width / 2;
            double half = 0;
            for (int i = 0; i < row.size(); ++i) {
                if (i > 0)
                    span += between(cells[row[i - 1]], cells[row[i]]);
                half = std::max(half, cells[row[i]].halfHeight());
            }
            span += cells[row.last()].width / 2 + cells[row.last()].rightSide.width;
            width = std::max(width, span);
            height += 2 * half;
        }
        return QSizeF(width, height);
    };

    // The fewest rows that are not much wider than high, or the rows nearest to that.
    QList<QList<int>> rows = rowsFor(1);
    double bestMiss = HUGE_VAL;
    for (int rowCount = 1; rowCount <= count; ++rowCount) {
        const QList<QList<int>> candidate = rowsFor(rowCount);
        const QSizeF size = extent(candidate);
        const double aspect = size.width() / std::max(size.height(), 1.0);
        const double miss = std::abs(std::log(aspect / CellsAspect));
        if (miss < bestMiss) {
            bestMiss = miss;
            rows = candidate;
        }
        if (aspect <= CellsAspect)
            break;
    }

    double y = 0;
    double previousHalf = 0;
    QList<double> rowY;
    for (int r = 0; r < rows.size(); ++r) {
        double half = 0;
        for (int k : rows[r])
            half = std::max(half, cells[k].halfHeight());
        if (r > 0)
            y += previousHalf + CellRowGap + half;
        rowY.append(y);
        previousHalf = half;
    }
    const double shiftY = -(rowY.first() + rowY.last()) / 2;
    for (int r = 0; r < rows.size(); ++r) {
        const QList<int> &row = rows[r];
        double x = 0;
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0)
                x += between(cells[row[i - 1]], cells[row[i]]);
            LayoutNode &hub = nodes[cells[row[i]].hub];
            hub.centreX = x;
            hub.centreY = rowY[r] + shiftY;
        }
        const double shiftX = -(nodes[cells[row.first()].hub].centreX + nodes[cells[row.last()].hub].centreX) / 2;
        for (int k : row)
            nodes[cells[k].hub].centreX += shiftX;
    }
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

    // Every node's hub: its own for a hub, its group's owner for the others.
    std::vector<int> ownerOf(n, -1);
    for (int hub : sortedHubs)
        ownerOf[hub] = hub;
    for (const LayoutGroupBlock &block : blocks) {
        for (int m : block.members)
            ownerOf[m] = block.hub;
    }

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
    // Each hub with its groups makes a cell; the cells stand in rows so that the component
    // keeps screen proportions, each next to the hubs it shares most lines with.
    QList<HubCell> cells;
    cells.reserve(sortedHubs.size());
    for (int hub : sortedHubs) {
        HubCell cell;
        cell.hub = hub;
        cell.width = nodes[hub].width;
        cell.height = nodes[hub].height;
        const auto it = sides.constFind(hub);
        if (it != sides.cend()) {
            cell.leftSide = sideExtent(it->left);
            cell.rightSide = sideExtent(it->right);
        }
        cells.append(cell);
    }
    placeHubCells(nodes, orderHubsByShare(links, sortedHubs, ownerOf), cells);

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
    // Distance of the column's near edge from the hub's edge.
    double out = BesideHub;
    for (const QList<int> &column : stackColumns(blocks)) {
        double y = hubNode.centreY - columnHeight(blocks, column) / 2;
        for (int k : column) {
            LayoutGroupBlock &block = blocks[k];
            double dx = 0;
            if (leftSide) {
                dx = (hubNode.centreX - hubNode.width / 2 - out) - (block.left + block.width);
            } else {
                const double axis = 2 * (block.left + block.width / 2);
                for (LayoutNode &local : block.localNodes)
                    local.centreX = axis - local.centreX;
                dx = (hubNode.centreX + hubNode.width / 2 + out) - block.left;
            }
            const double dy = y - block.top;
            for (qsizetype m = 0; m < block.localNodes.size(); ++m) {
                LayoutNode &local = block.localNodes[m];
                local.centreX += dx;
                local.centreY += dy;
                LayoutNode &target = nodes[block.members[m]];
                target.centreX = local.centreX;
                target.centreY = local.centreY;
            }
            y += block.height + BlockGap;
        }
        out += columnWidth(blocks, column) + BlockGap;
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

    // Each layer after the first in the order of its neighbours in the layer before, as
    // the columns first stack; then sweeps down and up the layers cut the crossings left.
    std::vector<double> placedY(n, 0);
    for (int l = 0; l < layerCount; ++l) {
        QList<int> &column = layers[l];
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
        stackColumn(column, nodes, placedY);
    }
    orderLayers(layers, neighbours, layer);

    bool firstColumn = true;
    double previousLeft = 0;
    for (int l = 0; l < layerCount; ++l) {
        const QList<int> &column = layers[l];
        if (column.isEmpty())
            continue;
        double columnWidth = 0;
        for (int node : column)
            columnWidth = std::max(columnWidth, nodes[node].width);
        const double centreX = firstColumn ? 0 : previousLeft - ColumnGap - columnWidth / 2;
        firstColumn = false;
        previousLeft = centreX - columnWidth / 2;
        stackColumn(column, nodes, placedY);
        for (int node : column) {
            nodes[node].centreX = centreX;
            nodes[node].centreY = placedY[node];
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
