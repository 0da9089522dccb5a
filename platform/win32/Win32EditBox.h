// The native single-line edit box of the toolkit's text entry: a Windows
// EDIT control, subclassed for Return, Escape, the loss of focus and the
// dialog keys. It ends once (focus lost, Escape, or its destruction), keeps
// its text when the host destroys the window around it, and gives the
// keyboard focus back to the window that had it before the edit.
#pragma once

#include "platform/PlatformWindow.h"

#include <windows.h>

#include <string>

namespace platform
{

class Win32EditBox : public EditBox
{
public:
    Win32EditBox(HWND parent, const IntRect& rect, const std::string& text, const EditBoxStyle& style,
                 EditBoxListener* listener);
    ~Win32EditBox() override;
    Win32EditBox(const Win32EditBox&) = delete;
    Win32EditBox& operator=(const Win32EditBox&) = delete;

    bool isValid() const { return edit != nullptr; }
    std::string getText() const override;
    bool handleKey(const Key& key) override;

    // The parent's answer to WM_CTLCOLOREDIT for this box.
    LRESULT colours(HDC context);
    // The box behind an edit control, or null.
    static Win32EditBox* fromHandle(HWND handle);

private:
    static LRESULT CALLBACK subclassProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    // Tells the listener the edit is over, at most once; may destroy the box.
    void end();
    void restoreFocus();

    HWND edit = nullptr;
    HWND previousFocus = nullptr; // where the keyboard focus goes back to
    std::string initialText;
    std::string finalText; // the text when the window went before the box
    WNDPROC originalProc = nullptr;
    HFONT font = nullptr;
    HBRUSH backBrush = nullptr;
    EditBoxStyle style;
    EditBoxListener* listener;
    bool closing = false;
    bool ended = false;
};

} // namespace platform
