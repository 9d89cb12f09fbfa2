#include "glyphtemplateset.h"

#include "recognitionsteps.h"

namespace {

constexpr int CellWidth = 16;
constexpr int CellHeight = 24;
constexpr int InkBelow = 140;

bool repeatsEarlierTemplate(const QList<GlyphTemplate> &templates, qsizetype index)
{
    const GlyphTemplate &current = templates.at(index);
    for (qsizetype i = 0; i < index; ++i) {
        const GlyphTemplate &earlier = templates.at(i);
        if (earlier.character == current.character && earlier.image == current.image)
            return true;
    }
    return false;
}

bool risesAboveSmallLetters(QChar c)
{
    return c.isUpper() || c.isDigit() || QStringView(u"bdfhijklt()").contains(c);
}

GlyphExtent sinksBelowBaseline(QChar c)
{
    if (QStringView(u"gjpqy_").contains(c))
        return GlyphExtent::Yes;
    if (QStringView(u"()QJ,").contains(c))
        return GlyphExtent::Unknown;
    return GlyphExtent::No;
}

} // namespace

bool placementAllows(const GlyphTemplateSet::Shape &shape, const GlyphPlacement &placement)
{
    if (shape.hangsOnly && placement.hangs != GlyphExtent::Yes)
        return false;
    if (placement.rises != GlyphExtent::Unknown && shape.rises != (placement.rises == GlyphExtent::Yes))
        return false;
    if (placement.dotted != GlyphExtent::Unknown && shape.dotted != (placement.dotted == GlyphExtent::Yes))
        return false;
    if (placement.low != GlyphExtent::Unknown && shape.low != (placement.low == GlyphExtent::Yes))
        return false;
    return placement.sinks == GlyphExtent::Unknown || shape.sinks == GlyphExtent::Unknown
        || shape.sinks == placement.sinks;
}

GlyphCellBits glyphCellBits(const QImage &cell)
{
    GlyphCellBits bits{};
    for (int y = 0; y < CellHeight && y < cell.height(); ++y) {
        const uchar *line = cell.constScanLine(y);
        for (int x = 0; x < CellWidth && x < cell.width(); ++x) {
            if (line[x] < InkBelow) {
                const int bit = y * CellWidth + x;
                bits[size_t(bit / 64)] |= quint64(1) << (bit % 64);
            }
        }
    }
    return bits;
}

GlyphTemplateSet::GlyphTemplateSet(QList<GlyphTemplate> templates)
    : m_templates(std::move(templates))
{
    m_shapes.resize(size_t(m_templates.size()));
    for (qsizetype i = 0; i < m_templates.size(); ++i) {
        const QImage inked = cropToInk(m_templates.at(i).image);
        if (inked.isNull() || repeatsEarlierTemplate(m_templates, i))
            continue;
        Shape &shape = m_shapes[size_t(i)];
        shape.ratio = double(inked.width()) / std::max(inked.height(), 1);
        shape.cell = glyphCellBits(normalizeGlyph(inked));
        shape.matchable = true;
        shape.rises = risesAboveSmallLetters(m_templates.at(i).character);
        shape.sinks = sinksBelowBaseline(m_templates.at(i).character);
        shape.dotted = m_templates.at(i).character == u'i' || m_templates.at(i).character == u'j';
        shape.low = m_templates.at(i).character == u'.' || m_templates.at(i).character == u'-';
        // Scaled to a cell, a comma is a short slanted stroke as the r of some faces is.
        shape.hangsOnly = m_templates.at(i).character == u',';
    }
}
