#include "edgemarkers.h"

#include <QPainter>

#include <cmath>

namespace edgemarkers {

namespace {

constexpr double ArrowInset = 4.2;

QPointF unitOrZero(const QPointF &d)
{
    const double length = std::hypot(d.x(), d.y());
    return length > 0 ? d / length : QPointF();
}

QTransform placed(const QPointF &origin, const QPointF &direction)
{
    QTransform t;
    t.translate(origin.x(), origin.y());
    t.rotateRadians(std::atan2(direction.y(), direction.x()));
    return t;
}

} // namespace

MarkerShape cardinalityMarker(int cardinality, double size)
{
    const double s = markerSpread(size);
    const QLineF bar(0, -s, 0, s);
    const QList<QLineF> crowsFoot{ QLineF(0, 0, size, 0), QLineF(0, 0, size, -s), QLineF(0, 0, size, s) };
    MarkerShape shape;
    switch (cardinality) {
    case One:
        shape.lines = { bar, QLineF(s, -s, s, s) };
        break;
    case Many:
        shape.lines = QList<QLineF>{ bar } + crowsFoot;
        break;
    case ZeroOrOne:
    case ZeroOrMany:
        shape.hasCircle = true;
        shape.circleCentre = QPointF(-1.6 * s, 0);
        shape.circleRadius = s;
        shape.lines = cardinality == ZeroOrOne ? QList<QLineF>{ bar } : crowsFoot;
        break;
    default:
        break;
    }
    return shape;
}

QTransform markerTransform(const QPointF &end, const QPointF &before, double size)
{
    const QPointF d = end - before;
    return placed(end - size * unitOrZero(d), d);
}

void paintMarker(QPainter *painter, const MarkerShape &shape, const QTransform &transform)
{
    if (shape.isEmpty())
        return;
    painter->save();
    painter->setTransform(transform, true);
    if (shape.hasCircle)
        painter->drawEllipse(shape.circleCentre, shape.circleRadius, shape.circleRadius);
    painter->drawLines(shape.lines);
    painter->restore();
}

QPolygonF arrowHead()
{
    return QPolygonF({ QPointF(0, 0), QPointF(-12, 5.04), QPointF(-8.64, 0), QPointF(-12, -5.04) });
}

QTransform arrowTransform(const QPointF &end, const QPointF &before)
{
    const QPointF d = end - before;
    return placed(end - ArrowInset * unitOrZero(d), d);
}

} // namespace edgemarkers
