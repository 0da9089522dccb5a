// A two-state button: the upper half of its bitmap for off, the lower half for on.
#pragma once

#include "gui/ccontrol.h"

namespace VSTGUI
{

enum COnOffButtonStyle
{
    kPostListenerUpdate = 0, // tell the listener after the idle pass
    kPreListenerUpdate = 1,  // tell it before
};

class COnOffButton : public CControl
{
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = kPreListenerUpdate);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    virtual long getStyle() const { return style; }
    virtual void setStyle(long newStyle) { style = newStyle; }

protected:
    long style;
};

} // namespace VSTGUI
