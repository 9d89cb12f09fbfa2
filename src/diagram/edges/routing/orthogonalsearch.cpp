#include "orthogonalsearch.h"

#include "routescoring.h"
#include "unionfind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace routing {

namespace {

// How many states a search takes from its queue between two calls of the pause.
constexpr unsigned PauseEvery = 2048;

thread_local std::function<void()> pauseHook;
thread_local bool pausing = false;

void pauseIfAsked()
{
    if (!pauseHook || pausing)
        return;
    pausing = true;
    // Cleared again however the pause ends.
    struct Resume
    {
        ~Resume() { pausing = false; }
    } resume;
    pauseHook();
}

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

// Whether a coordinate of a node is that of the point looked for; a plain distance test,
// cheaper than the fuzzy comparison.
bool nearlyAt(double at, double p)
{
    return std::abs(at - p) <= 1e-9 * (1 + std::abs(p));
}

// The graph's nodes lie where a line across meets a line up and down, and its steps run
// along the lines: two stubs that no chain of crossing lines joins have no path between
// them. A flood over the lines from both stubs finds that out once the side shut in a
// pocket runs dry, long before a search from the other side has looked at every state
// outside. Lines are taken in sorted order, so the answer is the same every time.
class StubFlood
{
public:
    enum Outcome { Joined, WalledOff, Unknown };

    StubFlood(const std::vector<Line> &across, const std::vector<Line> &upDown)
        : m_across(across)
        , m_upDown(upDown)
        , m_side(across.size() + upDown.size(), 0)
    {
    }

    // Unknown when telling would take more than budget line tests: the search then decides.
    Outcome run(const QPointF &from, const QPointF &to, std::size_t budget)
    {
        m_budget = budget;
        if (seed(from, 0) || seed(to, 1))
            return Joined;
        std::array<std::size_t, 2> head{0, 0};
        for (;;) {
            if (head[0] == m_queue[0].size() || head[1] == m_queue[1].size())
                return WalledOff;
            // The side that has reached fewer lines spreads: a pocket runs dry after its own
            // few short lines, while the lines outside, long and crossing many, wait.
            const int side = m_queue[1].size() < m_queue[0].size() ? 1 : 0;
            const Outcome outcome = spread(m_queue[side][head[side]++], side);
            if (outcome != WalledOff)
                return outcome;
        }
    }

private:
    // Marks the line for side; true when the other side has reached it already.
    bool reach(std::size_t line, int side)
    {
        const std::uint8_t mark = std::uint8_t(side + 1);
        if (m_side[line] == 0) {
            m_side[line] = mark;
            m_queue[side].push_back(line);
            return false;
        }
        return m_side[line] != mark;
    }

    // Every line a node at p could lie on: the lines that pass within the distance at which
    // the graph takes a node for p.
    bool seed(const QPointF &p, int side)
    {
        const double slackX = 1e-9 * (1 + std::abs(p.x()));
        const double slackY = 1e-9 * (1 + std::abs(p.y()));
        const auto atLeast = [](const Line &l, double at) { return l.at < at; };
        for (auto it = std::lower_bound(m_across.cbegin(), m_across.cend(), p.y() - slackY, atLeast);
             it != m_across.cend() && it->at <= p.y() + slackY; ++it) {
            if (nearlyAt(it->at, p.y()) && it->low <= p.x() + slackX && p.x() - slackX <= it->high
                && reach(std::size_t(it - m_across.cbegin()), side))
                return true;
        }
        for (auto it = std::lower_bound(m_upDown.cbegin(), m_upDown.cend(), p.x() - slackX, atLeast);
             it != m_upDown.cend() && it->at <= p.x() + slackX; ++it) {
            if (nearlyAt(it->at, p.x()) && it->low <= p.y() + slackY && p.y() - slackY <= it->high
                && reach(m_across.size() + std::size_t(it - m_upDown.cbegin()), side))
                return true;
        }
        return false;
    }

    // Reaches the lines crossing line, the way the graph joins them; WalledOff stands for
    // nothing found yet.
    Outcome spread(std::size_t line, int side)
    {
        const bool isAcross = line < m_across.size();
        const Line &l = isAcross ? m_across[line] : m_upDown[line - m_across.size()];
        const std::vector<Line> &others = isAcross ? m_upDown : m_across;
        const std::size_t offset = isAcross ? m_across.size() : 0;
        const auto first = std::lower_bound(others.cbegin(), others.cend(), l.low,
                                            [](const Line &o, double at) { return o.at < at; });
        for (auto it = first; it != others.cend() && it->at <= l.high; ++it) {
            if (m_budget == 0)
                return Unknown;
            --m_budget;
            if (it->low <= l.at && l.at <= it->high && reach(offset + std::size_t(it - others.cbegin()), side))
                return Joined;
        }
        return WalledOff;
    }

