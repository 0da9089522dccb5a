#include "gui/ccontrol.h"

#include "gui/cbitmap.h"
#include "gui/cdrawcontext.h"
#include "gui/cframe.h"
#include "platform/SystemTime.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace VSTGUI
{

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size),
      listener(listener),
      tag(tag),
      doubleClickInterval(std::max(platform::getDoubleClickTime(), 250))
{
    setBackground(background);
    bDirty = false;
}

CControl::~CControl() = default;

bool CControl::isDirty() const { return oldValue != value || CView::isDirty(); }

void CControl::setDirty(bool state)
{
    CView::setDirty(state);
    if (state)
        oldValue = value != -1.0f ? -1.0f : 0.0f;
    else
        oldValue = value;
}

bool CControl::isTypeOf(const char* className) const
{
    return std::strcmp(className, "CControl") == 0 || CView::isTypeOf(className);
}

void CControl::doIdleStuff()
{
    if (pParentFrame)
        pParentFrame->doIdleStuff();
}

void CControl::beginEdit()
{
    if (!pParentFrame)
        return;
    pParentFrame->setFocusView(this);
    pParentFrame->beginEdit(tag);
}

void CControl::endEdit()
{
    if (pParentFrame)
        pParentFrame->endEdit(tag);
}

void CControl::copyBackOffset()
{
    backOffset.x = size.left;
    backOffset.y = size.top;
}

void CControl::bounceValue()
{
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

bool CControl::checkDefaultValue(CDrawContext* context, long button)
{
    if (button != (kControl | kLButton))
        return false;
    beginEdit();
    const float before = value;
    value = getDefaultValue();
    // A change too small to show is still a change the host must hear of.
    if ((value != before || isDirty()) && listener)
        listener->valueChanged(context, this);
    endEdit();
    return true;
}

bool CControl::acceptClick(CDrawContext* context, long& buttons, long requiredButtons)
{
    if (!bMouseEnabled)
        return false;
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (listener && (buttons & (kAlt | kShift | kControl | kApple)))
        if (listener->controlModifierClicked(context, this, buttons) != 0)
            return false;
    return (buttons & requiredButtons) != 0;
}

bool CControl::isDoubleClick()
{
    // The clicks' own times: a host that idles seldom hands two clicks over
    // at once, or one click long after it happened.
    long now = pParentFrame ? static_cast<long>(pParentFrame->getInputTime()) : 0;
    if (now == 0 && pParentFrame)
        now = static_cast<long>(pParentFrame->getTicks());
    bool doubleClick =
        lastTicks >= 0 && static_cast<uint32_t>(now - lastTicks) <= static_cast<uint32_t>(doubleClickInterval);
    lastTicks = doubleClick ? -1 : now;
    return doubleClick;
}

} // namespace VSTGUI
