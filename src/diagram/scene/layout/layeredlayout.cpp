#include "layeredlayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace layout {

namespace {

constexpr double RowGap = 42;
// Between two columns: room for the lines that bend between them, within bounds.
constexpr double ColumnGapLeast = 64;
constexpr double ColumnGapPerLine = 8;
constexpr double ColumnGapMost = 200;
constexpr double BandGap = 120;
// Bands are folded until the drawing is about this much wider than high.
constexpr double WantedAspect = 1.3;
constexpr int MostSweeps = 16;
constexpr int SweepsWithoutGain = 4;
constexpr int PlacementPasses = 6;

// Breadth-first hop counts from start; -1 where unreached. Returns the visit order.
std::vector<int> walk(const NeighbourLists &neighbours, int start, std::vector<int> &depth)
{
    const int n = int(neighbours.size());
    depth.assign(n, -1);
    std::vector<int> queue{start};
    depth[start] = 0;
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int node = queue[head];
        for (int next : neighbours[node]) {
            if (depth[next] < 0) {
                depth[next] = depth[node] + 1;
                queue.push_back(next);
            }
        }
    }
    return queue;
}

// A node at the far end of the component: the last one a walk from the busiest node
// reaches, so that the layers from it are many and narrow rather than few and wide.
int peripheralNode(const QList<LayoutNode> &nodes, const NeighbourLists &neighbours)
{
    int busiest = 0;
    for (int i = 1; i < nodes.size(); ++i) {
        if (nodes[i].degree > nodes[busiest].degree)
            busiest = i;
    }
    std::vector<int> depth;
    const std::vector<int> order = walk(neighbours, busiest, depth);
    return order.back();
}

std::vector<int> positionsIn(const QList<QList<int>> &layers, int n)
{
    std::vector<int> position(n, 0);
    for (const QList<int> &layer : layers) {
        for (int k = 0; k < layer.size(); ++k)
            position[layer[k]] = k;
    }
    return position;
}

// One sweep: each layer from `first` towards `last` takes the order of its nodes' mean
// positions in the layer before it (as fractions of that layer's length); a node with no
// neighbour there keeps its own place.
void sweep(QList<QList<int>> &layers, const NeighbourLists &neighbours, const std::vector<int> &layerOf,
           std::vector<int> &position, int first, int last, int step)
{
    std::vector<double> key(position.size(), 0);
    for (int l = first; l != last + step; l += step) {
        QList<int> &layer = layers[l];
        const int fixed = l - step;
        const double fixedSize = double(layers[fixed].size());
        if (fixedSize == 0)
            continue;
        for (int node : layer) {
            double sum = 0;
            int count = 0;
            for (int next : neighbours[node]) {
                if (layerOf[next] == fixed) {
                    sum += (position[next] + 0.5) / fixedSize;
                    ++count;
                }
            }
            key[node] = count > 0 ? sum / count : (position[node] + 0.5) / double(layer.size());
        }
        std::stable_sort(layer.begin(), layer.end(), [&](int a, int b) {
            if (key[a] != key[b])
                return key[a] < key[b];
            return position[a] < position[b];
        });
        for (int k = 0; k < layer.size(); ++k)
            position[layer[k]] = k;
    }
}

// Least-squares fit of a column's centres to their targets, keeping the order and the
// rows apart: pooled adjacent blocks over the targets less the least offsets.
void fitColumn(const QList<int> &column, const QList<LayoutNode> &nodes, const std::vector<double> &target,
               std::vector<double> &y)
{
    const int k = int(column.size());
    if (k == 0)
        return;
    std::vector<double> offset(k, 0);
    for (int i = 1; i < k; ++i)
        offset[i] = offset[i - 1] + (nodes[column[i - 1]].height + nodes[column[i]].height) / 2 + RowGap;
    struct Block
    {
        double sum;
        int count;
        double mean() const { return sum / count; }
    };
    std::vector<Block> blocks;
    blocks.reserve(k);
    for (int i = 0; i < k; ++i) {
        blocks.push_back({target[column[i]] - offset[i], 1});
        while (blocks.size() >= 2 && blocks[blocks.size() - 2].mean() > blocks.back().mean()) {
            const Block last = blocks.back();
            blocks.pop_back();
            blocks.back().sum += last.sum;
            blocks.back().count += last.count;
        }
    }
    int i = 0;
    for (const Block &block : blocks) {
        for (int c = 0; c < block.count; ++c, ++i)
            y[column[i]] = block.mean() + offset[i];
    }
}

