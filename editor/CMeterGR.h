// The gain-reduction meter: two bars growing down from the top, over a 24 dB
// range (6 pixels per dB) or, zoomed, a 12 dB range (12 pixels per dB).
#pragma once

#include "gui/ccontrol.h"
#include "resources/PanelLayout.h"

#include <cstdint>

namespace VSTGUI
{
class COffscreenContext;
}

class CMeterGR : public VSTGUI::CControl
{
public:
    // background holds the two scales stacked: 24 dB range above, 12 dB below.
    CMeterGR(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bar,
             VSTGUI::CBitmap* background);
    ~CMeterGR() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    virtual void setLevels(uint32_t ticks, float gainL, float gainR);
    virtual void reset();
    // Zoom (12 dB range) when the AttZoom value is in its second step.
    void setZoom(float value);

    bool getZoom() const { return zoom; }
    float getHeld(int channel) const { return held[channel]; }
    // Pixels of the bar for a held reduction in dB.
    static int barLength(float heldDecibels, bool zoomed);

    static constexpr int kBarTopY = PanelLayout::kReductionBars[0].top;
    static constexpr int kLeftBarX = PanelLayout::kReductionBars[0].left;
    static constexpr int kRightBarX = PanelLayout::kReductionBars[1].left;
    static constexpr int kBarWidth = PanelLayout::kBarWidth;
    static constexpr int kMaxBarLength = 145;
    static constexpr float kFloor = -30.0f;
    static constexpr float kRisePerSecond = 30.0f;

private:
    VSTGUI::COffscreenContext* offscreen = nullptr;
    VSTGUI::CBitmap* bar;
    uint32_t lastTicks = 0;
    uint32_t newTicks = 0;
    float reduction[2] = {0.0f, 0.0f};
    float held[2] = {0.0f, 0.0f};
    int32_t hold[2] = {10, 10};
    bool zoom = false;
};
