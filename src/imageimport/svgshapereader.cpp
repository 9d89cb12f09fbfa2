// The SVG route of image import: shapes and texts read from the drawing's XML, then boxes,
// row grids, texts and links laid out from them.
#include "svgshapereader.h"

#include "boxgrid.h"
#include "recognitionsteps.h"

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Sizes, in user units, that tell what a drawn shape is.
constexpr double BoxMinWidth = 60;
constexpr double BoxMinHeight = 36;
constexpr double BandMinWidth = 50;
constexpr double RowBandMinHeight = 8;
constexpr double RowBandMaxHeight = 22;   // a band up to this high is a row band
constexpr double HeaderBandMaxHeight = 32;
constexpr double PathBandMinHeight = 10;
constexpr double PathBandMaxHeight = 28;
constexpr double OneMarkMaxThickness = 2.5;
constexpr double OneMarkMinLength = 5;
constexpr double OneMarkMaxLength = 18;
constexpr double ManyMarkMinSize = 4;
constexpr double ManyMarkMaxSize = 20;
constexpr double GlyphMaxSize = 28;       // a path piece under this both ways is glyph-sized
constexpr double PathSegmentMinLength = 10;
constexpr double ClosingGap = 0.01;       // a subpath ending this near its start is closed

// Layout of entities and links.
constexpr double BandGrowth = 3;          // a band belongs to a box its centre lies this near
constexpr double DefaultRowHeight = 13.5;
constexpr double LinkReach = 26;          // a connector end this near a box touches it
constexpr double PolylineMinExtent = 16;
constexpr double SegmentMinLength = 14;

constexpr double DefaultFontSize = 12;

// Cardinality marks: strokes up to this long and circles up to this radius draw them; they
// lie within MarkReach back from a connector's end and MarkSpread aside of it.
constexpr double MarkStrokeMaxLength = 20;
constexpr double MarkCircleMaxRadius = 12;
constexpr double MarkReach = 32;
constexpr double MarkSpread = 8;
constexpr double MarkOvershoot = 3;
constexpr double MarkAxisTolerance = 1.5;
constexpr double ProngMinDepth = 5;
constexpr double BarSlant = 0.3;
// A vertex this near a box lies in it, and a connector that runs through a box is two.
constexpr double InsideTolerance = 0.5;
// A connector whose ends meet one box and which gets this far from it loops back to it.
constexpr double SelfLoopReach = 18;
// Bold text from this weight on.
constexpr int BoldWeight = 600;
// An underline runs this far below a text's baseline, at most, as a share of its size.
constexpr double UnderlineDepth = 0.5;

// QString::toDouble, with a result that is not a finite number counted as a failure.
bool toFiniteNumber(QStringView text, double *value)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    *value = number;
    return true;
}

bool startsNumber(QChar c)
{
    return c.isDigit() || c == u'+' || c == u'-' || c == u'.';
}

bool isSign(QChar c)
{
    return c == u'+' || c == u'-';
}

