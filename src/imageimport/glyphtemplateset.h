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

// Where a glyph lies against its line, which the comparison cell loses by scaling every
// glyph to the same height: whether it rises above the height of small letters (capitals,
// digits, b, d, t) and whether it sinks below the baseline (g, p, y). This tells "c" from
// "C" and "o" from "O", which have one shape.
enum class GlyphExtent { Unknown, No, Yes };

struct GlyphPlacement
{
    GlyphExtent rises = GlyphExtent::Unknown;
    GlyphExtent sinks = GlyphExtent::Unknown;
    GlyphExtent dotted = GlyphExtent::Unknown;  // a dot apart over a stem: i, j
    GlyphExtent low = GlyphExtent::Unknown;     // at most half as high as small letters: . -
    GlyphExtent hangs = GlyphExtent::Unknown;   // begins in the lower half of small letters: , .
};

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
        bool rises = false;      // of its character: see GlyphPlacement
        GlyphExtent sinks = GlyphExtent::No;  // Unknown: either, as fonts differ
        bool dotted = false;
        bool low = false;
        bool hangsOnly = false;  // a comma: only a glyph known to hang is taken for one
    };
    const std::vector<Shape> &shapes() const { return m_shapes; }

private:
    QList<GlyphTemplate> m_templates;
    std::vector<Shape> m_shapes;
};

// Whether a template of this character fits a glyph placed so on its line.
bool placementAllows(const GlyphTemplateSet::Shape &shape, const GlyphPlacement &placement);

// The bits of a 16 x 24 Grayscale8 comparison cell.
GlyphCellBits glyphCellBits(const QImage &cell);