    const std::vector<Line> &m_across;
    const std::vector<Line> &m_upDown;
    std::vector<std::uint8_t> m_side; // 0 unreached, else 1 + the side that reached it
    std::array<std::vector<std::size_t>, 2> m_queue;
    std::size_t m_budget = 0;
};

// QRectF::contains, edges included, written out so that the test over every blocker of a
// search costs no call.
inline bool containsPoint(const QRectF &r, const QPointF &p)
{
    double l = r.x();
    double right = r.x();
    if (r.width() < 0)
        l += r.width();
    else
        right += r.width();
    if (l == right || p.x() < l || p.x() > right)
        return false;
    double t = r.y();
    double b = r.y();
    if (r.height() < 0)
        t += r.height();
    else
        b += r.height();
    return t != b && !(p.y() < t || p.y() > b);
}

// Numbers of blockers, as a band holds them.
struct BlockerList
{
    const int *first = nullptr;
    const int *last = nullptr;

    const int *begin() const { return first; }
    const int *end() const { return last; }
};

BlockerList listOf(const std::vector<int> &blockers)
{
    return {blockers.data(), blockers.data() + blockers.size()};
}

// Blockers by horizontal band and by vertical band of the area, so that a line looks only
// at the blockers across its own band. The bands lie one after the other in one array: a
// search among many boxes makes thousands of bands, which as arrays of their own cost more
// to make than to look through.
class BlockerBands
{
public:
    BlockerBands(const std::vector<QRectF> &blockers, double from, double extent, bool across)
        : m_from(from)
    {
        m_band = std::max(MinBand, extent / MaxBands);
        m_count = int(extent / m_band) + 1;
        m_starts.assign(std::size_t(m_count) + 1, 0);
        const auto eachBand = [&](auto take) {
            for (std::size_t i = 0; i < blockers.size(); ++i) {
                const QRectF &b = blockers[i];
                const double low = across ? b.top() : b.left();
                const double high = across ? b.bottom() : b.right();
                if (!(high >= low))
                    continue; // not finite
                for (int k = band(low); k <= band(high); ++k)
                    take(std::size_t(k), int(i));
            }
        };
        eachBand([&](std::size_t k, int) { ++m_starts[k + 1]; });
        for (std::size_t k = 1; k < m_starts.size(); ++k)
            m_starts[k] += m_starts[k - 1];
        m_blockers.resize(std::size_t(m_starts.back()));
        std::vector<int> next(m_starts.cbegin(), m_starts.cend() - 1);
        eachBand([&](std::size_t k, int i) { m_blockers[std::size_t(next[k]++)] = i; });
    }

    // The blockers whose band holds the coordinate at (y for bands across, x for bands up
    // and down).
    BlockerList at(double at) const
    {
        const std::size_t k = std::size_t(band(at));
        return {m_blockers.data() + m_starts[k], m_blockers.data() + m_starts[k + 1]};
    }

private:
    static constexpr double MinBand = 32;
    static constexpr double MaxBands = 4096;

    int band(double at) const { return int(std::clamp((at - m_from) / m_band, 0.0, double(m_count - 1))); }