// The white space of the transform syntax: space, tab, line feed, vertical tab, form feed
// and carriage return.
bool isTransformSpace(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// The arguments of one transform entry, split at runs of commas and white space; a part
// that is not a finite number counts as 0.
QList<double> transformArguments(QStringView text)
{
    QList<double> numbers;
    qsizetype at = 0;
    while (at < text.size()) {
        if (text.at(at) == u',' || isTransformSpace(text.at(at))) {
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && text.at(end) != u',' && !isTransformSpace(text.at(end)))
            ++end;
        double number = 0;
        numbers.append(toFiniteNumber(text.mid(at, end - at), &number) ? number : 0.0);
        at = end;
    }
    return numbers;
}

QTransform entryTransform(QLatin1StringView name, const QList<double> &n)
{
    const qsizetype k = n.size();
    QTransform t;
    if (name == QLatin1StringView("translate") && k >= 1) {
        t.translate(n.at(0), k >= 2 ? n.at(1) : 0.0);
    } else if (name == QLatin1StringView("scale") && k >= 1) {
        t.scale(n.at(0), k >= 2 ? n.at(1) : n.at(0));
    } else if (name == QLatin1StringView("rotate") && k >= 1) {
        if (k >= 3) {
            t.translate(n.at(1), n.at(2));
            t.rotate(n.at(0));
            t.translate(-n.at(1), -n.at(2));
        } else {
            t.rotate(n.at(0));
        }
    } else if (name == QLatin1StringView("matrix") && k >= 6) {
        t = QTransform(n.at(0), n.at(1), n.at(2), n.at(3), n.at(4), n.at(5));
    }
    return t;
}

// The transform entry name that text holds at position at, or an empty name.
QLatin1StringView entryNameAt(QStringView text, qsizetype at)
{
    static constexpr QLatin1StringView names[] = {QLatin1StringView("translate"), QLatin1StringView("scale"),
                                                  QLatin1StringView("matrix"), QLatin1StringView("rotate")};
    const QStringView rest = text.mid(at);
    for (QLatin1StringView name : names) {
        if (rest.startsWith(name))
            return name;
    }
    return QLatin1StringView();
}

// The path data reader of one "d" attribute: commands and queued numbers into points, and
// each finished subpath into the shape lists.
class PathReader
{
public:
    PathReader(const QTransform &transform, SvgShapeLists &shapes)
        : m_transform(transform)
        , m_shapes(shapes)
    {
    }

    void command(QChar letter)
    {
        if (letter == u'Z' || letter == u'z') {
            addPoint(m_start);
            m_closed = true;
            flushSubpath();
            m_current = m_start;
        }
        m_command = letter;
    }

    void number(double value)
    {
        m_queue.push_back(value);
        step();
    }

    void finish() { flushSubpath(); }

private:
    static int argumentCount(char command)
    {
        switch (command) {
        case 'M': case 'L': case 'T': return 2;
        case 'H': case 'V': return 1;
        case 'C': return 6;
        case 'S': case 'Q': return 4;
        case 'A': return 7;
        default: return 0;
        }
    }

    // One step of the current command, when enough numbers are queued.
    void step()
    {
        const char command = m_command.toUpper().toLatin1();
        const int count = argumentCount(command);
        if (count == 0 || m_queue.size() < size_t(count))
            return;
        double args[7];
        for (int i = 0; i < count; ++i) {
            args[i] = m_queue.front();
            m_queue.pop_front();
        }
        const bool relative = m_command.isLower();
        double x = m_current.x();
        double y = m_current.y();
        if (command == 'H') {
            x = args[0] + (relative ? x : 0.0);
        } else if (command == 'V') {
            y = args[0] + (relative ? y : 0.0);
        } else {
            x = args[count - 2] + (relative ? x : 0.0);
            y = args[count - 1] + (relative ? y : 0.0);
        }
        if (command == 'M') {
            flushSubpath();
            m_start = QPointF(x, y);
            m_command = relative ? u'l' : u'L';
        }
        addPoint(QPointF(x, y));
    }

    void addPoint(const QPointF &point)
    {
        m_current = point;
        const QPointF mapped = m_transform.map(point);
        if (!isFinitePoint(mapped) || m_open.size() >= MaxSvgPolylinePoints)
            m_unusable = true;  // such a subpath records nothing
        else
            m_open.append(mapped);
    }

    void flushSubpath()
    {
        const QList<QPointF> points = std::exchange(m_open, {});
        // A figure drawn back to its start without a closepath, as some writers end their
        // rectangles, is closed all the same.
        const bool closed = std::exchange(m_closed, false)
            || (points.size() > 2 && QLineF(points.first(), points.last()).length() <= ClosingGap);
        const bool unusable = std::exchange(m_unusable, false);
        if (unusable || points.size() <= 1)
            return;
        const QRectF box = pointsBoundingBox(points);
        const double w = box.width();
        const double h = box.height();
        // Glyph-sized pieces give nothing. A long thin open piece is a straight connector,
        // however small its area; a closed one that thin is below every box and band size.
        if (w < GlyphMaxSize && h < GlyphMaxSize) {
            if (!closed && points.size() == 2 && QLineF(points.first(), points.last()).length() <= MarkStrokeMaxLength)
                m_shapes.addMarkStroke(QLineF(points.first(), points.last()));
            return;
        }
        if (!closed) {
            m_shapes.addPolyline(points);
            for (qsizetype i = 1; i < points.size(); ++i) {
                const QLineF side(points.at(i - 1), points.at(i));
                if (side.length() >= PathSegmentMinLength)
                    m_shapes.addSegment(side);
            }
        } else if (isBoxOutline(points)) {
            if (w >= BoxMinWidth && h >= BoxMinHeight)
                m_shapes.addBoxCandidate(box);
            else if (w >= BandMinWidth && h >= PathBandMinHeight && h <= PathBandMaxHeight)
                m_shapes.addHeaderBand(box);
        }
    }

    const QTransform &m_transform;
    SvgShapeLists &m_shapes;
    QChar m_command = u'M';
    std::deque<double> m_queue;
    QPointF m_current;
    QPointF m_start;
    QList<QPointF> m_open;
    bool m_closed = false;
    bool m_unusable = false;
};

// The XML half of the reader: one pass over the document's tokens, each shape and text
// mapped through the combined transform of its element into the shape lists.
class DocumentReader
{
public:
    DocumentReader(QIODevice *device, SvgShapeLists &shapes)
        : m_xml(device)
        , m_shapes(shapes)
    {
    }

    // Reads to the end of the document or to its first error.
    void read()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                startElement();
                break;
            case QXmlStreamReader::EndElement:
                endElement();
                break;
            case QXmlStreamReader::Characters:
                if (m_inText && m_skippedDepth == 0)
                    m_text.append(m_xml.text());
                break;
            default:
                break;
            }
        }
    }

