// The editor through the seam every format's adapter drives: attached to a
// host's window on a real X server, sized, idled, handed parameter changes
// and keys, detached and attached again, with no format object at all.
#include "editor/Editor.h"
#include "editor/MyFrame.h"
#include "effect/EffectHost.h"
#include "effect/ParameterTable.h"
#include "effect/Plugin.h"
#include "gui/EditorView.h"
#include "gui/ccontrol.h"

// GoogleTest goes before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>

namespace
{

class QuietHost : public EffectHost
{
public:
    void automate(int, float) override {}
    void editBegins(int) override {}
    void editEnds(int) override {}
    void parameterChanged(int, float) override {}
    void latencyChanged(int) override {}
    void displayChanged() override {}
};

class EditorViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name) << "the editor seam test needs an X server";
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        const int screen = DefaultScreen(display);
        parent = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 600, 520, 0, 0,
                                     BlackPixel(display, screen));
        XMapWindow(display, parent);
        XSync(display, False);
    }
    void TearDown() override
    {
        if (display)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    ::Window parentOf(::Window window)
    {
        ::Window root = 0, above = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, window, &root, &above, &children, &count);
        if (children)
            XFree(children);
        return above;
    }

    Display* display = nullptr;
    ::Window parent = 0;
    QuietHost host;
};

TEST_F(EditorViewTest, AttachesInTheHostsWindowAndDetachesAgainAnyNumberOfTimes)
{
    Plugin core(&host);
    Editor editor(core);
    EditorView& view = editor;

    int width = 0, height = 0;
    view.getSize(width, height);
    EXPECT_EQ(width, Editor::kWidth);
    EXPECT_EQ(height, Editor::kHeight);
    EXPECT_FALSE(view.isAttached());
    EXPECT_EQ(view.getNativeWindow(), nullptr);
    EXPECT_FALSE(view.attach(nullptr));
    EXPECT_FALSE(view.isAttached());

    for (int round = 0; round < 3; ++round)
    {
        ASSERT_TRUE(view.attach(reinterpret_cast<void*>(parent))) << "round " << round;
        EXPECT_TRUE(view.isAttached());
        void* window = view.getNativeWindow();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(parentOf(reinterpret_cast<::Window>(window)), parent);
        view.idle();
        view.detach();
        EXPECT_FALSE(view.isAttached());
        EXPECT_EQ(view.getNativeWindow(), nullptr);
        view.detach(); // a second close is harmless
    }
}

TEST_F(EditorViewTest, ParameterChangesAndKeysReachTheControls)
{
    Plugin core(&host);
    Editor editor(core);
    EditorView& view = editor;
    ASSERT_TRUE(view.attach(reinterpret_cast<void*>(parent)));

    // A change from another thread shows at the next idle.
    view.parameterChanged(kDrive, 0.75f);
    view.idle();
    MyFrame* frame = editor.getMyFrame();
    ASSERT_NE(frame, nullptr);
    VSTGUI::CControl* drive = nullptr;
    for (long i = 0; i < frame->getNbViews(); ++i)
        if (auto* control = dynamic_cast<VSTGUI::CControl*>(frame->getView(i)))
            if (control->getTag() == kDrive && !drive)
                drive = control;
    ASSERT_NE(drive, nullptr);
    EXPECT_FLOAT_EQ(drive->getValue(), 0.75f);

    // Keys no control wants are left to the host; Tab moves the focus
    // between the entry fields, which the frame takes.
    EXPECT_FALSE(view.keyDown({'q', platform::KeyName::none, 0}));
    EXPECT_TRUE(view.keyDown({0, platform::KeyName::tab, 0}));
    view.detach();
}

} // namespace
