// The input and output level meters: two vertical bars with a scale between
// them, in peak mode (held peaks on a -48..+12 dB scale) or in one of the
// three K modes (levels on a -60..0 dBFS scale with the K reference at the
// bitmaps' row 144, and a three-pixel marker at the held peak).
#pragma once

#include "gui/ccontrol.h"
#include "resources/PanelLayout.h"

#include <cstdint>

// Display modes of the bar meters and the peak readouts.
enum MeterMode
{
    kMeterPeak = 0,
    kMeterK12 = 1,
    kMeterK14 = 2,
    kMeterK20 = 3,
};

class CBarMeter : public VSTGUI::CControl
{
public:
    // Where the meter draws, in editor coordinates, independent of its rectangle.
    struct Placement
    {
        int leftBarX;
        int rightBarX;
        VSTGUI::CRect scale;
    };

    // Bitmaps in this order: editor background, peak-mode unlit bar, peak-mode
    // lit bar, K-20 scale, K-14 scale, K-12/peak scale, K-mode unlit bar,
    // K-mode lit bar. Each is remembered.
    CBarMeter(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
              VSTGUI::CBitmap* const bitmaps[8], const Placement& placement);
    ~CBarMeter() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    virtual void setLevels(uint32_t ticks, float peakL, float peakR, float rmsL, float rmsR);
    virtual void setMode(int newMode);
    virtual void reset();

    int getMode() const { return mode; }
    float getHeld(int channel) const { return held[channel]; }

    static constexpr int kBarBottomY = PanelLayout::kBarBottom; // bars grow upwards from here
    static constexpr int kBarTopY = PanelLayout::kBarTop;
    static constexpr int kBarWidth = PanelLayout::kBarWidth;
    static constexpr float kFallPerSecond = 8.66f;
    static constexpr int kHoldMs = 50;
    static constexpr float kFloor = -122.0f;

private:
    enum BitmapSlot
    {
        kBackground,
        kPeakUnlit,
        kPeakLit,
        kScaleK20,
        kScaleK14,
        kScaleK12,
        kKUnlit,
        kKLit,
        kBitmapCount
    };
    void drawBar(VSTGUI::CDrawContext* context, int x, int length, VSTGUI::CBitmap* lit, int litRow,
                 VSTGUI::CBitmap* unlit, int unlitRow);

    VSTGUI::CBitmap* bitmaps[kBitmapCount];
    Placement placement;
    uint32_t lastTicks = 0;
    uint32_t newTicks = 0;
    int32_t hold[2] = {kHoldMs, kHoldMs};
    float peak[2] = {-121.0f, -121.0f};
    float rms[2] = {-121.0f, -121.0f};
    float held[2] = {-121.0f, -121.0f};
    int mode = kMeterPeak;
};

class CMeterIn : public CBarMeter
{
public:
    CMeterIn(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
             VSTGUI::CBitmap* const bitmaps[8]);
};

class CMeterOut : public CBarMeter
{
public:
    CMeterOut(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
              VSTGUI::CBitmap* const bitmaps[8]);
};
