// Text lines of binarised pictures read character by character with the glyph templates.
#include "recognitionsteps.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

Q_LOGGING_CATEGORY(lcGlyphs, "velmora.imageimport.text", QtWarningMsg)

namespace {

constexpr int NoRightEdge = -100;
constexpr int MinimumComponentPixels = 4;

// Inclusive pixel rectangle of one ink component, in the coordinates of the line.
struct Component
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool dotted = false;  // a dot over a stem, joined
    int pixels = 0;

    int width() const { return right - left + 1; }
};

Component united(const Component &a, const Component &b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom), a.dotted || b.dotted, a.pixels + b.pixels};
}

// The 8-connected ink components, met column by column from the left.
std::vector<Component> inkComponents(const QImage &binary, const QRect &area)
{
    static constexpr std::array<QPoint, 8> Neighbours = {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1),
                                                         QPoint(1, 1), QPoint(1, -1), QPoint(-1, 1), QPoint(-1, -1)};
    const int width = area.width();
    const int height = area.height();
    const auto isInk = [&](int x, int y) { return binary.constScanLine(area.top() + y)[area.left() + x] == 0; };
    std::vector<uchar> visited(size_t(width) * size_t(height), 0);
    std::vector<QPoint> queue;
    std::vector<Component> components;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (visited[size_t(y) * width + x] || !isInk(x, y))
                continue;
            visited[size_t(y) * width + x] = 1;
            queue.assign(1, QPoint(x, y));
            Component component{x, y, x, y};
            for (size_t head = 0; head < queue.size(); ++head) {
                const QPoint p = queue[head];
                component = united(component, {p.x(), p.y(), p.x(), p.y()});
                for (const QPoint &step : Neighbours) {
                    const QPoint n = p + step;
                    if (n.x() < 0 || n.y() < 0 || n.x() >= width || n.y() >= height)
                        continue;
                    uchar &seen = visited[size_t(n.y()) * width + n.x()];
                    if (!seen && isInk(n.x(), n.y())) {
                        seen = 1;
                        queue.push_back(n);
                    }
                }
            }
            // Specks are kept until the pieces of characters are joined: the dot of a
            // small i may have fewer than 4 pixels.
            component.pixels = int(queue.size());
            components.push_back(component);
        }
    }
    return components;
}

bool growTouches(const Component &a, const Component &b)
{
    return b.left <= a.right + 1 && b.right >= a.left - 1 && b.top <= a.bottom + 1 && b.bottom >= a.top - 1;
}

bool areStacked(const Component &a, const Component &b)
{
    const int centre = (b.left + b.right) / 2;
    const bool stacked = b.bottom <= a.top + 1 || a.bottom <= b.top + 1;
    return centre >= a.left - 1 && centre <= a.right + 1 && stacked;
}

// Pieces of one character: a dot over its stem (i, j), the parts of a colon, broken strokes.
bool arePiecesOfOneCharacter(const Component &a, const Component &b)
{
    if (areStacked(a, b))
        return true;
    const bool speck = std::min(a.pixels, b.pixels) < MinimumComponentPixels;
    return !speck && growTouches(a, b) && std::min(a.width(), b.width()) <= 3;
}

void joinPieces(std::vector<Component> &components)
{
    size_t i = 0;
    while (i + 1 < components.size()) {
        if (arePiecesOfOneCharacter(components[i], components[i + 1])) {
            const bool stacked = areStacked(components[i], components[i + 1]);
            components[i] = united(components[i], components[i + 1]);
            components[i].dotted = components[i].dotted || stacked;
            components.erase(components.begin() + std::ptrdiff_t(i) + 1);
        } else {
            ++i;
        }
    }
    components.erase(std::remove_if(components.begin(), components.end(),
                                    [](const Component &c) { return c.pixels < MinimumComponentPixels; }),
                     components.end());
}

void appendIfKnown(QString &text, QChar character)
{
    if (!character.isNull())
        text.append(character);
}

