// The toolkit in real X11 windows: a host-like parent window, a frame with
// controls inside it, the real pointer and keyboard moved by XTest from a
// "user" thread with its own connection, and the screen read back.
// GoogleTest comes before the X11 headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>

#include "tests/support/gui/GuiTestSupport.h"

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace VSTGUI;
using namespace guitest;

namespace
{

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        pause(5);
    }
    return true;
}

std::string screenshotPath(const std::string& name)
{
    const char* build = std::getenv("ZELVO_BUILD_DIR");
    std::string folder = std::string(build ? build : ".") + "/screenshots";
    mkdir(folder.c_str(), 0755);
    return folder + "/" + name;
}

// Reads a window's pixels as 0xRRGGBB.
struct ScreenImage
{
    ScreenImage(Display* display, Window window, int x, int y, int width, int height) : width(width), height(height)
    {
        XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap);
        if (!image)
            return;
        pixels.resize(static_cast<size_t>(width) * height);
        for (int row = 0; row < height; ++row)
            for (int column = 0; column < width; ++column)
                pixels[static_cast<size_t>(row) * width + column] = XGetPixel(image, column, row) & 0xFFFFFF;
        XDestroyImage(image);
    }
    uint32_t at(int x, int y) const { return pixels.empty() ? 0xDEAD : pixels[static_cast<size_t>(y) * width + x]; }
    bool writePpm(const std::string& path) const
    {
        std::ofstream file(path, std::ios::binary);
        file << "P6\n" << width << " " << height << "\n255\n";
        for (uint32_t p : pixels)
        {
            char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
            file.write(rgb, 3);
        }
        return static_cast<bool>(file);
    }
    int width;
    int height;
    std::vector<uint32_t> pixels;
};

Display* openDisplay();

// The person at the keyboard: drives the real pointer and keys through XTest
// on a connection of its own, on its own thread.
class User
{
public:
    User();
    ~User()
    {
        if (display)
            XCloseDisplay(display);
    }
    void move(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
    }
    void press(unsigned button = 1)
    {
        XTestFakeButtonEvent(display, button, True, CurrentTime);
        XSync(display, False);
    }
    void release(unsigned button = 1)
    {
        XTestFakeButtonEvent(display, button, False, CurrentTime);
        XSync(display, False);
    }
    // A press and its release sent back to back (a touchpad tap).
    void tap(int x, int y)
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
    }
    void click(int x, int y, unsigned button = 1, int holdMs = 150)
    {
        move(x, y);
        pause(20);
        press(button);
        pause(holdMs);
        release(button);
        pause(20);
    }
    void key(KeySym symbol)
    {
        KeyCode code = XKeysymToKeycode(display, symbol);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        XSync(display, False);
        pause(15);
    }
    void type(const char* text)
    {
        for (const char* p = text; *p; ++p)
            key(static_cast<KeySym>(static_cast<unsigned char>(*p)));
    }
    // A mapped top-level window with this name, or an override-redirect one when name is null.
    Window findTopLevel(const char* name)
    {
        Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
        unsigned count = 0;
        Window found = 0;
        if (XQueryTree(display, root, &root, &parent, &children, &count))
        {
            for (unsigned i = 0; i < count && !found; ++i)
            {
                XWindowAttributes attributes{};
                if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable)
                    continue;
                if (!name)
                {
                    if (attributes.override_redirect)
                        found = children[i];
                    continue;
                }
                char* title = nullptr;
                if (XFetchName(display, children[i], &title) && title)
                {
                    if (std::string(title) == name)
                        found = children[i];
                    XFree(title);
                }
            }
            if (children)
                XFree(children);
        }
        return found;
    }
    bool geometry(Window window, int& x, int& y, int& width, int& height)
    {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, window, &attributes))
            return false;
        Window child = 0;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        width = attributes.width;
        height = attributes.height;
        return true;
    }
    Display* display;
};

User::User() : display(openDisplay()) {}

// Runs the user's actions on a thread while this thread keeps the editor idle.
template <typename Idle>
bool actWhileIdling(const std::function<void(User&)>& actions, Idle idle, int timeoutMs = 15000)
{
    std::atomic<bool> done{false};
    std::thread person([&] {
        User user;
        actions(user);
        done = true;
    });
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done && std::chrono::steady_clock::now() < end)
    {
        idle();
        pause(5);
    }
    person.join();
    idle();
    return done;
}

class CountingListener : public CControlListener
{
public:
    void valueChanged(CDrawContext*, CControl* control) override
    {
        values.push_back(control->getValue());
        tags.push_back(control->getTag());
        changes++;
    }
    std::vector<float> values;
    std::vector<long> tags;
    std::atomic<int> changes{0};
};

