#pragma once

#include "imageimport.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>

// Bounds of the working lists. Drawings of ER diagrams stay far below each of them; a
// crafted file that reaches one loses the rest of that list, not the machine's memory.
constexpr qsizetype MaxSvgTextFragments = 100000;
constexpr qsizetype MaxSvgSegments = 100000;
constexpr qsizetype MaxSvgPolylinePoints = 200000;  // over all polylines together
constexpr qsizetype MaxSvgBands = 100000;           // of each kind
constexpr qsizetype MaxSvgMarks = 20000;            // of each kind

// How a text is drawn, inherited from the elements around it.
struct SvgTextStyle
{
    bool bold = false;
    bool italic = false;
};

// What the SVG reader collects from a drawing, each list in document order. A rectangle,
// segment or point that is not finite is not taken. Every list but the box candidates
// (which box merging bounds itself) takes at most its bound; the first item refused for it
// writes one warning, and every later item of that list is refused too.
class SvgShapeLists
{
public:
    // The drawing's own area, in user units. A box candidate that covers it is the page's
    // background, not a box, and is not taken.
    void setCanvas(const QRectF &canvas) { m_canvas = canvas; }

    void addBoxCandidate(const QRectF &box);
    void addHeaderBand(const QRectF &band);
    void addRowBand(const QRectF &band);
    void addSegment(const QLineF &segment);
    // A line element: a segment that is a connector of its own.
    void addLine(const QLineF &line);
    void addPolyline(const QList<QPointF> &points);
    void addText(const TextFragment &fragment, const SvgTextStyle &style = {});
    void addManyMarker(const QRectF &mark);
    void addOneMarker(const QRectF &mark);
    // Short straight strokes and small circles, which draw the cardinality marks at the
    // ends of connectors.
    void addMarkStroke(const QLineF &stroke);
    void addMarkCircle(const QPointF &centre);

    const QList<QRectF> &boxCandidates() const { return m_boxCandidates; }
    const QList<QRectF> &headerBands() const { return m_headerBands; }
    const QList<QRectF> &rowBands() const { return m_rowBands; }
    const QList<QLineF> &segments() const { return m_segments; }
    const QList<QList<QPointF>> &polylines() const { return m_polylines; }
    const QList<TextFragment> &texts() const { return m_texts; }
    const QList<SvgTextStyle> &textStyles() const { return m_textStyles; }  // one per text
    const QList<QRectF> &manyMarkers() const { return m_manyMarkers; }
    const QList<QRectF> &oneMarkers() const { return m_oneMarkers; }
    const QList<QLineF> &lines() const { return m_lines; }
    const QList<QLineF> &markStrokes() const { return m_markStrokes; }
    const QList<QPointF> &markCircles() const { return m_markCircles; }

private:
    // How much one list may still take.
    struct Budget
    {
        qsizetype left;
        const char *what;
        bool exhausted = false;

        bool take(qsizetype count);
    };

    bool coversCanvas(const QRectF &box) const;

    QRectF m_canvas;
    QList<QRectF> m_boxCandidates;
    QList<QRectF> m_headerBands;
    QList<QRectF> m_rowBands;
    QList<QLineF> m_segments;
    QList<QList<QPointF>> m_polylines;
    QList<TextFragment> m_texts;
    QList<SvgTextStyle> m_textStyles;
    QList<QRectF> m_manyMarkers;
    QList<QRectF> m_oneMarkers;
    QList<QLineF> m_lines;
    QList<QLineF> m_markStrokes;
    QList<QPointF> m_markCircles;

    Budget m_headerBudget{MaxSvgBands, "header bands"};
    Budget m_rowBudget{MaxSvgBands, "row bands"};
    Budget m_segmentBudget{MaxSvgSegments, "segments"};
    Budget m_pointBudget{MaxSvgPolylinePoints, "polyline points"};
    Budget m_textBudget{MaxSvgTextFragments, "text fragments"};
    Budget m_manyBudget{MaxSvgMarks, "many-end marks"};
    Budget m_oneBudget{MaxSvgMarks, "one-end marks"};
    Budget m_strokeBudget{MaxSvgMarks, "mark strokes"};
    Budget m_circleBudget{MaxSvgMarks, "mark circles"};
};
