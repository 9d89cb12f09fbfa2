#include "orthogonalsearch.h"

#include "routescoring.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <queue>
#include <vector>

namespace routing {

namespace {

// Lines keep this far out of the rectangle in which a segment counts as a hit.
constexpr double Clearance = 1;

enum Direction { East, West, South, North };
constexpr int DirectionCount = 4;

Direction opposite(int d)
{
    static constexpr Direction reverse[] = {West, East, North, South};
    return reverse[d];
}

Direction outwardOf(EntitySide side)
{
    switch (side) {
    case LeftSide:
        return West;
    case TopSide:
        return North;
    case BottomSide:
        return South;
    default:
        return East;
    }
}

// What stops a line: the rectangle in which a segment counts as a hit, grown a little.
QRectF blockerOf(const QRectF &obstacle)
{
    QRectF hit(obstacle.x() + 1, obstacle.y() + 1, obstacle.width() - 2, obstacle.height() - 2);
    if (!(hit.width() > 1 && hit.height() > 1))
        hit = obstacle;
    return hit.adjusted(-Clearance, -Clearance, Clearance, Clearance);
}

struct Line
{
    double at = 0;  // y of a horizontal line, x of a vertical one
    double low = 0; // its extent along itself
    double high = 0;

    friend bool operator<(const Line &a, const Line &b)
    {
        if (a.at != b.at)
            return a.at < b.at;
        if (a.low != b.low)
            return a.low < b.low;
        return a.high < b.high;
    }
    friend bool operator==(const Line &a, const Line &b)
    {
        return a.at == b.at && a.low == b.low && a.high == b.high;
    }
};

struct Node
{
    QPointF at;
    std::array<int, DirectionCount> next{-1, -1, -1, -1};
};

// Blockers by horizontal band and by vertical band of the area, so that a line looks only
// at the blockers across its own band.
class BlockerBands
{
public:
    BlockerBands(const std::vector<QRectF> &blockers, double from, double extent, bool across)
        : m_blockers(blockers)
        , m_from(from)
        , m_across(across)
    {
        m_band = std::max(MinBand, extent / MaxBands);
        const int count = int(extent / m_band) + 1;
        m_bands.resize(std::size_t(count));
        for (std::size_t i = 0; i < blockers.size(); ++i) {
            const QRectF &b = blockers[i];
            const double low = across ? b.top() : b.left();
            const double high = across ? b.bottom() : b.right();
            if (!(high >= low))
                continue; // not finite
            for (int k = band(low); k <= band(high); ++k)
                m_bands[std::size_t(k)].push_back(int(i));
        }
    }

    // The blockers whose band holds the coordinate at (y for bands across, x for bands up
    // and down).
    const std::vector<int> &at(double at) const { return m_bands[std::size_t(band(at))]; }

private:
    static constexpr double MinBand = 32;
    static constexpr double MaxBands = 4096;

    int band(double at) const
    {
        return int(std::clamp((at - m_from) / m_band, 0.0, double(m_bands.size() - 1)));
    }

    const std::vector<QRectF> &m_blockers;
    double m_from = 0;
    double m_band = MinBand;
    bool m_across = true;
    std::vector<std::vector<int>> m_bands;
};

class VisibilityGraph
{
public:
    VisibilityGraph(const QList<QRectF> &obstacles, const QRectF &area, const QList<QPointF> &points)
        : m_area(area)
    {
        m_blockers.reserve(obstacles.size());
        for (const QRectF &o : obstacles)
            m_blockers.push_back(blockerOf(o));
        const BlockerBands rows(m_blockers, area.top(), area.height(), true);
        const BlockerBands columns(m_blockers, area.left(), area.width(), false);
        std::vector<Line> across;
        std::vector<Line> upDown;
        for (const QPointF &p : points) {
            if (!area.contains(p) || isBlocked(p, rows))
                continue;
            across.push_back(reachAcross(p, rows));
            upDown.push_back(reachUpDown(p, columns));
        }
        unique(across);
        unique(upDown);
        connect(across, upDown);
    }

    const std::vector<Node> &nodes() const { return m_nodes; }

    // The node at p; -1 when p is no node.
    int nodeAt(const QPointF &p) const
    {
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes[i].at == p)
                return int(i);
        }
        return -1;
    }

private:
    bool isBlocked(const QPointF &p, const BlockerBands &rows) const
    {
        const std::vector<int> &near = rows.at(p.y());
        return std::any_of(near.cbegin(), near.cend(), [&](int i) { return m_blockers[i].contains(p); });
    }

    Line reachAcross(const QPointF &p, const BlockerBands &rows) const
    {
        Line line{p.y(), m_area.left(), m_area.right()};
        for (int i : rows.at(p.y())) {
            const QRectF &b = m_blockers[i];
            if (b.top() > p.y() || b.bottom() < p.y())
                continue;
            if (b.right() <= p.x())
                line.low = std::max(line.low, b.right());
            else if (b.left() >= p.x())
                line.high = std::min(line.high, b.left());
        }
        return line;
    }

    Line reachUpDown(const QPointF &p, const BlockerBands &columns) const
    {
        Line line{p.x(), m_area.top(), m_area.bottom()};
        for (int i : columns.at(p.x())) {
            const QRectF &b = m_blockers[i];
            if (b.left() > p.x() || b.right() < p.x())
                continue;
            if (b.bottom() <= p.y())
                line.low = std::max(line.low, b.bottom());
            else if (b.top() >= p.y())
                line.high = std::min(line.high, b.top());
        }
        return line;
    }

    static void unique(std::vector<Line> &lines)
    {
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    }

