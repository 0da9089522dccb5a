// The editor under Win32 (Wine in CI) as a hand meets it: input queued with
// SendInput while the host handles its messages late, the entry field's keys
// inside a dialog-based host, and where the keyboard focus and the host's
// edit brackets end up when a field closes or the editor does.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "effect/ParameterTable.h"
#include "platform/PlatformWindow.h"
#include "tests/support/TestHost.h"

namespace
{
using namespace platform;

std::atomic<int> dialogCommands{0}; // IDOK and IDCANCEL that reached the host

LRESULT CALLBACK plainHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK dialogHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL))
        ++dialogCommands;
    return DefDlgProcA(window, message, wParam, lParam);
}

// A host's editor window with one control of its own (a button beside the
// editor, where Tab goes in a dialog). A dialog host runs the dialog manager
// (DefDlgProc, IsDialogMessage) as dialog-based hosts do.
struct HostWindow
{
    HWND window = nullptr;
    HWND button = nullptr;
    bool dialog = false;

    explicit HostWindow(bool dialog) : dialog(dialog)
    {
        const char* name = dialog ? "ZelvoInputDialogHost" : "ZelvoInputPlainHost";
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = dialog ? &dialogHostProc : &plainHostProc;
        windowClass.cbWndExtra = dialog ? DLGWINDOWEXTRA : 0;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = name;
        RegisterClassA(&windowClass);
        window = CreateWindowExA(WS_EX_CONTROLPARENT, name, "host", WS_POPUP | WS_VISIBLE, 0, 0, 620, 480, nullptr,
                                 nullptr, windowClass.hInstance, nullptr);
        button = CreateWindowExA(0, "BUTTON", "Host", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 540, 10, 70,
                                 24, window, reinterpret_cast<HMENU>(100), windowClass.hInstance, nullptr);
        SetForegroundWindow(window);
        SetActiveWindow(window);
        SetFocus(window);
    }
    ~HostWindow()
    {
        if (window)
            DestroyWindow(window);
    }
};

// One round of a host's message loop, then its idle call to the editor.
void pumpOnce(TestHost& host, const HostWindow& parent)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        if (parent.dialog && IsDialogMessageA(parent.window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    host.dispatch(effEditIdle);
}

// Rounds every `period` ms (busy in between) for `milliseconds`.
void pump(TestHost& host, const HostWindow& parent, int milliseconds, int period = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        pumpOnce(host, parent);
        Sleep(static_cast<DWORD>(period));
    }
}

void sendInputs(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT mouseInput(DWORD flags, DWORD data = 0)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = data;
    return input;
}

