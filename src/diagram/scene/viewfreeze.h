#pragma once

#include <QGraphicsView>
#include <QList>
#include <QPointer>

QT_BEGIN_NAMESPACE
class QGraphicsScene;
QT_END_NAMESPACE

// Freezes every view of a scene and shows the wait cursor until it goes out of scope:
// the views neither paint nor take input meanwhile, and repaint once at the end. Views
// are held weakly: one may be destroyed during an event-loop turn of the work.
class ViewFreeze
{
public:
    explicit ViewFreeze(QGraphicsScene *scene);
    ~ViewFreeze();

    ViewFreeze(const ViewFreeze &) = delete;
    ViewFreeze &operator=(const ViewFreeze &) = delete;

private:
    QPointer<QGraphicsScene> m_scene;
    QList<QPointer<QGraphicsView>> m_views;
    QList<QGraphicsView::ViewportUpdateMode> m_updateModes;
    QList<bool> m_interactive;
};
