// The VST3 and CLAP editors on Windows (Wine in CI): opened in a host's HWND,
// idled by a timer of the editor's own window while the host only runs its
// message loop (neither format has an idle call there), tapped (press and
// release back to back), and closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <functional>
#include <vector>

#include "effect/ParameterTable.h"
#include "tests/support/ClapTestHost.h"
#include "tests/support/Vst3TestHost.h"

namespace
{

LRESULT CALLBACK hostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

struct HostWindow
{
    HWND window = nullptr;
    HostWindow()
    {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &hostProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "ZelvoFormatHost";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "ZelvoFormatHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, 620, 480, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
        SetForegroundWindow(window);
    }
    ~HostWindow() { DestroyWindow(window); }
    HWND frame() const { return FindWindowExA(window, nullptr, "QDXZelvoFrame", nullptr); }
};

// The host's message loop alone for the given time.
void runMessages(int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end)
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

// A tap on the detector-order button of the editor in frame.
void tapDetectorOrder(HWND frame)
{
    POINT where{60, 50};
    ClientToScreen(frame, &where);
    SetCursorPos(where.x, where.y);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
    runMessages(300);
}

TEST(Vst3EditorWindows, OpensInAnHwndIdlesByItsOwnTimerTakesATapAndCloses)
{
    vst3test::Instance vst3;
    ASSERT_NE(vst3.controller, nullptr);
    vst3::IPlugView* view = vst3.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported("HWND"), vst3::kResultTrue);
    EXPECT_NE(view->isPlatformTypeSupported("X11EmbedWindowID"), vst3::kResultTrue);
    HostWindow host;
    ASSERT_EQ(view->attached(host.window, "HWND"), vst3::kResultOk);
    ASSERT_NE(host.frame(), nullptr);
    runMessages(300);
    tapDetectorOrder(host.frame());
    int values = 0;
    for (const auto& edit : vst3.handler.log)
        values += edit.id == kDetectorOrder && edit.kind == 'v';
    EXPECT_EQ(values, 1) << "the tap reached the host: the window's timer idled the editor";
    EXPECT_EQ(view->removed(), vst3::kResultOk);
    EXPECT_EQ(host.frame(), nullptr);
    EXPECT_EQ(view->release(), 0u);
}

TEST(ClapEditorWindows, EmbedsInWin32IdlesByItsOwnTimerTakesATapAndCloses)
{
    claptest::Instance clap(false);
    ASSERT_NE(clap.plugin, nullptr);
    auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, "clap.gui"));
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(gui->is_api_supported(clap.plugin, "win32", false));
    EXPECT_FALSE(gui->is_api_supported(clap.plugin, "x11", false));
    EXPECT_EQ(clap.plugin->get_extension(clap.plugin, "clap.posix-fd-support"), nullptr);
    HostWindow host;
    ASSERT_TRUE(gui->create(clap.plugin, "win32", false));
    clap_window_t window{};
    window.api = "win32";
    window.win32 = host.window;
    ASSERT_TRUE(gui->set_parent(clap.plugin, &window));
    ASSERT_NE(host.frame(), nullptr);
    runMessages(300);
    tapDetectorOrder(host.frame());
    clap.flush({});
    int values = 0;
    for (uint32_t i = 0; i < clap.sentCount.load(); ++i)
        values += clap.sent[i].id == kDetectorOrder && clap.sent[i].type == CLAP_EVENT_PARAM_VALUE;
    EXPECT_EQ(values, 1) << "the tap reached the host: the window's timer idled the editor";
    gui->destroy(clap.plugin);
    EXPECT_EQ(host.frame(), nullptr);
}

} // namespace
