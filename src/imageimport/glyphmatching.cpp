// Reference glyphs of the desktop's bold sans fonts and the matching of one inked glyph
// against them.
#include "recognitionsteps.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int CellWidth = 16;
constexpr int CellHeight = 24;
constexpr int InkBelow = 128;
constexpr double MinimumScore = 0.2;

struct TemplateFamily
{
    const char *name;
    QFont::Weight weight;
};

// The desktop's bold sans fonts, then the application's own monospace in which it draws
// entity boxes, so that pictures of its own diagrams are read in the font they show.
constexpr TemplateFamily TemplateFamilies[] = {
    {"Verdana", QFont::Bold}, {"Tahoma", QFont::Bold}, {"Arial", QFont::Bold}, {"JetBrains Mono", QFont::Normal}};
constexpr QLatin1StringView TemplateCharacters("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.,()");

QImage drawnCharacter(QChar character, const QFont &font, const QFontMetrics &metrics)
{
    const int width = std::max(metrics.horizontalAdvance(character), 4) + 2;
    const int height = std::max(metrics.height(), 8) + 2;
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(255);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(1, metrics.ascent() + 1), QString(character));
    painter.end();
    return image;
}

// Narrow glyphs are never compared with wide templates, nor wide glyphs with narrow ones.
bool shapesCompatible(double glyphRatio, double templateRatio)
{
    return !((glyphRatio < 0.42 && templateRatio > 0.75) || (glyphRatio > 0.9 && templateRatio < 0.48));
}

double cellScore(const GlyphCellBits &a, const GlyphCellBits &b)
{
    int both = 0;
    int either = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        both += qPopulationCount(a[i] & b[i]);
        either += qPopulationCount(a[i] | b[i]);
    }
    return either == 0 ? 0.0 : double(both) / double(either);
}

} // namespace

QList<GlyphTemplate> buildGlyphTemplates(int pixelSize)
{
    const int size = std::clamp(pixelSize, MinGlyphPixelSize, MaxGlyphPixelSize);
    QList<GlyphTemplate> templates;
    templates.reserve(qsizetype(std::size(TemplateFamilies)) * TemplateCharacters.size());
    for (const TemplateFamily &family : TemplateFamilies) {
        QFont font(QString::fromLatin1(family.name));
        font.setPixelSize(size);
        font.setWeight(family.weight);
        font.setStyleStrategy(QFont::PreferAntialias);
        const QFontMetrics metrics(font);
        for (QChar character : TemplateCharacters)
            templates.append({character, drawnCharacter(character, font, metrics)});
    }
    return templates;
}

QImage cropToInk(const QImage &picture)
{
    const QImage image = picture.format() == QImage::Format_Grayscale8
        ? picture : picture.convertToFormat(QImage::Format_Grayscale8);
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] < InkBelow) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return QImage();
    return image.copy(QRect(QPoint(left, top), QPoint(right, bottom)));
}

QImage normalizeGlyph(const QImage &glyph)
{
    QImage cell(CellWidth, CellHeight, QImage::Format_Grayscale8);
    cell.fill(255);
    const QImage inked = cropToInk(glyph);
    if (inked.isNull())
        return cell;
    const QImage scaled = inked.scaled(CellWidth - 2, CellHeight - 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_Grayscale8);
    const int left = (CellWidth - scaled.width()) / 2;
    const int top = (CellHeight - scaled.height()) / 2;
    for (int y = 0; y < scaled.height(); ++y)
        std::copy_n(scaled.constScanLine(y), scaled.width(), cell.scanLine(top + y) + left);
    return cell;
}

QChar matchGlyph(const QImage &glyph, const GlyphTemplateSet &templates)
{
    return matchGlyph(glyph, templates, GlyphPlacement());
}

QChar matchGlyph(const QImage &glyph, const GlyphTemplateSet &templates, const GlyphPlacement &placement)
{
    const QImage inked = cropToInk(glyph);
    if (inked.isNull() || templates.isEmpty())
        return QChar();
    const double ratio = double(inked.width()) / std::max(inked.height(), 1);
    const GlyphCellBits cell = glyphCellBits(normalizeGlyph(inked));
    const std::vector<GlyphTemplateSet::Shape> &shapes = templates.shapes();
    const auto bestOf = [&](bool placed) {
        double bestScore = 0;
        QChar best;
        for (size_t i = 0; i < shapes.size(); ++i) {
            const GlyphTemplateSet::Shape &shape = shapes[i];
            if (!shape.matchable || !shapesCompatible(ratio, shape.ratio) || (placed && !placementAllows(shape, placement))
                || (shape.hangsOnly && placement.hangs != GlyphExtent::Yes))
                continue;
            const double score = cellScore(cell, shape.cell);
            if (score > bestScore) {
                bestScore = score;
                best = templates.templates().at(qsizetype(i)).character;
            }
        }
        return bestScore < MinimumScore ? QChar() : best;
    };
    const bool placed = placement.rises != GlyphExtent::Unknown || placement.sinks != GlyphExtent::Unknown
        || placement.dotted != GlyphExtent::Unknown || placement.low != GlyphExtent::Unknown
        || placement.hangs != GlyphExtent::Unknown;
    if (placed) {
        // A placement read wrongly off an unusual line must not cost the character.
        const QChar character = bestOf(true);
        if (!character.isNull())
            return character;
    }
    return bestOf(false);
}