// A view that keeps what is dropped on it.
class DropZone : public CView
{
public:
    explicit DropZone(const CRect& size) : CView(size) {}
    void draw(CDrawContext* context) override
    {
        context->setFillColor(rgb(40, 40, 90));
        context->drawRect(size, kDrawFilled);
        setDirty(false);
    }
    bool onDrop(CDrawContext*, CDragContainer* drag, const CPoint&) override
    {
        long size = 0, type = 0;
        for (const char* item = drag->first(size, type); item; item = drag->next(size, type))
        {
            items.push_back(item);
            types.push_back(type);
        }
        drops++;
        return true;
    }
    std::vector<std::string> items;
    std::vector<long> types;
    std::atomic<int> drops{0};
};

class WindowEditor : public GuiEditor
{
public:
    explicit WindowEditor(AudioEffect* effect) : vst(effect, *this) {}
    bool open(void* ptr) override
    {
        GuiEditor::open(ptr);
        frame = new CFrame(CRect(0, 0, 420, 300), ptr, this);
        frame->setBackgroundColor(rgb(60, 64, 70));
        if (build)
            build(frame);
        return frame->isOpen();
    }
    void close() override
    {
        if (frame)
            frame->forget();
        frame = nullptr;
        GuiEditor::close();
    }
    std::function<void(CFrame*)> build;
    // The VST 2.4 host's side of this editor.
    AEffGUIEditor vst;
};

// An X server resets when its last client leaves and refuses connections while
// it does: the tests keep one connection open for their whole run, and retry.
Display* openDisplay()
{
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        if (Display* display = XOpenDisplay(nullptr))
            return display;
        pause(20);
    }
    return nullptr;
}

class RealWindows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Without an X server these tests cannot check anything: that is a failure, not a pass.
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name) << "DISPLAY is not set: start an X server (Xvfb :99) and export DISPLAY";
        static Display* keepServerUp = openDisplay();
        ASSERT_NE(keepServerUp, nullptr) << "cannot open display " << name;
        display = openDisplay();
        ASSERT_NE(display, nullptr) << "cannot open display " << name;
        // Keys go to the window under the pointer, as on a fresh server.
        XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 40, 30, 420, 300, 0, 0, 0x202020);
        XStoreName(display, parent, "Host window");
        XMapRaised(display, parent);
        XSync(display, False);
        effect = std::make_unique<TestEffect>();
        editor = new WindowEditor(effect.get());
    }

    void TearDown() override
    {
        if (editor)
        {
            editor->close();
            effect->setEditor(nullptr);
            delete editor;
        }
        effect.reset();
        if (display)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    void open()
    {
        ASSERT_TRUE(editor->open(reinterpret_cast<void*>(static_cast<uintptr_t>(parent))));
        frame = editor->getFrame();
        ASSERT_TRUE(waitUntil(
            [&] {
                editor->idle();
                return !frame->isFirstPaintPending();
            },
            3000))
            << "the frame window was never exposed";
        idle(100);
    }

    void idle(int ms = 60)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end)
        {
            editor->idle();
            pause(5);
        }
    }

    bool act(const std::function<void(User&)>& actions, int timeoutMs = 15000)
    {
        return actWhileIdling(
            actions, [&] { editor->idle(); }, timeoutMs);
    }

    // Screen position of a point of the frame.
    int sx(int x) const { return 40 + x; }
    int sy(int y) const { return 30 + y; }

    ScreenImage grab(int x = 0, int y = 0, int width = 420, int height = 300)
    {
        XSync(display, False);
        return ScreenImage(display, parent, x, y, width, height);
    }

    Display* display = nullptr;
    Window parent = 0;
    std::unique_ptr<TestEffect> effect;
    WindowEditor* editor = nullptr;
    CFrame* frame = nullptr;
    CountingListener listener;
};

} // namespace

TEST_F(RealWindows, FrameIsAChildOfTheHostWindowAndPaintsItsViews)
{
    COnOffButton* button = nullptr;
    editor->build = [&](CFrame* f) {
        CBitmap* strip = makeStrip(40, 20, {argb(200, 30, 30), argb(30, 200, 30)});
        button = new COnOffButton(CRect(10, 10, 50, 30), &listener, 1, strip);
        strip->forget();
        f->addView(button);
    };
    open();
    Window root = 0, parentOfFrame = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &parentOfFrame, &children, &count);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(static_cast<uintptr_t>(children[0]), reinterpret_cast<uintptr_t>(frame->getSystemWindow()));
    XFree(children);
    ScreenImage screen = grab();
    EXPECT_EQ(screen.at(20, 20), 0xC81E1Eu);
    EXPECT_EQ(screen.at(200, 200), 0x3C4046u);
}

