#include "entityviewedgeitem.h"

#include "edgemarkers.h"
#include "entityitem.h"
#include "thememanager.h"

#include <QPainter>
#include <QPen>
#include <QStyleOptionGraphicsItem>
#include <QTimer>

EntityViewEdgeItem::EntityViewEdgeItem(EntityItem *fromBox, EntityItem *toBox, bool createFKs)
    : EdgeItem(fromBox, toBox, createFKs)
{
    // The base constructor could only apply the base pen.
    EntityViewEdgeItem::applyPen();
}

void EntityViewEdgeItem::applyPen()
{
    EdgeItem::applyPen();
    QPen p = pen();
    p.setStyle(Qt::CustomDashLine);
    p.setDashPattern({ 6, 4 });
    setPen(p);
}

EntityItem *EntityViewEdgeItem::viewEnd() const
{
    if (!from || !to)
        return nullptr;
    if (from->kind == EntityKind::View)
        return from;
    if (to->kind == EntityKind::View)
        return to;
    return nullptr;
}

QVariant EntityViewEdgeItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    const QVariant result = EdgeItem::itemChange(change, value);
    if (change == ItemSelectedHasChanged) {
        const bool selected = value.toBool();
        QTimer::singleShot(0, this, [this, selected] {
            if (!scene())
                return;
            EntityItem *view = viewEnd();
            if (view && view->scene())
                view->highlightEdgeAttributes(this, selected);
        });
    }
    return result;
}

void EntityViewEdgeItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget)
{
    paintLine(painter, option, widget);

    const QPainterPath p = path();
    const int n = p.elementCount();
    if (n < 2 || !from || !to)
        return;

    // The head points into the source table, whichever end that is.
    QTransform placement;
    if (from->kind == EntityKind::View)
        placement = edgemarkers::arrowTransform(p.elementAt(n - 1), p.elementAt(n - 2));
    else if (to->kind == EntityKind::View && to != from)
        placement = edgemarkers::arrowTransform(p.elementAt(0), p.elementAt(1));
    else
        return;

    const ThemePalette palette = ThemeManager::instance()->colors();
    const QColor colour = isSelected() || (option->state & QStyle::State_Selected) ? palette.accent : palette.line;
    painter->save();
    painter->setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter->setBrush(colour);
    painter->drawPolygon(placement.map(edgemarkers::arrowHead()));
    painter->restore();
}
