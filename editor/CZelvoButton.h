// The panel's on/off buttons. Their values are step centres (0.25 and 0.75),
// never 0 or 1. Those showing a metering preference store all of them on a
// right click, and light up for a moment when they do.
#pragma once

#include "gui/conoffbutton.h"

class CZelvoButton : public VSTGUI::COnOffButton
{
public:
    CZelvoButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* bitmap,
                 bool storesPreferences = false);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;

    void setHighlight(bool state);
    bool getHighlight() const { return highlight; }
    bool getStoresPreferences() const { return storesPreferences; }

private:
    bool storesPreferences;
    bool highlight = false;
};

// The Oversample switch: toggles between exactly 0 and 1.
class COversamplingButton : public VSTGUI::COnOffButton
{
public:
    COversamplingButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag,
                        VSTGUI::CBitmap* bitmap);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
};
