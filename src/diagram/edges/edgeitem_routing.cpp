// Routing of a relationship edge: the route between two boxes around the other boxes,
// self-relationship loops, applying a route and the quick straight re-route.
#include "edgeitem.h"

#include "drawnroutesscope.h"
#include "edgeroute.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "obstaclefilter.h"
#include "routegeometry.h"
#include "routescoring.h"
#include "slotitem.h"

#include <QGraphicsScene>
#include <QLineF>

#include <cmath>
#include <functional>

namespace {

constexpr double AxisTolerance = 0.5;
constexpr double CornerRadius = 10;
constexpr double CorridorMargin = 2;
// How far around its two boxes a quick re-route of a drag with many edges looks for boxes.
constexpr double NearEndsReach = 160;

bool fullObstacleWalk = false;

} // namespace

bool EdgeItem::s_routeSearchHeld = false;
bool EdgeItem::s_nearEndsOnly = false;

namespace {

bool isFiniteRect(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height());
}

edgeroute::EdgeEnds endsOf(const EdgeItem &edge)
{
    edgeroute::EdgeEnds ends;
    ends.fromAnchor = edge.fromSlot->center();
    ends.toAnchor = edge.toSlot->center();
    ends.fromSide = int(edge.fromSlot->side());
    ends.toSide = int(edge.toSlot->side());
    ends.fromRect = edge.from->sceneBoundingRect();
    ends.toRect = edge.to->sceneBoundingRect();
    return ends;
}

bool isRoutable(const EdgeItem &edge)
{
    return edge.from && edge.to && edge.fromSlot && edge.toSlot;
}

bool meetsSlots(const QList<QPointF> &route, const QPointF &fromAnchor, const QPointF &toAnchor)
{
    return route.size() >= 2 && QLineF(route.first(), fromAnchor).length() <= AxisTolerance
        && QLineF(route.last(), toAnchor).length() <= AxisTolerance && routing::isRectilinearRoute(route);
}

// Only boxes near the two ends can change the route; asking the index for them spares the
// walk over every row and slot of a large diagram.
QList<QRectF> obstaclesNearEnds(const edgeroute::EdgeEnds &ends, const edgeroute::ObstacleQuery &obstaclesIn,
                                bool nearEndsOnly)
{
    const QList<QRectF> obstacles =
        obstaclesIn(routing::pairObstacleRegion(ends.fromRect, ends.toRect, ends.fromAnchor, ends.toAnchor));
    if (!nearEndsOnly)
        return obstacles;
    const QRectF nearFrom = ends.fromRect.adjusted(-NearEndsReach, -NearEndsReach, NearEndsReach, NearEndsReach);
    const QRectF nearTo = ends.toRect.adjusted(-NearEndsReach, -NearEndsReach, NearEndsReach, NearEndsReach);
    QList<QRectF> near;
    for (const QRectF &o : obstacles) {
        if (o.intersects(nearFrom) || o.intersects(nearTo))
            near.append(o);
    }
    return near;
}

// The route between two different boxes: a candidate shape, or when that runs through a
// box, the way around the boxes that around finds.
QList<QPointF> routeBetweenBoxes(const edgeroute::EdgeEnds &ends, const edgeroute::ObstacleQuery &obstaclesIn,
                                 bool nearEndsOnly, bool searchHeld, const std::function<QList<QPointF>()> &around)
{
    const QList<QRectF> obstacles = obstaclesNearEnds(ends, obstaclesIn, nearEndsOnly);
    const QList<QPointF> route = edgeroute::entityRoute(ends, obstacles);
    if (searchHeld || !edgeroute::runsThroughBoxes(route, ends, obstacles))
        return route;
    // The candidate shapes stay near the two boxes; a line blocked farther on goes around.
    const QList<QPointF> found = around();
    return found.size() >= 2 ? found : route;
}

// What is drawn of route (of at least two points) between two different boxes: the route
// when it meets the two slots, else the one worked out afresh, else a one-corner route.
// Empty when there is nothing to draw; what is drawn then stays.
QList<QPointF> routeToDraw(const QList<QPointF> &route, const QPointF &fromAnchor, const QPointF &toAnchor,
                           const std::function<QList<QPointF>()> &afresh,
                           const std::function<QList<QPointF>()> &oneCorner)
{
    QList<QPointF> cleaned = routing::removeCollinearPoints(route);
    if (meetsSlots(cleaned, fromAnchor, toAnchor))
        return cleaned;
    cleaned = afresh();
    if (!routing::isRectilinearRoute(cleaned))
        cleaned = oneCorner();
    // Without both boxes there is nothing to route afresh.
    return cleaned.size() >= 2 ? cleaned : QList<QPointF>();
}

} // namespace

