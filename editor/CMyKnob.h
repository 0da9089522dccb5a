// The panel's knobs: film strips of 101 pictures with a linear drag of their
// own, whatever knob mode the host asks for. 400 pixels of travel right or up
// cover the whole range (2000 with Shift held from the start).
#pragma once

#include "gui/canimknob.h"

class CMyKnob : public VSTGUI::CAnimKnob
{
public:
    CMyKnob(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, int subPixmaps,
            int heightOfOneImage, VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset = VSTGUI::CPoint(0, 0));

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    static constexpr float kPixelsForRange = 400.0f;
    static constexpr float kPixelsForRangeFine = 2000.0f;
    // After a Shift change during a drag.
    static constexpr float kPixelsForRangeFineChanged = 1000.0f;
};
