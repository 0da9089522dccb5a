#include "editor/CTextPrinter.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

using namespace VSTGUI;

CTextPrinter::CTextPrinter(CBitmap* font, CBitmap* alternativeFont) : CTextPrinter(font, alternativeFont, false) {}

CTextPrinter::CTextPrinter(CBitmap* font, CBitmap* alternativeFont, bool redAlternative)
    : font(font),
      alternativeFont(alternativeFont),
      redAlternative(redAlternative)
{
    if (font)
        font->remember();
    if (alternativeFont)
        alternativeFont->remember();
}

CTextPrinter::~CTextPrinter()
{
    if (font)
        font->forget();
    if (alternativeFont)
        alternativeFont->forget();
}

int CTextPrinter::glyphIndex(char character, bool valueStyle)
{
    int glyph = (static_cast<unsigned char>(character) & 127) - 32;
    if (valueStyle)
        glyph += kGlyphCount / 2;
    return glyph < 0 || glyph >= kGlyphCount ? 0 : glyph;
}

void CTextPrinter::print(CDrawContext* context, const CPoint& position, const char* text, bool vertical,
                         bool valueStyle, bool alternative)
{
    if (!context || !text)
        return;
    const CColor savedFrame = context->getFrameColor();
    const CColor savedFill = context->getFillColor();

    // Which bitmap, and whether (and in which colour) the cell is filled first.
    CBitmap* glyphs = font;
    bool fillCell = true;
    bool transparent = false;
    CColor cellColor = valueStyle ? kValueCellColor : kLabelCellColor;
    if (alternative)
    {
        if (redAlternative)
        {
            if (valueStyle)
            {
                glyphs = alternativeFont;
                cellColor = kOverRangeCellColor;
            }
        }
        else
        {
            glyphs = alternativeFont;
            fillCell = false;
            transparent = true;
        }
    }

    CPoint at = position;
    for (const char* c = text; *c; ++c)
    {
        if (fillCell)
        {
            context->setFillColor(cellColor);
            context->fillRect(CRect(at.x - 2, at.y - kGlyphHeight - 1, at.x + kGlyphWidth + 1, at.y + 1));
        }
        if (glyphs)
        {
            const CRect cell(at.x, at.y - kGlyphHeight + 1, at.x + kGlyphWidth, at.y + 1);
            const CPoint source(0, glyphIndex(*c, valueStyle) * kGlyphHeight);
            if (transparent)
                glyphs->drawTransparent(context, cell, source);
            else
                glyphs->draw(context, cell, source);
        }
        if (vertical)
            at.y += kGlyphHeight;
        else
            at.x += kCellWidth;
    }
    context->setFrameColor(savedFrame);
    context->setFillColor(savedFill);
}
