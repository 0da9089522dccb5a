// Resource 128: the editor's whole face. Everything that does not move is
// painted here: plates, meter wells, the bezels of the readouts and entry
// fields, and the silkscreen labels placed by the controls' rectangles.
// Areas under controls are kept flat so the 8-bit control pictures, which
// carry a copy of the panel behind them, meet it without seams.
#include "Canvas.h"
#include "PixelFont.h"
#include "Skin.h"
#include "SkinLayout.h"
#include "StrokeFont.h"
#include "Theme.h"

#include <string>

namespace
{
using SkinLayout::placement;

void recess(Canvas& c, float x0, float y0, float x1, float y1, float radius, const Colour& fill)
{
    // A well cut into the panel: dark lip above, a faint highlight below.
    c.fillRoundRect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, radius + 1, Theme::kEdgeLight.withAlpha(0.55f));
    c.fillRoundRect(x0 - 1, y0 - 1, x1 + 1, y1, radius + 1, Theme::kGroove);
    c.fillRoundRect(x0, y0, x1, y1, radius, fill);
}

void plate(Canvas& c, float x0, float y0, float x1, float y1)
{
    // A raised plate: soft shadow, light top edge, flat face.
    c.fillRoundRect(x0, y0 + 2, x1, y1 + 2, 7, Colour::rgb(0, 0, 0, 0.35f), 4.0f);
    c.fillRoundRect(x0, y0, x1, y1, 6, Theme::kEdgeLight);
    c.fillRoundRect(x0, y0 + 1, x1, y1, 6, Colour::rgb(30, 31, 34));
    c.fillRoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, Theme::kPlate);
}

void screw(Canvas& c, float cx, float cy)
{
    c.fillCircle(cx, cy + 0.6f, 3.4f, Colour::rgb(0, 0, 0, 0.5f), 1.5f);
    c.fillCircle(cx, cy, 3.0f, [cx, cy](float x, float y) {
        const float t = std::clamp(((x - cx) + (y - cy)) / 6.0f + 0.5f, 0.0f, 1.0f);
        return mix(Colour::rgb(120, 124, 130), Colour::rgb(48, 50, 54), t);
    });
    c.line(cx - 1.8f, cy + 1.8f, cx + 1.8f, cy - 1.8f, 1.0f, Colour::rgb(30, 31, 34));
}

void labelAbove(Canvas& c, const Rect& r, const std::string& text, int gap = 10)
{
    PixelFont::drawEngravedCentred(c, int(r.centreX() + 0.5f), r.top - gap, text, Theme::kLabel);
}

void knobLabels(Canvas& c, const char* name, const std::string& title, const std::string& minText,
                const std::string& maxText, int titleGap = 12, int endLabelsY = -1)
{
    const Rect r = placement(name).rect;
    labelAbove(c, r, title, titleGap);
    const int y = endLabelsY >= 0 ? endLabelsY : int(r.centreY() + r.height() * 0.30f);
    PixelFont::drawEngraved(c, r.left - 2 - PixelFont::proportionalWidth(minText), y, minText, Theme::kLabelDim);
    PixelFont::drawEngraved(c, r.right + 2, y, maxText, Theme::kLabelDim);
}

// Drive and Output: the title halfway between the entry field above and the
// (lowered) knob; the end labels clear of the POST and AUTO keys beside the
// knobs' feet.
constexpr int kLowKnobTitleGap = 9;
constexpr int kLowKnobEndLabelsY = 396;

void entryWindow(Canvas& c, const Rect& field, const Colour& back)
{
    // The printed value's glyphs sit on the field's bottom edge; the window is
    // centred on them rather than on the control's rectangle.
    recess(c, float(field.left + 1), float(field.bottom - 10), float(field.right - 1), float(field.bottom + 2), 2,
           back);
}

void readoutBezel(Canvas& c, const Rect& r)
{
    recess(c, float(r.left - 2), float(r.top - 2), float(r.right + 2), float(r.bottom + 2), 3, Theme::kWell);
}

