#include "presets/CPSRockerSwitch.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "presets/CPresetSystemListener.h"

#include <cstring>

using namespace VSTGUI;

CPSRockerSwitch::CPSRockerSwitch(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage,
                                 CBitmap* background, const CPoint& offset, long style)
    : CRockerSwitch(size, listener, tag, heightOfOneImage, background, offset, style)
{
    const int middle = size.left + (size.right - size.left) / 2;
    leftHalf = CRect(size.left, size.top, middle, size.bottom);
    rightHalf = CRect(middle, size.top, size.right, size.bottom);
}

bool CPSRockerSwitch::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CPSRockerSwitch") == 0 || CRockerSwitch::isTypeOf(className);
}

void CPSRockerSwitch::setHover(int state)
{
    if (hover == state)
        return;
    hover = state;
    setDirty(true);
}

void CPSRockerSwitch::draw(CDrawContext* context)
{
    int picture;
    if (value == 1.0f)
        picture = 4;
    else if (value == -1.0f)
        picture = 3;
    else
        picture = hover;
    if (pBackground)
        pBackground->draw(context, size, CPoint(offset.x, offset.y + picture * heightOfOneImage));
    setDirty(false);
}

void CPSRockerSwitch::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!bMouseEnabled || !listener)
        return;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton))
        return;
    auto* bar = dynamic_cast<CPresetSystemListener*>(listener);
    if (!bar)
        return;
    if (leftHalf.pointInside(where))
    {
        value = -1.0f;
        doIdleStuff();
        bar->stepPreset(false);
        setDirty(true);
    }
    else if (rightHalf.pointInside(where))
    {
        value = 1.0f;
        doIdleStuff();
        bar->stepPreset(true);
        setDirty(true);
    }
    value = 0.0f;
}
