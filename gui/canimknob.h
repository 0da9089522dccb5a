// A knob drawn as a film strip: one picture per step, stacked vertically.
#pragma once

#include "gui/cknob.h"

namespace VSTGUI
{

class CAnimKnob : public CKnob
{
public:
    CAnimKnob(const CRect& size, CControlListener* listener, long tag, int subPixmaps, int heightOfOneImage,
              CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    bool isDirty() const override;
    bool isTypeOf(const char* className) const override;

    void setInverseBitmap(bool state) { bInverseBitmap = state; }

protected:
    int subPixmaps;
    int heightOfOneImage;
    bool bInverseBitmap = false;
    CPoint lastDrawnPoint;
};

} // namespace VSTGUI