void header(Canvas& c)
{
    c.fillRect(0, 0, SkinLayout::kEditorWidth, 24,
               [](float, float y) { return mix(Colour::rgb(36, 38, 41), Colour::rgb(28, 29, 32), y / 24.0f); });
    c.fillRect(0, 24, SkinLayout::kEditorWidth, 25, Colour::rgb(18, 19, 21));
    c.fillRect(0, 25, SkinLayout::kEditorWidth, 26, Theme::kEdgeLight.withAlpha(0.5f));
    StrokeFont::drawEngraved(c, 16, 7.5f, "QDX", 9, 1.6f, 2.2f, Theme::kAccent);
    StrokeFont::drawEngraved(c, 16 + StrokeFont::width("QDX", 9, 2.2f) + 7, 7.5f, "ZELVO", 9, 1.6f, 2.2f,
                             Theme::kHeading);
    const std::string subtitle = "FULL BAND PRECISION LIMITER";
    PixelFont::drawEngraved(c, SkinLayout::kEditorWidth - 16 - PixelFont::proportionalWidth(subtitle, 2), 9, subtitle,
                            Theme::kLabelDim, 2);
}

void presetBar(Canvas& c)
{
    const Rect bar = SkinLayout::kPresetBar;
    c.fillRect(0, float(bar.top - 2), float(bar.right), float(bar.top - 1), Colour::rgb(18, 19, 21));
    c.fillRect(0, float(bar.top - 1), float(bar.right), float(bar.bottom), Colour::rgb(28, 29, 32));
    c.fillRect(0, float(bar.top - 1), float(bar.right), float(bar.top), Theme::kEdgeLight.withAlpha(0.35f));

    // The name is printed on the field's bottom row (its baseline); the well
    // is set around the printed letters, as the entry fields' windows are,
    // down to the editor's edge, rather than over the field's rectangle.
    const Rect name = SkinLayout::kNameField;
    recess(c, float(name.left), float(name.bottom - 10), float(name.right), float(name.bottom + 1), 2,
           Theme::kNameFieldBack);
    // The menu control draws nothing: its place shows this drop-down arrow.
    const Rect menu = SkinLayout::kPresetMenu;
    c.fillRoundRect(float(menu.left), float(menu.top + 1), float(menu.right), float(menu.bottom), 2,
                    Theme::kButtonFace);
    const float mx = menu.centreX(), my = menu.centreY() + 0.5f;
    c.strokeSegments({mx - 3, my - 1.5f, mx, my + 1.5f, mx, my + 1.5f, mx + 3, my - 1.5f}, 1.3f, Theme::kLabel);

    const int textY = bar.top + 3;
    auto between = [&](const char* leftName, const char* rightName, const std::string& text) {
        const float centre = (placement(leftName).rect.right + placement(rightName).rect.left) * 0.5f;
        PixelFont::drawEngravedCentred(c, int(centre + 0.5f), textY, text, Theme::kLabelDim);
    };
    between("SaveBank", "LoadBank", "BANK");
    between("SavePreset", "LoadPreset", "PRESET");
    between("StoreA", "RecallA", "A");
    between("StoreB", "RecallB", "B");
}
} // namespace

