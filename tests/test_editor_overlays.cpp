// What lies over the editor: the about panel, which must stay whole and keep
// the views under it from taking input or painting over it, and the pop-up
// menu, behind which the editor must keep repainting.
#include "tests/EditorHarness.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

namespace
{

float stepCentre(int i, int n) { return static_cast<float>(i) / n + 0.5f / n; }

const int kPanelLeft = 43, kPanelTop = 294, kPanelRight = 481, kPanelBottom = 430;

// Pixels of the panel's rectangle that differ between two screenshots.
int panelDifferences(const Screenshot& a, const Screenshot& b)
{
    int different = 0;
    for (int y = kPanelTop; y < kPanelBottom; ++y)
        for (int x = kPanelLeft; x < kPanelRight; ++x)
            if (a.at(x, y) != b.at(x, y))
                ++different;
    return different;
}

bool sameArea(const Screenshot& a, const Screenshot& b, int left, int top, int right, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (a.at(x, y) != b.at(x, y))
                return false;
    return true;
}

// Is the rectangle on screen exactly the given picture of a film strip?
bool showsPicture(const Screenshot& shot, int bitmap, int left, int top, int right, int bottom, int pictureHeight,
                  int picture)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (shot.at(x, y) != skinPixel(bitmap, x - left, y - top + picture * pictureHeight))
                return false;
    return true;
}

// Clicks the OK button of the message box titled "Error...", centred 16
// pixels above its bottom edge (the box has the keyboard only with a window
// manager).
void closeMessageBox(User& user)
{
    Window root, parentWindow, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(user.display, DefaultRootWindow(user.display), &root, &parentWindow, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i)
    {
        char* name = nullptr;
        if (!XFetchName(user.display, children[i], &name) || !name)
            continue;
        const bool box = std::string(name) == "Error...";
        XFree(name);
        if (!box)
            continue;
        XWindowAttributes attributes;
        XGetWindowAttributes(user.display, children[i], &attributes);
        Window child;
        int x = 0, y = 0;
        XTranslateCoordinates(user.display, children[i], DefaultRootWindow(user.display), 0, 0, &x, &y, &child);
        XTestFakeMotionEvent(user.display, -1, x + attributes.width / 2, y + attributes.height - 28, CurrentTime);
        XFlush(user.display);
        user.pause(30);
        user.press();
        user.release();
        break;
    }
    if (children)
        XFree(children);
}

class OverlayTest : public EditorTest
{
protected:
    // Covers part of the editor with a window of another client, then takes
    // it away: the editor's window (no background of its own) keeps the
    // cover's colour there until the editor repaints what was exposed.
    void coverAndUncover(Display* connection, int left, int top, int right, int bottom)
    {
        const int screen = DefaultScreen(connection);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0xFF00FF;
        ::Window cover =
            XCreateWindow(connection, RootWindow(connection, screen), originX + left, originY + top,
                          static_cast<unsigned>(right - left), static_cast<unsigned>(bottom - top), 0, CopyFromParent,
                          InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
        XMapRaised(connection, cover);
        XSync(connection, False);
        User::pause(100);
        XDestroyWindow(connection, cover);
        XSync(connection, False);
    }
};

} // namespace

