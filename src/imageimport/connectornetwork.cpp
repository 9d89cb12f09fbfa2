// Splitting a traced connector into the lines it is made of: its ends are where it meets box
// borders, and each end's line is followed through the connector's thinned ink.
#include "connectornetwork.h"

#include "boxtouchindex.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// The ink of a line's end reaches this far from the border it meets.
constexpr int EndDepth = 4;
// Contacts with one box this close together are one end: the prongs of a crow's foot.
constexpr int EndMergeDistance = 12;
// A branch this short that ends in nothing is a marker's bar or a bump of the ink.
constexpr int SpurLength = 8;
// Junctions this close together are one: the thinned crossing of two thick lines.
constexpr int JunctionMergeLength = 4;
// The arcs of a circle marker between the junctions on it are at most this long.
constexpr int RingArcLength = 20;
// How far along a line its direction at a junction is measured.
constexpr int ArmSample = 12;
constexpr int ArmSkip = 2;
// Lines within about 30 degrees of the way one came in go straight on.
constexpr double StraightCosine = 0.85;
// Beyond these a connector is no drawing of lines (noise, a screenshot of a grid): it links
// every box it meets, as lines are not followed through it.
constexpr size_t MaxNetworkPixels = 2000000;
constexpr size_t MaxNetworkChains = 5000;
// A turn bending this much less than another is the way a rounded corner goes.
constexpr double TurnMargin = 0.3;
// Detours within this many pixels of each other are equal.
constexpr double DetourTolerance = 2.0;
// A line that meets one box at two places and gets this far from it loops back to it.
constexpr double SelfLoopReach = 18.0;

constexpr std::array<QPoint, 8> Ring = {QPoint(0, -1), QPoint(1, -1), QPoint(1, 0), QPoint(1, 1),
                                        QPoint(0, 1), QPoint(-1, 1), QPoint(-1, 0), QPoint(-1, -1)};

int contactSpread(const QRect &contact)
{
    return contact.isNull() ? 0 : std::max(contact.width(), contact.height());
}

QRect contactsOf(const TracedConnector &connector, int box)
{
    QRect rect;
    for (const auto &[pixel, touched] : connector.contacts) {
        if (touched == box)
            rect |= QRect(pixel, QSize(1, 1));
    }
    return rect;
}

std::vector<int> contactBoxes(const TracedConnector &connector)
{
    std::vector<int> boxes;
    for (const auto &contact : connector.contacts) {
        if (std::find(boxes.cbegin(), boxes.cend(), contact.second) == boxes.cend())
            boxes.push_back(contact.second);
    }
    return boxes;
}

std::vector<ConnectorJoin> allPairs(std::vector<int> boxes, const TracedConnector &connector)
{
    std::sort(boxes.begin(), boxes.end());
    std::vector<ConnectorJoin> joins;
    const bool oriented = boxes.size() == 2;
    for (size_t a = 0; a < boxes.size(); ++a) {
        for (size_t b = a + 1; b < boxes.size(); ++b) {
            ConnectorJoin join{boxes[a], boxes[b], 0, 0};
            if (oriented) {
                join.firstSpread = contactSpread(contactsOf(connector, boxes[a]));
                join.secondSpread = contactSpread(contactsOf(connector, boxes[b]));
            }
            joins.push_back(join);
        }
    }
    return joins;
}

double cosine(const QPointF &a, const QPointF &b)
{
    const double la = std::hypot(a.x(), a.y());
    const double lb = std::hypot(b.x(), b.y());
    return la > 0 && lb > 0 ? (a.x() * b.x() + a.y() * b.y()) / (la * lb) : 0.0;
}

