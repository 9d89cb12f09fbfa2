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

} // namespace

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
    }
}