    double m_from = 0;
    double m_band = MinBand;
    int m_count = 1;
    std::vector<int> m_starts;   // where each band begins in m_blockers, and the end
    std::vector<int> m_blockers; // the numbers of the blockers of every band in turn
};

// Obstacle lists at least this long have their corner lines kept for later searches; the
// threads of a load share the sets, and the nearer tries of each push in between.
constexpr qsizetype KeepFrom = 64;
constexpr std::size_t KeptSets = 32;
// Line tests a flood between the stubs may take per line before it leaves the question to
// the search: about what joining the lines into the graph costs.
constexpr std::size_t FloodBudgetPerLine = 64;

bool isFinite(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Exactly, not within QRectF's tolerance: the lines must be the very same.
bool sameRect(const QRectF &a, const QRectF &b)
{
    return a.x() == b.x() && a.y() == b.y() && a.width() == b.width() && a.height() == b.height();
}

bool rectBefore(const QRectF &a, const QRectF &b)
{
    if (a.x() != b.x())
        return a.x() < b.x();
    if (a.y() != b.y())
        return a.y() < b.y();
    if (a.width() != b.width())
        return a.width() < b.width();
    return a.height() < b.height();
}

// Whether a line across and a line up and down meet, as the graph joins them.
bool crossing(const Line &across, const Line &upDown)
{
    return across.low <= upDown.at && upDown.at <= across.high && upDown.low <= across.at
        && across.at <= upDown.high;
}

// The lines of others whose coordinate lies within [low, high], others sorted.
std::pair<std::vector<Line>::const_iterator, std::vector<Line>::const_iterator>
linesAt(const std::vector<Line> &others, double low, double high)
{
    const auto first = std::lower_bound(others.cbegin(), others.cend(), low,
                                        [](const Line &o, double at) { return o.at < at; });
    auto last = first;
    while (last != others.cend() && last->at <= high)
        ++last;
    return {first, last};
}

// Which lines a chain of crossings joins; each line a number.
using LineGroups = UnionFind;

struct CornerLines
{
    CornerLines() = default;
    CornerLines(CornerLines &&other) noexcept
        : across(std::move(other.across))
        , upDown(std::move(other.upDown))
    {
    }

    std::vector<Line> across;
    std::vector<Line> upDown;

    // For every line (across first, then up and down), the first line of those a chain of
    // crossings joins it to; worked out once, by the first search that asks.
    const std::vector<int> &groups() const
    {
        std::call_once(m_grouped, [this] { groupLines(); });
        return m_group;
    }

private:
    void groupLines() const
    {
        LineGroups groups(across.size() + upDown.size());
        for (std::size_t i = 0; i < across.size(); ++i) {
            const Line &h = across[i];
            const auto [first, last] = linesAt(upDown, h.low, h.high);
            for (auto it = first; it != last; ++it) {
                if (crossing(h, *it))
                    groups.join(int(i), int(across.size() + std::size_t(it - upDown.cbegin())));
            }
        }
        m_group.resize(across.size() + upDown.size());
        for (std::size_t i = 0; i < m_group.size(); ++i)
            m_group[i] = groups.find(int(i));
    }

    mutable std::once_flag m_grouped;
    mutable std::vector<int> m_group;
};

// Whether the lines of a kept set with the stubs' own lines added join the two stubs,
// exactly as a flood over all of them tells it, from the set's groups: only the stubs'
// lines must be joined afresh.
class StubJoin
{
public:
    StubJoin(const CornerLines &lines, const std::vector<Line> &stubAcross, const std::vector<Line> &stubUpDown)
        : m_lines(lines)
    {
        const int count = int(lines.across.size() + lines.upDown.size());
        for (const Line &l : stubAcross)
            m_across.push_back({l, keyOf(l, lines.across, 0, count + int(m_across.size()))});
        for (const Line &l : stubUpDown)
            m_upDown.push_back(
                {l, keyOf(l, lines.upDown, int(lines.across.size()), count + 2 + int(m_upDown.size()))});
        for (const Stub &s : m_across) {
            const auto [first, last] = linesAt(lines.upDown, s.line.low, s.line.high);
            for (auto it = first; it != last; ++it) {
                if (crossing(s.line, *it))
                    m_links.push_back({s.key, lines.groups()[lines.across.size() + std::size_t(it - lines.upDown.cbegin())]});
            }
            for (const Stub &t : m_upDown) {
                if (crossing(s.line, t.line))
                    m_links.push_back({s.key, t.key});
            }
        }
        for (const Stub &s : m_upDown) {
            const auto [first, last] = linesAt(lines.across, s.line.low, s.line.high);
            for (auto it = first; it != last; ++it) {
                if (crossing(*it, s.line))
                    m_links.push_back({s.key, lines.groups()[std::size_t(it - lines.across.cbegin())]});
            }
        }
    }

    bool joins(const QPointF &from, const QPointF &to)
    {
        const std::vector<int> fromKeys = seeds(from);
        const std::vector<int> toKeys = seeds(to);
        if (fromKeys.empty() || toKeys.empty())
            return false;
        std::vector<int> keys;
        for (const auto &[a, b] : m_links) {
            keys.push_back(a);
            keys.push_back(b);
        }
        keys.insert(keys.end(), fromKeys.cbegin(), fromKeys.cend());
        keys.insert(keys.end(), toKeys.cbegin(), toKeys.cend());
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        const auto index = [&](int key) {
            return int(std::lower_bound(keys.cbegin(), keys.cend(), key) - keys.cbegin());
        };
        LineGroups groups(keys.size());
        for (const auto &[a, b] : m_links)
            groups.join(index(a), index(b));
        for (int f : fromKeys) {
            for (int t : toKeys) {
                if (groups.find(index(f)) == groups.find(index(t)))
                    return true;
            }
        }
        return false;
    }

private:
    struct Stub
    {
        Line line;
        int key; // the group of the same line of the set, else a number of its own
    };

    // A stub's line that is a line of the set already stands for that line's group.
    int keyOf(const Line &line, const std::vector<Line> &lines, int offset, int own) const
    {
        const auto it = std::lower_bound(lines.cbegin(), lines.cend(), line);
        if (it != lines.cend() && *it == line)
            return m_lines.groups()[std::size_t(offset) + std::size_t(it - lines.cbegin())];
        for (const std::vector<Stub> *stubs : {&m_across, &m_upDown}) {
            for (const Stub &s : *stubs) {
                if (s.line == line && (stubs == &m_across) == (offset == 0))
                    return s.key;
            }
        }
        return own;
    }

    // The keys of every line a node at p could lie on, as the flood seeds them.
    std::vector<int> seeds(const QPointF &p) const
    {
        const double slackX = 1e-9 * (1 + std::abs(p.x()));
        const double slackY = 1e-9 * (1 + std::abs(p.y()));
        const auto onAcross = [&](const Line &l) {
            return nearlyAt(l.at, p.y()) && l.low <= p.x() + slackX && p.x() - slackX <= l.high;
        };
        const auto onUpDown = [&](const Line &l) {
            return nearlyAt(l.at, p.x()) && l.low <= p.y() + slackY && p.y() - slackY <= l.high;
        };
        std::vector<int> keys;
        const auto [af, al] = linesAt(m_lines.across, p.y() - slackY, p.y() + slackY);
        for (auto it = af; it != al; ++it) {
            if (onAcross(*it))
                keys.push_back(m_lines.groups()[std::size_t(it - m_lines.across.cbegin())]);
        }
        const auto [uf, ul] = linesAt(m_lines.upDown, p.x() - slackX, p.x() + slackX);
        for (auto it = uf; it != ul; ++it) {
            if (onUpDown(*it))
                keys.push_back(m_lines.groups()[m_lines.across.size() + std::size_t(it - m_lines.upDown.cbegin())]);
        }
        for (const Stub &s : m_across) {
            if (onAcross(s.line))
                keys.push_back(s.key);
        }
        for (const Stub &s : m_upDown) {
            if (onUpDown(s.line))
                keys.push_back(s.key);
        }
        return keys;
    }

    const CornerLines &m_lines;
    std::vector<Stub> m_across;
    std::vector<Stub> m_upDown;
    std::vector<std::pair<int, int>> m_links;
};

// The node array of a graph, kept by each thread for its next graph: one among many boxes
// holds megabytes, which grown afresh on a worker thread would come back from the system as
// fresh pages at every search.
thread_local std::vector<Node> keptNodes;


// The corner line sets of the last few searches among many boxes, shared by every thread:
// lines of a load may search one wide area, and the threads routing them wait for the one
// set one of them makes instead of each making its own.
class KeptCornerLines
{
public:
    using Lines = std::shared_ptr<const CornerLines>;

    // The set kept for the area, margin and obstacles (sorted by rectBefore); else the one
    // make gives, kept for the next searches. kept tells whether the set was there already.
    Lines find(const QRectF &area, double margin, std::vector<QRectF> &&obstacles,
               const std::function<CornerLines()> &make, bool &kept)
    {
        std::promise<Lines> made;
        std::shared_future<Lines> found;
        quint64 mine = 0;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            for (auto it = m_kept.begin(); it != m_kept.end(); ++it) {
                if (sameRect(it->area, area) && it->margin == margin
                    && std::equal(obstacles.cbegin(), obstacles.cend(), it->obstacles.cbegin(), it->obstacles.cend(),
                                  sameRect)) {
                    found = it->lines;
                    std::rotate(m_kept.begin(), it, it + 1);
                    break;
                }
            }
            if (!found.valid()) {
                mine = ++m_made;
                m_kept.push_front({area, margin, std::move(obstacles), made.get_future().share(), mine});
                if (m_kept.size() > KeptSets)
                    m_kept.pop_back();
            }
        }
        // Made by another thread, perhaps still being made.
        kept = found.valid();
        if (kept)
            return found.get();
        try {
            Lines lines = std::make_shared<const CornerLines>(make());
            made.set_value(lines);
            return lines;
        } catch (...) {
            // Those waiting meanwhile fail as this search does; later ones make the set anew.
            made.set_exception(std::current_exception());
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_kept.erase(std::remove_if(m_kept.begin(), m_kept.end(),
                                        [mine](const Entry &entry) { return entry.serial == mine; }),
                         m_kept.end());
            throw;
        }
    }

private:
    struct Entry
    {
        QRectF area;
        double margin = 0;
        std::vector<QRectF> obstacles;
        std::shared_future<Lines> lines;
        quint64 serial = 0;
    };

    std::mutex m_mutex;
    std::deque<Entry> m_kept; // the most recently used first
    quint64 m_made = 0;
};

KeptCornerLines &keptCornerLines()
{
    static KeptCornerLines kept;
    return kept;
}

class VisibilityGraph
{
public:
    VisibilityGraph(const QList<QRectF> &obstacles, const QRectF &area, const SearchEnds &ends, double margin)
        : m_area(area)
        , m_nodes(std::exchange(keptNodes, {}))
    {
        m_nodes.clear();
        m_blockers.reserve(obstacles.size());
        for (const QRectF &o : obstacles)
            m_blockers.push_back(blockerOf(o));
        std::vector<Line> across;
        std::vector<Line> upDown;
        bool reused = false;
        const KeptCornerLines::Lines kept = cornerLines(obstacles, margin, across, upDown, reused);
        std::vector<int> all(m_blockers.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = int(i);
        std::vector<Line> stubAcross;
        std::vector<Line> stubUpDown;
        for (const QPointF &p : {ends.fromStub, ends.toStub}) {
            if (!area.contains(p) || isBlocked(p, listOf(all)))
                continue;
            stubAcross.push_back(reachAcross(p, listOf(all)));
            stubUpDown.push_back(reachUpDown(p, listOf(all)));
        }
        // Lines out of order (a coordinate not finite) cannot be looked up.
        const bool ordered = isFinite(area) && isFinite(QRectF(ends.fromStub, ends.toStub))
            && std::all_of(obstacles.cbegin(), obstacles.cend(), isFinite);
        // A set asked for again is grouped once: every later search over it tells a
        // walled-off stub from the groups, without a flood, and copies no line for it.
        const bool grouped = ordered && kept && reused;
        if (grouped) {
            m_walledOff = !StubJoin(*kept, stubAcross, stubUpDown).joins(ends.fromStub, ends.toStub);
            if (m_walledOff)
                return;
        }
        if (kept) {
            across = kept->across;
            upDown = kept->upDown;
        }
        for (const Line &l : stubAcross)
            insertUnique(across, l);
        for (const Line &l : stubUpDown)
            insertUnique(upDown, l);
        if (ordered && !grouped) {
            StubFlood flood(across, upDown);
            m_walledOff = flood.run(ends.fromStub, ends.toStub, FloodBudgetPerLine * (across.size() + upDown.size()))
                == StubFlood::WalledOff;
            if (m_walledOff)
                return;
        }
        connect(across, upDown);
    }

    ~VisibilityGraph()
    {
        // Taken, not shared: a search started from inside the pause makes a graph of its own.
        if (m_nodes.capacity() > keptNodes.capacity())
            keptNodes = std::move(m_nodes);
    }
    VisibilityGraph(const VisibilityGraph &) = delete;
    VisibilityGraph &operator=(const VisibilityGraph &) = delete;

    const std::vector<Node> &nodes() const { return m_nodes; }

    // No chain of lines joins the two stubs; the graph then has no nodes.
    bool walledOff() const { return m_walledOff; }

    // The node at p; -1 when p is no node.
    int nodeAt(const QPointF &p) const
    {
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            const QPointF &at = m_nodes[i].at;
            if (nearlyAt(at.x(), p.x()) && nearlyAt(at.y(), p.y()) && at == p)
                return int(i);
        }
        return -1;
    }

private:
    // The lines from the corners of the obstacles grown by margin, sorted, each once. The
    // search around many boxes runs again and again over the same boxes and area (every
    // line of a load or an import that finds no way nearby), so the last few such sets are
    // kept, between the nearer tries of other lines. A kept set is handed back as it is,
    // reused telling whether an earlier search kept it; other sets go into across and upDown.
    KeptCornerLines::Lines cornerLines(const QList<QRectF> &obstacles, double margin, std::vector<Line> &across,
                                       std::vector<Line> &upDown, bool &reused) const
    {
        reused = false;
        const bool keep = obstacles.size() >= KeepFrom && std::all_of(obstacles.cbegin(), obstacles.cend(), isFinite);
        if (!keep) {
            makeCornerLines(obstacles, margin, across, upDown);
            return {};
        }
        std::vector<QRectF> sorted(obstacles.cbegin(), obstacles.cend());
        std::sort(sorted.begin(), sorted.end(), rectBefore);
        return keptCornerLines().find(
            m_area, margin, std::move(sorted),
            [&] {
                CornerLines made;
                makeCornerLines(obstacles, margin, made.across, made.upDown);
                return made;
            },
            reused);
    }

