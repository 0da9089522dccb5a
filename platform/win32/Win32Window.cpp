// The toolkit frame's child window inside the host's window: painting,
// mouse, wheel and keys for the listener, cursors, file drops, and the
// native edit box and pop-up menu. Drops come through OLE (text and file
// names), or as Explorer's file drops where the host's thread has no OLE.
#include "platform/PlatformWindow.h"

#include "platform/win32/GdiDevice.h"
#include "platform/win32/Win32DropTarget.h"
#include "platform/win32/Win32EditBox.h"
#include "platform/win32/Win32PopupMenu.h"

#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <vector>

namespace platform
{

namespace
{

const char* const kClassName = "QDXZelvoFrame";
int liveWindows = 0; // the window class goes when its last window does

HINSTANCE ownModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ownModule), &module);
    return module;
}

bool liveKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

// The key state as of the message being handled (the thread's queue state),
// not as the keyboard is now: a key released since does not change the event.
bool keyDownAtMessage(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

// Buttons and modifiers carried by a mouse message's MK_ flags; Alt has no
// flag there and comes from the key state of that message.
int stateFromMouseFlags(WPARAM flags)
{
    int state = 0;
    if (flags & MK_LBUTTON)
        state |= kInputLeft;
    if (flags & MK_MBUTTON)
        state |= kInputMiddle;
    if (flags & MK_RBUTTON)
        state |= kInputRight;
    if (flags & MK_SHIFT)
        state |= kInputShift;
    if (flags & MK_CONTROL)
        state |= kInputControl;
    if (keyDownAtMessage(VK_MENU))
        state |= kInputAlt;
    return state;
}

int pressedButton(UINT message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: return kInputLeft;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: return kInputMiddle;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: return kInputRight;
    default: return 0;
    }
}

int releasedButton(UINT message)
{
    switch (message)
    {
    case WM_LBUTTONUP: return kInputLeft;
    case WM_MBUTTONUP: return kInputMiddle;
    case WM_RBUTTONUP: return kInputRight;
    default: return 0;
    }
}

Key translateKey(WPARAM virtualKey)
{
    Key key;
    if (keyDownAtMessage(VK_SHIFT))
        key.modifiers |= kKeyModifierShift;
    if (keyDownAtMessage(VK_MENU))
        key.modifiers |= kKeyModifierAlt;
    if (keyDownAtMessage(VK_CONTROL))
        key.modifiers |= kKeyModifierControl;
    switch (virtualKey)
    {
    case VK_BACK: key.name = KeyName::back; break;
    case VK_TAB: key.name = KeyName::tab; break;
    case VK_RETURN: key.name = KeyName::returnKey; break;
    case VK_ESCAPE: key.name = KeyName::escape; break;
    case VK_SPACE:
        key.name = KeyName::space;
        key.character = ' ';
        break;
    case VK_END: key.name = KeyName::end; break;
    case VK_HOME: key.name = KeyName::home; break;
    case VK_LEFT: key.name = KeyName::left; break;
    case VK_UP: key.name = KeyName::up; break;
    case VK_RIGHT: key.name = KeyName::right; break;
    case VK_DOWN: key.name = KeyName::down; break;
    case VK_PRIOR: key.name = KeyName::pageUp; break;
    case VK_NEXT: key.name = KeyName::pageDown; break;
    case VK_INSERT: key.name = KeyName::insert; break;
    case VK_DELETE: key.name = KeyName::deleteKey; break;
    case VK_SHIFT: key.name = KeyName::shift; break;
    case VK_CONTROL: key.name = KeyName::control; break;
    case VK_MENU: key.name = KeyName::alt; break;
    default:
        if (virtualKey >= VK_F1 && virtualKey <= VK_F12)
            key.name = static_cast<KeyName>(static_cast<int>(KeyName::f1) + (virtualKey - VK_F1));
        else if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
            key.name = static_cast<KeyName>(static_cast<int>(KeyName::numpad0) + (virtualKey - VK_NUMPAD0));
        else if ((virtualKey >= '0' && virtualKey <= '9') || (virtualKey >= 'A' && virtualKey <= 'Z'))
            key.character = static_cast<int32_t>(
                virtualKey >= 'A' && !(key.modifiers & kKeyModifierShift) ? virtualKey - 'A' + 'a' : virtualKey);
        break;
    }
    return key;
}

