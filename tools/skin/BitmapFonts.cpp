// The four glyph strips of the text printers: 5 x 1536 pixels, 192 cells of
// 5 x 8 stacked vertically, cell g at rows 8g..8g+7. Cells 0..95 are the
// characters 32..127 in the label style, cells 96..191 the same characters in
// the value style.
//
// The printers fill each cell's surroundings with a fixed colour before they
// copy the glyph opaquely, so the opaque strips (137, 138) carry exactly that
// colour behind the ink and use the narrow glyphs, whose fifth column the
// next cell's fill may cover. The strips drawn transparently (158, 159) carry
// black, the key colour, behind the ink, whose colour is never black; nothing
// covers their glyphs, so they use the full five columns.
#include "PixelFont.h"
#include "Skin.h"
#include "Theme.h"

namespace
{
constexpr int kCells = 192;

struct Style
{
    Colour paper, ink;
};

Image glyphStrip(PixelFont::Face face, const Style& label, const Style& value)
{
    Image img(PixelFont::kCellWidth, PixelFont::kCellHeight * kCells);
    for (int cell = 0; cell < kCells; ++cell)
    {
        const int character = 32 + cell % 96;
        const Style& s = cell < 96 ? label : value;
        for (int y = 0; y < PixelFont::kCellHeight; ++y)
            for (int x = 0; x < PixelFont::kCellWidth; ++x)
                img.at(x, cell * PixelFont::kCellHeight + y) =
                    (PixelFont::inked(face, character, x, y) ? s.ink : s.paper).toPixel();
    }
    return img;
}
} // namespace

void addBitmapFonts(Skin& skin)
{
    const Colour key = Colour::rgb(0, 0, 0);
    // 137: labels dark on the pale label cells, values bright on grey.
    skin.push_back({137, 8, kCells,
                    glyphStrip(PixelFont::Face::Narrow, {Theme::kLabelCell, Colour::rgb(26, 44, 58)},
                               {Theme::kValueCell, Colour::rgb(226, 240, 246)})});
    // 138: the over-range strip; its values sit on the red cells.
    skin.push_back({138, 8, kCells,
                    glyphStrip(PixelFont::Face::Narrow, {Theme::kLabelCell, Colour::rgb(150, 30, 8)},
                               {Theme::kOverCell, Colour::rgb(255, 244, 236)})});
    // 158: dark ink for the light entry fields and the about panel.
    skin.push_back({158, 8, kCells,
                    glyphStrip(PixelFont::Face::Wide, {key, Colour::rgb(34, 37, 40)}, {key, Colour::rgb(20, 70, 96)})});
    // 159: light ink for the dark entry fields of Drive and Output.
    skin.push_back(
        {159, 8, kCells, glyphStrip(PixelFont::Face::Wide, {key, Colour::rgb(178, 214, 228)}, {key, Theme::kAccent})});
}
