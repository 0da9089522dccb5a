#include "platform/win32/Win32EditBox.h"

#include <vector>

namespace platform
{

namespace
{
const char* const kBoxProperty = "QDXZelvoEditBox";
}

Win32EditBox::Win32EditBox(HWND parent, const IntRect& rect, const std::string& text, const EditBoxStyle& style,
                           EditBoxListener* listener)
    : initialText(text),
      style(style),
      listener(listener)
{
    DWORD alignment = style.align == TextAlign::center  ? ES_CENTER
                      : style.align == TextAlign::right ? ES_RIGHT
                                                        : ES_LEFT;
    edit = CreateWindowExA(0, "EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | alignment, rect.left,
                           rect.top, rect.width(), rect.height(), parent, nullptr,
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)), nullptr);
    if (!edit)
        return;
    const FontDescription& f = style.font;
    font = CreateFontA(f.size, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic, f.underline, FALSE,
                       f.decorative ? SYMBOL_CHARSET : ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, (f.decorative ? FF_DECORATIVE : FF_SWISS) | VARIABLE_PITCH,
                       f.face ? f.face : "Arial");
    backBrush = CreateSolidBrush(style.backColor);
    SetPropA(edit, kBoxProperty, this);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(style.maxLength > 0 ? style.maxLength : 255), 0);
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32EditBox::subclassProc)));
    previousFocus = GetFocus();
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

Win32EditBox::~Win32EditBox()
{
    // A box that goes while still open (its field or the editor closing)
    // ends the edit as losing the focus does, so an edit begun is also
    // ended; an owner that ended it first hears nothing more.
    end();
    // Destroying the focused box takes its focus: that is no user's doing.
    closing = true;
    if (edit)
    {
        restoreFocus();
        RemovePropA(edit, kBoxProperty);
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc));
        DestroyWindow(edit);
    }
    if (font)
        DeleteObject(font);
    if (backBrush)
        DeleteObject(backBrush);
}

Win32EditBox* Win32EditBox::fromHandle(HWND handle)
{
    return static_cast<Win32EditBox*>(GetPropA(handle, kBoxProperty));
}

void Win32EditBox::end()
{
    if (ended)
        return;
    ended = true;
    listener->editBoxFocusLost(); // may destroy the box
}

void Win32EditBox::restoreFocus()
{
    // Focus the user has put elsewhere (another window, another program)
    // stays there; focus still on the box or left on the frame goes back to
    // where it was before the edit, so the host's shortcuts work again.
    HWND frame = GetParent(edit);
    HWND focus = GetFocus();
    if (focus != edit && focus != frame)
        return;
    HWND target = previousFocus;
    if (!target || !IsWindow(target) || target == edit || target == frame)
        target = GetAncestor(frame, GA_PARENT);
    SetFocus(target);
}

std::string Win32EditBox::getText() const
{
    if (!edit)
        return finalText;
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, 0);
    GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
    return text.data();
}

bool Win32EditBox::handleKey(const Key& key)
{
    if (!edit)
        return false;
    switch (key.name)
    {
    case KeyName::returnKey:
    case KeyName::enter:
        // May destroy this box: nothing of it is touched afterwards.
        listener->editBoxReturn();
        return true;
    case KeyName::back: SendMessageA(edit, WM_CHAR, VK_BACK, 0); return true;
    case KeyName::deleteKey: SendMessageA(edit, WM_KEYDOWN, VK_DELETE, 0); return true;
    case KeyName::left: SendMessageA(edit, WM_KEYDOWN, VK_LEFT, 0); return true;
    case KeyName::right: SendMessageA(edit, WM_KEYDOWN, VK_RIGHT, 0); return true;
    case KeyName::home: SendMessageA(edit, WM_KEYDOWN, VK_HOME, 0); return true;
    case KeyName::end: SendMessageA(edit, WM_KEYDOWN, VK_END, 0); return true;
    case KeyName::escape:
        SetWindowTextA(edit, initialText.c_str());
        end(); // may destroy this box
        return true;
    default: break;
    }
    if (key.character >= 32 && key.character < 256)
    {
        SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(key.character), 0);
        return true;
    }
    return false;
}

LRESULT Win32EditBox::colours(HDC context)
{
    SetTextColor(context, style.textColor);
    SetBkColor(context, style.backColor);
    return reinterpret_cast<LRESULT>(backBrush);
}

LRESULT CALLBACK Win32EditBox::subclassProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Win32EditBox* box = fromHandle(handle);
    if (!box)
        return DefWindowProcA(handle, message, wParam, lParam);
    const WNDPROC original = box->originalProc;
    switch (message)
    {
    case WM_GETDLGCODE:
        // In a dialog-based host Return, Tab and Escape would otherwise go
        // to the dialog (its default button, the next control, cancel).
        return CallWindowProcA(original, handle, message, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN)
        {
            box->listener->editBoxReturn(); // may destroy the box
            return 0;
        }
        if (wParam == VK_ESCAPE)
        {
            // Escape gives up what was typed: the field keeps the text it had.
            SetWindowTextA(handle, box->initialText.c_str());
            box->end(); // may destroy the box
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r' || wParam == '\n' || wParam == VK_ESCAPE)
            return 0; // no beep for the keys handled above
        break;
    case WM_KILLFOCUS:
    {
        const LRESULT result = CallWindowProcA(original, handle, message, wParam, lParam);
        if (!box->closing)
            box->end(); // may destroy the box
        return result;
    }
    case WM_DESTROY:
        // The host destroyed the windows around the open box: its text stays
        // readable for the field that ends the edit later.
        box->finalText = box->getText();
        break;
    case WM_NCDESTROY:
        RemovePropA(handle, kBoxProperty);
        SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        box->edit = nullptr;
        break;
    default: break;
    }
    return CallWindowProcA(original, handle, message, wParam, lParam);
}

} // namespace platform
