#include "Mockup.h"

#include "Canvas.h"
#include "PixelFont.h"
#include "SkinLayout.h"
#include "Theme.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace
{
const Image& art(const Skin& skin, int id)
{
    static const Image empty;
    const SkinBitmapArt* a = findArt(skin, id);
    return a ? a->image : empty;
}

void pasteFrame(Image& editor, const Skin& skin, const SkinLayout::Placement& p, int frame)
{
    const Image& bmp = art(skin, p.bitmap);
    editor.paste(bmp, 0, frame * p.frameHeight, p.rect.width(), p.rect.height(), p.rect.left, p.rect.top);
}

// The text printers as the editor runs them: cells of 6 pixels, the cell
// surroundings filled first (the toolkit's fillRect of x - 2, y - 9 to
// x + 6, y + 1 paints from one pixel inside its left and top edge), glyphs
// copied opaquely, or transparently on the key colour black for the
// alternative strip.
void print(Image& target, int x, int y, const std::string& text, const Image& font, bool valueStyle, bool transparent,
           uint32_t cell)
{
    for (char ch : text)
    {
        int g = (static_cast<unsigned char>(ch) & 127) - 32 + (valueStyle ? 96 : 0);
        if (g < 0 || g > 191)
            g = 0;
        if (!transparent)
            for (int yy = y - 8; yy < y + 1; ++yy)
                for (int xx = x - 1; xx < x + 6; ++xx)
                    if (xx >= 0 && yy >= 0 && xx < target.width && yy < target.height)
                        target.at(xx, yy) = cell;
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 5; ++c)
            {
                const uint32_t p = font.at(c, g * 8 + r);
                if (transparent && (p & 0xFFFFFFu) == 0)
                    continue;
                target.at(x + c, y - 7 + r) = p;
            }
        x += 6;
    }
}

int barLength(float db, float range) { return std::clamp(int((db + range) * 6 + 0.5f), 0, 360); }

void barMeter(Image& editor, const Skin& skin, bool input, int mode, float peakL, float peakR, float rmsL, float rmsR)
{
    const int scaleIds[2][3] = {{133, 132, 131}, {136, 135, 134}};
    const Rect scale = input ? SkinLayout::kInputScale : SkinLayout::kOutputScale;
    const int scaleId = scaleIds[input ? 0 : 1][mode == 0 ? 0 : mode - 1];
    editor.paste(art(skin, scaleId), scale.left, scale.top);
    const Rect* bars = input ? SkinLayout::kInputBars : SkinLayout::kOutputBars;
    const float peaks[2] = {peakL, peakR}, rms[2] = {rmsL, rmsR};
    for (int ch = 0; ch < 2; ++ch)
    {
        const int x = bars[ch].left;
        if (mode == 0)
        {
            const int n = barLength(peaks[ch], 48);
            editor.paste(art(skin, 130), 0, 408 - n, 15, n, x, 402 - n);
            editor.paste(art(skin, 155), 0, 48, 15, 360 - n, x, 42);
        }
        else
        {
            const int bottom = mode == 1 ? 432 : (mode == 2 ? 420 : 384);
            const int n = barLength(rms[ch], 60);
            editor.paste(art(skin, 154), 0, bottom - n, 15, n, x, 402 - n);
            editor.paste(art(skin, 129), 0, bottom - 360, 15, 360 - n, x, 42);
            const int m = barLength(peaks[ch], 60);
            if (m > 2)
                editor.paste(art(skin, 154), 0, bottom - m, 15, 3, x, 402 - m);
        }
    }
}

void reductionMeter(Image& editor, const Skin& skin, bool zoom, float grL, float grR)
{
    const Rect m = SkinLayout::kReductionMeter;
    editor.paste(art(skin, 167), 0, zoom ? m.height() : 0, m.width(), m.height(), m.left, m.top);
    const float f = zoom ? 12.0f : 6.0f;
    const float gr[2] = {grL, grR};
    for (int ch = 0; ch < 2; ++ch)
    {
        int n = gr[ch] > -0.1f ? 0 : 1 - int(gr[ch] * f - 0.5f);
        n = std::clamp(n, 0, 145);
        editor.paste(art(skin, 156), 0, 0, 15, n, SkinLayout::kReductionBars[ch].left, 42);
    }
}

std::string format(const char* fmt, double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, fmt, v);
    return buf;
}

