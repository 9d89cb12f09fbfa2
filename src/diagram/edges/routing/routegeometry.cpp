#include "routegeometry.h"

#include <QLineF>
#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace routing {

namespace {

constexpr double AxisTolerance = 0.5;
constexpr double EndBand = 4.0;

bool within(const QPointF &a, const QPointF &b, double tolerance)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return std::sqrt(dx * dx + dy * dy) <= tolerance;
}

double distance(const QPointF &a, const QPointF &b)
{
    const double dx = a.x() - b.x();
    const double dy = a.y() - b.y();
    return std::sqrt(dx * dx + dy * dy);
}

// 0.18 of the side's extent, held between minMargin and maxMargin. Written out rather than
// qBound so that a NaN extent stays NaN instead of quietly becoming a margin.
double sideMargin(double extent, double minMargin, double maxMargin)
{
    const double m = 0.18 * extent;
    if (m <= minMargin)
        return minMargin;
    if (m > maxMargin)
        return maxMargin;
    return m;
}

bool isHorizontalSide(EntitySide side)
{
    return side == LeftSide || side == RightSide;
}

// Whether point p lies behind the stub, back towards the box the stub leaves.
bool liesBehindStub(EntitySide side, const QPointF &stub, const QPointF &p)
{
    switch (side) {
    case LeftSide:
        return p.x() > stub.x() + AxisTolerance;
    case RightSide:
        return p.x() < stub.x() - AxisTolerance;
    case TopSide:
        return p.y() > stub.y() + AxisTolerance;
    case BottomSide:
        return p.y() < stub.y() - AxisTolerance;
    default:
        return false;
    }
}

// The strip beside a box that a route must not double back into, widened by 4.
bool inEndBand(EntitySide side, const QRectF &box, const QPointF &p)
{
    if (isHorizontalSide(side))
        return p.y() >= box.y() - EndBand && p.y() <= box.bottom() + EndBand;
    return p.x() >= box.x() - EndBand && p.x() <= box.right() + EndBand;
}

// Whether the step from anchor to next goes out along side and stays on the side's axis.
bool runsAlongSide(EntitySide side, const QPointF &anchor, const QPointF &next)
{
    switch (side) {
    case LeftSide:
        return next.x() <= anchor.x() + AxisTolerance && std::abs(next.y() - anchor.y()) <= AxisTolerance;
    case RightSide:
        return next.x() >= anchor.x() - AxisTolerance && std::abs(next.y() - anchor.y()) <= AxisTolerance;
    case TopSide:
        return next.y() <= anchor.y() + AxisTolerance && std::abs(next.x() - anchor.x()) <= AxisTolerance;
    case BottomSide:
        return next.y() >= anchor.y() - AxisTolerance && std::abs(next.x() - anchor.x()) <= AxisTolerance;
    default:
        return false;
    }
}

// A point past the stub that is still on the stub's axis must not lie back towards the box.
bool keepsAwayFromBox(EntitySide side, const QPointF &stub, const QPointF &p)
{
    if (isHorizontalSide(side)) {
        if (std::abs(p.y() - stub.y()) > AxisTolerance)
            return true;
        return side == LeftSide ? p.x() <= stub.x() + AxisTolerance : p.x() >= stub.x() - AxisTolerance;
    }
    if (std::abs(p.x() - stub.x()) > AxisTolerance)
        return true;
    return side == TopSide ? p.y() <= stub.y() + AxisTolerance : p.y() >= stub.y() - AxisTolerance;
}

QRectF shrunkForHits(const QRectF &r)
{
    const QRectF shrunk(r.x() + 1, r.y() + 1, r.width() - 2, r.height() - 2);
    return shrunk.width() > 1 && shrunk.height() > 1 ? shrunk : r;
}

bool segmentMeets(const QPointF &p, const QPointF &q, const QRectF &r)
{
    return r.contains(p) || r.contains(q) || segmentHitsRect(p, q, r);
}

