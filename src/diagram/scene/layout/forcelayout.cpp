#include "forcelayout.h"

#include "hublayout.h"
#include "layeredlayout.h"
#include "overlapremoval.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace layout {

namespace {

constexpr double Pi = 3.14159265358979323846;

double diagonal(const LayoutNode &node)
{
    return std::hypot(node.width, node.height);
}

bool higherDegreeFirst(const QList<LayoutNode> &nodes, int a, int b)
{
    if (nodes[a].degree != nodes[b].degree)
        return nodes[a].degree > nodes[b].degree;
    return a < b;
}

// Up to this many boxes the overlap pushes look at every pair.
constexpr int AllPairsUpTo = 64;
// Components without hubs up to this many boxes are placed by forces.
constexpr int ForcesUpTo = 12;

// The boxes, each grown by half the gaps, in the cells of a grid they cover: two boxes
// closer than the gaps share a cell. Cells are as large as a typical box, so a box meets a
// few cells and each cell holds a few boxes.
class NearBoxes
{
public:
    void build(const QList<LayoutNode> &nodes, double gapX, double gapY)
    {
        m_cells.clear();
        m_spans.clear();
        m_large.clear();
        const int n = int(nodes.size());
        std::vector<double> widths;
        std::vector<double> heights;
        widths.reserve(n);
        heights.reserve(n);
        for (const LayoutNode &node : nodes) {
            widths.push_back(node.width);
            heights.push_back(node.height);
        }
        std::nth_element(widths.begin(), widths.begin() + n / 2, widths.end());
        std::nth_element(heights.begin(), heights.begin() + n / 2, heights.end());
        m_cellWidth = std::max(2 * widths[n / 2] + gapX, 1.0);
        m_cellHeight = std::max(2 * heights[n / 2] + gapY, 1.0);
        m_spans.reserve(n);
        for (int i = 0; i < n; ++i) {
            const LayoutNode &node = nodes[i];
            const double halfW = (node.width + gapX) / 2;
            const double halfH = (node.height + gapY) / 2;
            Span span{cellOf(node.centreX - halfW, m_cellWidth), cellOf(node.centreX + halfW, m_cellWidth),
                      cellOf(node.centreY - halfH, m_cellHeight), cellOf(node.centreY + halfH, m_cellHeight)};
            m_spans.push_back(span);
            // A box far larger than the others meets every box it may: it is looked at
            // with each of them instead of filling thousands of cells.
            if ((span.right - span.left + 1) * (span.bottom - span.top + 1) > MaxCellsPerBox) {
                m_large.push_back(i);
                continue;
            }
            for (long long cx = span.left; cx <= span.right; ++cx) {
                for (long long cy = span.top; cy <= span.bottom; ++cy)
                    m_cells[key(cx, cy)].push_back(i);
            }
        }
    }

    // The boxes after i (by index) that share a cell with it, ascending and each once.
    void after(int i, std::vector<int> &out) const
    {
        out.clear();
        if (std::binary_search(m_large.cbegin(), m_large.cend(), i)) {
            for (int j = i + 1; j < int(m_spans.size()); ++j)
                out.push_back(j);
            return;
        }
        for (int j : m_large) {
            if (j > i)
                out.push_back(j);
        }
        const Span &span = m_spans[std::size_t(i)];
        for (long long cx = span.left; cx <= span.right; ++cx) {
            for (long long cy = span.top; cy <= span.bottom; ++cy) {
                const auto it = m_cells.find(key(cx, cy));
                if (it == m_cells.end())
                    continue;
                for (int j : it->second) {
                    if (j > i)
                        out.push_back(j);
                }
            }
        }
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
    }

private:
    struct Span
    {
        long long left, right, top, bottom;
    };
    static long long cellOf(double at, double size)
    {
        const double cell = std::floor(at / size);
        return std::isfinite(cell) ? static_cast<long long>(std::clamp(cell, -1e9, 1e9)) : 0;
    }
    static long long key(long long cx, long long cy) { return cx * 4000000007LL + cy; }
    static constexpr long long MaxCellsPerBox = 1024;

    double m_cellWidth = 1;
    double m_cellHeight = 1;
    std::vector<Span> m_spans;
    std::vector<int> m_large; // ascending
    std::unordered_map<long long, std::vector<int>> m_cells; // look-ups only, never iterated
};

} // namespace

