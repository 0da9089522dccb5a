// The editor in the VST3 and CLAP builds, through the small test hosts: the
// view opened in a host window on the X server (Xvfb), kept idle the way
// each format's Linux hosts do it (a timer of the host's run loop and the X
// connection's descriptor), clicked by a user through XTest with press and
// release back to back, closed and opened again, also while a host thread
// processes audio with automation.
#include "tests/EditorHarness.h"
#include "tests/support/ClapTestHost.h"
#include "tests/support/Vst3TestHost.h"

#include <poll.h>

#include <cmath>
#include <functional>

#include "effect/ParameterTable.h"

namespace
{

// A host's main loop: timers and readable descriptors call their handlers.
class HostLoop
{
public:
    void addTimer(const void* key, int periodMs, std::function<void()> call)
    {
        timers.push_back({key, periodMs, std::chrono::steady_clock::now(), std::move(call)});
    }
    void removeTimer(const void* key)
    {
        timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.key == key; }),
                     timers.end());
    }
    void addDescriptor(const void* key, int fd, std::function<void()> call)
    {
        descriptors.push_back({key, fd, std::move(call)});
    }
    void removeDescriptors(const void* key)
    {
        descriptors.erase(
            std::remove_if(descriptors.begin(), descriptors.end(), [&](const Descriptor& d) { return d.key == key; }),
            descriptors.end());
    }
    size_t timerCount() const { return timers.size(); }
    size_t descriptorCount() const { return descriptors.size(); }

    // Runs for ms milliseconds, or until done says so.
    void run(int ms, const std::function<bool()>& done = nullptr)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end && !(done && done()))
        {
            std::vector<pollfd> watched;
            for (const Descriptor& d : descriptors)
                watched.push_back({d.fd, POLLIN, 0});
            poll(watched.data(), watched.size(), 5);
            for (size_t i = 0; i < watched.size() && i < descriptors.size(); ++i)
                if (watched[i].revents & POLLIN)
                {
                    ++descriptorCalls;
                    descriptors[i].call();
                }
            const auto now = std::chrono::steady_clock::now();
            for (size_t i = 0; i < timers.size(); ++i)
                if (now - timers[i].last >= std::chrono::milliseconds(timers[i].periodMs))
                {
                    timers[i].last = now;
                    ++timerCalls;
                    timers[i].call();
                }
        }
    }

    int timerCalls = 0;
    int descriptorCalls = 0;

private:
    struct Timer
    {
        const void* key;
        int periodMs;
        std::chrono::steady_clock::time_point last;
        std::function<void()> call;
    };
    struct Descriptor
    {
        const void* key;
        int fd;
        std::function<void()> call;
    };
    std::vector<Timer> timers;
    std::vector<Descriptor> descriptors;
};

// A mapped host window on its own connection, and the user's hand.
class HostWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const char* name = std::getenv("DISPLAY");
        ASSERT_TRUE(name && *name) << "DISPLAY is not set: these tests need an X server (Xvfb)";
        display = connectToServer();
        ASSERT_NE(display, nullptr);
        parent = mapHostWindow(display, originX, originY);
    }
    void TearDown() override
    {
        if (display)
        {
            XDestroyWindow(display, parent);
            XCloseDisplay(display);
        }
    }

    int childWindows()
    {
        XSync(display, False);
        ::Window root, up, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        if (children)
            XFree(children);
        return static_cast<int>(count);
    }

    // The share of the editor's area that shows the panel's background picture.
    double backgroundShare()
    {
        const Screenshot shot = grabEditorArea(display, parent);
        if (shot.width == 0)
            return 0.0;
        int same = 0;
        for (int y = 0; y < shot.height; ++y)
            for (int x = 0; x < shot.width; ++x)
                same += shot.at(x, y) == skinPixel(128, x, y);
        return static_cast<double>(same) / (shot.width * shot.height);
    }

    // The user's actions on a thread of their own while the loop runs.
    void act(HostLoop& loop, const std::function<void(User&)>& actions)
    {
        std::atomic<bool> done{false};
        std::thread user([&] {
            User hand(originX, originY);
            if (hand.display)
                actions(hand);
            else
                ADD_FAILURE() << "the user's connection to the X server was refused";
            done = true;
        });
        loop.run(20000, [&] { return done.load(); });
        user.join();
        loop.run(150);
    }

    // Two taps (press and release back to back) on the detector-order button.
    void tapTwice(HostLoop& loop)
    {
        act(loop, [](User& hand) {
            hand.tap(60, 50, 0);
            hand.pause(250);
            hand.tap(60, 50, 0);
            hand.pause(100);
        });
    }

    Display* display = nullptr;
    ::Window parent = 0;
    int originX = 0;
    int originY = 0;
};