LPCSTR cursorResource(int type)
{
    switch (type)
    {
    case kCursorWait: return IDC_WAIT;
    case kCursorHorizontalSize: return IDC_SIZEWE;
    case kCursorVerticalSize: return IDC_SIZENS;
    case kCursorMove: return IDC_SIZEALL;
    case kCursorDiagonalRising: return IDC_SIZENESW;
    case kCursorDiagonalFalling: return IDC_SIZENWSE;
    case kCursorNotAllowed: return IDC_NO;
    case kCursorHand: return IDC_HAND;
    default: return IDC_ARROW;
    }
}

class Win32Window : public Window
{
public:
    Win32Window(HWND parent, int width, int height, WindowListener* listener) : listener(listener)
    {
        HINSTANCE module = ownModule();
        if (liveWindows == 0)
        {
            WNDCLASSA windowClass{};
            windowClass.style = CS_DBLCLKS;
            windowClass.lpfnWndProc = &Win32Window::windowProc;
            windowClass.hInstance = module;
            windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
            windowClass.lpszClassName = kClassName;
            RegisterClassA(&windowClass); // fails harmlessly when still registered
        }
        ++liveWindows;
        window = CreateWindowExA(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, width, height,
                                 parent, nullptr, module, this);
    }

    ~Win32Window() override
    {
        if (alive)
            *alive = false; // a listener call under way learns that we are gone
        if (window)
        {
            // The keyboard focus goes back to the host rather than vanishing with us.
            HWND focus = GetFocus();
            if (focus && (focus == window || IsChild(window, focus)))
                SetFocus(GetAncestor(window, GA_PARENT));
            setDropTarget(false);
            // Our own destruction is no news for the listener.
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            DestroyWindow(window);
        }
        if (--liveWindows == 0)
            UnregisterClassA(kClassName, ownModule());
    }

    bool isValid() const { return window != nullptr; }

    void* getNativeHandle() const override { return window; }

    int getWidth() const override
    {
        RECT r{};
        GetClientRect(window, &r);
        return r.right - r.left;
    }

    int getHeight() const override
    {
        RECT r{};
        GetClientRect(window, &r);
        return r.bottom - r.top;
    }

    GraphicsDevice* acquireDevice() override
    {
        HDC context = window ? GetDC(window) : nullptr;
        return context ? new GdiDevice(context) : nullptr;
    }

    void releaseDevice(GraphicsDevice* device) override
    {
        auto* gdi = static_cast<GdiDevice*>(device);
        if (!gdi)
            return;
        HDC context = gdi->context();
        delete gdi; // gives its pens, brushes and fonts back first
        ReleaseDC(window, context);
    }

    void getScreenOrigin(int& x, int& y) override
    {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        x = origin.x;
        y = origin.y;
    }

    // Both answer from the pointer event last handed over, so a control sees
    // the click as it happened even when the host handles it late; only
    // before the first event is the device itself asked.
    void getCursorPosition(int& x, int& y) override
    {
        if (input.known)
        {
            x = input.x;
            y = input.y;
            return;
        }
        POINT where{0, 0};
        GetCursorPos(&where);
        x = where.x;
        y = where.y;
    }

    int getInputState() override { return input.known ? input.state : liveInputState(); }

    void setCursor(int type) override
    {
        cursor = LoadCursor(nullptr, cursorResource(type));
        SetCursor(cursor);
    }