INPUT keyInput(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// A left click at the screen point; a hold of 0 queues press and release
// back to back, as a touchpad tap does.
void click(POINT where, int holdMs)
{
    SetCursorPos(where.x, where.y);
    if (holdMs == 0)
    {
        sendInputs({mouseInput(MOUSEEVENTF_LEFTDOWN), mouseInput(MOUSEEVENTF_LEFTUP)});
        return;
    }
    sendInputs({mouseInput(MOUSEEVENTF_LEFTDOWN)});
    Sleep(static_cast<DWORD>(holdMs));
    sendInputs({mouseInput(MOUSEEVENTF_LEFTUP)});
}

void typeKeys(const std::vector<WORD>& keys)
{
    for (WORD key : keys)
        sendInputs({keyInput(key, false), keyInput(key, true)});
}

POINT onScreen(HWND window, int x, int y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

// The editor open in a host window.
struct OpenEditor
{
    HostWindow parent;
    TestHost host;
    HWND frame = nullptr;

    explicit OpenEditor(bool dialog = false) : parent(dialog)
    {
        host.dispatch(effEditOpen, 0, 0, parent.window);
        frame = FindWindowExA(parent.window, nullptr, "QDXZelvoFrame", nullptr);
        pump(host, parent, 200);
    }
    HWND editBox() const { return frame ? FindWindowExA(frame, nullptr, "EDIT", nullptr) : nullptr; }
};

// Ten clicks on the power button from another thread (the user's hand)
// while the host runs its loop every `period` ms: how many toggled it.
int powerToggles(int holdMs, int period)
{
    OpenEditor editor;
    if (!editor.frame)
        return -1;
    editor.host.clearCalls();
    const POINT power = onScreen(editor.frame, 262, 417);
    std::atomic<bool> done{false};
    std::thread hand([&] {
        for (int i = 0; i < 10; ++i)
        {
            click(power, holdMs);
            Sleep(150);
        }
        done = true;
    });
    while (!done)
    {
        pumpOnce(editor.host, editor.parent);
        Sleep(static_cast<DWORD>(period));
    }
    hand.join();
    pump(editor.host, editor.parent, 300, period);
    int toggles = 0;
    float last = -1.0f;
    for (const HostCall& call : editor.host.calls())
        if (call.opcode == audioMasterAutomate && call.index == kPower && call.opt != last)
        {
            ++toggles;
            last = call.opt;
        }
    editor.host.dispatch(effEditClose);
    return toggles;
}

TEST(Win32EditorInput, EveryQuickClickTogglesAButtonWhateverTheHostsPace)
{
    // A host pumping every 10 ms, and one busy for 100 ms between its rounds.
    for (int period : {10, 100})
        for (int hold : {0, 20})
        {
            SCOPED_TRACE(testing::Message() << "period " << period << " ms, hold " << hold << " ms");
            EXPECT_EQ(powerToggles(hold, period), 10);
        }
}

void drainMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::atomic<int> clicksOnDialog{0};

LRESULT CALLBACK dialogStandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_LBUTTONDOWN)
        ++clicksOnDialog;
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window's listener that handles a press as the toolkit's controls do:
// a loop that follows the pointer until the left button is up; or, like the
// file buttons, a modal loop of its own (a dialog) run from the press.
struct DragListener : WindowListener
{
    Window* window = nullptr;
    bool runsDialog = false;
    int stateAtPress = 0;
    int passes = 0;
    bool released = false;
    std::vector<POINT> positions;
    int wheelState = -1;
    POINT wheelAt{0, 0};

    void windowMouseDown(int, int) override
    {
        stateAtPress = window->getInputState();
        if (runsDialog)
        {
            const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
            while (std::chrono::steady_clock::now() < end)
            {
                drainMessages();
                Sleep(10);
            }
            return;
        }
        for (passes = 0; passes < 200 && (window->getInputState() & kInputLeft); ++passes)
        {
            window->processEvents();
            int x = 0, y = 0;
            window->getCursorPosition(x, y);
            positions.push_back(POINT{x, y});
        }
        released = (window->getInputState() & kInputLeft) == 0;
    }
    void windowWheel(int x, int y, float) override
    {
        wheelState = window->getInputState();
        wheelAt = POINT{x, y};
    }
    void windowPaint(const IntRect&) override {}
    void windowKey(const Key&, bool) override {}
    void windowDragEnter(const DropData&, int, int) override {}
    void windowDragMove(const DropData&, int, int) override {}
    void windowDragLeave(const DropData&, int, int) override {}
    void windowDrop(const DropData&, int, int) override {}
    void windowDestroyed() override {}
};

TEST(Win32EditorInput, PressesDragsAndWheelsCarryTheStateOfTheirOwnMessages)
{
    HostWindow parent(false);
    DragListener listener;
    std::unique_ptr<Window> window = createChildWindow(parent.window, 200, 100, &listener);
    ASSERT_TRUE(window);
    listener.window = window.get();
    HWND handle = static_cast<HWND>(window->getNativeHandle());
    drainMessages();

    // A tap queued whole before the host looks: the press still shows the
    // button down, and the loop ends on the release it finds in the queue.
    click(onScreen(handle, 50, 50), 0);
    drainMessages();
    EXPECT_EQ(listener.stateAtPress & kInputLeft, kInputLeft);
    EXPECT_TRUE(listener.released);
    EXPECT_LT(listener.passes, 5);

    // A drag that leaves the window and is released outside it, all queued
    // before the host looks: the loop sees the move and ends on the release.
    listener.positions.clear();
    const POINT outside = onScreen(handle, 150, 300);
    SetCursorPos(onScreen(handle, 60, 40).x, onScreen(handle, 60, 40).y);
    sendInputs({mouseInput(MOUSEEVENTF_LEFTDOWN)});
    SetCursorPos(outside.x, outside.y);
    sendInputs({mouseInput(MOUSEEVENTF_LEFTUP)});
    drainMessages();
    EXPECT_EQ(listener.stateAtPress & kInputLeft, kInputLeft);
    EXPECT_TRUE(listener.released);
    EXPECT_LT(listener.passes, 10);
    ASSERT_FALSE(listener.positions.empty());
    EXPECT_EQ(listener.positions.back().x, outside.x);
    EXPECT_EQ(listener.positions.back().y, outside.y);

    // Shift held for a wheel notch and let go before the host looks.
    SetCursorPos(onScreen(handle, 30, 30).x, onScreen(handle, 30, 30).y);
    drainMessages();
    SetForegroundWindow(parent.window);
    sendInputs({keyInput(VK_SHIFT, false), mouseInput(MOUSEEVENTF_WHEEL, WHEEL_DELTA), keyInput(VK_SHIFT, true)});
    drainMessages();
    ASSERT_NE(listener.wheelState, -1) << "no wheel event";
    EXPECT_EQ(listener.wheelState & kInputShift, kInputShift);
    EXPECT_EQ(listener.wheelAt.x, 30);
    EXPECT_EQ(listener.wheelAt.y, 30);

    // A dialog opened from the press gets the mouse once the button is up:
    // the window holds the mouse for a drag only while a button is down.
    WNDCLASSA dialogClass{};
    dialogClass.lpfnWndProc = &dialogStandInProc;
    dialogClass.hInstance = GetModuleHandleA(nullptr);
    dialogClass.lpszClassName = "ZelvoDialogStandIn";
    RegisterClassA(&dialogClass);
    HWND dialog = CreateWindowExA(WS_EX_TOPMOST, "ZelvoDialogStandIn", "dialog", WS_POPUP | WS_VISIBLE, 700, 100, 200,
                                  200, nullptr, nullptr, dialogClass.hInstance, nullptr);
    ASSERT_NE(dialog, nullptr);
    drainMessages();
    listener.runsDialog = true;
    std::thread hand([&] {
        click(onScreen(handle, 50, 50), 20);
        Sleep(100);
        click(POINT{750, 150}, 20);
    });
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end)
    {
        drainMessages();
        Sleep(10);
    }
    hand.join();
    drainMessages();
    EXPECT_EQ(clicksOnDialog.load(), 1);
    DestroyWindow(dialog);
}

