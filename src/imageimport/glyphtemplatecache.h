#pragma once

#include "glyphtemplateset.h"

#include <map>

// The template sets of one recognition run by pixel size (10 to 28), each built once.
class GlyphTemplateCache
{
public:
    // The set for a line of the given height, clamped to 10..28 pixels.
    const GlyphTemplateSet &templatesFor(int pixelSize);

    // How many sets this cache has built.
    int setsBuilt() const { return int(m_sets.size()); }

private:
    std::map<int, GlyphTemplateSet> m_sets;
};
