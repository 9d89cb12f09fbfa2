#include "annotationitem.h"

#include "annotationdrawing.h"
#include "erscene.h"
#include "uiseam.h"

#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QMenu>
#include <QPointer>

AnnotationItem::AnnotationItem(qreal z, QGraphicsItem *parent)
    : QGraphicsObject(parent)
    , m_z(z)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    setZValue(m_z);
}

QVariant AnnotationItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    if (change == ItemSelectedChange)
        prepareGeometryChange(); // the shape follows the selection
    else if (change == ItemSceneHasChanged)
        setZValue(m_z);
    return QGraphicsObject::itemChange(change, value);
}

void AnnotationItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && isSelected()) {
        const QRectF frame = rect();
        const ResizeHandle handle = handleAt(frame, event->pos());
        if (handle != ResizeHandle::NoHandle) {
            m_resizeHandle = handle;
            m_startRect = QRectF(pos(), frame.size());
            m_pressScenePos = event->scenePos();
            // While a handle is held, the drag resizes instead of moving.
            setFlag(ItemIsMovable, false);
            event->accept();
            return;
        }
    }
    QGraphicsObject::mousePressEvent(event);
}

void AnnotationItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (m_resizeHandle == ResizeHandle::NoHandle) {
        QGraphicsObject::mouseMoveEvent(event);
        return;
    }
    const QSizeF minimum = minimumResizeSize();
    setGeometry(resizedRect(m_startRect, m_resizeHandle, event->scenePos() - m_pressScenePos,
                            minimum.width(), minimum.height()));
    event->accept();
}

void AnnotationItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (m_resizeHandle == ResizeHandle::NoHandle) {
        QGraphicsObject::mouseReleaseEvent(event);
        return;
    }
    m_resizeHandle = ResizeHandle::NoHandle;
    setFlag(ItemIsMovable, true);
    event->accept();
}

void AnnotationItem::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    if (isSelected())
        setCursor(cursorForHandle(handleAt(rect(), event->pos())));
    else
        unsetCursor();
    QGraphicsObject::hoverMoveEvent(event);
}

void AnnotationItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *event)
{
    unsetCursor();
    QGraphicsObject::hoverLeaveEvent(event);
}

void AnnotationItem::contextMenuEvent(QGraphicsSceneContextMenuEvent *event)
{
    event->accept();
    setSelected(true);
    QMenu menu;
    QAction *styleAction = menu.addAction(QString::fromUtf8("Colors and fonts…"));
    // The menu runs a nested event loop in which the item may be deleted.
    QPointer<AnnotationItem> guard(this);
    QAction *chosen = uiseam::runMenu(&menu, event->screenPos());
    if (!guard || chosen != styleAction)
        return;
    if (auto *erScene = qobject_cast<ERScene *>(scene()))
        requestStyleDialog(erScene);
}
