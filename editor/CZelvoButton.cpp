#include "editor/CZelvoButton.h"

#include "editor/FilmStrip.h"
#include "effect/ParameterTable.h"
#include "presets/CPresetSystemListener.h"

#include <cmath>

using namespace VSTGUI;

CZelvoButton::CZelvoButton(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap,
                           bool storesPreferences)
    : COnOffButton(size, listener, tag, bitmap, kPostListenerUpdate),
      storesPreferences(storesPreferences)
{}

void CZelvoButton::setHighlight(bool state)
{
    // The editor turns the highlight off on every idle pass; only a change redraws.
    if (highlight == state)
        return;
    highlight = state;
    setDirty(true);
}

void CZelvoButton::draw(CDrawContext* context)
{
    const int picture = highlight ? 2 : stepIndex(value, 2);
    drawPicture(context, pBackground, size, picture, size.height());
    setDirty(false);
}

void CZelvoButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (storesPreferences && (buttons & kRButton))
    {
        if (auto* editor = dynamic_cast<CPresetSystemListener*>(listener))
            editor->storeMeteringPreferences();
        return;
    }
    if (!(buttons & kLButton))
        return;
    value = stepValue(1 - stepIndex(value, 2), 2);
    doIdleStuff();
    if (listener)
        listener->valueChanged(context, this);
}

COversamplingButton::COversamplingButton(const CRect& size, CControlListener* listener, long tag, CBitmap* bitmap)
    : COnOffButton(size, listener, tag, bitmap, kPostListenerUpdate)
{}

void COversamplingButton::draw(CDrawContext* context)
{
    drawPicture(context, pBackground, size, stepIndex(value, 2), size.height());
    setDirty(false);
}

void COversamplingButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    buttons = resolveButtons(context, buttons);
    if (!(buttons & kLButton))
        return;
    // Any value that truncates to non-zero (or is not a number) turns it off;
    // compared as a float, as a host's huge value has no integer.
    value = !(std::fabs(value) < 1.0f) ? 0.0f : 1.0f;
    doIdleStuff();
    if (listener)
        listener->valueChanged(context, this);
}
