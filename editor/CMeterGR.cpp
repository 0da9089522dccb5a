#include "editor/CMeterGR.h"

#include "editor/MeterScale.h"
#include "effect/ParameterTable.h"
#include "gui/cbitmap.h"
#include "gui/coffscreencontext.h"

using namespace VSTGUI;

CMeterGR::CMeterGR(const CRect& size, CControlListener* listener, long tag, CBitmap* bar, CBitmap* background)
    : CControl(size, listener, tag, background),
      bar(bar)
{
    if (bar)
        bar->remember();
}

CMeterGR::~CMeterGR()
{
    if (offscreen)
        offscreen->forget();
    if (bar)
        bar->forget();
}

void CMeterGR::setLevels(uint32_t ticks, float gainL, float gainR)
{
    newTicks = ticks;
    const float gains[2] = {gainL, gainR};
    for (int c = 0; c < 2; ++c)
    {
        float db = meterscale::toDecibels(gains[c]);
        // A gain of 0 is -inf dB, as deep as the meter goes; a NaN is no reading.
        reduction[c] = db != db ? 0.0f : (db >= kFloor ? db : kFloor);
    }
    setDirty(true);
}

void CMeterGR::reset()
{
    for (int c = 0; c < 2; ++c)
        reduction[c] = held[c] = 0.0f;
    setDirty(true);
}

void CMeterGR::setZoom(float value)
{
    zoom = stepIndex(value, 2) != 0;
    setDirty(true);
}

int CMeterGR::barLength(float heldDecibels, bool zoomed)
{
    if (!(heldDecibels <= -0.1f))
        return 0;
    // Full length long before the product could leave the integers.
    if (heldDecibels < -1000.0f)
        return kMaxBarLength;
    const float perDecibel = zoomed ? 12.0f : 6.0f;
    int n = 1 - static_cast<int>(heldDecibels * perDecibel - 0.5f);
    return n < 0 ? 0 : (n > kMaxBarLength ? kMaxBarLength : n);
}

void CMeterGR::draw(CDrawContext* context)
{
    if (!offscreen)
        offscreen = new COffscreenContext(getFrame(), size.right, size.bottom);
    if (pBackground)
        pBackground->draw(offscreen, size, CPoint(0, zoom ? size.height() : 0));

    const int32_t elapsed = static_cast<int32_t>(newTicks - lastTicks);
    lastTicks = newTicks;
    for (int c = 0; c < 2; ++c)
    {
        hold[c] -= elapsed;
        if (hold[c] <= 0)
        {
            held[c] += static_cast<float>(-hold[c]) * kRisePerSecond / 1000.0f;
            if (held[c] > 0.0f)
                held[c] = 0.0f;
            hold[c] = 0;
        }
        if (reduction[c] < held[c])
        {
            held[c] = reduction[c];
            hold[c] = 50;
        }
    }

    const int barX[2] = {kLeftBarX, kRightBarX};
    for (int c = 0; c < 2; ++c)
    {
        const int n = barLength(held[c], zoom);
        if (bar && n > 0)
            bar->draw(offscreen, CRect(barX[c], kBarTopY, barX[c] + kBarWidth, kBarTopY + n), CPoint(0, 0));
    }
    offscreen->copyFrom(context, size, CPoint(size.left, size.top));
    setDirty(false);
}

void CMeterGR::mouse(CDrawContext* context, CPoint&, long buttons)
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