// A deliberate click, held across several rounds of the host's loop.
void slowClick(OpenEditor& editor, int x, int y)
{
    const POINT where = onScreen(editor.frame, x, y);
    SetCursorPos(where.x, where.y);
    sendInputs({mouseInput(MOUSEEVENTF_LEFTDOWN)});
    pump(editor.host, editor.parent, 60);
    sendInputs({mouseInput(MOUSEEVENTF_LEFTUP)});
    pump(editor.host, editor.parent, 60);
}

// Opens the Drive entry field with a click; its box.
HWND openDriveField(OpenEditor& editor)
{
    slowClick(editor, 80, 417);
    return editor.editBox();
}

TEST(Win32EditorInput, ReturnTabAndEscapeReachTheEntryFieldInADialogHost)
{
    OpenEditor editor(true);
    ASSERT_NE(editor.frame, nullptr);
    dialogCommands = 0;

    HWND box = openDriveField(editor);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetFocus(), box);
    typeKeys({'1', '2', VK_TAB});
    pump(editor.host, editor.parent, 100);
    // Tab stays in the box instead of moving to the host's button.
    EXPECT_EQ(editor.editBox(), box);
    EXPECT_EQ(GetFocus(), box);

    typeKeys({VK_RETURN});
    pump(editor.host, editor.parent, 100);
    EXPECT_EQ(editor.editBox(), nullptr) << "Return did not end the edit";
    // "12" is a true gain of +12 dB: 2^(8(v - 0.5)).
    EXPECT_NEAR(editor.host.getParameter(kDrive), 0.7491446f, 1e-4);

    // Escape ends the edit and gives up the typing.
    ASSERT_NE(openDriveField(editor), nullptr);
    typeKeys({'3', VK_ESCAPE});
    pump(editor.host, editor.parent, 100);
    EXPECT_EQ(editor.editBox(), nullptr) << "Escape did not end the edit";
    EXPECT_NEAR(editor.host.getParameter(kDrive), 0.7491446f, 1e-4);

    EXPECT_EQ(dialogCommands.load(), 0) << "the dialog host took keys meant for the field";
    editor.host.dispatch(effEditClose);
}

TEST(Win32EditorInput, FocusGoesBackToTheHostAndEditsStayPairedWhenTheFieldOrEditorCloses)
{
    OpenEditor editor;
    ASSERT_NE(editor.frame, nullptr);
    SetFocus(editor.parent.window);

    // Return, and a click elsewhere in the editor.
    ASSERT_NE(openDriveField(editor), nullptr);
    typeKeys({'6', VK_RETURN});
    pump(editor.host, editor.parent, 100);
    EXPECT_EQ(editor.editBox(), nullptr);
    EXPECT_EQ(GetFocus(), editor.parent.window);

    ASSERT_NE(openDriveField(editor), nullptr);
    slowClick(editor, 262, 300);
    EXPECT_EQ(editor.editBox(), nullptr);
    EXPECT_EQ(GetFocus(), editor.parent.window);

    // Closing the editor with the field open.
    ASSERT_NE(openDriveField(editor), nullptr);
    typeKeys({'9'});
    pump(editor.host, editor.parent, 50);
    editor.host.dispatch(effEditClose);
    EXPECT_EQ(GetFocus(), editor.parent.window);
    // Every edit the host was told began has ended, the field's three among them.
    int open = 0, begun = 0;
    for (const HostCall& call : editor.host.calls())
        if (call.index == kDrive && (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit))
        {
            open += call.opcode == audioMasterBeginEdit ? 1 : -1;
            begun += call.opcode == audioMasterBeginEdit;
        }
    EXPECT_EQ(open, 0);
    EXPECT_GE(begun, 3);
}
} // namespace