TEST_F(RealWindows, ClickTogglesAnOnOffButtonAndIdleRedrawsIt)
{
    editor->build = [&](CFrame* f) {
        CBitmap* strip = makeStrip(40, 20, {argb(200, 30, 30), argb(30, 200, 30)});
        f->addView(new COnOffButton(CRect(10, 10, 50, 30), &listener, 1, strip));
        strip->forget();
    };
    open();
    ASSERT_TRUE(act([&](User& user) {
        user.move(sx(25), sy(20));
        pause(20);
        user.press();
        waitUntil([&] { return listener.changes > 0; }, 3000);
        user.release();
    }));
    ASSERT_EQ(listener.values, std::vector<float>{1.0f});
    idle();
    EXPECT_EQ(grab().at(20, 20), 0x1EC81Eu);
}

TEST_F(RealWindows, KnobFollowsARealDragAndTheWheel)
{
    CKnob* knob = nullptr;
    editor->build = [&](CFrame* f) {
        CBitmap* face = makeKnobFace(60);
        knob = new CKnob(CRect(100, 100, 160, 160), &listener, 4, face, nullptr);
        face->forget();
        knob->setValue(0.0f);
        f->addView(knob);
    };
    open();
    editor->setKnobMode(kLinearMode);
    ASSERT_TRUE(act([&](User& user) {
        user.move(sx(130), sy(130));
        pause(30);
        user.press();
        for (int step = 1; step <= 10; ++step)
        {
            user.move(sx(130 + step * 10), sy(130));
            pause(25);
        }
        pause(100);
        user.release();
    }));
    editor->setKnobMode(kCircularMode);
    EXPECT_NEAR(knob->getValue(), 0.5f, 1e-4) << "100 pixels of a 200-pixel linear drag";
    EXPECT_EQ(effect->getEditor(), &editor->vst);

    float before = knob->getValue();
    ASSERT_TRUE(act([&](User& user) { user.click(sx(130), sy(130), 4, 20); }));
    EXPECT_NEAR(knob->getValue(), before + 0.1f, 1e-4);
    ASSERT_TRUE(act([&](User& user) { user.click(sx(130), sy(130), 5, 20); }));
    EXPECT_NEAR(knob->getValue(), before, 1e-4);
}

TEST_F(RealWindows, KickButtonReportsPressAndReleaseFromTheRealButton)
{
    editor->build = [&](CFrame* f) {
        CBitmap* strip = makeStrip(30, 20, {argb(90, 90, 90), argb(250, 250, 250)});
        f->addView(new CKickButton(CRect(200, 20, 230, 40), &listener, 35, 20, strip));
        strip->forget();
    };
    open();
    uint32_t pressedPixel = 0;
    ASSERT_TRUE(act([&](User& user) {
        user.move(sx(210), sy(30));
        pause(20);
        user.press();
        waitUntil([&] { return listener.changes > 0; }, 3000);
        pause(150); // long enough for the drag loop's idle pass to show the pressed frame
        XSync(display, False);
        pressedPixel = ScreenImage(user.display, parent, 210, 30, 1, 1).at(0, 0);
        user.release();
    }));
    ASSERT_GE(listener.values.size(), 2u);
    EXPECT_EQ(listener.values.front(), 1.0f);
    EXPECT_EQ(listener.values.back(), 0.0f);
    EXPECT_EQ(pressedPixel, 0xFAFAFAu);
}

TEST_F(RealWindows, TypingIntoTheEditBoxSetsTheText)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        field = new CTextEdit(CRect(20, 200, 220, 222), &listener, 31, "Current");
        field->setBackColor(rgb(207, 222, 235));
        field->setFontColor(rgb(76, 76, 72));
        f->addView(field);
    };
    open();
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(60), sy(210));
        // Wait for the box: a child window of the frame's window.
        waitUntil(
            [&] {
                Window root = 0, up = 0, *children = nullptr;
                unsigned count = 0;
                auto frameWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getSystemWindow()));
                XQueryTree(user.display, frameWindow, &root, &up, &children, &count);
                if (children)
                    XFree(children);
                return count > 0;
            },
            3000);
        pause(50);
        user.type("loud");      // replaces the selected text
        user.key(XK_BackSpace); // "lou"
        user.key(XK_Home);
        user.type("x"); // "xlou"
        user.key(XK_End);
        user.key(XK_Left);
        user.key(XK_Delete); // "xlo"
        user.key(XK_Return);
    }));
    idle();
    char text[256];
    field->getText(text);
    EXPECT_STREQ(text, "xlo");
    EXPECT_FALSE(field->isEditing());
    EXPECT_TRUE(field->wasReturnPressed());
    EXPECT_EQ(listener.tags, std::vector<long>{31});
}

