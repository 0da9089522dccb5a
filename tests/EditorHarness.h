// The editor tests' bench: a host window on the X server named by DISPLAY
// (Xvfb in the test script), the plug-in loaded through its entry point, its
// editor opened in that window and idled as a host idles it, a user who
// moves the pointer, clicks and types through XTest on a connection of its
// own while the host keeps idling, and screenshots of the window.
#pragma once

#include <gtest/gtest.h>
// After GoogleTest, whose names the X11 macros (None, Bool, Status) would clash with.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "effect/ParameterTable.h"
#include "resources/SkinResources.h"
#include "tests/support/TestHost.h"

// A picture of the host window: pixels 0xRRGGBB.
struct Screenshot
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A picture of the editor's 524 x 462 area of a window, through any connection.
inline Screenshot grabEditorArea(Display* display, ::Window window)
{
    XSync(display, False);
    Screenshot shot;
    XImage* image = XGetImage(display, window, 0, 0, 524, 462, AllPlanes, ZPixmap);
    if (!image)
        return shot;
    shot.width = 524;
    shot.height = 462;
    shot.pixels.resize(524 * 462);
    for (int y = 0; y < 462; ++y)
        for (int x = 0; x < 524; ++x)
            shot.pixels[static_cast<size_t>(y) * 524 + x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu;
    XDestroyImage(image);
    return shot;
}

// A connection to the X server. A busy server can refuse a connection for a
// moment (its queue of pending connections is short), so try for a while.
inline Display* connectToServer()
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        if (Display* display = XOpenDisplay(nullptr))
            return display;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

// A skin bitmap's pixel as 0xRRGGBB.
inline uint32_t skinPixel(int id, int x, int y)
{
    const SkinBitmap* bitmap = findSkinBitmap(id);
    if (!bitmap || x < 0 || y < 0 || x >= bitmap->width || y >= bitmap->height)
        return 0xFF000000u; // never equal to a screen pixel
    return bitmap->pixels[static_cast<size_t>(y) * bitmap->width + x] & 0xFFFFFFu;
}

// A host's window for the editor, 600 x 520 at (40, 30), mapped when this
// returns; its screen position in originX, originY.
inline Window mapHostWindow(Display* display, int& originX, int& originY)
{
    const int screen = DefaultScreen(display);
    Window parent =
        XCreateSimpleWindow(display, RootWindow(display, screen), 40, 30, 600, 520, 0, 0, BlackPixel(display, screen));
    XSelectInput(display, parent, StructureNotifyMask);
    XMapWindow(display, parent);
    for (XEvent event;;)
    {
        XNextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    XSync(display, False);
    Window child;
    XTranslateCoordinates(display, parent, RootWindow(display, screen), 0, 0, &originX, &originY, &child);
    return parent;
}

// The simulated user: its own connection, only used on its own thread.
class User
{
public:
    User(int originX, int originY) : originX(originX), originY(originY) { display = connectToServer(); }
    ~User()
    {
        if (display)
            XCloseDisplay(display);
    }
    void move(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, originX + x, originY + y, CurrentTime);
        XFlush(display);
        pause(15);
    }
    void press(unsigned button = 1)
    {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XFlush(display);
        // Held as long as a hand holds it: the editor reads the live button
        // state when it gets to the press.
        pause(90);
    }
    void release(unsigned button = 1)
    {
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XFlush(display);
        pause(30);
    }
    // A press and its release held for exactly holdMs (0: sent back to back,
    // as a touchpad tap), then nothing: whatever reads the click must do it
    // from the events.
    void tap(int x, int y, int holdMs, unsigned button = 1)
    {
        XTestFakeMotionEvent(display, -1, originX + x, originY + y, CurrentTime);
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        if (holdMs > 0)
        {
            XFlush(display);
            pause(holdMs);
        }
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XFlush(display);
    }
    void click(int x, int y, unsigned button = 1)
    {
        move(x, y);
        press(button);
        release(button);
    }
    // A press with modifier keys held (XK_Control_L, XK_Shift_L).
    void clickWith(KeySym modifier, int x, int y)
    {
        move(x, y);
        keyDown(modifier);
        press();
        release();
        keyUp(modifier);
    }
    void keyDown(KeySym key)
    {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
        XFlush(display);
    }
    void keyUp(KeySym key)
    {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
        XFlush(display);
        pause(10);
    }
    void key(KeySym key, bool shift = false)
    {
        if (shift)
            keyDown(XK_Shift_L);
        keyDown(key);
        keyUp(key);
        if (shift)
            keyUp(XK_Shift_L);
    }
    void type(const std::string& text)
    {
        for (char c : text)
        {
            if (c >= 'A' && c <= 'Z')
                key(XK_a + (c - 'A'), true);
            else if (c == '-')
                key(XK_minus);
            else if (c == '.')
                key(XK_period);
            else if (c == ' ')
                key(XK_space);
            else
                key(static_cast<KeySym>(static_cast<unsigned char>(c)));
        }
    }
    // Selects everything typed so far in a text box and removes it.
    void clearField()
    {
        keyDown(XK_Control_L);
        key(XK_a);
        keyUp(XK_Control_L);
        key(XK_BackSpace);
    }
    static void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    Display* display = nullptr;

private:
    int originX;
    int originY;
};

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name)
            << "DISPLAY is not set: the editor tests need an X server (the test script starts Xvfb :99)";
        display = connectToServer();
        ASSERT_NE(display, nullptr) << "cannot open the X display " << name;
        settings = useTemporarySettingsStore(::testing::UnitTest::GetInstance()->current_test_info()->name());
        host = std::make_unique<TestHost>();
        ASSERT_NE(host->effect, nullptr);
        host->setSampleRate(44100.0f);
        host->dispatch(effMainsChanged, 0, 1);

        parent = mapHostWindow(display, originX, originY);
    }

    void TearDown() override
    {
        stopProcessing();
        if (host && host->effect)
        {
            if (opened)
                host->dispatch(effEditClose);
            host->dispatch(effMainsChanged, 0, 0);
            host->close();
        }
        host.reset();
        if (display)
        {
            if (parent)
                XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    bool openEditor()
    {
        opened = host->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(parent)) == 1;
        pump(150);
        return opened;
    }

    void closeEditor()
    {
        host->dispatch(effEditClose);
        opened = false;
    }

    // The host's idle calls for the given time.
    void pump(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
        {
            host->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // Runs the user's actions on their own thread while the host idles the
    // editor every idleEveryMs (a drag or a menu runs inside an idle call),
    // then idles a little more.
    void act(const std::function<void(User&)>& actions, int settleMs = 150, int idleEveryMs = 5)
    {
        std::atomic<bool> done{false};
        std::thread user([&] {
            User u(originX, originY);
            if (u.display)
                actions(u);
            else
                ADD_FAILURE() << "the user's connection to the X server was refused";
            done = true;
        });
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < limit)
        {
            host->dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(idleEveryMs));
        }
        user.join();
        pump(settleMs);
    }

    Screenshot screenshot() { return grabEditorArea(display, parent); }

    // Audio on a thread of its own, as a host's audio thread: blocks of 256
    // frames of the generator's samples, a little faster than real time.
    void startProcessing(std::function<float(long frame, int channel)> generator)
    {
        stopProcessing();
        processing = true;
        audio = std::thread([this, generator] {
            std::vector<float> left(256), right(256), outLeft(256), outRight(256);
            long frame = 0;
            while (processing)
            {
                for (int i = 0; i < 256; ++i, ++frame)
                {
                    left[static_cast<size_t>(i)] = generator(frame, 0);
                    right[static_cast<size_t>(i)] = generator(frame, 1);
                }
                host->process(left, right, outLeft, outRight);
                lastOutLeft = outLeft[255];
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
            }
        });
    }

    void stopProcessing()
    {
        processing = false;
        if (audio.joinable())
            audio.join();
    }

    // The host's automate reports for one parameter, in order.
    std::vector<float> automated(int index)
    {
        std::vector<float> values;
        for (const HostCall& call : host->calls())
            if (call.opcode == audioMasterAutomate && call.index == index)
                values.push_back(call.opt);
        return values;
    }

    size_t count(VstInt32 opcode, int index)
    {
        size_t n = 0;
        for (const HostCall& call : host->calls())
            if (call.opcode == opcode && call.index == index)
                ++n;
        return n;
    }

    Display* display = nullptr;
    Window parent = 0;
    int originX = 0;
    int originY = 0;
    std::string settings;
    std::unique_ptr<TestHost> host;
    bool opened = false;
    std::atomic<bool> processing{false};
    std::atomic<float> lastOutLeft{0.0f};
    std::thread audio;
};
