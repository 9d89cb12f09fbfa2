// Mouse handling of a relationship edge: dragging inner segments sideways, the cursor over
// them, and the right-click menu that sets the cardinality of the nearer end.
#include "edgeitem.h"

#include "edgeeditdialog.h"
#include "entityitem.h"
#include "routegeometry.h"
#include "routescoring.h"
#include "slotitem.h"
#include "uiseam.h"

#include <QAction>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMenu>
#include <QPointer>

#include <cmath>

namespace {

constexpr double HandleReach = 8.0;
constexpr double StraightTolerance = 0.01;
constexpr double CornerRadius = 10;
const QString EditEntry = QStringLiteral("edit");

bool isVerticalSegment(const QPointF &a, const QPointF &b)
{
    return std::abs(a.x() - b.x()) < StraightTolerance;
}

double squaredDistance(const QPointF &a, const QPointF &b)
{
    const QPointF d = a - b;
    return QPointF::dotProduct(d, d);
}

QWidget *firstViewOf(const QGraphicsItem *item)
{
    QGraphicsScene *scene = item->scene();
    if (!scene || scene->views().isEmpty())
        return nullptr;
    return scene->views().first();
}

} // namespace

int EdgeItem::hitTestHandle(const QPointF &scenePos) const
{
    const qsizetype n = points.size();
    if (n < 4)
        return -1;
    double best = HandleReach;
    int result = -1;
    for (qsizetype i = 1; i <= n - 3; ++i) {
        const QPointF &a = points.at(i);
        const QPointF &b = points.at(i + 1);
        double distance = 0;
        if (isVerticalSegment(a, b)) {
            if (scenePos.y() < std::min(a.y(), b.y()) - HandleReach || scenePos.y() > std::max(a.y(), b.y()) + HandleReach)
                continue;
            distance = std::abs(scenePos.x() - a.x());
        } else if (std::abs(a.y() - b.y()) < StraightTolerance) {
            if (scenePos.x() < std::min(a.x(), b.x()) - HandleReach || scenePos.x() > std::max(a.x(), b.x()) + HandleReach)
                continue;
            distance = std::abs(scenePos.y() - a.y());
        } else {
            continue;
        }
        if (distance < best) {
            best = distance;
            result = int(i);
        }
    }
    return result;
}

void EdgeItem::moveSegment(double delta)
{
    const int i = dragSegment;
    if (!(i > 0 && i + 1 < points.size() - 1) || std::abs(delta) < 0.001)
        return;
    for (int k : { i, i + 1 }) {
        if (dragAxis == 2)
            points[k].rx() += delta;
        else
            points[k].ry() += delta;
    }
    setPath(routing::buildRoundedPath(points, CornerRadius));
    applyPen();
}

void EdgeItem::openEditDialog()
{
    const QString fromName = from ? from->title() : QString();
    const QString toName = to ? to->title() : QString();
    const QString name = fromName.isEmpty() && toName.isEmpty()
        ? tr("Relationship")
        : tr("%1 — %2").arg(fromName, toName);
    // The dialog edits nothing; its result is of no interest.
    QPointer<EdgeEditDialog> dialog = new EdgeEditDialog(name, firstViewOf(this));
    uiseam::runDialog(dialog);
    delete dialog.data();
}

QMenu *EdgeItem::ensureCardinalityMenu()
{
    if (!cardinalityMenu) {
        cardinalityMenu = new QMenu;
        const struct
        {
            const char *text;
            int card;
        } entries[] = { { "One", 0 }, { "Zero or One", 2 }, { "Many", 1 }, { "Zero or Many", 3 } };
        for (const auto &entry : entries)
            cardinalityMenu->addAction(QString::fromLatin1(entry.text))->setData(entry.card);
        cardinalityMenu->addSeparator();
        cardinalityMenu->addAction(tr("Edit"))->setData(EditEntry);
    }
    return cardinalityMenu;
}

void EdgeItem::selectAlone(Qt::KeyboardModifiers modifiers)
{
    if (scene() && !(modifiers & Qt::ControlModifier))
        scene()->clearSelection();
    setSelected(true);
}

void EdgeItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        const int i = hitTestHandle(event->scenePos());
        if (i < 0) {
            update();
            QGraphicsPathItem::mousePressEvent(event);
            return;
        }
        if (!(event->modifiers() & Qt::ControlModifier) && scene())
            scene()->clearSelection();
        dragSegment = i;
        dragging = true;
        dragAxis = isVerticalSegment(points.at(i), points.at(i + 1)) ? 2 : 1;
        lastDragPos = event->scenePos();
        setSelected(true);
        setCursor(dragAxis == 2 ? Qt::SizeHorCursor : Qt::SizeVerCursor);
        event->accept();
        return;
    }

    if (event->button() == Qt::RightButton) {
        selectAlone(event->modifiers());
        if (supportsCardinality())
            runCardinalityMenu(event->screenPos(), event->scenePos());
        // The event belongs to the scene, so it may be answered even if the edge is gone.
        event->accept();
        return;
    }

    update();
    QGraphicsPathItem::mousePressEvent(event);
}

void EdgeItem::runCardinalityMenu(const QPoint &screenPos, const QPointF &scenePos)
{
    QMenu *menu = ensureCardinalityMenu();
    // The menu spins its own event loop, in which this edge may be deleted.
    QPointer<EdgeItem> self(this);
    m_menuRunning = true;
    QAction *chosen = uiseam::runMenu(menu, screenPos);
    if (!self)
        return;
    m_menuRunning = false;

    if (chosen) {
        const QVariant data = chosen->data();
        if (data.toString() == EditEntry) {
            openEditDialog();
            if (!self)
                return;
        } else if (fromSlot && toSlot) {
            const int card = data.toInt();
            if (squaredDistance(fromSlot->center(), scenePos) < squaredDistance(toSlot->center(), scenePos))
                startCard = card;
            else
                endCard = card;
            update();
        }
    }
    update();
}

void EdgeItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (!dragging) {
        QGraphicsPathItem::mouseMoveEvent(event);
        return;
    }
    const double delta = dragAxis == 2 ? event->scenePos().x() - lastDragPos.x()
                                       : event->scenePos().y() - lastDragPos.y();
    moveSegment(delta);
    manualRoute = true;
    lastDragPos = event->scenePos();
    event->accept();
}

void EdgeItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragging && event->button() == Qt::LeftButton) {
        dragging = false;
        dragSegment = -1;
        setCursor(Qt::ArrowCursor);
        event->accept();
        return;
    }
    QGraphicsPathItem::mouseReleaseEvent(event);
}

void EdgeItem::hoverMoveEvent(QGraphicsSceneHoverEvent *event)
{
    if (dragging) {
        event->accept();
        return;
    }
    const int i = hitTestHandle(event->scenePos());
    if (i < 0)
        setCursor(Qt::ArrowCursor);
    else
        setCursor(isVerticalSegment(points.at(i), points.at(i + 1)) ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    QGraphicsPathItem::hoverMoveEvent(event);
}

void EdgeItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *event)
{
    if (!dragging)
        setCursor(Qt::ArrowCursor);
    QGraphicsPathItem::hoverLeaveEvent(event);
}

void EdgeItem::rerouteLinesUnder(QGraphicsScene *scene, const QList<EntityItem *> &boxes, const QSet<EdgeItem *> &done)
{
    if (!scene)
        return;
    // Only lines the scene's index finds over a box can run through it.
    QList<QPointer<EdgeItem>> under;
    QSet<const EdgeItem *> listed; // membership only
    for (EntityItem *box : boxes) {
        if (!box)
            continue;
        const QRectF rect = box->sceneBoundingRect();
        const QList<QRectF> obstacle{routing::insetObstacleRect(rect)};
        const QList<QGraphicsItem *> found = scene->items(rect, Qt::IntersectsItemBoundingRect, Qt::DescendingOrder);
        for (QGraphicsItem *item : found) {
            if (item->type() != EdgeItem::Type)
                continue;
            auto *edge = static_cast<EdgeItem *>(item);
            if (edge->from == box || edge->to == box || done.contains(edge) || listed.contains(edge))
                continue;
            if (routing::countObstacleHits(edge->points, obstacle) == 0)
                continue;
            listed.insert(edge);
            under.append(edge);
        }
    }
    for (const QPointer<EdgeItem> &edge : std::as_const(under)) {
        if (edge)
            edge->updatePathRespectingManual();
    }
}