int findRoot(std::vector<int> &parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// The connector's ink on a grid of its own, one pixel of background around it.
class LocalGrid
{
public:
    explicit LocalGrid(const std::vector<QPoint> &pixels)
    {
        QRect bounds;
        for (const QPoint &p : pixels)
            bounds |= QRect(p, QSize(1, 1));
        m_origin = bounds.topLeft() - QPoint(1, 1);
        m_width = bounds.width() + 2;
        m_height = bounds.height() + 2;
    }

    size_t size() const { return size_t(m_width) * size_t(m_height); }
    int width() const { return m_width; }
    int at(const QPoint &picture) const
    {
        return (picture.y() - m_origin.y()) * m_width + (picture.x() - m_origin.x());
    }
    QPoint point(int cell) const { return QPoint(cell % m_width, cell / m_width) + m_origin; }
    int step(int cell, const QPoint &offset) const { return cell + offset.y() * m_width + offset.x(); }

private:
    QPoint m_origin;
    int m_width = 0;
    int m_height = 0;
};

struct End
{
    int box = -1;
    QRect contact;
};

struct Chain
{
    int from = -1;
    int to = -1;
    std::vector<int> cells;  // from the from side to the to side, nodes excluded
    bool removed = false;
};

class Network
{
public:
    Network(const TracedConnector &connector, const QList<QRectF> &boxes)
        : m_grid(connector.pixels)
        , m_ink(m_grid.size(), 0)
        , m_anchor(m_grid.size(), 0)
        , m_endOf(m_grid.size(), -1)
    {
        for (const QPoint &p : connector.pixels)
            m_ink[size_t(m_grid.at(p))] = 1;
        for (const auto &contact : connector.contacts)
            m_anchor[size_t(m_grid.at(contact.first))] = 1;
        findEnds(connector, boxes);
        thin(connector);
        buildGraph();
        if (m_chains.size() > MaxNetworkChains)
            return;
        pruneSpurs();
        mergeJunctions();
        measureArms();
    }

    // Empty when the connector is too tangled to follow.
    std::vector<ConnectorJoin> joins() const;

private:
    struct Arm
    {
        int chain;
        bool atFrom;  // the chain leaves the node from its from side
    };

    void findEnds(const TracedConnector &connector, const QList<QRectF> &boxes);
    void thin(const TracedConnector &connector);
    bool thinningPass(std::vector<int> &live, bool first);
    void removeStaircases(std::vector<int> &live);
    void buildGraph();
    void walkChain(int start);
    void pruneSpurs();
    void mergeJunctions();
    void measureArms();
    int otherNode(const Arm &arm) const;
    QPointF armDirection(const Arm &arm) const;
    int nodeCount() const { return int(m_nodeParent.size()); }
    int node(int raw) const { return findRootConst(raw); }
    int findRootConst(int i) const
    {
        while (m_nodeParent[size_t(i)] != i)
            i = m_nodeParent[size_t(i)];
        return i;
    }
    bool isEnd(int n) const { return n < int(m_ends.size()); }
    struct Search
    {
        std::vector<int> length;   // per end: the shortest way's length, -1 when not reached
        std::vector<int> arrival;  // per end: the state that reached it
        std::vector<int> parent;   // per state (a chain travelled one way): the state before, -2 unseen
    };
    static int stateOf(const Arm &arm) { return arm.chain * 2 + (arm.atFrom ? 0 : 1); }
    Search search(const Arm &first, int startLength) const;
    void cover(const Search &found, int end, std::vector<uchar> &covered) const;
    double detour(int a, int b, int length) const;
    void addJoin(int a, int b, std::vector<ConnectorJoin> &joins, QSet<QPair<int, int>> &joined) const;

    LocalGrid m_grid;
    std::vector<uchar> m_ink;
    std::vector<uchar> m_anchor;
    std::vector<int> m_endOf;
    std::vector<End> m_ends;
    std::vector<int> m_nodeOf;       // per cell: the raw node of a skeleton node pixel, else -1
    std::vector<int> m_nodeParent;   // raw nodes merged into one: ends first, then junctions
    std::vector<QPointF> m_nodeSum;  // per raw node: sum of its pixels
    std::vector<int> m_nodePixels;
    std::vector<Chain> m_chains;
    std::vector<uchar> m_walked;
    std::vector<std::vector<Arm>> m_arms;  // per root node
    std::vector<std::array<QPointF, 2>> m_directions;  // per chain: away from its from and to nodes
};

// Each box's contacts grow into the ink within a few pixels of its border; pieces that are
// close together on one box are one end.
void Network::findEnds(const TracedConnector &connector, const QList<QRectF> &boxes)
{
    std::vector<End> raw;
    std::vector<int> queue;
    const QSize unbounded(std::numeric_limits<int>::max() / 2, std::numeric_limits<int>::max() / 2);
    for (const auto &[pixel, box] : connector.contacts) {
        const int start = m_grid.at(pixel);
        if (m_endOf[size_t(start)] >= 0)
            continue;
        const QRectF cover = boxCover(boxes.at(box));
        const BoxTouchIndex::PixelSpan zone = BoxTouchIndex::pixelsOf(
            cover.adjusted(-EndDepth, -EndDepth, EndDepth, EndDepth), unbounded);
        const int id = int(raw.size());
        raw.push_back({box, QRect()});
        m_endOf[size_t(start)] = id;
        queue.assign(1, start);
        for (size_t head = 0; head < queue.size(); ++head) {
            for (const QPoint &offset : Ring) {
                const int n = m_grid.step(queue[head], offset);
                const QPoint p = m_grid.point(n);
                if (m_ink[size_t(n)] && m_endOf[size_t(n)] < 0 && zone.contains(p.x(), p.y())) {
                    m_endOf[size_t(n)] = id;
                    queue.push_back(n);
                }
            }
        }
    }
    for (const auto &[pixel, box] : connector.contacts) {
        const int id = m_endOf[size_t(m_grid.at(pixel))];
        if (raw[size_t(id)].box == box)
            raw[size_t(id)].contact |= QRect(pixel, QSize(1, 1));
    }
    std::vector<int> parent(raw.size());
    std::iota(parent.begin(), parent.end(), 0);
    for (size_t a = 0; a < raw.size(); ++a) {
        for (size_t b = a + 1; b < raw.size(); ++b) {
            if (raw[a].box != raw[b].box || raw[a].contact.isNull() || raw[b].contact.isNull())
                continue;
            const QRect near = raw[a].contact.adjusted(-EndMergeDistance, -EndMergeDistance, EndMergeDistance,
                                                       EndMergeDistance);
            if (near.intersects(raw[b].contact))
                parent[size_t(findRoot(parent, int(b)))] = findRoot(parent, int(a));
        }
    }
    std::vector<int> endOfRaw(raw.size(), -1);
    for (size_t i = 0; i < raw.size(); ++i) {
        const int root = findRoot(parent, int(i));
        if (endOfRaw[size_t(root)] < 0) {
            endOfRaw[size_t(root)] = int(m_ends.size());
            m_ends.push_back({raw[i].box, QRect()});
        }
        endOfRaw[i] = endOfRaw[size_t(root)];
        m_ends[size_t(endOfRaw[i])].contact |= raw[i].contact;
    }
    for (int &end : m_endOf) {
        if (end >= 0)
            end = endOfRaw[size_t(end)];
    }
}

// Thinning to lines one pixel wide (two alternating passes that peel the ink from opposite
// sides, so the line stays in the middle), then the corner pixels of staircases go. Contact
// pixels stay, so each line still reaches its border.
void Network::thin(const TracedConnector &connector)
{
    std::vector<int> live;
    live.reserve(connector.pixels.size());
    for (const QPoint &p : connector.pixels)
        live.push_back(m_grid.at(p));
    std::sort(live.begin(), live.end());
    bool changed = true;
    while (changed) {
        changed = thinningPass(live, true);
        changed = thinningPass(live, false) || changed;
    }
    removeStaircases(live);
}

bool Network::thinningPass(std::vector<int> &live, bool first)
{
    std::vector<int> removed;
    for (int cell : live) {
        if (m_anchor[size_t(cell)])
            continue;
        std::array<int, 8> v{};
        for (size_t i = 0; i < Ring.size(); ++i)
            v[i] = m_ink[size_t(m_grid.step(cell, Ring[i]))];
        const int count = std::accumulate(v.cbegin(), v.cend(), 0);
        int transitions = 0;
        for (size_t i = 0; i < v.size(); ++i)
            transitions += v[i] == 0 && v[(i + 1) % v.size()] == 1;
        if (count < 2 || count > 6 || transitions != 1)
            continue;
        // v: north, north-east, east, south-east, south, south-west, west, north-west
        const bool peel = first ? (v[0] * v[2] * v[4] == 0 && v[2] * v[4] * v[6] == 0)
                                : (v[0] * v[2] * v[6] == 0 && v[0] * v[4] * v[6] == 0);
        if (peel)
            removed.push_back(cell);
    }
    for (int cell : removed)
        m_ink[size_t(cell)] = 0;
    if (!removed.empty())
        live.erase(std::remove_if(live.begin(), live.end(), [&](int cell) { return !m_ink[size_t(cell)]; }),
                   live.end());
    return !removed.empty();
}

// A pixel whose neighbours hang together without it, and which is no line's last pixel,
// only thickens the line: its neighbours would otherwise count as junctions.
void Network::removeStaircases(std::vector<int> &live)
{
    for (int cell : live) {
        if (m_anchor[size_t(cell)])
            continue;
        std::array<int, 8> v{};
        int count = 0;
        for (size_t i = 0; i < Ring.size(); ++i) {
            v[i] = m_ink[size_t(m_grid.step(cell, Ring[i]))];
            count += v[i];
        }
        if (count < 2)
            continue;
        std::array<int, 8> parent{};
        std::iota(parent.begin(), parent.end(), 0);
        const auto root = [&](int i) {
            while (parent[size_t(i)] != i)
                i = parent[size_t(i)];
            return i;
        };
        for (size_t a = 0; a < Ring.size(); ++a) {
            for (size_t b = a + 1; b < Ring.size(); ++b) {
                const QPoint d = Ring[a] - Ring[b];
                if (v[a] && v[b] && std::abs(d.x()) <= 1 && std::abs(d.y()) <= 1)
                    parent[size_t(root(int(b)))] = root(int(a));
            }
        }
        int groups = 0;
        for (size_t i = 0; i < Ring.size(); ++i)
            groups += v[i] && root(int(i)) == int(i);
        if (groups == 1)
            m_ink[size_t(cell)] = 0;
    }
    live.erase(std::remove_if(live.begin(), live.end(), [&](int cell) { return !m_ink[size_t(cell)]; }), live.end());
}

// Nodes: the ends, and the pixels where the thinned ink does not simply run on (junctions
// and loose ends), 8-connected pixels of one kind being one node. Chains run between nodes.
void Network::buildGraph()
{
    m_nodeOf.assign(m_grid.size(), -1);
    for (size_t i = 0; i < m_ends.size(); ++i) {
        m_nodeParent.push_back(int(i));
        m_nodeSum.push_back(QPointF(m_ends[i].contact.center()));
        m_nodePixels.push_back(1);
    }
    const auto degree = [&](int cell) {
        int count = 0;
        for (const QPoint &offset : Ring)
            count += m_ink[size_t(m_grid.step(cell, offset))];
        return count;
    };
    for (int cell = 0; cell < int(m_grid.size()); ++cell) {
        if (m_ink[size_t(cell)] && m_endOf[size_t(cell)] >= 0)
            m_nodeOf[size_t(cell)] = m_endOf[size_t(cell)];
    }
    std::vector<int> queue;
    for (int cell = 0; cell < int(m_grid.size()); ++cell) {
        if (!m_ink[size_t(cell)] || m_nodeOf[size_t(cell)] >= 0 || degree(cell) == 2)
            continue;
        const int id = int(m_nodeParent.size());
        m_nodeParent.push_back(id);
        m_nodeSum.push_back(QPointF());
        m_nodePixels.push_back(0);
        m_nodeOf[size_t(cell)] = id;
        queue.assign(1, cell);
        for (size_t head = 0; head < queue.size(); ++head) {
            m_nodeSum.back() += QPointF(m_grid.point(queue[head]));
            ++m_nodePixels.back();
            for (const QPoint &offset : Ring) {
                const int n = m_grid.step(queue[head], offset);
                if (m_ink[size_t(n)] && m_nodeOf[size_t(n)] < 0 && m_endOf[size_t(n)] < 0 && degree(n) != 2) {
                    m_nodeOf[size_t(n)] = id;
                    queue.push_back(n);
                }
            }
        }
    }
    m_walked.assign(m_grid.size(), 0);
    QSet<QPair<int, int>> touching;
    for (int cell = 0; cell < int(m_grid.size()); ++cell) {
        if (!m_ink[size_t(cell)])
            continue;
        const int here = m_nodeOf[size_t(cell)];
        if (here < 0) {
            if (!m_walked[size_t(cell)])
                walkChain(cell);
            continue;
        }
        // Two nodes side by side are joined by a chain without pixels.
        for (const QPoint &offset : Ring) {
            const int there = m_nodeOf[size_t(m_grid.step(cell, offset))];
            if (there >= 0 && there != here && !touching.contains({std::min(here, there), std::max(here, there)})) {
                touching.insert({std::min(here, there), std::max(here, there)});
                m_chains.push_back({std::min(here, there), std::max(here, there), {}, false});
            }
        }
    }
}

// Follows the run of pixels through start both ways to the nodes at its ends.
void Network::walkChain(int start)
{
    std::array<std::vector<int>, 2> sides;
    std::array<int, 2> nodes = {-1, -1};
    std::array<int, 2> firstSteps = {-1, -1};
    int found = 0;
    for (const QPoint &offset : Ring) {
        const int n = m_grid.step(start, offset);
        if (m_ink[size_t(n)] && found < 2)
            firstSteps[size_t(found++)] = n;
    }
    m_walked[size_t(start)] = 1;
    for (size_t side = 0; side < 2; ++side) {
        int previous = start;
        int current = firstSteps[side];
        while (current >= 0 && m_nodeOf[size_t(current)] < 0) {
            if (m_walked[size_t(current)])
                return;  // a closed loop without a node
            m_walked[size_t(current)] = 1;
            sides[side].push_back(current);
            int next = -1;
            for (const QPoint &offset : Ring) {
                const int n = m_grid.step(current, offset);
                if (n != previous && m_ink[size_t(n)] && !(m_nodeOf[size_t(n)] < 0 && m_walked[size_t(n)])) {
                    next = n;
                    break;
                }
            }
            previous = current;
            current = next;
        }
        nodes[side] = current >= 0 ? m_nodeOf[size_t(current)] : -1;
    }
    if (nodes[0] < 0 || nodes[1] < 0)
        return;
    Chain chain;
    chain.from = nodes[0];
    chain.to = nodes[1];
    chain.cells.assign(sides[0].rbegin(), sides[0].rend());
    chain.cells.push_back(start);
    chain.cells.insert(chain.cells.end(), sides[1].begin(), sides[1].end());
    // A chain that leaves a node and comes back at once is a kink of the node itself.
    if (chain.from == chain.to && int(chain.cells.size()) <= SpurLength)
        return;
    m_chains.push_back(std::move(chain));
}

int Network::otherNode(const Arm &arm) const
{
    const Chain &chain = m_chains[size_t(arm.chain)];
    return node(arm.atFrom ? chain.to : chain.from);
}

// Loose branches shorter than a marker's bar go, repeatedly, so that a junction left with two
// lines is a plain bend of one.
void Network::pruneSpurs()
{
    bool changed = true;
    while (changed) {
        changed = false;
        std::vector<int> degree(m_nodeParent.size(), 0);
        for (const Chain &chain : m_chains) {
            if (chain.removed)
                continue;
            ++degree[size_t(chain.from)];
            ++degree[size_t(chain.to)];
        }
        for (Chain &chain : m_chains) {
            if (chain.removed || int(chain.cells.size()) > SpurLength)
                continue;
            const bool looseFrom = !isEnd(chain.from) && degree[size_t(chain.from)] == 1;
            const bool looseTo = !isEnd(chain.to) && degree[size_t(chain.to)] == 1;
            if (looseFrom || looseTo) {
                chain.removed = true;
                --degree[size_t(chain.from)];
                --degree[size_t(chain.to)];
                changed = true;
            }
        }
    }
}

void Network::mergeJunctions()
{
    for (Chain &chain : m_chains) {
        if (chain.removed || isEnd(chain.from) || isEnd(chain.to) || int(chain.cells.size()) > JunctionMergeLength)
            continue;
        const int a = findRoot(m_nodeParent, chain.from);
        const int b = findRoot(m_nodeParent, chain.to);
        chain.removed = true;
        if (a != b)
            m_nodeParent[size_t(std::max(a, b))] = std::min(a, b);
    }
    // A small ring of short lines between junctions is a circle marker the line runs through:
    // it is one junction, or a line entering it would run round the ring.
    std::vector<int> group(m_nodeParent.size());
    std::iota(group.begin(), group.end(), 0);
    std::vector<uchar> ring(m_nodeParent.size(), 0);
    const auto isArc = [&](const Chain &chain) {
        return !chain.removed && !isEnd(chain.from) && !isEnd(chain.to) && int(chain.cells.size()) <= RingArcLength;
    };
    for (const Chain &chain : m_chains) {
        if (!isArc(chain))
            continue;
        const int a = findRoot(group, findRoot(m_nodeParent, chain.from));
        const int b = findRoot(group, findRoot(m_nodeParent, chain.to));
        if (a == b)
            ring[size_t(a)] = 1;
        else
            group[size_t(std::max(a, b))] = std::min(a, b);
    }
    for (Chain &chain : m_chains) {
        if (!isArc(chain) || !ring[size_t(findRoot(group, findRoot(m_nodeParent, chain.from)))])
            continue;
        chain.removed = true;
        const int a = findRoot(m_nodeParent, chain.from);
        const int b = findRoot(m_nodeParent, chain.to);
        if (a != b)
            m_nodeParent[size_t(std::max(a, b))] = std::min(a, b);
    }
    for (int i = 0; i < nodeCount(); ++i) {
        const int root = node(i);
        if (root != i) {
            m_nodeSum[size_t(root)] += m_nodeSum[size_t(i)];
            m_nodePixels[size_t(root)] += m_nodePixels[size_t(i)];
        }
    }
}

void Network::measureArms()
{
    m_arms.assign(m_nodeParent.size(), {});
    m_directions.assign(m_chains.size(), {});
    const auto position = [&](int n) {
        const int root = node(n);
        return isEnd(root) ? QPointF(m_ends[size_t(root)].contact.center())
                           : m_nodeSum[size_t(root)] / std::max(1, m_nodePixels[size_t(root)]);
    };
    for (size_t c = 0; c < m_chains.size(); ++c) {
        const Chain &chain = m_chains[c];
        if (chain.removed)
            continue;
        const int count = int(chain.cells.size());
        const auto sample = [&](int i) { return QPointF(m_grid.point(chain.cells[size_t(i)])); };
        if (count >= ArmSkip + 2) {
            const int skip = std::min(ArmSkip, count - 1);
            const int far = std::min(ArmSample, count - 1);
            m_directions[c][0] = sample(far) - sample(skip);
            m_directions[c][1] = sample(count - 1 - far) - sample(count - 1 - skip);
        } else {
            m_directions[c][0] = position(chain.to) - position(chain.from);
            m_directions[c][1] = -m_directions[c][0];
        }
        m_arms[size_t(node(chain.from))].push_back({int(c), true});
        m_arms[size_t(node(chain.to))].push_back({int(c), false});
    }
}

QPointF Network::armDirection(const Arm &arm) const
{
    return m_directions[size_t(arm.chain)][arm.atFrom ? 0 : 1];
}

// The ways from a start along the network to every end they lead to. At a junction a line
// goes straight on when a line leaves straight ahead (a crossing, or the bar of a T);
// otherwise it turns, into the line it bends towards when its rounded corner shows one, else
// into any line but the way back.
Network::Search Network::search(const Arm &first, int startLength) const
{
    Search found;
    found.length.assign(m_ends.size(), -1);
    found.arrival.assign(m_ends.size(), -1);
    found.parent.assign(m_chains.size() * 2, -2);
    struct Step
    {
        Arm arm;
        int length;
        int parent;
    };
    std::vector<Step> stack{{first, startLength, -1}};
    while (!stack.empty()) {
        const Step step = stack.back();
        stack.pop_back();
        const int key = stateOf(step.arm);
        if (found.parent[size_t(key)] != -2)
            continue;
        found.parent[size_t(key)] = step.parent;
        const int length = step.length + int(m_chains[size_t(step.arm.chain)].cells.size()) + 1;
        const int at = otherNode(step.arm);
        if (isEnd(at)) {
            if (found.length[size_t(at)] < 0 || length < found.length[size_t(at)]) {
                found.length[size_t(at)] = length;
                found.arrival[size_t(at)] = key;
            }
            continue;
        }
        const Arm back{step.arm.chain, !step.arm.atFrom};
        std::vector<std::pair<double, Arm>> onward;
        for (const Arm &arm : m_arms[size_t(at)]) {
            if (arm.chain != back.chain || arm.atFrom != back.atFrom)
                onward.push_back({0.0, arm});
        }
        if (onward.size() > 1) {
            const QPointF heading = -armDirection(back);
            double best = -1.0;
            for (auto &[c, arm] : onward) {
                c = cosine(heading, armDirection(arm));
                best = std::max(best, c);
            }
            // Straight on when possible; otherwise the turns that bend least, within a margin.
            const double floor = best >= StraightCosine ? StraightCosine : std::max(-0.5, best - TurnMargin);
            onward.erase(std::remove_if(onward.begin(), onward.end(), [&](const auto &o) { return o.first < floor; }),
                         onward.end());
        }
        for (auto it = onward.rbegin(); it != onward.rend(); ++it)
            stack.push_back({it->second, length, key});
    }
    return found;
}

void Network::cover(const Search &found, int end, std::vector<uchar> &covered) const
{
    for (int state = found.arrival[size_t(end)]; state >= 0; state = found.parent[size_t(state)])
        covered[size_t(state / 2)] = 1;
}

double Network::detour(int a, int b, int length) const
{
    const QPointF from = QPointF(m_ends[size_t(a)].contact.center());
    const QPointF to = QPointF(m_ends[size_t(b)].contact.center());
    return length - (std::abs(to.x() - from.x()) + std::abs(to.y() - from.y()));
}

void Network::addJoin(int a, int b, std::vector<ConnectorJoin> &joins, QSet<QPair<int, int>> &joined) const
{
    const End &one = m_ends[size_t(a)];
    const End &other = m_ends[size_t(b)];
    const QPair<int, int> pair(std::min(one.box, other.box), std::max(one.box, other.box));
    if (joined.contains(pair))
        return;
    joined.insert(pair);
    const End &first = one.box < other.box ? one : other;
    const End &second = one.box < other.box ? other : one;
    joins.push_back({first.box, second.box, contactSpread(first.contact), contactSpread(second.contact)});
}

// Each end's line ends at the end it reaches with the least detour beyond the distance
// between the two: a line that turns at a T goes on towards where it was heading. A stretch
// of line that no end's way used (a line between two tracks) is followed both ways to the
// pair of ends with the least detour.
std::vector<ConnectorJoin> Network::joins() const
{
    std::vector<ConnectorJoin> joins;
    if (m_arms.empty())
        return joins;
    QSet<QPair<int, int>> joined;
    std::vector<uchar> covered(m_chains.size(), 0);
    const int ends = int(m_ends.size());
    for (int end = 0; end < ends; ++end) {
        for (const Arm &arm : m_arms[size_t(end)]) {
            const Search found = search(arm, 0);
            int best = -1;
            double bestDetour = 0;
            for (int other = 0; other < ends; ++other) {
                const int length = found.length[size_t(other)];
                if (length < 0 || m_ends[size_t(other)].box == m_ends[size_t(end)].box)
                    continue;
                const double d = detour(end, other, length);
                if (best < 0 || d < bestDetour - DetourTolerance
                    || (d <= bestDetour + DetourTolerance && length < found.length[size_t(best)])) {
                    best = other;
                    bestDetour = d;
                }
            }
            if (best < 0)
                continue;
            cover(found, best, covered);
            addJoin(end, best, joins, joined);
        }
    }
    for (size_t c = 0; c < m_chains.size(); ++c) {
        if (covered[c] || m_chains[c].removed || int(m_chains[c].cells.size()) <= SpurLength)
            continue;
        const int length = int(m_chains[c].cells.size()) + 1;
        const Search ahead = search({int(c), true}, 0);
        const Search behind = search({int(c), false}, 0);
        std::vector<int> aheadEnds;
        std::vector<int> behindEnds;
        for (int end = 0; end < ends; ++end) {
            if (ahead.length[size_t(end)] >= 0)
                aheadEnds.push_back(end);
            if (behind.length[size_t(end)] >= 0)
                behindEnds.push_back(end);
        }
        int bestA = -1;
        int bestB = -1;
        double bestDetour = 0;
        for (int a : aheadEnds) {
            for (int b : behindEnds) {
                if (m_ends[size_t(a)].box == m_ends[size_t(b)].box)
                    continue;
                const double d = detour(a, b, ahead.length[size_t(a)] + behind.length[size_t(b)] - length);
                if (bestA < 0 || d < bestDetour - DetourTolerance) {
                    bestA = a;
                    bestB = b;
                    bestDetour = d;
                }
            }
        }
        if (bestA < 0)
            continue;
        cover(ahead, bestA, covered);
        cover(behind, bestB, covered);
        addJoin(bestA, bestB, joins, joined);
    }
    return joins;
}

} // namespace

