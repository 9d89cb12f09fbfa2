// Drawing of a relationship edge: its outline for hits, and the line with a cardinality
// marker at each end.
#include "edgeitem.h"

#include "edgemarkers.h"
#include "thememanager.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QStyleOptionGraphicsItem>

#include <cmath>

namespace {

constexpr double MarkerReach = 20;
constexpr double FlatGrowth = 2.5;
constexpr double ClickWidth = 20;

} // namespace

double EdgeItem::effectivePenWidth() const
{
    const double w = pen().widthF();
    return w > 0 ? w : 1.0;
}

QRectF EdgeItem::boundingRect() const
{
    QRectF r = QGraphicsPathItem::boundingRect();
    const double w = effectivePenWidth();
    if (std::abs(r.height() - w) < 0.01)
        r.adjust(0, -FlatGrowth, 0, FlatGrowth);
    if (std::abs(r.width() - w) < 0.01)
        r.adjust(-FlatGrowth, 0, FlatGrowth, 0);
    return r.adjusted(-MarkerReach, -MarkerReach, MarkerReach, MarkerReach);
}

QPainterPath EdgeItem::shape() const
{
    QPainterPathStroker stroker;
    stroker.setWidth(effectivePenWidth() + ClickWidth);
    stroker.setCapStyle(Qt::SquareCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    return stroker.createStroke(path());
}

void EdgeItem::paintLine(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    // Selection shows through the colours, not through a dashed selection frame.
    QStyleOptionGraphicsItem plain(*option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
    QGraphicsPathItem::paint(painter, &plain, widget);
}

void EdgeItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    paintLine(painter, option, widget);

    const QPainterPath p = path();
    const int n = p.elementCount();
    if (n < 2)
        return;
    const QPointF first = p.elementAt(0);
    const QPointF second = p.elementAt(1);
    const QPointF last = p.elementAt(n - 1);
    const QPointF beforeLast = p.elementAt(n - 2);

    painter->save();
    const bool emphasised = (option->state & QStyle::State_Selected) || highlighted;
    QPen markerPen(emphasised ? palette.selection : palette.border, 2.0, Qt::SolidLine, Qt::SquareCap,
                   Qt::BevelJoin);
    painter->setPen(markerPen);
    painter->setBrush(palette.background); // a circle hides the line beneath it
    edgemarkers::paintMarker(painter, edgemarkers::cardinalityMarker(startCard),
                             edgemarkers::markerTransform(first, second));
    edgemarkers::paintMarker(painter, edgemarkers::cardinalityMarker(endCard),
                             edgemarkers::markerTransform(last, beforeLast));
    painter->restore();
}
