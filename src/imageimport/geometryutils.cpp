// Geometry and name-score utilities shared by the recognition routes.
#include "recognitionsteps.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Pixel edges are clamped to this before they become integers, so a rectangle far outside
// the picture cannot overflow; no picture comes near it.
constexpr double PixelEdgeLimit = double(1 << 30);

bool outsideEdgeLimit(double edge)
{
    return edge < -PixelEdgeLimit || edge > PixelEdgeLimit;
}

// One axis of QRectF::toRect: start rounded, length rounded after half the start's
// rounding error is added. Clamped edges first when one lies beyond the limit; false when
// an edge is not a number.
bool roundSpan(double start, double length, qint64 *first, qint64 *last)
{
    double end = start + length;
    if (std::isnan(start) || std::isnan(end))
        return false;
    if (outsideEdgeLimit(start) || outsideEdgeLimit(end)) {
        start = std::clamp(start, -PixelEdgeLimit, PixelEdgeLimit);
        end = std::clamp(end, -PixelEdgeLimit, PixelEdgeLimit);
        length = end - start;
    }
    *first = qRound64(start);
    *last = *first + qRound64(length + (start - double(*first)) / 2) - 1;
    return true;
}

} // namespace

double distanceToBox(const QRectF &box, const QPointF &p)
{
    double dx = 0;
    if (p.x() < box.x())
        dx = box.x() - p.x();
    else if (p.x() > box.x() + box.width())
        dx = p.x() - (box.x() + box.width());
    double dy = 0;
    if (p.y() < box.y())
        dy = box.y() - p.y();
    else if (p.y() > box.y() + box.height())
        dy = p.y() - (box.y() + box.height());
    return std::sqrt(dx * dx + dy * dy);
}

QRectF pointsBoundingBox(const QList<QPointF> &points)
{
    double left = std::numeric_limits<double>::infinity();
    double top = left;
    double right = -left;
    double bottom = -left;
    for (const QPointF &p : points) {
        if (!isFinitePoint(p))
            continue;
        left = std::min(left, p.x());
        top = std::min(top, p.y());
        right = std::max(right, p.x());
        bottom = std::max(bottom, p.y());
    }
    if (left > right)
        return QRectF(0, 0, 0, 0);
    return QRectF(left, top, right - left, bottom - top);
}

bool isBoxOutline(const QList<QPointF> &points)
{
    QList<QPointF> finite;
    finite.reserve(points.size());
    std::copy_if(points.cbegin(), points.cend(), std::back_inserter(finite), isFinitePoint);
    if (finite.size() < 4)
        return false;
    const QRectF box = pointsBoundingBox(finite);
    if (box.width() < 28 || box.height() < 18)
        return false;
    const double tolerance = std::max(0.1 * std::min(box.width(), box.height()), 3.0);
    const double right = box.x() + box.width();
    const double bottom = box.y() + box.height();
    const auto onOutline = [&](const QPointF &p) {
        return std::abs(p.x() - box.x()) <= tolerance || std::abs(p.x() - right) <= tolerance
            || std::abs(p.y() - box.y()) <= tolerance || std::abs(p.y() - bottom) <= tolerance;
    };
    const qsizetype near = std::count_if(finite.cbegin(), finite.cend(), onOutline);
    return near >= qsizetype(0.7 * double(finite.size()));
}

int nearestBoxIndex(const QList<QRectF> &boxes, const QPointF &point, double limit)
{
    if (!isFinitePoint(point))
        return -1;
    int best = -1;
    double bestDistance = limit;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        if (!isFiniteRect(boxes.at(i)))
            continue;
        const double distance = distanceToBox(boxes.at(i), point);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = int(i);
        }
    }
    return best;
}

QRect clippedPixelRect(const QRectF &r, const QRect &bounds, int margin)
{
    qint64 left = 0;
    qint64 right = 0;
    qint64 top = 0;
    qint64 bottom = 0;
    if (!roundSpan(r.x(), r.width(), &left, &right) || !roundSpan(r.y(), r.height(), &top, &bottom))
        return QRect();
    left = std::max<qint64>(left - margin, bounds.left());
    top = std::max<qint64>(top - margin, bounds.top());
    right = std::min<qint64>(right + margin, bounds.right());
    bottom = std::min<qint64>(bottom + margin, bounds.bottom());
    if (left > right || top > bottom)
        return QRect();
    return QRect(QPoint(int(left), int(top)), QPoint(int(right), int(bottom)));
}

QRect mapRectToImage(const QRectF &r, const QImage &picture, const QRectF &source, int margin)
{
    if (picture.isNull() || !isFiniteRect(r) || !isFiniteRect(source))
        return QRect();
    const double sx = picture.width() / std::max(source.width(), 1.0);
    const double sy = picture.height() / std::max(source.height(), 1.0);
    const QRectF pixels((r.x() - source.x()) * sx, (r.y() - source.y()) * sy, r.width() * sx, r.height() * sy);
    return clippedPixelRect(pixels, picture.rect(), margin);
}

double nameMatchScore(const QString &a, const QString &b)
{
    if (b.startsWith(a) || a.startsWith(b))
        return double(std::min(a.size(), b.size()));
    if ((b.size() >= 4 && a.contains(b)) || (a.size() >= 4 && b.contains(a)))
        return 8.0;
    return 0.0;
}
