#pragma once

// The SVG route of image import: a drawing read as XML, element by element, into boxes with
// title bands and row grids, text fragments, links and end marks; and the readers of its
// attribute numbers, transforms and path data.

#include "imageimport.h"
#include "svgshapelists.h"

#include <QHash>
#include <QLatin1StringView>
#include <QLineF>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <QTransform>

QT_BEGIN_NAMESPACE
class QXmlStreamReader;
QT_END_NAMESPACE

// Elements nested deeper than this are skipped with their content.
constexpr int MaxSvgDepth = 1000;
// An entity's row grid stops after this many rows.
constexpr int MaxSvgRowsPerEntity = 1000;
// Links between pairs of boxes beyond this many are ignored.
constexpr qsizetype MaxSvgLinks = 10000;

// Reads the drawing at path into out: its end marks, then its entities (each with a title
// band and a grid of attribute rows), texts and links. False when the file cannot be opened
// (out untouched) or holds neither a box nor a text (entities, links and texts untouched).
// Reading stops at the first XML error and what was read before is used.
bool readSvgShapes(const QString &path, RecognizedDiagram &out);

// The named attribute of the element the reader stands on: fallback when it is absent or
// empty, 0 when it is not a plain finite number.
double readNumberAttribute(const QXmlStreamReader &reader, QLatin1StringView name, double fallback);

// The plain numbers in text, in order; pieces that do not convert to a finite number are
// skipped.
QList<double> parseNumberList(QStringView text);

// The transform of an SVG transform list; entries other than translate, scale, rotate and
// matrix are ignored, malformed ones are the identity.
QTransform parseSvgTransform(QStringView text);

// Reads path data mapped through transform: every command contributes its end point, and
// each finished subpath becomes a box outline, a title band, or a polyline with its sides
// as segments; glyph-sized pieces give nothing.
void parseSvgPathData(QStringView d, const QTransform &transform, SvgShapeLists &shapes);

// The links found so far, one per unordered pair of boxes.
struct SvgLinkTable
{
    QList<RecognizedLink> links;
    QHash<QPair<int, int>, qsizetype> positions;  // (smaller, larger index) -> position in links
    bool full = false;
};

// Records a connector from box a to box b (the same box for a relationship of a box with
// itself), with the cardinalities read at its ends (-1 for none), keeping for each pair of
// boxes the longest line longer than 1 unit.
void keepLongestLink(SvgLinkTable &table, int a, int b, const QLineF &line, int aCardinality = -1,
                     int bCardinality = -1);
