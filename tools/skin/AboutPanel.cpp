// Resource 157: the about panel, 438 x 136, blended over the editor at
// about 80 % opacity. Its upper part stays plain: the panel prints four
// lines of text there (baselines 15, 29, 43 and 57 pixels from its top) in
// the dark glyphs of the entry fields. The lower part carries the product
// mark.
#include "Canvas.h"
#include "PixelFont.h"
#include "Skin.h"
#include "StrokeFont.h"
#include "Theme.h"

#include <cmath>

void addAboutPanel(Skin& skin)
{
    const int w = 438, h = 136;
    // Corners in the panel colour, so the blend shows rounded corners.
    Canvas c(w, h, Theme::kPanel);
    c.fillRoundRect(0, 0, float(w), float(h), 7, Colour::rgb(120, 126, 132));
    c.fillRoundRect(1, 1, float(w - 1), float(h - 1), 6, [](float, float y) {
        return mix(Colour::rgb(222, 227, 230), Colour::rgb(196, 202, 206), y / float(h));
    });
    // A hairline under the text block.
    c.fillRect(12, 66, float(w - 12), 67, Colour::rgb(150, 156, 162));
    c.fillRect(12, 67, float(w - 12), 68, Colour::rgb(240, 244, 246));

    // Product mark: a limiter's transfer curve beside the name.
    const float gx = 22, gy = 78, gs = 44;
    c.fillRoundRect(gx - 1, gy - 1, gx + gs + 1, gy + gs + 1, 4, Colour::rgb(44, 46, 50));
    c.fillRoundRect(gx, gy, gx + gs, gy + gs, 3, Colour::rgb(30, 31, 34));
    for (int i = 1; i < 4; ++i)
    {
        const float t = gx + gs * i / 4.0f;
        c.fillRect(t, gy + 2, t + 1, gy + gs - 2, Colour::rgb(60, 63, 68));
        const float u = gy + gs * i / 4.0f;
        c.fillRect(gx + 2, u, gx + gs - 2, u + 1, Colour::rgb(60, 63, 68));
    }
    std::vector<float> curve;
    float px = 0, py = 0;
    for (int i = 0; i <= 40; ++i)
    {
        const float in = i / 40.0f;
        // Linear up to the knee, then a soft bend into the ceiling.
        const float knee = 0.62f;
        float out = in;
        if (in > knee - 0.12f)
        {
            const float t = std::min(1.0f, (in - (knee - 0.12f)) / 0.5f);
            out = (knee - 0.12f) + (in - (knee - 0.12f)) * (1 - t * 0.85f);
        }
        out = std::min(out, 0.78f);
        const float x = gx + 4 + in * (gs - 8), y = gy + gs - 4 - out * (gs - 8);
        if (i > 0)
            curve.insert(curve.end(), {px, py, x, y});
        px = x;
        py = y;
    }
    c.strokeSegments(curve, 2.0f, Theme::kAccent);

    StrokeFont::draw(c, 82, 82, "QDX ZELVO", 18, 2.8f, 4.0f, Colour::rgb(30, 34, 38));
    PixelFont::draw(c, 83, 108, "FULL BAND PRECISION LIMITER", Colour::rgb(56, 62, 68), 2);
    skin.push_back({157, 8, 1, c.toImage()});
}
