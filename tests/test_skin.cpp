// The editor's skin as the library carries it: every bitmap the editor loads
// exists with the size and film-strip layout its drawing code indexes into,
// the pictures change where the controls expect them to, the glyph strips
// suit the text printers, and the Windows bitmap files hold the same pixels.
#include "resources/SkinResources.h"
#include "resources/PanelLayout.h"

#include "editor/CTextPrinter.h"
#include "gui/cbitmap.h"
#include "gui/coffscreencontext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
struct Expected
{
    int id, width, height, bitsPerPixel, frames;
};

// Sizes, colour depths and frame counts the editor's controls are built on.
const Expected kExpected[] = {
    {128, 524, 462, 24, 1},  {129, 15, 432, 24, 1},   {130, 15, 432, 24, 1},   {131, 27, 367, 8, 1},
    {132, 27, 367, 8, 1},    {133, 27, 367, 8, 1},    {134, 27, 367, 8, 1},    {135, 27, 367, 8, 1},
    {136, 27, 367, 8, 1},    {137, 5, 1536, 8, 192},  {138, 5, 1536, 8, 192},  {139, 33, 38, 8, 2},
    {140, 33, 38, 8, 2},     {141, 35, 392, 32, 7},   {142, 33, 114, 8, 6},    {143, 33, 133, 8, 7},
    {144, 33, 57, 8, 3},     {145, 33, 133, 8, 7},    {146, 90, 75, 8, 3},     {147, 48, 4747, 8, 101},
    {148, 48, 4747, 8, 101}, {149, 35, 70, 8, 2},     {150, 56, 5555, 8, 101}, {151, 58, 5656, 8, 101},
    {152, 50, 4848, 8, 101}, {153, 49, 4747, 8, 101}, {154, 15, 432, 24, 1},   {155, 15, 432, 24, 1},
    {156, 15, 203, 24, 1},   {157, 438, 136, 8, 1},   {158, 5, 1536, 8, 192},  {159, 5, 1536, 8, 192},
    {160, 33, 57, 8, 3},     {161, 18, 72, 8, 3},     {162, 33, 38, 8, 2},     {163, 33, 57, 8, 3},
    {164, 33, 57, 8, 3},     {165, 33, 57, 8, 3},     {166, 33, 57, 8, 3},     {167, 58, 306, 24, 2},
    {168, 33, 38, 8, 2},     {991, 15, 42, 8, 3},     {992, 15, 42, 8, 3},     {997, 32, 70, 8, 5},
};

struct Placement
{
    int bitmap;
    int left, top; // where the editor draws it
};

// Every place a control takes in the editor (bitmap, left, top), read from
// the layout the editor itself is built on.
const std::vector<Placement> kPlacements = [] {
    std::vector<Placement> all;
    for (const PanelLayout::Placement& p : PanelLayout::kControls)
        all.push_back({p.bitmap, p.rect.left, p.rect.top});
    return all;
}();

const SkinBitmap& bitmap(int id)
{
    const SkinBitmap* b = findSkinBitmap(id);
    if (!b)
        throw std::runtime_error("missing bitmap " + std::to_string(id));
    return *b;
}

uint32_t pixel(const SkinBitmap& b, int x, int y)
{
    return b.pixels[size_t(y) * size_t(b.width) + size_t(x)] & 0xFFFFFFu;
}

int red(uint32_t p) { return int(p >> 16 & 255u); }
int green(uint32_t p) { return int(p >> 8 & 255u); }
int blue(uint32_t p) { return int(p & 255u); }
int brightness(uint32_t p) { return red(p) + green(p) + blue(p); }

int frameHeight(int id)
{
    for (const Expected& e : kExpected)
        if (e.id == id)
            return e.height / e.frames;
    return 0;
}

// Number of pixels that differ between two frames of a strip, within columns x0..x1.
int framesDiffer(const SkinBitmap& b, int h, int f0, int f1, int x0 = 0, int x1 = -1)
{
    if (x1 < 0)
        x1 = b.width;
    int n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = x0; x < x1; ++x)
            n += pixel(b, x, f0 * h + y) != pixel(b, x, f1 * h + y);
    return n;
}