void EdgeItem::setFullObstacleWalk(bool on)
{
    fullObstacleWalk = on;
}

bool EdgeItem::isFullObstacleWalk()
{
    return fullObstacleWalk;
}

void EdgeItem::setRouteSearchHeld(bool held)
{
    s_routeSearchHeld = held;
}

bool EdgeItem::isRouteSearchHeld()
{
    return s_routeSearchHeld;
}

QList<QRectF> EdgeItem::obstacleRects() const
{
    if (!isRoutable(*this))
        return {};
    return obstaclesNearEnds(endsOf(*this), [this](const QRectF &region) { return obstaclesIn(region); },
                             s_nearEndsOnly);
}

QList<QRectF> EdgeItem::obstaclesIn(const QRectF &region) const
{
    QList<QRectF> obstacles;
    QGraphicsScene *s = scene();
    if (!s || region.isNull())
        return obstacles;
    if (const EntityObstacleIndex *index = obstacleIndexFor(s))
        return index->obstaclesIn(region, from, to);
    if (!fullObstacleWalk) {
        if (const EntityObstacleIndex *kept = EntityObstacleIndex::keptFor(s))
            return kept->obstaclesIn(region, from, to);
    }
    // The full walk is kept for comparison (setFullObstacleWalk).
    const QList<QGraphicsItem *> items = fullObstacleWalk || !isFiniteRect(region)
        ? s->items(Qt::DescendingOrder)
        : s->items(region, Qt::IntersectsItemBoundingRect, Qt::DescendingOrder);
    for (QGraphicsItem *item : items) {
        if (item->type() == EntityItem::Type && item != from && item != to)
            obstacles.append(routing::insetObstacleRect(item->sceneBoundingRect()));
    }
    return obstacles;
}

QList<QPointF> EdgeItem::computeRoute() const
{
    if (!isRoutable(*this))
        return {};
    // The quick re-route reaches here for self relationships too; they keep their loop.
    if (from == to)
        return computeSlotRoute();
    return routeBetweenBoxes(
        endsOf(*this), [this](const QRectF &region) { return obstaclesIn(region); }, s_nearEndsOnly,
        s_routeSearchHeld, [this] { return routeAroundBoxes(); });
}

bool EdgeItem::routeEnds(edgeroute::EdgeEnds &ends) const
{
    if (!isRoutable(*this) || from == to)
        return false;
    ends = endsOf(*this);
    return true;
}

QList<QPointF> EdgeItem::drawnRouteBetween(const edgeroute::EdgeEnds &ends, const edgeroute::ObstacleQuery &obstaclesIn,
                                           bool nearEndsOnly, bool searchHeld)
{
    const QList<QPointF> computed =
        routeBetweenBoxes(ends, obstaclesIn, nearEndsOnly, searchHeld,
                          [&] { return edgeroute::routeAroundBoxes(ends, obstaclesIn); });
    if (computed.size() < 2)
        return {};
    // Worked out afresh the route comes out the same.
    return routeToDraw(
        computed, ends.fromAnchor, ends.toAnchor, [&] { return computed; },
        [&] { return edgeroute::oneCornerRoute(ends); });
}

QList<QPointF> EdgeItem::routeAroundBoxes() const
{
    const edgeroute::EdgeEnds ends = endsOf(*this);
    const EntityObstacleIndex *index = obstacleIndexFor(scene());
    const quint64 serial = index ? index->serial() : 0;
    SearchMemo &memo = m_searchMemo;
    if (serial != 0 && memo.indexSerial == serial && memo.fromAnchor == ends.fromAnchor
        && memo.toAnchor == ends.toAnchor && memo.fromSide == ends.fromSide && memo.toSide == ends.toSide
        && memo.fromRect == ends.fromRect && memo.toRect == ends.toRect)
        return memo.route;
    const DrawnRoutesScope *drawn = DrawnRoutesScope::current();
    const int own = drawn ? drawn->indexOf(this) : -1;
    const QList<QPointF> around = edgeroute::routeAroundBoxes(
        ends, [this](const QRectF &region) { return obstaclesIn(region); }, own >= 0 ? &drawn->lines() : nullptr,
        own);
    // Kept only over an index: without one the boxes may have moved by the next call.
    memo = {serial, ends.fromAnchor, ends.toAnchor, ends.fromSide, ends.toSide, ends.fromRect, ends.toRect,
            serial != 0 ? around : QList<QPointF>()};
    return around;
}