// ---- VST3 ----------------------------------------------------------------

using namespace vst3;

class RunLoop : public vst3test::HostObject<IRunLoop>
{
public:
    explicit RunLoop(HostLoop& loop) : loop(loop) {}
    tresult ZELVO_VST3_API registerEventHandler(IEventHandler* handler, FileDescriptor fd) override
    {
        if (!handler)
            return kInvalidArgument;
        loop.addDescriptor(handler, fd, [handler, fd] { handler->onFDIsSet(fd); });
        return kResultOk;
    }
    tresult ZELVO_VST3_API unregisterEventHandler(IEventHandler* handler) override
    {
        loop.removeDescriptors(handler);
        return kResultOk;
    }
    tresult ZELVO_VST3_API registerTimer(ITimerHandler* handler, TimerInterval ms) override
    {
        if (!handler || ms == 0)
            return kInvalidArgument;
        intervals.push_back(ms);
        loop.addTimer(handler, static_cast<int>(ms), [handler] { handler->onTimer(); });
        return kResultOk;
    }
    tresult ZELVO_VST3_API unregisterTimer(ITimerHandler* handler) override
    {
        loop.removeTimer(handler);
        return kResultOk;
    }
    HostLoop& loop;
    std::vector<TimerInterval> intervals;
};

class PlugFrame : public vst3test::HostObject<IPlugFrame>
{
public:
    explicit PlugFrame(RunLoop& runLoop) : runLoop(runLoop) {}
    tresult ZELVO_VST3_API queryInterface(const TUID iid, void** object) override
    {
        if (iid && std::memcmp(iid, iid::IRunLoop.bytes, 16) == 0)
        {
            runLoop.addRef();
            *object = &runLoop;
            return kResultOk;
        }
        *object = nullptr;
        return kNoInterface;
    }
    tresult ZELVO_VST3_API resizeView(IPlugView*, ViewRect*) override
    {
        ++resizes;
        return kResultFalse;
    }
    RunLoop& runLoop;
    int resizes = 0;
};