void peakReadout(Image& editor, const Skin& skin, const Rect& r, int mode, float maxL, float maxR)
{
    editor.paste(art(skin, 128), r.left, r.top, r.width(), r.height(), r.left, r.top);
    const float offset = mode == 1 ? 12.0f : (mode == 2 ? 14.0f : (mode == 3 ? 20.0f : 0.0f));
    const int x0 = r.left, y1 = r.bottom;
    const uint32_t label = Theme::kLabelCell.toPixel();
    if (mode == 0)
        print(editor, x0 + 35, y1 - 2, "dBFS", art(skin, 137), false, false, label);
    else
    {
        print(editor, x0 + 35, y1 - 2, "    ", art(skin, 137), false, false, label);
        print(editor, x0 + 38, y1 - 2, "dBr", art(skin, 137), false, false, label);
    }
    const float maxima[2] = {maxL, maxR};
    for (int ch = 0; ch < 2; ++ch)
    {
        const bool over = maxima[ch] > 0;
        const int bx = x0 + ch * 60;
        for (int y = y1 - 11; y < y1 - 1; ++y)
            for (int x = bx; x < bx + 32; ++x)
                editor.at(x, y) = (over ? Theme::kOverCell : Theme::kValueCell).toPixel();
        const float shown = maxima[ch] + offset;
        const std::string text = maxima[ch] <= -100 ? "-oo" : format("%+2.1f", shown);
        print(editor, bx + 17 - 3 * int(text.size()), y1 - 2, text, art(skin, over ? 138 : 137), true, false,
              (over ? Theme::kOverCell : Theme::kValueCell).toPixel());
    }
}

void reductionReadout(Image& editor, const Skin& skin, float minL, float minR)
{
    const Rect r = SkinLayout::kReductionReadout;
    editor.paste(art(skin, 128), r.left, r.top, r.width(), r.height(), r.left, r.top);
    print(editor, r.left + 41, r.bottom - 2, "dB", art(skin, 137), false, false, Theme::kLabelCell.toPixel());
    const float minima[2] = {minL, minR};
    for (int ch = 0; ch < 2; ++ch)
    {
        const int bx = r.left + ch * 60;
        for (int y = r.bottom - 11; y < r.bottom - 1; ++y)
            for (int x = bx; x < bx + 32; ++x)
                editor.at(x, y) = Theme::kValueCell.toPixel();
        const std::string text = format("%2.1f", minima[ch]);
        print(editor, bx + 17 - 3 * int(text.size()), r.bottom - 2, text, art(skin, 137), true, false,
              Theme::kValueCell.toPixel());
    }
}

void entryField(Image& editor, const Skin& skin, const Rect& r, int fontId, const std::string& text)
{
    editor.paste(art(skin, 128), r.left, r.top, r.width(), r.height(), r.left, r.top);
    const int x = r.left + std::max(0, (r.width() - 6 * int(text.size())) / 2);
    print(editor, x, r.bottom, text, art(skin, fontId), false, true, 0);
}

void aboutPanel(Image& editor, const Skin& skin)
{
    const Rect r = SkinLayout::kAboutPanel;
    const Image& panel = art(skin, 157);
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x)
        {
            const Colour s = Colour::fromPixel(panel.at(x, y));
            const Colour d = Colour::fromPixel(editor.at(r.left + x, r.top + y));
            editor.at(r.left + x, r.top + y) = mix(d, s, 200.0f / 255.0f).toPixel();
        }
    const Image& alt = art(skin, 158);
    print(editor, 55, 309, "QDX Zelvo", art(skin, 137), true, false, Theme::kValueCell.toPixel());
    print(editor, 200, 309, "Brickwall Limiting, Metering and Requantizing", alt, false, true, 0);
    print(editor, 55, 323, "Version:", alt, false, true, 0);
    print(editor, 440, 323, "1.1.1", alt, false, true, 0);
    print(editor, 55, 337, "Current process latency (samples):", alt, false, true, 0);
    print(editor, 470 - 6 * 3, 337, "287", alt, false, true, 0);
    print(editor, 165, 351, "VST plugin technology by Steinberg", alt, false, true, 0);
}
} // namespace

Image editorMockup(const Skin& skin)
{
    Image editor = art(skin, 128);
    for (const SkinLayout::Placement& p : SkinLayout::placements())
        pasteFrame(editor, skin, p, 0);
    // The meters at rest: peak scale, unlit bars, the 24 dB reduction range.
    barMeter(editor, skin, true, 0, -122, -122, -122, -122);
    barMeter(editor, skin, false, 0, -122, -122, -122, -122);
    reductionMeter(editor, skin, false, 0, 0);
    return editor;
}