// The build's skin folder: named by the test environment, or found from the
// tests' own working folder (build/tests) where that name does not resolve,
// as under Wine.
std::string skinDirectory()
{
    const char* build = std::getenv("ZELVO_BUILD_DIR");
    const std::string named = std::string(build ? build : ".") + "/generated/skin";
    if (std::ifstream(named + "/zelvo.rc"))
        return named;
    return "../generated/skin";
}
} // namespace

TEST(Skin, EveryBitmapHasItsSpecifiedSizeDepthAndFrameLayout)
{
    for (const Expected& e : kExpected)
    {
        SCOPED_TRACE(e.id);
        const SkinBitmap* b = findSkinBitmap(e.id);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->id, e.id);
        EXPECT_EQ(b->width, e.width);
        EXPECT_EQ(b->height, e.height);
        EXPECT_EQ(b->bitsPerPixel, e.bitsPerPixel);
        EXPECT_EQ(b->height % e.frames, 0);
        ASSERT_NE(b->pixels, nullptr);
        for (int i = 0; i < b->width * b->height; ++i)
            ASSERT_EQ(b->pixels[i] >> 24, 0xFFu) << "pixel " << i << " is not opaque";
    }
}

TEST(Skin, UnknownNumbersHaveNoBitmapAndLookupsAreStable)
{
    for (int id : {-1, 0, 127, 169, 200, 990, 993, 996, 998})
        EXPECT_EQ(findSkinBitmap(id), nullptr) << id;
    EXPECT_EQ(findSkinBitmap(150), findSkinBitmap(150));
    EXPECT_EQ(findSkinBitmap(150)->pixels, findSkinBitmap(150)->pixels);
}

// Controls copy their pictures opaquely over the background; a picture whose
// corner differs from the panel there would show a seam around the control.
TEST(Skin, ControlPicturesMeetThePanelWithoutSeams)
{
    const SkinBitmap& panel = bitmap(128);
    for (const Placement& p : kPlacements)
    {
        SCOPED_TRACE(p.bitmap);
        const SkinBitmap& b = bitmap(p.bitmap);
        const int h = frameHeight(p.bitmap);
        const int frames = b.height / h;
        for (int f = 0; f < frames; ++f)
        {
            EXPECT_EQ(pixel(b, 0, f * h), pixel(panel, p.left, p.top)) << "frame " << f;
            EXPECT_EQ(pixel(b, b.width - 1, f * h), pixel(panel, p.left + b.width - 1, p.top)) << "frame " << f;
        }
    }
}

// The layout the editor places its views by and the skin agree: a control's
// rectangle is one picture of its bitmap, so a click lands on what is drawn.
TEST(Skin, EveryControlRectangleHoldsOnePictureOfItsBitmap)
{
    for (const PanelLayout::Placement& p : PanelLayout::kControls)
    {
        SCOPED_TRACE(p.name);
        const SkinBitmap& b = bitmap(p.bitmap);
        EXPECT_EQ(p.frameHeight, frameHeight(p.bitmap));
        EXPECT_EQ(p.rect.width(), b.width);
        EXPECT_EQ(p.rect.height(), p.frameHeight);
        EXPECT_GE(p.rect.left, 0);
        EXPECT_LE(p.rect.right, PanelLayout::kEditorWidth);
        EXPECT_LE(p.rect.bottom, PanelLayout::kEditorHeight);
    }
}

TEST(Skin, KnobFramesChangeWithEveryStepAndThePointerTurnsClockwise)
{
    for (int id : {147, 148, 150, 151, 152, 153})
    {
        SCOPED_TRACE(id);
        const SkinBitmap& b = bitmap(id);
        const int h = frameHeight(id);
        for (int f = 1; f < 101; ++f)
            ASSERT_GT(framesDiffer(b, h, f - 1, f), 0) << "frames " << f - 1 << " and " << f << " are the same";

        // The pointer is the near-white stroke on the cap: find its direction.
        auto pointerAngle = [&](int f) {
            double sx = 0, sy = 0;
            int n = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < b.width; ++x)
                    if (brightness(pixel(b, x, f * h + y)) > 3 * 200)
                    {
                        sx += x + 0.5 - b.width / 2.0;
                        sy += y + 0.5 - h / 2.0;
                        ++n;
                    }
            EXPECT_GT(n, 4) << "no pointer in frame " << f;
            return std::atan2(sx, -sy) * 180 / 3.14159265358979; // clockwise from 12 o'clock
        };
        EXPECT_NEAR(pointerAngle(0), -135, 12);
        EXPECT_NEAR(pointerAngle(50), 0, 12);
        EXPECT_NEAR(pointerAngle(100), 135, 12);
        EXPECT_LT(pointerAngle(25), pointerAngle(50));
        EXPECT_LT(pointerAngle(50), pointerAngle(75));
    }
}

