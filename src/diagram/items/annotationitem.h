#pragma once

#include "diagramitemtypes.h"

#include <QGraphicsObject>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

class ERScene;

// What the annotation items (text notes, group frames) share: a fixed stacking height,
// resizing by the eight handles of rect() while selected, handle cursors on hover, and a
// context menu that asks the scene for the item's style dialog.
class AnnotationItem : public QGraphicsObject
{
public:
    // The item's own rectangle, at the origin of its coordinates; the handles sit on it.
    virtual QRectF rect() const = 0;
    // Position and size in parent coordinates; a handle drag ends here.
    virtual void setGeometry(const QRectF &rect) = 0;

protected:
    // The item always stays at z, whatever scene it is put into.
    AnnotationItem(qreal z, QGraphicsItem *parent);

    // The smallest size a handle drag may leave.
    virtual QSizeF minimumResizeSize() const = 0;
    // Emits the scene's request for this kind of item's style dialog.
    virtual void requestStyleDialog(ERScene *scene) const = 0;

    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent *event) override;

private:
    qreal m_z;
    ResizeHandle m_resizeHandle = ResizeHandle::NoHandle;
    QRectF m_startRect;
    QPointF m_pressScenePos;
};