    void makeCornerLines(const QList<QRectF> &obstacles, double margin, std::vector<Line> &across,
                         std::vector<Line> &upDown) const
    {
        const BlockerBands rows(m_blockers, m_area.top(), m_area.height(), true);
        const BlockerBands columns(m_blockers, m_area.left(), m_area.width(), false);
        for (const QRectF &o : obstacles) {
            const QRectF r = o.adjusted(-margin, -margin, margin, margin);
            for (const QPointF &p : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()}) {
                if (!m_area.contains(p) || isBlocked(p, rows.at(p.y())))
                    continue;
                across.push_back(reachAcross(p, rows.at(p.y())));
                upDown.push_back(reachUpDown(p, columns.at(p.x())));
            }
        }
        unique(across);
        unique(upDown);
    }

    bool isBlocked(const QPointF &p, BlockerList near) const
    {
        return std::any_of(near.begin(), near.end(), [&](int i) { return containsPoint(m_blockers[i], p); });
    }

    // From p across as far as the blockers among near let it run.
    Line reachAcross(const QPointF &p, BlockerList near) const
    {
        Line line{p.y(), m_area.left(), m_area.right()};
        for (int i : near) {
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

    Line reachUpDown(const QPointF &p, BlockerList near) const
    {
        Line line{p.x(), m_area.top(), m_area.bottom()};
        for (int i : near) {
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

    static void insertUnique(std::vector<Line> &lines, const Line &line)
    {
        const auto it = std::lower_bound(lines.begin(), lines.end(), line);
        if (it == lines.end() || !(*it == line))
            lines.insert(it, line);
    }

    static void unique(std::vector<Line> &lines)
    {
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    }

    // One node where a horizontal and a vertical line cross; each joined to the next
    // node along both its lines. The lines across are taken top down while the lines up
    // and down that span their height are marked in a bit set, so each crossing costs a
    // bit found and no line is looked at that does not cross.
    void connect(const std::vector<Line> &across, const std::vector<Line> &upDown)
    {
        const std::size_t count = upDown.size();
        std::vector<int> byLow(count);
        std::vector<int> byHigh(count);
        for (std::size_t i = 0; i < count; ++i)
            byLow[i] = byHigh[i] = int(i);
        std::sort(byLow.begin(), byLow.end(), [&](int a, int b) { return upDown[a].low < upDown[b].low; });
        std::sort(byHigh.begin(), byHigh.end(), [&](int a, int b) { return upDown[a].high < upDown[b].high; });
        std::vector<std::uint64_t> spanning((count + 63) / 64, 0);
        // The last node made on each line up and down, the one above the next.
        std::vector<int> above(count, -1);
        std::size_t opened = 0;
        std::size_t closed = 0;
        for (const Line &h : across) {
            for (; opened < count && upDown[byLow[opened]].low <= h.at; ++opened)
                spanning[std::size_t(byLow[opened]) / 64] |= std::uint64_t(1) << (byLow[opened] % 64);
            for (; closed < count && upDown[byHigh[closed]].high < h.at; ++closed)
                spanning[std::size_t(byHigh[closed]) / 64] &= ~(std::uint64_t(1) << (byHigh[closed] % 64));
            const std::size_t first = std::size_t(
                std::lower_bound(upDown.cbegin(), upDown.cend(), h.low, [](const Line &v, double x) { return v.at < x; })
                - upDown.cbegin());
            const std::size_t last = std::size_t(
                std::upper_bound(upDown.cbegin(), upDown.cend(), h.high, [](double x, const Line &v) { return x < v.at; })
                - upDown.cbegin());
            int previous = -1;
            for (std::size_t word = first / 64; word * 64 < last; ++word) {
                std::uint64_t bits = spanning[word];
                if (word == first / 64)
                    bits &= ~std::uint64_t(0) << (first % 64);
                if ((word + 1) * 64 > last)
                    bits &= ~std::uint64_t(0) >> (63 - (last - 1) % 64);
                for (; bits; bits &= bits - 1) {
                    const std::size_t v = word * 64 + std::size_t(__builtin_ctzll(bits));
                    const int id = int(m_nodes.size());
                    m_nodes.push_back({QPointF(upDown[v].at, h.at)});
                    if (previous >= 0) {
                        m_nodes[previous].next[East] = id;
                        m_nodes[id].next[West] = previous;
                    }
                    if (above[v] >= 0) {
                        m_nodes[above[v]].next[South] = id;
                        m_nodes[id].next[North] = above[v];
                    }
                    previous = id;
                    above[v] = id;
                }
            }
        }
    }

    QRectF m_area;
    std::vector<QRectF> m_blockers;
    std::vector<Node> m_nodes;
    bool m_walledOff = false;
};

// The cost so far is not kept: the search reads it from its best costs, and tells an entry
// left behind by a cheaper one by its estimate. Two thirds the size keeps more of the heap
// in the cache.
struct State
{
    double estimate = 0; // cost so far plus the distance still to go
    int id = 0;          // node * 4 + direction of arrival

    friend bool operator<(const State &a, const State &b)
    {
        if (a.estimate != b.estimate)
            return a.estimate < b.estimate;
        return a.id < b.id;
    }
};

// The states still to look at, least first: a heap of four children per parent, which
// takes fewer levels and cache lines than a binary one for the same order.
class OpenStates
{
public:
    // Takes storage's room, emptied, for its heap.
    explicit OpenStates(std::vector<State> &&storage)
        : m_heap(std::move(storage))
    {
        m_heap.clear();
    }
    // The heap's room, for the next search.
    std::vector<State> release() { return std::move(m_heap); }

    bool empty() const { return m_heap.empty(); }

    void push(const State &state)
    {
        std::size_t at = m_heap.size();
        m_heap.push_back(state);
        while (at > 0) {
            const std::size_t up = (at - 1) / Arity;
            if (!(state < m_heap[up]))
                break;
            m_heap[at] = m_heap[up];
            at = up;
        }
        m_heap[at] = state;
    }

    State pop()
    {
        const State least = m_heap.front();
        const State last = m_heap.back();
        m_heap.pop_back();
        const std::size_t size = m_heap.size();
        if (size == 0)
            return least;
        std::size_t at = 0;
        for (;;) {
            const std::size_t first = at * Arity + 1;
            if (first >= size)
                break;
            std::size_t smallest = first;
            const std::size_t end = std::min(first + Arity, size);
            for (std::size_t c = first + 1; c < end; ++c) {
                if (m_heap[c] < m_heap[smallest])
                    smallest = c;
            }
            if (!(m_heap[smallest] < last))
                break;
            m_heap[at] = m_heap[smallest];
            at = smallest;
        }
        m_heap[at] = last;
        return least;
    }

private:
    static constexpr std::size_t Arity = 4;
    std::vector<State> m_heap;
};

// The arrays of a search, kept by each thread for its next one: a search among many boxes
// fills arrays of megabytes, which freed and taken again would come back from the system
// as fresh pages, one fault each, for every search.
struct SearchArrays
{
    std::vector<double> best;
    std::vector<double> stepCosts;
    std::vector<int> parent;
    std::vector<State> open;
};
thread_local SearchArrays keptArrays;

// The cheapest path of nodes from start to goal; empty when none leads there.
std::vector<int> cheapestPath(const VisibilityGraph &graph, int start, int goal, const SearchEnds &ends,
                              const SearchCosts &costs, const DrawnLines *drawn, int own)
{
    const double bendCost = costs.bendCost;
    // With lines to steer clear of, the exact search of a large graph would look at every
    // way that crosses fewer of them; weighing the distance still to go more makes it
    // settle for a way close to the cheapest in a fraction of the time.
    const double greed = drawn && graph.nodes().size() > costs.exactUpTo ? costs.greed : 1.0;
    const auto stepCost = [&](const QPointF &a, const QPointF &b) {
        double cost = std::abs(b.x() - a.x()) + std::abs(b.y() - a.y());
        if (drawn) {
            int crossings = 0;
            double shared = 0;
            drawn->measureStep(a, b, own, crossings, shared);
            cost += crossings * costs.crossingCost + shared * costs.sharingCost;
        }
        return cost;
    };
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
        return greed * (std::abs(d.x()) + std::abs(d.y()) + (count - 1) * bendCost);
    };

    // Taken, not shared: a search started from inside the pause makes arrays of its own.
    SearchArrays arrays = std::exchange(keptArrays, {});
    std::vector<double> &best = arrays.best;
    best.assign(nodes.size() * DirectionCount, std::numeric_limits<double>::infinity());
    // With lines to weigh, each step weighed once, however many ways of arriving at its
    // start the search tries.
    std::vector<double> &stepCosts = arrays.stepCosts;
    stepCosts.assign(drawn ? best.size() : 0, -1);
    std::vector<int> &parent = arrays.parent;
    parent.assign(best.size(), -1);
    OpenStates open(std::move(arrays.open));
    const int first = start * DirectionCount + leaving;
    best[first] = 0;
    open.push({remaining(start, leaving), first});

    double bestTotal = std::numeric_limits<double>::infinity();
    int bestEnd = -1;
    unsigned taken = 0;
    while (!open.empty()) {
        if (++taken % PauseEvery == 0)
            pauseIfAsked();
        const State s = open.pop();
        if (s.estimate >= bestTotal)
            break;
        const int node = s.id / DirectionCount;
        const int arrived = s.id % DirectionCount;
        // An entry whose state was reached more cheaply since. One costing so little more
        // that its estimate is the same is taken right beside the cheaper one and adds
        // nothing.
        const double reached = best[s.id];
        if (s.estimate > reached + remaining(node, arrived))
            continue;
        // Arriving at the goal moving outward from the box would turn straight back.
        if (node == goal && arrived != outwardOf(ends.toSide)) {
            const double total = reached + (arrived == entering ? 0 : bendCost);
            if (total < bestTotal) {
                bestTotal = total;
                bestEnd = s.id;
            }
        }
        for (int d = 0; d < DirectionCount; ++d) {
            const int next = nodes[node].next[d];
            if (next < 0 || d == opposite(arrived))
                continue;
            double step = 0;
            if (drawn) {
                double &known = stepCosts[std::size_t(node) * DirectionCount + d];
                if (known < 0)
                    known = stepCost(nodes[node].at, nodes[next].at);
                step = known;
            } else {
                step = stepCost(nodes[node].at, nodes[next].at);
            }
            const double cost = reached + step + (d == arrived ? 0 : bendCost);
            const int id = next * DirectionCount + d;
            if (cost < best[id]) {
                best[id] = cost;
                parent[id] = s.id;
                open.push({cost + remaining(next, d), id});
            }
        }
    }
    std::vector<int> path;
    for (int id = bestEnd; id >= 0; id = parent[id])
        path.push_back(id / DirectionCount);
    std::reverse(path.begin(), path.end());
    arrays.open = open.release();
    keptArrays = std::move(arrays);
    return path;
}

} // namespace

namespace {

constexpr double DrawnCell = 64;
constexpr int MaxDrawnCells = 1 << 20;

} // namespace

DrawnLines::DrawnLines(const QList<Route> &routes)
    : m_routeLines(std::size_t(routes.size()))
{
    for (qsizetype r = 0; r < routes.size(); ++r)
        addLines(int(r), routes[r]);
    m_left = HUGE_VAL;
    m_top = HUGE_VAL;
    double right = -HUGE_VAL;
    double bottom = -HUGE_VAL;
    for (const std::vector<Line> *lines : {&m_horizontal, &m_vertical}) {
        const bool horizontal = lines == &m_horizontal;
        for (const Line &line : *lines) {
            const double x0 = horizontal ? line.low : line.at;
            const double x1 = horizontal ? line.high : line.at;
            const double y0 = horizontal ? line.at : line.low;
            const double y1 = horizontal ? line.at : line.high;
            m_left = std::min(m_left, x0);
            m_top = std::min(m_top, y0);
            right = std::max(right, x1);
            bottom = std::max(bottom, y1);
        }
    }
    if (m_horizontal.empty() && m_vertical.empty())
        return;
    // A drawing too large for the grid's cell count gets larger cells.
    double cell = DrawnCell;
    while ((right - m_left) / cell * ((bottom - m_top) / cell) > MaxDrawnCells)
        cell *= 2;
    m_cell = cell;
    m_columns = int((right - m_left) / cell) + 1;
    m_rows = int((bottom - m_top) / cell) + 1;
    m_horizontalCells.assign(std::size_t(m_columns) * m_rows, {});
    m_verticalCells.assign(std::size_t(m_columns) * m_rows, {});
    for (std::size_t i = 0; i < m_horizontal.size(); ++i)
        place(i, true);
    for (std::size_t i = 0; i < m_vertical.size(); ++i)
        place(i, false);
}

void DrawnLines::addLines(int route, const Route &points)
{
    for (qsizetype k = 0; k + 1 < points.size(); ++k) {
        const QPointF &p = points[k];
        const QPointF &q = points[k + 1];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()) || !std::isfinite(q.x()) || !std::isfinite(q.y()))
            continue;
        if (std::abs(p.y() - q.y()) < 0.5 && std::abs(p.x() - q.x()) >= 0.5) {
            m_routeLines[route].push_back(int(m_horizontal.size()));
            m_horizontal.push_back({p.y(), std::min(p.x(), q.x()), std::max(p.x(), q.x()), route});
        } else if (std::abs(p.x() - q.x()) < 0.5 && std::abs(p.y() - q.y()) >= 0.5) {
            m_routeLines[route].push_back(-1 - int(m_vertical.size()));
            m_vertical.push_back({p.x(), std::min(p.y(), q.y()), std::max(p.y(), q.y()), route});
        }
    }
}