TEST(Skin, SwitchAndButtonPicturesDifferWhereTheControlsShowDifferentStates)
{
    for (const Expected& e : kExpected)
    {
        if (e.frames < 2 || e.frames > 7 || e.id == 167)
            continue;
        SCOPED_TRACE(e.id);
        const SkinBitmap& b = bitmap(e.id);
        const int h = e.height / e.frames;
        for (int f0 = 0; f0 < e.frames; ++f0)
            for (int f1 = f0 + 1; f1 < e.frames; ++f1)
                EXPECT_GT(framesDiffer(b, h, f0, f1), 0) << "frames " << f0 << " and " << f1;
    }
    // The rocker: hovering or pressing one half changes that half only.
    const SkinBitmap& rocker = bitmap(997);
    EXPECT_EQ(framesDiffer(rocker, 14, 0, 1, 17, 32), 0);
    EXPECT_EQ(framesDiffer(rocker, 14, 0, 2, 0, 15), 0);
    EXPECT_EQ(framesDiffer(rocker, 14, 0, 3, 17, 32), 0);
    EXPECT_EQ(framesDiffer(rocker, 14, 0, 4, 0, 15), 0);
    // The mode selector: the PEAK key (rows 0..18) is the same in the three
    // peak pictures, which differ only in the K scale they name.
    const SkinBitmap& mode = bitmap(141);
    for (int f : {1, 2})
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < mode.width; ++x)
                ASSERT_EQ(pixel(mode, x, y), pixel(mode, x, f * 56 + y));
    // Gain-reduction backgrounds: the 24 dB and 12 dB pictures are ruled differently.
    EXPECT_GT(framesDiffer(bitmap(167), 153, 0, 1), 100);
}

TEST(Skin, GlyphStripsSuitTheTextPrinters)
{
    struct Strip
    {
        int id;
        bool opaque;
        uint32_t labelPaper, valuePaper;
    };
    const Strip strips[] = {
        {137, true, 0xDFF7FF, 0x4F4F4F},  // cells filled with (223, 247, 255) and (79, 79, 79)
        {138, true, 0xDFF7FF, 0xE53505},  // over-range values on (229, 53, 5)
        {158, false, 0x000000, 0x000000}, // drawn transparently: black is the key colour
        {159, false, 0x000000, 0x000000},
    };
    for (const Strip& s : strips)
    {
        SCOPED_TRACE(s.id);
        const SkinBitmap& b = bitmap(s.id);
        for (int g = 0; g < 192; ++g)
        {
            const int character = 32 + g % 96;
            const uint32_t paper = g < 96 ? s.labelPaper : s.valuePaper;
            int ink = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 5; ++x)
                {
                    const uint32_t p = pixel(b, x, g * 8 + y);
                    if (p == paper)
                        continue;
                    ++ink;
                    // The opaque printers fill the next cell from two pixels to
                    // the left, over the fifth column: it must stay empty.
                    if (s.opaque)
                        EXPECT_LT(x, 4) << "glyph " << g << " inks its fifth column";
                    else
                        EXPECT_NE(p, 0u);
                }
            if (character == ' ')
            {
                EXPECT_EQ(ink, 0) << "space, glyph " << g;
            }
            else if (character < 127)
            {
                EXPECT_GT(ink, 0) << "character " << character << " has no ink, glyph " << g;
            }
        }
        // Label and value cells hold the same characters: compare shapes.
        for (int c = 0; c < 96; ++c)
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 5; ++x)
                    ASSERT_EQ(pixel(b, x, c * 8 + y) == s.labelPaper, pixel(b, x, (96 + c) * 8 + y) == s.valuePaper)
                        << "character " << 32 + c;
    }
    // Digits are told apart.
    const SkinBitmap& font = bitmap(137);
    for (int d0 = '0'; d0 <= '9'; ++d0)
        for (int d1 = d0 + 1; d1 <= '9'; ++d1)
        {
            int differ = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 5; ++x)
                    differ += pixel(font, x, (d0 - 32) * 8 + y) != pixel(font, x, (d1 - 32) * 8 + y);
            EXPECT_GT(differ, 0) << char(d0) << " and " << char(d1);
        }
}

