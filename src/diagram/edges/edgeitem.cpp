#include "edgeitem.h"

#include "entityitem.h"
#include "entityobstacleindex.h"
#include "flagguard.h"
#include "routebatch.h"
#include "routescoring.h"
#include "sceneindex.h"
#include "slotitem.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QMenu>
#include <QPainterPath>
#include <QPen>
#include <QPointer>
#include <QHash>
#include <QTimer>
#include <QUuid>

#include <utility>

namespace {

constexpr int RerouteIntervalMs = 33;
// More quick re-routes than this in one shot are a drag of a hub or of a large selection.
constexpr qsizetype ManyQuickReroutes = 64;

// Edges waiting for a re-route, in the order they were first asked for, so that two runs
// serve them alike. Removing an edge leaves a hole that serving skips.
class EdgeQueue
{
public:
    void insert(EdgeItem *edge)
    {
        if (m_index.contains(edge))
            return;
        m_index.insert(edge, m_order.size());
        m_order.append(edge);
    }

    void remove(EdgeItem *edge)
    {
        const auto it = m_index.constFind(edge);
        if (it == m_index.cend())
            return;
        m_order[*it] = nullptr;
        m_index.erase(it);
    }

    bool contains(EdgeItem *edge) const { return m_index.contains(edge); }
    // How many edges still wait.
    qsizetype size() const { return m_index.size(); }

    // The scene of the first edge still waiting that is in one.
    QGraphicsScene *firstScene() const
    {
        for (qsizetype i = m_next; i < m_order.size(); ++i) {
            if (m_order.at(i) && m_order.at(i)->scene())
                return m_order.at(i)->scene();
        }
        return nullptr;
    }

    // Calls f with each edge still waiting, in order.
    template<typename F>
    void forEach(F f) const
    {
        for (qsizetype i = m_next; i < m_order.size(); ++i) {
            if (m_order.at(i))
                f(m_order.at(i));
        }
    }

    void clear()
    {
        m_order.clear();
        m_index.clear();
        m_next = 0;
    }

    // The first edge still waiting, taken out; null when none is left.
    EdgeItem *takeFirst()
    {
        while (m_next < m_order.size()) {
            EdgeItem *edge = m_order.at(m_next++);
            if (edge) {
                m_index.remove(edge);
                return edge;
            }
        }
        clear();
        return nullptr;
    }