private:
    void startElement()
    {
        if (m_skippedDepth > 0 || m_transforms.size() > MaxSvgDepth) {
            if (m_skippedDepth++ == 0 && !m_warnedDepth) {
                m_warnedDepth = true;
                qWarning("readSvgShapes: elements nested too deeply, ignoring their content");
            }
            return;
        }
        QTransform combined = m_transforms.last();
        const QXmlStreamAttributes attributes = m_xml.attributes();
        const QStringView own = attributes.value(QLatin1StringView("transform"));
        if (!own.isEmpty())
            combined = parseSvgTransform(own) * combined;
        m_transforms.append(combined);
        m_styles.append(styleOf(attributes, m_styles.last()));

        const QStringView name = m_xml.name();
        if (m_transforms.size() == 2 && name == u"svg")
            m_shapes.setCanvas(canvasOf(attributes));
        if (name == u"rect")
            readRect(combined);
        else if (name == u"line")
            readLine(combined);
        else if (name == u"circle" || name == u"ellipse")
            readCircle(combined, name == u"circle");
        else if (name == u"polyline" || name == u"polygon")
            readPoints(combined, attributes.value(QLatin1StringView("points")), name == u"polygon");
        else if (name == u"path")
            parseSvgPathData(attributes.value(QLatin1StringView("d")), combined, m_shapes);
        else if (name == u"text")
            startText();
        else if (name == u"tspan" && m_inText)
            startTspan();
    }

    void endElement()
    {
        if (m_skippedDepth > 0) {
            --m_skippedDepth;
            return;
        }
        const QStringView name = m_xml.name();
        if (m_inText && (name == u"text" || name == u"tspan"))
            finishText(name == u"text");
        if (!m_transforms.isEmpty())
            m_transforms.removeLast();
        if (m_styles.size() > 1)
            m_styles.removeLast();
    }

    // The element's text style: its own font weight and style where it gives them, else
    // the parent's.
    static SvgTextStyle styleOf(const QXmlStreamAttributes &attributes, SvgTextStyle style)
    {
        const QStringView weight = attributes.value(QLatin1StringView("font-weight"));
        if (weight == u"bold" || weight == u"bolder")
            style.bold = true;
        else if (weight == u"normal" || weight == u"lighter")
            style.bold = false;
        else if (!weight.isEmpty())
            style.bold = weight.toInt() >= BoldWeight;
        const QStringView slant = attributes.value(QLatin1StringView("font-style"));
        if (!slant.isEmpty())
            style.italic = slant == u"italic" || slant == u"oblique";
        return style;
    }

    // The outermost svg element's area: its view box, else its width and height when both
    // are plain numbers; empty when it has neither.
    QRectF canvasOf(const QXmlStreamAttributes &attributes) const
    {
        const QList<double> viewBox = parseNumberList(attributes.value(QLatin1StringView("viewBox")));
        if (viewBox.size() >= 4)
            return QRectF(viewBox.at(0), viewBox.at(1), viewBox.at(2), viewBox.at(3));
        return QRectF(0, 0, number("width", 0), number("height", 0));
    }

    double number(const char *name, double fallback) const
    {
        return readNumberAttribute(m_xml, QLatin1StringView(name), fallback);
    }

    void readRect(const QTransform &transform)
    {
        const QRectF local(number("x", 0), number("y", 0), number("width", 0), number("height", 0));
        const QRectF r = transform.mapRect(local).normalized();
        const double w = r.width();
        const double h = r.height();
        if (w >= BoxMinWidth && h >= BoxMinHeight)
            m_shapes.addBoxCandidate(r);
        else if (w >= BandMinWidth && h >= RowBandMinHeight && h <= RowBandMaxHeight)
            m_shapes.addRowBand(r);
        else if (w >= BandMinWidth && h > RowBandMaxHeight && h <= HeaderBandMaxHeight)
            m_shapes.addHeaderBand(r);
        else if (std::min(w, h) <= OneMarkMaxThickness && std::max(w, h) >= OneMarkMinLength
                 && std::max(w, h) <= OneMarkMaxLength)
            m_shapes.addOneMarker(r);
    }

    void readLine(const QTransform &transform)
    {
        const QLineF line(transform.map(QPointF(number("x1", 0), number("y1", 0))),
                          transform.map(QPointF(number("x2", 0), number("y2", 0))));
        m_shapes.addLine(line);
        if (line.length() <= MarkStrokeMaxLength)
            m_shapes.addMarkStroke(line);
    }

    void readCircle(const QTransform &transform, bool circle)
    {
        const double rx = circle ? number("r", 0) : number("rx", 0);
        const double ry = circle ? rx : number("ry", 0);
        const QRectF bounds = transform.mapRect(QRectF(number("cx", 0) - rx, number("cy", 0) - ry, 2 * rx, 2 * ry));
        if (bounds.width() > 0 && bounds.width() <= 2 * MarkCircleMaxRadius && bounds.height() > 0
            && bounds.height() <= 2 * MarkCircleMaxRadius)
            m_shapes.addMarkCircle(bounds.center());
    }

    void readPoints(const QTransform &transform, QStringView pointsText, bool polygon)
    {
        const QList<double> numbers = parseNumberList(pointsText);
        QList<QPointF> points;
        points.reserve(numbers.size() / 2);
        for (qsizetype i = 0; i + 1 < numbers.size(); i += 2) {
            const QPointF point = transform.map(QPointF(numbers.at(i), numbers.at(i + 1)));
            if (!isFinitePoint(point))
                return;
            points.append(point);
        }
        if (polygon && isBoxOutline(points)) {
            const QRectF box = pointsBoundingBox(points);
            if (box.width() >= BoxMinWidth && box.height() >= BoxMinHeight)
                m_shapes.addBoxCandidate(box);
            return;
        }
        if (points.size() < 2)
            return;
        if (polygon) {
            const QRectF box = pointsBoundingBox(points);
            if (box.width() >= ManyMarkMinSize && box.width() <= ManyMarkMaxSize
                && box.height() >= ManyMarkMinSize && box.height() <= ManyMarkMaxSize) {
                m_shapes.addManyMarker(box);
                return;
            }
        }
        m_shapes.addPolyline(points);
        for (qsizetype i = 1; i < points.size(); ++i)
            m_shapes.addSegment(QLineF(points.at(i - 1), points.at(i)));
        if (!polygon && points.size() == 2 && QLineF(points.first(), points.last()).length() <= MarkStrokeMaxLength)
            m_shapes.addMarkStroke(QLineF(points.first(), points.last()));
    }

    void startText()
    {
        m_text.clear();
        m_textPosition = QPointF(number("x", 0), number("y", 0));
        m_fontSize = number("font-size", DefaultFontSize);
        m_inText = true;
    }

    void startTspan()
    {
        m_textPosition = QPointF(number("x", m_textPosition.x()), number("y", m_textPosition.y()));
    }

    // One fragment of what the text buffer holds, anchored at the text position mapped
    // through the closing element's transform; the font size is not scaled.
    void finishText(bool endsText)
    {
        const QString text = cleanRecognizedText(m_text);
        if (!text.isEmpty()) {
            const QPointF anchor = m_transforms.last().map(m_textPosition);
            const double size = m_fontSize;
            const QRectF rect(anchor.x(), anchor.y() - size, std::max(double(text.size()) * size * 0.55, 8.0),
                              size * 1.2);
            m_shapes.addText({rect, text}, m_styles.last());
        }
        m_text.clear();
        if (endsText)
            m_inText = false;
    }

    QXmlStreamReader m_xml;
    SvgShapeLists &m_shapes;
    QList<QTransform> m_transforms{QTransform()};  // the combined transform of each open element
    QList<SvgTextStyle> m_styles{SvgTextStyle()};   // and its text style
    int m_skippedDepth = 0;                         // open elements skipped for their depth
    bool m_warnedDepth = false;
    QString m_text;
    bool m_inText = false;
    QPointF m_textPosition;
    double m_fontSize = DefaultFontSize;
};

