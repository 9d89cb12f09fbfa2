#pragma once

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <Qt>

QT_BEGIN_NAMESPACE
class QGraphicsItem;
QT_END_NAMESPACE

class SingleLineTextItem;

// What the in-place editors and the connection slots of an entity box ask of the box.
// The entity box implements it; the editors and slots find it on their parent item and
// skip every call when the parent does not implement it.
class EntityHost
{
public:
    virtual ~EntityHost() = default;

    // The host behind item, or nullptr when item is null or no host.
    static EntityHost *of(QGraphicsItem *item);

    // The box in its own item coordinates; slots sit on its outline.
    virtual QRectF hostRect() const = 0;

    virtual void onCellFocusChanged(SingleLineTextItem *cell, bool focused) = 0;
    virtual void showContextMenu(const QPoint &screenPos, Qt::KeyboardModifiers modifiers) = 0;
    // pos in the host's item coordinates.
    virtual void onAttributeDragMoved(const QPointF &pos) = 0;
    virtual void finishAttributeDrag() = 0;
    virtual void selectEdgesOfRow(SingleLineTextItem *cell) = 0;
    virtual void deselectEdgesOfRow(SingleLineTextItem *cell) = 0;

protected:
    EntityHost() = default;
    EntityHost(const EntityHost &) = default;
    EntityHost &operator=(const EntityHost &) = default;
};
