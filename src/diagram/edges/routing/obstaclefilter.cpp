#include "obstaclefilter.h"

#include <algorithm>
#include <cmath>

namespace routing {

namespace {

bool isFinite(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height());
}

// Running bounding box that, unlike QRectF::operator|, takes in points and rectangles of no
// width or height. A coordinate that is not finite makes it unbounded: nothing can be left out.
struct Bounds
{
    double left = HUGE_VAL;
    double top = HUGE_VAL;
    double right = -HUGE_VAL;
    double bottom = -HUGE_VAL;
    bool finite = true;

    void add(const QPointF &p)
    {
        finite = finite && std::isfinite(p.x()) && std::isfinite(p.y());
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }

    void add(const QRectF &r)
    {
        add(r.topLeft());
        add(r.bottomRight());
    }

    QRectF grownBy(double margin) const
    {
        if (!finite)
            return QRectF(QPointF(-HUGE_VAL, -HUGE_VAL), QPointF(HUGE_VAL, HUGE_VAL));
        return QRectF(QPointF(left - margin, top - margin), QPointF(right + margin, bottom + margin));
    }
};

} // namespace

QRectF pairObstacleRegion(const QRectF &fromRect, const QRectF &toRect, std::optional<QPointF> fromAnchor,
                          std::optional<QPointF> toAnchor)
{
    Bounds bounds;
    bounds.add(fromRect);
    bounds.add(toRect);
    if (fromAnchor)
        bounds.add(*fromAnchor);
    if (toAnchor)
        bounds.add(*toAnchor);
    return bounds.grownBy(PairObstacleMargin);
}

QRectF routeObstacleRegion(const Route &route)
{
    if (route.size() < 2)
        return QRectF();
    Bounds bounds;
    for (const QPointF &p : route)
        bounds.add(p);
    return bounds.grownBy(RouteObstacleMargin);
}

QList<QRectF> obstaclesInRegion(const QRectF &region, const QList<QRectF> &obstacles)
{
    if (!isFinite(region))
        return obstacles;
    if (region.isNull())
        return {};
    const double left = std::min(region.left(), region.right());
    const double right = std::max(region.left(), region.right());
    const double top = std::min(region.top(), region.bottom());
    const double bottom = std::max(region.top(), region.bottom());
    QList<QRectF> kept;
    for (const QRectF &o : obstacles) {
        if (!isFinite(o)) {
            kept.append(o);
            continue;
        }
        // Closed intervals on the normalised rectangle: an obstacle of no width can still
        // be crossed, and one that only touches the region can still move a detour line.
        const double oLeft = std::min(o.left(), o.right());
        const double oRight = std::max(o.left(), o.right());
        const double oTop = std::min(o.top(), o.bottom());
        const double oBottom = std::max(o.top(), o.bottom());
        if (oLeft <= right && oRight >= left && oTop <= bottom && oBottom >= top)
            kept.append(o);
    }
    return kept;
}

QList<QRectF> obstaclesNearPair(const QRectF &fromRect, const QRectF &toRect, const QList<QRectF> &obstacles,
                                std::optional<QPointF> fromAnchor, std::optional<QPointF> toAnchor)
{
    return obstaclesInRegion(pairObstacleRegion(fromRect, toRect, fromAnchor, toAnchor), obstacles);
}

QList<QRectF> obstaclesNearRoute(const Route &route, const QList<QRectF> &obstacles)
{
    if (route.size() < 2)
        return {};
    return obstaclesInRegion(routeObstacleRegion(route), obstacles);
}

} // namespace routing
