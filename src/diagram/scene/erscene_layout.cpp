// Automatic layout of the whole diagram: the boxes are placed by the plain functions of
// the layout library, then every edge chooses its sides, takes spread slots and is routed
// in several passes. Views are frozen and edge re-routing is batched meanwhile.
#include "erscene.h"

#include "componentpacking.h"
#include "drawnroutesscope.h"
#include "edgeitem.h"
#include "edgeswitchscope.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "forcelayout.h"
#include "hublayout.h"
#include "layoutquality.h"
#include "sceneindex.h"
#include "scenelayout.h"
#include "segmentseparation.h"
#include "slotarrangement.h"
#include "slotitem.h"
#include "viewfreeze.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QLoggingCategory>
#include <QMap>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSet>
#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <future>

namespace {

// Debug lines give the quality figures after each stage; measuring costs a sweep over every
// segment, so it is done only when they are on.
Q_LOGGING_CATEGORY(lcLayout, "velmora.layout", QtWarningMsg)

constexpr double MinNodeWidth = 40;
constexpr double MinNodeHeight = 30;
constexpr double SceneRectMargin = 120;
constexpr int EdgesPerEventTurn = 8;
constexpr int TurnIntervalMs = 20;
constexpr int MostCrowdedReroutes = 200;

QList<scenelayout::StageTime> &stageTimes()
{
    static QList<scenelayout::StageTime> times;
    return times;
}

int &turnInterval()
{
    static int ms = TurnIntervalMs;
    return ms;
}

// Entities added in one pass, each once, visited in the order they were first added.
class EntityVisitSet
{
public:
    void add(EntityItem *entity)
    {
        if (entity && !m_members.contains(entity)) {
            m_members.insert(entity);
            m_order.append(entity);
        }
    }
    bool contains(EntityItem *entity) const { return entity && m_members.contains(entity); }
    bool isEmpty() const { return m_order.isEmpty(); }
    const QList<QPointer<EntityItem>> &inOrder() const { return m_order; }

private:
    QSet<EntityItem *> m_members; // membership only; never iterated
    QList<QPointer<EntityItem>> m_order;
};

void letEventsRun()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

// Turns the event loop whenever turnInterval() ms of work have passed since the last turn, so
// that the busy overlay keeps moving through the long passes. The time spent in a turn
// does not count: slow handlers must not make the layout turn after every item.
class EventTurns
{
public:
    EventTurns() { m_sinceTurn.start(); }
    void whenDue()
    {
        if (m_sinceTurn.elapsed() >= turnInterval())
            now();
    }
    void now()
    {
        letEventsRun();
        m_sinceTurn.restart();
    }
    // Runs work on a thread of its own and turns the event loop every turnInterval() ms until
    // it is done; work must touch no item, so that nothing a turn does can reach it.
    template<typename Work>
    auto awaitWhileTurning(Work work)
    {
        auto result = std::async(std::launch::async, std::move(work));
        const auto wait = std::chrono::milliseconds(std::max(1, turnInterval()));
        while (result.wait_for(wait) != std::future_status::ready)
            now();
        m_sinceTurn.restart();
        return result.get();
    }

private:
    QElapsedTimer m_sinceTurn;
};

QPointF sceneCentre(const QGraphicsItem *item)
{
    return item->sceneBoundingRect().center();
}

// Centre of the box at the other end of edge, seen from entity; the entity's own centre
// for a missing edge or end.
QPointF otherEndCentre(const EdgeItem *edge, EntityItem *entity)
{
    EntityItem *other = nullptr;
    if (edge)
        other = edge->from != entity ? edge->from : edge->to;
    if (!other)
        other = entity;
    return sceneCentre(other);
}

// Longest first by the distance between the two boxes' centres; equal lengths keep their
// order, and edges with a missing end go last in their order.
void sortLongestFirst(QList<QPointer<EdgeItem>> &edges)
{
    struct Keyed
    {
        QPointer<EdgeItem> edge;
        bool complete;
        double length;
    };
    QList<Keyed> keyed;
    keyed.reserve(edges.size());
    for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
        const bool complete = edge && edge->from && edge->to;
        const double length = complete ? QLineF(sceneCentre(edge->from), sceneCentre(edge->to)).length() : 0;
        keyed.append({edge, complete, length});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.complete != b.complete)
            return a.complete;
        return a.length > b.length;
    });
    for (qsizetype i = 0; i < keyed.size(); ++i)
        edges[i] = keyed[i].edge;
}