// Whether a connector that meets only one box leaves it and comes back: it meets the border
// at two places apart and gets well away from the box in between, as the line of a box's
// relationship with itself does.
bool loopsBackTo(int box, const TracedConnector &connector, const QList<QRectF> &boxes)
{
    std::vector<QRect> ends;
    for (const auto &[pixel, touched] : connector.contacts) {
        if (touched != box)
            continue;
        const auto near = std::find_if(ends.begin(), ends.end(), [&](const QRect &end) {
            return end.adjusted(-EndMergeDistance, -EndMergeDistance, EndMergeDistance, EndMergeDistance)
                .contains(pixel);
        });
        if (near == ends.end())
            ends.push_back(QRect(pixel, QSize(1, 1)));
        else
            *near |= QRect(pixel, QSize(1, 1));
    }
    if (ends.size() < 2)
        return false;
    const QRectF around = boxes.at(box).adjusted(-SelfLoopReach, -SelfLoopReach, SelfLoopReach, SelfLoopReach);
    return std::any_of(connector.pixels.cbegin(), connector.pixels.cend(),
                       [&](const QPoint &p) { return !around.contains(QPointF(p)); });
}

std::vector<ConnectorJoin> connectorJoins(const TracedConnector &connector, const QList<QRectF> &boxes)
{
    const std::vector<int> met = contactBoxes(connector);
    if (met.size() == 1 && loopsBackTo(met.front(), connector, boxes))
        return {ConnectorJoin{met.front(), met.front(), 0, 0}};
    if (met.size() < 2)
        return connector.bandBoxes.size() < 2 ? std::vector<ConnectorJoin>() : allPairs(connector.bandBoxes, connector);
    if (met.size() == 2 || connector.pixels.size() > MaxNetworkPixels)
        return allPairs(met, connector);
    std::vector<ConnectorJoin> joins = Network(connector, boxes).joins();
    return joins.empty() ? allPairs(met, connector) : joins;
}
