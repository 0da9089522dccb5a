#include "editor/CMeterLCD.h"

#include "editor/CBarMeter.h"
#include "editor/MeterScale.h"
#include "gui/cbitmap.h"
#include "gui/coffscreencontext.h"

#include <cstdio>
#include <cstring>

using namespace VSTGUI;

namespace
{

// Offsets of the K modes: the readout shows dB above the K reference level.
float kOffset(int mode)
{
    switch (mode)
    {
    case kMeterK12: return 12.0f;
    case kMeterK14: return 14.0f;
    case kMeterK20: return 20.0f;
    default: return 0.0f;
    }
}

constexpr int kBoxWidth = 32;
constexpr int kRightBoxX = 60;

// The readouts draw into a buffer of their own, starting from the panel
// under them, and copy the result in one step.
COffscreenContext* prepare(COffscreenContext*& offscreen, CFrame* frame, const CRect& size, CBitmap* background)
{
    if (!offscreen)
        offscreen = new COffscreenContext(frame, size.right, size.bottom);
    if (background)
        background->draw(offscreen, size, CPoint(size.left, size.top));
    return offscreen;
}

void fillBox(CDrawContext* context, const CRect& box, const CColor& color)
{
    const CColor saved = context->getFillColor();
    context->setFillColor(color);
    context->drawRect(box, kDrawFilled);
    context->setFillColor(saved);
}

void resolveButtons(CDrawContext* context, long& buttons)
{
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
}

} // namespace

CMeterLCD::CMeterLCD(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* font,
                     CBitmap* overRangeFont)
    : CControl(size, listener, tag, background),
      CTextPrinter2Color(font, overRangeFont)
{}

CMeterLCD::~CMeterLCD()
{
    if (offscreen)
        offscreen->forget();
}

void CMeterLCD::setLevels(float peakL, float peakR)
{
    const float peaks[2] = {peakL, peakR};
    for (int c = 0; c < 2; ++c)
    {
        const float db = meterscale::toDecibels(peaks[c]);
        if (db > maximum[c])
            maximum[c] = db;
    }
    setDirty(true);
}

void CMeterLCD::reset()
{
    maximum[0] = maximum[1] = kResetValue;
    setDirty(true);
}

void CMeterLCD::setMode(int newMode)
{
    mode = newMode;
    setDirty(true);
}

void CMeterLCD::formatValue(float maximumDecibels, int mode, char* text)
{
    const float shown = maximumDecibels + kOffset(mode);
    if (shown <= -100.0f)
        std::strcpy(text, "-oo");
    else
        std::snprintf(text, 16, "%+2.1f", shown);
}

void CMeterLCD::draw(CDrawContext* context)
{
    CDrawContext* target = prepare(offscreen, getFrame(), size, pBackground);
    const int x0 = size.left;
    const int y1 = size.bottom;
    if (mode == kMeterPeak)
    {
        print(target, CPoint(x0 + 35, y1 - 2), "dBFS");
    }
    else
    {
        print(target, CPoint(x0 + 35, y1 - 2), "    ");
        print(target, CPoint(x0 + 38, y1 - 2), "dBr");
    }
    const int boxX[2] = {0, kRightBoxX};
    for (int c = 0; c < 2; ++c)
    {
        const bool over = maximum[c] > 0.0f;
        fillBox(target, CRect(x0 + boxX[c], y1 - 11, x0 + boxX[c] + kBoxWidth, y1 - 1),
                over ? kOverRangeBoxColor : kBoxColor);
        char text[16];
        formatValue(maximum[c], mode, text);
        const int x = x0 + boxX[c] + 17 - 3 * static_cast<int>(std::strlen(text));
        print(target, CPoint(x, y1 - 2), text, false, true, over);
    }
    offscreen->copyFrom(context, size, CPoint(size.left, size.top));
    setDirty(false);
}

void CMeterLCD::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    resolveButtons(context, buttons);
    if (!(buttons & kLButton))
        return;
    doIdleStuff();
    if (listener)
        listener->valueChanged(context, this);
    reset();
}

CMeterLCDGR::CMeterLCDGR(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* font)
    : CControl(size, listener, tag, background),
      CTextPrinter(font, nullptr)
{}

CMeterLCDGR::~CMeterLCDGR()
{
    if (offscreen)
        offscreen->forget();
}

void CMeterLCDGR::setLevels(float gainL, float gainR)
{
    const float gains[2] = {gainL, gainR};
    for (int c = 0; c < 2; ++c)
    {
        const float db = meterscale::toDecibels(gains[c]);
        if (db < minimum[c])
            minimum[c] = db;
    }
    setDirty(true);
}

void CMeterLCDGR::reset()
{
    minimum[0] = minimum[1] = 0.0f;
    setDirty(true);
}

void CMeterLCDGR::draw(CDrawContext* context)
{
    CDrawContext* target = prepare(offscreen, getFrame(), size, pBackground);
    const int x0 = size.left;
    const int y1 = size.bottom;
    print(target, CPoint(x0 + 41, y1 - 2), "dB");
    const int boxX[2] = {0, kRightBoxX};
    for (int c = 0; c < 2; ++c)
    {
        fillBox(target, CRect(x0 + boxX[c], y1 - 11, x0 + boxX[c] + kBoxWidth, y1 - 1), CMeterLCD::kBoxColor);
        char text[32];
        std::snprintf(text, sizeof text, "%2.1f", minimum[c]);
        const int x = x0 + boxX[c] + 17 - 3 * static_cast<int>(std::strlen(text));
        print(target, CPoint(x, y1 - 2), text, false, true, false);
    }
    offscreen->copyFrom(context, size, CPoint(size.left, size.top));
    setDirty(false);
}

void CMeterLCDGR::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    resolveButtons(context, buttons);
    if (!(buttons & kLButton))
        return;
    doIdleStuff();
    if (listener)
        listener->valueChanged(context, this);
    reset();
}
