#include "edgeitem.h"

#include "entityitem.h"
#include "slotitem.h"
#include "thememanager.h"

#include <QMenu>
#include <QPainterPath>
#include <QPen>
#include <QSet>
#include <QTimer>
#include <QUuid>

#include <utility>

namespace {

constexpr int RerouteIntervalMs = 33;

struct RerouteControls
{
    bool suppressRouting = false;
    bool batchMode = false;
    bool discardPendingReroutes = false;
    bool largeSelectionMove = false;
    QSet<EdgeItem *> pendingReroutes;
    QSet<EdgeItem *> deferredReroutes;
    // Edges taken out of a set and not yet served, one set per flush in progress; a
    // destroyed edge leaves them too.
    QList<QSet<EdgeItem *> *> beingServed;
    QTimer *rerouteTimer = nullptr;
};

RerouteControls &controls()
{
    static RerouteControls state;
    return state;
}

QTimer *rerouteTimer()
{
    RerouteControls &c = controls();
    if (!c.rerouteTimer) {
        // Lives for the rest of the process; only started and stopped.
        c.rerouteTimer = new QTimer;
        c.rerouteTimer->setSingleShot(true);
        c.rerouteTimer->setInterval(RerouteIntervalMs);
        QObject::connect(c.rerouteTimer, &QTimer::timeout, c.rerouteTimer,
                         &EdgeItem::flushPendingReroutes, Qt::DirectConnection);
    }
    return c.rerouteTimer;
}

// Serves every edge of set one at a time, so an edge destroyed meanwhile (it removes
// itself from beingServed) is never touched.
template<typename Serve>
void serveAll(QSet<EdgeItem *> &set, Serve serve)
{
    QSet<EdgeItem *> served;
    served.swap(set);
    QList<QSet<EdgeItem *> *> &active = controls().beingServed;
    active.append(&served);
    while (!served.isEmpty()) {
        EdgeItem *edge = *served.cbegin();
        served.erase(served.cbegin());
        if (edge)
            serve(edge);
    }
    active.removeOne(&served);
}

} // namespace

EdgeItem::EdgeItem(EntityItem *fromBox, EntityItem *toBox, bool createFKs)
    : QObject()
    , QGraphicsPathItem()
    , from(fromBox)
    , to(toBox)
    , id(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    setZValue(-1.0);
    setFlag(ItemIsSelectable, true);
    setAcceptHoverEvents(true);

    if (from && to) {
        from->addEdge(this);
        to->addEdge(this);
        const QPointF fc = from->sceneBoundingRect().center();
        const QPointF tc = to->sceneBoundingRect().center();
        if (from != to) {
            fromSlot = from->slotForScenePoint(tc);
            fromSlot->setEdge(this);
            toSlot = to->slotForScenePoint(fc);
            toSlot->setEdge(this);
        } else {
            // A self relationship leaves on the left and comes back on the right.
            fromSlot = from->freeSlot();
            fromSlot->setSide(EntitySide::Left);
            fromSlot->setEdge(this);
            toSlot = from->freeSlot();
            toSlot->setSide(EntitySide::Right);
            toSlot->setEdge(this);
        }
        fromCentre = fc;
        toCentre = tc;
        if (createFKs) {
            const QList<QPair<QString, QString>> keys = from->primaryKeyAttributes();
            for (const auto &key : keys)
                to->addForeignKeyAttribute(key.first, key.second, id, QString());
            updatePath();
        }
    }

    EdgeItem::applyPen();
    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this, &EdgeItem::applyPen);
}

EdgeItem::~EdgeItem()
{
    m_beingDestroyed = true;
    if (removeForeignKeysOnDelete && to && !id.isEmpty())
        to->removeAttributes(id);
    if (fromSlot && from) {
        fromSlot->setEdge(nullptr);
        from->releaseSlot(fromSlot);
    }
    if (toSlot && to) {
        toSlot->setEdge(nullptr);
        to->releaseSlot(toSlot);
    }
    if (from)
        from->removeEdge(this);
    if (to)
        to->removeEdge(this);

    RerouteControls &c = controls();
    c.pendingReroutes.remove(this);
    c.deferredReroutes.remove(this);
    for (QSet<EdgeItem *> *served : std::as_const(c.beingServed))
        served->remove(this);

    delete cardinalityMenu;
}

void EdgeItem::updatePath()
{
    if (!from || !to || !fromSlot || !toSlot)
        return;
    // The route is a straight line between the slot centres until the router computes
    // proper right-angle routes (self relationships included).
    applyRoundedPath({ fromSlot->center(), toSlot->center() });
}

void EdgeItem::applyRoundedPath(const QList<QPointF> &route)
{
    points = route;
    highlighted = false;
    manualRoute = false;
    for (SlotItem *slot : { fromSlot, toSlot }) {
        if (slot) {
            slot->setHighlighted(false);
            slot->setRevealed(isSelected());
        }
    }
    QPainterPath path;
    if (!route.isEmpty()) {
        path.moveTo(route.first());
        for (qsizetype i = 1; i < route.size(); ++i)
            path.lineTo(route.at(i));
    }
    setPath(path);
    applyPen();
}

void EdgeItem::setStraightPreviewPath()
{
    if (!fromSlot || !toSlot)
        return;
    prepareGeometryChange();
    QPainterPath path(fromSlot->center());
    path.lineTo(toSlot->center());
    setPath(path);
    highlighted = true;
    for (SlotItem *slot : { fromSlot, toSlot })
        slot->setRevealed(true);
    for (SlotItem *slot : { fromSlot, toSlot })
        slot->setHighlighted(true);
    applyPen();
}

