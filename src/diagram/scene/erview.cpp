#include "erview.h"

#include "singlelinetextitem.h"

#include <QGraphicsScene>
#include <QKeyEvent>

namespace {

bool isTabKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab
        || event->text() == QLatin1String("\t");
}

} // namespace

ERView::ERView(QWidget *parent)
    : QGraphicsView(parent)
{
}

SingleLineTextItem *ERView::focusedEditor() const
{
    QGraphicsScene *viewScene = scene();
    if (!viewScene)
        return nullptr;
    auto *textItem = qgraphicsitem_cast<QGraphicsTextItem *>(viewScene->focusItem());
    auto *editor = qobject_cast<SingleLineTextItem *>(textItem);
    if (editor && (editor->textInteractionFlags() & Qt::TextEditable))
        return editor;
    return nullptr;
}

bool ERView::event(QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (isTabKey(keyEvent)) {
            if (SingleLineTextItem *editor = focusedEditor()) {
                event->accept();
                if (type == QEvent::KeyPress)
                    scene()->sendEvent(editor, event);
                return true;
            }
        }
    }
    return QGraphicsView::event(event);
}

bool ERView::focusNextPrevChild(bool next)
{
    if (focusedEditor())
        return false;
    return QGraphicsView::focusNextPrevChild(next);
}
