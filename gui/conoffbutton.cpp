#include "gui/conoffbutton.h"

#include "gui/cbitmap.h"

#include <cmath>
#include <cstring>

namespace VSTGUI
{

COnOffButton::COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background, long style)
    : CControl(size, listener, tag, background),
      style(style)
{}

bool COnOffButton::isTypeOf(const char* className) const
{
    return std::strcmp(className, "COnOffButton") == 0 || CControl::isTypeOf(className);
}

void COnOffButton::draw(CDrawContext* context)
{
    if (pBackground)
    {
        int offset = value != 0.0f ? pBackground->getHeight() / 2 : 0;
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, CPoint(0, offset));
        else
            pBackground->draw(context, size, CPoint(0, offset));
    }
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!acceptClick(context, buttons))
        return;
    // Off when the value truncates to anything but 0 (|value| >= 1, or not a
    // number); compared as a float, as a host's huge value has no integer.
    value = !(std::fabs(value) < 1.0f) ? 0.0f : 1.0f;
    if (listener && style == kPreListenerUpdate)
        listener->valueChanged(context, this);
    doIdleStuff();
    if (listener && style == kPostListenerUpdate)
        listener->valueChanged(context, this);
}

} // namespace VSTGUI
