// Drawing of a relationship edge: its outline for hits, and the line with a cardinality
// marker at each end.
#include "edgeitem.h"

#include "edgemarkers.h"
#include "thememanager.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QStyleOptionGraphicsItem>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MarkerReach = 20;
constexpr double FlatGrowth = 2.5;
constexpr double ClickWidth = 20;
// Device pixels kept around the exposed area besides the pen: room for the antialiased
// edge of a cap or a join.
constexpr double PaintSlack = 3;
// How far from its end point a marker's strokes reach: the circle of the zero markers
// lies farthest out.
constexpr double MarkerExtent = edgemarkers::MarkerSize * 2 + 4;

// The exposed area grown by reach and a few device pixels, where painting that leaves out
// what lies beyond changes no pixel: on a raster device under a plain scale. Null where
// everything must be painted.
QRectF paintedArea(QPainter *painter, const QStyleOptionGraphicsItem *option, double reach)
{
    const QTransform device = painter->deviceTransform();
    if (!painter->paintEngine() || painter->paintEngine()->type() != QPaintEngine::Raster
        || device.type() > QTransform::TxScale || device.m11() == 0 || device.m22() == 0
        || !option->exposedRect.isValid())
        return {};
    const double dx = reach + PaintSlack / std::abs(device.m11());
    const double dy = reach + PaintSlack / std::abs(device.m22());
    return option->exposedRect.adjusted(-dx, -dy, dx, dy);
}

bool nearRect(const QRectF &r, const QPointF *points, int count)
{
    double left = points[0].x();
    double right = left;
    double top = points[0].y();
    double bottom = top;
    for (int i = 1; i < count; ++i) {
        left = std::min(left, points[i].x());
        right = std::max(right, points[i].x());
        top = std::min(top, points[i].y());
        bottom = std::max(bottom, points[i].y());
    }
    return left <= r.right() && right >= r.left() && top <= r.bottom() && bottom >= r.top();
}

// Exactly: a point moved by the least amount starts a line of its own.
bool samePoint(const QPointF &a, const QPointF &b)
{
    return a.x() == b.x() && a.y() == b.y();
}

bool nearlySamePoint(const QPointF &a, const QPointF &b)
{
    return std::abs(a.x() - b.x()) < 1e-3 && std::abs(a.y() - b.y()) < 1e-3;
}

// The part of the line from a to b within rect, for a line along an axis: its outline
// runs exactly where the whole line's does. Any other line is kept whole. False when no
// part of the line of any length lies within.
bool clipLine(const QRectF &rect, QPointF &a, QPointF &b)
{
    const QPointF points[2] = {a, b};
    if (!nearRect(rect, points, 2))
        return false;
    if (a.y() == b.y()) {
        a.setX(std::clamp(a.x(), rect.left(), rect.right()));
        b.setX(std::clamp(b.x(), rect.left(), rect.right()));
    } else if (a.x() == b.x()) {
        a.setY(std::clamp(a.y(), rect.top(), rect.bottom()));
        b.setY(std::clamp(b.y(), rect.top(), rect.bottom()));
    }
    return !samePoint(a, b) || samePoint(points[0], points[1]);
}

