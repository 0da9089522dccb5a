// The 5 x 8 pixel font of the skin: characters 32 to 127, rows 0 to 6 for
// capitals and digits, row 7 for descenders. It is the source of the bitmap
// fonts the text printers use and of the small engraved labels on the panel.
#pragma once

#include "Canvas.h"

#include <string>

namespace PixelFont
{
constexpr int kCellWidth = 5;
constexpr int kCellHeight = 8;

// Wide glyphs use all five columns (for text drawn without cell fills and
// for the panel's labels); narrow glyphs keep the fifth column empty (for
// the printers that fill each cell's surroundings, see PixelFont.cpp).
enum class Face
{
    Wide,
    Narrow
};

// Whether pixel (x, y) of the character's 5 x 8 cell is inked; characters
// outside 32..127 read as blank.
bool inked(Face face, int character, int x, int y);

// Width of the text set proportionally: each glyph as wide as its ink plus
// tracking, spaces 3 pixels.
int proportionalWidth(const std::string& text, int tracking = 1);

// Draws text proportionally with the top of the cells at y.
void draw(Canvas& canvas, int x, int y, const std::string& text, const Colour& ink, int tracking = 1);

// Text printed into the panel as silkscreen: the ink with a soft dark
// shadow one pixel below, which reads as slightly raised paint.
void drawEngraved(Canvas& canvas, int x, int y, const std::string& text, const Colour& ink, int tracking = 1);
void drawEngravedCentred(Canvas& canvas, int centreX, int y, const std::string& text, const Colour& ink,
                         int tracking = 1);
} // namespace PixelFont
