#pragma once

#include <QChar>
#include <QImage>
#include <QPair>
#include <QString>

#include <vector>

// The application draws entity boxes in one monospaced font that has no bold face of its
// own: titles and key rows come out as plain rows do, foreign-key rows slanted. A line in
// that font is read cell by cell against the characters drawn at the size, in the slant and
// at the quarter-pixel position the line shows, which tells apart letters that scaling
// every glyph to one cell blurs together (r and n, l and t, e and o).
enum class CellStyle { Upright, Slanted };

// Scales of the entity font are counted in steps of 1 / CellScaleSteps of its own size: fine
// enough that the pitch of a long name stays within a quarter pixel of the picture's.
constexpr int CellScaleSteps = 200;

// The characters of the font at one size and style, each as a mask of rows around its
// drawing origin, once for each quarter-pixel offset of the origin (text is drawn at such
// offsets, so a letter's pixels depend on where in a pixel it begins).
class CellFace
{
public:
    // Column of the drawing origin within a mask row.
    static constexpr int Origin = 16;

    CellFace() = default;
    static constexpr int Phases = 4;

    // The font drawn at scaleKey / CellScaleSteps of its size in the boxes; inkBelow: the grey
    // under which a pixel of a character drawn black on white is ink.
    CellFace(int scaleKey, CellStyle style, int inkBelow);

    // First column of a cell's comparison span within a mask row.
    static constexpr int SpanStart = Origin - 1;

    struct Glyph
    {
        QChar character;
        std::vector<quint64> rows;
        std::vector<quint32> cell;  // rows firstRow..lastRow of the comparison span
        int inked = 0;              // pixels inked in cell
    };

    double pitch = 0;    // advance of every character, in pixels
    int baseline = 0;    // mask row of the lowest ink of small letters (x)
    int firstRow = 0;    // the mask rows any character inks
    int lastRow = -1;
    quint32 spanMask = 0;  // the span's columns, from SpanStart
    std::vector<Glyph> glyphs[Phases];
};

// A monospaced line read cell by cell: its text and how badly the characters fit it (the
// share of differing pixels among inked ones, 0 for a perfect fit, 1 for nothing read).
struct CellReading
{
    QString text;
    double misfit = 1.0;
    int differing = 0;  // pixels that differ, which compares readings of one line
};

// Reads one line with one face. line is Grayscale8 (ink 0); baseline is the row of the lowest
// ink of its small letters; rows core.first..core.second are the line itself, the others
// only lend the tops and tails of letters.
CellReading readCellLine(const QImage &line, int baseline, QPair<int, int> core, const CellFace &face);

class GlyphTemplateCache;

// The ink rows of x and of d (down to the baseline) in the upright face at a scale.
QPair<int, int> cellFaceHeights(int scaleKey);

// The advance of every character of the face at a scale, in pixels.
double cellPitch(int scaleKey);

// Reads a line in the entity font at the scale its small and tall letters (rows of x and of
// d) and its pitch show, in the slant that fits it best; the scale found is remembered in
// the cache and tried first for the next line. The text is empty when no size and slant fit well.
CellReading readEntityFontLine(const QImage &line, int baseline, QPair<int, int> core, int smallHeight,
                               int tallHeight, GlyphTemplateCache &cache);
