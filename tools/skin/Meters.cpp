// The meters' pictures: LED bars (lit and unlit, one pair ruled for the peak
// scale and one for the K scales), the scales printed between the bars, and
// the gain-reduction meter's bar and its two backgrounds (24 and 12 dB).
//
// The bar meters copy rows of these bitmaps to fixed screen rows, so each
// row here stands for a fixed level. Peak bars: row r is screen row r - 6,
// 0 dBFS at row 120, +12 at row 48, -48 at row 408. K bars: row 144 is the
// K reference (0 on the K scale) whichever K scale is shown, 6 rows per dB.
#include "Canvas.h"
#include "PixelFont.h"
#include "Skin.h"
#include "SkinLayout.h"
#include "Theme.h"

#include <cmath>
#include <string>
#include <utility>

namespace
{
constexpr int kBarWidth = 15;
constexpr int kBarHeight = 432;
constexpr int kScaleWidth = 27;
constexpr int kScaleHeight = 367;

// LED segments: two rows lit, one dark, counted from the bars' foot so lit
// and unlit pictures and all scale offsets share the same ruling.
bool isSegmentGap(int distanceFromFoot) { return distanceFromFoot % 3 == 2; }

Colour zoneColour(float db, float yellowFrom, float redFrom)
{
    if (db > redFrom)
        return Theme::kMeterRed;
    if (db > yellowFrom)
        return Theme::kMeterYellow;
    return Theme::kMeterGreen;
}

// One LED cell: brighter along the middle, darker at the sides.
Colour ledShade(const Colour& base, int column, bool lit)
{
    const float x = (column - 7.0f) / 6.0f;
    if (lit)
        return mix(base, Colour::rgb(255, 255, 255), std::max(0.0f, 0.22f - 0.3f * x * x));
    const Colour dark = mix(Theme::kWell, base, 0.16f);
    return mix(dark, Colour::rgb(0, 0, 0), 0.25f * x * x);
}

// A bar picture: levelOfRow gives the level each row stands for.
template <typename LevelOfRow>
Image paintBar(bool lit, int footRow, LevelOfRow levelOfRow, float yellowFrom, float redFrom)
{
    Image img(kBarWidth, kBarHeight);
    for (int y = 0; y < kBarHeight; ++y)
    {
        const int fromFoot = footRow - y;
        const Colour zone = zoneColour(levelOfRow(y), yellowFrom, redFrom);
        for (int x = 0; x < kBarWidth; ++x)
        {
            Colour c = Theme::kWell;
            if (x >= 1 && x <= 13)
                c = isSegmentGap(((fromFoot % 3) + 3) % 3) ? mix(Theme::kWell, zone, lit ? 0.12f : 0.03f)
                                                           : ledShade(zone, x, lit);
            img.at(x, y) = c.toPixel();
        }
    }
    return img;
}

// Empty columns kept between a scale number and the ticks beside it.
constexpr int kTickClearance = 3;

// A scale number centred on centreX with the top of its cells at y: the sign
// of negative numbers is a 3-pixel dash (the font's minus is as wide as a
// digit and would run into the ticks). Returns the columns the text covers,
// first and one past the last.
std::pair<int, int> drawScaleNumber(Canvas& c, float centreX, int y, int level, const Colour& ink)
{
    const std::string digits = std::to_string(level < 0 ? -level : level);
    std::string text = level > 0 ? "+" + digits : digits;
    const int dash = level < 0 ? 3 + 1 : 0;
    const int w = dash + PixelFont::proportionalWidth(text);
    const int x = int(std::floor(centreX - w * 0.5f + 0.5f));
    if (dash)
        c.fillRect(float(x), float(y + 3), float(x + 3), float(y + 4), ink);
    PixelFont::draw(c, x + dash, y, text, ink);
    return {x, x + w};
}

// A scale: numbers every 4 dB, a tick every 2 dB, and the scale's zero marked
// with an accent arrow on both sides. zeroScreenY is the screen row of 0.
Image paintScale(const Image& panel, const Rect& scaleRect, int zeroScreenY, int top, int bottom, bool kScale)
{
    Canvas c(panel.crop(scaleRect.left, scaleRect.top, kScaleWidth, kScaleHeight));
    // The input scale's first column lies under the left bar; ticks start
    // where the scale is seen.
    const bool input = scaleRect.left == SkinLayout::kInputScale.left;
    const float left = input ? 1.0f : 0.0f;
    const float right = float(kScaleWidth);
    const float centre = (left + right) * 0.5f;
    for (int level = bottom; level <= top; ++level)
    {
        const int screenY = zeroScreenY - level * SkinLayout::kPixelsPerDb;
        if (screenY < SkinLayout::kBarTop || screenY > SkinLayout::kBarBottom)
            continue;
        const float y = float(screenY - scaleRect.top);
        const bool major = level % 4 == 0;
        if (level % 2 != 0)
            continue;
        float leftEnd = left + 2.0f;
        float rightStart = right - 2.0f;
        if (major)
        {
            // The number's sign and the ticks share a row: a short minus and
            // ticks kept clear of the text, so "-20" does not read "--20-".
            const auto [textX0, textX1] = drawScaleNumber(c, centre, std::min(int(y) - 3, kScaleHeight - 8), level,
                                                          level == 0 ? Theme::kHeading : Theme::kLabel);
            leftEnd = std::min(leftEnd, float(textX0 - kTickClearance));
            rightStart = std::max(rightStart, float(textX1 + kTickClearance));
        }
        const Colour tick = level > (kScale ? 4 : 0) ? Theme::kMeterRed.withAlpha(0.8f) : Theme::kLabelDim;
        if (leftEnd > left)
            c.fillRect(left, y, leftEnd, y + 1, tick);
        if (rightStart < right)
            c.fillRect(rightStart, y, right, y + 1, tick);
    }
    // The reference level: small arrows pointing at both bars.
    const float zy = float(zeroScreenY - scaleRect.top) + 0.5f;
    c.strokeSegments({left, zy - 2.5f, left + 2.5f, zy, left + 2.5f, zy, left, zy + 2.5f}, 1.0f, Theme::kAccent);
    c.strokeSegments({right, zy - 2.5f, right - 2.5f, zy, right - 2.5f, zy, right, zy + 2.5f}, 1.0f, Theme::kAccent);
    return c.toImage();
}

// Gain-reduction background: unlit bars and the scale, for 6 or 12 pixels
// per dB.
void paintReductionBackground(Canvas& c, int y0, int pixelsPerDb, int labelStep)
{
    const Rect m = SkinLayout::kReductionMeter;
    const int h = m.height();
    c.fillRect(0, float(y0), float(m.width()), float(y0 + h), Theme::kWell);
    for (const Rect& bar : SkinLayout::kReductionBars)
        for (int y = 0; y < bar.height(); ++y)
            for (int x = 0; x < kBarWidth; ++x)
            {
                const int rx = bar.left - m.left + x;
                const int ry = bar.top - m.top + y + y0;
                const Colour cell = isSegmentGap(y % 3) ? Theme::kWell : ledShade(Theme::kMeterAmber, x, false);
                if (x >= 1 && x <= 13)
                    c.set(rx, ry, cell);
            }
    const float left = float(SkinLayout::kReductionBars[0].right - m.left);
    const float right = float(SkinLayout::kReductionBars[1].left - m.left);
    const float centre = (left + right) * 0.5f;
    const int maxDb = 144 / pixelsPerDb;
    for (int db = 0; db <= maxDb; ++db)
    {
        const float y = float(SkinLayout::kBarTop - m.top + db * pixelsPerDb + y0);
        const bool major = db % labelStep == 0;
        const float len = major ? 3.0f : 1.5f;
        float leftEnd = left + 1 + len;
        float rightStart = right - 1 - len;
        if (major)
        {
            const auto [textX0, textX1] = drawScaleNumber(c, centre, std::max(int(y) - 3, y0 + 1), -db, Theme::kLabel);
            leftEnd = std::min(leftEnd, float(textX0 - kTickClearance));
            rightStart = std::max(rightStart, float(textX1 + kTickClearance));
        }
        if (leftEnd > left + 1)
            c.fillRect(left + 1, y, leftEnd, y + 1, Theme::kLabelDim);
        if (rightStart < right - 1)
            c.fillRect(rightStart, y, right - 1, y + 1, Theme::kLabelDim);
    }
}
} // namespace

