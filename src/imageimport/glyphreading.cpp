// Text lines of binarised pictures read character by character with the glyph templates.
#include "recognitionsteps.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int NoRightEdge = -100;

// Inclusive pixel rectangle of one ink component, in the coordinates of the line.
struct Component
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left + 1; }
};

Component united(const Component &a, const Component &b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The 8-connected ink components of at least 4 pixels, met column by column from the left.
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
            if (queue.size() >= 4)
                components.push_back(component);
        }
    }
    return components;
}

bool growTouches(const Component &a, const Component &b)
{
    return b.left <= a.right + 1 && b.right >= a.left - 1 && b.top <= a.bottom + 1 && b.bottom >= a.top - 1;
}

// Pieces of one character: a dot over its stem (i, j), the parts of a colon, broken strokes.
bool arePiecesOfOneCharacter(const Component &a, const Component &b)
{
    const int centre = (b.left + b.right) / 2;
    const bool stacked = b.bottom <= a.top + 1 || a.bottom <= b.top + 1;
    if (centre >= a.left - 1 && centre <= a.right + 1 && stacked)
        return true;
    return growTouches(a, b) && std::min(a.width(), b.width()) <= 3;
}

void joinPieces(std::vector<Component> &components)
{
    size_t i = 0;
    while (i + 1 < components.size()) {
        if (arePiecesOfOneCharacter(components[i], components[i + 1])) {
            components[i] = united(components[i], components[i + 1]);
            components.erase(components.begin() + std::ptrdiff_t(i) + 1);
        } else {
            ++i;
        }
    }
}

QChar matchPart(const QImage &binary, const QRect &area, int left, int right, const Component &c,
                const GlyphTemplateSet &templates)
{
    return matchGlyph(binary.copy(QRect(QPoint(area.left() + left, area.top() + c.top),
                                        QPoint(area.left() + right, area.top() + c.bottom))),
                      templates);
}

void appendIfKnown(QString &text, QChar character)
{
    if (!character.isNull())
        text.append(character);
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

} // namespace

QString recognizeCharacters(const QImage &binary, const QRect &line, const GlyphTemplateSet &templates)
{
    const QRect area = line.intersected(binary.rect());
    if (area.right() - area.left() < 3 || area.bottom() - area.top() < 4)
        return QString();
    const int lineHeight = area.height();
    std::vector<Component> components = inkComponents(binary, area);
    std::stable_sort(components.begin(), components.end(),
                     [](const Component &a, const Component &b) { return a.left < b.left; });
    joinPieces(components);

    const int spaceGap = std::max(int(lineHeight * 0.45), 5);
    QString text;
    int previousRight = NoRightEdge;
    for (const Component &c : components) {
        if (c.bottom - c.top <= 2)
            continue;
        if (previousRight != NoRightEdge && c.left - previousRight > spaceGap)
            text.append(u' ');
        if (c.width() > lineHeight * 1.45) {
            const int half = c.width() / 2;
            appendIfKnown(text, matchPart(binary, area, c.left, c.left + half - 1, c, templates));
            appendIfKnown(text, matchPart(binary, area, c.left + half, c.right, c, templates));
        } else {
            appendIfKnown(text, matchPart(binary, area, c.left, c.right, c, templates));
        }
        previousRight = c.right;
    }
    return cleanRecognizedText(text);
}

QList<TextFragment> recognizeRegionText(const QImage &binary, const QList<QRectF> &boxes,
                                        GlyphTemplateCache *cache)
{
    GlyphTemplateCache ownCache;
    GlyphTemplateCache &templates = cache ? *cache : ownCache;
    QList<TextFragment> fragments;
    for (const QRectF &box : boxes) {
        const QRect inner = clippedPixelRect(QRectF(box.x() + 5, box.y() + 4, box.width() - 10, box.height() - 8),
                                             binary.rect());
        if (!(inner.right() - inner.left() > 8 && inner.bottom() - inner.top() > 6))
            continue;
        for (const QRect &line : textLines(binary, inner)) {
            const QString text = recognizeCharacters(binary, line, templates.templatesFor(line.height()));
            if (text.isEmpty())
                continue;
            fragments.append({QRectF(line), text});
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    }
    return fragments;
}

QList<QRect> textLines(const QImage &binary, const QRect &inner)
{
    const int minimumInk = inner.width() >= 120 ? inner.width() / 40 : 2;
    QList<QRect> lines;
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
            if (y - 1 - first > 4)
                lines.append(QRect(QPoint(inner.left(), first), QPoint(inner.right(), y - 1)));
            first = -1;
        }
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