void logRoutesQuality(const char *stage, const QList<routing::Route> &routes)
{
    if (!lcLayout().isDebugEnabled())
        return;
    QList<layout::QualityEdge> measured;
    measured.reserve(routes.size());
    for (const routing::Route &route : routes)
        measured.append({route, -1, -1});
    const layout::LayoutQuality q = layout::measureLayout({}, measured);
    qCDebug(lcLayout).nospace().noquote()
        << stage << ": " << q.crossings << " crossings, " << q.sharedRunEdgePairs << " line pairs sharing a run";
}

class StageClock
{
public:
    explicit StageClock(const QGraphicsScene *scene) : m_scene(scene) { m_timer.start(); }
    void lap(const QString &stage)
    {
        m_times.append({stage, m_timer.nsecsElapsed() / 1e6});
        if (lcLayout().isDebugEnabled()) {
            const layout::LayoutQuality q = scenelayout::measureScene(m_scene);
            qCDebug(lcLayout).nospace().noquote()
                << "after " << stage << ": " << q.crossings << " crossings, " << q.sharedRunEdgePairs
                << " line pairs sharing a run, " << q.segmentBoxHits << " segments through boxes, "
                << q.boxOverlaps << " overlapping boxes, area ratio " << layout::areaRatio(q);
        }
        // The measuring is not the stage's time.
        m_timer.restart();
    }
    QList<scenelayout::StageTime> times() const { return m_times; }

private:
    const QGraphicsScene *m_scene;
    QElapsedTimer m_timer;
    QList<scenelayout::StageTime> m_times;
};

QList<EdgeItem *> drawnEdges(const QList<QPointer<EdgeItem>> &edges)
{
    QList<EdgeItem *> drawn;
    drawn.reserve(edges.size());
    for (const QPointer<EdgeItem> &edge : edges)
        drawn.append(edge);
    return drawn;
}

// Edges whose first route crosses a box choose their sides again; their boxes' slots are
// spread again and every edge at those boxes is routed again.
void repairCrossings(ERScene &scene, const QList<QPointer<EdgeItem>> &edges, EventTurns &turns)
{
    EntityVisitSet touched;
    for (const QPointer<EdgeItem> &edge : edges) {
        if (edge && edge->crossesEntity()) {
            edge->evaluateSidePairs();
            touched.add(edge->from);
            touched.add(edge->to);
        }
        turns.whenDue();
    }
    if (touched.isEmpty())
        return;
    for (const QPointer<EntityItem> &entity : touched.inOrder()) {
        scene.arrangeEntitySlots(entity);
        turns.whenDue();
    }
    for (const QPointer<EdgeItem> &edge : edges) {
        if (edge && (touched.contains(edge->from) || touched.contains(edge->to)))
            edge->updatePath();
        turns.whenDue();
    }
}