// A host's audio thread: blocks of 256 frames of a tone, each with Drive
// automated at frame 17 to the value given, a little faster than real time.
class Automation
{
public:
    using Block = std::function<void(float** in, float** out, int frames, double drive)>;
    explicit Automation(Block process)
    {
        audio = std::thread([this, process] {
            std::vector<float> left(256), right(256), outLeft(256), outRight(256);
            for (int block = 0; !stop; ++block)
            {
                for (int i = 0; i < 256; ++i)
                    left[i] = right[i] = 0.5f * std::sin(0.05f * static_cast<float>(block * 256 + i));
                float* in[2] = {left.data(), right.data()};
                float* out[2] = {outLeft.data(), outRight.data()};
                process(in, out, 256, (block % 10) / 10.0);
                ++blocks;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~Automation() { finish(); }
    void finish()
    {
        stop = true;
        if (audio.joinable())
            audio.join();
    }
    std::atomic<int> blocks{0};

private:
    std::atomic<bool> stop{false};
    std::thread audio;
};

// The edits the host heard for one parameter: every value between a begin
// and its end.
struct EditsOf
{
    int begins = 0;
    int ends = 0;
    std::vector<double> values;
    bool valuesInsideGestures = true;

    // One edit in the order the host heard them: 'b'egin, 'v'alue, 'e'nd.
    void take(char kind, double value)
    {
        if (kind == 'b')
            ++begins;
        else if (kind == 'e')
            ++ends;
        else
        {
            values.push_back(value);
            valuesInsideGestures = valuesInsideGestures && begins > ends;
        }
    }
};

EditsOf vst3Edits(const vst3test::Handler& handler, ParamID id)
{
    EditsOf edits;
    for (const auto& edit : handler.log)
        if (edit.id == id)
            edits.take(edit.kind, edit.value);
    return edits;
}

using Vst3Editor = HostWindow;

TEST_F(Vst3Editor, OpensInTheHostWindowIdlesFromTheRunLoopTakesClicksAndCloses)
{
    vst3test::Instance vst3;
    ASSERT_NE(vst3.controller, nullptr);
    ASSERT_TRUE(vst3.start(44100.0, 256));
    IPlugView* view = vst3.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(vst3.controller->createView("something else"), nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported("X11EmbedWindowID"), kResultTrue);
    EXPECT_NE(view->isPlatformTypeSupported("HWND"), kResultTrue);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(size.right - size.left, 524);
    EXPECT_EQ(size.bottom - size.top, 462);
    EXPECT_NE(view->canResize(), kResultTrue);

    HostLoop loop;
    RunLoop runLoop(loop);
    PlugFrame frame(runLoop);
    ASSERT_EQ(view->setFrame(&frame), kResultOk);
    EXPECT_NE(view->attached(reinterpret_cast<void*>(parent), "HWND"), kResultOk);
    ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), "X11EmbedWindowID"), kResultOk);
    EXPECT_EQ(childWindows(), 1);
    EXPECT_EQ(loop.timerCount(), 1u);
    EXPECT_EQ(loop.descriptorCount(), 1u) << "the X connection's descriptor";
    EXPECT_GT(runLoop.intervals.at(0), 0u);
    // A second view of the same effect cannot show the one editor twice,
    // and going away it leaves the first one's window open.
    IPlugView* second = vst3.controller->createView(nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->attached(reinterpret_cast<void*>(parent), "X11EmbedWindowID"), kResultOk);
    second->release();
    EXPECT_EQ(childWindows(), 1);

    loop.run(400);
    EXPECT_GT(loop.timerCalls, 5);
    EXPECT_GT(backgroundShare(), 0.5) << "the panel is painted";

    const double before = vst3.controller->getParamNormalized(kDetectorOrder);
    tapTwice(loop);
    EXPECT_GT(loop.descriptorCalls, 0) << "the clicks woke the host's loop through the X connection's descriptor";
    const EditsOf edits = vst3Edits(vst3.handler, kDetectorOrder);
    EXPECT_EQ(edits.begins, 2);
    EXPECT_EQ(edits.ends, 2);
    EXPECT_TRUE(edits.valuesInsideGestures);
    ASSERT_GE(edits.values.size(), 2u);
    EXPECT_DOUBLE_EQ(edits.values.back(), before) << "two taps toggle there and back";
    EXPECT_NE(edits.values.front(), before);

    ASSERT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(loop.timerCount(), 0u);
    EXPECT_EQ(loop.descriptorCount(), 0u);
    EXPECT_EQ(childWindows(), 0);
    view->setFrame(nullptr);
    EXPECT_EQ(view->release(), 0u);
}

TEST_F(Vst3Editor, OpensClicksAndClosesWhileTheHostAutomates)
{
    vst3test::Instance vst3;
    ASSERT_NE(vst3.controller, nullptr);
    ASSERT_TRUE(vst3.start(48000.0, 256));
    HostLoop loop;
    RunLoop runLoop(loop);
    PlugFrame frame(runLoop);
    Automation automation([&](float** in, float** out, int frames, double drive) {
        vst3test::Changes changes;
        changes.add(kDrive, 17, drive);
        vst3.processBlock(in, out, frames, &changes);
    });
    for (int round = 0; round < 3; ++round)
    {
        IPlugView* view = vst3.controller->createView("editor");
        ASSERT_NE(view, nullptr);
        view->setFrame(&frame);
        ASSERT_EQ(view->attached(reinterpret_cast<void*>(parent), "X11EmbedWindowID"), kResultOk);
        loop.run(150);
        if (round == 1)
        {
            vst3.handler.log.clear();
            tapTwice(loop);
            EXPECT_EQ(vst3Edits(vst3.handler, kDetectorOrder).ends, 2);
        }
        // Released without removed(): the view closes the window itself.
        if (round != 2)
            view->removed();
        view->setFrame(nullptr);
        view->release();
        EXPECT_EQ(childWindows(), 0);
        EXPECT_EQ(loop.timerCount(), 0u);
    }
    EXPECT_GT(automation.blocks.load(), 20);
}

// ---- CLAP ----------------------------------------------------------------

class ClapGui
{
public:
    explicit ClapGui(claptest::Instance& clap) : clap(clap)
    {
        gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, "clap.gui"));
        timer = static_cast<const clap_plugin_timer_support_t*>(
            clap.plugin->get_extension(clap.plugin, "clap.timer-support"));
        fd = static_cast<const clap_plugin_posix_fd_support_t*>(
            clap.plugin->get_extension(clap.plugin, "clap.posix-fd-support"));
    }
    // The host's loop calls the timers and descriptors the plug-in registered.
    void wire(HostLoop& loop)
    {
        loop.removeTimer(this);
        loop.removeDescriptors(this);
        for (const auto& t : clap.timerList)
        {
            const clap_id id = t.id;
            loop.addTimer(this, static_cast<int>(t.period), [this, id] { timer->on_timer(clap.plugin, id); });
        }
        for (int descriptor : clap.descriptorList)
            loop.addDescriptor(this, descriptor,
                               [this, descriptor] { fd->on_fd(clap.plugin, descriptor, CLAP_POSIX_FD_READ); });
    }
    bool open(HostLoop& loop, unsigned long parent)
    {
        if (!gui->create(clap.plugin, "x11", false))
            return false;
        clap_window_t window{};
        window.api = "x11";
        window.x11 = parent;
        const bool shown = gui->set_parent(clap.plugin, &window) && gui->show(clap.plugin);
        wire(loop);
        return shown;
    }
    void close(HostLoop& loop)
    {
        gui->destroy(clap.plugin);
        wire(loop);
    }
    claptest::Instance& clap;
    const clap_plugin_gui_t* gui = nullptr;
    const clap_plugin_timer_support_t* timer = nullptr;
    const clap_plugin_posix_fd_support_t* fd = nullptr;
};