TEST_F(RealWindows, ClickOutsideTheEditBoxEndsTheEdit)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        field = new CTextEdit(CRect(20, 200, 220, 222), &listener, 31, "Same");
        f->addView(field);
    };
    open();
    ASSERT_TRUE(act([&](User& user) { user.click(sx(60), sy(210)); }));
    EXPECT_TRUE(field->isEditing());
    ASSERT_TRUE(act([&](User& user) { user.click(sx(300), sy(100)); }));
    EXPECT_FALSE(field->isEditing());
    EXPECT_EQ(listener.changes, 0) << "the unchanged text is no change";
}

// Whether two clicks make a double click depends on when they happened, not
// on when a host that idles seldom hands them over.
TEST_F(RealWindows, DoubleClicksAreTimedByTheClicksThemselves)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        field = new CTextEdit(CRect(20, 200, 220, 222), &listener, 31, "Name", nullptr, kDoubleClickStyle);
        f->addView(field);
    };
    open();
    {
        // Two single clicks 700 ms apart, both read in one late idle.
        User user;
        user.tap(sx(60), sy(210));
        pause(700);
        user.tap(sx(60), sy(210));
    }
    idle(100);
    EXPECT_FALSE(field->isEditing()) << "two clicks 700 ms apart are no double click";
    pause(600);
    // A double tap while the host idles every 100 ms.
    ASSERT_TRUE(actWhileIdling(
        [&](User& user) {
            user.tap(sx(60), sy(210));
            pause(80);
            user.tap(sx(60), sy(210));
            pause(250);
        },
        [&] {
            editor->idle();
            pause(95);
        }));
    EXPECT_TRUE(field->isEditing()) << "a double tap opens the field";
}

// Closing the editor with the field open ends the edit as losing the focus
// does: the typed text is taken.
TEST_F(RealWindows, ClosingWithTheEditBoxOpenTakesTheTypedText)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        field = new CTextEdit(CRect(20, 200, 220, 222), &listener, 31, "Before");
        f->addView(field);
    };
    open();
    std::string reported;
    struct Reader : CControlListener
    {
        std::string* text;
        void valueChanged(CDrawContext*, CControl* control) override
        {
            char buffer[256] = "";
            static_cast<CTextEdit*>(control)->getText(buffer);
            *text = buffer;
        }
    } reader;
    reader.text = &reported;
    field->setListener(&reader);
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(60), sy(210));
        waitUntil([&] { return field->isEditing(); }, 3000);
        pause(50);
        user.type("after");
        pause(50);
    }));
    ASSERT_TRUE(field->isEditing());
    editor->close();
    EXPECT_EQ(reported, "after");
}

