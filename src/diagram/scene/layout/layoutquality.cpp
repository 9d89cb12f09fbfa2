#include "layoutquality.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace layout {

namespace {

constexpr double Tolerance = 0.5;

struct Segment
{
    int edge = 0;
    QPointF p;
    QPointF q;
    double xMin = 0;
    double xMax = 0;
    double yMin = 0;
    double yMax = 0;
};

bool isHorizontal(const Segment &s)
{
    return std::abs(s.q.y() - s.p.y()) < Tolerance;
}

bool isVertical(const Segment &s)
{
    return std::abs(s.q.x() - s.p.x()) < Tolerance;
}

double cross(const QPointF &a, const QPointF &b)
{
    return a.x() * b.y() - a.y() * b.x();
}

// Whether the two segments cross at a point more than 0.5 from every end of both.
bool crossInside(const Segment &a, const Segment &b)
{
    const QPointF r = a.q - a.p;
    const QPointF s = b.q - b.p;
    const double denominator = cross(r, s);
    if (std::abs(denominator) < 1e-9)
        return false;
    const QPointF w = b.p - a.p;
    const double t = cross(w, s) / denominator;
    const double u = cross(w, r) / denominator;
    const double lengthA = std::hypot(r.x(), r.y());
    const double lengthB = std::hypot(s.x(), s.y());
    return t * lengthA > Tolerance && (1 - t) * lengthA > Tolerance && u * lengthB > Tolerance
           && (1 - u) * lengthB > Tolerance;
}

// How long the two segments run on one line; 0 when they do not.
double sharedRun(const Segment &a, const Segment &b)
{
    if (isHorizontal(a) && isHorizontal(b) && std::abs(a.p.y() - b.p.y()) <= Tolerance)
        return std::min(a.xMax, b.xMax) - std::max(a.xMin, b.xMin);
    if (isVertical(a) && isVertical(b) && std::abs(a.p.x() - b.p.x()) <= Tolerance)
        return std::min(a.yMax, b.yMax) - std::max(a.yMin, b.yMin);
    return 0;
}

QRectF routeBounds(const routing::Route &route)
{
    if (route.isEmpty())
        return {};
    double left = route.first().x();
    double right = left;
    double top = route.first().y();
    double bottom = top;
    for (const QPointF &p : route) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(left, top, right - left, bottom - top);
}

void unite(QRectF &bounds, bool &any, const QRectF &r)
{
    if (!any) {
        bounds = r;
        any = true;
        return;
    }
    const double left = std::min(bounds.left(), r.left());
    const double top = std::min(bounds.top(), r.top());
    const double right = std::max(bounds.right(), r.right());
    const double bottom = std::max(bounds.bottom(), r.bottom());
    bounds = QRectF(left, top, right - left, bottom - top);
}

void countSegmentPairs(const QList<QualityEdge> &edges, LayoutQuality &quality)
{
    std::vector<Segment> segments;
    for (qsizetype e = 0; e < edges.size(); ++e) {
        const routing::Route &route = edges[e].route;
        for (qsizetype k = 0; k + 1 < route.size(); ++k) {
            Segment s{int(e), route[k], route[k + 1], 0, 0, 0, 0};
            s.xMin = std::min(s.p.x(), s.q.x());
            s.xMax = std::max(s.p.x(), s.q.x());
            s.yMin = std::min(s.p.y(), s.q.y());
            s.yMax = std::max(s.p.y(), s.q.y());
            segments.push_back(s);
        }
    }
    std::stable_sort(segments.begin(), segments.end(), [](const Segment &a, const Segment &b) {
        return a.xMin < b.xMin;
    });
    std::vector<std::pair<int, int>> longRuns;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const Segment &a = segments[i];
        for (std::size_t j = i + 1; j < segments.size() && segments[j].xMin <= a.xMax + Tolerance; ++j) {
            const Segment &b = segments[j];
            if (a.edge == b.edge || b.yMin > a.yMax + Tolerance || a.yMin > b.yMax + Tolerance)
                continue;
            const double run = sharedRun(a, b);
            if (run > Tolerance) {
                ++quality.sharedRuns;
                if (run > LongRun)
                    longRuns.emplace_back(std::min(a.edge, b.edge), std::max(a.edge, b.edge));
            } else if (crossInside(a, b)) {
                ++quality.crossings;
            }
        }
    }
    std::sort(longRuns.begin(), longRuns.end());
    quality.sharedRunEdgePairs = int(std::unique(longRuns.begin(), longRuns.end()) - longRuns.begin());
}

