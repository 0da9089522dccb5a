// The numeric readouts under the meters: the highest input or output peak
// since the last reset (in dBFS, or in dB relative to the K reference in the
// K modes; red above full scale), and the deepest gain reduction.
#pragma once

#include "editor/CTextPrinter.h"
#include "gui/ccontrol.h"

namespace VSTGUI
{
class COffscreenContext;
}

class CMeterLCD : public VSTGUI::CControl, public CTextPrinter2Color
{
public:
    // background is the editor's panel, under the readout at the readout's own position.
    CMeterLCD(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* background,
              VSTGUI::CBitmap* font, VSTGUI::CBitmap* overRangeFont);
    ~CMeterLCD() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    virtual void setLevels(float peakL, float peakR);
    virtual void reset();
    void setMode(int newMode);

    float getMaximum(int channel) const { return maximum[channel]; }
    // The text one box shows for a maximum in dB in the given mode.
    static void formatValue(float maximumDecibels, int mode, char* text);

    static constexpr float kResetValue = -120.0f;
    static constexpr VSTGUI::CColor kBoxColor = {79, 79, 79, 255};
    static constexpr VSTGUI::CColor kOverRangeBoxColor = {229, 53, 5, 255};

private:
    VSTGUI::COffscreenContext* offscreen = nullptr;
    float maximum[2] = {kResetValue, kResetValue};
    int mode = 0;
};

class CMeterLCDGR : public VSTGUI::CControl, public CTextPrinter
{
public:
    CMeterLCDGR(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* background,
                VSTGUI::CBitmap* font);
    ~CMeterLCDGR() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    virtual void setLevels(float gainL, float gainR);
    virtual void reset();

    float getMinimum(int channel) const { return minimum[channel]; }

private:
    VSTGUI::COffscreenContext* offscreen = nullptr;
    float minimum[2] = {0.0f, 0.0f};
};