TEST_F(RealWindows, PopUpMenuEntryIsPickedWithThePointerAndEscapeCancels)
{
    COptionMenu* menu = nullptr;
    editor->build = [&](CFrame* f) {
        menu = new COptionMenu(CRect(250, 60, 360, 78), &listener, 37, nullptr, nullptr, kCheckStyle);
        menu->setFontColor(kWhiteCColor);
        menu->setBackColor(rgb(30, 30, 30));
        for (const char* entry : {"Current", "-", "Loud", "Gentle", "-TFactory", "-GLocked", "Wide"})
            menu->addEntry(entry);
        f->addView(menu);
    };
    open();
    // Rows of 20 pixels, separators of 9, one pixel of edge: "Gentle" is the fourth row.
    int gentleY = sy(78) + 1 + 20 + 9 + 20 + 10;
    std::string shot = screenshotPath("x11_popup_menu.ppm");
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(270), sy(70));
        waitUntil([&] { return user.findTopLevel(nullptr) != 0; }, 3000);
        pause(100);
        ScreenImage(user.display, DefaultRootWindow(user.display), sx(200), sy(30), 300, 240).writePpm(shot);
        user.move(sx(290), gentleY);
        pause(50);
        user.click(sx(290), gentleY, 1, 50);
    }));
    ASSERT_EQ(listener.values, std::vector<float>{3.0f});
    EXPECT_EQ(menu->getCurrent(), 3);

    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(270), sy(70));
        waitUntil([&] { return user.findTopLevel(nullptr) != 0; }, 3000);
        user.key(XK_Escape);
        waitUntil([&] { return user.findTopLevel(nullptr) == 0; }, 3000);
    }));
    EXPECT_EQ(listener.changes, 1);

    // Keyboard: down from the top skips the separator and the title.
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(270), sy(70));
        waitUntil([&] { return user.findTopLevel(nullptr) != 0; }, 3000);
        user.key(XK_Down); // Current
        user.key(XK_Down); // Loud
        user.key(XK_Return);
    }));
    EXPECT_EQ(menu->getCurrent(), 2);

    // A click outside the menu cancels it.
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(270), sy(70));
        waitUntil([&] { return user.findTopLevel(nullptr) != 0; }, 3000);
        user.click(sx(5), sy(5), 1, 30);
        waitUntil([&] { return user.findTopLevel(nullptr) == 0; }, 3000);
    }));
    EXPECT_EQ(menu->getCurrent(), 2);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(RealWindows, PopUpSubmenuOpensOnHoverInAMenuOfColumns)
{
    COptionMenu* menu = nullptr;
    COptionMenu* more = nullptr;
    editor->build = [&](CFrame* f) {
        menu = new COptionMenu(CRect(250, 60, 360, 78), &listener, 37, nullptr, nullptr, kCheckStyle);
        more = new COptionMenu(CRect(0, 0, 1, 1), nullptr, 38);
        more->addEntry("Soft");
        more->addEntry("Hard");
        menu->addEntry("Current");
        menu->addEntry(more, "More");
        menu->addEntry("Wide");
        menu->addEntry("Narrow");
        menu->setNbItemsPerColumn(2);
        more->forget();
        f->addView(menu);
    };
    open();
    // Columns of 80 pixels (the shortest a column gets) and one pixel of edge;
    // the submenu opens right of its entry, level with it.
    int menuX = sx(250), menuY = sy(78);
    int moreY = menuY + 1 + 20 + 10;
    int submenuX = menuX + 1 + 80;
    int hardY = menuY + 20 + 1 + 20 + 10;
    std::string shot = screenshotPath("x11_popup_submenu.ppm");
    ASSERT_TRUE(act([&](User& user) {
        user.click(sx(270), sy(70));
        waitUntil([&] { return user.findTopLevel(nullptr) != 0; }, 3000);
        pause(50);
        user.move(menuX + 30, moreY);
        pause(150);
        user.move(submenuX + 30, hardY);
        pause(100);
        ScreenImage(user.display, DefaultRootWindow(user.display), sx(200), sy(30), 350, 200).writePpm(shot);
        user.click(submenuX + 30, hardY, 1, 50);
    }));
    ASSERT_EQ(listener.values, std::vector<float>{1.0f});
    long index = -1;
    EXPECT_EQ(menu->getLastItemMenu(index), more);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(more->getCurrent(), 1);
    EXPECT_EQ(menu->getCurrent(), 0);
}

TEST_F(RealWindows, SetSizeGrowsTheWindowChainUnlessTheHostResizes)
{
    editor->build = [&](CFrame* f) {
        f->addView(new CParamDisplay(CRect(380, 260, 480, 320)));
    };
    open();
    auto frameWindow = static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getSystemWindow()));
    auto sizeOf = [&](Window window) {
        XSync(display, False);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window, &attributes);
        return std::make_pair(attributes.width, attributes.height);
    };
    EXPECT_FALSE(frame->setSize(420, 300));

    // The host can resize: only the frame's own window changes.
    effect->hostCanSize = true;
    effect->hostAcceptsSize = true;
    EXPECT_TRUE(frame->setSize(460, 320));
    EXPECT_EQ(sizeOf(frameWindow), std::make_pair(460, 320));
    EXPECT_EQ(sizeOf(parent), std::make_pair(420, 300));

    // It cannot: the frame grows the host's window around it as well.
    effect->hostCanSize = false;
    EXPECT_TRUE(frame->setSize(500, 340));
    EXPECT_EQ(sizeOf(frameWindow), std::make_pair(500, 340));
    EXPECT_EQ(sizeOf(parent), std::make_pair(500, 340));
    idle(150);
    ScreenImage screen = grab(0, 0, 500, 340);
    EXPECT_EQ(screen.at(450, 330), 0x3C4046u) << "the new area is painted with the frame's background";
}

TEST_F(RealWindows, HostDestroyingItsWindowFirstLeavesTheProcessRunning)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        field = new CTextEdit(CRect(20, 200, 220, 222), &listener, 31, "Current");
        f->addView(field);
        f->addView(new CKnob(CRect(100, 100, 160, 160), &listener, 4, nullptr, nullptr));
    };
    open();
    ASSERT_TRUE(act([&](User& user) { user.click(sx(60), sy(210)); }));
    ASSERT_TRUE(field->isEditing());
    // Some hosts destroy their window before they close the editor: every later
    // request on our windows fails on the server, and must fail quietly.
    XDestroyWindow(display, parent);
    XSync(display, False);
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 40, 30, 10, 10, 0, 0, 0);
    idle(100);
    EXPECT_FALSE(frame->isOpen());
    frame->setCursor(kCursorHand);
    CPoint where;
    EXPECT_TRUE(frame->getCurrentLocation(where));
    frame->setDirty(true);
    frame->idle();
    editor->close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(listener.changes, 0);
}