QRectF nodesBoundingBox(const QList<LayoutNode> &nodes)
{
    if (nodes.isEmpty())
        return {};
    // By hand rather than QRectF::united, which skips boxes of no size.
    double left = nodes.first().centreX - nodes.first().width / 2;
    double top = nodes.first().centreY - nodes.first().height / 2;
    double right = left + nodes.first().width;
    double bottom = top + nodes.first().height;
    for (const LayoutNode &node : nodes) {
        left = std::min(left, node.centreX - node.width / 2);
        top = std::min(top, node.centreY - node.height / 2);
        right = std::max(right, node.centreX + node.width / 2);
        bottom = std::max(bottom, node.centreY + node.height / 2);
    }
    return QRectF(left, top, right - left, bottom - top);
}

NeighbourLists buildNeighbourLists(QList<LayoutNode> &nodes, const QList<LayoutLink> &links)
{
    const int n = int(nodes.size());
    NeighbourLists neighbours(n);
    for (const LayoutLink &link : links) {
        if (link.first == link.second || link.first < 0 || link.second < 0 || link.first >= n
            || link.second >= n)
            continue;
        neighbours[link.first].append(link.second);
        neighbours[link.second].append(link.first);
    }
    for (int i = 0; i < n; ++i) {
        QList<int> &list = neighbours[i];
        std::sort(list.begin(), list.end());
        list.erase(std::unique(list.begin(), list.end()), list.end());
        nodes[i].degree = int(list.size());
    }
    return neighbours;
}

QList<int> findHubs(const QList<LayoutNode> &nodes)
{
    const int n = int(nodes.size());
    if (n < 6)
        return {};
    int largest = 0;
    for (const LayoutNode &node : nodes)
        largest = std::max(largest, node.degree);
    const int threshold = std::max(4, int(std::ceil(0.55 * largest)));

    QList<int> hubs;
    for (int i = 0; i < n; ++i) {
        if (nodes[i].degree >= threshold)
            hubs.append(i);
    }
    if (hubs.size() > n / 4) {
        std::stable_sort(hubs.begin(), hubs.end(),
                         [&](int a, int b) { return higherDegreeFirst(nodes, a, b); });
        hubs.resize(n / 4);
    }
    return hubs;
}

HopTable::HopTable(const NeighbourLists &neighbours)
    : m_neighbours(neighbours), m_count(int(neighbours.size()))
{
    const bool tabulate = m_count <= MaxTabulatedNodes;
    if (tabulate)
        m_table.assign(std::size_t(m_count) * std::size_t(m_count), NoPath);

    std::vector<int> depth;
    std::vector<int> queue;
    int largest = 0;
    for (int i = 0; i < m_count; ++i) {
        walk(i, depth, queue);
        for (int node : queue) {
            largest = std::max(largest, depth[node]);
            if (tabulate)
                m_table[std::size_t(i) * m_count + node] = std::uint16_t(depth[node]);
        }
    }
    m_maxHop = std::max(largest, 1);
}

// Leaves the hop counts from start in depth (-1 where unreached) and the reached nodes
// in queue.
void HopTable::walk(int start, std::vector<int> &depth, std::vector<int> &queue) const
{
    depth.assign(m_count, -1);
    queue.clear();
    depth[start] = 0;
    queue.push_back(start);
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const int node = queue[head];
        for (int next : m_neighbours[node]) {
            if (depth[next] < 0) {
                depth[next] = depth[node] + 1;
                queue.push_back(next);
            }
        }
    }
}

void HopTable::row(int i, std::vector<int> &out) const
{
    if (isTabulated()) {
        out.resize(m_count);
        const std::uint16_t *cells = m_table.data() + std::size_t(i) * m_count;
        for (int j = 0; j < m_count; ++j)
            out[j] = cells[j] == NoPath ? -1 : int(cells[j]);
        return;
    }
    std::vector<int> queue;
    walk(i, out, queue);
}

int HopTable::hops(int i, int j) const
{
    if (isTabulated()) {
        const std::uint16_t cell = m_table[std::size_t(i) * m_count + j];
        return cell == NoPath ? -1 : int(cell);
    }
    std::vector<int> depth;
    row(i, depth);
    return depth[j];
}

double meanDiagonal(const QList<LayoutNode> &nodes)
{
    if (nodes.isEmpty())
        return 0;
    double sum = 0;
    for (const LayoutNode &node : nodes)
        sum += diagonal(node);
    return sum / nodes.size();
}