// Gives lines sharing a channel tracks of their own, after the last routing pass so that
// the tracks are what is drawn. The moves queued no quick re-routes worth running: every
// edge has just been routed for the boxes where they stand.
void separateParallelRoutes(const QList<QPointer<EdgeItem>> &edges, const QList<QPointer<EntityItem>> &entities,
                            EventTurns &turns)
{
    QList<routing::Route> before;
    before.reserve(edges.size());
    for (const QPointer<EdgeItem> &edge : edges) {
        before.append(edge ? edge->points : routing::Route());
        if (edge)
            edge->forgetQueuedReroutes();
    }
    QList<QRectF> rects;
    rects.reserve(entities.size());
    for (const QPointer<EntityItem> &entity : entities) {
        if (entity)
            rects.append(entity->mapRectToScene(entity->rect));
    }
    // The separation works on copies of the routes and boxes, so it runs beside the event
    // loop; a box deleted meanwhile takes its edges, which the loop below then skips.
    QList<routing::Route> separated
        = turns.awaitWhileTurning([before, rects] { return layout::separateParallelSegments(before, rects); });
    // Lines a channel has no room for stay on one another's track: the later of each two
    // goes around the boxes again, keeping off the lines as routed, and the tracks are
    // given out again. Each re-route weighs every drawn line it passes, and the second
    // solve costs as much as the first: past MostCrowdedReroutes lines (a dense grid of
    // 2,000 boxes crowds 1,100, which took 28 s more) the tracks stay as first given.
    logRoutesQuality("first separation", separated);
    const QList<int> crowded = layout::routesSharingTracks(separated);
    qCDebug(lcLayout) << "lines crowded onto a shared track:" << crowded.size();
    if (!crowded.isEmpty() && crowded.size() <= MostCrowdedReroutes) {
        QList<EdgeItem *> drawn;
        drawn.reserve(edges.size());
        for (const QPointer<EdgeItem> &edge : edges)
            drawn.append(edge);
        DrawnRoutesScope steerClear(drawn, before);
        for (int i : crowded) {
            EdgeItem *edge = edges[i];
            if (!edge)
                continue;
            edge->rerouteAroundLines();
            edge->forgetQueuedReroutes();
            before[i] = edge->points;
            steerClear.update(edge);
            turns.whenDue();
        }
        // The others keep the tracks they were given.
        QList<routing::Route> again = separated;
        for (int i : crowded)
            again[i] = before[i];
        logRoutesQuality("before the second separation", before);
        separated = turns.awaitWhileTurning([again, rects] { return layout::separateParallelSegments(again, rects); });
        logRoutesQuality("second separation", separated);
    }
    for (qsizetype i = 0; i < edges.size(); ++i) {
        turns.whenDue();
        EdgeItem *edge = edges[i];
        if (!edge || separated[i] == before[i])
            continue;
        edge->applyRoute(separated[i]);
        // A moved segment that now runs through a box is worse than a shared track.
        if (edge->crossesEntity())
            edge->applyRoute(before[i]);
    }
}

} // namespace

void ERScene::layoutComponentForceDirected(QList<layout::LayoutNode> &nodes, const QList<layout::LayoutLink> &links)
{
    layout::layoutComponentForceDirected(nodes, links);
}

void ERScene::layoutComponentGrid(QList<layout::LayoutNode> &nodes, const QList<QList<int>> &neighbours,
                                  const QList<layout::LayoutLink> &links, const QList<int> &hubs)
{
    layout::layoutComponentGrid(nodes, neighbours, links, hubs);
}

void ERScene::arrangeEntitySlots(EntityItem *entity)
{
    if (!entity)
        return;
    // By side value, so that the order of the sides is fixed too.
    QMap<int, QList<SlotItem *>> bySide;
    for (SlotItem *slot : std::as_const(entity->slotItems)) {
        if (slot && slot->edge())
            bySide[int(slot->side())].append(slot);
    }
    for (auto it = bySide.cbegin(); it != bySide.cend(); ++it) {
        QList<layout::SlotTarget> targets;
        targets.reserve(it->size());
        for (SlotItem *slot : *it) {
            const QPointF other = otherEndCentre(slot->edge(), entity);
            targets.append({other, entity->mapFromScene(other)});
        }
        const QList<QPointF> positions = layout::arrangeSideSlots(it.key(), entity->rect, targets);
        for (qsizetype i = 0; i < it->size(); ++i) {
            SlotItem *slot = it->at(i);
            slot->setPos(positions[i]);
            slot->constrainToParent();
        }
    }
}

