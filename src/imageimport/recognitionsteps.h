#pragma once

// The steps of image import, for the library's own files and for the tests. Each is a free
// function of plain data; the public entry points are in imageimport.h.

#include "glyphtemplatecache.h"
#include "glyphtemplateset.h"
#include "imageimport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <cmath>
#include <functional>

QT_BEGIN_NAMESPACE
class QImage;
QT_END_NAMESPACE

class EntityItem;

// A rectangle or point with a coordinate that is infinite or not a number counts as absent.
// A rectangle also needs finite right and bottom edges, so its centre and its distances to
// other finite rectangles stay numbers.
inline bool isFinitePoint(const QPointF &point)
{
    return std::isfinite(point.x()) && std::isfinite(point.y());
}

inline bool isFiniteRect(const QRectF &rect)
{
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width())
        && std::isfinite(rect.height()) && std::isfinite(rect.x() + rect.width())
        && std::isfinite(rect.y() + rect.height());
}

// Geometry and name scores

// (min x, min y, max x - min x, max y - min y) of the finite points; (0, 0, 0, 0) for none.
QRectF pointsBoundingBox(const QList<QPointF> &points);

// Whether a polygon outlines a box: at least 28 x 18, with 70 % of its points near the edges.
bool isBoxOutline(const QList<QPointF> &points);

// Distance from p to the box, 0 inside it or on its edge.
double distanceToBox(const QRectF &box, const QPointF &p);

// Index of the first box nearest to point, nearer than limit; -1 when none is.
int nearestBoxIndex(const QList<QRectF> &boxes, const QPointF &point, double limit);

// The whole pixels of r as QRectF::toRect rounds them, grown by margin and clipped to bounds
// (inclusive corners); an empty rectangle when they do not meet or an edge is not a number.
// Edges beyond 2^30 are clamped before rounding, so no conversion overflows.
QRect clippedPixelRect(const QRectF &r, const QRect &bounds, int margin = 0);

// r, given in the coordinates of source, on the pixels of picture: rounded as QRectF::toRect,
// grown by margin, clipped to the picture (inclusive corners); empty when they do not meet.
QRect mapRectToImage(const QRectF &r, const QImage &picture, const QRectF &source, int margin);

// How much two names agree: the shorter length when one starts with the other, 8 when one
// of at least 4 characters lies inside the other, else 0.
double nameMatchScore(const QString &a, const QString &b);

// Word repair and name rules

QString cleanRecognizedText(const QString &text);
bool isIdColumnName(const QString &name);
QString fixMisreadWord(const QString &word);
bool startsWithTypeWord(const QString &word);
bool isRepeatedLetterNoise(const QString &text);
QString compactLowerName(const QString &name);
QString nameStem(const QString &name);

// A key row of a target entity: (name, type).
using KeyRow = QPair<QString, QString>;

// How strongly an attribute name refers to the target entity by its title or key rows.
double foreignKeyMatchScore(const QString &attributeName, const QString &targetTitle,
                            const QList<KeyRow> &keyRows);

// Reading order

// Row tolerance of entity building, in units.
constexpr double FixedRowTolerance = 4.0;

// Row tolerance derived from a line height.
inline double scaledRowTolerance(double lineHeight)
{
    return 0.45 * lineHeight;
}

// Whether a comes before b: upper row first when the vertical centres differ by more than
// tolerance, otherwise the left one first. Not transitive.
bool precedesInRows(const TextFragment &a, const TextFragment &b, double tolerance);

// The reading orders, each std::sort over the whole list with its test.
void sortByRows(QList<TextFragment> &fragments, double tolerance);
void sortByCentres(QList<TextFragment> &fragments);
void sortByLeftEdges(QList<TextFragment> &fragments);

// Box merging and attribute lines

// Candidates beyond this many (the largest that pass the size and shape filter) are dropped.
constexpr int MaxMergeCandidates = 20000;

// The entity boxes among candidate rectangles: filtered, near-copies united, nested ones
// dropped, stacked parts (title band over body) joined.
QList<QRectF> mergeRectangles(const QList<QRectF> &candidates);

// The joining of stacked parts alone, applied to boxes in place.
void joinStackedBoxes(QList<QRectF> &boxes);

// Whether two boxes are parts of one stacked box (title band and body).
bool areStackedParts(const QRectF &first, const QRectF &second);

// Splits one recognised line into a name and a type; the type is empty when the line
// names none.
RecognizedAttribute parseAttributeLine(const QString &line);

// The strongest reference of one of from's attribute names to to's title.
double entityForeignKeyScore(const RecognizedEntity &from, const RecognizedEntity &to);

// Entity building and the exchange document

// Attaches the fragments to the boxes they lie in; the first line of a box becomes its
// title, the others its attribute rows.
void assembleEntities(QList<RecognizedEntity> &entities, QList<TextFragment> fragments);

