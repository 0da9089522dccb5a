// The native single-line edit box of the toolkit's text entry: a Windows
// EDIT control, subclassed for Return and for the loss of focus.
#pragma once

#include "platform/PlatformWindow.h"

#include <windows.h>

namespace platform {

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
    bool handleKey(const VstKeyCode& key) override;

    // The parent's answer to WM_CTLCOLOREDIT for this box.
    LRESULT colours(HDC context);
    // The box behind an edit control, or null.
    static Win32EditBox* fromHandle(HWND handle);

private:
    static LRESULT CALLBACK subclassProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

    HWND edit = nullptr;
    WNDPROC originalProc = nullptr;
    HFONT font = nullptr;
    HBRUSH backBrush = nullptr;
    EditBoxStyle style;
    EditBoxListener* listener;
    bool closing = false;
};

} // namespace platform
