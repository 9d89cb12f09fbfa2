#pragma once

// Small scenes of real entity boxes for the edge tests.
#include "edgeitem.h"
#include "entityitem.h"
#include "slotitem.h"

#include <QCoreApplication>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QStringList>

namespace edgetest {

// A table box at pos whose first rows are primary keys; the size follows the rows.
inline EntityItem *addBox(QGraphicsScene *scene, const QString &title, const QPointF &pos,
                          const QStringList &keys = { QStringLiteral("id") }, const QStringList &others = {})
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    scene->addItem(box);
    box->setPos(pos);
    for (const QString &key : keys)
        box->addAttributeRow(key, QStringLiteral("INT"), true, false, false, false);
    for (const QString &other : others)
        box->addAttributeRow(other, QStringLiteral("TEXT"), false, false, false, false);
    return box;
}

template<typename Edge = EdgeItem>
Edge *addEdge(QGraphicsScene *scene, EntityItem *from, EntityItem *to, bool route = true)
{
    auto *edge = new Edge(from, to, false);
    scene->addItem(edge);
    if (route)
        edge->updatePath();
    return edge;
}

// Edges first, then boxes, as the scene clears itself.
inline void clearScene(QGraphicsScene *scene)
{
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() == EdgeItem::Type)
            delete item;
    }
    QList<QGraphicsItem *> topLevel;
    for (QGraphicsItem *item : scene->items()) {
        if (!item->parentItem())
            topLevel.append(item);
    }
    qDeleteAll(topLevel);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Resets the class-wide routing state, which lives for the whole process.
inline void resetRouting()
{
    EdgeItem::setSuppressRouting(false);
    EdgeItem::setDiscardPendingReroutes(true);
    EdgeItem::setBatchMode(false);
    EdgeItem::setFullObstacleWalk(false);
}

// Sends a mouse event through the scene's own delivery, without a view.
inline bool sendSceneMouse(QGraphicsScene *scene, QEvent::Type type, const QPointF &scenePos,
                           Qt::MouseButton button, Qt::MouseButtons buttons,
                           Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QGraphicsSceneMouseEvent event(type);
    event.setScenePos(scenePos);
    event.setScreenPos(scenePos.toPoint());
    event.setButton(button);
    event.setButtons(buttons);
    event.setModifiers(modifiers);
    if (type == QEvent::GraphicsSceneMousePress)
        event.setButtonDownScenePos(button, scenePos);
    event.setAccepted(false);
    QCoreApplication::sendEvent(scene, &event);
    return event.isAccepted();
}

} // namespace edgetest