// Closed extents of a rectangle or of route points, with the margin below which another
// extent counts as touching: a billionth of the largest coordinate (at least 1), far beyond
// the few units in the last place by which the exact test can err. Extents apart by more
// are a certain miss without the four line intersections. Only usable when every coordinate
// is finite; a sum that overflows for huge ones only loses the shortcut.
struct Extent
{
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
    double margin = 0;
    bool usable = false;

    static Extent ofSegment(const QPointF &p, const QPointF &q)
    {
        Extent e{ std::min(p.x(), q.x()), std::max(p.x(), q.x()), std::min(p.y(), q.y()), std::max(p.y(), q.y()) };
        // A NaN could slip through min and max; it cannot through the sum.
        e.finish(p.x() + p.y() + q.x() + q.y());
        return e;
    }

    static Extent ofRect(const QRectF &r)
    {
        Extent e{ r.left(), r.right(), r.top(), r.bottom() };
        if (e.left > e.right)
            std::swap(e.left, e.right);
        if (e.top > e.bottom)
            std::swap(e.top, e.bottom);
        e.finish(e.left + e.right + e.top + e.bottom);
        return e;
    }

    void finish(double coordinateSum)
    {
        usable = std::isfinite(coordinateSum);
        // left <= right and top <= bottom, so these are the largest magnitudes.
        margin = 1e-9 * std::max(std::max(-left, right), std::max(std::max(-top, bottom), 1.0));
    }

    bool clearlyApartFrom(const Extent &o) const
    {
        if (!usable || !o.usable)
            return false;
        const double m = std::max(margin, o.margin);
        return right + m < o.left || o.right + m < left || bottom + m < o.top || o.bottom + m < top;
    }
};

int countHitsOverSegments(const Route &route, const QList<QRectF> &rects, qsizetype first, qsizetype last)
{
    if (first > last)
        return 0;
    QVarLengthArray<Extent, 16> segments;
    for (qsizetype i = first; i <= last; ++i)
        segments.append(Extent::ofSegment(route.at(i), route.at(i + 1)));
    int hits = 0;
    for (const QRectF &r : rects) {
        const QRectF shrunk = shrunkForHits(r);
        const Extent box = Extent::ofRect(shrunk);
        for (qsizetype i = first; i <= last; ++i) {
            if (!segments[i - first].clearlyApartFrom(box) && segmentMeets(route.at(i), route.at(i + 1), shrunk))
                ++hits;
        }
    }
    return hits;
}

} // namespace

QPointF sideDirection(EntitySide side)
{
    switch (side) {
    case LeftSide:
        return QPointF(-1, 0);
    case TopSide:
        return QPointF(0, -1);
    case BottomSide:
        return QPointF(0, 1);
    case RightSide:
    default:
        return QPointF(1, 0);
    }
}

QRectF insetObstacleRect(const QRectF &r)
{
    if (r.width() > 4 && r.height() > 4)
        return QRectF(r.x() + 2, r.y() + 2, r.width() - 4, r.height() - 4);
    return r;
}

bool isRectilinearRoute(const Route &route)
{
    for (qsizetype i = 0; i + 1 < route.size(); ++i) {
        const double dx = std::abs(route.at(i + 1).x() - route.at(i).x());
        const double dy = std::abs(route.at(i + 1).y() - route.at(i).y());
        if (dx > AxisTolerance && dy > AxisTolerance)
            return false;
    }
    return true;
}

int countBends(const Route &route)
{
    if (route.size() < 3)
        return 0;
    const auto horizontal = [&route](qsizetype i) {
        return std::abs(route.at(i + 1).y() - route.at(i).y()) < AxisTolerance;
    };
    int bends = 0;
    for (qsizetype i = 1; i + 1 < route.size(); ++i) {
        if (horizontal(i - 1) != horizontal(i))
            ++bends;
    }
    return bends;
}

double routeLength(const Route &route)
{
    double length = 0;
    for (qsizetype i = 0; i + 1 < route.size(); ++i)
        length += distance(route.at(i), route.at(i + 1));
    return length;
}