// The diagram exchange document of a recognised diagram, entities placed at a size
// normalised to the picture.
QJsonObject buildRecognizedDiagramJson(const RecognizedDiagram &result);

// Raster preparation

// Pictures wider or taller than this are worked on scaled down to fit.
constexpr int WorkingSizeLimit = 3600;

// The black-and-white working image of a picture (Grayscale8, ink 0, background 255), at
// most WorkingSizeLimit pixels on either side; null for a null picture. Transparent pixels
// count as white.
QImage binarizeImage(QImage picture);

// The two stages of binarizeImage. The thresholded image keeps the strokes as drawn, which
// text is read from; closing thickens them and shuts small gaps, which box borders need but
// which fills the counters of small letters and joins neighbouring ones. Text is read from
// a picture thresholded with a sizeLimit above its size, at its own resolution.
QImage thresholdImage(QImage picture, int sizeLimit = WorkingSizeLimit);
QImage closeInk(QImage binary);

// Raster boxes and connectors

// At most this many links are kept per picture.
constexpr int MaxRasterLinks = 10000;

// The raster route: boxes, their text and the connectors between them replace out's
// entities and links. False, with out unchanged, for a null picture or when no box is found.
bool detectRasterBoxes(const QImage &picture, RecognizedDiagram &out);

// 255 where a background pixel of the working image is connected to its border, else 0.
QImage outsideMask(const QImage &working);

// Bounding rectangles of the 4-connected regions of pixels non-zero in mask and zero in
// excluded, of at least 280 pixels, in the order their first pixel is met row by row.
// With pixelCounts, each region's number of pixels is listed there too.
QList<QRect> findRegions(const QImage &mask, const QImage &excluded, QList<int> *pixelCounts = nullptr);

// The regions without those that only wrap around part of a box: a self relationship's line
// leaves a box and comes back to it, closing off background that fills little of its own
// rectangle, and that rectangle overlaps the box's regions without holding them.
QList<QRect> withoutLoopRegions(const QList<QRect> &regions, const QList<int> &pixelCounts);

// The regions without the empty ones that lie beside a box with ink inside without being
// one of its compartments (lined up above or below it): background closed off by lines that
// leave the box has nothing in it. An empty region on its own is kept: it is a box.
QList<QRect> withoutStrayEmptyRegions(const QImage &working, const QList<QRect> &regions);

// The regions without those whose rectangle holds another region: background closed off
// by lines running around boxes, or a frame drawn around a group of them, is no box.
QList<QRect> withoutEnclosingRegions(const QList<QRect> &regions);

// Each region grown by 2 pixels on every side, so that it covers the box's border line.
QList<QRectF> regionCandidates(const QList<QRect> &regions);

// Links between the boxes that connected ink outside every box runs between. A box's
// border belongs to the box, not to the lines that meet it: lines meeting at one border
// are separate connectors, and boxes whose borders lie close are not linked for that.
QList<RecognizedLink> traceConnectors(const QImage &working, const QList<QRectF> &boxes);

// The working image with the gaps of dashed lines outside the boxes inked: from each end of
// a short piece of ink, the next piece or a box's border straight ahead within a few pixels
// is joined to it.
QImage joinDashes(const QImage &working, const QList<QRectF> &boxes);

// The boxes whose border is kept out of connectors: those with ink inside (a title, rows).
// A box with nothing inside is as likely background closed off where lines cross, whose
// "border" is the lines themselves.
QList<QRectF> coveringBoxes(const QImage &working, const QList<QRectF> &boxes);

// Glyph-template text recognition

constexpr int MinGlyphPixelSize = 10;
constexpr int MaxGlyphPixelSize = 28;

// The reference glyphs at the given pixel size (clamped to 10..28): the template characters
// in "Verdana", "Tahoma" and "Arial", bold, each in a cell of its own size.
QList<GlyphTemplate> buildGlyphTemplates(int pixelSize);

// The part of a greyscale image inside the bounding box of its pixels below 128; null
// when there is none.
QImage cropToInk(const QImage &image);

// The 16 x 24 comparison cell of a glyph: its inked part scaled to fit 14 x 22, centred.
QImage normalizeGlyph(const QImage &glyph);

// The character whose template overlaps the glyph best, or the null character when none
// reaches a score of 0.2.
QChar matchGlyph(const QImage &glyph, const GlyphTemplateSet &templates);

// The same among the templates whose characters lie on a line as the glyph does; all
// templates when none of those reaches 0.2.
QChar matchGlyph(const QImage &glyph, const GlyphTemplateSet &templates, const GlyphPlacement &placement);

// Heights above the baseline of small letters (x, o) and of tall ones (capitals, digits,
// b, d) in a line of text, in pixels; 0 when unknown.
struct TextHeights
{
    int small = 0;
    int tall = 0;

    bool isKnown() const { return small > 0 && tall > small; }
};

