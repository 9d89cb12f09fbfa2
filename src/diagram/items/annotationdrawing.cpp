#include "annotationdrawing.h"

#include <QColor>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<ResizeHandle, 8> HitTestOrder = {
    ResizeHandle::TopLeft, ResizeHandle::Top, ResizeHandle::TopRight,
    ResizeHandle::Left, ResizeHandle::Right,
    ResizeHandle::BottomLeft, ResizeHandle::Bottom, ResizeHandle::BottomRight,
};

FontStylesFunction &fontStylesFunction()
{
    static FontStylesFunction function;
    return function;
}

QStringList stylesOf(const QString &family)
{
    if (const FontStylesFunction &function = fontStylesFunction())
        return function(family);
    return QFontDatabase::styles(family);
}

bool styleIsItalic(const QString &style)
{
    return style.contains(QLatin1String("Italic"), Qt::CaseInsensitive)
        || style.contains(QLatin1String("Oblique"), Qt::CaseInsensitive);
}

bool styleIsBold(const QString &style)
{
    static const char *const boldWords[] = { "Bold", "Black", "Heavy", "Semibold", "Demi" };
    for (const char *word : boldWords) {
        if (style.contains(QLatin1String(word), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool movesLeftEdge(ResizeHandle h)
{
    return h == ResizeHandle::TopLeft || h == ResizeHandle::Left || h == ResizeHandle::BottomLeft;
}

bool movesRightEdge(ResizeHandle h)
{
    return h == ResizeHandle::TopRight || h == ResizeHandle::Right || h == ResizeHandle::BottomRight;
}

bool movesTopEdge(ResizeHandle h)
{
    return h == ResizeHandle::TopLeft || h == ResizeHandle::Top || h == ResizeHandle::TopRight;
}

bool movesBottomEdge(ResizeHandle h)
{
    return h == ResizeHandle::BottomLeft || h == ResizeHandle::Bottom || h == ResizeHandle::BottomRight;
}

} // namespace

QPointF handlePoint(const QRectF &rect, ResizeHandle handle)
{
    const qreal x = rect.x();
    const qreal y = rect.y();
    const qreal w = rect.width();
    const qreal h = rect.height();
    switch (handle) {
    case ResizeHandle::TopLeft: return QPointF(x, y);
    case ResizeHandle::Top: return QPointF(x + w / 2, y);
    case ResizeHandle::TopRight: return QPointF(x + w, y);
    case ResizeHandle::Left: return QPointF(x, y + h / 2);
    case ResizeHandle::Right: return QPointF(x + w, y + h / 2);
    case ResizeHandle::BottomLeft: return QPointF(x, y + h);
    case ResizeHandle::Bottom: return QPointF(x + w / 2, y + h);
    case ResizeHandle::BottomRight: return QPointF(x + w, y + h);
    case ResizeHandle::NoHandle: break;
    }
    return QPointF();
}

ResizeHandle handleAt(const QRectF &rect, const QPointF &pos)
{
    for (ResizeHandle handle : HitTestOrder) {
        const QPointF c = handlePoint(rect, handle);
        // Borders count as inside, which QRectF::contains does not promise for the
        // right and bottom edges of a floating-point rectangle.
        if (pos.x() >= c.x() - HandleHitHalf && pos.x() <= c.x() + HandleHitHalf
            && pos.y() >= c.y() - HandleHitHalf && pos.y() <= c.y() + HandleHitHalf) {
            return handle;
        }
    }
    return ResizeHandle::NoHandle;
}

Qt::CursorShape cursorForHandle(ResizeHandle handle)
{
    switch (handle) {
    case ResizeHandle::TopLeft:
    case ResizeHandle::BottomRight:
        return Qt::SizeFDiagCursor;
    case ResizeHandle::TopRight:
    case ResizeHandle::BottomLeft:
        return Qt::SizeBDiagCursor;
    case ResizeHandle::Top:
    case ResizeHandle::Bottom:
        return Qt::SizeVerCursor;
    case ResizeHandle::Left:
    case ResizeHandle::Right:
        return Qt::SizeHorCursor;
    case ResizeHandle::NoHandle:
        break;
    }
    return Qt::ArrowCursor;
}

QRectF resizedRect(const QRectF &startRect, ResizeHandle handle, const QPointF &delta,
                   qreal minWidth, qreal minHeight)
{
    qreal l = startRect.left();
    qreal t = startRect.top();
    qreal r = startRect.left() + startRect.width();
    qreal b = startRect.top() + startRect.height();

    if (movesLeftEdge(handle))
        l += delta.x();
    if (movesRightEdge(handle))
        r += delta.x();
    if (movesTopEdge(handle))
        t += delta.y();
    if (movesBottomEdge(handle))
        b += delta.y();

    if (r - l < minWidth) {
        if (movesLeftEdge(handle))
            l = r - minWidth;
        else
            r = l + minWidth;
    }
    if (b - t < minHeight) {
        if (movesTopEdge(handle))
            t = b - minHeight;
        else
            b = t + minHeight;
    }
    return QRectF(l, t, r - l, b - t);
}

void drawSelectionHandles(QPainter *painter, const QRectF &rect, const QColor &color)
{
    if (!painter)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setBrush(QBrush(Qt::white));
    painter->setPen(QPen(QBrush(color), 1.0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    for (ResizeHandle handle : HitTestOrder) {
        const QPointF c = handlePoint(rect, handle);
        painter->drawRect(QRectF(c.x() - HandlePaintHalf, c.y() - HandlePaintHalf,
                                 2 * HandlePaintHalf, 2 * HandlePaintHalf));
    }
    painter->restore();
}

qreal syntheticBoldPenWidth(qreal fontHeight)
{
    return std::max<qreal>(0.55, 0.05 * fontHeight);
}

void drawGlyphPath(QPainter *painter, const QPainterPath &path, const QFont &font,
                   const QColor &color, bool syntheticBold)
{
    if (!painter)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (syntheticBold) {
        const qreal width = syntheticBoldPenWidth(QFontMetricsF(font).height());
        painter->setPen(QPen(QBrush(color), width, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
        painter->setBrush(QBrush(color));
        painter->drawPath(path);
    } else {
        painter->fillPath(path, QBrush(color));
    }
    painter->restore();
}

FontStylesFunction setFontStylesFunction(FontStylesFunction function)
{
    FontStylesFunction previous = std::move(fontStylesFunction());
    fontStylesFunction() = std::move(function);
    return previous;
}

bool findFontStyle(const QString &family, bool bold, bool italic)
{
    const QStringList styles = stylesOf(family);
    if (styles.isEmpty())
        return true;
    for (const QString &style : styles) {
        if (styleIsBold(style) == bold && styleIsItalic(style) == italic)
            return true;
    }
    return false;
}

QFont resolvedFont(const QFont &font, bool *syntheticBold, bool *syntheticItalic)
{
    QFont f(font);
    const bool boldWanted = f.weight() > 500;
    const bool italicWanted = f.style() != QFont::StyleNormal;
    const QString family = f.family();
    const bool realBold = boldWanted && findFontStyle(family, true, false);
    const bool realItalic = italicWanted && findFontStyle(family, false, true);

    f.setWeight(realBold ? QFont::Bold : QFont::Normal);
    f.setStyle(realItalic ? QFont::StyleItalic : QFont::StyleNormal);
    // Font merging stays on: without it, letters the family lacks come out as empty
    // boxes in an export although the screen shows them through fallback fonts.
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferOutline | QFont::ForceOutline));

    if (syntheticBold)
        *syntheticBold = boldWanted && !realBold;
    if (syntheticItalic)
        *syntheticItalic = italicWanted && !realItalic;
    return f;
}

void drawTextAsPath(QPainter *painter, const QRectF &textRect, const QFont &font,
                    const QString &text, const QColor &color)
{
    if (!painter || text.isEmpty() || !(textRect.width() > 0) || !(textRect.height() > 0))
        return;

    bool syntheticBold = false;
    bool syntheticItalic = false;
    const QFont f = resolvedFont(font, &syntheticBold, &syntheticItalic);
    const qreal ascent = QFontMetricsF(f).ascent();

    QPainterPath path;
    path.addText(QPointF(0, ascent), f, text);
    if (syntheticItalic) {
        // x' = x - 0.3 (y - ascent): the glyphs lean right about the baseline.
        const QTransform shear(1, 0, -0.3, 1, 0.3 * ascent, 0);
        path = shear.map(path);
    }
    const QRectF b = path.boundingRect();
    path.translate(textRect.left() - b.left(),
                   textRect.top() + textRect.height() / 2 - (b.top() + b.height() / 2));
    drawGlyphPath(painter, path, f, color, syntheticBold);
}