TEST_F(RealWindows, TabKeyFromTheServerMovesTheFocus)
{
    CKnob* first = nullptr;
    CKnob* second = nullptr;
    editor->build = [&](CFrame* f) {
        first = new CKnob(CRect(10, 10, 50, 50), &listener, 1, nullptr, nullptr);
        second = new CKnob(CRect(60, 10, 100, 50), &listener, 2, nullptr, nullptr);
        f->addView(first);
        f->addView(second);
    };
    open();
    ASSERT_TRUE(act([&](User& user) {
        user.move(sx(200), sy(200));
        pause(30);
        user.key(XK_Tab);
        user.key(XK_Tab);
    }));
    EXPECT_EQ(frame->getFocusView(), second);
    ASSERT_TRUE(act([&](User& user) { user.key(XK_Up); }));
    EXPECT_NEAR(second->getValue(), 0.1f, 1e-6);
}

TEST_F(RealWindows, DroppedFilesAndTextArriveThroughXdnd)
{
    DropZone* zone = nullptr;
    editor->build = [&](CFrame* f) {
        zone = new DropZone(CRect(0, 0, 420, 300));
        f->addView(zone);
    };
    open();
    auto target = static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getSystemWindow()));
    auto dragAndDrop = [&](const char* type, const std::string& content) {
        std::atomic<bool> finished{false};
        bool accepted = false;
        bool ok = act([&](User& user) {
            Display* d = user.display;
            Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
            Atom selection = XInternAtom(d, "XdndSelection", False);
            Atom typeAtom = XInternAtom(d, type, False);
            XSetSelectionOwner(d, selection, source, CurrentTime);
            auto send = [&](const char* name, long l1, long l2, long l3, long l4) {
                XEvent event{};
                event.xclient.type = ClientMessage;
                event.xclient.window = target;
                event.xclient.message_type = XInternAtom(d, name, False);
                event.xclient.format = 32;
                event.xclient.data.l[0] = static_cast<long>(source);
                event.xclient.data.l[1] = l1;
                event.xclient.data.l[2] = l2;
                event.xclient.data.l[3] = l3;
                event.xclient.data.l[4] = l4;
                XSendEvent(d, target, False, NoEventMask, &event);
                XSync(d, False);
            };
            send("XdndEnter", 5L << 24, static_cast<long>(typeAtom), 0, 0);
            send("XdndPosition", 0, (sx(100) << 16) | sy(100), CurrentTime,
                 static_cast<long>(XInternAtom(d, "XdndActionCopy", False)));
            auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            bool dropped = false;
            while (!finished && std::chrono::steady_clock::now() < end)
            {
                while (XPending(d))
                {
                    XEvent event;
                    XNextEvent(d, &event);
                    if (event.type == SelectionRequest)
                    {
                        XSelectionRequestEvent& request = event.xselectionrequest;
                        XChangeProperty(d, request.requestor, request.property, request.target, 8, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(content.data()),
                                        static_cast<int>(content.size()));
                        XEvent reply{};
                        reply.xselection.type = SelectionNotify;
                        reply.xselection.requestor = request.requestor;
                        reply.xselection.selection = request.selection;
                        reply.xselection.target = request.target;
                        reply.xselection.property = request.property;
                        reply.xselection.time = request.time;
                        XSendEvent(d, request.requestor, False, NoEventMask, &reply);
                        XSync(d, False);
                    }
                    else if (event.type == ClientMessage)
                    {
                        char* atomName = XGetAtomName(d, event.xclient.message_type);
                        std::string name = atomName ? atomName : "";
                        if (atomName)
                            XFree(atomName);
                        if (name == "XdndStatus" && !dropped)
                        {
                            accepted = event.xclient.data.l[1] & 1;
                            send("XdndDrop", 0, CurrentTime, 0, 0);
                            dropped = true;
                        }
                        else if (name == "XdndFinished")
                        {
                            finished = true;
                        }
                    }
                }
                pause(2);
            }
            XDestroyWindow(d, source);
            XSync(d, False);
        });
        EXPECT_TRUE(ok);
        EXPECT_TRUE(finished);
        EXPECT_TRUE(accepted);
    };
    dragAndDrop("text/uri-list", "file:///tmp/My%20Preset.qdx\r\n# comment\r\nfile:///tmp/bank.qdb\r\n");
    ASSERT_EQ(zone->drops, 1);
    EXPECT_EQ(zone->items, (std::vector<std::string>{"/tmp/My Preset.qdx", "/tmp/bank.qdb"}));
    EXPECT_EQ(zone->types, (std::vector<long>{CDragContainer::kFile, CDragContainer::kFile}));
    zone->items.clear();
    zone->types.clear();
    dragAndDrop("UTF8_STRING", "-6.0 dB");
    ASSERT_EQ(zone->drops, 2);
    EXPECT_EQ(zone->items, std::vector<std::string>{"-6.0 dB"});
    EXPECT_EQ(zone->types, std::vector<long>{CDragContainer::kText});
}

