#include "edgeitem.h"

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
    // ENTITY BOX BOOKKEEPING (construction): register with both ends, take a slot on
    // each end facing the other box (two free slots, left and right, for a self
    // relationship), set fromCentre/toCentre, and with createFKs copy the primary-key
    // rows of `from` into `to` as foreign-key rows carrying this id, then updatePath().
    Q_UNUSED(createFKs);

    setZValue(-1.0);
    setFlag(ItemIsSelectable, true);
    setAcceptHoverEvents(true);

    EdgeItem::applyPen();
    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this, &EdgeItem::applyPen);
}

EdgeItem::~EdgeItem()
{
    RerouteControls &c = controls();
    c.pendingReroutes.remove(this);
    c.deferredReroutes.remove(this);
    for (QSet<EdgeItem *> *served : std::as_const(c.beingServed))
        served->remove(this);

    // ENTITY BOX BOOKKEEPING (destruction): with removeForeignKeysOnDelete, `to` set and
    // a non-empty id, remove the foreign-key rows of this edge from `to`; hand each set
    // slot back to its box (clearing its edge pointer); leave the edge lists of both ends.

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
    if (c.suppressRouting)
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