Image paintBackgroundPanel()
{
    Canvas c(SkinLayout::kEditorWidth, SkinLayout::kEditorHeight, Theme::kPanel);
    header(c);

    // Three plates: the limiter controls, the metering keys, the output stage.
    plate(c, 30, 29, 140, 440);
    plate(c, 213, 215, 314, 440);
    plate(c, 386, 29, 496, 440);
    for (float x : {9.0f, 515.0f})
        for (float y : {40.0f, 430.0f})
            screw(c, x, y);

    // Meter wells; the meters draw only their bars and scales into them.
    recess(c, 145, 35, 209, 410, 4, Theme::kWell);
    recess(c, 317, 35, 381, 410, 4, Theme::kWell);
    recess(c, 231, 37, 293, 194, 3, Theme::kWell);
    // Channel marks under the bars, in the strip of the well below their foot.
    for (const Rect* bars : {SkinLayout::kInputBars, SkinLayout::kOutputBars})
        for (int ch = 0; ch < 2; ++ch)
            PixelFont::draw(c, int(bars[ch].centreX()) - 2, SkinLayout::kBarBottom + 1, ch ? "R" : "L",
                            Theme::kLabelDim);
    PixelFont::drawEngravedCentred(c, 177, 27, "INPUT", Theme::kLabel);
    PixelFont::drawEngravedCentred(c, 349, 27, "OUTPUT", Theme::kLabel);
    PixelFont::drawEngravedCentred(c, 262, 27, "REDUCTION", Theme::kLabel);

    readoutBezel(c, SkinLayout::kInputReadout);
    readoutBezel(c, SkinLayout::kOutputReadout);
    readoutBezel(c, SkinLayout::kReductionReadout);

    // Limiter column.
    labelAbove(c, placement("DetectorOrder").rect, "ORDER");
    labelAbove(c, placement("Oversample").rect, "OVS");
    labelAbove(c, placement("TruePeakGuard").rect, "TP GUARD");
    {
        const Rect s = placement("TransShape").rect;
        PixelFont::drawEngravedCentred(c, int(s.centreX()), s.top - 24, "SHAPE", Theme::kLabel);
        const char* names[3] = {"HARD", "MED", "SOFT"};
        const int centres[3] = {48, 81, 114};
        for (int i = 0; i < 3; ++i)
            PixelFont::drawEngravedCentred(c, centres[i], s.top - 11, names[i], Theme::kLabelDim);
    }
    knobLabels(c, "Transient", "TRANSIENT", "0", "100");
    knobLabels(c, "Release", "RELEASE", "1", "1k");
    knobLabels(c, "Drive", "DRIVE", "-24", "+24", kLowKnobTitleGap, kLowKnobEndLabelsY);
    labelAbove(c, placement("PostMeter").rect, "POST", 10);

    // Output column.
    labelAbove(c, placement("Quantize").rect, "DITHER");
    labelAbove(c, placement("Autoblack").rect, "BLACK");
    labelAbove(c, placement("Bits").rect, "BITS");
    labelAbove(c, placement("NoiseShape").rect, "SHAPING");
    knobLabels(c, "Leveller", "LEVELLER", "-12", "OFF");
    knobLabels(c, "Link", "L/R LINK", "0", "100");
    knobLabels(c, "Output", "OUTPUT", "-12", "0", kLowKnobTitleGap, kLowKnobEndLabelsY);
    labelAbove(c, placement("AutoOut").rect, "AUTO", 10);

    // Metering column.
    {
        // One heading over the three trace keys (1 and 2 on the left, L on the
        // right of the top row), the zoom key captioned on its own.
        const Rect a = placement("AttShow2").rect, b = placement("AttShow4").rect;
        PixelFont::drawEngravedCentred(c, (a.left + b.right) / 2, a.top - 11, "TRACES", Theme::kLabel);
        labelAbove(c, placement("AttZoom").rect, "ZOOM", 10);
    }
    labelAbove(c, placement("MeterMode").rect, "METER", 11);
    labelAbove(c, placement("MeterOvs").rect, "M.OVS", 11);
    labelAbove(c, placement("Calibrate").rect, "CALIB", 11);
    {
        const Rect a = SkinLayout::kAboutButton;
        c.fillRoundRect(float(a.left + 3), float(a.top + 1), float(a.right - 3), float(a.bottom - 4), 4,
                        Theme::kPanelDark);
        c.strokeRoundRect(float(a.left + 3.5f), float(a.top + 1.5f), float(a.right - 3.5f), float(a.bottom - 4.5f), 4,
                          1.0f, Theme::kEdgeLight.withAlpha(0.6f));
        const float w = StrokeFont::width("ZELVO", 9, 2.5f);
        StrokeFont::drawEngraved(c, a.centreX() - w * 0.5f, float(a.top + 6), "ZELVO", 9, 1.5f, 2.5f, Theme::kHeading);
        PixelFont::drawEngravedCentred(c, int(a.centreX()), a.top + 18, "ABOUT", Theme::kLabelDim, 2);
    }

    for (const SkinLayout::Field& f : SkinLayout::kFields)
        entryWindow(c, f.rect, f.font == 159 ? Theme::kDarkFieldBack : Theme::kLightFieldBack);

    presetBar(c);
    return c.toImage();
}