// The bands of one box: its topmost header band, and the pitch and extent of its rows.
struct BoxBands
{
    qsizetype header = -1;
    double rowHeight = DefaultRowHeight;
    double rowBottom = 0;
    bool hasRows = false;
};

std::vector<BoxBands> bandsOfBoxes(qsizetype boxCount, const BoxGrid &grid, const SvgShapeLists &shapes)
{
    std::vector<BoxBands> bands(boxCount);
    const QList<QRectF> &headers = shapes.headerBands();
    for (qsizetype i = 0; i < headers.size(); ++i) {
        for (int box : grid.containing(headers.at(i).center(), BandGrowth)) {
            BoxBands &b = bands[box];
            if (b.header < 0 || headers.at(i).y() < headers.at(b.header).y())
                b.header = i;
        }
    }
    for (const QRectF &row : shapes.rowBands()) {
        for (int box : grid.containing(row.center(), BandGrowth)) {
            BoxBands &b = bands[box];
            b.rowHeight = row.height();
            b.rowBottom = b.hasRows ? std::max(b.rowBottom, row.bottom()) : row.bottom();
            b.hasRows = true;
        }
    }
    return bands;
}

// An entity for box with a title band and a regular grid of rows under it, whose pitch and
// extent the row bands set.
RecognizedEntity entityWithRowGrid(const QRectF &box, const QRectF *header, const BoxBands &bands)
{
    RecognizedEntity entity;
    entity.rect = box;
    entity.headerRect = header
        ? QRectF(header->x() + 4, header->y() + 1, header->width() - 8, header->height() - 2)
        : QRectF(box.x() + 4, box.y() + 2, box.width() - 8, std::min(0.28 * box.height(), 18.0));
    const double rh = bands.rowHeight;
    const double top = entity.headerRect.y() + entity.headerRect.height();
    double bottom = box.y() + box.height() - 2;
    if (bands.hasRows) {
        bottom = std::max(top, bands.rowBottom);
        if ((box.y() + box.height()) - bottom > 0.3 * rh)
            bottom += rh;
    }
    for (double y = top; y + 0.45 * rh < bottom + 0.5 && entity.rowRects.size() < MaxSvgRowsPerEntity; y += rh)
        entity.rowRects.append(QRectF(box.x() + 5, y, box.width() - 10, rh));
    return entity;
}

