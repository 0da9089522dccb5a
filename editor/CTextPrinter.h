// Text in the skin's bitmap font: 5 x 8 pixel glyphs in 6-pixel cells. The
// font bitmaps hold 192 glyphs stacked vertically, the printable characters
// 32..127 once in the label style and once in the value style.
#pragma once

#include "gui/ccolor.h"
#include "gui/cgeometry.h"

namespace VSTGUI
{
class CBitmap;
class CDrawContext;
} // namespace VSTGUI

class CTextPrinter
{
public:
    // Takes a reference to each font bitmap; the second may be null.
    CTextPrinter(VSTGUI::CBitmap* font, VSTGUI::CBitmap* alternativeFont);
    virtual ~CTextPrinter();
    CTextPrinter(const CTextPrinter&) = delete;
    CTextPrinter& operator=(const CTextPrinter&) = delete;

    // position is the left end of the baseline. The alternative set draws
    // glyphs of the second bitmap with its transparent colour left out and no
    // cell fill.
    void print(VSTGUI::CDrawContext* context, const VSTGUI::CPoint& position, const char* text, bool vertical = false,
               bool valueStyle = false, bool alternative = false);

    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 8;
    static constexpr int kCellWidth = 6;
    static constexpr int kGlyphCount = 192;
    static constexpr VSTGUI::CColor kLabelCellColor = {223, 247, 255, 255};
    static constexpr VSTGUI::CColor kValueCellColor = {79, 79, 79, 255};
    static constexpr VSTGUI::CColor kOverRangeCellColor = {229, 53, 5, 255};

protected:
    // The value style's alternative of the two-colour printer: over-range
    // glyphs on red cells, drawn opaquely.
    CTextPrinter(VSTGUI::CBitmap* font, VSTGUI::CBitmap* alternativeFont, bool redAlternative);

    static int glyphIndex(char character, bool valueStyle);

    VSTGUI::CBitmap* font;
    VSTGUI::CBitmap* alternativeFont;
    bool redAlternative;
};

// The peak readouts' printer: the alternative value style marks a reading
// above full scale.
class CTextPrinter2Color : public CTextPrinter
{
public:
    CTextPrinter2Color(VSTGUI::CBitmap* font, VSTGUI::CBitmap* overRangeFont) : CTextPrinter(font, overRangeFont, true)
    {}
};
