#pragma once

#include "diagramitemtypes.h"

#include <QGraphicsPathItem>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QString>

QT_BEGIN_NAMESPACE
class QMenu;
QT_END_NAMESPACE

class EntityItem;
class SlotItem;

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
    virtual bool isEntityViewEdge() const { return false; }

    // Recomputes and applies the route between the two slots.
    void updatePath();
    // One straight dashed accent line between the slot centres while a slot is dragged.
    void setStraightPreviewPath();
    // Makes points the route and shows it; clears the preview and manual-route flags.
    void applyRoundedPath(const QList<QPointF> &points);
    // Accent when selected or highlighted, else the line colour; dashed while
    // highlighted. Follows every theme change.
    virtual void applyPen();

    void rerouteStraightWhenAligned();
    void updatePathRespectingManual();

    // Class-wide re-routing controls, GUI thread only.
    static void setSuppressRouting(bool on);
    static bool isRoutingSuppressed();
    static void setBatchMode(bool on);
    static bool isBatchMode();
    static void setDiscardPendingReroutes(bool discard);
    static bool isDiscardingPendingReroutes();
    static void setLargeSelectionMove(bool large);
    static bool isLargeSelectionMove();
    static void flushPendingReroutes();
    static void flushDeferredReroutes();
    // Whether the edge waits in the quick or in the full re-route set of the batch.
    bool isReroutePending() const;
    bool isRerouteDeferred() const;

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
    bool removeForeignKeysOnDelete = true;
    QMenu *cardinalityMenu = nullptr;

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    // Set while the destructor hands rows and slots back: the boxes' re-layouts must
    // not queue or route this edge any more.
    bool m_beingDestroyed = false;
};