// The ink rows of columns left..right of a component, in line coordinates.
std::pair<int, int> inkRows(const QImage &binary, const QRect &area, int left, int right, const Component &c)
{
    int top = c.bottom + 1;
    int bottom = c.top - 1;
    for (int y = c.top; y <= c.bottom; ++y) {
        const uchar *row = binary.constScanLine(area.top() + y) + area.left();
        if (std::find(row + left, row + right + 1, uchar(0)) != row + right + 1) {
            top = std::min(top, y);
            bottom = y;
        }
    }
    return {top, bottom};
}

// What the glyphs of one line tell of its font: the baseline and, when the line shows
// both, the heights of small and of tall letters above it (line coordinates).
struct LineShape
{
    int baseline = -1;
    TextHeights heights;

    GlyphPlacement placementOf(int top, int bottom) const
    {
        GlyphPlacement placement;
        if (baseline < 0)
            return placement;
        if (heights.isKnown()) {
            const int height = baseline - top + 1;
            placement.rises = 2 * height > heights.small + heights.tall ? GlyphExtent::Yes : GlyphExtent::No;
            placement.low = 2 * (bottom - top + 1) <= heights.small ? GlyphExtent::Yes : GlyphExtent::No;
            placement.hangs = 2 * (baseline - top + 1) <= heights.small ? GlyphExtent::Yes : GlyphExtent::No;
        }
        const int below = bottom - baseline;
        const int sinking = std::max(2, int(std::lround(0.2 * heights.small)));
        if (below >= sinking)
            placement.sinks = GlyphExtent::Yes;
        else if (below <= 1)
            placement.sinks = GlyphExtent::No;
        return placement;
    }
};

bool isFlat(const Component &c)
{
    return c.bottom - c.top <= 2;
}