    void resize(int width, int height) override
    {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void processEvents() override
    {
        if (!window)
            return;
        // Called from inside a listener call: a control's drag loop, which
        // follows the pointer events one at a time.
        if (listenerCalls > 0)
        {
            followPointer();
            return;
        }
        if (inEvents)
        {
            dispatchPendingPaint();
            return;
        }
        inEvents = true;
        MSG message;
        while (window && PeekMessageA(&message, window, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        inEvents = false;
    }

    void dispatchPendingPaint() override
    {
        if (window)
            UpdateWindow(window);
    }

    void setDropTarget(bool active) override
    {
        if (!window)
            return;
        if (active)
        {
            if (dropTarget || acceptingFiles)
                return;
            // Balanced by OleUninitialize when the target goes, once per window.
            oleInitialized = SUCCEEDED(OleInitialize(nullptr));
            if (oleInitialized)
            {
                auto* target = new Win32DropTarget(window, listener);
                if (SUCCEEDED(RegisterDragDrop(window, target)))
                {
                    dropTarget = target;
                    return;
                }
                target->Release();
                OleUninitialize();
                oleInitialized = false;
            }
            DragAcceptFiles(window, TRUE);
            acceptingFiles = true;
            return;
        }
        if (dropTarget)
        {
            RevokeDragDrop(window);
            dropTarget->Release();
            dropTarget = nullptr;
        }
        if (oleInitialized)
        {
            OleUninitialize();
            oleInitialized = false;
        }
        if (acceptingFiles)
        {
            DragAcceptFiles(window, FALSE);
            acceptingFiles = false;
        }
    }

    void* getParentOf(void* handle) override
    {
        HWND parent = GetAncestor(static_cast<HWND>(handle), GA_PARENT);
        return parent == GetDesktopWindow() ? nullptr : parent;
    }

    bool isMdiClient(void* handle) override
    {
        char name[32] = {0};
        return handle && GetClassNameA(static_cast<HWND>(handle), name, sizeof name) &&
               lstrcmpiA(name, "MDIClient") == 0;
    }

    void getOuterSize(void* handle, int& width, int& height) override
    {
        RECT r{};
        GetWindowRect(static_cast<HWND>(handle), &r);
        width = r.right - r.left;
        height = r.bottom - r.top;
    }

    void resizeWindow(void* handle, int width, int height) override
    {
        SetWindowPos(static_cast<HWND>(handle), nullptr, 0, 0, width, height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    int getDialogFrameSize() override { return GetSystemMetrics(SM_CXDLGFRAME); }

    void getRectInParent(void* handle, IntRect& rect) override
    {
        rect = IntRect{};
        HWND child = static_cast<HWND>(handle);
        RECT r{};
        if (!child || !GetWindowRect(child, &r))
            return;
        MapWindowPoints(HWND_DESKTOP, GetAncestor(child, GA_PARENT), reinterpret_cast<POINT*>(&r), 2);
        rect = IntRect{r.left, r.top, r.right, r.bottom};
    }

    std::unique_ptr<EditBox> createEditBox(const IntRect& rect, const std::string& text, const EditBoxStyle& style,
                                           EditBoxListener* boxListener) override
    {
        auto box = std::make_unique<Win32EditBox>(window, rect, text, style, boxListener);
        if (!box->isValid())
            return nullptr;
        return box;
    }

    int trackPopupMenu(const std::vector<MenuItem>& items, int screenX, int screenY, bool rightButton) override
    {
        return runPopupMenu(window, items, screenX, screenY, rightButton);
    }

private:
    struct PointerRecord
    {
        bool known = false;
        int x = 0; // screen coordinates
        int y = 0;
        int state = 0; // InputState bits
    };

    static constexpr DWORD kPointerWaitMs = 20;

    static int liveInputState()
    {
        const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
        int state = 0;
        if (liveKeyDown(swapped ? VK_RBUTTON : VK_LBUTTON))
            state |= kInputLeft;
        if (liveKeyDown(VK_MBUTTON))
            state |= kInputMiddle;
        if (liveKeyDown(swapped ? VK_LBUTTON : VK_RBUTTON))
            state |= kInputRight;
        if (liveKeyDown(VK_SHIFT))
            state |= kInputShift;
        if (liveKeyDown(VK_CONTROL))
            state |= kInputControl;
        if (liveKeyDown(VK_MENU))
            state |= kInputAlt;
        return state;
    }

    // Makes a mouse message (client coordinates in lParam) the current input.
    // wParam holds the buttons down after the message; the pressed and
    // released buttons are made sure of, whatever the sender put there.
    void recordPointer(UINT message, WPARAM wParam, LPARAM lParam)
    {
        POINT where{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(window, &where);
        input.known = true;
        input.x = where.x;
        input.y = where.y;
        input.state = (stateFromMouseFlags(wParam) | pressedButton(message)) & ~releasedButton(message);
        if (!(input.state & (kInputLeft | kInputMiddle | kInputRight)))
            endDragCapture();
    }

    // The capture is held from a press until its buttons are up, and no
    // longer: a control may open a dialog from its press handler, and the
    // dialog needs the mouse once the button is released.
    void endDragCapture()
    {
        if (dragCapture && GetCapture() == window)
            ReleaseCapture();
        dragCapture = false;
    }

    // One step of a drag loop: the next pointer message for this window (a
    // run of moves counts as its last), or, with none queued, a short wait
    // for one. A press is taken only while a button is held: after the
    // release it belongs to the next click, which the host's loop delivers.
    void followPointer()
    {
        dispatchPendingPaint();
        MSG message;
        if (PeekMessageA(&message, window, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_NOREMOVE))
        {
            const bool press = pressedButton(message.message) != 0;
            const bool held = (input.state & (kInputLeft | kInputMiddle | kInputRight)) != 0;
            if (press && !held)
                return;
            PeekMessageA(&message, window, message.message, message.message, PM_REMOVE);
            MSG next;
            while (message.message == WM_MOUSEMOVE &&
                   PeekMessageA(&next, window, WM_MOUSEMOVE, WM_MBUTTONDBLCLK, PM_NOREMOVE) &&
                   next.message == WM_MOUSEMOVE)
                PeekMessageA(&message, window, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
            recordPointer(message.message, message.wParam, message.lParam);
            return;
        }
        // While the window holds the capture every release comes here. When
        // something else took it (a menu or dialog run from the control), the
        // release went elsewhere: the buttons the device no longer holds are
        // let go, or the loop would wait for a release that never comes.
        if (input.known && GetCapture() != window)
        {
            const int buttons = kInputLeft | kInputMiddle | kInputRight;
            input.state &= ~(buttons & ~liveInputState());
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kPointerWaitMs, QS_MOUSEMOVE | QS_MOUSEBUTTON);
    }

    // Runs a listener call that handles input; false when this window was
    // destroyed meanwhile (nothing of it may be touched then).
    template <typename Call>
    bool deliver(Call call)
    {
        bool stillAlive = true;
        bool* outer = alive;
        alive = &stillAlive;
        ++listenerCalls;
        call();
        if (!stillAlive)
        {
            if (outer)
                *outer = false;
            return false;
        }
        --listenerCalls;
        alive = outer;
        return true;
    }

    bool startTimer(int milliseconds) override
    {
        return window && milliseconds > 0 &&
               SetTimer(window, kIdleTimer, static_cast<UINT>(milliseconds), nullptr) != 0;
    }

    static constexpr UINT_PTR kIdleTimer = 1;

    static LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE)
        {
            auto* created = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        }
        auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
        if (!self)
            return DefWindowProcA(handle, message, wParam, lParam);
        return self->handle(handle, message, wParam, lParam);
    }

    LRESULT handle(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
    {
        switch (message)
        {
        case WM_PAINT:
        {
            PAINTSTRUCT paint;
            BeginPaint(handle, &paint);
            const RECT& r = paint.rcPaint;
            if (r.right > r.left && r.bottom > r.top)
                listener->windowPaint(IntRect{r.left, r.top, r.right, r.bottom});
            EndPaint(handle, &paint);
            return 0;
        }
        case WM_ERASEBKGND: return 1; // the frame paints every pixel
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        {
            // Held for the control's drag loop: moves and the release outside
            // the window still come here, also those already queued.
            if (GetCapture() != handle)
            {
                SetCapture(handle);
                dragCapture = true;
            }
            recordPointer(message, wParam, lParam);
            const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
            if (!deliver([&] { listener->windowMouseDown(x, y); }))
                return 0;
            endDragCapture();
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: recordPointer(message, wParam, lParam); return 0;
        case WM_MOUSEMOVE:
            recordPointer(message, wParam, lParam);
            if (!trackingLeave)
            {
                TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, handle, 0};
                trackingLeave = TrackMouseEvent(&track) != FALSE;
            }
            return 0;
        case WM_CAPTURECHANGED: dragCapture = false; break;
        case WM_MOUSELEAVE:
        {
            // Where the pointer was when it left, so hovering ends.
            trackingLeave = false;
            const DWORD where = GetMessagePos();
            input.x = GET_X_LPARAM(where);
            input.y = GET_Y_LPARAM(where);
            return 0;
        }
        case WM_MOUSEWHEEL:
        {
            POINT where{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; // screen coordinates
            input.known = true;
            input.x = where.x;
            input.y = where.y;
            input.state = stateFromMouseFlags(GET_KEYSTATE_WPARAM(wParam));
            ScreenToClient(handle, &where);
            const float distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            deliver([&] { listener->windowWheel(where.x, where.y, distance); });
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
        {
            const Key key = translateKey(wParam);
            if (key.name != KeyName::none || key.character)
                deliver([&] { listener->windowKey(key, message == WM_KEYDOWN); });
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && cursor)
            {
                SetCursor(cursor);
                return TRUE;
            }
            break;
        case WM_CTLCOLOREDIT:
            if (Win32EditBox* box = Win32EditBox::fromHandle(reinterpret_cast<HWND>(lParam)))
                return box->colours(reinterpret_cast<HDC>(wParam));
            break;
        case WM_DROPFILES:
        {
            HDROP drop = reinterpret_cast<HDROP>(wParam);
            DropData data;
            data.files = true;
            const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i)
            {
                std::vector<char> path(DragQueryFileA(drop, i, nullptr, 0) + 1, 0);
                DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size()));
                data.items.push_back(path.data());
            }
            POINT where{0, 0};
            DragQueryPoint(drop, &where);
            DragFinish(drop);
            listener->windowDrop(data, where.x, where.y);
            return 0;
        }
        case WM_TIMER:
            if (wParam == kIdleTimer)
            {
                listener->windowTimer();
                return 0;
            }
            break;
        case WM_DESTROY:
            // The host destroyed its window, and ours with it.
            KillTimer(handle, kIdleTimer);
            setDropTarget(false);
            listener->windowDestroyed();
            return 0;
        case WM_NCDESTROY:
            window = nullptr;
            SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
            break;
        default: break;
        }
        return DefWindowProcA(handle, message, wParam, lParam);
    }

    HWND window = nullptr;
    WindowListener* listener;
    HCURSOR cursor = nullptr;
    bool inEvents = false;
    PointerRecord input;
    int listenerCalls = 0; // input handlers running now (a drag loop among them)
    bool* alive = nullptr; // the innermost running handler's flag
    bool trackingLeave = false;
    bool dragCapture = false; // the capture is ours, taken at a press
    Win32DropTarget* dropTarget = nullptr;
    bool oleInitialized = false;
    bool acceptingFiles = false;
};

} // namespace

std::unique_ptr<Window> createChildWindow(void* parent, int width, int height, WindowListener* listener)
{
    if (!parent || !listener)
        return nullptr;
    auto window = std::make_unique<Win32Window>(static_cast<HWND>(parent), width, height, listener);
    if (!window->isValid())
        return nullptr;
    return window;
}

} // namespace platform
