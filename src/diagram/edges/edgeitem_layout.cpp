// What the automatic layout asks of a relationship edge: choosing the sides of its two
// slots, taking slots on given sides, testing its route against the other boxes and
// weighing fresh routes against the one it has.
#include "edgeitem.h"

#include "drawnroutesscope.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "obstaclefilter.h"
#include "routegeometry.h"
#include "sidepairs.h"
#include "slotitem.h"

#include <QGraphicsScene>

#include <cmath>

namespace {

QPointF sceneCentre(const EntityItem *entity)
{
    return entity->sceneBoundingRect().center();
}

const EntityObstacleIndex *activeObstacleIndex = nullptr;

} // namespace

void EdgeItem::setObstacleIndex(const EntityObstacleIndex *index)
{
    activeObstacleIndex = index;
}

const EntityObstacleIndex *EdgeItem::obstacleIndex()
{
    return activeObstacleIndex;
}

const EntityObstacleIndex *EdgeItem::obstacleIndexFor(const QGraphicsScene *scene)
{
    if (!activeObstacleIndex || isFullObstacleWalk() || activeObstacleIndex->scene() != scene)
        return nullptr;
    return activeObstacleIndex;
}

void EdgeItem::evaluateSidePairs()
{
    if (!from || !to)
        return;
    if (from == to) {
        reassignSlotsTowardEachOther();
        return;
    }
    const QRectF fromRect = from->sceneBoundingRect();
    const QRectF toRect = to->sceneBoundingRect();
    const EntityObstacleIndex *index = obstacleIndexFor(scene());
    const quint64 serial = index ? index->serial() : 0;
    if (serial == 0 || m_sideMemo.indexSerial != serial || m_sideMemo.fromRect != fromRect
        || m_sideMemo.toRect != toRect) {
        const QList<QRectF> obstacles = obstaclesIn(routing::pairObstacleRegion(fromRect, toRect));
        const routing::SidePairChoice choice = routing::chooseSidePair({fromRect, toRect, obstacles});
        m_sideMemo = {serial, fromRect, toRect, choice.sides.from, choice.sides.to};
    }
    assignSlotsForSides(m_sideMemo.fromSide, m_sideMemo.toSide);
}

void EdgeItem::assignSlotsForSides(int fromSide, int toSide)
{
    if (!from || !to)
        return;
    if (fromSlot) {
        from->releaseSlot(fromSlot);
        fromSlot = nullptr;
    }
    if (toSlot) {
        to->releaseSlot(toSlot);
        toSlot = nullptr;
    }
    const QPointF fromTarget = from->mapFromScene(sceneCentre(to));
    const QPointF toTarget = to->mapFromScene(sceneCentre(from));
    fromSlot = from->slotAt(EntitySide(fromSide), routing::slotAnchorOnSide(from->boundingRect(), fromSide, fromTarget));
    fromSlot->setEdge(this);
    toSlot = to->slotAt(EntitySide(toSide), routing::slotAnchorOnSide(to->boundingRect(), toSide, toTarget));
    toSlot->setEdge(this);
    fromCentre = sceneCentre(from);
    toCentre = sceneCentre(to);
}

void EdgeItem::reassignSlotsTowardEachOther()
{
    if (!from || !to)
        return;
    if (from == to) {
        if (fromSlot) {
            fromSlot->setSide(EntitySide::Left);
            fromSlot->constrainToParent();
        }
        if (toSlot) {
            toSlot->setSide(EntitySide::Right);
            toSlot->constrainToParent();
        }
    } else {
        if (fromSlot) {
            from->releaseSlot(fromSlot);
            fromSlot = nullptr;
        }
        if (toSlot) {
            to->releaseSlot(toSlot);
            toSlot = nullptr;
        }
        fromSlot = from->slotForScenePoint(sceneCentre(to));
        fromSlot->setEdge(this);
        toSlot = to->slotForScenePoint(sceneCentre(from));
        toSlot->setEdge(this);
    }
    fromCentre = sceneCentre(from);
    toCentre = sceneCentre(to);
}

bool EdgeItem::crossesEntity() const
{
    if (!scene() || points.size() < 2)
        return false;
    // Only boxes that meet the route's own bounding box can be hit by it.
    const QList<QRectF> obstacles = obstaclesIn(routing::routeObstacleRegion(points));
    return routing::countObstacleHits(points, obstacles) > 0;
}

bool EdgeItem::autoRoute()
{
    if (!from || !to || from == to || !fromSlot || !toSlot || !scene())
        return false;
    const QRectF fromRect = from->sceneBoundingRect();
    const QRectF toRect = to->sceneBoundingRect();
    const routing::SidePair current{int(fromSlot->side()), int(toSlot->side())};
    const QPointF fromAnchor = fromSlot->center();
    const QPointF toAnchor = toSlot->center();

    // The fresh routes stay near the two boxes and the current route meets only boxes
    // around its own points: one query over both reaches gives what the full walk gives.
    QRectF reach = routing::pairObstacleRegion(fromRect, toRect, fromAnchor, toAnchor);
    const QRectF routeReach = routing::routeObstacleRegion(points);
    if (!routeReach.isNull())
        reach = reach.united(routeReach);
    const QList<QRectF> obstacles = obstaclesIn(reach);

    // During the layout's side choice the other edges' lines are weighed too.
    const DrawnRoutesScope *drawn = DrawnRoutesScope::current();
    const int own = drawn ? drawn->indexOf(this) : -1;
    const routing::AutoRouteChoice choice = routing::chooseAutoRoute(
        fromRect, toRect, current, fromAnchor, toAnchor, points, obstacles, own >= 0 ? &drawn->lines() : nullptr, own);
    switch (choice.outcome) {
    case routing::AutoRouteChoice::ApplyRoute:
        applyRoute(choice.route);
        return false;
    case routing::AutoRouteChoice::MoveSlots:
        // The old route stays until the caller routes the edge again.
        assignSlotsForSides(choice.sides.from, choice.sides.to);
        return true;
    case routing::AutoRouteChoice::Keep:
        break;
    }
    return false;
}