// Through the editor's own printer: every character comes out whole in its
// 6-pixel cell, whichever neighbours it has, in each style the editor uses.
TEST(Skin, TextPrintedWithTheGlyphStripsKeepsEveryGlyphWhole)
{
    using namespace VSTGUI;
    std::string text;
    for (int c = 33; c < 127; ++c)
        text += char(c);
    struct Case
    {
        int font, alternativeFont;
        bool valueStyle, alternative;
    };
    const Case cases[] = {
        {137, 158, false, false}, // readout units
        {137, 158, true, false},  // readout values
        {137, 158, false, true},  // light entry fields, about panel
        {137, 159, false, true},  // dark entry fields
    };
    for (const Case& k : cases)
    {
        SCOPED_TRACE(k.alternative ? k.alternativeFont : k.font);
        CBitmap* font = new CBitmap(k.font);
        CBitmap* alternative = new CBitmap(k.alternativeFont);
        ASSERT_TRUE(font->isLoaded());
        ASSERT_TRUE(alternative->isLoaded());
        CTextPrinter printer(font, alternative);
        font->forget();
        alternative->forget();
        COffscreenContext context(nullptr, 6 * int(text.size()) + 8, 20, kBlackCColor);
        const int x0 = 4, baseline = 12;
        printer.print(&context, CPoint(x0, baseline), text.c_str(), false, k.valueStyle, k.alternative);

        const SkinBitmap& strip = bitmap(k.alternative ? k.alternativeFont : k.font);
        for (size_t i = 0; i < text.size(); ++i)
        {
            const int glyph = int(text[i]) - 32 + (k.valueStyle ? 96 : 0);
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 5; ++x)
                {
                    const uint32_t want = pixel(strip, x, glyph * 8 + y);
                    if (k.alternative && want == 0)
                        continue; // the key colour leaves the target alone
                    const CColor got = context.getPixel(x0 + 6 * int(i) + x, baseline - 7 + y);
                    ASSERT_EQ((uint32_t(got.red) << 16 | uint32_t(got.green) << 8 | got.blue), want)
                        << "character '" << text[i] << "' at " << x << ", " << y;
                }
        }
    }
}

// The bar pictures stand row by row for fixed levels: their colour zones must
// agree with the scales printed beside them.
TEST(Skin, MeterBarZonesFollowTheirScales)
{
    enum Zone
    {
        Green,
        Yellow,
        Red
    };
    auto zoneOf = [](uint32_t p) {
        if (red(p) > 2 * green(p))
            return Red;
        if (red(p) > 150 && green(p) > 150)
            return Yellow;
        return Green;
    };
    const SkinBitmap& peakLit = bitmap(130);
    const SkinBitmap& peakUnlit = bitmap(155);
    auto peakRow = [](double db) {
        return int(408 - (db + 48) * 6) - 1;
    }; // a lit row just below the level
    EXPECT_EQ(zoneOf(pixel(peakLit, 7, peakRow(-20))), Green);
    EXPECT_EQ(zoneOf(pixel(peakLit, 7, peakRow(-3))), Yellow);
    EXPECT_EQ(zoneOf(pixel(peakLit, 7, peakRow(+6))), Red);
    const SkinBitmap& kLit = bitmap(154);
    const SkinBitmap& kUnlit = bitmap(129);
    auto kRow = [](double k) {
        return int(144 - k * 6) + 1;
    }; // K reference on row 144
    EXPECT_EQ(zoneOf(pixel(kLit, 7, kRow(-10))), Green);
    EXPECT_EQ(zoneOf(pixel(kLit, 7, kRow(+2))), Yellow);
    EXPECT_EQ(zoneOf(pixel(kLit, 7, kRow(+8))), Red);
    for (int row = 48; row < 408; ++row)
    {
        const int x = 7;
        if (brightness(pixel(peakLit, x, row)) > 200) // a lit LED row, not a gap
        {
            EXPECT_GT(brightness(pixel(peakLit, x, row)), 2 * brightness(pixel(peakUnlit, x, row))) << row;
        }
        if (brightness(pixel(kLit, x, row)) > 200)
        {
            EXPECT_GT(brightness(pixel(kLit, x, row)), 2 * brightness(pixel(kUnlit, x, row))) << row;
        }
    }
    // Gain-reduction bar: lit from its first rows, as the meter copies them.
    EXPECT_GT(brightness(pixel(bitmap(156), 7, 0)), 300);
}

