// The six knobs: 101-frame film strips, frame k showing the value k / 100.
// Each frame is the panel under the knob with the knob painted over it (the
// knob control copies its frame opaquely), a dark cap with a light pointer,
// and a value arc around it on a 270-degree track.
#include "Canvas.h"
#include "Skin.h"
#include "SkinLayout.h"
#include "Theme.h"

#include <cmath>

namespace
{
constexpr int kFrames = 101;
constexpr float kSweep = 2.35619449f; // 135 degrees either side of 12 o'clock

struct KnobStyle
{
    const char* placement;
    int id;
    bool bipolar; // the arc grows from the centre (a value of 0.5 shows no arc)
    int headroom; // pixels left free above the knob for its title
};

void paintKnob(Canvas& c, float cx, float cy, float outer, float value, bool bipolar)
{
    const float arcRadius = outer - 2.5f;
    const float arcWidth = 2.6f;
    const float body = arcRadius - 5.0f;
    const float angle = -kSweep + 2 * kSweep * value;

    // Track and value arc.
    c.arc(
        cx, cy, arcRadius, arcWidth, -kSweep, kSweep, [](float, float) { return Theme::kWell; }, true);
    const float from = bipolar ? 0.0f : -kSweep;
    if (std::fabs(angle - from) > 0.01f)
        c.arc(
            cx, cy, arcRadius, arcWidth - 0.6f, std::min(from, angle), std::max(from, angle),
            [](float, float) { return Theme::kAccent; }, true);

    // Cap: shadow, rim and a face lit from the top left.
    c.fillCircle(cx, cy + 1.5f, body + 0.5f, Colour::rgb(0, 0, 0, 0.6f), 3.0f);
    c.fillCircle(cx, cy, body, [=](float x, float y) {
        const float t = std::clamp(((y - cy) * 0.8f + (x - cx) * 0.3f) / (2 * body) + 0.5f, 0.0f, 1.0f);
        return mix(Colour::rgb(104, 108, 115), Colour::rgb(26, 27, 30), t);
    });
    c.fillCircle(cx, cy, body - 1.6f, [=](float x, float y) {
        const float t = std::clamp(((y - cy) * 0.7f - (x - cx) * 0.1f) / (2 * body) + 0.5f, 0.0f, 1.0f);
        return mix(Colour::rgb(74, 77, 83), Colour::rgb(46, 48, 52), t);
    });

    // A soft sheen along the upper rim, as from a light above the panel.
    c.arc(
        cx, cy, body - 0.9f, 1.1f, -1.9f, 1.9f,
        [=](float x, float) {
            const float t = 1.0f - std::min(1.0f, std::fabs(x - cx) / body);
            return Colour::rgb(255, 255, 255, 0.05f + 0.16f * t);
        },
        false);

    // Pointer: a light line from near the centre to the rim.
    const float sx = std::sin(angle), sy = -std::cos(angle);
    c.line(cx + sx * body * 0.30f, cy + sy * body * 0.30f + 0.6f, cx + sx * (body - 2.5f),
           cy + sy * (body - 2.5f) + 0.6f, 2.4f, Colour::rgb(0, 0, 0, 0.45f));
    c.line(cx + sx * body * 0.30f, cy + sy * body * 0.30f, cx + sx * (body - 2.5f), cy + sy * (body - 2.5f), 2.0f,
           Colour::rgb(236, 240, 244));
}
} // namespace

void addKnobStrips(Skin& skin, const Image& panel)
{
    const KnobStyle knobs[] = {
        // Drive and Output sit close under an entry field: their knobs are a
        // little smaller and lower in their rectangles, to give the title air.
        {"Leveller", 147, false, 0}, {"Link", 148, false, 0},      {"Drive", 150, true, 4},
        {"Output", 151, false, 4},   {"Transient", 152, false, 0}, {"Release", 153, false, 0},
    };
    for (const KnobStyle& k : knobs)
    {
        const SkinLayout::Placement& p = SkinLayout::placement(k.placement);
        const Rect r = p.rect;
        const Image backdrop = panel.crop(r.left, r.top, r.width(), r.height());
        Image strip(r.width(), r.height() * kFrames);
        const float outer = std::min(r.width(), r.height()) * 0.5f - k.headroom * 0.5f;
        for (int f = 0; f < kFrames; ++f)
        {
            Canvas c(backdrop);
            paintKnob(c, r.width() * 0.5f, (r.height() + k.headroom) * 0.5f, outer, f / float(kFrames - 1), k.bipolar);
            strip.paste(c.toImage(), 0, f * r.height());
        }
        skin.push_back({k.id, 8, kFrames, std::move(strip)});
    }
}
