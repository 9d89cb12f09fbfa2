#pragma once

#include <QChar>
#include <QImage>
#include <QList>

#include <array>
#include <vector>

// One reference glyph: the character drawn black on white in a cell of its own size.
struct GlyphTemplate
{
    QChar character;
    QImage image;
};

// The 16 x 24 comparison cell of a glyph, one bit per pixel darker than 140.
using GlyphCellBits = std::array<quint64, 6>;

// A list of templates with what matching needs of each, worked out once: the shape ratio of
// its inked part and its comparison cell. A template whose image repeats an earlier one of
// the same character (two font names resolving to one font) can only tie with it and is
// left out of matching.
class GlyphTemplateSet
{
public:
    GlyphTemplateSet() = default;
    explicit GlyphTemplateSet(QList<GlyphTemplate> templates);

    const QList<GlyphTemplate> &templates() const { return m_templates; }
    bool isEmpty() const { return m_templates.isEmpty(); }

    struct Shape
    {
        double ratio = 0;   // inked width / inked height
        GlyphCellBits cell{};
        bool matchable = false;  // has ink and repeats no earlier template
    };
    const std::vector<Shape> &shapes() const { return m_shapes; }

private:
    QList<GlyphTemplate> m_templates;
    std::vector<Shape> m_shapes;
};

// The bits of a 16 x 24 Grayscale8 comparison cell.
GlyphCellBits glyphCellBits(const QImage &cell);