void ERScene::autoLayout()
{
    // A queued call that clears, loads or lays out the scene during one of the layout's
    // event-loop turns would leave the lists below pointing at freed items; a layout
    // during a load or a clear would work on items being replaced.
    if (m_structuralChange || bulkOperation) {
        qWarning() << "autoLayout: refused, the scene is being rebuilt";
        return;
    }
    QScopedValueRollback<bool> rebuilding(m_structuralChange, true);
    ViewFreeze freeze(this);
    StageClock clock(this);
    EventTurns turns;

    QList<QPointer<EntityItem>> entities;
    QList<QPointer<EdgeItem>> edges;
    const QList<QGraphicsItem *> all = items(Qt::DescendingOrder);
    for (QGraphicsItem *item : all) {
        if (item->type() == EntityItem::Type)
            entities.append(static_cast<EntityItem *>(item));
        else if (item->type() == EdgeItem::Type)
            edges.append(static_cast<EdgeItem *>(item));
    }
    if (entities.size() < 2)
        return;

    const QRectF bounds = itemsBoundingRect();
    const QPointF home = bounds.width() > 0 && bounds.height() > 0 ? bounds.center() : QPointF(0, 0);

    QList<layout::LayoutNode> nodes;
    nodes.reserve(entities.size());
    QHash<const EntityItem *, int> nodeOf; // look-ups only
    for (const QPointer<EntityItem> &entity : std::as_const(entities)) {
        const QRectF r = entity->boundingRect();
        layout::LayoutNode node;
        node.entity = entity;
        node.width = std::max(r.width(), MinNodeWidth);
        node.height = std::max(r.height(), MinNodeHeight);
        const QPointF centre = sceneCentre(entity);
        node.centreX = centre.x();
        node.centreY = centre.y();
        nodeOf.insert(entity, int(nodes.size()));
        nodes.append(node);
    }
    QList<layout::LayoutLink> links;
    for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
        if (!edge->from || !edge->to || edge->from == edge->to)
            continue;
        const int a = nodeOf.value(edge->from, -1);
        const int b = nodeOf.value(edge->to, -1);
        if (a >= 0 && b >= 0)
            links.append({a, b});
    }
    clock.lap(QStringLiteral("collect"));

    layout::layoutNodes(nodes, links, home);
    clock.lap(QStringLiteral("place"));

    turns.now();
    // Every moved box and every new route moves its item in the scene's tree of areas, and
    // a long line sits in thousands of its cells: in a diagram of thousands of boxes that
    // cost most of the layout. Nothing here asks the tree (the obstacle index answers the
    // routing), so the scene goes without it until the lines are drawn.
    const bool treeIndexed = itemIndexMethod() == BspTreeIndex;
    if (treeIndexed)
        setItemIndexMethod(NoIndex);
    EdgeItem::setBatchMode(true);
    EdgeItem::setDiscardPendingReroutes(true);
    for (const layout::LayoutNode &node : std::as_const(nodes)) {
        EntityItem *entity = node.entity;
        if (!entity)
            continue;
        const QRectF r = entity->boundingRect();
        entity->setPos(QPointF(node.centreX, node.centreY) - QPointF(r.x() + r.width() / 2, r.y() + r.height() / 2));
    }
    clock.lap(QStringLiteral("move"));
    QList<EntityItem *> boxes;
    boxes.reserve(entities.size());
    for (const QPointer<EntityItem> &entity : std::as_const(entities)) {
        if (entity)
            boxes.append(entity);
    }
    const EntityObstacleIndex obstacleIndex(this, boxes);
    const ObstacleIndexScope useIndex(&obstacleIndex);
    {
        // From the end of the moves until batch mode ends, however long the passes take.
        RerouteTimerHold holdTimer;

        for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
            if (edge)
                edge->evaluateSidePairs();
            turns.whenDue();
        }
        clock.lap(QStringLiteral("sides"));
        for (const QPointer<EntityItem> &entity : std::as_const(entities)) {
            arrangeEntitySlots(entity);
            turns.whenDue();
        }
        clock.lap(QStringLiteral("slots"));

        sortLongestFirst(edges);
        {
            // Until the last pass the edges keep to the candidate shapes: the crossing
            // repair and the side choice get the first chance to clear a blocked line, and
            // only what they leave blocked goes around the boxes.
            const RouteSearchHold candidatesOnly;
            for (qsizetype i = 0; i < edges.size(); ++i) {
                if (edges[i])
                    edges[i]->updatePath();
                if ((i + 1) % EdgesPerEventTurn == 0)
                    turns.now();
            }
            clock.lap(QStringLiteral("route"));

            repairCrossings(*this, edges, turns);
            clock.lap(QStringLiteral("crossing repair"));

            // The side choice also weighs the other edges' lines a route would cross, as
            // they stand after the repair.
            EntityVisitSet changedSides;
            const DrawnRoutesScope weighCrossings(drawnEdges(edges));
            for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
                if (edge && edge->autoRoute()) {
                    changedSides.add(edge->from);
                    changedSides.add(edge->to);
                }
                turns.whenDue();
            }
            for (const QPointer<EntityItem> &entity : changedSides.inOrder()) {
                arrangeEntitySlots(entity);
                turns.whenDue();
            }
        }
        clock.lap(QStringLiteral("side choice"));
        {
            // A line that must go around boxes keeps off the others' lines where it can.
            const DrawnRoutesScope steerClear(drawnEdges(edges));
            for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
                // A loop follows its slots, which the spreading may have moved.
                if (edge && edge->from == edge->to)
                    edge->updatePath();
                else if (edge)
                    edge->rerouteIfSlotted();
                turns.whenDue();
            }
        }
        clock.lap(QStringLiteral("final routing"));
        separateParallelRoutes(edges, entities, turns);
        clock.lap(QStringLiteral("separation"));

        turns.now();
    }
    // Serves the quick re-routes the moves queued and drops the full ones.
    EdgeItem::setBatchMode(false);
    if (treeIndexed && itemIndexMethod() == NoIndex)
        putBackTreeIndex(this);
    clock.lap(QStringLiteral("end of batch"));

    setSceneRect(itemsBoundingRect().adjusted(-SceneRectMargin, -SceneRectMargin, SceneRectMargin, SceneRectMargin));
    update(sceneRect());
    clock.lap(QStringLiteral("scene rectangle"));
    stageTimes() = clock.times();
}

