// A three-state rocker (-1, 0, +1): held on one half it reports that side, and
// springs back to 0 on release.
#pragma once

#include "gui/ccontrol.h"

namespace VSTGUI
{

enum CRockerStyle
{
    kHorizontal = 1,
    kVertical = 2,
};

class CRockerSwitch : public CControl
{
public:
    CRockerSwitch(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage, CBitmap* background,
                  const CPoint& offset = CPoint(0, 0), long style = kHorizontal);

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool isTypeOf(const char* className) const override;

protected:
    CPoint offset;
    int heightOfOneImage;
    long style;
};

} // namespace VSTGUI
