#pragma once

#include "diagramitemtypes.h"

#include <functional>

#include <QFont>
#include <QRectF>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QColor;
class QPainter;
class QPainterPath;
QT_END_NAMESPACE

// Drawing and resizing routines shared by the annotation items (text notes, group
// frames) and the in-place editor.

// Half the side of a handle's hit square and of its painted square.
constexpr qreal HandleHitHalf = 6.0;
constexpr qreal HandlePaintHalf = 4.0;
// An annotation item's bounding rectangle is its rectangle grown by this on every side.
constexpr qreal AnnotationMargin = 6.0;

QPointF handlePoint(const QRectF &rect, ResizeHandle handle);
// The first handle (in hit-test order) whose 12 x 12 square contains pos, borders
// included; NoHandle when none does.
ResizeHandle handleAt(const QRectF &rect, const QPointF &pos);
Qt::CursorShape cursorForHandle(ResizeHandle handle);

// The rectangle that dragging handle by delta (scene units) makes of startRect. The
// opposite edge never moves; a shrink below the minimum pins the dragged edge at the
// minimum distance from the fixed one.
QRectF resizedRect(const QRectF &startRect, ResizeHandle handle, const QPointF &delta,
                   qreal minWidth, qreal minHeight);

// Paints the eight handle squares of rect (white, outlined in color); not the frame.
void drawSelectionHandles(QPainter *painter, const QRectF &rect, const QColor &color);

// Pen width of the stroked outline that makes a synthetic bold face.
qreal syntheticBoldPenWidth(qreal fontHeight);
void drawGlyphPath(QPainter *painter, const QPainterPath &path, const QFont &font,
                   const QColor &color, bool syntheticBold);

// Style names the font database lists for a family. Replaceable so that callers can
// look at a fixed set of faces; an empty function restores the font database. Returns
// the function installed before.
using FontStylesFunction = std::function<QStringList(const QString &family)>;
FontStylesFunction setFontStylesFunction(FontStylesFunction function);

// Whether family has a face of that boldness and slant. A family without listed styles
// is trusted (true).
bool findFontStyle(const QString &family, bool bold, bool italic);
// font reduced to the faces that really exist, and which of bold and italic must be
// synthesised. Either out-parameter may be null.
QFont resolvedFont(const QFont &font, bool *syntheticBold, bool *syntheticItalic);

// Paints text as filled glyph outlines, left-aligned and vertically centred in textRect,
// with synthetic bold and oblique where the family lacks the face. Used when a scene is
// rendered without a widget (PDF and SVG export).
void drawTextAsPath(QPainter *painter, const QRectF &textRect, const QFont &font,
                    const QString &text, const QColor &color);