int EdgeItem::selfLoopIndex() const
{
    if (!from || from != to)
        return -1;
    // A self relationship is listed twice on its box; each earlier one counts once.
    QList<const EdgeItem *> earlier;
    for (const EdgeItem *edge : std::as_const(from->edges)) {
        if (edge == this)
            return int(earlier.size());
        if (edge && edge->from == from && edge->to == from && !earlier.contains(edge))
            earlier.append(edge);
    }
    return -1;
}

QList<QPointF> EdgeItem::computeSlotRoute() const
{
    if (!isRoutable(*this))
        return {};
    return edgeroute::selfRelationshipRoute(from->sceneBoundingRect(), fromSlot->center(), toSlot->center(),
                                            int(fromSlot->side()), int(toSlot->side()),
                                            std::max(0, selfLoopIndex()));
}

void EdgeItem::updatePath()
{
    if (!from || !to)
        return;
    if (from == to) {
        const QList<QPointF> loop = computeSlotRoute();
        if (loop.size() >= 2)
            applyRoute(loop);
        return;
    }
    applyRoute(computeRoute());
}

void EdgeItem::applyRoute(const QList<QPointF> &route)
{
    if (route.size() < 2)
        return;
    if (!fromSlot || !toSlot || from == to) {
        applyRoundedPath(routing::removeCollinearPoints(route));
        return;
    }
    const QList<QPointF> drawn = routeToDraw(
        route, fromSlot->center(), toSlot->center(), [this] { return computeRoute(); },
        [this] { return isRoutable(*this) ? edgeroute::oneCornerRoute(endsOf(*this)) : QList<QPointF>(); });
    if (drawn.size() >= 2)
        applyRoundedPath(drawn);
}

void EdgeItem::rerouteIfSlotted()
{
    if (from && to && from != to && fromSlot && toSlot)
        applyRoute(computeRoute());
}

void EdgeItem::rerouteAroundLines()
{
    if (!from || !to || from == to || !fromSlot || !toSlot)
        return;
    // The last search weighed other lines, or none: it is not the answer now.
    m_searchMemo = {};
    const QList<QPointF> around = routeAroundBoxes();
    if (around.size() >= 2)
        applyRoute(around);
}

bool EdgeItem::quickRerouteRoutesAfresh() const
{
    if (!fromSlot || !toSlot || points.size() < 2 || !from || from == to || !scene())
        return false;
    const QPointF fromAnchor = fromSlot->center();
    const QPointF toAnchor = toSlot->center();
    return std::abs(fromAnchor.x() - toAnchor.x()) >= AxisTolerance
        && std::abs(fromAnchor.y() - toAnchor.y()) >= AxisTolerance;
}

void EdgeItem::rerouteStraightWhenAligned()
{
    if (!fromSlot || !toSlot || points.size() < 2)
        return;
    prepareGeometryChange();
    // Two slots of one box in line would collapse the loop into a line across the box.
    if (from && from == to) {
        updatePath();
        return;
    }
    const QPointF fromAnchor = fromSlot->center();
    const QPointF toAnchor = toSlot->center();
    const bool vertical = std::abs(fromAnchor.x() - toAnchor.x()) < AxisTolerance;
    const bool horizontal = std::abs(fromAnchor.y() - toAnchor.y()) < AxisTolerance;
    QGraphicsScene *s = scene();
    if (!s || (!vertical && !horizontal)) {
        applyRoute(computeRoute());
        return;
    }

    const QRectF corridor = QRectF(fromAnchor, toAnchor)
                                .normalized()
                                .adjusted(-CorridorMargin, -CorridorMargin, CorridorMargin, CorridorMargin);
    const QList<QGraphicsItem *> items = s->items(corridor, Qt::IntersectsItemBoundingRect, Qt::AscendingOrder);
    for (QGraphicsItem *item : items) {
        if (item->type() != EntityItem::Type || item == from || item == to)
            continue;
        const QRectF r = item->sceneBoundingRect().adjusted(-CorridorMargin, -CorridorMargin, CorridorMargin,
                                                            CorridorMargin);
        const bool blocks = vertical
            ? r.x() <= fromAnchor.x() && fromAnchor.x() <= r.right()
                && r.y() <= std::max(fromAnchor.y(), toAnchor.y()) && std::min(fromAnchor.y(), toAnchor.y()) <= r.bottom()
            : r.y() <= fromAnchor.y() && fromAnchor.y() <= r.bottom()
                && r.x() <= std::max(fromAnchor.x(), toAnchor.x()) && std::min(fromAnchor.x(), toAnchor.x()) <= r.right();
        if (blocks) {
            applyRoute(computeRoute());
            return;
        }
    }

    // The quick path keeps the look and the manual-route flag as they are.
    points = { fromAnchor, toAnchor };
    setPath(routing::buildRoundedPath(points, CornerRadius));
}
