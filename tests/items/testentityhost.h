#pragma once

#include "entityhost.h"

#include <QCoreApplication>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QList>

// A plain box standing in for the entity box: records what its editors and slots ask.
class TestEntityHost : public QGraphicsRectItem, public EntityHost
{
public:
    explicit TestEntityHost(const QRectF &rect = QRectF(0.0, 0.0, 160.0, 80.0))
        : QGraphicsRectItem(rect)
    {
    }

    QRectF hostRect() const override { return rect(); }
    void onCellFocusChanged(SingleLineTextItem *, bool focused) override { focusChanges.append(focused); }
    void showContextMenu(const QPoint &, Qt::KeyboardModifiers) override { ++contextMenus; }
    void onAttributeDragMoved(const QPointF &pos) override { dragMoves.append(pos); }
    void finishAttributeDrag() override { ++dragFinishes; }
    void selectEdgesOfRow(SingleLineTextItem *) override { ++edgeSelections; }
    void deselectEdgesOfRow(SingleLineTextItem *) override { ++edgeDeselections; }

    QList<bool> focusChanges;
    int contextMenus = 0;
    QList<QPointF> dragMoves;
    int dragFinishes = 0;
    int edgeSelections = 0;
    int edgeDeselections = 0;
    QList<Qt::MouseButton> presses;

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override
    {
        presses.append(event->button());
        event->accept();
    }
};

// Sends a mouse event through the scene's own delivery, without a view.
inline bool sendSceneMouse(QGraphicsScene *scene, QEvent::Type type, const QPointF &scenePos,
                           Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(scenePos);
    event.setScreenPos(scenePos.toPoint());
    event.setButton(button);
    event.setButtons(buttons);
    if (type == QEvent::GraphicsSceneMousePress)
        event.setButtonDownScenePos(button, scenePos);
    event.setAccepted(false);
    QCoreApplication::sendEvent(scene, &event);
    return event.isAccepted();
}