int countBoxOverlaps(const QList<QRectF> &boxes)
{
    std::vector<int> order(boxes.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return boxes[a].left() < boxes[b].left(); });
    int overlaps = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const QRectF &a = boxes[order[i]];
        for (std::size_t j = i + 1; j < order.size() && boxes[order[j]].left() < a.right(); ++j) {
            if (a.intersects(boxes[order[j]]))
                ++overlaps;
        }
    }
    return overlaps;
}

} // namespace

LayoutQuality measureLayout(const QList<QRectF> &boxes, const QList<QualityEdge> &edges)
{
    LayoutQuality quality;
    quality.boxes = int(boxes.size());
    quality.edges = int(edges.size());

    bool any = false;
    for (const QRectF &box : boxes) {
        unite(quality.drawing, any, box);
        quality.boxArea += box.width() * box.height();
    }

    for (const QualityEdge &edge : edges) {
        const int bends = routing::countBends(edge.route);
        quality.bends += bends;
        quality.maxBends = std::max(quality.maxBends, bends);
        quality.routeLength += routing::routeLength(edge.route);
        if (edge.route.isEmpty())
            continue;

        const QRectF reach = routeBounds(edge.route);
        unite(quality.drawing, any, reach);
        // The router's hit rule: another box as an obstacle is its bounding rectangle (the
        // drawn one grown by 3) inset by 2, and a hit is a segment meeting it shrunk by 1.
        const QRectF grownReach = reach.adjusted(-2, -2, 2, 2);
        for (qsizetype b = 0; b < boxes.size(); ++b) {
            if (b == edge.fromBox || b == edge.toBox)
                continue;
            const QRectF obstacle = routing::insetObstacleRect(boxes[b].adjusted(-3, -3, 3, 3));
            if (!obstacle.intersects(grownReach))
                continue;
            const int segments = routing::countObstacleHits(edge.route, {obstacle});
            quality.segmentBoxHits += segments;
            if (segments > 0)
                ++quality.boxHits;
        }
    }
    if (!edges.isEmpty())
        quality.meanBends = double(quality.bends) / edges.size();

    countSegmentPairs(edges, quality);
    quality.boxOverlaps = countBoxOverlaps(boxes);
    return quality;
}

double areaRatio(const LayoutQuality &quality)
{
    return quality.boxArea > 0 ? quality.drawing.width() * quality.drawing.height() / quality.boxArea : 0;
}

QStringList describeQuality(const LayoutQuality &quality)
{
    const QRectF &d = quality.drawing;
    const double proportions = d.height() > 0 ? d.width() / d.height() : 0;
    return {
        QStringLiteral("boxes: %1").arg(quality.boxes),
        QStringLiteral("edges: %1").arg(quality.edges),
        QStringLiteral("line_crossings: %1").arg(quality.crossings),
        QStringLiteral("lines_on_top_of_each_other: %1").arg(quality.sharedRuns),
        QStringLiteral("line_pairs_sharing_a_run: %1").arg(quality.sharedRunEdgePairs),
        QStringLiteral("lines_through_boxes: %1").arg(quality.boxHits),
        QStringLiteral("segments_through_boxes: %1").arg(quality.segmentBoxHits),
        QStringLiteral("bends_total: %1").arg(quality.bends),
        QStringLiteral("bends_mean: %1").arg(quality.meanBends, 0, 'f', 2),
        QStringLiteral("bends_max: %1").arg(quality.maxBends),
        QStringLiteral("route_length_total: %1").arg(quality.routeLength, 0, 'f', 0),
        QStringLiteral("box_overlaps: %1").arg(quality.boxOverlaps),
        QStringLiteral("drawing_width: %1").arg(d.width(), 0, 'f', 0),
        QStringLiteral("drawing_height: %1").arg(d.height(), 0, 'f', 0),
        QStringLiteral("drawing_proportions: %1").arg(proportions, 0, 'f', 2),
        QStringLiteral("drawing_area_over_box_area: %1").arg(areaRatio(quality), 0, 'f', 2),
    };
}

} // namespace layout