void DrawnLines::place(std::size_t line, bool horizontal)
{
    const Line &l = horizontal ? m_horizontal[line] : m_vertical[line];
    std::vector<std::vector<int>> &cells = horizontal ? m_horizontalCells : m_verticalCells;
    if (horizontal) {
        const int y = row(l.at);
        for (int x = column(l.low); x <= column(l.high); ++x)
            cells[std::size_t(y) * m_columns + x].push_back(int(line));
    } else {
        const int x = column(l.at);
        for (int y = row(l.low); y <= row(l.high); ++y)
            cells[std::size_t(y) * m_columns + x].push_back(int(line));
    }
}

void DrawnLines::replaceRoute(int route, const Route &now)
{
    if (route < 0 || std::size_t(route) >= m_routeLines.size() || m_columns == 0)
        return;
    // A line taken out stays in its cells but lies nowhere: every test on it fails.
    for (int i : m_routeLines[route])
        (i >= 0 ? m_horizontal[std::size_t(i)] : m_vertical[std::size_t(-1 - i)]).at = std::nan("");
    m_routeLines[route].clear();
    addLines(route, now);
    for (int i : m_routeLines[route])
        place(std::size_t(i >= 0 ? i : -1 - i), i >= 0);
}

int DrawnLines::column(double x) const
{
    return int(std::clamp((x - m_left) / m_cell, 0.0, double(m_columns - 1)));
}

