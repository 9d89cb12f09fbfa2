#include "glyphtemplatecache.h"

#include "recognitionsteps.h"

#include <algorithm>

const GlyphTemplateSet &GlyphTemplateCache::templatesFor(int pixelSize)
{
    const int size = std::clamp(pixelSize, MinGlyphPixelSize, MaxGlyphPixelSize);
    auto found = m_sets.find(size);
    if (found == m_sets.end())
        found = m_sets.emplace(size, GlyphTemplateSet(buildGlyphTemplates(size))).first;
    return found->second;
}