QList<RecognizedEntity> layOutEntities(const QList<QRectF> &boxes, const BoxGrid &grid, const SvgShapeLists &shapes)
{
    const std::vector<BoxBands> bands = bandsOfBoxes(boxes.size(), grid, shapes);
    QList<RecognizedEntity> entities;
    entities.reserve(boxes.size());
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const BoxBands &b = bands.at(i);
        entities.append(entityWithRowGrid(boxes.at(i), b.header >= 0 ? &shapes.headerBands().at(b.header) : nullptr, b));
    }
    return entities;
}

// Where a connector's end meets a box, looking back along the connector: t how far back from
// the end, l how far aside.
struct EndFrame
{
    QPointF end;
    QPointF back;   // unit vector from the end back along the connector
    QPointF aside;  // unit vector across it

    double along(const QPointF &p) const { return QPointF::dotProduct(p - end, back); }
    double across(const QPointF &p) const { return QPointF::dotProduct(p - end, aside); }
};

std::optional<EndFrame> endFrame(const QPointF &end, const QPointF &before)
{
    const QPointF d = before - end;
    const double length = std::hypot(d.x(), d.y());
    if (!(length > 0))
        return std::nullopt;
    const QPointF back = d / length;
    return EndFrame{end, back, QPointF(-back.y(), back.x())};
}