TEST_F(OverlayTest, AboutPanelStaysWholeAndOnTopAndNothingUnderItTakesInput)
{
    host->setParameter(kDrive, 0.5f);
    host->setParameter(kPower, stepCentre(1, 2));
    ASSERT_TRUE(openEditor());
    const Screenshot closed = screenshot();
    act([](User& user) { user.click(262, 385); });
    const Screenshot open = screenshot();
    ASSERT_GT(panelDifferences(open, closed), 20000) << "the panel covers its whole rectangle";

    // Exposed, the whole panel is drawn again, not only the button's part of it.
    coverAndUncover(display, 20, 280, 500, 440);
    pump(200);
    Screenshot exposed = screenshot();
    EXPECT_EQ(panelDifferences(exposed, open), 0);
    EXPECT_NE(exposed.at(60, 300), 0xFF00FFu);

    // Host automation of views under the panel does not paint over it: the
    // Drive knob moves, but shows through the panel, never as its bare picture.
    host->clearCalls();
    host->setParameter(kDrive, 0.9f);
    host->setParameter(kPower, stepCentre(0, 2));
    pump(150);
    Screenshot automatedShot = screenshot();
    EXPECT_FALSE(showsPicture(automatedShot, 150, 52, 349, 108, 404, 55, 90));
    EXPECT_FALSE(showsPicture(automatedShot, 149, 245, 400, 280, 430, 35, 0));
    EXPECT_GT(panelDifferences(automatedShot, closed), 20000) << "the panel is still there";
    // Nor does what changed under the panel show through its text.
    EXPECT_EQ(panelDifferences(automatedShot, open), 0);
    // Drawn whole once more: what is under the panel is blended in once, not again and again.
    coverAndUncover(display, 20, 280, 500, 440);
    pump(200);
    EXPECT_EQ(panelDifferences(screenshot(), automatedShot), 0);

    // Wheel turns and keys do not reach the knob under the panel.
    host->clearCalls();
    act([](User& user) {
        user.click(80, 376, 4);
        user.click(80, 376, 4);
    });
    EXPECT_EQ(host->dispatch(effEditKeyDown, 0, VKEY_TAB), 0);
    EXPECT_EQ(host->dispatch(effEditKeyDown, 0, VKEY_UP), 0);
    pump(60);
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.9f);
    EXPECT_EQ(host->countCalls(audioMasterAutomate), 0u);
    EXPECT_EQ(host->countCalls(audioMasterBeginEdit), 0u);

    // The meters stay still while the panel is open and move again once it
    // is closed; the click that closes it does nothing else, the next one works.
    startProcessing([](long frame, int) { return 0.8f * std::sin(0.05f * static_cast<float>(frame)); });
    pump(300);
    const Screenshot frozen = screenshot();
    EXPECT_TRUE(sameArea(frozen, automatedShot, 147, 38, 207, 290)) << "the input meter is frozen";
    act([](User& user) { user.click(262, 417); });
    EXPECT_EQ(host->countCalls(audioMasterAutomate), 0u);
    pump(300);
    const Screenshot after = screenshot();
    EXPECT_FALSE(sameArea(after, frozen, 147, 38, 207, 290)) << "the input meter moves again";
    EXPECT_TRUE(showsPicture(after, 150, 52, 349, 108, 404, 55, 90)) << "the knob is drawn bare again";
    act([](User& user) { user.click(262, 417); });
    EXPECT_FLOAT_EQ(host->getParameter(kPower), stepCentre(1, 2));
}

// While the program menu is up (its loop runs inside the host's idle call,
// so the host's own loop waits), the editor behind it repaints what is
// exposed, and the host gets its idle calls so that it can repaint too.
TEST_F(OverlayTest, EditorAndHostKeepRepaintingBehindAnOpenMenu)
{
    ASSERT_TRUE(openEditor());
    const Screenshot before = screenshot();
    std::atomic<int> hostIdles{0};
    host->onCall = [&](const HostCall& call, VstIntPtr&) {
        if (call.opcode == audioMasterIdle)
            ++hostIdles;
        return false;
    };
    const ::Window parentWindow = parent;
    Screenshot behindMenu;
    int idlesWhileOpen = 0;
    act([&](User& user) {
        user.click(319, 454); // the program menu, below the panel's middle
        user.pause(300);
        const int idlesAtOpen = hostIdles;
        coverAndUncover(user.display, 60, 60, 460, 300);
        user.pause(400);
        behindMenu = grabEditorArea(user.display, parentWindow);
        idlesWhileOpen = hostIdles - idlesAtOpen;
        user.key(XK_Escape);
    });
    ASSERT_EQ(behindMenu.width, 524);
    EXPECT_TRUE(sameArea(behindMenu, before, 60, 60, 460, 300)) << "the exposed part is drawn again";
    EXPECT_GT(idlesWhileOpen, 3) << "host idle calls while the menu was open";

    // The same behind a message box: storing the metering preferences fails
    // (their folder would lie below a plain file) and says so in a box.
    const std::string blocker = settings + "/blocker";
    std::ofstream(blocker) << "x";
    setenv("XDG_CONFIG_HOME", (blocker + "/settings").c_str(), 1);
    Screenshot behindBox;
    idlesWhileOpen = 0;
    act([&](User& user) {
        user.click(240, 240, 3);
        user.pause(400);
        const int idlesAtOpen = hostIdles;
        coverAndUncover(user.display, 60, 60, 200, 200);
        user.pause(400);
        behindBox = grabEditorArea(user.display, parentWindow);
        idlesWhileOpen = hostIdles - idlesAtOpen;
        closeMessageBox(user);
    });
    host->onCall = nullptr;
    ASSERT_EQ(behindBox.width, 524);
    EXPECT_TRUE(sameArea(behindBox, before, 60, 60, 200, 200)) << "the exposed part is drawn again";
    EXPECT_GT(idlesWhileOpen, 3) << "host idle calls while the message box was up";
}