EditsOf clapEdits(const claptest::Instance& clap, clap_id id)
{
    EditsOf edits;
    for (uint32_t i = 0; i < clap.sentCount.load(); ++i)
    {
        const auto& event = clap.sent[i];
        if (event.id == id)
            edits.take(event.type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? 'b'
                       : event.type == CLAP_EVENT_PARAM_GESTURE_END ? 'e'
                                                                    : 'v',
                       event.value);
    }
    return edits;
}

using ClapEditor = HostWindow;

TEST_F(ClapEditor, EmbedsInX11IdlesFromTheHostsTimerAndDescriptorAndSendsTheUsersEdits)
{
    claptest::Instance clap;
    ASSERT_NE(clap.plugin, nullptr);
    ASSERT_TRUE(clap.activate(44100.0, 256));
    ClapGui gui(clap);
    ASSERT_NE(gui.gui, nullptr);
    ASSERT_NE(gui.timer, nullptr);
    ASSERT_NE(gui.fd, nullptr);
    EXPECT_TRUE(gui.gui->is_api_supported(clap.plugin, "x11", false));
    EXPECT_FALSE(gui.gui->is_api_supported(clap.plugin, "x11", true)) << "embedded only";
    EXPECT_FALSE(gui.gui->is_api_supported(clap.plugin, "win32", false));
    EXPECT_FALSE(gui.gui->is_api_supported(clap.plugin, "wayland", false));
    const char* api = nullptr;
    bool floating = true;
    ASSERT_TRUE(gui.gui->get_preferred_api(clap.plugin, &api, &floating));
    EXPECT_STREQ(api, "x11");
    EXPECT_FALSE(floating);

    // The thread check: a gui call from another thread is refused.
    bool createdElsewhere = true;
    std::thread([&] { createdElsewhere = gui.gui->create(clap.plugin, "x11", false); }).join();
    EXPECT_FALSE(createdElsewhere);

    HostLoop loop;
    ASSERT_TRUE(gui.open(loop, parent));
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(gui.gui->get_size(clap.plugin, &width, &height));
    EXPECT_EQ(width, 524u);
    EXPECT_EQ(height, 462u);
    EXPECT_FALSE(gui.gui->can_resize(clap.plugin));
    EXPECT_FALSE(gui.gui->set_size(clap.plugin, 600, 500));
    EXPECT_TRUE(gui.gui->set_size(clap.plugin, 524, 462));
    EXPECT_EQ(clap.timerList.size(), 1u);
    EXPECT_EQ(clap.descriptorList.size(), 1u) << "the X connection's descriptor";
    EXPECT_EQ(childWindows(), 1);

    loop.run(400);
    EXPECT_GT(loop.timerCalls, 5);
    EXPECT_GT(backgroundShare(), 0.5) << "the panel is painted";

    double before = -1.0;
    ASSERT_TRUE(clap.paramsExt->get_value(clap.plugin, kDetectorOrder, &before));
    tapTwice(loop);
    EXPECT_GT(loop.descriptorCalls, 0) << "the clicks woke the host's loop through the X connection's descriptor";
    // The edits wait for the host's flush, which the plug-in asked for.
    EXPECT_TRUE(clap.flushRequested.load());
    EXPECT_EQ(clap.sentCount.load(), 0u);
    clap.flush({});
    const EditsOf edits = clapEdits(clap, kDetectorOrder);
    EXPECT_EQ(edits.begins, 2);
    EXPECT_EQ(edits.ends, 2);
    EXPECT_TRUE(edits.valuesInsideGestures);
    ASSERT_GE(edits.values.size(), 2u);
    EXPECT_DOUBLE_EQ(edits.values.back(), before);
    EXPECT_NE(edits.values.front(), before);

    gui.close(loop);
    EXPECT_TRUE(clap.timerList.empty());
    EXPECT_TRUE(clap.descriptorList.empty());
    EXPECT_EQ(childWindows(), 0);
}

TEST_F(ClapEditor, OpensClicksAndClosesWhileTheHostProcessesWithAutomation)
{
    claptest::Instance clap;
    ASSERT_NE(clap.plugin, nullptr);
    ASSERT_TRUE(clap.activate(96000.0, 256));
    ClapGui gui(clap);
    HostLoop loop;
    Automation automation([&](float** in, float** out, int frames, double drive) {
        clap.processBlock(in, out, static_cast<uint32_t>(frames), {{17, kDrive, drive}});
    });
    for (int round = 0; round < 3; ++round)
    {
        ASSERT_TRUE(gui.open(loop, parent));
        loop.run(150);
        if (round == 1)
        {
            tapTwice(loop);
            loop.run(100); // the audio thread's next blocks carry the edits
            EXPECT_EQ(clapEdits(clap, kDetectorOrder).ends, 2);
        }
        gui.close(loop);
        EXPECT_EQ(childWindows(), 0);
    }
    automation.finish();
    EXPECT_GT(automation.blocks.load(), 20);
    // A host that destroys the plug-in with the editor open.
    ASSERT_TRUE(gui.open(loop, parent));
    loop.run(100);
}

} // namespace
