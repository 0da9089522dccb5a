// The preset bar's previous/next switch: a press on its left half selects
// the previous program, on its right half the next one.
#pragma once

#include "gui/crockerswitch.h"

class CPSRockerSwitch : public VSTGUI::CRockerSwitch
{
public:
    enum Hover
    {
        kNoHover = 0,
        kLeftHover = 1,
        kRightHover = 2,
    };

    CPSRockerSwitch(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, int heightOfOneImage,
                    VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset, long style);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    // Marks the switch for redraw only when the state changes.
    void setHover(int state);
    int getHover() const { return hover; }
    const VSTGUI::CRect& getLeftHalf() const { return leftHalf; }
    const VSTGUI::CRect& getRightHalf() const { return rightHalf; }

private:
    VSTGUI::CRect leftHalf;
    VSTGUI::CRect rightHalf;
    int hover = kNoHover;
};