double stubLength(EntitySide fromSide, EntitySide toSide, const QRectF &fromRect, const QRectF &toRect)
{
    double gap;
    if (fromSide == LeftSide && toSide == RightSide)
        gap = fromRect.x() - toRect.right();
    else if (fromSide == RightSide && toSide == LeftSide)
        gap = toRect.x() - fromRect.right();
    else if (fromSide == TopSide && toSide == BottomSide)
        gap = fromRect.y() - toRect.bottom();
    else if (fromSide == BottomSide && toSide == TopSide)
        gap = toRect.y() - fromRect.bottom();
    else
        return 26;
    if (gap > 0 && gap < 56)
        return std::max(0.35 * gap, 8.0);
    return 26;
}

// The lower bound comes last on purpose: on a side shorter than two margins the anchor
// sits one margin from the start of the side.
QPointF anchorWithMargins(const QRectF &r, EntitySide side, const QPointF &target,
                          double minMargin, double maxMargin)
{
    const double mh = sideMargin(r.height(), minMargin, maxMargin);
    const double mw = sideMargin(r.width(), minMargin, maxMargin);
    const double y = std::max(std::min(r.bottom() - mh, target.y()), r.y() + mh);
    const double x = std::max(std::min(r.right() - mw, target.x()), r.x() + mw);
    switch (side) {
    case LeftSide:
        return QPointF(r.x(), y);
    case RightSide:
        return QPointF(r.right(), y);
    case TopSide:
        return QPointF(x, r.y());
    case BottomSide:
        return QPointF(x, r.bottom());
    default:
        return r.center();
    }
}

QPointF anchorOnSide(const QRectF &r, EntitySide side, const QPointF &target)
{
    return anchorWithMargins(r, side, target, 6, 16);
}

SidePair chooseSides(const QRectF &a, const QRectF &b)
{
    const bool apartHorizontally = a.x() >= b.right() + 6 || b.x() >= a.right() + 6;
    const double verticalOverlap = std::min(a.bottom(), b.bottom()) - std::max(a.y(), b.y());
    if (apartHorizontally && verticalOverlap >= 12)
        return b.x() >= a.right() + 6 ? SidePair{RightSide, LeftSide} : SidePair{LeftSide, RightSide};

    const bool apartVertically = b.y() >= a.bottom() + 6 || a.y() >= b.bottom() + 6;
    const double horizontalOverlap = std::min(a.right(), b.right()) - std::max(a.x(), b.x());
    if (apartVertically && horizontalOverlap >= 12)
        return b.y() >= a.bottom() + 6 ? SidePair{BottomSide, TopSide} : SidePair{TopSide, BottomSide};

    const double dx = b.center().x() - a.center().x();
    const double dy = b.center().y() - a.center().y();
    if (std::abs(dx) >= std::abs(dy))
        return dx >= 0 ? SidePair{RightSide, LeftSide} : SidePair{LeftSide, RightSide};
    return dy >= 0 ? SidePair{BottomSide, TopSide} : SidePair{TopSide, BottomSide};
}

bool sidesFace(EntitySide fromSide, EntitySide toSide, const QRectF &fromRect, const QRectF &toRect)
{
    if (fromSide == RightSide && toSide == LeftSide)
        return toRect.center().x() >= fromRect.center().x();
    if (fromSide == LeftSide && toSide == RightSide)
        return fromRect.center().x() >= toRect.center().x();
    if (fromSide == BottomSide && toSide == TopSide)
        return toRect.center().y() >= fromRect.center().y();
    if (fromSide == TopSide && toSide == BottomSide)
        return fromRect.center().y() >= toRect.center().y();
    return false;
}

QPointF nearerPoint(const QPointF &p, const QPointF &a, const QPointF &b)
{
    const QPointF da = a - p;
    const QPointF db = b - p;
    const double squaredA = da.x() * da.x() + da.y() * da.y();
    const double squaredB = db.x() * db.x() + db.y() * db.y();
    return squaredB > squaredA ? a : b;
}