// Each column's centres level with its neighbours in the columns beside it, in passes
// down and up the layers.
std::vector<double> placeInColumns(const QList<QList<int>> &layers, const QList<LayoutNode> &nodes,
                                   const NeighbourLists &neighbours, const std::vector<int> &layerOf)
{
    const int n = int(nodes.size());
    std::vector<double> y(n, 0);
    std::vector<double> target(n, 0);
    for (const QList<int> &column : layers)
        stackColumn(column, nodes, y);
    const int count = int(layers.size());
    for (int pass = 0; pass < PlacementPasses; ++pass) {
        const bool down = pass % 2 == 0;
        const bool both = pass >= 2;
        for (int step = 0; step < count; ++step) {
            const int l = down ? step : count - 1 - step;
            for (int node : layers[l]) {
                double sum = 0;
                int linked = 0;
                for (int next : neighbours[node]) {
                    const int other = layerOf[next];
                    if ((down || both) && other == l - 1) {
                        sum += y[next];
                        ++linked;
                    }
                    if ((!down || both) && other == l + 1) {
                        sum += y[next];
                        ++linked;
                    }
                }
                target[node] = linked > 0 ? sum / linked : y[node];
            }
            fitColumn(layers[l], nodes, target, y);
        }
    }
    return y;
}

struct Column
{
    double width = 0;
    double top = 0;
    double bottom = 0;
    double gapAfter = 0; // to the next column of the run
};

// Width and height of the columns folded into bands of `perBand` columns.
std::pair<double, double> foldedExtent(const std::vector<Column> &columns, int perBand)
{
    const int count = int(columns.size());
    double width = 0;
    double height = 0;
    for (int start = 0; start < count; start += perBand) {
        const int end = std::min(count, start + perBand);
        double bandWidth = 0;
        double top = columns[start].top;
        double bottom = columns[start].bottom;
        for (int c = start; c < end; ++c) {
            bandWidth += columns[c].width + (c + 1 < end ? columns[c].gapAfter : 0);
            top = std::min(top, columns[c].top);
            bottom = std::max(bottom, columns[c].bottom);
        }
        width = std::max(width, bandWidth);
        height += bottom - top + (start > 0 ? BandGap : 0);
    }
    return {width, height};
}

// Columns per band: the folding whose drawing comes nearest to the wanted proportions.
int columnsPerBand(const std::vector<Column> &columns)
{
    const int count = int(columns.size());
    int best = count;
    double bestMiss = HUGE_VAL;
    int previous = 0;
    for (int bands = 1; bands <= count; ++bands) {
        const int perBand = (count + bands - 1) / bands;
        if (perBand == previous)
            continue;
        previous = perBand;
        const auto [width, height] = foldedExtent(columns, perBand);
        const double aspect = width / std::max(height, 1.0);
        const double miss = std::abs(std::log(aspect / WantedAspect));
        if (miss < bestMiss) {
            bestMiss = miss;
            best = perBand;
        }
        // More bands only make it taller.
        if (aspect < WantedAspect)
            break;
    }
    return best;
}

} // namespace

void stackColumn(const QList<int> &column, const QList<LayoutNode> &nodes, std::vector<double> &y)
{
    double height = RowGap * (column.size() - 1);
    for (int node : column)
        height += nodes[node].height;
    double top = -height / 2;
    for (int node : column) {
        y[node] = top + nodes[node].height / 2;
        top += nodes[node].height + RowGap;
    }
}

long long layerCrossings(const QList<QList<int>> &layers, const NeighbourLists &neighbours,
                         const std::vector<int> &layerOf)
{
    const std::vector<int> position = positionsIn(layers, int(layerOf.size()));
    long long crossings = 0;
    std::vector<std::pair<int, int>> pairs;
    std::vector<int> tree;
    for (int l = 0; l + 1 < layers.size(); ++l) {
        pairs.clear();
        for (int node : layers[l]) {
            for (int next : neighbours[node]) {
                if (layerOf[next] == l + 1)
                    pairs.emplace_back(position[node], position[next]);
            }
        }
        std::sort(pairs.begin(), pairs.end());
        // Counts, for each link, the earlier links that end further down: a Fenwick tree
        // over the positions in the lower layer.
        const int size = int(layers[l + 1].size());
        tree.assign(size + 1, 0);
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            long long atOrBefore = 0;
            for (int i = pairs[k].second + 1; i > 0; i -= i & -i)
                atOrBefore += tree[i];
            crossings += static_cast<long long>(k) - atOrBefore;
            for (int i = pairs[k].second + 1; i <= size; i += i & -i)
                ++tree[i];
        }
    }
    return crossings;
}

