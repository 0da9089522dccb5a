// Text through FreeType with the metric twins of the Windows fonts, found by
// path (no fontconfig): Liberation Sans for "Arial", DejaVu Sans as fallback
// and for the Greek letters of "Symbol".
#pragma once

#include "platform/GraphicsDevice.h"
#include "platform/x11/SoftwareBitmap.h"

#include <string>

namespace platform
{

class RenderFont
{
public:
    virtual ~RenderFont() = default;
    virtual int getAscent() const = 0;
    virtual int getHeight() const = 0; // the cell height, ascent + descent
    virtual int getTextWidth(const char* text) = 0;
    // Draws with the baseline at y + ascent, blending coverage into the pixels inside clip.
    virtual void drawText(SoftwareBitmap& target, const IntRect& clip, int x, int y, const char* text,
                          ColorRef color) = 0;
};

// Cached per description; never null (a font without glyphs when no font file exists).
RenderFont& getRenderFont(const FontDescription& description);

// The file the renderer uses for a description, empty when none was found.
std::string findFontFile(const FontDescription& description);

} // namespace platform