Image editorInUse(const Skin& skin, bool aboutOpen)
{
    Image editor = art(skin, 128);
    const std::pair<const char*, int> frames[] = {
        {"DetectorOrder", 1}, {"Oversample", 1}, {"MeterMode", 4},  {"Quantize", 1}, {"Autoblack", 1},
        {"Bits", 4},          {"NoiseShape", 5}, {"Calibrate", 0},  {"AttZoom", 0},  {"AttShow1", 1},
        {"AttShow2", 1},      {"AttShow4", 2},   {"Transient", 20}, {"Release", 72}, {"Leveller", 100},
        {"Link", 100},        {"TransShape", 1}, {"Power", 1},      {"Drive", 60},   {"Output", 90},
        {"AutoOut", 0},       {"PostMeter", 1},  {"MeterOvs", 1},   {"SaveBank", 0}, {"LoadBank", 1},
        {"SavePreset", 0},    {"LoadPreset", 0}, {"PresetStep", 2}, {"StoreA", 0},   {"RecallA", 2},
        {"StoreB", 0},        {"RecallB", 0},
    };
    for (const auto& f : frames)
        pasteFrame(editor, skin, SkinLayout::placement(f.first), f.second);

    const int mode = 2; // K-14
    barMeter(editor, skin, true, mode, -3.1f, -4.2f, -17.5f, -18.6f);
    barMeter(editor, skin, false, mode, -0.3f, -0.4f, -11.2f, -11.9f);
    reductionMeter(editor, skin, false, -3.2f, -4.6f);
    peakReadout(editor, skin, SkinLayout::kInputReadout, mode, -2.1f, -2.7f);
    peakReadout(editor, skin, SkinLayout::kOutputReadout, mode, -0.2f, 0.1f);
    reductionReadout(editor, skin, -5.3f, -6.8f);
    // The texts a session at these settings would show, field by field.
    const char* const texts[SkinLayout::kFieldCount] = {"+4.80dB", "-1.20dB", "20.0%", "200.0ms", "off", "100.0%"};
    for (int i = 0; i < SkinLayout::kFieldCount; ++i)
        entryField(editor, skin, SkinLayout::kFields[i].rect, SkinLayout::kFields[i].font, texts[i]);

    // The preset name is drawn by the toolkit's own font; a stand-in here.
    Canvas c(editor);
    const std::string name = "Limiter Hard";
    PixelFont::draw(c, int(SkinLayout::kNameField.centreX()) - PixelFont::proportionalWidth(name) / 2,
                    SkinLayout::kNameField.bottom - 7, name, Colour::rgb(76, 76, 72));
    editor = c.toImage();
    if (aboutOpen)
        aboutPanel(editor, skin);
    return editor;
}

Image contactSheet(const Skin& skin)
{
    const int sheetWidth = 1180, pad = 12;
    std::vector<std::pair<int, Image>> tiles;
    for (const SkinBitmapArt& a : skin)
    {
        Image tile;
        const int fh = a.image.height / a.frames;
        if (a.id == 128)
            continue;
        if (a.frames == 192)
        {
            // Glyph strips as a grid: 32 characters a row, label then value style.
            tile = Image(32 * 7, 6 * 10, Theme::kPanelDark.toPixel());
            for (int g = 0; g < 192; ++g)
                tile.paste(a.image, 0, g * 8, 5, 8, (g % 32) * 7 + 1, (g / 32) * 10 + 1);
            tile = zoomed(tile, 2);
        }
        else
        {
            std::vector<int> shown;
            if (a.frames > 8)
                shown = {0, 10, 25, 50, 75, 90, 100};
            else
                for (int f = 0; f < a.frames; ++f)
                    shown.push_back(f);
            const int fw = a.image.width;
            const bool tall = fh > 200;
            tile = Image(int(shown.size()) * (fw + 4), fh, Theme::kPanelDark.toPixel());
            for (size_t i = 0; i < shown.size(); ++i)
                tile.paste(a.image, 0, shown[i] * fh, fw, fh, int(i) * (fw + 4), 0);
            if (!tall && fh < 60)
                tile = zoomed(tile, 2);
        }
        tiles.emplace_back(a.id, tile);
    }
    // Flow the tiles into rows.
    int x = pad, y = pad, rowHeight = 0;
    std::vector<std::pair<int, int>> positions;
    for (const auto& t : tiles)
    {
        if (x + t.second.width > sheetWidth - pad)
        {
            x = pad;
            y += rowHeight + 14;
            rowHeight = 0;
        }
        positions.emplace_back(x, y + 10);
        x += t.second.width + pad;
        rowHeight = std::max(rowHeight, t.second.height + 10);
    }
    Canvas c(sheetWidth, y + rowHeight + pad, Colour::rgb(24, 25, 27));
    Image sheet = c.toImage();
    for (size_t i = 0; i < tiles.size(); ++i)
        sheet.paste(tiles[i].second, positions[i].first, positions[i].second);
    Canvas labels(sheet);
    for (size_t i = 0; i < tiles.size(); ++i)
        PixelFont::draw(labels, positions[i].first, positions[i].second - 10, std::to_string(tiles[i].first),
                        Theme::kHeading);
    return labels.toImage();
}

Image zoomed(const Image& image, int factor)
{
    Image out(image.width * factor, image.height * factor);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.at(x, y) = image.at(x / factor, y / factor);
    return out;
}