double forceSpacing(double meanDiag)
{
    return std::clamp(0.28 * meanDiag + 72, 70.0, 130.0);
}

int startNode(const QList<LayoutNode> &nodes)
{
    int best = -1;
    for (int i = 0; i < nodes.size(); ++i) {
        if (best < 0 || nodes[i].degree > nodes[best].degree)
            best = i;
    }
    return best;
}

QList<int> startOrder(const NeighbourLists &neighbours, int start)
{
    const int n = int(neighbours.size());
    QList<int> order;
    order.reserve(n);
    std::vector<bool> seen(n, false);
    if (start >= 0 && start < n) {
        seen[start] = true;
        order.append(start);
        for (qsizetype head = 0; head < order.size(); ++head) {
            for (int next : neighbours[order[head]]) {
                if (!seen[next]) {
                    seen[next] = true;
                    order.append(next);
                }
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        if (!seen[i])
            order.append(i);
    }
    return order;
}

double placeOnStartCircle(QList<LayoutNode> &nodes, const NeighbourLists &neighbours)
{
    const int n = int(nodes.size());
    const double meanDiag = meanDiagonal(nodes);
    const double radius = std::max(std::sqrt(double(n)) * 0.28 * meanDiag, 1.35 * forceSpacing(meanDiag));
    const QList<int> order = startOrder(neighbours, startNode(nodes));
    for (int k = 0; k < order.size(); ++k) {
        const double angle = 2 * Pi * k / n;
        nodes[order[k]].centreX = radius * std::cos(angle);
        nodes[order[k]].centreY = radius * std::sin(angle);
    }
    return radius;
}

void layoutComponentForceDirected(QList<LayoutNode> &nodes, const QList<LayoutLink> &links)
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
    const QList<int> hubs = findHubs(nodes);
    if (!hubs.isEmpty()) {
        layoutComponentGrid(nodes, neighbours, links, hubs);
        return;
    }
    // Forces started from a circle untangle a few boxes but leave a larger component
    // about as tangled as the circle was; layers keep its crossings few at any size.
    if (n > ForcesUpTo) {
        layoutComponentLayered(nodes, neighbours);
        return;
    }
    placeByForces(nodes, links, neighbours);
}

void placeByForces(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, const NeighbourLists &neighbours)
{
    const int n = int(nodes.size());
    if (n < 2)
        return;
    const HopTable hopTable(neighbours);
    const int maxHop = hopTable.maxHop();
    const double spacing = forceSpacing(meanDiagonal(nodes));
    placeOnStartCircle(nodes, neighbours);

    // Ideal distance and weight depend on the hop count alone; taking them from a table
    // gives the same values as computing them for every pair.
    std::vector<double> hopReach(maxHop + 2);
    std::vector<double> hopWeight(maxHop + 2);
    for (int g = 1; g <= maxHop + 1; ++g) {
        hopReach[g] = std::pow(double(g), 0.72) * spacing;
        hopWeight[g] = g == 1 ? 1.45 : 1.0 / (double(g) * double(g));
    }
    std::vector<double> diag(n);
    for (int i = 0; i < n; ++i)
        diag[i] = diagonal(nodes[i]);

    std::vector<double> x(n);
    std::vector<double> y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = nodes[i].centreX;
        y[i] = nodes[i].centreY;
    }
    std::vector<double> moveX(n);
    std::vector<double> moveY(n);
    std::vector<int> hopRow;

    const int iterations = std::clamp(2 * n + 28, 40, 95);
    double temperature = 1.0;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        std::fill(moveX.begin(), moveX.end(), 0.0);
        std::fill(moveY.begin(), moveY.end(), 0.0);
        for (int i = 0; i < n; ++i) {
            hopTable.row(i, hopRow);
            for (int j = i + 1; j < n; ++j) {
                double dx = x[j] - x[i];
                double dy = y[j] - y[i];
                // hypot without its overflow care: coordinates stay far below that range.
                double d = std::sqrt(dx * dx + dy * dy);
                if (d < 1) {
                    // Coincident boxes part in a fixed direction, so runs agree.
                    dx = ((3 * j + i) % 7) + 1;
                    dy = 0.6 * dx;
                    d = std::sqrt(dx * dx + dy * dy);
                }
                int g = hopRow[j];
                if (g < 1)
                    g = maxHop + 1;
                const double ideal = 0.38 * (diag[i] + diag[j]) + hopReach[g];
                const double f = (d - ideal) * hopWeight[g] / d;
                moveX[i] += f * dx;
                moveY[i] += f * dy;
                moveX[j] -= f * dx;
                moveY[j] -= f * dy;
            }
        }

        double cx = 0;
        double cy = 0;
        for (int i = 0; i < n; ++i) {
            cx += x[i];
            cy += y[i];
        }
        cx /= n;
        cy /= n;
        const double limit = temperature * 40 + 6;
        for (int i = 0; i < n; ++i) {
            double mx = moveX[i] + 0.02 * (cx - x[i]);
            double my = moveY[i] + 0.02 * (cy - y[i]);
            const double length = std::hypot(mx, my);
            if (length > limit) {
                mx *= limit / length;
                my *= limit / length;
            }
            x[i] += temperature * 0.08 * mx;
            y[i] += temperature * 0.08 * my;
        }
        temperature *= 0.975;
    }
    for (int i = 0; i < n; ++i) {
        nodes[i].centreX = x[i];
        nodes[i].centreY = y[i];
    }

    const int passes = std::clamp(n + 10, 16, 42);
    resolveOverlaps(nodes, passes, 78, 68);
    alignLinkedNodes(nodes, links, 0.42);
    resolveOverlaps(nodes, passes / 2, 78, 68);
    // The pushes need not converge in a dense pile; this pass always does.
    removeOverlaps(nodes, 78, 68);
}

