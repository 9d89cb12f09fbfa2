#pragma once

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QTransform>

QT_BEGIN_NAMESPACE
class QPainter;
QT_END_NAMESPACE

// The crow's-foot markers at the ends of a relationship line and the arrow head of a
// view link, as plain shapes. Marker coordinates: x = 0 is the marker's origin on the line,
// +x points along the line into the entity, and x = size reaches the end point.
namespace edgemarkers {

// Cardinality codes at either end of a relationship.
enum CardinalityCode : int {
    One = 0,
    Many = 1,
    ZeroOrOne = 2,
    ZeroOrMany = 3
};

constexpr double MarkerSize = 14;
// Half height of a bar and radius of the circle, for a marker of the given size.
constexpr double markerSpread(double size) { return 0.35 * size; }

struct MarkerShape
{
    QList<QLineF> lines;
    bool hasCircle = false;
    QPointF circleCentre;
    double circleRadius = 0;

    bool isEmpty() const { return lines.isEmpty() && !hasCircle; }
};

// The shape of a cardinality code; empty for a value outside 0-3.
MarkerShape cardinalityMarker(int cardinality, double size = MarkerSize);

// Where a marker goes on a line that ends at end and arrives from before (the neighbouring
// point of the route): origin size units back from end, +x towards end.
QTransform markerTransform(const QPointF &end, const QPointF &before, double size = MarkerSize);

// Draws the shape with the painter's pen and brush under transform.
void paintMarker(QPainter *painter, const MarkerShape &shape, const QTransform &transform);

// The arrow head, tip at the origin pointing along +x, with a notch.
QPolygonF arrowHead();
// Where the head goes when it points at end arriving from before: its tip 4.2 short of end.
QTransform arrowTransform(const QPointF &end, const QPointF &before);

} // namespace edgemarkers
