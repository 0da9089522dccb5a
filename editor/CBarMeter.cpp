#include "editor/CBarMeter.h"

#include "editor/MeterScale.h"
#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

using namespace VSTGUI;

namespace
{

// The K-mode bitmaps' row for the bar bottom, per K mode, so that the K
// reference level lands on row 144 whichever scale is shown.
int kBottomRow(int mode)
{
    switch (mode)
    {
    case kMeterK12: return 432;
    case kMeterK14: return 420;
    default: return 384;
    }
}

constexpr int kPeakLitBottomRow = 408;
constexpr int kPeakUnlitTopRow = 48;
constexpr int kMarkerHeight = 3;

} // namespace

CBarMeter::CBarMeter(const CRect& size, CControlListener* listener, long tag, CBitmap* const bitmapList[8],
                     const Placement& placement)
    : CControl(size, listener, tag, nullptr),
      placement(placement)
{
    for (int i = 0; i < kBitmapCount; ++i)
    {
        bitmaps[i] = bitmapList[i];
        if (bitmaps[i])
            bitmaps[i]->remember();
    }
}

CBarMeter::~CBarMeter()
{
    for (CBitmap* bitmap : bitmaps)
        if (bitmap)
            bitmap->forget();
}

void CBarMeter::setLevels(uint32_t ticks, float peakL, float peakR, float rmsL, float rmsR)
{
    newTicks = ticks;
    const float peaks[2] = {peakL, peakR};
    const float levels[2] = {rmsL, rmsR};
    for (int c = 0; c < 2; ++c)
    {
        float p = meterscale::toBarDecibels(peaks[c]);
        peak[c] = p > 20.0f ? 20.0f : p;
        rms[c] = meterscale::toBarDecibels(levels[c]);
    }
    setDirty(true);
}

void CBarMeter::setMode(int newMode)
{
    mode = newMode;
    setDirty(true);
}

void CBarMeter::reset()
{
    for (int c = 0; c < 2; ++c)
        peak[c] = rms[c] = held[c] = kFloor;
    setDirty(true);
}

void CBarMeter::drawBar(CDrawContext* context, int x, int length, CBitmap* lit, int litRow, CBitmap* unlit,
                        int unlitRow)
{
    const int top = kBarBottomY - length;
    if (lit && length > 0)
        lit->draw(context, CRect(x, top, x + kBarWidth, kBarBottomY), CPoint(0, litRow));
    if (unlit && top > kBarTopY)
        unlit->draw(context, CRect(x, kBarTopY, x + kBarWidth, top), CPoint(0, unlitRow));
}

void CBarMeter::draw(CDrawContext* context)
{
    const int32_t elapsed = static_cast<int32_t>(newTicks - lastTicks);
    lastTicks = newTicks;
    for (int c = 0; c < 2; ++c)
    {
        hold[c] -= elapsed;
        if (hold[c] <= 0)
        {
            held[c] -= static_cast<float>(-hold[c]) * kFallPerSecond / 1000.0f;
            if (held[c] < kFloor)
                held[c] = kFloor;
            hold[c] = 0;
        }
        if (peak[c] > held[c])
        {
            held[c] = peak[c];
            hold[c] = kHoldMs;
        }
    }

    const int barX[2] = {placement.leftBarX, placement.rightBarX};
    if (mode == kMeterPeak)
    {
        if (bitmaps[kScaleK12])
            bitmaps[kScaleK12]->draw(context, placement.scale);
        for (int c = 0; c < 2; ++c)
        {
            const int n = meterscale::barLength(held[c], meterscale::kPeakRangeBottom);
            drawBar(context, barX[c], n, bitmaps[kPeakLit], kPeakLitBottomRow - n, bitmaps[kPeakUnlit],
                    kPeakUnlitTopRow);
        }
    }
    else if (mode >= kMeterK12 && mode <= kMeterK20)
    {
        CBitmap* scale =
            mode == kMeterK12 ? bitmaps[kScaleK12] : (mode == kMeterK14 ? bitmaps[kScaleK14] : bitmaps[kScaleK20]);
        if (scale)
            scale->draw(context, placement.scale);
        const int bottomRow = kBottomRow(mode);
        for (int c = 0; c < 2; ++c)
        {
            const int n = meterscale::barLength(rms[c], meterscale::kKRangeBottom);
            drawBar(context, barX[c], n, bitmaps[kKLit], bottomRow - n, bitmaps[kKUnlit],
                    bottomRow - meterscale::kMaxBarLength);
        }
        for (int c = 0; c < 2; ++c)
        {
            const int m = meterscale::barLength(held[c], meterscale::kKRangeBottom);
            if (m > 2 && bitmaps[kKLit])
            {
                const int top = kBarBottomY - m;
                bitmaps[kKLit]->draw(context, CRect(barX[c], top, barX[c] + kBarWidth, top + kMarkerHeight),
                                     CPoint(0, bottomRow - m));
            }
        }
    }
    setDirty(false);
}

void CBarMeter::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton) || !listener)
        return;
    doIdleStuff();
    listener->valueChanged(context, this);
}

namespace
{
// The two bars' columns and the scale between them, as the panel lays them out.
CBarMeter::Placement placementOf(const PanelLayout::Rect (&bars)[2], const PanelLayout::Rect& scale)
{
    return CBarMeter::Placement{bars[0].left, bars[1].left, CRect(scale.left, scale.top, scale.right, scale.bottom)};
}
} // namespace

CMeterIn::CMeterIn(const CRect& size, CControlListener* listener, long tag, CBitmap* const bitmaps[8])
    : CBarMeter(size, listener, tag, bitmaps, placementOf(PanelLayout::kInputBars, PanelLayout::kInputScale))
{}

CMeterOut::CMeterOut(const CRect& size, CControlListener* listener, long tag, CBitmap* const bitmaps[8])
    : CBarMeter(size, listener, tag, bitmaps, placementOf(PanelLayout::kOutputBars, PanelLayout::kOutputScale))
{}