// The cardinality the strokes and circles at one end of a connector draw: prongs spreading
// from a point on the line towards the box (a crow's foot) mean many, a circle on the line
// means zero, bars across the line alone mean exactly one. -1 when the end carries none of
// them (filled marks are matched to ends when the links are oriented).
int endCardinality(const EndFrame &frame, const SvgShapeLists &shapes)
{
    const auto onLine = [&](const QPointF &p) { return std::abs(frame.across(p)) <= MarkAxisTolerance; };
    const auto inReach = [&](const QPointF &p) {
        const double t = frame.along(p);
        return t >= -MarkOvershoot && t <= MarkReach && std::abs(frame.across(p)) <= MarkSpread;
    };
    bool many = false;
    bool bar = false;
    bool zero = false;
    for (const QLineF &stroke : shapes.markStrokes()) {
        if (!inReach(stroke.p1()) || !inReach(stroke.p2()))
            continue;
        const QPointF a = stroke.p1();
        const QPointF b = stroke.p2();
        // A prong: from a point on the line out to the side, nearer the box.
        for (const auto &[apex, tip] : {std::pair{a, b}, std::pair{b, a}}) {
            if (onLine(apex) && !onLine(tip) && frame.along(tip) < frame.along(apex) - ProngMinDepth)
                many = true;
        }
        const QPointF d = b - a;
        const double length = std::hypot(d.x(), d.y());
        if (length > 0 && std::abs(QPointF::dotProduct(d, frame.back)) / length <= BarSlant
            && frame.across(a) * frame.across(b) <= 0)
            bar = true;
    }
    for (const QPointF &centre : shapes.markCircles()) {
        if (inReach(centre) && onLine(centre) && frame.along(centre) > MarkOvershoot)
            zero = true;
    }
    if (many)
        return zero ? 3 : 1;
    if (bar || zero)
        return zero ? 2 : 0;
    return -1;
}

// The box a point of a connector lies in, within a hair of its border; -1 when none.
int boxHolding(const BoxGrid &grid, const QPointF &point)
{
    return grid.nearest(point, InsideTolerance);
}

// The cardinalities read at the two ends of a stretch of a connector.
std::pair<int, int> stretchCardinalities(const QList<QPointF> &points, qsizetype first, qsizetype last,
                                         const SvgShapeLists &shapes)
{
    const auto at = [&](qsizetype end, qsizetype before) {
        const std::optional<EndFrame> frame = endFrame(points.at(end), points.at(before));
        return frame ? endCardinality(*frame, shapes) : -1;
    };
    return {at(first, first + 1), at(last, last - 1)};
}

// How far a stretch of a connector gets from box: a loop of a box's relationship with
// itself leaves it well beyond its marks.
double farthestFrom(const QRectF &box, const QList<QPointF> &points, qsizetype first, qsizetype last)
{
    double farthest = 0;
    for (qsizetype i = first; i <= last; ++i)
        farthest = std::max(farthest, distanceToBox(box, points.at(i)));
    return farthest;
}