// The text of one line of a binarised picture, cleaned. Glyphs are matched against the
// templates of characters that lie on a line as they do; heights, when given, carries what
// earlier lines of the same text showed of small and tall letters, for lines that show only
// one kind.
QString recognizeCharacters(const QImage &binary, const QRect &line, const GlyphTemplateSet &templates,
                            TextHeights *heights = nullptr);

// The text lines of a box's inner rectangle: runs of at least 6 rows with enough ink.
QList<QRect> textLines(const QImage &binary, const QRect &inner);

// One fragment per recognised line of every box, box by box, top to bottom. Lines in the
// application's own entity font are read cell by cell at their size; others glyph by glyph.
// The cache, when given, keeps the template sets for the caller; otherwise the call keeps
// its own.
QList<TextFragment> recognizeRegionText(const QImage &binary, const QList<QRectF> &boxes,
                                        GlyphTemplateCache *cache = nullptr);

// recognizeRegionText for boxes found in a working image that is the picture scaled down:
// the text is read from the picture at its own resolution, where letters keep the pixels
// that tell them apart, and the fragments are given in the working image's pixels.
// thresholdedWorking is the thresholded working image, read as it is when the two sizes agree.
QList<TextFragment> recognizePictureText(const QImage &picture, const QImage &thresholdedWorking,
                                         const QList<QRectF> &boxes);

// Reads the text of a rectangle in drawing coordinates from a picture rendered of the
// drawing, whose view box is given; the template sets come from cache, which must outlive it.
using RenderedTextReader = std::function<QString(const QRectF &)>;
RenderedTextReader recognizeRenderedText(const QImage &rendering, const QRectF &viewBox, GlyphTemplateCache *cache);

// Placing fragments of an outside recogniser

// Distributes fragments, given in the pixels of a picture of pictureSize that shows source,
// over the entities: titles from title bands, the rest as attribute rows.
void recognizeBoxTexts(QList<RecognizedEntity> &entities, const QList<TextFragment> &fragments,
                       const QSize &pictureSize, const QRectF &source);

// Appends the attributes of one or more rows of an entity's fragments: a name left of the
// box's centre, a type right of it.
void parseBoxLines(const RecognizedEntity &entity, QList<RecognizedAttribute> &output,
                   QList<TextFragment> fragments);

// The words of one line, left to right, spaced where they lie apart, misreadings repaired.
QString joinWords(QList<TextFragment> words);

// The pipeline

// Pictures with more pixels than this are decoded scaled down to it, where the format can
// decode at a smaller size, and refused otherwise.
constexpr qint64 MaxPicturePixels = 100000000;

// The picture at path for the raster route, read past the toolkit's default allocation limit
// up to MaxPicturePixels. Null, with the reason in *error (too large, unreadable), when it
// cannot be read.
QImage loadPicture(const QString &path, QString *error = nullptr);

// Whether the file at path takes the SVG route: its lower-case suffix is "svg" or "svgz".
bool takesSvgRoute(const QString &path);

// The longest side a drawing's rendering aims at, and the bounds that keep it allocatable.
constexpr double SvgRenderingTarget = 2400.0;
constexpr int MaxRenderingSide = 16384;
constexpr qint64 MaxRenderingPixels = qint64(64) * 1024 * 1024;

// The size of a drawing's rendering: drawing is W x H in user units, scale the factor it is
// drawn at, pixels the picture (empty when there is nothing to render).
struct SvgRenderingPlan
{
    QSizeF drawing;
    double scale = 0;
    QSize pixels;
};

// The plan for a drawing of the renderer's default size and view box: about 2400 pixels on
// the longer side at 2 to 6 times the drawing, lowered until no side passes MaxRenderingSide
// and the area stays within MaxRenderingPixels. Sizes that are not finite or not positive
// count as absent.
SvgRenderingPlan planSvgRendering(const QSizeF &defaultSize, const QRectF &viewBox);

// The plain XML of an svgz file: its gzip stream inflated within MaxInflatedBytes. Empty
// when the file cannot be read, the stream is corrupt or too large, or what it holds is
// itself gzip data.
QByteArray inflateSvgz(const QString &path);

// The last pass over the entities, numbered from 1: an empty or noise title becomes
// "table_<n>", and an entity without rows gets the key row "<title>_id" of type uuid with
// attributesMissing set; every other entity has attributesMissing cleared.
void finishRecognizedEntities(QList<RecognizedEntity> &entities);

// Decides for every link which end is the one end: from the cardinalities read at its ends,
// then the many marks, then the one marks, then the entities' attribute names. Returns how
// many links between two boxes none of these told apart.
int orientRecognizedLinks(RecognizedDiagram &result);

// The entity boxes that loading document into scene made, indexed like result's entities
// (null where one is missing), after joining result's links with edges: one edge per pair of
// boxes, from the one end to the many end, with a foreign key row at the many end.
QList<EntityItem *> joinRecognizedLinks(ERScene *scene, const RecognizedDiagram &result,
                                        const QJsonObject &document);