// Each scale marks its zero (the K reference, or 0 dBFS) with accent-coloured
// arrows at the edges; they must sit on the row where the bars put it.
TEST(Skin, ScalesMarkTheirReferenceLevelWhereTheBarsPutIt)
{
    const std::pair<int, int> zeroRows[] = {{131, 124}, {132, 88}, {133, 76}, {134, 124}, {135, 88}, {136, 76}};
    for (const auto& z : zeroRows)
    {
        SCOPED_TRACE(z.first);
        const SkinBitmap& scale = bitmap(z.first);
        double sum = 0;
        int n = 0;
        for (int y = 0; y < scale.height; ++y)
            for (int x : {1, 2, scale.width - 3, scale.width - 2})
            {
                const uint32_t p = pixel(scale, x, y);
                if (blue(p) > 120 && blue(p) > red(p) + 60)
                {
                    sum += y;
                    ++n;
                }
            }
        ASSERT_GT(n, 0);
        EXPECT_NEAR(sum / n, z.second, 1.0);
    }
}

TEST(Skin, BitmapFilesHoldTheSamePixelsAtTheirColourDepth)
{
    for (const Expected& e : kExpected)
    {
        SCOPED_TRACE(e.id);
        const std::string path = skinDirectory() + "/bmp" + std::to_string(e.id) + ".bmp";
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        const std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_GE(f.size(), 54u);
        auto u16 = [&](size_t o) {
            return uint32_t(f[o]) | uint32_t(f[o + 1]) << 8;
        };
        auto u32 = [&](size_t o) {
            return u16(o) | u16(o + 2) << 16;
        };
        ASSERT_EQ(f[0], 'B');
        ASSERT_EQ(f[1], 'M');
        EXPECT_EQ(u32(2), f.size());
        const uint32_t dataOffset = u32(10), headerSize = u32(14);
        const int width = int(u32(18)), height = int(int32_t(u32(22)));
        const int bpp = int(u16(28));
        ASSERT_EQ(width, e.width);
        ASSERT_EQ(height, e.height); // positive: bottom-up rows
        ASSERT_EQ(bpp, e.bitsPerPixel);
        EXPECT_EQ(u32(30), 0u); // uncompressed
        uint32_t colours = u32(46);
        if (bpp == 8)
        {
            if (colours == 0)
                colours = 256;
            ASSERT_LE(colours, 256u);
        }
        const size_t rowBytes = size_t((width * bpp + 31) / 32 * 4);
        ASSERT_EQ(f.size(), dataOffset + rowBytes * size_t(height));
        const SkinBitmap& b = bitmap(e.id);
        for (int y = 0; y < height; ++y)
        {
            const size_t row = dataOffset + rowBytes * size_t(height - 1 - y);
            for (int x = 0; x < width; ++x)
            {
                uint32_t p;
                if (bpp == 8)
                {
                    const uint32_t index = f[row + size_t(x)];
                    ASSERT_LT(index, colours);
                    const size_t entry = 14 + headerSize + 4 * index;
                    p = uint32_t(f[entry + 2]) << 16 | uint32_t(f[entry + 1]) << 8 | f[entry];
                }
                else
                {
                    const size_t o = row + size_t(x) * size_t(bpp / 8);
                    p = uint32_t(f[o + 2]) << 16 | uint32_t(f[o + 1]) << 8 | f[o];
                }
                ASSERT_EQ(p, pixel(b, x, y)) << "at " << x << ", " << y;
            }
        }
    }
}