// Links from the connectors. A polyline links the boxes its two ends meet, not those it
// passes on its way; only where it runs through a box (a vertex inside it) is it two lines,
// one into the box and one out of it. A polyline whose ends meet one box and which leaves it
// on the way is that box's relationship with itself. A line element links the boxes nearest
// its two ends.
QList<RecognizedLink> findLinks(const QList<QRectF> &boxes, const BoxGrid &grid, const SvgShapeLists &shapes)
{
    SvgLinkTable table;
    for (const QList<QPointF> &polyline : shapes.polylines()) {
        const QRectF extent = pointsBoundingBox(polyline);
        if (polyline.size() < 2 || (extent.width() < PolylineMinExtent && extent.height() < PolylineMinExtent))
            continue;
        const qsizetype last = polyline.size() - 1;
        qsizetype start = 0;
        int startBox = grid.nearest(polyline.first(), LinkReach);
        const auto link = [&](qsizetype end, int endBox) {
            if (startBox < 0 || endBox < 0)
                return;
            if (startBox == endBox && farthestFrom(boxes.at(startBox), polyline, start, end) < SelfLoopReach)
                return;
            const auto [first, second] = stretchCardinalities(polyline, start, end, shapes);
            keepLongestLink(table, startBox, endBox, QLineF(polyline.at(start), polyline.at(end)), first, second);
        };
        for (qsizetype i = 1; i < last; ++i) {
            const int inside = boxHolding(grid, polyline.at(i));
            if (inside < 0 || inside == startBox)
                continue;
            link(i, inside);
            start = i;
            startBox = inside;
        }
        link(last, grid.nearest(polyline.at(last), LinkReach));
    }
    for (const QLineF &line : shapes.lines()) {
        if (line.length() < SegmentMinLength)
            continue;
        const QList<QPointF> points{line.p1(), line.p2()};
        const auto [first, second] = stretchCardinalities(points, 0, 1, shapes);
        const int a = grid.nearest(line.p1(), LinkReach);
        const int b = grid.nearest(line.p2(), LinkReach);
        if (a != b)
            keepLongestLink(table, a, b, line, first, second);
    }
    return table.links;
}

// The text fragment of an entity's box that reads name, with its style; -1 when none does.
qsizetype fragmentNamed(const QRectF &box, const QString &name, const SvgShapeLists &shapes)
{
    const QRectF grown = box.adjusted(-BandGrowth, -BandGrowth, BandGrowth, BandGrowth);
    const QList<TextFragment> &texts = shapes.texts();
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (grown.contains(texts.at(i).rect.center()) && cleanRecognizedText(texts.at(i).text) == name)
            return i;
    }
    return -1;
}

// Whether a straight horizontal stroke runs under the text, as an underline does.
bool isUnderlined(const TextFragment &text, const SvgShapeLists &shapes)
{
    // The fragment's rectangle ends a fifth of the font size under the baseline.
    const double size = text.rect.height() / 1.2;
    const double baseline = text.rect.bottom() - 0.2 * size;
    for (const QList<QPointF> &stroke : shapes.polylines()) {
        if (stroke.size() != 2 || std::abs(stroke.first().y() - stroke.last().y()) > 0.5)
            continue;
        const double y = stroke.first().y();
        const double left = std::min(stroke.first().x(), stroke.last().x());
        if (y >= baseline && y <= baseline + UnderlineDepth * size && std::abs(left - text.rect.left()) <= 2)
            return true;
    }
    return false;
}

// The key marks of the entities' rows, read from how their names are drawn.
void readKeyMarks(QList<RecognizedEntity> &entities, const SvgShapeLists &shapes)
{
    for (RecognizedEntity &entity : entities) {
        for (RecognizedAttribute &attribute : entity.attributes) {
            const qsizetype at = fragmentNamed(entity.rect, attribute.name, shapes);
            if (at < 0)
                continue;
            const SvgTextStyle &style = shapes.textStyles().at(at);
            const bool underlined = isUnderlined(shapes.texts().at(at), shapes);
            attribute.marks.primary = style.bold && underlined;
            attribute.marks.unique = style.bold && !underlined;
            attribute.marks.foreign = style.italic;
        }
    }
}

// The last stages: boxes merged from the candidates, one entity per box, the texts handed to
// entity building, the links between the boxes. False, with out's entities, links and texts
// left alone, when there is neither a box nor a text.
bool layOut(const SvgShapeLists &shapes, RecognizedDiagram &out)
{
    const QList<QRectF> boxes = mergeRectangles(shapes.boxCandidates());
    if (boxes.isEmpty() && shapes.texts().isEmpty())
        return false;
    const BoxGrid grid(boxes, LinkReach);
    out.entities = layOutEntities(boxes, grid, shapes);
    out.texts = shapes.texts();
    if (!out.texts.isEmpty()) {
        assembleEntities(out.entities, out.texts);
        readKeyMarks(out.entities, shapes);
    }
    out.links = findLinks(boxes, grid, shapes);
    return true;
}

} // namespace

