#include "segmentseparation.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace layout {

namespace {

constexpr double AxisTolerance = 0.5;
constexpr int Rounds = 4;

struct SegmentEntry
{
    int route = 0;
    int segment = 0; // from point segment to point segment + 1
    QPointF p;
    QPointF q;
    bool horizontal = false;
};

// Whether the spans [a1, a2] and [b1, b2] (either way round) share more than a point.
bool spansOverlap(double a1, double a2, double b1, double b2)
{
    const double aLow = std::min(a1, a2);
    const double aHigh = std::max(a1, a2);
    const double bLow = std::min(b1, b2);
    const double bHigh = std::max(b1, b2);
    return aLow < bHigh && bLow < aHigh;
}

std::vector<SegmentEntry> innerSegments(const QList<routing::Route> &routes)
{
    std::vector<SegmentEntry> entries;
    for (qsizetype r = 0; r < routes.size(); ++r) {
        const routing::Route &route = routes[r];
        for (qsizetype s = 1; s + 2 < route.size(); ++s) {
            const QPointF p = route[s];
            const QPointF q = route[s + 1];
            const double dx = q.x() - p.x();
            const double dy = q.y() - p.y();
            if (std::sqrt(dx * dx + dy * dy) < AxisTolerance)
                continue;
            if (std::abs(dy) < AxisTolerance)
                entries.push_back({int(r), int(s), p, q, true});
            else if (std::abs(dx) < AxisTolerance)
                entries.push_back({int(r), int(s), p, q, false});
        }
    }
    return entries;
}

void shiftSegment(routing::Route &route, int segment, bool horizontal, double shift)
{
    for (int k = segment; k <= segment + 1; ++k) {
        if (horizontal)
            route[k].ry() += shift;
        else
            route[k].rx() += shift;
    }
}

void refresh(SegmentEntry &entry, const QList<routing::Route> &routes)
{
    entry.p = routes[entry.route][entry.segment];
    entry.q = routes[entry.route][entry.segment + 1];
}

} // namespace

QList<routing::Route> separateParallelSegments(const QList<routing::Route> &routes)
{
    QList<routing::Route> separated = routes;
    std::vector<SegmentEntry> entries = innerSegments(separated);

    // Pairs of different orientation never move, so each entry only meets the later
    // entries of its own orientation; the moves happen in the order of all pairs.
    std::vector<std::vector<int>> byOrientation(2);
    std::vector<int> rank(entries.size());
    for (std::size_t e = 0; e < entries.size(); ++e) {
        std::vector<int> &list = byOrientation[entries[e].horizontal ? 1 : 0];
        rank[e] = int(list.size());
        list.push_back(int(e));
    }

    for (int round = 0; round < Rounds; ++round) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::vector<int> &same = byOrientation[entries[i].horizontal ? 1 : 0];
            for (std::size_t k = std::size_t(rank[i]) + 1; k < same.size(); ++k) {
                SegmentEntry &a = entries[i];
                SegmentEntry &b = entries[same[k]];
                if (a.route == b.route)
                    continue;
                const double d = a.horizontal ? a.p.y() - b.p.y() : a.p.x() - b.p.x();
                const double gap = std::abs(d);
                if (gap < AxisTolerance || gap >= SegmentSeparation)
                    continue;
                const bool overlap = a.horizontal ? spansOverlap(a.p.x(), a.q.x(), b.p.x(), b.q.x())
                                                  : spansOverlap(a.p.y(), a.q.y(), b.p.y(), b.q.y());
                if (!overlap)
                    continue;
                const double shift = (d > 0 ? 1 : -1) * (SegmentSeparation - gap) / 2;
                shiftSegment(separated[a.route], a.segment, a.horizontal, shift);
                shiftSegment(separated[b.route], b.segment, b.horizontal, -shift);
                refresh(a, separated);
                refresh(b, separated);
            }
        }
    }
    return separated;
}

} // namespace layout
