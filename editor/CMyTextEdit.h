// The numeric entry fields under the knobs: the value is shown formatted by
// its parameter in the skin's bitmap font; a click opens the system's edit
// box with the bare number, and the typed text is read back as the value.
#pragma once

#include "editor/CTextPrinter.h"
#include "gui/ctextedit.h"

#include <memory>
#include <string>

class CMyTextEdit : public VSTGUI::CTextEdit
{
public:
    CMyTextEdit(const VSTGUI::CRect& size, VSTGUI::CControlListener* listener, long tag, VSTGUI::CBitmap* background,
                VSTGUI::CBitmap* font, VSTGUI::CBitmap* transparentFont);
    ~CMyTextEdit() override;

    void draw(VSTGUI::CDrawContext* context) override;
    void mouse(VSTGUI::CDrawContext* context, VSTGUI::CPoint& where, long buttons = -1) override;
    void takeFocus(VSTGUI::CDrawContext* context = nullptr) override;
    void looseFocus(VSTGUI::CDrawContext* context = nullptr) override;
    long onKeyDown(const platform::Key& key) override;
    bool removed(VSTGUI::CView* parent) override;

    bool isBoxOpen() const { return box != nullptr; }
    bool wasEnterPressed() const { return enterPressed; }
    VSTGUI::CRect getBoxRect() const { return boxRect; }

    // The texts of a value for the field of a parameter (its tag), and the
    // value a typed text gives; false for a tag without a format.
    static bool displayText(long tag, float value, char* text);
    static bool editText(long tag, float value, char* text);
    static bool valueFromText(long tag, const char* text, float& value);

    // The text shown by the field itself: its value's display text or, for a
    // field without a format (the preset bar's name), its text.
    std::string shownText() const;

private:
    class BoxListener;

    CTextPrinter printer;
    std::unique_ptr<BoxListener> boxListener;
    std::unique_ptr<platform::EditBox> box;
    VSTGUI::CRect boxRect;
    bool enterPressed = false;
    bool inLooseFocus = false;
};