void addMeterBitmaps(Skin& skin, const Image& panel)
{
    // Peak bars: row r is the level (408 - r) / 6 - 48 dBFS.
    auto peakLevel = [](int row) {
        return (408 - row - 0.5f) / 6.0f - 48.0f;
    };
    // K bars: row r is (144 - r) / 6 on the K scale.
    auto kLevel = [](int row) {
        return (144 - row + 0.5f) / 6.0f;
    };
    skin.push_back({130, 24, 1, paintBar(true, 407, peakLevel, -6.0f, 0.0f)});
    skin.push_back({155, 24, 1, paintBar(false, 407, peakLevel, -6.0f, 0.0f)});
    skin.push_back({154, 24, 1, paintBar(true, 431, kLevel, 0.0f, 4.0f)});
    skin.push_back({129, 24, 1, paintBar(false, 431, kLevel, 0.0f, 4.0f)});

    // Scales: 0 on screen row 114 for peak and K-12, 126 for K-14, 162 for K-20.
    struct ScaleSpec
    {
        int id;
        Rect rect;
        int zeroY, top, bottom;
        bool k;
    };
    const ScaleSpec scales[] = {
        {131, SkinLayout::kInputScale, 162, 20, -40, true},  {132, SkinLayout::kInputScale, 126, 14, -46, true},
        {133, SkinLayout::kInputScale, 114, 12, -48, false}, {134, SkinLayout::kOutputScale, 162, 20, -40, true},
        {135, SkinLayout::kOutputScale, 126, 14, -46, true}, {136, SkinLayout::kOutputScale, 114, 12, -48, false},
    };
    for (const ScaleSpec& s : scales)
        skin.push_back({s.id, 8, 1, paintScale(panel, s.rect, s.zeroY, s.top, s.bottom, s.k)});

    // Gain-reduction bar: drawn from its top rows downwards.
    Image bar(kBarWidth, 203);
    for (int y = 0; y < bar.height; ++y)
        for (int x = 0; x < kBarWidth; ++x)
        {
            Colour c = Theme::kWell;
            if (x >= 1 && x <= 13)
                c = isSegmentGap(y % 3) ? mix(Theme::kWell, Theme::kMeterAmber, 0.12f)
                                        : ledShade(Theme::kMeterAmber, x, true);
            bar.at(x, y) = c.toPixel();
        }
    skin.push_back({156, 24, 1, bar});

    const Rect m = SkinLayout::kReductionMeter;
    Canvas back(m.width(), m.height() * 2, Theme::kWell);
    paintReductionBackground(back, 0, 6, 3);
    paintReductionBackground(back, m.height(), 12, 2);
    skin.push_back({167, 24, 2, back.toImage()});
}
