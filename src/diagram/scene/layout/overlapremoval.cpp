#include "overlapremoval.h"

#include "separationsolver.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

namespace layout {

namespace {

// Rounding in the solved positions must not make boxes that just meet the gap count as
// overlapping again.
constexpr double Touch = 1e-6;
// Walking the scan line for the neighbours of one box stops after this many boxes; in a
// pile of boxes on one point the second pass separates the rest, one neighbour each.
constexpr int MaxNeighbourWalk = 32;

struct Extent
{
    double centre = 0; // on the axis being separated
    double half = 0;
    double crossCentre = 0;
    double crossHalf = 0;
};

struct Event
{
    double at = 0;
    bool opens = false;
    int node = 0;
};

std::vector<Event> sweepEvents(const std::vector<Extent> &boxes)
{
    std::vector<Event> events;
    events.reserve(boxes.size() * 2);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const Extent &b = boxes[i];
        events.push_back({b.crossCentre - b.crossHalf + Touch, true, int(i)});
        events.push_back({b.crossCentre + b.crossHalf - Touch, false, int(i)});
    }
    // Closes before opens at one place: boxes that only touch do not overlap.
    std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
        if (a.at != b.at)
            return a.at < b.at;
        return !a.opens && b.opens;
    });
    return events;
}

class ScanOrder
{
public:
    explicit ScanOrder(const std::vector<Extent> &boxes) : m_boxes(boxes) {}
    bool operator()(int a, int b) const
    {
        if (m_boxes[a].centre != m_boxes[b].centre)
            return m_boxes[a].centre < m_boxes[b].centre;
        return a < b;
    }

private:
    const std::vector<Extent> &m_boxes;
};

double overlapAlong(const Extent &a, const Extent &b)
{
    return a.half + b.half - std::abs(a.centre - b.centre);
}

double overlapAcross(const Extent &a, const Extent &b)
{
    return a.crossHalf + b.crossHalf - std::abs(a.crossCentre - b.crossCentre);
}

using ScanLine = std::set<int, ScanOrder>;

// Boxes on one side of v in the scan line that are better separated along this axis than
// across it, and the first box beyond that no longer overlaps along it.
template<typename Step>
std::vector<int> neighbours(ScanLine::const_iterator at, const std::vector<Extent> &boxes, Step step)
{
    std::vector<int> found;
    const Extent &v = boxes[*at];
    auto it = at;
    for (int walked = 0; walked < MaxNeighbourWalk && step(it); ++walked) {
        const Extent &u = boxes[*it];
        const double along = overlapAlong(u, v);
        if (along <= 0) {
            found.push_back(*it);
            break;
        }
        if (along <= overlapAcross(u, v))
            found.push_back(*it);
    }
    return found;
}

// Constraints for the first pass: a box and its neighbours in the scan line that overlap
// it less along this axis than across it.
QList<SeparationConstraint> constraintsAlong(const std::vector<Extent> &boxes)
{
    QList<SeparationConstraint> constraints;
    ScanLine scan{ScanOrder(boxes)};
    std::vector<std::set<int>> left(boxes.size());
    std::vector<std::set<int>> right(boxes.size());
    const auto gap = [&](int a, int b) { return boxes[a].half + boxes[b].half; };
    for (const Event &e : sweepEvents(boxes)) {
        const int v = e.node;
        if (e.opens) {
            const auto at = scan.insert(v).first;
            const std::vector<int> lefts = neighbours(at, boxes, [&](ScanLine::const_iterator &it) {
                if (it == scan.cbegin())
                    return false;
                --it;
                return true;
            });
            const std::vector<int> rights = neighbours(at, boxes, [&](ScanLine::const_iterator &it) {
                if (++it == scan.cend())
                    return false;
                return true;
            });
            for (int u : lefts) {
                for (int w : rights)
                    right[u].erase(w);
                right[u].insert(v);
                left[v].insert(u);
            }
            for (int w : rights) {
                for (int u : lefts)
                    left[w].erase(u);
                left[w].insert(v);
                right[v].insert(w);
            }
        } else {
            for (int u : left[v]) {
                constraints.append({u, v, gap(u, v)});
                right[u].erase(v);
            }
            for (int w : right[v]) {
                constraints.append({v, w, gap(v, w)});
                left[w].erase(v);
            }
            scan.erase(v);
        }
    }
    return constraints;
}

// Constraints for the second pass: every two boxes that still overlap across this axis
// are neighbours in the scan line at some point and get separated along it.
QList<SeparationConstraint> constraintsAcross(const std::vector<Extent> &boxes)
{
    QList<SeparationConstraint> constraints;
    ScanLine scan{ScanOrder(boxes)};
    const auto gap = [&](int a, int b) { return boxes[a].half + boxes[b].half; };
    for (const Event &e : sweepEvents(boxes)) {
        const int v = e.node;
        if (e.opens) {
            const auto at = scan.insert(v).first;
            if (at != scan.cbegin())
                constraints.append({*std::prev(at), v, gap(*std::prev(at), v)});
            if (std::next(at) != scan.cend())
                constraints.append({v, *std::next(at), gap(v, *std::next(at))});
        } else {
            const auto at = scan.find(v);
            if (at != scan.cbegin() && std::next(at) != scan.cend())
                constraints.append({*std::prev(at), *std::next(at), gap(*std::prev(at), *std::next(at))});
            scan.erase(at);
        }
    }
    return constraints;
}

std::vector<Extent> extents(const QList<LayoutNode> &nodes, bool alongX, double gapX, double gapY)
{
    std::vector<Extent> boxes;
    boxes.reserve(nodes.size());
    for (const LayoutNode &n : nodes) {
        const double halfW = (n.width + gapX) / 2;
        const double halfH = (n.height + gapY) / 2;
        if (alongX)
            boxes.push_back({n.centreX, halfW, n.centreY, halfH});
        else
            boxes.push_back({n.centreY, halfH, n.centreX, halfW});
    }
    return boxes;
}

void solveAxis(QList<LayoutNode> &nodes, bool alongX, const QList<SeparationConstraint> &constraints)
{
    if (constraints.isEmpty())
        return;
    QList<double> desired;
    desired.reserve(nodes.size());
    for (const LayoutNode &n : nodes)
        desired.append(alongX ? n.centreX : n.centreY);
    const QList<double> placed = solveSeparation(desired, constraints);
    for (qsizetype i = 0; i < nodes.size(); ++i)
        (alongX ? nodes[i].centreX : nodes[i].centreY) = placed[i];
}

bool allFinite(const QList<LayoutNode> &nodes)
{
    return std::all_of(nodes.cbegin(), nodes.cend(), [](const LayoutNode &n) {
        return std::isfinite(n.centreX) && std::isfinite(n.centreY) && std::isfinite(n.width)
            && std::isfinite(n.height);
    });
}

} // namespace

void removeOverlaps(QList<LayoutNode> &nodes, double gapX, double gapY)
{
    if (nodes.size() < 2 || !allFinite(nodes))
        return;
    solveAxis(nodes, true, constraintsAlong(extents(nodes, true, gapX, gapY)));
    solveAxis(nodes, false, constraintsAcross(extents(nodes, false, gapX, gapY)));
}

} // namespace layout