void EdgeItem::applyPen()
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    QPen p = pen();
    p.setColor(isSelected() || highlighted ? palette.accent : palette.line);
    p.setWidthF(2.0);
    p.setStyle(highlighted ? Qt::DashLine : Qt::SolidLine);
    p.setCapStyle(Qt::RoundCap);
    p.setJoinStyle(Qt::RoundJoin);
    setPen(p);
    update();
}

void EdgeItem::rerouteStraightWhenAligned()
{
    // Aligned slots become a straight line once the router exists; until then every
    // route is one.
    updatePath();
}

void EdgeItem::updatePathRespectingManual()
{
    if (manualRoute)
        rerouteStraightWhenAligned();
    else
        updatePath();
}

void EdgeItem::setSuppressRouting(bool on)
{
    controls().suppressRouting = on;
}

bool EdgeItem::isRoutingSuppressed()
{
    return controls().suppressRouting;
}

void EdgeItem::setBatchMode(bool on)
{
    RerouteControls &c = controls();
    c.batchMode = on;
    if (on)
        return;
    if (c.rerouteTimer) {
        c.rerouteTimer->stop();
        flushPendingReroutes();
    }
    if (c.discardPendingReroutes)
        c.deferredReroutes.clear();
    else
        flushDeferredReroutes();
    c.discardPendingReroutes = false;
    c.largeSelectionMove = false;
}

bool EdgeItem::isBatchMode()
{
    return controls().batchMode;
}

void EdgeItem::setDiscardPendingReroutes(bool discard)
{
    controls().discardPendingReroutes = discard;
}

bool EdgeItem::isDiscardingPendingReroutes()
{
    return controls().discardPendingReroutes;
}

void EdgeItem::setLargeSelectionMove(bool large)
{
    controls().largeSelectionMove = large;
}

bool EdgeItem::isLargeSelectionMove()
{
    return controls().largeSelectionMove;
}

void EdgeItem::flushPendingReroutes()
{
    serveAll(controls().pendingReroutes, [](EdgeItem *edge) { edge->rerouteStraightWhenAligned(); });
}

void EdgeItem::flushDeferredReroutes()
{
    serveAll(controls().deferredReroutes, [](EdgeItem *edge) { edge->updatePath(); });
}

bool EdgeItem::isReroutePending() const
{
    return controls().pendingReroutes.contains(const_cast<EdgeItem *>(this));
}

bool EdgeItem::isRerouteDeferred() const
{
    return controls().deferredReroutes.contains(const_cast<EdgeItem *>(this));
}

void EdgeItem::scheduleReroute()
{
    RerouteControls &c = controls();
    if (c.suppressRouting || m_beingDestroyed)
        return;
    if (!c.batchMode) {
        updatePath();
        return;
    }
    c.deferredReroutes.insert(this);
    c.pendingReroutes.insert(this);
    QTimer *timer = rerouteTimer();
    if (!timer->isActive())
        timer->start();
}

namespace {

// The side of the from box that faces the to box, for d = to centre - from centre.
EntitySide facingFrom(const QPointF &d)
{
    if (qAbs(d.x()) > qAbs(d.y()))
        return d.x() > 0 ? EntitySide::Right : EntitySide::Left;
    return d.y() > 0 ? EntitySide::Bottom : EntitySide::Top;
}

// The side of the to box that faces the from box.
EntitySide facingTo(const QPointF &d)
{
    if (qAbs(d.x()) > qAbs(d.y()))
        return d.x() < 0 ? EntitySide::Right : EntitySide::Left;
    return d.y() < 0 ? EntitySide::Bottom : EntitySide::Top;
}

} // namespace

void EdgeItem::reassignSlotsIfSideChanged()
{
    if (!from || !to)
        return;
    const QPointF fc = from->sceneBoundingRect().center();
    const QPointF tc = to->sceneBoundingRect().center();

    if (from == to) {
        if (fromSlot && fromSlot->side() != EntitySide::Left) {
            fromSlot->setSide(EntitySide::Left);
            fromSlot->constrainToParent();
        }
        if (toSlot && toSlot->side() != EntitySide::Right) {
            toSlot->setSide(EntitySide::Right);
            toSlot->constrainToParent();
        }
        fromCentre = fc;
        toCentre = tc;
        updatePath();
        return;
    }

    const QPointF before = toCentre - fromCentre;
    const QPointF now = tc - fc;
    bool retaken = false;
    if (facingTo(now) != facingTo(before)) {
        from->releaseSlot(fromSlot);
        fromSlot = from->slotForScenePoint(tc);
        fromSlot->setEdge(this);
        retaken = true;
    }
    if (facingFrom(now) != facingFrom(before)) {
        to->releaseSlot(toSlot);
        toSlot = to->slotForScenePoint(fc);
        toSlot->setEdge(this);
        retaken = true;
    }
    fromCentre = fc;
    toCentre = tc;
    if (retaken)
        updatePath();
}

QVariant EdgeItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedHasChanged) {
        const bool selected = value.toBool();
        // Later, once the selection has settled; dropped if the edge goes first.
        QTimer::singleShot(0, this, [this, selected] {
            if (!scene())
                return;
            applyPen();
            if (fromSlot && from && from->scene())
                fromSlot->setRevealed(selected);
            if (toSlot) {
                if (!to)
                    return;
                if (to->scene())
                    toSlot->setRevealed(selected);
            }
            if (to && to->scene())
                to->highlightEdgeAttributes(this, selected);
        });
    }
    return QGraphicsPathItem::itemChange(change, value);
}