TEST(Skin, ResourceScriptNamesEveryBitmapOnce)
{
    std::ifstream in(skinDirectory() + "/zelvo.rc");
    ASSERT_TRUE(in);
    std::map<int, std::string> named;
    std::string line;
    while (std::getline(in, line))
    {
        if (line.rfind("//", 0) == 0 || line.empty())
            continue;
        std::istringstream words(line);
        int id = 0;
        std::string kind, file;
        ASSERT_TRUE(words >> id >> kind >> file) << line;
        EXPECT_EQ(kind, "BITMAP");
        EXPECT_TRUE(named.emplace(id, file).second) << "named twice: " << id;
    }
    EXPECT_EQ(named.size(), sizeof kExpected / sizeof kExpected[0]);
    for (const Expected& e : kExpected)
        EXPECT_EQ(named[e.id], "\"bmp" + std::to_string(e.id) + ".bmp\"");
}

// The panel carries the silkscreen for the controls drawn over it: a caption
// over every knob and key, entry-field windows in the colours of the edit
// boxes that open there, and the preset name's window.
TEST(Skin, PanelLabelsAndWindowsSitWhereTheControlsAre)
{
    const SkinBitmap& panel = bitmap(128);
    const uint32_t plate = pixel(panel, 80, 100); // plain plate, no control
    for (const Placement& p : kPlacements)
    {
        if (p.bitmap >= 991 || p.bitmap == 141 || p.bitmap == 146 || p.bitmap == 149 || p.bitmap == 164)
            continue; // captioned on their faces, or (164) under the trace keys' heading
        SCOPED_TRACE(p.bitmap);
        const int width = bitmap(p.bitmap).width;
        int ink = 0;
        for (int y = p.top - 13; y < p.top - 2; ++y)
            for (int x = p.left - 4; x < p.left + width + 4; ++x)
                ink += brightness(pixel(panel, x, y)) > brightness(plate) + 180;
        EXPECT_GT(ink, 8) << "no caption above the control at " << p.left << ", " << p.top;
    }
    // Entry fields: the printed value's rows sit on the edit box's own colour.
    const struct
    {
        int left, bottom;
        uint32_t back;
    } fields[] = {
        {43, 424, 0x252423}, {410, 424, 0x252423}, {45, 233, 0xA3A7A6},
        {45, 331, 0xA3A7A6}, {411, 233, 0xA3A7A6}, {411, 331, 0xA3A7A6},
    };
    for (const auto& f : fields)
        for (int y = f.bottom - 7; y <= f.bottom; ++y)
            for (int x = f.left + 4; x < f.left + 70; ++x)
                ASSERT_EQ(pixel(panel, x, y), f.back) << "field at " << f.left << ", " << f.bottom;
    // The preset name shows on the name field's colour (207, 222, 235).
    EXPECT_EQ(pixel(panel, 257, 454), 0xCFDEEBu);
}