// The pieces of path that come near rect: a line along an axis is cut short at the edge
// of rect, a line or a corner whose points all lie outside is left out, and a piece
// starts afresh after a gap. Sets cut when anything was left out. A path or piece that
// ends where it starts is stroked with a join there instead of caps: such a path is left
// whole (nothing returned, cut clear).
QPainterPath piecesNear(const QPainterPath &path, const QRectF &rect, bool &cut)
{
    cut = false;
    QPainterPath pieces;
    const int count = path.elementCount();
    QPointF at;
    QPointF subpathStart;
    QPointF pieceStart;
    bool inSubpath = false;
    bool inPiece = false;
    bool closed = false;
    const auto endPiece = [&] {
        if (inPiece && nearlySamePoint(pieces.currentPosition(), pieceStart))
            closed = true;
        inPiece = false;
    };
    const auto endSubpath = [&] {
        endPiece();
        if (inSubpath && nearlySamePoint(at, subpathStart))
            closed = true;
        inSubpath = false;
    };
    const auto startPiece = [&](const QPointF &from) {
        if (inPiece)
            return;
        pieces.moveTo(from);
        pieceStart = from;
        inPiece = true;
    };
    for (int i = 0; i < count; ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            endSubpath();
            at = e;
            subpathStart = at;
            continue;
        }
        inSubpath = true;
        if (e.isCurveTo() && i + 2 < count) {
            const QPointF points[4] = {at, e, path.elementAt(i + 1), path.elementAt(i + 2)};
            if (nearRect(rect, points, 4)) {
                startPiece(at);
                pieces.cubicTo(points[1], points[2], points[3]);
            } else {
                endPiece();
                cut = true;
            }
            at = points[3];
            i += 2;
            continue;
        }
        const QPointF end = e;
        QPointF a = at;
        QPointF b = end;
        if (clipLine(rect, a, b)) {
            if (!samePoint(a, at)) {
                endPiece();
                cut = true;
            }
            startPiece(a);
            pieces.lineTo(b);
            if (!samePoint(b, end)) {
                endPiece();
                cut = true;
            }
        } else {
            endPiece();
            cut = true;
        }
        at = end;
    }
    endSubpath();
    if (closed) {
        cut = false;
        return {};
    }
    return pieces;
}

} // namespace

double EdgeItem::effectivePenWidth() const
{
    const double w = pen().widthF();
    return w > 0 ? w : 1.0;
}

void EdgeItem::setRoughBounds(bool rough)
{
    if (m_roughBounds == rough)
        return;
    prepareGeometryChange();
    m_roughBounds = rough;
}

QRectF EdgeItem::boundingRect() const
{
    if (m_roughBounds) {
        // The outline of shape() lies within half its width of the path's control points,
        // a miter join within the miter limit (twice the width): no stroking needed.
        const double reach = 2 * (effectivePenWidth() + ClickWidth) + MarkerReach;
        return path().controlPointRect().adjusted(-reach, -reach, reach, reach);
    }
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
    // A long line mostly out of view is stroked whole and filled by the rasterizer, all of
    // it; on a raster device only the pieces near the exposed area are stroked, which
    // leaves every pixel as it was.
    const QRectF area = pen().style() == Qt::SolidLine && !pen().isCosmetic() && brush().style() == Qt::NoBrush
        ? paintedArea(painter, option, effectivePenWidth())
        : QRectF();
    if (!area.isNull()) {
        bool cut = false;
        const QPainterPath pieces = piecesNear(path(), area, cut);
        if (cut) {
            painter->setPen(pen());
            painter->setBrush(brush());
            if (!pieces.isEmpty())
                painter->drawPath(pieces);
            return;
        }
    }
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
    // A marker far out of view is not painted at all.
    const QRectF area = paintedArea(painter, option, MarkerExtent);
    const bool startShown = area.isNull() || nearRect(area, &first, 1);
    const bool endShown = area.isNull() || nearRect(area, &last, 1);
    if (!startShown && !endShown)
        return;

    painter->save();
    const bool emphasised = (option->state & QStyle::State_Selected) || highlighted;
    QPen markerPen(emphasised ? palette.selection : palette.border, 2.0, Qt::SolidLine, Qt::SquareCap,
                   Qt::BevelJoin);
    painter->setPen(markerPen);
    painter->setBrush(palette.background); // a circle hides the line beneath it
    if (startShown)
        edgemarkers::paintMarker(painter, edgemarkers::cardinalityMarker(startCard),
                                 edgemarkers::markerTransform(first, second));
    if (endShown)
        edgemarkers::paintMarker(painter, edgemarkers::cardinalityMarker(endCard),
                                 edgemarkers::markerTransform(last, beforeLast));
    painter->restore();
}
