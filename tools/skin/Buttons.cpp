// Push buttons and selectors: every picture of a button is a dark key with
// its caption in silkscreen grey when off, lit in the accent colour with a
// glowing bar when on, and flooded with light for the short flash that
// confirms stored preferences. The calibration button lights in amber: it
// puts noise on the output, which should be hard to miss.
#include "Canvas.h"
#include "PixelFont.h"
#include "Skin.h"
#include "SkinLayout.h"
#include "Theme.h"

#include <cmath>
#include <string>

namespace
{
enum class Look
{
    Off,
    On,
    Flash,
    Disabled,   // on, but the function it belongs to is switched off
    Warning,    // calibration noise on, steady picture
    WarningLit, // calibration noise on, blink picture
};

struct Palette
{
    Colour text, bar, faceTop, faceBottom;
    float glow;
};

Palette paletteFor(Look look)
{
    switch (look)
    {
    case Look::Off: return {Theme::kButtonText, Colour::rgb(24, 26, 28), Theme::kButtonFace, Theme::kButtonFaceLow, 0};
    case Look::On:
        return {Colour::rgb(150, 214, 242), Theme::kAccent, Colour::rgb(60, 66, 72), Colour::rgb(44, 48, 53), 0.22f};
    case Look::Flash:
        return {Colour::rgb(16, 30, 38), Colour::rgb(225, 245, 255), Colour::rgb(160, 218, 242),
                Colour::rgb(96, 176, 214), 0};
    case Look::Disabled:
        return {Colour::rgb(104, 122, 132), Theme::kAccentDim, Theme::kButtonFace, Theme::kButtonFaceLow, 0};
    case Look::Warning:
        return {Colour::rgb(255, 188, 120), Theme::kWarn, Colour::rgb(66, 60, 56), Colour::rgb(50, 45, 42), 0.25f};
    case Look::WarningLit:
        return {Colour::rgb(40, 20, 4), Colour::rgb(255, 236, 200), Colour::rgb(255, 176, 92),
                Colour::rgb(226, 118, 36), 0};
    }
    return {};
}

// A key filling the rectangle (0, 0, w, h) of the canvas at vertical offset y0.
void paintKey(Canvas& c, float y0, float w, float h, const Palette& p)
{
    c.fillRoundRect(0, y0, w, y0 + h, 3.5f, Colour::rgb(14, 15, 17));
    c.fillRoundRect(1, y0 + 1, w - 1, y0 + h - 1, 2.5f,
                    [&](float, float y) { return mix(p.faceTop, p.faceBottom, std::clamp((y - y0) / h, 0.0f, 1.0f)); });
    c.fillRect(3, y0 + 1, w - 3, y0 + 2, Colour::rgb(255, 255, 255, 0.10f));
}

void paintCaptionedKey(Canvas& c, float y0, float w, float h, const std::string& caption, Look look)
{
    const Palette p = paletteFor(look);
    paintKey(c, y0, w, h, p);
    const int textWidth = PixelFont::proportionalWidth(caption);
    const int tx = int(std::floor((w - textWidth) * 0.5f + 0.5f));
    const int ty = int(y0) + 4;
    if (p.glow > 0)
        c.fillRoundRect(tx - 3.0f, ty - 2.0f, tx + textWidth + 3.0f, ty + 9.0f, 4, p.bar.withAlpha(p.glow), 4.0f);
    PixelFont::draw(c, tx, ty, caption, p.text);
    // The state bar under the caption.
    const float bx0 = 6, bx1 = w - 6, by = y0 + h - 5;
    c.fillRoundRect(bx0, by, bx1, by + 2, 1, p.bar);
    if (look == Look::On || look == Look::Warning)
        c.fillRoundRect(bx0 - 1, by - 1, bx1 + 1, by + 3, 2, p.bar.withAlpha(0.35f), 2.5f);
}

struct KeyPicture
{
    std::string caption;
    Look look;
};

void addKeyStrip(Skin& skin, const Image& panel, int id, const char* placementName,
                 const std::vector<KeyPicture>& pictures)
{
    const Rect r = SkinLayout::placement(placementName).rect;
    const int w = r.width(), h = r.height();
    Image strip(w, h * int(pictures.size()));
    const Image backdrop = panel.crop(r.left, r.top, w, h);
    for (size_t i = 0; i < pictures.size(); ++i)
    {
        Canvas c(backdrop);
        paintCaptionedKey(c, 0, float(w), float(h), pictures[i].caption, pictures[i].look);
        strip.paste(c.toImage(), 0, int(i) * h);
    }
    skin.push_back({id, 8, int(pictures.size()), std::move(strip)});
}

// The small square LED keys of the pre/post and auto-gain switches.
void addLedKeyStrip(Skin& skin, const Image& panel)
{
    const Rect r = SkinLayout::placement("AutoOut").rect;
    const int w = r.width(), h = r.height();
    const Image backdrop = panel.crop(r.left, r.top, w, h);
    const Look looks[3] = {Look::Off, Look::On, Look::Flash};
    Image strip(w, h * 3);
    for (int i = 0; i < 3; ++i)
    {
        Canvas c(backdrop);
        const Palette p = paletteFor(looks[i]);
        paintKey(c, 0, float(w), float(h), p);
        const float cx = w * 0.5f, cy = h * 0.5f + 0.5f;
        c.fillCircle(cx, cy, 3.6f, Colour::rgb(10, 11, 12));
        if (looks[i] == Look::Off)
            c.fillCircle(cx, cy, 2.6f, Colour::rgb(30, 44, 52));
        else
        {
            c.fillCircle(cx, cy, 6.5f, Theme::kAccent.withAlpha(0.35f), 5.0f);
            c.fillCircle(cx, cy, 2.6f, looks[i] == Look::Flash ? Colour::rgb(235, 250, 255) : Theme::kAccent);
            c.fillCircle(cx - 0.8f, cy - 0.8f, 1.0f, Colour::rgb(255, 255, 255, 0.6f));
        }
        strip.paste(c.toImage(), 0, i * h);
    }
    skin.push_back({161, 8, 3, std::move(strip)});
}

// The meter mode selector: PEAK on the upper key, the K scale on the lower
// key, and between them a small window naming the K scale in use.
void addModeSelector(Skin& skin, const Image& panel)
{
    const Rect r = SkinLayout::placement("MeterMode").rect;
    const int w = r.width(), h = r.height();
    const Image backdrop = panel.crop(r.left, r.top, w, h);
    const char* scales[3] = {"K-12", "K-14", "K-20"};
    Image strip(w, h * 7);
    for (int f = 0; f < 7; ++f)
    {
        const bool flash = f == 6;
        const bool kSystem = f >= 3 && !flash;
        const int scale = flash ? 0 : f % 3;
        Canvas c(backdrop);
        // The two keys: rows 0..18 and 37..55 are the hot spots.
        paintCaptionedKey(c, 0, float(w), 19, "PEAK", flash ? Look::Flash : (kSystem ? Look::Off : Look::On));
        paintCaptionedKey(c, 37, float(w), 19, "K-SYS", flash ? Look::Flash : (kSystem ? Look::On : Look::Off));
        // The scale window.
        c.fillRoundRect(2, 21, w - 2.0f, 35, 2, Colour::rgb(14, 15, 17));
        c.fillRoundRect(3, 22, w - 3.0f, 34, 1.5f, Theme::kWell);
        const std::string text = flash ? "STORE" : scales[scale];
        const Colour ink =
            flash ? Colour::rgb(225, 245, 255) : (kSystem ? Colour::rgb(150, 214, 242) : Colour::rgb(110, 118, 126));
        PixelFont::draw(c, int(std::floor((w - PixelFont::proportionalWidth(text)) * 0.5f + 0.5f)), 24, text, ink);
        strip.paste(c.toImage(), 0, f * h);
    }
    skin.push_back({141, 32, 7, std::move(strip)});
}

// The three-position transient shape switch: a slot with a sliding knob
// that stops under each of the three click spots.
void addShapeSwitch(Skin& skin, const Image& panel)
{
    const Rect r = SkinLayout::placement("TransShape").rect;
    const int w = r.width(), h = r.height();
    const Image backdrop = panel.crop(r.left, r.top, w, h);
    const float stops[3] = {10.0f, 43.0f, 76.0f}; // centres of the hot spots, relative to the switch
    Image strip(w, h * 3);
    for (int f = 0; f < 3; ++f)
    {
        Canvas c(backdrop);
        // Slot.
        c.fillRoundRect(3, 7.5f, 83, 14.5f, 3.5f, Colour::rgb(14, 15, 17));
        c.fillRoundRect(4, 8.5f, 82, 13.5f, 2.5f, Theme::kWell);
        // Stop marks in the slot, the chosen one lit.
        for (int i = 0; i < 3; ++i)
            c.fillCircle(stops[i], 11, 1.3f, i == f ? Theme::kAccent : Colour::rgb(60, 64, 70));
        // Thumb.
        const float x = stops[f];
        c.fillRoundRect(x - 8, 3.5f, x + 8, 21.5f, 3, Colour::rgb(0, 0, 0, 0.55f), 2.5f);
        c.fillRoundRect(x - 8, 2, x + 8, 20, 3, Colour::rgb(14, 15, 17));
        c.fillRoundRect(x - 7, 3, x + 7, 19, 2.5f, [](float, float y) {
            return mix(Colour::rgb(112, 116, 123), Colour::rgb(56, 59, 64), std::clamp((y - 3) / 16, 0.0f, 1.0f));
        });
        for (float gy : {7.5f, 10.5f, 13.5f})
        {
            c.fillRect(x - 4, gy, x + 4, gy + 1, Colour::rgb(30, 31, 34, 0.8f));
            c.fillRect(x - 4, gy + 1, x + 4, gy + 2, Colour::rgb(255, 255, 255, 0.12f));
        }
        c.fillRect(x - 3, 17, x + 3, 18, Theme::kAccent);
        strip.paste(c.toImage(), 0, f * h);
    }
    skin.push_back({146, 8, 3, std::move(strip)});
}

// The power key: a round button with the power symbol, lit when on.
void addPowerKey(Skin& skin, const Image& panel)
{
    const Rect r = SkinLayout::placement("Power").rect;
    const int w = r.width(), h = r.height();
    const Image backdrop = panel.crop(r.left, r.top, w, h);
    Image strip(w, h * 2);
    for (int f = 0; f < 2; ++f)
    {
        Canvas c(backdrop);
        const float cx = w * 0.5f, cy = h * 0.5f, rad = 15.5f;
        c.fillCircle(cx, cy + 1.2f, rad, Colour::rgb(0, 0, 0, 0.5f), 2.5f);
        c.fillCircle(cx, cy, rad, Colour::rgb(14, 15, 17));
        c.fillCircle(cx, cy, rad - 1.2f, [=](float, float y) {
            return mix(Colour::rgb(82, 86, 92), Colour::rgb(40, 42, 46),
                       std::clamp((y - cy + rad) / (2 * rad), 0.0f, 1.0f));
        });
        const Colour ink = f ? Theme::kAccent : Colour::rgb(118, 124, 130);
        if (f)
            c.fillCircle(cx, cy, 10, Theme::kAccent.withAlpha(0.25f), 6.0f);
        c.arc(
            cx, cy, 6.5f, 2.0f, 0.6f, 2 * 3.14159265f - 0.6f, [ink](float, float) { return ink; }, true);
        c.line(cx, cy - 9.0f, cx, cy - 2.5f, 2.0f, ink);
        strip.paste(c.toImage(), 0, f * h);
    }
    skin.push_back({149, 8, 2, std::move(strip)});
}
} // namespace