    void swap(EdgeQueue &other) noexcept
    {
        m_order.swap(other.m_order);
        m_index.swap(other.m_index);
        std::swap(m_next, other.m_next);
    }

private:
    QList<EdgeItem *> m_order;
    QHash<EdgeItem *, qsizetype> m_index;
    qsizetype m_next = 0;
};

struct RerouteControls
{
    bool suppressRouting = false;
    int batchHolds = 0;
    bool discardPendingReroutes = false;
    bool largeSelectionMove = false;
    EdgeQueue pendingReroutes;
    EdgeQueue deferredReroutes;
    // Edges taken out of a queue and not yet served, one queue per flush in progress; a
    // destroyed edge leaves them too.
    QList<EdgeQueue *> beingServed;
    QTimer *rerouteTimer = nullptr;
    bool rerouteTimerHeld = false;
    // The boxes of the scene being dragged in, topmost first, taken at the batch's first
    // quick re-route: the scene lists them only by sorting every row and slot.
    const QGraphicsScene *boxesScene = nullptr;
    QList<QPointer<EntityItem>> boxes;
    // The scene whose item index the batch turned off, to be turned on again at its end.
    QPointer<QGraphicsScene> unindexedScene;
    // Edges of that scene whose lines were drawn meanwhile with rough bounds, made exact
    // at the end.
    QList<QPointer<EdgeItem>> roughEdges;
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

// The boxes of scene, topmost first, as the batch took them; while a batch lasts boxes
// are moved, not added or restacked.
QList<EntityItem *> batchBoxes(const QGraphicsScene *scene)
{
    RerouteControls &c = controls();
    if (c.boxesScene != scene || c.batchHolds == 0) {
        c.boxes.clear();
        const QList<EntityItem *> boxes = EntityObstacleIndex::boxesOf(scene);
        for (EntityItem *box : boxes)
            c.boxes.append(box);
        c.boxesScene = c.batchHolds > 0 ? scene : nullptr;
        return boxes;
    }
    QList<EntityItem *> boxes;
    boxes.reserve(c.boxes.size());
    for (const QPointer<EntityItem> &box : std::as_const(c.boxes)) {
        if (box && box->scene() == scene)
            boxes.append(box);
    }
    return boxes;
}

// Every step of a drag of many lines moves each of them in the scene's tree of areas, and a
// long line sits in thousands of its cells: the scene goes without the tree until the
// batch ends.
void takeOffTreeIndex(QGraphicsScene *scene)
{
    RerouteControls &c = controls();
    if (scene && c.batchHolds > 0 && !c.unindexedScene
        && scene->itemIndexMethod() == QGraphicsScene::BspTreeIndex) {
        c.unindexedScene = scene;
        scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    }
}

// Serves every edge of queue one at a time, so an edge destroyed meanwhile (it removes
// itself from beingServed) is never touched.
template<typename Serve>
void serveAll(EdgeQueue &queue, Serve serve)
{
    EdgeQueue served;
    served.swap(queue);
    QList<EdgeQueue *> &active = controls().beingServed;
    active.append(&served);
    while (EdgeItem *edge = served.takeFirst())
        serve(edge);
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
    // Painting reads the exposed area to leave out the parts of a long line out of view.
    setFlag(ItemUsesExtendedStyleOption, true);

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

    forgetQueuedReroutes();
    for (EdgeQueue *served : std::as_const(controls().beingServed))
        served->remove(this);

    // A menu whose own event loop is still running (the edge was deleted from inside it)
    // goes when that loop has returned.
    if (cardinalityMenu && m_menuRunning)
        cardinalityMenu->deleteLater();
    else
        delete cardinalityMenu;
}

void EdgeItem::applyRoundedPath(const QList<QPointF> &route)
{
    RerouteControls &c = controls();
    if (!m_roughBounds && c.unindexedScene && c.unindexedScene == scene()) {
        setRoughBounds(true);
        c.roughEdges.append(this);
    }
    points = route;
    highlighted = false;
    manualRoute = false;
    for (SlotItem *slot : { fromSlot, toSlot }) {
        if (slot) {
            slot->setHighlighted(false);
            slot->setRevealed(isSelected());
        }
    }
    setPath(routing::buildRoundedPath(route, 10));
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
    if (on) {
        ++c.batchHolds;
        return;
    }
    if (c.batchHolds > 0 && --c.batchHolds > 0)
        return;
    if (c.rerouteTimer) {
        c.rerouteTimer->stop();
        flushPendingReroutes();
    }
    c.boxesScene = nullptr;
    c.boxes.clear();
    if (c.discardPendingReroutes)
        c.deferredReroutes.clear();
    else
        flushDeferredReroutes();
    for (const QPointer<EdgeItem> &edge : std::as_const(c.roughEdges)) {
        if (edge)
            edge->setRoughBounds(false);
    }
    c.roughEdges.clear();
    if (c.unindexedScene)
        putBackTreeIndex(c.unindexedScene);
    c.unindexedScene = nullptr;
    c.discardPendingReroutes = false;
    c.largeSelectionMove = false;
}

void EdgeItem::setRerouteTimerHeld(bool held)
{
    RerouteControls &c = controls();
    c.rerouteTimerHeld = held;
    if (held && c.rerouteTimer)
        c.rerouteTimer->stop();
}

bool EdgeItem::isRerouteTimerHeld()
{
    return controls().rerouteTimerHeld;
}

bool EdgeItem::isBatchMode()
{
    return controls().batchHolds > 0;
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
    // Quick re-routes follow a drag step by step; the search around boxes waits for the
    // release.
    const FlagGuard quick(s_routeSearchHeld);
    // Nothing moves while the queue is served, so one index answers every obstacle look-up
    // (an index already in use for the scene is kept); asking the scene instead collects
    // every row and slot on each edge's way, a thousand slots for each edge of a hub.
    RerouteControls &c = controls();
    EdgeQueue &pending = c.pendingReroutes;
    QGraphicsScene *scene = pending.firstScene();
    const bool fresh = scene && !obstacleIndexFor(scene);
    const EntityObstacleIndex index(scene, fresh ? batchBoxes(scene) : QList<EntityItem *>());
    const ObstacleIndexScope useIndex(fresh ? &index : obstacleIndex());
    // The edges of a hub would each weigh every box on their way: during the drag they
    // keep clear of the boxes near their ends only.
    const bool many = pending.size() > ManyQuickReroutes;
    const FlagGuard nearEnds(s_nearEndsOnly, s_nearEndsOnly || many);
    if (many)
        takeOffTreeIndex(scene);
    const EntityObstacleIndex *inUse = scene ? obstacleIndexFor(scene) : nullptr;
    if (!many || !inUse || RouteBatch::threadCount() <= 1) {
        serveAll(pending, [](EdgeItem *edge) { edge->rerouteStraightWhenAligned(); });
        return;
    }
    // The quick routes of a hub's edges depend on the boxes alone: worked out on several
    // threads first, they are drawn in the queue's order as each edge's turn comes.
    RouteBatch batch(*inUse);
    QHash<EdgeItem *, int> places;
    pending.forEach([&](EdgeItem *edge) {
        if (edge->quickRerouteRoutesAfresh()) {
            const int place = batch.add(edge);
            if (place >= 0)
                places.insert(edge, place);
        }
    });
    batch.run({});
    serveAll(pending, [&](EdgeItem *edge) {
        const int place = places.value(edge, -1);
        if (place < 0) {
            edge->rerouteStraightWhenAligned();
            return;
        }
        // As the edge's own quick re-route does, whether or not its line changes.
        edge->prepareGeometryChange();
        if (!batch.applyIfUnchanged(place))
            edge->rerouteStraightWhenAligned();
    });
}

void EdgeItem::prepareDragOfLines(QGraphicsScene *scene, qsizetype lines)
{
    if (!scene || lines <= ManyQuickReroutes || controls().batchHolds == 0)
        return;
    batchBoxes(scene);
    takeOffTreeIndex(scene);
}

void EdgeItem::forgetQueuedReroutes()
{
    RerouteControls &c = controls();
    c.pendingReroutes.remove(this);
    c.deferredReroutes.remove(this);
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
    if (c.batchHolds == 0) {
        updatePath();
        return;
    }
    c.deferredReroutes.insert(this);
    c.pendingReroutes.insert(this);
    QTimer *timer = rerouteTimer();
    if (!timer->isActive() && !c.rerouteTimerHeld)
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
