#include "gui/crockerswitch.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <cstring>

namespace VSTGUI
{

CRockerSwitch::CRockerSwitch(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage,
                             CBitmap* background, const CPoint& offset, long style)
    : CControl(size, listener, tag, background),
      offset(offset),
      heightOfOneImage(heightOfOneImage),
      style(style)
{
    setMin(-1.0f);
    setMax(1.0f);
    setDefaultValue(0.0f);
}

bool CRockerSwitch::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CRockerSwitch") == 0 || CControl::isTypeOf(className);
}

void CRockerSwitch::draw(CDrawContext* context)
{
    CPoint where(offset);
    if (value == 1.0f)
        where.y += 2 * heightOfOneImage;
    else if (value == 0.0f)
        where.y += heightOfOneImage;
    if (pBackground)
    {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size, where);
        else
            pBackground->draw(context, size, where);
    }
    setDirty(false);
}

void CRockerSwitch::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!acceptClick(context, buttons))
        return;
    float entryValue = value;
    int halfWidth = size.width() / 2;
    int halfHeight = size.height() / 2;
    beginEdit();
    do
    {
        bool inside = size.pointInside(where);
        if (!inside)
            value = entryValue;
        else if (style & kHorizontal)
            value = where.x <= size.left + halfWidth ? -1.0f : 1.0f;
        else
            value = where.y <= size.top + halfHeight ? -1.0f : 1.0f;
        if (isDirty() && listener)
            listener->valueChanged(context, this);
        getMouseLocation(context, where);
        doIdleStuff();
    } while (context && context->getMouseButtons() & (kLButton | kMButton | kRButton));
    value = 0.0f;
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
}

bool CRockerSwitch::onWheel(CDrawContext* context, const CPoint&, float distance)
{
    if (!bMouseEnabled)
        return false;
    value = distance > 0 ? -1.0f : 1.0f;
    beginEdit();
    if (isDirty() && listener)
        listener->valueChanged(context, this);
    value = 0.0f;
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
    return true;
}

} // namespace VSTGUI
