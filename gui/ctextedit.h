// A text field that opens the system's single-line edit box when clicked and
// takes the typed text when the box closes.
#pragma once

#include "gui/cparamdisplay.h"
#include "platform/PlatformWindow.h"

#include <memory>

namespace VSTGUI
{

class CTextEdit : public CParamDisplay, private platform::EditBoxListener
{
public:
    CTextEdit(const CRect& size, CControlListener* listener, long tag, const char* text = nullptr,
              CBitmap* background = nullptr, long style = 0);
    ~CTextEdit() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    // While the box is open, keys that reach the editor through the host go to it.
    long onKeyDown(const platform::Key& key) override;
    bool removed(CView* parent) override;
    bool isTypeOf(const char* className) const override;

    virtual void setText(const char* text);
    virtual void getText(char* text) const;
    virtual void setTextEditConvert(void (*convert)(char* input, char* string));
    virtual void setTextEditConvert(void (*convert)(char* input, char* string, void* userData), void* userData);

    bool isEditing() const { return editBox != nullptr; }
    bool wasReturnPressed() const { return bWasReturnPressed; }
    platform::EditBox* getEditBox() const { return editBox.get(); }

    static constexpr int kMaxTextLength = 255;

protected:
    // A key that reached the toolkit through the host, handed to an open box
    // in the window seam's terms; true when the box used it.
    static bool passKeyToBox(platform::EditBox* box, const platform::Key& key);

private:
    void editBoxReturn() override;
    void editBoxFocusLost() override;

    char text[kMaxTextLength + 1] = "";
    std::unique_ptr<platform::EditBox> editBox;
    bool bWasReturnPressed = false;
    bool inLooseFocus = false;
    void (*editConvert)(char* input, char* string) = nullptr;
    void (*editConvert2)(char* input, char* string, void* userData) = nullptr;
    void* editUserData = nullptr;
};

} // namespace VSTGUI
