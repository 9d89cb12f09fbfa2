#include "svgshapelists.h"

#include "recognitionsteps.h"

#include <QtGlobal>

#include <algorithm>

bool SvgShapeLists::Budget::take(qsizetype count)
{
    if (exhausted)
        return false;
    if (count > left) {
        exhausted = true;
        qWarning("readSvgShapes: too many %s, ignoring the rest", what);
        return false;
    }
    left -= count;
    return true;
}

bool SvgShapeLists::coversCanvas(const QRectF &box) const
{
    if (m_canvas.isEmpty())
        return false;
    // A hundredth of the canvas absorbs the rounding of what a writer put around it.
    const double dx = 0.01 * m_canvas.width();
    const double dy = 0.01 * m_canvas.height();
    return box.left() <= m_canvas.left() + dx && box.right() >= m_canvas.right() - dx
        && box.top() <= m_canvas.top() + dy && box.bottom() >= m_canvas.bottom() - dy;
}

void SvgShapeLists::addBoxCandidate(const QRectF &box)
{
    if (isFiniteRect(box) && !coversCanvas(box))
        m_boxCandidates.append(box);
}

void SvgShapeLists::addHeaderBand(const QRectF &band)
{
    if (isFiniteRect(band) && m_headerBudget.take(1))
        m_headerBands.append(band);
}

void SvgShapeLists::addRowBand(const QRectF &band)
{
    if (isFiniteRect(band) && m_rowBudget.take(1))
        m_rowBands.append(band);
}

void SvgShapeLists::addSegment(const QLineF &segment)
{
    if (isFinitePoint(segment.p1()) && isFinitePoint(segment.p2()) && m_segmentBudget.take(1))
        m_segments.append(segment);
}

void SvgShapeLists::addPolyline(const QList<QPointF> &points)
{
    if (std::all_of(points.cbegin(), points.cend(), isFinitePoint) && m_pointBudget.take(points.size()))
        m_polylines.append(points);
}

void SvgShapeLists::addText(const TextFragment &fragment, const SvgTextStyle &style)
{
    if (isFiniteRect(fragment.rect) && m_textBudget.take(1)) {
        m_texts.append(fragment);
        m_textStyles.append(style);
    }
}

void SvgShapeLists::addManyMarker(const QRectF &mark)
{
    if (isFiniteRect(mark) && m_manyBudget.take(1))
        m_manyMarkers.append(mark);
}

void SvgShapeLists::addOneMarker(const QRectF &mark)
{
    if (isFiniteRect(mark) && m_oneBudget.take(1))
        m_oneMarkers.append(mark);
}

void SvgShapeLists::addLine(const QLineF &line)
{
    const qsizetype before = m_segments.size();
    addSegment(line);
    if (m_segments.size() > before)
        m_lines.append(line);
}

void SvgShapeLists::addMarkStroke(const QLineF &stroke)
{
    if (isFinitePoint(stroke.p1()) && isFinitePoint(stroke.p2()) && m_strokeBudget.take(1))
        m_markStrokes.append(stroke);
}

void SvgShapeLists::addMarkCircle(const QPointF &centre)
{
    if (isFinitePoint(centre) && m_circleBudget.take(1))
        m_markCircles.append(centre);
}
