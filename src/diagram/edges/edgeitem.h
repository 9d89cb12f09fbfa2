#pragma once

#include "diagramitemtypes.h"

#include <QGraphicsPathItem>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QSet>
#include <QString>

#include <functional>

QT_BEGIN_NAMESPACE
class QMenu;
class QStyleOptionGraphicsItem;
QT_END_NAMESPACE

class EntityItem;
class EntityObstacleIndex;
class SlotItem;

namespace edgeroute {
struct EdgeEnds;
}

// The graphics item of one relationship: a line between a connection slot on the from
// box and one on the to box. The fields are read and written directly by the router,
// the scene and the main window.
class EdgeItem : public QObject, public QGraphicsPathItem
{
    Q_OBJECT

public:
    enum { Type = DiagramItemType::EdgeItem };

    // Either end may be null (an edge that only joins two slots, as in tests); nothing
    // that needs an end runs then.
    EdgeItem(EntityItem *from, EntityItem *to, bool createFKs);
    ~EdgeItem() override;

    int type() const override { return Type; }
    // Room for the markers around the line; a flat line is grown to take them.
    QRectF boundingRect() const override;
    // The line stroked 20 wider: the area that takes clicks and hovering.
    QPainterPath shape() const override;
    virtual bool isEntityViewEdge() const { return false; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

    // Recomputes and applies the route between the two slots.
    void updatePath();
    // One straight dashed accent line between the slot centres while a slot is dragged.
    void setStraightPreviewPath();
    // Makes points the route and shows it; clears the preview and manual-route flags.
    void applyRoundedPath(const QList<QPointF> &points);
    // Accent when selected or highlighted, else the line colour; dashed while
    // highlighted. Follows every theme change.
    virtual void applyPen();
    // Whether the right-click menu sets cardinalities; the view link has none.
    virtual bool supportsCardinality() const { return true; }

    // --- routes -------------------------------------------------------------------------
    // The route between two different boxes around the other boxes of the scene; empty
    // without both ends and both slots. Changes nothing.
    QList<QPointF> computeRoute() const;
    // The loop of a self relationship by the sides of its two slots; empty without slots.
    QList<QPointF> computeSlotRoute() const;
    // The ends of the route between two different boxes as they stand; false for a self
    // relationship or without both boxes and both slots.
    bool routeEnds(edgeroute::EdgeEnds &ends) const;
    // What updatePath draws for an edge with these ends when the other boxes are those
    // obstaclesIn gives and no drawn lines are weighed; empty when what is drawn stays.
    // Reads no item, so it may run on any thread.
    static QList<QPointF> drawnRouteBetween(const edgeroute::EdgeEnds &ends,
                                            const std::function<QList<QRectF>(const QRectF &)> &obstaclesIn,
                                            bool nearEndsOnly, bool searchHeld);
    static bool isNearEndsOnly() { return s_nearEndsOnly; }
    // How many self relationships of the box come before this one; -1 for other edges.
    int selfLoopIndex() const;
    // Makes route the drawn route once it fits the slots, else routes afresh. A route of
    // fewer than two points is ignored.
    void applyRoute(const QList<QPointF> &route);
    void rerouteIfSlotted();
    // Searches a way around the boxes afresh, weighing the lines of the drawn-routes scope
    // in use, and takes it when one is found.
    void rerouteAroundLines();
    // The other entity boxes near the two ends, inset, as the router takes them.
    QList<QRectF> obstacleRects() const;
    // The other entity boxes of the scene that meet region, inset as obstacles, in
    // descending stacking order (every box for a region that is not finite).
    QList<QRectF> obstaclesIn(const QRectF &region) const;
    // Makes obstacleRects walk every item of the scene instead of asking the scene's index
    // for the boxes near the two ends; the routes are the same. For tests and measurements.
    static void setFullObstacleWalk(bool on);
    static bool isFullObstacleWalk();

    // --- segment dragging, menu and dialog ------------------------------------------------
    // Index of the inner route segment within 8 of scenePos, or -1.
    int hitTestHandle(const QPointF &scenePos) const;
    // Moves the dragged segment across its own direction.
    void moveSegment(double delta);
    void openEditDialog();

    // --- the edge object of the diagram document --------------------------------------------
    QJsonObject toJson() const;
    // Applies an object read for an edge the scene made between the two boxes it names.
    void fromJson(const QJsonObject &object);
    void readSlotJson(SlotItem *slot, const QJsonObject &object);
    // Keeps a stored route while making it meet the current slots.
    void fitLoadedRoute(const QList<QPointF> &route);

    void rerouteStraightWhenAligned();
    // Whether rerouteStraightWhenAligned works the route out afresh: an edge between two
    // boxes whose slots are not in line.
    bool quickRerouteRoutesAfresh() const;
    void updatePathRespectingManual();
    // After boxes were moved: routes again every other line whose route now runs through one
    // of them, except the edges in done (routed with their boxes already).
    static void rerouteLinesUnder(QGraphicsScene *scene, const QList<EntityItem *> &boxes,
                                  const QSet<EdgeItem *> &done);

    // --- automatic layout ------------------------------------------------------------------
    // Chooses the sides of the two slots from the boxes' positions and takes slots there;
    // a self relationship goes to left and right. The route stays until routed again.
    void evaluateSidePairs();
    // Hands both slots back and takes one on the given side of each box, aimed at the other.
    void assignSlotsForSides(int fromSide, int toSide);
    // Hands both slots back and takes the slots that face the other box.
    void reassignSlotsTowardEachOther();
    // Whether the current route runs through another entity box.
    bool crossesEntity() const;
    // Weighs fresh routes on every side pair against the current one: applies a better
    // one on the same sides (false), or takes slots on better sides and keeps the old
    // route until the caller routes again (true).
    bool autoRoute();

    // Class-wide re-routing controls, GUI thread only.
    static void setSuppressRouting(bool on);
    static bool isRoutingSuppressed();
    // Counted: each true takes a hold on batch mode and each false gives one back; the
    // batch ends (its queues are served) when the last hold is given back, so a nested
    // batch, such as a box's own inside a layout, does not end the outer one. A false
    // without a hold ends the batch at once.
    static void setBatchMode(bool on);
    static bool isBatchMode();
    static void setDiscardPendingReroutes(bool discard);
    static bool isDiscardingPendingReroutes();
    static void setLargeSelectionMove(bool large);
    static bool isLargeSelectionMove();
    static void flushPendingReroutes();
    static void flushDeferredReroutes();
    // Called at the press that starts a drag in a batch, with the number of lines that will
    // follow the drag: when they are many enough for the quick re-routes of each step to go
    // as one batch, what the first step would set up is set up now, so that the first step
    // costs what the others do.
    static void prepareDragOfLines(QGraphicsScene *scene, qsizetype lines);
    // While held the batch timer is stopped and not started again; requests still queue.
    // RerouteTimerHold sets and restores it for a scope.
    static void setRerouteTimerHeld(bool held);
    static bool isRerouteTimerHeld();
    // While held, routes keep to the candidate shapes and skip the search around boxes;
    // RouteSearchHold sets and restores it for a scope.
    static void setRouteSearchHeld(bool held);
    static bool isRouteSearchHeld();
    // While set, obstacle look-ups on the index's scene use it instead of asking the scene
    // (the automatic layout sets one while its boxes stay put); not while the full walk is
    // on. The index must outlive its use.
    // ObstacleIndexScope sets and restores it for a scope.
    static void setObstacleIndex(const EntityObstacleIndex *index);
    static const EntityObstacleIndex *obstacleIndex();
    static const EntityObstacleIndex *obstacleIndexFor(const QGraphicsScene *scene);
    // Whether the edge waits in the quick or in the full re-route set of the batch.
    bool isReroutePending() const;
    bool isRerouteDeferred() const;
    // Takes the edge out of both re-route sets: its route is already what the moves ask.
    void forgetQueuedReroutes();

    // Asks for a re-route: at once outside a batch, collected during one.
    void scheduleReroute();

    // After a move: when the dominant direction between the two boxes changed since the
    // slots were taken, takes new slots facing each other and routes again.
    void reassignSlotsIfSideChanged();

    QList<QPointF> points;
    EntityItem *from = nullptr;
    EntityItem *to = nullptr;
    SlotItem *fromSlot = nullptr;
    SlotItem *toSlot = nullptr;
    QPointF fromCentre;
    QPointF toCentre;
    int startCard = 1;
    int endCard = 1;
    bool highlighted = false;
    bool manualRoute = false;
    bool dragging = false;
    int dragSegment = -1;
    int dragAxis = 2;
    QPointF lastDragPos;
    QString id;
    // Kept from an imported file and written back; neither is drawn nor edited here.
    QString label;
    bool identifying = true;
    bool removeForeignKeysOnDelete = true;
    QMenu *cardinalityMenu = nullptr;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;

    // The line alone, without a selection frame.
    void paintLine(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget);

private:
    QMenu *ensureCardinalityMenu();
    void selectAlone(Qt::KeyboardModifiers modifiers);
    void runCardinalityMenu(const QPoint &screenPos, const QPointF &scenePos);
    double effectivePenWidth() const;

    // The route around boxes found last, kept while the boxes stand still.
    QList<QPointF> routeAroundBoxes() const;

    // Set while the quick re-routes of a drag run: routes then skip the search around
    // boxes.
    static bool s_routeSearchHeld;
    // Set while the quick re-routes of a drag with many edges run: each route then steers
    // clear of the boxes around its two ends only, and the release routes it in full.
    static bool s_nearEndsOnly;

    // The last search around boxes, for the ends it was made for, over the obstacle index
    // with this serial (0: none); the layout routes most edges more than once over fixed
    // boxes.
    struct SearchMemo
    {
        quint64 indexSerial = 0;
        QPointF fromAnchor;
        QPointF toAnchor;
        int fromSide = 0;
        int toSide = 0;
        QRectF fromRect;
        QRectF toRect;
        QList<QPointF> route;
    };
    mutable SearchMemo m_searchMemo;
    // The last side choice, for the two boxes it was made for over the obstacle index with
    // this serial (0: none): the layout's crossing repair asks again over the same boxes.
    struct SideMemo
    {
        quint64 indexSerial = 0;
        QRectF fromRect;
        QRectF toRect;
        int fromSide = 0;
        int toSide = 0;
    };
    SideMemo m_sideMemo;

    // Set while a drag of many lines draws this one: its bounds are then a cheap rectangle
    // holding the exact ones, which stroke the whole line.
    bool m_roughBounds = false;
    void setRoughBounds(bool rough);

    // Set while the cardinality menu runs its own event loop.
    bool m_menuRunning = false;
    // Set while the destructor hands rows and slots back: the boxes' re-layouts must
    // not queue or route this edge any more.
    bool m_beingDestroyed = false;
};
