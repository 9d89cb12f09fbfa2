#include "erview.h"

#include "erscene.h"
#include "singlelinetextitem.h"

#include <QDropEvent>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointingDevice>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isTabKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab
        || event->text() == QLatin1String("\t");
}

// Scroll bars take an int; a huge wheel delta must not overflow on the way.
void scrollBy(QScrollBar *bar, int delta)
{
    const qint64 value = qint64(bar->value()) - delta;
    bar->setValue(int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                          std::numeric_limits<int>::max())));
}

} // namespace

ERView::ERView(QWidget *parent)
    : QGraphicsView(parent)
{
    setRenderHint(QPainter::Antialiasing, true);
    setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
    setDragMode(QGraphicsView::RubberBandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    applyZoom();
}

// --- placement modes -----------------------------------------------------------------------

void ERView::setAddTableMode(bool on)
{
    addTableMode = on;
    updateModeCursor();
}

void ERView::setAddViewMode(bool on)
{
    addViewMode = on;
    updateModeCursor();
}

void ERView::setAddRelationshipMode(bool on)
{
    addRelationshipMode = on;
    updateModeCursor();
}

void ERView::setAddTextMode(bool on)
{
    addTextMode = on;
    updateModeCursor();
}

void ERView::setAddGroupMode(bool on)
{
    addGroupMode = on;
    updateModeCursor();
}

bool ERView::isAnyModeActive() const
{
    return addTableMode || addViewMode || addRelationshipMode || addTextMode || addGroupMode;
}

void ERView::updateModeCursor()
{
    if (isAnyModeActive()) {
        setCursor(Qt::CrossCursor);
        viewport()->setCursor(Qt::CrossCursor);
    } else {
        unsetCursor();
        viewport()->unsetCursor();
    }
}

// --- zoom ----------------------------------------------------------------------------------

void ERView::applyZoom()
{
    setTransform(QTransform::fromScale(zoomFactor, zoomFactor));
}

void ERView::zoomBy(double factor)
{
    if (!std::isfinite(factor))
        return;
    zoomFactor = std::clamp(zoomFactor * factor, minZoomFactor, maxZoomFactor);
    emit zoomChanged(zoomFactor);
    applyZoom();
}

void ERView::setZoom(double value)
{
    if (!std::isfinite(value))
        return;
    zoomFactor = std::clamp(value, minZoomFactor, maxZoomFactor);
    applyZoom();
    emit zoomChanged(zoomFactor);
}

void ERView::zoomIn()
{
    zoomBy(1.25);
}

void ERView::zoomOut()
{
    zoomBy(0.8);
}

void ERView::resetZoom()
{
    setZoom(1.0);
}

void ERView::fitAll()
{
    QGraphicsScene *viewScene = scene();
    if (!viewScene || viewScene->items().isEmpty())
        return;
    fitRect(viewScene->itemsBoundingRect().adjusted(-40, -40, 40, 40));
}

void ERView::fitRect(const QRectF &bounds)
{
    if (!(bounds.width() > 0 && bounds.height() > 0) || !std::isfinite(bounds.width())
        || !std::isfinite(bounds.height()))
        return;
    fitInView(bounds, Qt::KeepAspectRatio);
    const double scale = transform().m11();
    if (!(std::isfinite(scale) && scale > 0)) {
        applyZoom();
        return;
    }
    zoomFactor = scale;
    emit zoomChanged(zoomFactor);
}

// --- mouse and wheel -------------------------------------------------------------------------

void ERView::sendSyntheticLeftButton(QEvent::Type type, QMouseEvent *event)
{
    QMouseEvent synthetic(type, event->position().toPoint(), event->globalPosition().toPoint(),
                          Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          event->modifiers(), QPointingDevice::primaryPointingDevice());
    if (type == QEvent::MouseButtonPress)
        QGraphicsView::mousePressEvent(&synthetic);
    else
        QGraphicsView::mouseReleaseEvent(&synthetic);
}

void ERView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        setDragMode(QGraphicsView::ScrollHandDrag);
        sendSyntheticLeftButton(QEvent::MouseButtonPress, event);
        event->accept();
        return;
    }
    emit sceneClicked(mapToScene(event->position().toPoint()), event->button());
    QGraphicsView::mousePressEvent(event);
}

void ERView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::MiddleButton) {
        sendSyntheticLeftButton(QEvent::MouseButtonRelease, event);
        setDragMode(QGraphicsView::RubberBandDrag);
        event->accept();
        return;
    }
    QGraphicsView::mouseReleaseEvent(event);
}

void ERView::mouseMoveEvent(QMouseEvent *event)
{
    emit sceneMouseMoved(mapToScene(event->position().toPoint()));
    QGraphicsView::mouseMoveEvent(event);
}

void ERView::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        double factor = std::pow(wheelZoomBase, double(delta.y()));
        // A huge delta overflows the power; the limits are where it ends anyway.
        factor = std::clamp(factor, minZoomFactor / zoomFactor, maxZoomFactor / zoomFactor);
        zoomBy(factor);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        scrollBy(horizontalScrollBar(), delta.y());
    } else {
        scrollBy(verticalScrollBar(), delta.y());
        if (delta.x() != 0)
            scrollBy(horizontalScrollBar(), delta.x());
    }
    event->accept();
}

// --- keys ----------------------------------------------------------------------------------

void ERView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && isAnyModeActive()) {
        emit escapePressed();
        event->accept();
        return;
    }
    QGraphicsView::keyPressEvent(event);
}

SingleLineTextItem *ERView::focusedEditor() const
{
    QGraphicsScene *viewScene = scene();
    if (!viewScene)
        return nullptr;
    auto *editor = qgraphicsitem_cast<SingleLineTextItem *>(viewScene->focusItem());
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

// --- explorer drops --------------------------------------------------------------------------

// An opaque scene background covers the whole viewport, so the viewport's own fill under
// it is skipped: at 4K that fill costs as much as the rest of a repaint. The choice holds
// from one paint to the next; a paint that finds it stale fills as the viewport would.
void ERView::paintEvent(QPaintEvent *event)
{
    const auto *erScene = qobject_cast<const ERScene *>(scene());
    const bool covered = erScene && erScene->paintsOpaqueBackground() && backgroundBrush().style() == Qt::NoBrush;
    QWidget *area = viewport();
    if (!covered && area->testAttribute(Qt::WA_OpaquePaintEvent)) {
        QPainter painter(area);
        painter.fillRect(area->rect(), area->palette().brush(area->backgroundRole()));
    }
    QGraphicsView::paintEvent(event);
    if (area->testAttribute(Qt::WA_OpaquePaintEvent) != covered)
        area->setAttribute(Qt::WA_OpaquePaintEvent, covered);
}

bool ERView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (drag->mimeData() && drag->mimeData()->hasFormat(QLatin1String(ExplorerMimeType))) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        break;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->mimeData() && drop->mimeData()->hasFormat(QLatin1String(ExplorerMimeType))) {
            const QPointF scenePos = mapToScene(drop->position().toPoint());
            // Handed on unread: the window decides what the payload means.
            const QByteArray payload = drop->mimeData()->data(QLatin1String(ExplorerMimeType));
            emit explorerDropRequested(payload, scenePos);
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QGraphicsView::viewportEvent(event);
}
