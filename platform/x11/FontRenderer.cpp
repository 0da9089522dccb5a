#include "platform/x11/FontRenderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>
#include <unistd.h>

namespace platform
{

namespace
{

// Windows-1252 bytes 0x80..0x9F; the rest of the 8-bit range is Latin-1.
const uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The Symbol font puts Greek letters on the Latin ones.
const char kSymbolLatin[] = "abcdefghijklmnopqrstuvwxyz";
const uint16_t kSymbolGreekLower[26] = {
    0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
    0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6,
};

uint32_t toCodePoint(unsigned char c, bool symbol)
{
    if (symbol)
    {
        if (c >= 'a' && c <= 'z')
            return kSymbolGreekLower[c - 'a'];
        if (c >= 'A' && c <= 'Z')
        {
            uint32_t lower = kSymbolGreekLower[c - 'A'];
            return lower == 0x03D5 || lower == 0x03D6 ? lower : lower - 0x20;
        }
    }
    (void)kSymbolLatin;
    if (c >= 0x80 && c < 0xA0)
        return kCp1252High[c - 0x80];
    return c;
}

bool fileExists(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

FT_Library library()
{
    static FT_Library instance = [] {
        FT_Library lib = nullptr;
        if (FT_Init_FreeType(&lib) != 0)
            lib = nullptr;
        return lib;
    }();
    return instance;
}

class FreeTypeFont : public RenderFont
{
public:
    FreeTypeFont(const std::string& path, const FontDescription& description)
        : symbol(description.decorative),
          underline(description.underline)
    {
        int size = std::max(description.size, 1);
        ascent = size;
        cellHeight = size;
        if (path.empty() || !library() || FT_New_Face(library(), path.c_str(), 0, &face) != 0)
        {
            face = nullptr;
            return;
        }
        // The size is the character cell (ascent + descent), as Windows takes a
        // positive font height; the em is smaller by the cell's share.
        int cellUnits = face->ascender - face->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)))
            if (os2->usWinAscent + os2->usWinDescent > 0)
            {
                cellUnits = os2->usWinAscent + os2->usWinDescent;
                ascent = (size * os2->usWinAscent + cellUnits / 2) / cellUnits;
            }
        if (cellUnits <= 0)
            cellUnits = face->units_per_EM;
        if (ascent == size)
            ascent = (size * face->ascender + cellUnits / 2) / cellUnits;
        FT_F26Dot6 em = static_cast<FT_F26Dot6>(size) * 64 * face->units_per_EM / cellUnits;
        FT_Set_Char_Size(face, 0, em, 72, 72);
    }
    ~FreeTypeFont() override
    {
        if (face)
            FT_Done_Face(face);
    }

    int getAscent() const override { return ascent; }
    int getHeight() const override { return cellHeight; }

    int getTextWidth(const char* text) override
    {
        int width = 0;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
            width += advance(*p);
        return width;
    }

    void drawText(SoftwareBitmap& target, const IntRect& clip, int x, int y, const char* text, ColorRef color) override
    {
        uint32_t pixel = SoftwareBitmap::fromColorRef(color);
        int baseline = y + ascent;
        int penX = x;
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        {
            if (face && FT_Load_Char(face, toCodePoint(*p, symbol), FT_LOAD_RENDER) == 0)
            {
                const FT_Bitmap& glyph = face->glyph->bitmap;
                int left = penX + face->glyph->bitmap_left;
                int top = baseline - face->glyph->bitmap_top;
                for (unsigned row = 0; row < glyph.rows; ++row)
                {
                    int py = top + static_cast<int>(row);
                    if (py < clip.top || py >= clip.bottom)
                        continue;
                    const unsigned char* coverage = glyph.buffer + static_cast<long>(row) * glyph.pitch;
                    for (unsigned column = 0; column < glyph.width; ++column)
                    {
                        int px = left + static_cast<int>(column);
                        if (px < clip.left || px >= clip.right)
                            continue;
                        unsigned alpha = glyph.pixel_mode == FT_PIXEL_MODE_MONO
                                             ? ((coverage[column >> 3] >> (7 - (column & 7))) & 1) * 255
                                             : coverage[column];
                        if (alpha)
                            blend(target.row(py)[px], pixel, alpha);
                    }
                }
            }
            penX += advance(*p);
        }
        if (underline)
        {
            int py = baseline + std::max(1, cellHeight / 12);
            if (py >= clip.top && py < clip.bottom)
                for (int px = std::max(x, clip.left); px < std::min(penX, clip.right); ++px)
                    target.row(py)[px] = pixel;
        }
    }

private:
    static void blend(uint32_t& destination, uint32_t source, unsigned alpha)
    {
        uint32_t result = 0;
        for (int shift = 0; shift < 24; shift += 8)
        {
            unsigned d = destination >> shift & 0xFF;
            unsigned s = source >> shift & 0xFF;
            result |= ((s * alpha + d * (255 - alpha) + 127) / 255) << shift;
        }
        destination = result;
    }

    int advance(unsigned char c)
    {
        auto cached = advances.find(c);
        if (cached != advances.end())
            return cached->second;
        int width = cellHeight / 3;
        if (face && FT_Load_Char(face, toCodePoint(c, symbol), FT_LOAD_DEFAULT) == 0)
            width = static_cast<int>((face->glyph->advance.x + 32) >> 6);
        advances[c] = width;
        return width;
    }

    FT_Face face = nullptr;
    bool symbol;
    bool underline;
    int ascent;
    int cellHeight;
    std::map<unsigned char, int> advances;
};

} // namespace

std::string findFontFile(const FontDescription& description)
{
    static const char* const kDirectories[] = {
        "/usr/share/fonts/truetype/liberation2/", "/usr/share/fonts/truetype/liberation/",
        "/usr/share/fonts/liberation/",           "/usr/share/fonts/TTF/",
        "/usr/share/fonts/truetype/dejavu/",      "/usr/share/fonts/dejavu/",
    };
    const char* style =
        description.bold ? (description.italic ? "BoldItalic" : "Bold") : (description.italic ? "Italic" : "Regular");
    const char* dejaVuStyle =
        description.bold ? (description.italic ? "-BoldOblique" : "-Bold") : (description.italic ? "-Oblique" : "");
    std::string liberation = std::string("LiberationSans-") + style + ".ttf";
    std::string dejaVu = std::string("DejaVuSans") + dejaVuStyle + ".ttf";
    // "Symbol" needs Greek glyphs, which DejaVu has and Liberation Sans has too,
    // but DejaVu's are the closer look; every other face is a Swiss sans.
    std::string order[2] = {liberation, dejaVu};
    if (description.decorative)
        std::swap(order[0], order[1]);
    for (const std::string& name : order)
        for (const char* directory : kDirectories)
            if (fileExists(directory + name))
                return directory + name;
    for (const char* directory : kDirectories)
        for (const char* plain : {"LiberationSans-Regular.ttf", "DejaVuSans.ttf"})
            if (fileExists(std::string(directory) + plain))
                return std::string(directory) + plain;
    return {};
}

RenderFont& getRenderFont(const FontDescription& description)
{
    using Key = std::tuple<std::string, int, bool, bool, bool, bool>;
    static std::map<Key, std::unique_ptr<RenderFont>> cache;
    Key key(description.face ? description.face : "", description.size, description.bold, description.italic,
            description.underline, description.decorative);
    auto found = cache.find(key);
    if (found != cache.end())
        return *found->second;
    auto font = std::make_unique<FreeTypeFont>(findFontFile(description), description);
    RenderFont& result = *font;
    cache.emplace(key, std::move(font));
    return result;
}

} // namespace platform