int DrawnLines::row(double y) const
{
    return int(std::clamp((y - m_top) / m_cell, 0.0, double(m_rows - 1)));
}

void DrawnLines::measureStep(const QPointF &a, const QPointF &b, int own, int &crossings, double &shared) const
{
    if (m_columns == 0)
        return;
    const bool horizontal = std::abs(a.y() - b.y()) < 0.5;
    const double at = horizontal ? a.y() : a.x();
    const double low = horizontal ? std::min(a.x(), b.x()) : std::min(a.y(), b.y());
    const double high = horizontal ? std::max(a.x(), b.x()) : std::max(a.y(), b.y());
    const std::vector<Line> &across = horizontal ? m_vertical : m_horizontal;
    const std::vector<Line> &parallel = horizontal ? m_horizontal : m_vertical;
    const auto &acrossCells = horizontal ? m_verticalCells : m_horizontalCells;
    const auto &parallelCells = horizontal ? m_horizontalCells : m_verticalCells;
    const auto alongCell = [&](double along) { return horizontal ? column(along) : row(along); };
    const auto acrossCell = [&](double value) { return horizontal ? row(value) : column(value); };

    // Each line is counted in one cell only: the one holding the crossing point, or the
    // start of the shared stretch.
    for (int k = alongCell(low); k <= alongCell(high); ++k) {
        const std::size_t cell = horizontal ? std::size_t(acrossCell(at)) * m_columns + k
                                            : std::size_t(k) * m_columns + acrossCell(at);
        for (int i : acrossCells[cell]) {
            const Line &line = across[i];
            if (line.route != own && line.at > low + 0.5 && line.at < high - 0.5 && line.low < at - 0.5
                && line.high > at + 0.5 && alongCell(line.at) == k)
                ++crossings;
        }
    }
    for (int c = acrossCell(at - 0.5); c <= acrossCell(at + 0.5); ++c) {
        for (int k = alongCell(low); k <= alongCell(high); ++k) {
            const std::size_t cell = horizontal ? std::size_t(c) * m_columns + k : std::size_t(k) * m_columns + c;
            for (int i : parallelCells[cell]) {
                const Line &line = parallel[i];
                const double from = std::max(low, line.low);
                const double to = std::min(high, line.high);
                if (line.route != own && std::abs(line.at - at) < 0.5 && to > from && acrossCell(line.at) == c
                    && alongCell(from) == k)
                    shared += to - from;
            }
        }
    }
}

