// A momentary button: pressed while the mouse holds it, back to 0 on release.
#pragma once

#include "gui/ccontrol.h"

namespace VSTGUI
{

class CKickButton : public CControl
{
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage, CBitmap* background,
                const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

protected:
    CPoint offset;
    int heightOfOneImage;
};

} // namespace VSTGUI
