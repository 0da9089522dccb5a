// The preset bar's small keys: 991 (load and recall: an arrow out of a
// tray), 992 (save and store: an arrow into a tray), three pictures each
// (normal, hovered, pressed), and 997, the previous/next rocker, five
// pictures (normal, left hovered, right hovered, left pressed, right pressed).
#include "Canvas.h"
#include "Skin.h"
#include "SkinLayout.h"
#include "Theme.h"

namespace
{
constexpr int kFrameHeight = 14;

void paintBarKey(Canvas& c, float x0, float x1, float y0, int state)
{
    // state 0 normal, 1 hovered, 2 pressed
    const Colour top =
        state == 2 ? Colour::rgb(34, 36, 40) : (state == 1 ? Colour::rgb(78, 82, 89) : Theme::kButtonFace);
    const Colour bottom = state == 2 ? Colour::rgb(46, 48, 53) : Theme::kButtonFaceLow;
    c.fillRoundRect(x0, y0, x1, y0 + kFrameHeight, 3.0f, Colour::rgb(14, 15, 17));
    c.fillRoundRect(x0 + 1, y0 + 1, x1 - 1, y0 + kFrameHeight - 1, 2.2f,
                    [=](float, float y) { return mix(top, bottom, std::clamp((y - y0) / kFrameHeight, 0.0f, 1.0f)); });
    if (state != 2)
        c.fillRect(x0 + 2, y0 + 1, x1 - 2, y0 + 2, Colour::rgb(255, 255, 255, 0.10f));
}

Colour glyphInk(int state)
{
    return state == 0 ? Theme::kLabel : (state == 1 ? Colour::rgb(226, 236, 242) : Theme::kAccent);
}

// A tray with an arrow going in (save) or coming out (load).
void paintTrayIcon(Canvas& c, float cx, float y0, bool intoTray, const Colour& ink)
{
    const float base = y0 + 10.5f;
    c.strokeSegments({cx - 4, base - 2.5f, cx - 4, base, cx - 4, base, cx + 4, base, cx + 4, base, cx + 4, base - 2.5f},
                     1.0f, ink);
    const float top = y0 + 3.0f, tip = y0 + 8.0f;
    if (intoTray)
        c.strokeSegments({cx, top, cx, tip, cx - 2.5f, tip - 2.5f, cx, tip, cx + 2.5f, tip - 2.5f, cx, tip}, 1.2f, ink);
    else
        c.strokeSegments({cx, tip, cx, top, cx - 2.5f, top + 2.5f, cx, top, cx + 2.5f, top + 2.5f, cx, top}, 1.2f, ink);
}

Image trayKeyStrip(const Image& panel, const char* placementName, bool intoTray)
{
    const Rect r = SkinLayout::placement(placementName).rect;
    const Image backdrop = panel.crop(r.left, r.top, r.width(), kFrameHeight);
    Image strip(r.width(), kFrameHeight * 3);
    for (int state = 0; state < 3; ++state)
    {
        Canvas c(backdrop);
        paintBarKey(c, 0, float(r.width()), 0, state);
        paintTrayIcon(c, r.width() * 0.5f, state == 2 ? 0.5f : 0.0f, intoTray, glyphInk(state));
        strip.paste(c.toImage(), 0, state * kFrameHeight);
    }
    return strip;
}

void paintTriangle(Canvas& c, float cx, float cy, bool pointsLeft, const Colour& ink)
{
    const float d = pointsLeft ? -1.0f : 1.0f;
    for (int i = 0; i < 4; ++i)
    {
        const float x = cx + d * (1.5f - i);
        c.fillRect(x - 0.5f, cy - i - 0.5f, x + 0.5f, cy + i + 0.5f, ink);
    }
}
} // namespace

void addPresetBarButtons(Skin& skin, const Image& panel)
{
    skin.push_back({991, 8, 3, trayKeyStrip(panel, "LoadBank", false)});
    skin.push_back({992, 8, 3, trayKeyStrip(panel, "SaveBank", true)});

    const Rect r = SkinLayout::placement("PresetStep").rect;
    const int w = r.width();
    const Image backdrop = panel.crop(r.left, r.top, w, kFrameHeight);
    Image strip(w, kFrameHeight * 5);
    // Per picture: the state of the left and the right half.
    const int states[5][2] = {{0, 0}, {1, 0}, {0, 1}, {2, 0}, {0, 2}};
    for (int f = 0; f < 5; ++f)
    {
        Canvas c(backdrop);
        const float mid = w / 2.0f;
        paintBarKey(c, 0, mid + 0.5f, 0, states[f][0]);
        paintBarKey(c, mid - 0.5f, float(w), 0, states[f][1]);
        c.fillRect(mid - 0.5f, 1, mid + 0.5f, kFrameHeight - 1, Colour::rgb(14, 15, 17));
        paintTriangle(c, mid * 0.5f, 7.0f + (states[f][0] == 2 ? 0.5f : 0), true, glyphInk(states[f][0]));
        paintTriangle(c, mid * 1.5f, 7.0f + (states[f][1] == 2 ? 0.5f : 0), false, glyphInk(states[f][1]));
        strip.paste(c.toImage(), 0, f * kFrameHeight);
    }
    skin.push_back({997, 8, 5, strip});
}
