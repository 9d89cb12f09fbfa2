#include "slotitem.h"

#include "edgeitem.h"
#include "entityhost.h"
#include "thememanager.h"

#include <QBrush>
#include <QCursor>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QGraphicsSceneMouseEvent>
#include <QLineF>
#include <QPen>

#include <algorithm>

namespace {

constexpr qreal HiddenOpacity = 0.01; // not 0, so the slot still takes hover events
constexpr qreal MinimumMove = 0.01;

bool isNullRect(const QRectF &rect)
{
    return rect.width() == 0.0 && rect.height() == 0.0;
}

QPointF nearestOnSegment(const QPointF &a, const QPointF &b, const QPointF &p)
{
    const QPointF d = b - a;
    const qreal lengthSquared = QPointF::dotProduct(d, d);
    if (lengthSquared == 0.0)
        return a;
    const qreal t = std::clamp(QPointF::dotProduct(p - a, d) / lengthSquared, 0.0, 1.0);
    return a + t * d;
}

qreal distanceSquared(const QPointF &a, const QPointF &b)
{
    const QPointF d = a - b;
    return QPointF::dotProduct(d, d);
}

QPen restingPen()
{
    return QPen(QBrush(Qt::black), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

} // namespace

SlotItem::SlotItem(QGraphicsItem *parent)
    : QGraphicsRectItem(QRectF(-5.0, -5.0, 10.0, 10.0), parent)
{
    applyRestingLook();
    setZValue(11.0);
    constrainToParent();
    setFlag(ItemSendsGeometryChanges, true);
    setAcceptHoverEvents(true);
    setOpacity(HiddenOpacity);
}

QPointF SlotItem::center() const
{
    return scenePos();
}

QRectF SlotItem::parentRect() const
{
    QGraphicsItem *parent = parentItem();
    if (!parent)
        return QRectF(0.0, 0.0, 0.0, 0.0);
    if (const EntityHost *host = EntityHost::of(parent))
        return host->hostRect();
    return parent->boundingRect();
}

QPointF SlotItem::constrainedPoint(const QRectF &rect, EntitySide side, const QPointF &pos)
{
    if (isNullRect(rect))
        return pos;
    const qreal l = rect.left();
    const qreal t = rect.top();
    const qreal r = l + rect.width();
    const qreal b = t + rect.height();
    const qreal cx = std::max(std::min(pos.x(), r), l);
    const qreal cy = std::max(std::min(pos.y(), b), t);
    switch (side) {
    case EntitySide::Left: return QPointF(l, cy);
    case EntitySide::Right: return QPointF(r, cy);
    case EntitySide::Top: return QPointF(cx, t);
    case EntitySide::Bottom: return QPointF(cx, b);
    }
    return pos;
}

QPointF SlotItem::clampedPoint(const QRectF &rect, const QPointF &pos)
{
    if (isNullRect(rect))
        return pos;
    const qreal l = rect.left();
    const qreal t = rect.top();
    const qreal r = l + rect.width();
    const qreal b = t + rect.height();
    return QPointF(std::max(std::min(pos.x(), r), l), std::max(std::min(pos.y(), b), t));
}

QPointF SlotItem::nearestOutlinePoint(const QRectF &rect, const QPointF &pos)
{
    const qreal l = rect.left();
    const qreal t = rect.top();
    const qreal r = l + rect.width();
    const qreal b = t + rect.height();
    const QLineF sides[] = {
        QLineF(l, t, l, b), QLineF(r, t, r, b), QLineF(l, t, r, t), QLineF(l, b, r, b),
    };
    QPointF best(l, t);
    qreal bestDistance = distanceSquared(best, pos);
    for (const QLineF &side : sides) {
        const QPointF candidate = nearestOnSegment(side.p1(), side.p2(), pos);
        const qreal distance = distanceSquared(candidate, pos);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

EntitySide SlotItem::nearestSide(const QRectF &rect, const QPointF &point)
{
    const qreal l = rect.left();
    const qreal t = rect.top();
    const qreal r = l + rect.width();
    const qreal b = t + rect.height();
    const std::pair<qreal, EntitySide> candidates[] = {
        { std::abs(point.x() - l), EntitySide::Left },
        { std::abs(point.x() - r), EntitySide::Right },
        { std::abs(point.y() - t), EntitySide::Top },
        { std::abs(point.y() - b), EntitySide::Bottom },
    };
    auto best = candidates[0];
    for (const auto &candidate : candidates) {
        if (candidate.first < best.first)
            best = candidate;
    }
    return best.second;
}

void SlotItem::moveToIfApart(const QPointF &target)
{
    if (QLineF(pos(), target).length() > MinimumMove)
        setPos(target);
}

void SlotItem::constrainToParent()
{
    moveToIfApart(constrainedPoint(parentRect(), m_side, pos()));
}

void SlotItem::clampToParentRect()
{
    moveToIfApart(clampedPoint(parentRect(), pos()));
}

// As isUnderMouse(), which strokes the outline for every slot asked; a hub's re-routes ask
// for thousands of slots far from the pointer, and the outline lies within the bounding rect.
bool SlotItem::isPointerOver() const
{
    const QGraphicsScene *s = scene();
    if (!s)
        return false;
    const QPoint cursor = QCursor::pos();
    // A hair wider: a cosmetic pen's outline reaches a trace past the rect.
    const QRectF reach = boundingRect().adjusted(-1, -1, 1, 1);
    const QList<QGraphicsView *> views = s->views();
    for (const QGraphicsView *view : views) {
        const QPointF at = mapFromScene(view->mapToScene(view->mapFromGlobal(cursor)));
        if (reach.contains(at) && contains(at))
            return true;
    }
    return false;
}

void SlotItem::updateOpacity()
{
    setOpacity(m_revealed || m_highlighted || isPointerOver() ? 1.0 : HiddenOpacity);
}

void SlotItem::applyRestingLook()
{
    setBrush(QBrush(Qt::lightGray));
    setPen(restingPen());
}

void SlotItem::setRevealed(bool on)
{
    m_revealed = on;
    updateOpacity();
}

void SlotItem::setHighlighted(bool on)
{
    // Every re-route of a line puts its slots back at rest: most are at rest already.
    if (!on && !m_highlighted) {
        updateOpacity();
        return;
    }
    m_highlighted = on;
    if (on) {
        const QColor accent = ThemeManager::instance()->colors().accent;
        setBrush(QBrush(accent));
        setPen(QPen(QBrush(accent), 1.5, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        setOpacity(1.0);
    } else {
        applyRestingLook();
        updateOpacity();
    }
    update();
}

void SlotItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressOffset = event->pos();
        setFlag(ItemIsMovable, true);
        setOpacity(1.0);
        if (m_edge)
            m_edge->setStraightPreviewPath();
    }
    // Not movable for other buttons, so the base handling leaves those presses to the
    // entity box below.
    QGraphicsRectItem::mousePressEvent(event);
}

void SlotItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QRectF rect = parentRect();
    if (isNullRect(rect))
        return;
    const QPointF wanted = mapToParent(event->pos() - m_pressOffset);
    m_side = nearestSide(rect, nearestOutlinePoint(rect, wanted));
    moveToIfApart(constrainedPoint(rect, m_side, wanted));
    if (m_edge)
        m_edge->setStraightPreviewPath();
}

void SlotItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    Q_UNUSED(event);
    constrainToParent();
    setFlag(ItemIsMovable, false);
    if (m_edge)
        m_edge->updatePath();
    updateOpacity();
}

void SlotItem::hoverEnterEvent(QGraphicsSceneHoverEvent *event)
{
    setOpacity(1.0);
    QGraphicsRectItem::hoverEnterEvent(event);
}

void SlotItem::hoverLeaveEvent(QGraphicsSceneHoverEvent *event)
{
    updateOpacity();
    QGraphicsRectItem::hoverLeaveEvent(event);
}
