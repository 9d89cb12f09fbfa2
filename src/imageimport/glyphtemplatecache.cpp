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

const CellFace &GlyphTemplateCache::cellFace(int scaleKey, CellStyle style, int inkBelow)
{
    const std::tuple<int, int, int> key(scaleKey, int(style), inkBelow);
    auto found = m_faces.find(key);
    if (found == m_faces.end())
        found = m_faces.emplace(key, CellFace(scaleKey, style, inkBelow)).first;
    return found->second;
}

QPair<int, int> GlyphTemplateCache::cellHeights(int scaleKey)
{
    auto found = m_heights.find(scaleKey);
    if (found == m_heights.end())
        found = m_heights.emplace(scaleKey, cellFaceHeights(scaleKey)).first;
    return found->second;
}
