#include "gui/ckickbutton.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"

#include <cstring>

namespace VSTGUI
{

CKickButton::CKickButton(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage,
                         CBitmap* background, const CPoint& offset)
    : CControl(size, listener, tag, background),
      offset(offset),
      heightOfOneImage(heightOfOneImage)
{}

bool CKickButton::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CKickButton") == 0 || CControl::isTypeOf(className);
}

void CKickButton::draw(CDrawContext* context)
{
    bounceValue();
    CPoint where(offset);
    if (value != 0.0f)
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

void CKickButton::mouse(CDrawContext* context, CPoint& where, long buttons)
{
    if (!acceptClick(context, buttons))
        return;
    float entryValue = value;
    beginEdit();
    // Like a system push button: pressed while the pointer is over it, released when it leaves.
    if (context && context->getMouseButtons() == kLButton)
    {
        do
        {
            value = size.pointInside(where) ? (entryValue == 0.0f ? 1.0f : 0.0f) : entryValue;
            if (isDirty() && listener)
                listener->valueChanged(context, this);
            getMouseLocation(context, where);
            doIdleStuff();
        } while (context->getMouseButtons() == kLButton);
    }
    else
    {
        value = value == 0.0f ? 1.0f : 0.0f;
        if (listener)
            listener->valueChanged(context, this);
    }
    value = 0.0f;
    if (listener)
        listener->valueChanged(context, this);
    endEdit();
}

} // namespace VSTGUI
