// The panel's multi-state selectors: each click steps to the next state.
// The requantizer's three (word length, noise shaping, auto-black) show
// dimmed pictures while the requantizer is off; the calibration selector
// blinks while noise is sent to a channel; the speed switch has three fixed hot spots.
#pragma once

#include "gui/ccontrol.h"

#include <cstdint>

// What the three requantizer selectors share: a state stepped by clicks and
// an enabled flag that follows Quantize; each draws its own pictures.
class CRequantizerSelector : public VSTGUI::CControl
{
public:
    CRequantizerSelector(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
                         VSTGUI::CBitmap* bitmap, int states);
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    void setEnabled(float value);
    void setState(float value);
    int getEnabled() const { return enabled; }
    int getState() const { return state; }

protected:
    int enabled = 0;
    int state = 0;

private:
    int states;
};

// The requantizer word length: 8, 16 or 24 bits (6 pictures: 3 dimmed, 3 lit).
class CBits : public CRequantizerSelector
{
public:
    CBits(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);
    void draw(VSTGUI::CDrawContext* context) override;
};

// The noise-shaping curve: off, A, B, C (7 pictures: 4 dimmed or off, 3 lit).
class CNoiseShape : public CRequantizerSelector
{
public:
    CNoiseShape(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);
    void draw(VSTGUI::CDrawContext* context) override;
};

// Fade to digital silence on or off (3 pictures: off, on, on but dimmed).
class CAutoBlack : public CRequantizerSelector
{
public:
    CAutoBlack(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);
    void draw(VSTGUI::CDrawContext* context) override;
};

// Where the calibration noise goes: off, left, both channels uncorrelated,
// right (the pictures of the last two are in the other order), blinking
// every 256 ms while on. The noise's level follows the meter scale.
class CCalibButton : public VSTGUI::CControl
{
public:
    CCalibButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);
    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    void setTicks(uint32_t now);
    // The picture shown for a state and the ticks since the last click.
    static int pictureFor(int state, uint32_t sinceClick);

    static constexpr int kPictureHeight = 19;

private:
    uint32_t ticks = 0;
    uint32_t clickTicks = 0;
};

// The transient smoother's window length: three positions with hot spots
// fixed for its place on the panel.
class CSpeedSwitch : public VSTGUI::CControl
{
public:
    CSpeedSwitch(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap);
    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    // The position a click at this frame point selects, or -1.
    static int positionAt(const VSTGUI::CPoint& where);

    static constexpr int kPictureHeight = 25;
};