namespace
{
std::string generatorPath()
{
    const char* build = std::getenv("ZELVO_BUILD_DIR");
    return std::string(build ? build : ".") + "/tools/zelvo_skin_generator";
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int run(const std::string& arguments)
{
    return std::system((generatorPath() + " " + arguments + " > /dev/null 2>&1").c_str());
}

// Pixels of a PNG as the generator writes it (8-bit RGB, stored deflate blocks).
bool readGeneratorPng(const std::string& path, int& width, int& height, std::vector<uint32_t>& pixels)
{
    const std::vector<uint8_t> f = readFile(path);
    auto big32 = [&](size_t o) {
        return uint32_t(f[o]) << 24 | uint32_t(f[o + 1]) << 16 | uint32_t(f[o + 2]) << 8 | f[o + 3];
    };
    if (f.size() < 33 || f[1] != 'P' || f[2] != 'N' || f[3] != 'G')
        return false;
    width = int(big32(16));
    height = int(big32(20));
    std::vector<uint8_t> z;
    for (size_t o = 8; o + 12 <= f.size();)
    {
        const uint32_t length = big32(o);
        if (std::string(f.begin() + long(o + 4), f.begin() + long(o + 8)) == "IDAT")
            z.insert(z.end(), f.begin() + long(o + 8), f.begin() + long(o + 8 + length));
        o += 12 + length;
    }
    std::vector<uint8_t> raw;
    for (size_t o = 2; o + 5 <= z.size();)
    {
        if ((z[o] & 6) != 0)
            return false; // only stored blocks are expected
        const size_t n = size_t(z[o + 1]) | size_t(z[o + 2]) << 8;
        raw.insert(raw.end(), z.begin() + long(o + 5), z.begin() + long(o + 5 + n));
        const bool last = z[o] & 1;
        o += 5 + n;
        if (last)
            break;
    }
    if (raw.size() != size_t(height) * (size_t(width) * 3 + 1))
        return false;
    pixels.clear();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const uint8_t* p = &raw[size_t(y) * (size_t(width) * 3 + 1) + 1 + size_t(x) * 3];
            pixels.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
    return true;
}
} // namespace

// The generator the build runs, run again: the same files, so a rebuild
// never changes the skin behind the team's back, and its pictures for
// looking at the skin put the controls where the editor does.
TEST(SkinGenerator, WritesTheSameSkinAgainAndAMockUpWithTheControlsInPlace)
{
    if (!std::ifstream(generatorPath()))
        GTEST_SKIP() << "no generator for this build machine at " << generatorPath();
    const std::string dir =
        std::string(std::getenv("ZELVO_BUILD_DIR") ? std::getenv("ZELVO_BUILD_DIR") : ".") + "/test-skin-output";
    ASSERT_EQ(std::system(("mkdir -p " + dir).c_str()), 0);
    ASSERT_EQ(run("--out " + dir + " --mockup " + dir + "/mockup.png --contact " + dir + "/sheet.png"), 0);
    for (const Expected& e : kExpected)
    {
        const std::string name = "/bmp" + std::to_string(e.id) + ".bmp";
        EXPECT_EQ(readFile(dir + name), readFile(skinDirectory() + name)) << name;
    }
    EXPECT_EQ(readFile(dir + "/zelvo.rc"), readFile(skinDirectory() + "/zelvo.rc"));
    EXPECT_EQ(readFile(dir + "/SkinResources.cpp"), readFile(skinDirectory() + "/SkinResources.cpp"));

    int width = 0, height = 0;
    std::vector<uint32_t> mock;
    ASSERT_TRUE(readGeneratorPng(dir + "/mockup.png", width, height, mock));
    ASSERT_EQ(width, 524);
    ASSERT_EQ(height, 462);
    const SkinBitmap& panel = bitmap(128);
    EXPECT_EQ(mock[size_t(100) * 524 + 80], pixel(panel, 80, 100));
    for (const Placement& p : kPlacements)
    {
        const SkinBitmap& b = bitmap(p.bitmap);
        const int h = frameHeight(p.bitmap);
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < b.width; x += 3)
                ASSERT_EQ(mock[size_t(p.top + y) * 524 + size_t(p.left + x)], pixel(b, x, y))
                    << "bitmap " << p.bitmap << " at " << x << ", " << y;
    }
    std::vector<uint32_t> sheet;
    EXPECT_TRUE(readGeneratorPng(dir + "/sheet.png", width, height, sheet));

    ASSERT_EQ(run("--out " + dir + " --zoom 2 --mockup " + dir + "/zoomed.png"), 0);
    ASSERT_TRUE(readGeneratorPng(dir + "/zoomed.png", width, height, mock));
    EXPECT_EQ(width, 1048);
    EXPECT_EQ(height, 924);

    // Wrong use changes nothing and says so in the exit status.
    EXPECT_NE(run(""), 0);
    EXPECT_NE(run("--colour red"), 0);
    EXPECT_NE(run("--out"), 0);
    EXPECT_NE(run("--out " + dir + "/no/such/folder"), 0);
}