int medianOf(std::vector<int> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The baseline is the bottom most glyphs share (the upper one on a tie, as descenders lie
// below it); the heights split where the glyphs on it fall into two clear groups, or are
// taken from earlier lines of the same size when this one has glyphs of one height only.
LineShape shapeOfLine(const std::vector<Component> &components, const TextHeights &earlier)
{
    LineShape shape;
    std::map<int, int> bottoms;
    for (const Component &c : components) {
        if (!isFlat(c))
            ++bottoms[c.bottom];
    }
    int most = 0;
    for (const auto &[bottom, count] : bottoms) {
        if (count > most) {
            most = count;
            shape.baseline = bottom;
        }
    }
    if (shape.baseline < 0)
        return shape;
    std::vector<int> heights;
    for (const Component &c : components) {
        if (!isFlat(c) && std::abs(c.bottom - shape.baseline) <= 1)
            heights.push_back(shape.baseline - c.top + 1);
    }
    std::sort(heights.begin(), heights.end());
    size_t split = 0;
    int widest = 0;
    for (size_t i = 1; i < heights.size(); ++i) {
        if (heights[i] - heights[i - 1] > widest) {
            widest = heights[i] - heights[i - 1];
            split = i;
        }
    }
    if (widest >= std::max(2, int(0.15 * heights.back()))) {
        shape.heights.small = medianOf({heights.begin(), heights.begin() + std::ptrdiff_t(split)});
        shape.heights.tall = medianOf({heights.begin() + std::ptrdiff_t(split), heights.end()});
        return shape;
    }
    // Small text blurs the two groups together (round letters overshoot the baseline by a
    // row, flat ones do not): the tallest glyph and the median still tell them when they lie
    // clearly apart.
    const int median = medianOf(heights);
    if (heights.size() >= 4 && heights.back() - median >= 2 && 5 * heights.back() >= 6 * median) {
        shape.heights.small = median;
        shape.heights.tall = heights.back();
        return shape;
    }
    if (earlier.isKnown()) {
        const int height = median;
        const auto near = [height](int reference) { return std::abs(height - reference) <= std::max(1, reference / 6); };
        if (near(earlier.small) || near(earlier.tall))
            shape.heights = earlier;
    }
    return shape;
}

// A flat mark on or just below the baseline, no wider than a letter, is an underscore;
// wider, it underlines the text; higher up it is a hyphen, a dot or noise, and skipped.
bool isUnderscore(const Component &c, const LineShape &shape, int lineHeight)
{
    if (shape.baseline < 0 || c.top < shape.baseline - 1 || c.width() < 3)
        return false;
    const int letter = shape.heights.isKnown() ? shape.heights.small : lineHeight / 2;
    return c.width() <= letter * 8 / 5 + 1;
}

// Rows of an underline: a run of ink in the lower part of the line longer than any letter
// is wide, which would join the descenders it touches into one component.
QImage withoutUnderlines(const QImage &binary, const QRect &area)
{
    const int longest = area.height() * 3 / 2;
    QImage line = binary.copy(area);
    for (int y = area.height() * 3 / 5; y < area.height(); ++y) {
        uchar *row = line.scanLine(y);
        int x = 0;
        while (x < line.width()) {
            if (row[x] != 0) {
                ++x;
                continue;
            }
            int end = x;
            while (end < line.width() && row[end] == 0)
                ++end;
            if (end - x > longest)
                std::fill(row + x, row + end, uchar(255));
            x = end;
        }
    }
    return line;
}

QChar matchPart(const QImage &binary, const QRect &area, int left, int right, const Component &c,
                const GlyphTemplateSet &templates, const LineShape &shape)
{
    const auto [top, bottom] = inkRows(binary, area, left, right, c);
    GlyphPlacement placement = shape.placementOf(top, bottom);
    if (left == c.left && right == c.right)
        placement.dotted = c.dotted ? GlyphExtent::Yes : GlyphExtent::No;
    return matchGlyph(binary.copy(QRect(QPoint(area.left() + left, area.top() + c.top),
                                        QPoint(area.left() + right, area.top() + c.bottom))),
                      templates, placement);
}

// The threshold between the darkest and the lightest peak of a rendered crop.
int twoPeakThreshold(const QImage &grey)
{
    std::array<qint64, 256> counts{};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++counts[line[x]];
    }
    const auto dark = std::max_element(counts.begin(), counts.begin() + 128);
    const auto light = std::max_element(counts.begin() + 128, counts.end());
    if (*dark == 0 || *light == 0)
        return 140;
    return int((dark - counts.begin()) + (light - counts.begin())) / 2;
}

QImage thresholdedCrop(const QImage &picture, const QRect &area)
{
    QImage crop = picture.copy(area).convertToFormat(QImage::Format_Grayscale8);
    const int threshold = twoPeakThreshold(crop);
    for (int y = 0; y < crop.height(); ++y) {
        uchar *line = crop.scanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            line[x] = line[x] >= threshold ? 255 : 0;
    }
    return crop;
}

// The line with a few rows above and below, which hold the tops and tails of letters that
// the line's rows may cut; rules and underlines are erased. The line's own rows are given
// back in the copy's coordinates.
QImage lineWithMargins(const QImage &binary, const QRect &area, QPair<int, int> *core)
{
    constexpr int Margin = 3;
    const QRect grown = QRect(area.left(), area.top() - Margin, area.width(), area.height() + 2 * Margin)
                            .intersected(binary.rect());
    QImage line = binary.copy(grown);
    const int first = area.top() - grown.top();
    const int last = first + area.height() - 1;
    const int longest = area.height() * 3 / 2;
    const int lower = first + area.height() * 3 / 5;
    for (int y = 0; y < line.height(); ++y) {
        if (y >= first && y < lower)
            continue;
        uchar *row = line.scanLine(y);
        for (int x = 0; x < line.width();) {
            int end = x;
            while (end < line.width() && row[end] == 0)
                ++end;
            if (end - x > longest)
                std::fill(row + x, row + end, uchar(255));
            x = std::max(end, x + 1);
        }
    }
    *core = {first, last};
    return line;
}

QString readLine(const QImage &binary, const QRect &line, const GlyphTemplateSet &templates, TextHeights *heights,
                 GlyphTemplateCache *cells)
{
    const QRect area = line.intersected(binary.rect());
    if (area.right() - area.left() < 3 || area.bottom() - area.top() < 4)
        return QString();
    const int lineHeight = area.height();
    const QImage ink = withoutUnderlines(binary, area);
    const QRect local = ink.rect();
    std::vector<Component> components = inkComponents(ink, local);
    std::stable_sort(components.begin(), components.end(),
                     [](const Component &a, const Component &b) { return a.left < b.left; });
    joinPieces(components);
    const LineShape shape = shapeOfLine(components, heights ? *heights : TextHeights());
    if (heights && shape.heights.isKnown())
        *heights = shape.heights;

    if (cells && shape.baseline >= 0 && shape.heights.isKnown()) {
        QPair<int, int> core;
        const QImage margins = lineWithMargins(binary, area, &core);
        const CellReading reading = readEntityFontLine(margins, shape.baseline + core.first, core, shape.heights.small,
                                                       shape.heights.tall, *cells);
        qCDebug(lcGlyphs) << "line" << area << "entity font at" << cells->lastCellSize << "misfit" << reading.misfit
                          << reading.text;
        if (!reading.text.isEmpty())
            return cleanRecognizedText(reading.text);
    }

    const int spaceGap = std::max(int(lineHeight * 0.45), 5);
    QString text;
    int previousRight = NoRightEdge;
    for (const Component &c : components) {
        const bool underscore = isFlat(c) && isUnderscore(c, shape, lineHeight);
        if (isFlat(c) && !underscore)
            continue;
        if (previousRight != NoRightEdge && c.left - previousRight > spaceGap)
            text.append(u' ');
        if (underscore) {
            text.append(u'_');
        } else if (c.width() > lineHeight * 1.45) {
            const int half = c.width() / 2;
            appendIfKnown(text, matchPart(ink, local, c.left, c.left + half - 1, c, templates, shape));
            appendIfKnown(text, matchPart(ink, local, c.left + half, c.right, c, templates, shape));
        } else {
            appendIfKnown(text, matchPart(ink, local, c.left, c.right, c, templates, shape));
        }
        previousRight = c.right;
    }
    qCDebug(lcGlyphs) << "line" << area << "glyph by glyph, baseline" << shape.baseline << "heights"
                      << shape.heights.small << shape.heights.tall << text;
    return cleanRecognizedText(text);
}

} // namespace

