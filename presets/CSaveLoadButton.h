// The preset bar's file buttons: a press runs one of the four file operations
// (its dialog is modal), and the button shows hover and pressed pictures.
#pragma once

#include "gui/ckickbutton.h"

class CSaveLoadButton : public VSTGUI::CKickButton
{
public:
    enum Type
    {
        kLoadBank = 0,
        kSaveBank = 1,
        kLoadPreset = 2,
        kSavePreset = 3,
    };

    CSaveLoadButton(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, int heightOfOneImage,
                    VSTGUI::CBitmap* background, const VSTGUI::CPoint& offset, int type);

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    bool isTypeOf(const char* className) const override;

    // Marks the button for redraw only when the state changes.
    void setHover(bool state);
    bool getHover() const { return hover; }
    int getType() const { return type; }

private:
    int type;
    bool hover = false;
};
