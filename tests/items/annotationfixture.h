#pragma once

// A shown diagram view over a diagram scene, for the note and frame tests that edit in
// place, resize by mouse or open menus.

#include "erscene.h"
#include "erview.h"
#include "uiseam.h"

#include <QAction>
#include <QGraphicsItem>
#include <QGraphicsSceneContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <memory>

struct AnnotationFixture
{
    ERScene scene;
    std::unique_ptr<ERView> view;

    bool show()
    {
        scene.setSceneRect(0, 0, 800, 600);
        view = std::make_unique<ERView>();
        view->setScene(&scene);
        view->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        view->resize(820, 620);
        view->show();
        view->activateWindow();
        return QTest::qWaitForWindowActive(view.get());
    }

    QPoint viewPoint(const QPointF &scenePos) const { return view->mapFromScene(scenePos); }
    QWidget *viewport() const { return view->viewport(); }

    void click(const QPointF &scenePos) { QTest::mouseClick(viewport(), Qt::LeftButton, {}, viewPoint(scenePos)); }
    void doubleClick(const QPointF &scenePos) { QTest::mouseDClick(viewport(), Qt::LeftButton, {}, viewPoint(scenePos)); }
    void drag(const QPointF &from, const QPointF &to)
    {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, viewPoint(from));
        QTest::mouseMove(viewport(), viewPoint((from + to) / 2));
        QTest::mouseMove(viewport(), viewPoint(to));
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, viewPoint(to));
    }
};

// Sends a context-menu event to item and picks the action titled choice through the
// menu seam (none when choice is empty). Returns the titles the menu offered.
inline QStringList runContextMenu(QGraphicsScene *scene, QGraphicsItem *item, const QString &choice)
{
    QStringList offered;
    auto previous = uiseam::setMenuRunner([&](QMenu *menu, const QPoint &) -> QAction * {
        QAction *picked = nullptr;
        for (QAction *action : menu->actions()) {
            offered << action->text();
            if (action->text() == choice)
                picked = action;
        }
        return picked;
    });
    QGraphicsSceneContextMenuEvent event(QEvent::GraphicsSceneContextMenu);
    event.setScenePos(item->sceneBoundingRect().center());
    event.setPos(item->boundingRect().center());
    event.setScreenPos(QPoint(10, 10));
    scene->sendEvent(item, &event);
    uiseam::setMenuRunner(previous);
    return offered;
}