bool segmentHitsRect(const QPointF &p, const QPointF &q, const QRectF &r)
{
    const QLineF segment(p, q);
    const QLineF edges[] = {
        QLineF(r.topLeft(), r.topRight()),
        QLineF(r.bottomLeft(), r.bottomRight()),
        QLineF(r.topLeft(), r.bottomLeft()),
        QLineF(r.topRight(), r.bottomRight()),
    };
    for (const QLineF &edge : edges) {
        if (segment.intersects(edge, nullptr) == QLineF::BoundedIntersection)
            return true;
    }
    return false;
}

int countObstacleHits(const Route &route, const QList<QRectF> &obstacles)
{
    if (route.size() < 2)
        return 0;
    return countHitsOverSegments(route, obstacles, 0, route.size() - 2);
}

int countInnerObstacleHits(const Route &route, const QList<QRectF> &rects)
{
    if (route.size() < 4)
        return 0;
    return countHitsOverSegments(route, rects, 1, route.size() - 3);
}

bool respectsEndSides(const Route &route, EntitySide fromSide, EntitySide toSide,
                      const QPointF &fromStub, const QPointF &toStub)
{
    const qsizetype n = route.size();
    if (n < 2 || !isRectilinearRoute(route))
        return false;
    if (!runsAlongSide(fromSide, route.at(0), route.at(1)))
        return false;
    // Arriving along the to-side reads, from the last point backwards, as leaving along it.
    if (!runsAlongSide(toSide, route.at(n - 1), route.at(n - 2)))
        return false;

    for (qsizetype i = 1; i < n; ++i) {
        if (!within(route.at(i), fromStub, AxisTolerance)) {
            if (!keepsAwayFromBox(fromSide, fromStub, route.at(i)))
                return false;
            break;
        }
    }
    for (qsizetype i = n - 2; i >= 0; --i) {
        if (!within(route.at(i), toStub, AxisTolerance)) {
            if (!keepsAwayFromBox(toSide, toStub, route.at(i)))
                return false;
            break;
        }
    }
    return true;
}

bool turnsBackAtStart(EntitySide fromSide, const QPointF &fromStub, const Route &route, const QRectF &fromRect)
{
    qsizetype start = 2;
    for (qsizetype i = 0; i < route.size(); ++i) {
        if (within(route.at(i), fromStub, AxisTolerance)) {
            start = i + 1;
            break;
        }
    }
    for (qsizetype i = start; i < route.size(); ++i) {
        const QPointF &p = route.at(i);
        if (!inEndBand(fromSide, fromRect, p))
            return false;
        if (liesBehindStub(fromSide, fromStub, p))
            return true;
    }
    return false;
}

bool turnsBackAtEnd(EntitySide toSide, const QPointF &toStub, const Route &route, const QRectF &toRect)
{
    qsizetype k = route.size() - 2;
    for (qsizetype i = 0; i < route.size(); ++i) {
        if (within(route.at(i), toStub, AxisTolerance)) {
            k = i;
            break;
        }
    }
    if (k < 1)
        return false;
    for (qsizetype i = k - 1; i >= 0; --i) {
        const QPointF &p = route.at(i);
        if (!inEndBand(toSide, toRect, p))
            return false;
        if (liesBehindStub(toSide, toStub, p))
            return true;
    }
    return false;
}

bool isCleanRoute(const Route &route, const RouteContext &context)
{
    if (route.size() < 2)
        return false;
    if (!respectsEndSides(route, context.fromSide, context.toSide, context.fromStub, context.toStub))
        return false;
    if (turnsBackAtStart(context.fromSide, context.fromStub, route, context.fromRect))
        return false;
    if (turnsBackAtEnd(context.toSide, context.toStub, route, context.toRect))
        return false;
    if (route.size() > 3 && countInnerObstacleHits(route, context.endRects) != 0)
        return false;
    return countObstacleHits(route, context.obstacles) == 0;
}

double distanceOutsideRegion(const Route &route, const QRectF &region)
{
    double total = 0;
    for (const QPointF &p : route) {
        if (region.contains(p))
            continue;
        const QPointF nearest(std::max(region.x(), std::min(p.x(), region.right())),
                              std::max(region.y(), std::min(p.y(), region.bottom())));
        total += distance(p, nearest);
    }
    return total;
}

} // namespace routing