void resolveOverlaps(QList<LayoutNode> &nodes, int passes, double gapX, double gapY)
{
    const int n = int(nodes.size());
    if (n < 2 || passes < 1)
        return;
    const auto separate = [&](int i, int j) {
        LayoutNode &a = nodes[i];
        LayoutNode &b = nodes[j];
        const double dx = b.centreX - a.centreX;
        const double dy = b.centreY - a.centreY;
        const double needX = (a.width + b.width) / 2 + gapX;
        const double needY = (a.height + b.height) / 2 + gapY;
        if (std::abs(dx) >= needX || std::abs(dy) >= needY)
            return false;
        const double overlapX = needX - std::abs(dx);
        const double overlapY = needY - std::abs(dy);
        const bool alongX = overlapY > overlapX;
        const double delta = alongX ? dx : dy;
        double sign = delta < 0 ? -1 : 1;
        if (std::abs(delta) < 0.01)
            sign = a.degree < b.degree ? -1 : 1;
        const double push = sign * (0.51 * (alongX ? overlapX : overlapY) + 0.5);
        if (alongX) {
            a.centreX -= push;
            b.centreX += push;
        } else {
            a.centreY -= push;
            b.centreY += push;
        }
        return true;
    };
    // Few boxes: every pair. More: only the pairs a grid of the boxes as they stood at the
    // start of the pass finds near each other; a pair that a push brings together within a
    // pass is found by the next one.
    const bool everyPair = n <= AllPairsUpTo;
    NearBoxes near;
    std::vector<int> candidates;
    for (int pass = 0; pass < passes; ++pass) {
        bool moved = false;
        if (!everyPair)
            near.build(nodes, gapX, gapY);
        for (int i = 0; i < n; ++i) {
            if (everyPair) {
                for (int j = i + 1; j < n; ++j)
                    moved = separate(i, j) || moved;
                continue;
            }
            near.after(i, candidates);
            for (int j : candidates)
                moved = separate(i, j) || moved;
        }
        if (!moved)
            break;
    }
}

void alignLinkedNodes(QList<LayoutNode> &nodes, const QList<LayoutLink> &links, double strength)
{
    const int n = int(nodes.size());
    for (const LayoutLink &link : links) {
        if (link.first < 0 || link.second < 0 || link.first >= n || link.second >= n)
            continue;
        const bool firstAnchors = nodes[link.first].degree >= nodes[link.second].degree;
        const LayoutNode &anchor = nodes[firstAnchors ? link.first : link.second];
        LayoutNode &mover = nodes[firstAnchors ? link.second : link.first];
        const double ddx = std::abs(anchor.centreX - mover.centreX);
        const double ddy = std::abs(anchor.centreY - mover.centreY);
        const double tolX = strength * std::min(anchor.width, mover.width) + 16;
        const double tolY = strength * std::min(anchor.height, mover.height) + 16;
        if (ddx <= tolX && ddy >= ddx)
            mover.centreX = anchor.centreX;
        else if (ddy <= tolY && ddx > ddy)
            mover.centreY = anchor.centreY;
    }
}

} // namespace layout