    // One node where a horizontal and a vertical line cross; each joined to the next
    // node along both its lines.
    void connect(const std::vector<Line> &across, const std::vector<Line> &upDown)
    {
        std::vector<std::vector<std::pair<double, int>>> onUpDown(upDown.size());
        for (const Line &h : across) {
            auto it = std::lower_bound(upDown.cbegin(), upDown.cend(), h.low,
                                       [](const Line &v, double x) { return v.at < x; });
            int previous = -1;
            for (; it != upDown.cend() && it->at <= h.high; ++it) {
                if (it->low > h.at || it->high < h.at)
                    continue;
                const int id = int(m_nodes.size());
                m_nodes.push_back({QPointF(it->at, h.at)});
                onUpDown[std::size_t(it - upDown.cbegin())].emplace_back(h.at, id);
                if (previous >= 0) {
                    m_nodes[previous].next[East] = id;
                    m_nodes[id].next[West] = previous;
                }
                previous = id;
            }
        }
        for (auto &column : onUpDown) {
            std::sort(column.begin(), column.end());
            for (std::size_t k = 1; k < column.size(); ++k) {
                m_nodes[column[k - 1].second].next[South] = column[k].second;
                m_nodes[column[k].second].next[North] = column[k - 1].second;
            }
        }
    }

    QRectF m_area;
    std::vector<QRectF> m_blockers;
    std::vector<Node> m_nodes;
};

QList<QPointF> interestingPoints(const QList<QRectF> &obstacles, const SearchEnds &ends, double margin)
{
    QList<QPointF> points{ends.fromStub, ends.toStub};
    for (const QRectF &o : obstacles) {
        const QRectF r = o.adjusted(-margin, -margin, margin, margin);
        points << r.topLeft() << r.topRight() << r.bottomLeft() << r.bottomRight();
    }
    return points;
}

struct State
{
    double estimate = 0; // cost so far plus the distance still to go
    double cost = 0;
    int id = 0; // node * 4 + direction of arrival

    friend bool operator>(const State &a, const State &b)
    {
        if (a.estimate != b.estimate)
            return a.estimate > b.estimate;
        return a.id > b.id;
    }
};

// The cheapest path of nodes from start to goal; empty when none leads there.
std::vector<int> cheapestPath(const VisibilityGraph &graph, int start, int goal, const SearchEnds &ends,
                              double bendCost)
{
    const std::vector<Node> &nodes = graph.nodes();
    const QPointF target = nodes[goal].at;
    const Direction leaving = outwardOf(ends.fromSide);
    const Direction entering = opposite(outwardOf(ends.toSide));
    // Length still to go plus a bend for every way of moving the path must still take
    // besides the one it moves in: never more than the real cost, so the search stays exact
    // while it looks at far fewer states.
    const auto remaining = [&](int node, int moving) {
        const QPointF d = target - nodes[node].at;
        unsigned ways = (1u << moving) | (1u << entering);
        if (d.x() > 0)
            ways |= 1u << East;
        else if (d.x() < 0)
            ways |= 1u << West;
        if (d.y() > 0)
            ways |= 1u << South;
        else if (d.y() < 0)
            ways |= 1u << North;
        int count = 0;
        for (; ways; ways &= ways - 1)
            ++count;
        return std::abs(d.x()) + std::abs(d.y()) + (count - 1) * bendCost;
    };

    std::vector<double> best(nodes.size() * DirectionCount, std::numeric_limits<double>::infinity());
    std::vector<int> parent(best.size(), -1);
    std::priority_queue<State, std::vector<State>, std::greater<State>> open;
    const int first = start * DirectionCount + leaving;
    best[first] = 0;
    open.push({remaining(start, leaving), 0, first});

    double bestTotal = std::numeric_limits<double>::infinity();
    int bestEnd = -1;
    while (!open.empty()) {
        const State s = open.top();
        open.pop();
        if (s.estimate >= bestTotal)
            break;
        if (s.cost > best[s.id])
            continue;
        const int node = s.id / DirectionCount;
        const int arrived = s.id % DirectionCount;
        // Arriving at the goal moving outward from the box would turn straight back.
        if (node == goal && arrived != outwardOf(ends.toSide)) {
            const double total = s.cost + (arrived == entering ? 0 : bendCost);
            if (total < bestTotal) {
                bestTotal = total;
                bestEnd = s.id;
            }
        }
        for (int d = 0; d < DirectionCount; ++d) {
            const int next = nodes[node].next[d];
            if (next < 0 || d == opposite(arrived))
                continue;
            const QPointF step = nodes[next].at - nodes[node].at;
            const double cost = s.cost + std::abs(step.x()) + std::abs(step.y()) + (d == arrived ? 0 : bendCost);
            const int id = next * DirectionCount + d;
            if (cost < best[id]) {
                best[id] = cost;
                parent[id] = s.id;
                open.push({cost + remaining(next, d), cost, id});
            }
        }
    }
    std::vector<int> path;
    for (int id = bestEnd; id >= 0; id = parent[id])
        path.push_back(id / DirectionCount);
    std::reverse(path.begin(), path.end());
    return path;
}

} // namespace

Route searchOrthogonalRoute(const SearchEnds &ends, const QList<QRectF> &obstacles, const QRectF &area,
                            const SearchCosts &costs)
{
    const VisibilityGraph graph(obstacles, area, interestingPoints(obstacles, ends, costs.margin));
    const int start = graph.nodeAt(ends.fromStub);
    const int goal = graph.nodeAt(ends.toStub);
    if (start < 0 || goal < 0)
        return {};
    const std::vector<int> path = cheapestPath(graph, start, goal, ends, costs.bendCost);
    if (path.empty())
        return {};
    Route route{ends.fromAnchor};
    for (int node : path)
        route.append(graph.nodes()[node].at);
    route.append(ends.toAnchor);
    return removeCollinearPoints(route);
}

} // namespace routing
