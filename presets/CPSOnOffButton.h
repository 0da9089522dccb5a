// The preset bar's memory buttons: every press is reported; the button shows
// hover and pressed pictures (three stacked frames).
#pragma once

#include "gui/conoffbutton.h"

class CPSOnOffButton : public VSTGUI::COnOffButton
{
public:
    CPSOnOffButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
                   VSTGUI::CBitmap* background);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    // Marks the button for redraw only when the state changes.
    void setHover(bool state);
    bool getHover() const { return hover; }
    bool isPressed() const { return pressed; }

private:
    bool hover = false;
    bool pressed = false;
};