// The meter scales print a number beside the ticks on its own row: the
// number's sign and the ticks must stay apart ("-20", not "--20-").
TEST(Skin, ScaleNumbersKeepClearOfTheTicksBesideThem)
{
    for (int id : {131, 132, 133, 134, 135, 136})
    {
        SCOPED_TRACE(id);
        const SkinBitmap& b = bitmap(id);
        int numbered = 0;
        for (int y = 0; y < b.height; ++y)
        {
            // Runs of light pixels along the row: ticks, glyphs, arrows.
            std::vector<std::pair<int, int>> runs;
            for (int x = 0; x < b.width; ++x)
            {
                const uint32_t p = pixel(b, x, y);
                if (std::max({red(p), green(p), blue(p)}) <= 90)
                    continue;
                if (!runs.empty() && runs.back().second == x - 1)
                    runs.back().second = x;
                else
                    runs.push_back({x, x});
            }
            // A tick at each edge and something between them: a number's row.
            if (runs.size() < 3 || runs.front().first > 1 || runs.back().second < b.width - 2)
                continue;
            ++numbered;
            EXPECT_GE(runs[1].first - runs[0].second - 1, 2) << "left tick touches the number on row " << y;
            EXPECT_GE(runs.back().first - runs[runs.size() - 2].second - 1, 2)
                << "right tick touches the number on row " << y;
        }
        EXPECT_GE(numbered, 10);
    }
}

namespace
{
// The first row in rows y0..y1 of the panel with label ink (light paint)
// between columns x0 and x1, or -1.
int firstLabelRow(int x0, int x1, int y0, int y1)
{
    const SkinBitmap& panel = bitmap(128);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (std::max({red(pixel(panel, x, y)), green(pixel(panel, x, y)), blue(pixel(panel, x, y))}) > 110)
                return y;
    return -1;
}
} // namespace

// Labels printed on the panel beside the Drive and Output knobs: the titles
// leave air under the entry fields above them, and the end labels stay off
// the POST and AUTO keys next to the knobs' feet.
TEST(Skin, KnobLabelsKeepClearOfTheKeysAndFieldsBesideThem)
{
    struct Case
    {
        const char* what;
        int x0, x1;      // columns of the label
        int fieldBottom; // the entry window above it ends on this row
    };
    // Drive under the Release field (bottom 331), Output under L/R Link (331);
    // their windows reach two rows below the field.
    for (const Case& c : {Case{"DRIVE", 52, 108, 333}, Case{"OUTPUT", 417, 475, 333}})
    {
        SCOPED_TRACE(c.what);
        const int title = firstLabelRow(c.x0, c.x1, c.fieldBottom + 1, 348);
        ASSERT_GE(title, 0);
        EXPECT_GE(title - c.fieldBottom - 1, 5) << "rows between the entry window and the title";
    }
    // POST (116, 368, 134, 392) and AUTO (394, 368, 412, 392): nothing printed
    // in the three rows under them.
    EXPECT_EQ(firstLabelRow(116, 133, 392, 394), -1) << "+24 under POST";
    EXPECT_EQ(firstLabelRow(394, 411, 392, 394), -1) << "-12 under AUTO";
    EXPECT_GE(firstLabelRow(100, 133, 392, 404), 0) << "Drive's +24 is still printed there";
    EXPECT_GE(firstLabelRow(394, 416, 392, 404), 0) << "Output's -12 is still printed there";
}

// The preset name is printed with its baseline on the name field's bottom row
// (461): capitals on rows 454 to 460. Its well surrounds those rows with
// about as much room above as below, instead of ending right under them.
TEST(Skin, PresetNameWellIsSetAroundThePrintedName)
{
    const SkinBitmap& panel = bitmap(128);
    const uint32_t well = 207u << 16 | 222u << 8 | 235u;
    const int x = (202 + 313) / 2;
    auto isWell = [&](int y) {
        return pixel(panel, x, y) == well;
    };
    for (int y = 451; y <= 461; ++y)
        EXPECT_TRUE(isWell(y)) << "row " << y;
    EXPECT_FALSE(isWell(449)) << "no more than a few rows of well above the letters";
}