namespace scenelayout {

QList<StageTime> lastStageTimes()
{
    return stageTimes();
}

void setEventTurnInterval(int ms)
{
    turnInterval() = std::max(0, ms);
}

layout::LayoutQuality measureScene(const QGraphicsScene *scene)
{
    if (!scene)
        return {};
    QList<EntityItem *> entities;
    QList<EdgeItem *> edges;
    const QList<QGraphicsItem *> all = scene->items(Qt::DescendingOrder);
    for (QGraphicsItem *item : all) {
        if (item->type() == EntityItem::Type)
            entities.append(static_cast<EntityItem *>(item));
        else if (item->type() == EdgeItem::Type)
            edges.append(static_cast<EdgeItem *>(item));
    }
    QList<QRectF> boxes;
    QHash<const EntityItem *, int> indexOf;
    for (EntityItem *entity : std::as_const(entities)) {
        indexOf.insert(entity, int(boxes.size()));
        boxes.append(entity->mapRectToScene(entity->rect));
    }
    QList<layout::QualityEdge> routes;
    for (EdgeItem *edge : std::as_const(edges))
        routes.append({edge->points, indexOf.value(edge->from, -1), indexOf.value(edge->to, -1)});
    return layout::measureLayout(boxes, routes);
}

} // namespace scenelayout