void orderLayers(QList<QList<int>> &layers, const NeighbourLists &neighbours, const std::vector<int> &layerOf)
{
    const int count = int(layers.size());
    if (count < 2)
        return;
    std::vector<int> position = positionsIn(layers, int(layerOf.size()));
    QList<QList<int>> best = layers;
    long long fewest = layerCrossings(layers, neighbours, layerOf);
    int withoutGain = 0;
    for (int s = 0; s < MostSweeps && fewest > 0 && withoutGain < SweepsWithoutGain; ++s) {
        if (s % 2 == 0)
            sweep(layers, neighbours, layerOf, position, 1, count - 1, 1);
        else
            sweep(layers, neighbours, layerOf, position, count - 2, 0, -1);
        const long long crossings = layerCrossings(layers, neighbours, layerOf);
        if (crossings < fewest) {
            fewest = crossings;
            best = layers;
            withoutGain = 0;
        } else {
            ++withoutGain;
        }
    }
    layers = best;
}

void layoutComponentLayered(QList<LayoutNode> &nodes, const NeighbourLists &neighbours)
{
    const int n = int(nodes.size());
    if (n < 2)
        return;
    std::vector<int> layerOf;
    const std::vector<int> order = walk(neighbours, peripheralNode(nodes, neighbours), layerOf);
    int deepest = 0;
    for (int node : order)
        deepest = std::max(deepest, layerOf[node]);
    // Not expected in a component; kept in a last layer of their own.
    for (int i = 0; i < n; ++i) {
        if (layerOf[i] < 0)
            layerOf[i] = deepest + 1;
    }
    const int count = *std::max_element(layerOf.begin(), layerOf.end()) + 1;
    QList<QList<int>> layers(count);
    // Visit order: the children of earlier parents come first, as in a drawn tree.
    for (int node : order)
        layers[layerOf[node]].append(node);
    for (int i = 0; i < n; ++i) {
        if (layerOf[i] == deepest + 1 && count > deepest + 1)
            layers[deepest + 1].append(i);
    }
    orderLayers(layers, neighbours, layerOf);
    const std::vector<double> y = placeInColumns(layers, nodes, neighbours, layerOf);

    std::vector<Column> columns(count);
    for (int l = 0; l < count; ++l) {
        Column &column = columns[l];
        column.top = HUGE_VAL;
        column.bottom = -HUGE_VAL;
        int lines = 0;
        for (int node : layers[l]) {
            column.width = std::max(column.width, nodes[node].width);
            column.top = std::min(column.top, y[node] - nodes[node].height / 2);
            column.bottom = std::max(column.bottom, y[node] + nodes[node].height / 2);
            for (int next : neighbours[node])
                lines += layerOf[next] == l + 1 ? 1 : 0;
        }
        column.gapAfter = std::clamp(ColumnGapLeast + ColumnGapPerLine * lines, ColumnGapLeast, ColumnGapMost);
    }

    // Bands run alternately left and right, each starting under the end of the one
    // before, so that the lines between two bands are short.
    const int perBand = columnsPerBand(columns);
    double edge = 0; // where the next column's near side stands
    double bandTop = 0;
    for (int start = 0, band = 0; start < count; start += perBand, ++band) {
        const int end = std::min(count, start + perBand);
        const bool rightwards = band % 2 == 0;
        double top = HUGE_VAL;
        double bottom = -HUGE_VAL;
        for (int l = start; l < end; ++l) {
            top = std::min(top, columns[l].top);
            bottom = std::max(bottom, columns[l].bottom);
        }
        const double shift = bandTop - top;
        for (int l = start; l < end; ++l) {
            const double half = columns[l].width / 2;
            const double centre = rightwards ? edge + half : edge - half;
            for (int node : layers[l]) {
                nodes[node].centreX = centre;
                nodes[node].centreY = y[node] + shift;
            }
            if (l + 1 < end)
                edge = rightwards ? centre + half + columns[l].gapAfter : centre - half - columns[l].gapAfter;
            else
                edge = rightwards ? centre + half : centre - half;
        }
        bandTop += bottom - top + BandGap;
    }
}

} // namespace layout