void addButtons(Skin& skin, const Image& panel)
{
    addKeyStrip(skin, panel, 139, "DetectorOrder", {{"I", Look::Off}, {"II", Look::On}});
    addKeyStrip(skin, panel, 140, "Oversample", {{"ON", Look::Off}, {"ON", Look::On}});
    addKeyStrip(skin, panel, 162, "Quantize", {{"ON", Look::Off}, {"ON", Look::On}});
    addKeyStrip(skin, panel, 163, "Autoblack", {{"AUTO", Look::Off}, {"AUTO", Look::On}, {"AUTO", Look::Disabled}});
    addKeyStrip(skin, panel, 142, "Bits",
                {{"8", Look::Disabled},
                 {"16", Look::Disabled},
                 {"24", Look::Disabled},
                 {"8", Look::On},
                 {"16", Look::On},
                 {"24", Look::On}});
    addKeyStrip(skin, panel, 143, "NoiseShape",
                {{"OFF", Look::Off},
                 {"A", Look::Disabled},
                 {"B", Look::Disabled},
                 {"C", Look::Disabled},
                 {"A", Look::On},
                 {"B", Look::On},
                 {"C", Look::On}});
    // Pictures 1 to 3 are left, right, both; 4 to 6 their blink partners.
    addKeyStrip(skin, panel, 145, "Calibrate",
                {{"OFF", Look::Off},
                 {"L", Look::Warning},
                 {"R", Look::Warning},
                 {"L+R", Look::Warning},
                 {"L", Look::WarningLit},
                 {"R", Look::WarningLit},
                 {"L+R", Look::WarningLit}});
    addKeyStrip(skin, panel, 144, "AttZoom", {{"12dB", Look::Off}, {"12dB", Look::On}, {"12dB", Look::Flash}});
    addKeyStrip(skin, panel, 164, "AttShow1", {{"1", Look::Off}, {"1", Look::On}, {"1", Look::Flash}});
    addKeyStrip(skin, panel, 165, "AttShow2", {{"2", Look::Off}, {"2", Look::On}, {"2", Look::Flash}});
    addKeyStrip(skin, panel, 166, "AttShow4", {{"L", Look::Off}, {"L", Look::On}, {"L", Look::Flash}});
    addKeyStrip(skin, panel, 160, "MeterOvs", {{"OVS", Look::Off}, {"OVS", Look::On}, {"OVS", Look::Flash}});
    addKeyStrip(skin, panel, 168, "TruePeakGuard", {{"ON", Look::Off}, {"ON", Look::On}});
    addLedKeyStrip(skin, panel);
    addModeSelector(skin, panel);
    addShapeSwitch(skin, panel);
    addPowerKey(skin, panel);
}
