#include "presets/CPSOnOffButton.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <cstring>

using namespace VSTGUI;

CPSOnOffButton::CPSOnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : COnOffButton(size, listener, tag, background)
{}

bool CPSOnOffButton::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CPSOnOffButton") == 0 || COnOffButton::isTypeOf(className);
}

void CPSOnOffButton::setHover(bool state)
{
    if (hover == state)
        return;
    hover = state;
    setDirty(true);
}

void CPSOnOffButton::draw(CDrawContext* context)
{
    if (pBackground)
    {
        const int frameHeight = pBackground->getHeight() / 3;
        const int picture = pressed ? 2 : (hover ? 1 : 0);
        pBackground->draw(context, size, CPoint(0, picture * frameHeight));
    }
    setDirty(false);
}

void CPSOnOffButton::mouse(CDrawContext* context, CPoint&, long buttons)
{
    if (!bMouseEnabled)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton))
        return;
    pressed = true;
    doIdleStuff();
    setDirty(true);
    if (listener)
        listener->valueChanged(context, this);
    while (context && (context->getMouseButtons() & kLButton))
        doIdleStuff();
    pressed = false;
    setDirty(true);
}