TEST_F(RealWindows, MessageBoxWaitsForItsOkButton)
{
    std::atomic<bool> seen{false};
    std::string shot = screenshotPath("x11_message_box.ppm");
    std::thread person([&] {
        User user;
        Window box = 0;
        waitUntil([&] { return (box = user.findTopLevel("Error...")) != 0; }, 5000);
        if (!box)
            return;
        seen = true;
        pause(100);
        int x = 0, y = 0, width = 0, height = 0;
        user.geometry(box, x, y, width, height);
        ScreenImage(user.display, box, 0, 0, width, height).writePpm(shot);
        user.click(x + width / 2, y + height - 16 - 12);
    });
    auto start = std::chrono::steady_clock::now();
    platform::showMessageBox("Error...", "This is not a preset file.\nNothing was loaded.");
    person.join();
    EXPECT_TRUE(seen);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    std::vector<std::string> recorded;
    platform::setMessageBoxRecorder(
        [&](const char* caption, const char* text) { recorded.push_back(std::string(caption) + "|" + text); });
    platform::showMessageBox("Error...", "recorded");
    platform::setMessageBoxRecorder(nullptr);
    EXPECT_EQ(recorded, std::vector<std::string>{"Error...|recorded"});
}

TEST_F(RealWindows, OwnFileDialogTakesATypedNameAndAsksBeforeReplacing)
{
    // Hide zenity and kdialog so the toolkit's own dialog runs.
    std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    char folderTemplate[] = "/tmp/zelvo-dialog-XXXXXX";
    std::string folder = mkdtemp(folderTemplate);
    std::ofstream(folder + "/old.qdb") << "x";
    std::ofstream(folder + "/notes.txt") << "x";

    platform::FileDialogRequest request;
    request.save = true;
    request.title = "Save bank as...";
    request.types = {{"All Files", "*.*"}, {"QDX Banks", "*.qdb"}};
    request.selectedType = 1;
    request.defaultExtension = "qdb";
    request.initialDirectory = folder;
    request.overwritePrompt = true;

    std::string shot = screenshotPath("x11_file_dialog.ppm");
    auto answer = [&](const char* typed, bool confirmReplace) {
        std::thread person([&] {
            User user;
            Window dialog = 0;
            waitUntil([&] { return (dialog = user.findTopLevel("Save bank as...")) != 0; }, 5000);
            if (!dialog)
                return;
            pause(100);
            int x = 0, y = 0, width = 0, height = 0;
            user.geometry(dialog, x, y, width, height);
            user.move(x + width / 2, y + height / 2); // keys go to the window under the pointer
            pause(30);
            for (int i = 0; i < 20; ++i)
                user.key(XK_BackSpace);
            user.type(typed);
            if (!confirmReplace)
                ScreenImage(user.display, dialog, 0, 0, width, height).writePpm(shot);
            user.key(XK_Return);
            if (confirmReplace)
            {
                pause(100);
                user.key(XK_Return);
            }
        });
        std::string path;
        bool chosen = platform::runFileDialog(request, path);
        person.join();
        return chosen ? path : std::string("cancelled");
    };
    EXPECT_EQ(answer("mybank", false), folder + "/mybank.qdb");
    EXPECT_EQ(answer("old", true), folder + "/old.qdb");

    int scripted = 0;
    platform::setFileDialogScript([&](const platform::FileDialogRequest& r, std::string& path) {
        scripted++;
        path = r.initialDirectory + "/fixed.qdb";
        return true;
    });
    std::string path;
    EXPECT_TRUE(platform::runFileDialog(request, path));
    EXPECT_EQ(path, folder + "/fixed.qdb");
    platform::setFileDialogScript(nullptr);
    EXPECT_EQ(scripted, 1);

    setenv("PATH", savedPath.c_str(), 1);
    std::remove((folder + "/old.qdb").c_str());
    std::remove((folder + "/notes.txt").c_str());
    rmdir(folder.c_str());
}