SearchPause::SearchPause(std::function<void()> pause)
    : m_previous(std::exchange(pauseHook, std::move(pause)))
{
}

SearchPause::~SearchPause()
{
    pauseHook = std::move(m_previous);
}

Route searchOrthogonalRoute(const SearchEnds &ends, const QList<QRectF> &obstacles, const QRectF &area,
                            const SearchCosts &costs, const DrawnLines *drawn, int own)
{
    // A stub inside a box has no line through it: no graph is needed to tell.
    const auto inside = [](const QRectF &r, const QPointF &p) {
        return r.left() < p.x() && p.x() < r.right() && r.top() < p.y() && p.y() < r.bottom();
    };
    for (const QRectF &o : obstacles) {
        const QRectF blocker = blockerOf(o);
        if (inside(blocker, ends.fromStub) || inside(blocker, ends.toStub))
            return {};
    }
    const VisibilityGraph graph(obstacles, area, ends, costs.margin);
    if (graph.walledOff())
        return {};
    const int start = graph.nodeAt(ends.fromStub);
    const int goal = graph.nodeAt(ends.toStub);
    if (start < 0 || goal < 0)
        return {};
    const std::vector<int> path = cheapestPath(graph, start, goal, ends, costs, drawn, own);
    if (path.empty())
        return {};
    Route route{ends.fromAnchor};
    for (int node : path)
        route.append(graph.nodes()[node].at);
    route.append(ends.toAnchor);
    return removeCollinearPoints(route);
}

} // namespace routing
