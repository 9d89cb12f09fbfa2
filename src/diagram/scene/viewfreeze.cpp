#include "viewfreeze.h"

#include <QGraphicsScene>
#include <QGuiApplication>

ViewFreeze::ViewFreeze(QGraphicsScene *scene)
    : m_scene(scene)
{
    const QList<QGraphicsView *> views = scene->views();
    for (QGraphicsView *view : views) {
        if (!view)
            continue;
        m_views.append(view);
        m_updateModes.append(view->viewportUpdateMode());
        m_interactive.append(view->isInteractive());
        view->setUpdatesEnabled(false);
        view->setInteractive(false);
        view->setViewportUpdateMode(QGraphicsView::NoViewportUpdate);
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

ViewFreeze::~ViewFreeze()
{
    for (qsizetype i = 0; i < m_views.size(); ++i) {
        QGraphicsView *view = m_views[i];
        if (!view)
            continue;
        view->setViewportUpdateMode(m_updateModes[i]);
        view->setInteractive(m_interactive[i]);
        view->setUpdatesEnabled(true);
        view->viewport()->update();
    }
    if (m_scene)
        m_scene->update(m_scene->sceneRect());
    QGuiApplication::restoreOverrideCursor();
}