TEST_F(RealWindows, ScreenshotOfEveryStandardControl)
{
    CTextEdit* field = nullptr;
    editor->build = [&](CFrame* f) {
        CBitmap* onOff = makeStrip(40, 20, {argb(120, 40, 40), argb(40, 180, 60)});
        auto* on = new COnOffButton(CRect(10, 10, 50, 30), nullptr, 1, onOff);
        on->setValue(1.0f);
        f->addView(on);
        f->addView(new COnOffButton(CRect(60, 10, 100, 30), nullptr, 2, onOff));
        onOff->forget();
        CBitmap* kick = makeStrip(40, 20, {argb(80, 80, 90), argb(220, 220, 230)});
        f->addView(new CKickButton(CRect(110, 10, 150, 30), nullptr, 3, 20, kick));
        kick->forget();
        CBitmap* rocker = makeStrip(60, 20, {argb(200, 60, 60), argb(90, 90, 90), argb(60, 60, 200)});
        f->addView(new CRockerSwitch(CRect(160, 10, 220, 30), nullptr, 4, 20, rocker));
        rocker->forget();
        CBitmap* face = makeKnobFace(60);
        auto* knob = new CKnob(CRect(10, 50, 70, 110), nullptr, 5, face, nullptr);
        knob->setValue(0.7f);
        f->addView(knob);
        face->forget();
        CBitmap* strip = makeKnobStrip(60, 31);
        auto* anim = new CAnimKnob(CRect(90, 50, 150, 110), nullptr, 6, 31, 60, strip);
        anim->setValue(0.3f);
        f->addView(anim);
        strip->forget();
        auto* display = new CParamDisplay(CRect(170, 60, 260, 80), nullptr, k3DIn);
        display->setBackColor(rgb(20, 30, 40));
        display->setFrameColor(rgb(160, 170, 180));
        display->setValue(0.42f);
        f->addView(display);
        auto* shadowed = new CParamDisplay(CRect(170, 90, 260, 110), nullptr, kShadowText | k3DOut);
        shadowed->setBackColor(rgb(50, 50, 60));
        shadowed->setFrameColor(rgb(200, 200, 200));
        shadowed->setFont(kNormalFontBig);
        shadowed->setValue(0.5f);
        f->addView(shadowed);
        field = new CTextEdit(CRect(10, 130, 200, 150), nullptr, 31, "Factory preset name");
        field->setBackColor(rgb(207, 222, 235));
        field->setFontColor(rgb(76, 76, 72));
        field->setFrameColor(rgb(76, 76, 72));
        f->addView(field);
        auto* menu = new COptionMenu(CRect(220, 130, 360, 150), nullptr, 37, nullptr, nullptr, kCheckStyle);
        menu->setBackColor(rgb(30, 30, 30));
        menu->setFrameColor(rgb(120, 120, 120));
        menu->addEntry("Brickwall");
        menu->addEntry("Gentle");
        menu->setCurrent(1);
        f->addView(menu);
        auto* symbols = new CParamDisplay(CRect(10, 170, 200, 195));
        symbols->setFont(kSymbolFont);
        symbols->setStringConvert([](float, char* text) { std::strcpy(text, "abgdl"); });
        f->addView(symbols);
        auto* group = new CViewContainer(CRect(220, 170, 400, 280), f);
        group->setBackgroundColor(rgb(90, 100, 110));
        auto* inner = new CParamDisplay(CRect(10, 10, 170, 40), nullptr, kNoFrame);
        inner->setHoriAlign(kLeftText);
        inner->setBackColor(rgb(90, 100, 110));
        inner->setStringConvert([](float, char* text) { std::strcpy(text, "in a container"); });
        group->addView(inner);
        f->addView(group);
    };
    open();
    ScreenImage screen = grab();
    std::string path = screenshotPath("x11_standard_controls.ppm");
    ASSERT_TRUE(screen.writePpm(path));
    std::printf("screenshot: %s\n", path.c_str());
    EXPECT_EQ(screen.at(20, 20), 0x28B43Cu) << "on button shows its lower half";
    EXPECT_EQ(screen.at(70, 20), 0x782828u) << "off button shows its upper half";
    EXPECT_EQ(screen.at(190, 20), 0x5A5A5Au) << "rocker at rest shows its middle frame";
    EXPECT_EQ(screen.at(171, 70), 0x141E28u) << "sunken display's left edge in its back colour";
    EXPECT_EQ(screen.at(259, 70), 0xA0AAB4u) << "and its right edge in the frame colour";
    EXPECT_EQ(screen.at(225, 175), 0x5A646Eu) << "container background";
    // Text was drawn in the fields.
    int dark = 0;
    for (int x = 12; x < 198; ++x)
        for (int y = 132; y < 148; ++y)
            dark += screen.at(x, y) != 0xCFDEEBu;
    EXPECT_GT(dark, 40);
}