bool readSvgShapes(const QString &path, RecognizedDiagram &out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    out.manyMarkers.clear();
    out.oneMarkers.clear();
    SvgShapeLists shapes;
    DocumentReader(&file, shapes).read();
    out.manyMarkers = shapes.manyMarkers();
    out.oneMarkers = shapes.oneMarkers();
    return layOut(shapes, out);
}

double readNumberAttribute(const QXmlStreamReader &reader, QLatin1StringView name, double fallback)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    const QStringView value = attributes.value(name);
    if (value.isEmpty())
        return fallback;
    double number = 0;
    return toFiniteNumber(value, &number) ? number : 0.0;
}

QList<double> parseNumberList(QStringView text)
{
    QList<double> numbers;
    qsizetype at = 0;
    while (at < text.size()) {
        if (!startsNumber(text.at(at))) {
            ++at;
            continue;
        }
        qsizetype end = isSign(text.at(at)) ? at + 1 : at;
        bool point = false;
        while (end < text.size()) {
            const QChar c = text.at(end);
            if (c.isDigit() || (c == u'.' && !point)) {
                point = point || c == u'.';
                ++end;
            } else if (c == u'e' || c == u'E') {
                ++end;
                if (end < text.size() && isSign(text.at(end)))
                    ++end;
            } else {
                break;
            }
        }
        double number = 0;
        if (toFiniteNumber(text.mid(at, end - at), &number)) {
            numbers.append(number);
            at = end;
        } else {
            at = end + 1;
        }
    }
    return numbers;
}

QTransform parseSvgTransform(QStringView text)
{
    // Entries as "(translate|scale|matrix|rotate)\s*\(([^)]*)\)" finds them, scanned by hand
    // so that a long list without a closing parenthesis is not searched again from every name.
    QTransform result;
    qsizetype at = 0;
    while (at < text.size()) {
        const QLatin1StringView name = entryNameAt(text, at);
        if (name.isEmpty()) {
            ++at;
            continue;
        }
        qsizetype open = at + name.size();
        while (open < text.size() && isTransformSpace(text.at(open)))
            ++open;
        if (open >= text.size() || text.at(open) != u'(') {
            ++at;
            continue;
        }
        const qsizetype close = text.indexOf(u')', open + 1);
        if (close < 0)
            break;  // no entry can be closed after this point either
        result = entryTransform(name, transformArguments(text.mid(open + 1, close - open - 1))) * result;
        at = close + 1;
    }
    return result;
}

void parseSvgPathData(QStringView d, const QTransform &transform, SvgShapeLists &shapes)
{
    static const QRegularExpression token(
        QStringLiteral("([MmLlHhVvCcSsQqTtAaZz])|[-+]?\\d*\\.?\\d+(?:[eE][-+]?\\d+)?"));
    PathReader reader(transform, shapes);
    for (QRegularExpressionMatchIterator it = token.globalMatch(d); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedLength(1) == 1) {
            reader.command(match.capturedView(1).at(0));
        } else {
            double number = 0;
            reader.number(toFiniteNumber(match.capturedView(0), &number) ? number : 0.0);
        }
    }
    reader.finish();
}

void keepLongestLink(SvgLinkTable &table, int a, int b, const QLineF &line, int aCardinality, int bCardinality)
{
    if (a < 0 || b < 0)
        return;
    const bool usable = line.length() > 1;
    const RecognizedLink link{a, b, line, usable, aCardinality, bCardinality};
    const QPair<int, int> key(std::min(a, b), std::max(a, b));
    const auto known = table.positions.constFind(key);
    if (known == table.positions.constEnd()) {
        if (table.links.size() >= MaxSvgLinks) {
            if (!std::exchange(table.full, true))
                qWarning("readSvgShapes: too many links, ignoring the rest");
            return;
        }
        table.positions.insert(key, table.links.size());
        table.links.append(link);
        return;
    }
    RecognizedLink &stored = table.links[*known];
    if (!usable || (stored.hasLine && !(line.length() > stored.line.length())))
        return;
    stored = link;
}