QString recognizeCharacters(const QImage &binary, const QRect &line, const GlyphTemplateSet &templates,
                            TextHeights *heights)
{
    return readLine(binary, line, templates, heights, nullptr);
}

QList<TextFragment> recognizeRegionText(const QImage &binary, const QList<QRectF> &boxes,
                                        GlyphTemplateCache *cache)
{
    GlyphTemplateCache ownCache;
    GlyphTemplateCache &templates = cache ? *cache : ownCache;
    QList<TextFragment> fragments;
    TextHeights heights;
    for (const QRectF &box : boxes) {
        const QRect inner = clippedPixelRect(QRectF(box.x() + 5, box.y() + 4, box.width() - 10, box.height() - 8),
                                             binary.rect());
        if (!(inner.right() - inner.left() > 8 && inner.bottom() - inner.top() > 6))
            continue;
        for (const QRect &line : textLines(binary, inner)) {
            const QString text = readLine(binary, line, templates.templatesFor(line.height()), &heights, &templates);
            if (text.isEmpty())
                continue;
            fragments.append({QRectF(line), text});
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    return fragments;
}

QList<TextFragment> recognizePictureText(const QImage &picture, const QImage &thresholdedWorking,
                                         const QList<QRectF> &boxes)
{
    if (picture.size() == thresholdedWorking.size() || thresholdedWorking.isNull())
        return recognizeRegionText(thresholdedWorking, boxes);
    const QImage full = thresholdImage(picture, std::max(picture.width(), picture.height()));
    const double sx = double(full.width()) / thresholdedWorking.width();
    const double sy = double(full.height()) / thresholdedWorking.height();
    QList<QRectF> scaled;
    scaled.reserve(boxes.size());
    for (const QRectF &box : boxes)
        scaled.append(QRectF(box.x() * sx, box.y() * sy, box.width() * sx, box.height() * sy));
    QList<TextFragment> fragments = recognizeRegionText(full, scaled);
    for (TextFragment &fragment : fragments) {
        const QRectF &r = fragment.rect;
        fragment.rect = QRectF(r.x() / sx, r.y() / sy, r.width() / sx, r.height() / sy);
    }
    return fragments;
}

QList<QRect> textLines(const QImage &binary, const QRect &inner)
{
    const int minimumInk = inner.width() >= 120 ? inner.width() / 40 : 2;
    // Runs of inked rows, then the short ones that lie at most two rows from a line joined
    // to it: an underscore below the baseline, the dots of i and j above small letters.
    QList<QPair<int, int>> runs;
    int first = -1;
    for (int y = inner.top(); y <= inner.bottom() + 1; ++y) {
        bool inked = false;
        if (y <= inner.bottom()) {
            const uchar *row = binary.constScanLine(y);
            inked = std::count(row + inner.left(), row + inner.right() + 1, uchar(0)) >= minimumInk;
        }
        if (inked && first < 0)
            first = y;
        if (!inked && first >= 0) {
            runs.append({first, y - 1});
            first = -1;
        }
    }
    const auto isLine = [](const QPair<int, int> &run) { return run.second - run.first > 4; };
    const auto inkIn = [&](int y) {
        const uchar *row = binary.constScanLine(y);
        return std::count(row + inner.left(), row + inner.right() + 1, uchar(0));
    };
    // A rule across the box (the line under a title band) is no part of the text near it.
    const auto isRule = [&](const QPair<int, int> &run) {
        for (int y = run.first; y <= run.second; ++y) {
            if (inkIn(y) * 10 >= inner.width() * 9)
                return true;
        }
        return false;
    };
    constexpr int NearRows = 3;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (isLine(runs.at(i)) || isRule(runs.at(i)))
            continue;
        const bool nearAbove = i > 0 && isLine(runs.at(i - 1)) && runs.at(i).first - runs.at(i - 1).second <= NearRows;
        const bool nearBelow = i + 1 < runs.size() && isLine(runs.at(i + 1))
            && runs.at(i + 1).first - runs.at(i).second <= NearRows;
        if (nearAbove)
            runs[i - 1].second = runs.at(i).second;
        else if (nearBelow)
            runs[i + 1].first = runs.at(i).first;
    }
    // Rows with less ink than a text row needs still belong to a line they touch: the top of
    // a t, a tail below the baseline.
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (!isLine(runs.at(i)))
            continue;
        const int reach = std::max(2, (runs.at(i).second - runs.at(i).first + 1) / 2);
        const int ceiling = std::max(inner.top(), i > 0 ? runs.at(i - 1).second + 2 : inner.top());
        const int floor = std::min(inner.bottom(), i + 1 < runs.size() ? runs.at(i + 1).first - 2 : inner.bottom());
        // Up to two blank rows may lie between: an underscore drawn apart below the letters.
        const auto inkedNear = [&](int from, int direction, int limit) {
            for (int gap = 1; gap <= NearRows; ++gap) {
                const int y = from + direction * gap;
                if (direction * (y - limit) > 0)
                    return from;
                if (inkIn(y) > 0)
                    return y;
            }
            return from;
        };
        for (int grown = 0; grown < reach;) {
            const int next = inkedNear(runs.at(i).first, -1, ceiling);
            if (next == runs.at(i).first)
                break;
            grown += runs.at(i).first - next;
            runs[i].first = next;
        }
        for (int grown = 0; grown < reach;) {
            const int next = inkedNear(runs.at(i).second, 1, floor);
            if (next == runs.at(i).second)
                break;
            grown += next - runs.at(i).second;
            runs[i].second = next;
        }
    }
    QList<QRect> lines;
    for (const QPair<int, int> &run : std::as_const(runs)) {
        if (isLine(run))
            lines.append(QRect(QPoint(inner.left(), run.first), QPoint(inner.right(), run.second)));
    }
    return lines;
}

RenderedTextReader recognizeRenderedText(const QImage &rendering, const QRectF &viewBox, GlyphTemplateCache *cache)
{
    return [rendering, viewBox, cache](const QRectF &rect) {
        const QRect area = mapRectToImage(rect, rendering, viewBox, 0);
        if (area.right() - area.left() < 5 || area.bottom() - area.top() < 5)
            return QString();
        const QImage crop = thresholdedCrop(rendering, area);
        return recognizeCharacters(crop, crop.rect(), cache->templatesFor(area.height()));
    };
}
