#pragma once

#include "glyphcells.h"
#include "glyphtemplateset.h"

#include <map>
#include <tuple>

// The template sets of one recognition run by pixel size (10 to 28), each built once, and
// the faces of the entity font by size and style.
class GlyphTemplateCache
{
public:
    // The set for a line of the given height, clamped to 10..28 pixels.
    const GlyphTemplateSet &templatesFor(int pixelSize);

    // How many sets this cache has built.
    int setsBuilt() const { return int(m_sets.size()); }

    // The entity font at a scale (in CellScaleSteps), inked at a grey level.
    const CellFace &cellFace(int scaleKey, CellStyle style, int inkBelow);

    // The heights of small and tall letters in the entity font at a scale.
    QPair<int, int> cellHeights(int scaleKey);

    // The scale and ink level of the last line read in the entity font, 0 before any.
    int lastCellSize = 0;
    int lastCellInk = 0;
    // Searches for the size of lines that may be left to fail before the font is given up.
    int cellSearchesLeft = 3;

private:
    std::map<int, GlyphTemplateSet> m_sets;
    std::map<std::tuple<int, int, int>, CellFace> m_faces;
    std::map<int, QPair<int, int>> m_heights;
};
