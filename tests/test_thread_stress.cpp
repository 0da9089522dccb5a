// Several host threads at once, as real hosts run an effect: an audio thread
// processing without pause (and switching the effect off and on as some hosts
// do from there), an automation thread moving every parameter and the sample
// rate, a thread working the effect's own programs and memories, and a user
// interface thread reading texts and, where the effect has an editor and a
// display exists, opening, idling and closing it. Every block must stay
// finite and within full scale; afterwards the effect must be consistent.
// The threading build runs this under ThreadSanitizer, which must find no
// data race: every value that crosses threads does so through an atomic, a
// published record or a lock.
//
// ZELVO_STRESS_SECONDS sets how long each stress runs (default 3, 1.5 on Windows).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dsp/PublishedRecord.h"
#include "editor/Editor.h"
#include "effect/ParameterTable.h"
#include "effect/Plugin.h"
#include "gui/cframe.h"
#include "host/VstEffect.h"
#include "gui/coptionmenu.h"
#include "editor/CMyKnob.h"
#include "editor/CMyTextEdit.h"
#include "presets/CPresetSystemEditor.h"
#include "presets/CPresetSystemEffect.h"
#include "tests/support/TestHost.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace
{
constexpr int kParams = 26;

double stressSeconds()
{
#if defined(_WIN32)
    const double fallback = 1.5; // the reduced stress of the Windows build under Wine
#else
    const double fallback = 3.0;
#endif
    const char* text = std::getenv("ZELVO_STRESS_SECONDS");
    const double seconds = text && *text ? std::atof(text) : fallback;
    return seconds > 0.0 ? seconds : fallback;
}

// Problems seen on the worker threads, reported on the test's thread.
class Problems
{
public:
    void add(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (list.size() < 20)
            list.push_back(text);
    }
    void report()
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& text : list)
            ADD_FAILURE() << text;
        list.clear();
    }

private:
    std::mutex mutex;
    std::vector<std::string> list;
};

Problems* problems = nullptr;

// The host callback: every pin connected, every report checked.
VstIntPtr VSTCALLBACK stressCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    switch (opcode)
    {
    case audioMasterVersion: return 2400;
    case audioMasterAutomate:
        if (problems && (index < 0 || index >= kParams || std::isnan(opt)))
            problems->add("audioMasterAutomate(" + std::to_string(index) + ", " + std::to_string(opt) + ")");
        return 0;
    default: return 0;
    }
}

float oddValue(std::mt19937& random)
{
    // Huge and infinite values are the abuse test's: the editor stays open here.
    const float odd[] = {0.0f, 1.0f, -1.0f, 2.0f, 1e-40f, std::numeric_limits<float>::quiet_NaN(), 0.5f};
    if (random() % 8 == 0)
        return odd[random() % (sizeof odd / sizeof odd[0])];
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
}

float someRate(std::mt19937& random)
{
    const float rates[] = {44100.0f, 48000.0f,  88200.0f,
                           96000.0f, 176400.0f, 192000.0f,
                           0.0f,     1e7f,      std::numeric_limits<float>::quiet_NaN()};
    return rates[random() % (sizeof rates / sizeof rates[0])];
}

template <typename Sample>
void checkBlock(const std::vector<Sample>& left, const std::vector<Sample>& right, const char* what)
{
    for (size_t i = 0; i < left.size(); ++i)
        if (!(std::isfinite((double)left[i]) && std::fabs((double)left[i]) <= 1.0 && std::isfinite((double)right[i]) &&
              std::fabs((double)right[i]) <= 1.0))
        {
            std::ostringstream text;
            text << what << ": sample " << i << " is " << left[i] << " / " << right[i];
            problems->add(text.str());
            return;
        }
}

// The audio thread: blocks of every size in both precisions, and now and then
// the effect switched off and on from here, as some hosts do.
void audioThread(AEffect* e, const std::atomic<bool>& stop, unsigned seed, std::atomic<long>& blocks)
{
    std::mt19937 random(seed);
    std::vector<float> in(4096), outL(4096), outR(4096);
    std::vector<double> din(4096), doutL(4096), doutR(4096);
    double phase = 0.0;
    while (!stop.load())
    {
        const int frames = 1 + (int)(random() % 2048);
        for (int i = 0; i < frames; ++i)
        {
            phase += 0.031;
            in[i] = (float)(3.0 * std::sin(phase) * std::sin(phase * 0.013));
            din[i] = in[i];
        }
        if (random() % 3 == 0)
        {
            doutL.assign(frames, 0.0);
            doutR.assign(frames, 0.0);
            double* inputs[2] = {din.data(), din.data()};
            double* outputs[2] = {doutL.data(), doutR.data()};
            e->processDoubleReplacing(e, inputs, outputs, frames);
            checkBlock(doutL, doutR, "processDoubleReplacing");
        }
        else
        {
            outL.assign(frames, 0.0f);
            outR.assign(frames, 0.0f);
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {outL.data(), outR.data()};
            e->processReplacing(e, inputs, outputs, frames);
            checkBlock(outL, outR, "processReplacing");
        }
        if (random() % 200 == 0)
        {
            e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        }
        blocks.fetch_add(1);
        // A host's audio thread waits for the next period between blocks;
        // the other threads take the processing lock in these gaps.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The automation thread: every parameter, TransShape and the rate included.
void automationThread(AEffect* e, const std::atomic<bool>& stop, unsigned seed, std::atomic<long>& changes)
{
    std::mt19937 random(seed);
    while (!stop.load())
    {
        const int choice = (int)(random() % 100);
        const auto start = std::chrono::steady_clock::now();
        if (choice < 3)
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, someRate(random));
        else if (choice < 13)
            e->setParameter(e, kTransShape, oddValue(random));
        else
            e->setParameter(e, (VstInt32)(random() % kParams), oddValue(random));
        // The rate and TransShape changes wait for the audio callback to
        // finish its block; a wait near the one-second limit means the
        // processing lock was given up and the change ran beside the audio.
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(900))
            problems->add("a parameter or rate change waited for the processing lock until it gave up");
        const float v = e->getParameter(e, (VstInt32)(random() % kParams));
        if (std::isnan(v))
            problems->add("getParameter answered NaN");
        changes.fetch_add(1);
        if (choice % 10 == 0)
            std::this_thread::yield();
    }
}

// The user interface thread's reading: texts of every parameter and the program name.
void readTexts(AEffect* e, std::mt19937& random)
{
    char text[256];
    const VstInt32 index = (VstInt32)(random() % kParams);
    for (VstInt32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel, effGetProgramName})
    {
        std::memset(text, 0, sizeof text);
        e->dispatcher(e, opcode, index, 0, text, 0.0f);
        if (strnlen(text, sizeof text) > 24)
            problems->add("text of opcode " + std::to_string(opcode) + " too long: " + text);
    }
}

#if !defined(_WIN32)
// A host window for the editor, made through the X library loaded at run time.
class ParentWindow
{
public:
    ParentWindow()
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display || !(library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL)))
            return;
        auto openDisplay = reinterpret_cast<void* (*)(const char*)>(dlsym(library, "XOpenDisplay"));
        auto root = reinterpret_cast<unsigned long (*)(void*)>(dlsym(library, "XDefaultRootWindow"));
        auto create =
            reinterpret_cast<unsigned long (*)(void*, unsigned long, int, int, unsigned, unsigned, unsigned,
                                               unsigned long, unsigned long)>(dlsym(library, "XCreateSimpleWindow"));
        auto map = reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(library, "XMapWindow"));
        auto sync = reinterpret_cast<int (*)(void*, int)>(dlsym(library, "XSync"));
        destroy = reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(library, "XDestroyWindow"));
        close = reinterpret_cast<int (*)(void*)>(dlsym(library, "XCloseDisplay"));
        if (!openDisplay || !root || !create || !map || !sync || !destroy || !close)
            return;
        if (!(connection = openDisplay(nullptr)))
            return;
        window = create(connection, root(connection), 0, 0, 524, 462, 0, 0, 0);
        map(connection, window);
        sync(connection, 0);
    }
    ~ParentWindow()
    {
        if (connection)
        {
            if (window)
                destroy(connection, window);
            close(connection);
        }
    }
    void* handle() const { return window ? reinterpret_cast<void*>((uintptr_t)window) : nullptr; }

private:
    void* library = nullptr;
    void* connection = nullptr;
    unsigned long window = 0;
    int (*destroy)(void*, unsigned long) = nullptr;
    int (*close)(void*) = nullptr;
};
#else
class ParentWindow // no display under Wine
{
public:
    void* handle() const { return nullptr; }
};
#endif

// The user interface thread: texts, program names, and the editor where
// there is one and a display to show it on. With cycleEditor the editor is
// opened and closed again and again while the other threads run; otherwise
// it is opened before the others start (ready tells when), idled throughout
// and closed when this thread is told to stop, after the others have stopped.
// Without ownsEditor another thread stands for the editor's thread (its
// preset bar and memories, and the host's renames, which a host sends from
// that same thread): this one then only reads texts.
void interfaceThread(AEffect* e, const std::atomic<bool>& stop, unsigned seed, std::atomic<long>& editorOpens,
                     bool cycleEditor, std::atomic<bool>* ready, bool ownsEditor)
{
    std::mt19937 random(seed);
    ParentWindow parent;
    const bool canOpen = ownsEditor && (e->flags & effFlagsHasEditor) && parent.handle();
    bool open = false;
    int idles = 0;
    if (canOpen && !cycleEditor)
    {
        open = e->dispatcher(e, effEditOpen, 0, 0, parent.handle(), 0.0f) != 0;
        editorOpens.fetch_add(1);
    }
    if (ready)
        *ready = true;
    while (!stop.load())
    {
        readTexts(e, random);
        if (ownsEditor && random() % 50 == 0)
        {
            char name[64];
            std::snprintf(name, sizeof name, "Stress %u take with a long name", (unsigned)random());
            e->dispatcher(e, effSetProgramName, 0, 0, name, 0.0f);
        }
        if (canOpen)
        {
            if (!open && (!cycleEditor || random() % 4 == 0))
            {
                ERect* rect = nullptr;
                e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f);
                open = e->dispatcher(e, effEditOpen, 0, 0, parent.handle(), 0.0f) != 0;
                if (!open)
                    problems->add("the editor did not open");
                editorOpens.fetch_add(1);
                idles = 0;
            }
            else if (open)
            {
                e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
                if (cycleEditor && ++idles > 10 && random() % 8 == 0)
                {
                    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
                    open = false;
                }
            }
        }
        // About the pace of a host's idle timer with an editor, faster without.
        std::this_thread::sleep_for(std::chrono::milliseconds(canOpen ? 10 : 1));
    }
    if (open)
        e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
}

// The effect's own preset bar and memories, and the host's program renames,
// on their own thread (the editor's, in a host).
void presetThread(VstEffect* vst, const std::atomic<bool>& stop, unsigned seed, std::atomic<long>& operations)
{
    Plugin* plugin = &vst->getCore();
    AEffect* effect = vst->getAeffect();
    std::mt19937 random(seed);
    while (!stop.load())
    {
        switch (random() % 8)
        {
        case 0:
        case 1:
        case 2: plugin->selectPreset((int)(random() % kProgramCount)); break;
        case 3:
        {
            const std::string name = "Renamed " + std::to_string(random() % 1000);
            if (random() % 2)
                plugin->renamePreset(name.c_str());
            else
                effect->dispatcher(effect, effSetProgramName, 0, 0, const_cast<char*>(name.c_str()), 0.0f);
            break;
        }
        case 4: plugin->storeMemoA(); break;
        case 5: plugin->storeMemoB(); break;
        case 6: plugin->recallMemoA(); break;
        default: plugin->recallMemoB(); break;
        }
        operations.fetch_add(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

int latencyForRate(float rate)
{
    int r = 44100;
    if (rate >= 5000.0f && rate <= 200000.0f)
        r = (int)rate;
    return (128 << (r < 80000 ? 0 : (r < 170000 ? 1 : 2))) + 31;
}

// Power off and a reset: an impulse comes out exactly initialDelay samples later.
void expectLatencyAsReported(AEffect* e)
{
    e->setParameter(e, kPower, 0.0f);
    e->setParameter(e, kQuantize, 0.0f);
    e->setParameter(e, kCalibrate, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    const int frames = 800;
    std::vector<float> in(frames, 0.0f), outL(frames, 9.0f), outR(frames, 9.0f);
    in[0] = 0.5f;
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    e->processReplacing(e, inputs, outputs, frames);
    for (int i = 0; i < frames; ++i)
        ASSERT_EQ(outL[i], i == e->initialDelay ? 0.5f : 0.0f) << "sample " << i;
}

struct Counts
{
    std::atomic<long> blocks{0}, changes{0}, presetOperations{0}, editorOpens{0};
};

void runForTheDuration(std::atomic<bool>& stop)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(stressSeconds()));
    stop = true;
}
} // namespace

TEST(ThreadStress, AudioAutomationAndInterfaceThreadsThroughTheLibrary)
{
    useTemporarySettingsStore("stress-library");
    Problems seen;
    problems = &seen;
    AEffect* e = PluginLibrary::instance().entry()(stressCallback);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<bool> stop{false}, stopInterface{false};
    Counts counts;
    std::atomic<bool> ready{false};
    std::thread ui(interfaceThread, e, std::cref(stopInterface), 13u, std::ref(counts.editorOpens), false, &ready,
                   true);
    while (!ready)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread audio(audioThread, e, std::cref(stop), 11u, std::ref(counts.blocks));
    std::thread automation(automationThread, e, std::cref(stop), 12u, std::ref(counts.changes));
    runForTheDuration(stop);
    audio.join();
    automation.join();
    stopInterface = true;
    ui.join();
    seen.report();
    std::printf("library: %ld blocks, %ld parameter and rate changes, %ld editor openings\n", counts.blocks.load(),
                counts.changes.load(), counts.editorOpens.load());
    EXPECT_GT(counts.blocks.load(), 0);
    EXPECT_GT(counts.changes.load(), 0);

    // Quiet again: the latency reported is the latency of the last rate.
    const float rate = 96000.0f;
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, rate);
    EXPECT_EQ(e->initialDelay, latencyForRate(rate));
    expectLatencyAsReported(e);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

TEST(ThreadStress, ProgramsAndMemoriesOnTheirOwnThreadWhileAudioAndAutomationRun)
{
    useTemporarySettingsStore("stress-presets");
    Problems seen;
    problems = &seen;
    VstEffect* vst = new VstEffect(stressCallback);
    Plugin* plugin = &vst->getCore();
    AEffect* e = vst->getAeffect();
    plugin->storeMemoA();
    plugin->storeMemoB();

    std::atomic<bool> stop{false}, stopInterface{false};
    Counts counts;
    std::atomic<bool> ready{false};
    std::thread ui(interfaceThread, e, std::cref(stopInterface), 24u, std::ref(counts.editorOpens), false, &ready,
                   false);
    while (!ready)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::thread audio(audioThread, e, std::cref(stop), 21u, std::ref(counts.blocks));
    std::thread automation(automationThread, e, std::cref(stop), 22u, std::ref(counts.changes));
    std::thread presets(presetThread, vst, std::cref(stop), 23u, std::ref(counts.presetOperations));
    runForTheDuration(stop);
    audio.join();
    automation.join();
    presets.join();
    stopInterface = true;
    ui.join();
    seen.report();
    std::printf("presets: %ld blocks, %ld parameter and rate changes, %ld program and memory operations, "
                "%ld editor openings\n",
                counts.blocks.load(), counts.changes.load(), counts.presetOperations.load(), counts.editorOpens.load());
    EXPECT_GT(counts.presetOperations.load(), 0);

    // Once the threads are quiet, one more selection makes program 0 the
    // working copy again, whatever the races left behind.
    plugin->selectPreset(plugin->getPresetIndex());
    const CProgram* current = plugin->getProgramRecord(0);
    const CProgram* selected = plugin->getProgramRecord(plugin->getPresetIndex());
    for (int i = 0; i < 22; ++i)
    {
        const float live = plugin->getParameter(i);
        EXPECT_EQ(current->getParameter(i), live) << i;
        EXPECT_EQ(selected->getParameter(i), live) << i;
    }
    EXPECT_STREQ(current->name(), selected->name());
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(e->initialDelay, 159);
    expectLatencyAsReported(e);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

// Hosts rename the program from their own thread while the interface thread
// idles and draws the editor. The preset bar's name field and menu belong to
// the interface thread (the threading build's ThreadSanitizer reports any
// other thread writing them); the host's last name is the one shown.
TEST(ThreadStress, HostRenamesReachThePresetBarOnTheInterfaceThread)
{
    useTemporarySettingsStore("stress-names");
    Problems seen;
    problems = &seen;
    VstEffect* vst = new VstEffect(stressCallback);
    Plugin* plugin = &vst->getCore();
    AEffect* e = vst->getAeffect();
    ParentWindow parent;
    if (!(e->flags & effFlagsHasEditor) || !parent.handle())
    {
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        GTEST_SKIP() << "no editor or no display";
    }
    plugin->selectPreset(6);
    ASSERT_NE(e->dispatcher(e, effEditOpen, 0, 0, parent.handle(), 0.0f), 0);
    auto* bar = static_cast<CPresetSystemEditor*>(vst->getEditorView());
    ASSERT_NE(bar, nullptr);

    constexpr int kRenames = 300;
    std::atomic<bool> renaming{true};
    std::thread host([&] {
        for (int i = 0; i < kRenames; ++i)
        {
            char name[32];
            std::snprintf(name, sizeof name, "Host name %d", i);
            e->dispatcher(e, effSetProgramName, 0, 0, name, 0.0f);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        renaming = false;
    });
    while (renaming)
    {
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    host.join();
    // The editor's own idle work runs at most every 20 ms.
    for (int i = 0; i < 3; ++i)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    char text[256] = "";
    bar->getNameField()->getText(text);
    EXPECT_STREQ(text, "Host name 299");
    ASSERT_TRUE(bar->getPresetMenu()->getEntry(0, text));
    EXPECT_STREQ(text, "Host name 299");
    ASSERT_TRUE(bar->getPresetMenu()->getEntry(CPresetSystemEditor::menuPosition(6), text));
    EXPECT_STREQ(text, "Host name 299");
    ASSERT_TRUE(bar->getPresetMenu()->getEntry(CPresetSystemEditor::menuPosition(5), text));
    EXPECT_STREQ(text, "Loudness 1");
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    seen.report();
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

// The editor opened and closed on the interface thread while the host
// automates from another thread: the parameter changes, and the latency
// readout of each rate change, reach the editor's views while its window and
// controls are being built and torn down. Both go through the editor's
// hand-over of its controls; without it a close wrote into freed views.
TEST(ThreadStress, EditorOpenedAndClosedWhileTheHostAutomates)
{
    useTemporarySettingsStore("stress-editor");
    Problems seen;
    problems = &seen;
    AEffect* e = PluginLibrary::instance().entry()(stressCallback);
    ASSERT_NE(e, nullptr);
    if (!(e->flags & effFlagsHasEditor) || !ParentWindow().handle())
    {
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        GTEST_SKIP() << "no editor or no display";
    }
    std::atomic<bool> stop{false};
    Counts counts;
    std::thread audio(audioThread, e, std::cref(stop), 31u, std::ref(counts.blocks));
    std::thread automation(automationThread, e, std::cref(stop), 32u, std::ref(counts.changes));
    std::thread ui(interfaceThread, e, std::cref(stop), 33u, std::ref(counts.editorOpens), true, nullptr, true);
    runForTheDuration(stop);
    audio.join();
    automation.join();
    ui.join();
    seen.report();
    EXPECT_GT(counts.editorOpens.load(), 1);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

// Hosts switch the effect off from any thread, some from the audio thread
// while another thread changes the rate: the reset must wait for a block in
// progress instead of clearing the state the kernel is using.
TEST(ThreadStress, SwitchingOffWaitsForTheBlockInProgress)
{
    TestHost host;
    std::atomic<bool> inCallback{false}, releaseCallback{false}, processDone{false};
    std::atomic<bool> resetDuringTheBlock{false};
    host.onCall = [&](const HostCall& call, VstIntPtr& answer) {
        if (call.opcode != audioMasterPinConnected || inCallback)
            return false;
        // The kernel asks for its pins inside the block: hold the block here.
        inCallback = true;
        while (!releaseCallback)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        answer = 0;
        return true;
    };
    std::thread audio([&] {
        std::vector<float> in(64, 0.25f), l(64), r(64);
        host.process(in, in, l, r);
        processDone = true;
    });
    while (!inCallback)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> resetReturned{false};
    std::thread ui([&] {
        host.dispatch(effMainsChanged, 0, 0);
        resetReturned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    resetDuringTheBlock = resetReturned.load();
    releaseCallback = true;
    audio.join();
    ui.join();
    host.onCall = nullptr;
    EXPECT_FALSE(resetDuringTheBlock) << "effMainsChanged(0) cleared the state while a block was running";
    EXPECT_TRUE(processDone);
}

namespace
{
// The editor's control of the given kind bound to a parameter.
template <typename Control>
Control* controlFor(GuiEditor* editor, int parameter)
{
    VSTGUI::CFrame* frame = editor ? editor->getFrame() : nullptr;
    for (long i = 0; frame && i < frame->getNbViews(); ++i)
        if (auto* control = dynamic_cast<Control*>(frame->getView(i)))
            if (control->getTag() == parameter)
                return control;
    return nullptr;
}
} // namespace

// A host automates from its own thread while the interface thread idles the
// editor. The host's thread only leaves the value for the editor: the
// controls take it on the interface thread's next idle, never earlier and
// never from the host's thread.
TEST(ThreadStress, HostAutomationReachesTheControlsOnTheInterfaceThread)
{
    useTemporarySettingsStore("stress-automation");
    Problems seen;
    problems = &seen;
    VstEffect* vst = new VstEffect(stressCallback);
    AEffect* e = vst->getAeffect();
    ParentWindow parent;
    if (!(e->flags & effFlagsHasEditor) || !parent.handle())
    {
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        GTEST_SKIP() << "no editor or no display";
    }
    ASSERT_NE(e->dispatcher(e, effEditOpen, 0, 0, parent.handle(), 0.0f), 0);
    auto* knob = controlFor<CMyKnob>(vst->getEditorView(), kDrive);
    auto* field = controlFor<CMyTextEdit>(vst->getEditorView(), kDrive);
    ASSERT_NE(knob, nullptr);
    ASSERT_NE(field, nullptr);

    std::atomic<bool> automating{true};
    std::thread host([&] {
        for (int i = 0; i < 2000; ++i)
        {
            e->setParameter(e, kDrive, (float)(i % 100) / 100.0f);
            e->setParameter(e, kQuantize, (float)(i % 2));
            e->setParameter(e, kAttShow, (float)(i % 8) / 7.0f);
            e->setParameter(e, kScale, (float)(i % 3) / 2.0f);
            if (i % 100 == 0)
                e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, i % 200 ? 96000.0f : 48000.0f);
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        automating = false;
    });
    while (automating)
    {
        e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    host.join();
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.99f);
    EXPECT_FLOAT_EQ(field->getValue(), 0.99f);

    std::thread([&] { e->setParameter(e, kDrive, 0.125f); }).join();
    EXPECT_FLOAT_EQ(knob->getValue(), 0.99f) << "a host thread set the knob";
    EXPECT_FLOAT_EQ(field->getValue(), 0.99f) << "a host thread set the entry field";
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(knob->getValue(), 0.125f) << "the idle after the change shows it";
    EXPECT_EQ(field->getValue(), 0.125f);

    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    seen.report();
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

// One thread renames a program and writes its values while another reads
// them: every read is one writer's whole name and one written value.
TEST(ThreadStress, ProgramsReadWhileAnotherThreadWritesThem)
{
    CProgram program;
    const std::string longName(kProgramNameLength, 'A');
    const std::string shortName = "B";
    program.setName(shortName.c_str());
    program.setParameter(3, 0.25f);
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i)
        {
            program.setName(i % 2 ? longName.c_str() : shortName.c_str());
            program.setParameter(3, i % 2 ? 0.75f : 0.25f);
        }
        writing = false;
    });
    long reads = 0, torn = 0;
    while (writing || reads == 0)
    {
        char name[kProgramNameLength + 1];
        program.getName(name);
        const std::string copied(program.name());
        const float value = program.getParameter(3);
        if ((name != longName && name != shortName) || (copied != longName && copied != shortName) ||
            (value != 0.25f && value != 0.75f))
            ++torn;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    EXPECT_EQ(program.name(), longName);
}

// The noise shape is switched from a host thread while the audio thread runs
// the requantizer: the shaper's position is reset by the audio thread itself,
// at the start of the next block.
TEST(ThreadStress, NoiseShapeSwitchedWhileTheRequantizerRuns)
{
    Problems seen;
    problems = &seen;
    AEffect* e = PluginLibrary::instance().entry()(stressCallback);
    ASSERT_NE(e, nullptr);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->setParameter(e, kQuantize, 1.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::atomic<bool> switching{true};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> in(256), l(256), r(256);
        double phase = 0.0;
        while (switching)
        {
            for (float& x : in)
                x = (float)(0.5 * std::sin(phase += 0.05));
            float* inputs[2] = {in.data(), in.data()};
            float* outputs[2] = {l.data(), r.data()};
            e->processReplacing(e, inputs, outputs, 256);
            checkBlock(l, r, "processReplacing");
            blocks.fetch_add(1);
        }
    });
    for (int i = 0; i < 3000 || blocks.load() < 20; ++i)
    {
        e->setParameter(e, kNoiseShape, (float)(i % 9) / 8.0f);
        e->setParameter(e, kRelease, (float)(i % 50) / 49.0f);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    switching = false;
    audio.join();
    seen.report();
    EXPECT_GT(blocks.load(), 0);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    problems = nullptr;
}

// Records published by two writers while one reader takes them block by
// block: the reader sees whole records only, each newer than the one before
// from the same writer.
TEST(ThreadStress, PublishedRecordsAreTakenWhole)
{
    struct Record
    {
        long writer = 0;
        long serial = 0;
        long copies[14] = {};
    };
    PublishedRecord<Record> published;
    std::atomic<int> writersDone{0};
    auto write = [&](long writer) {
        for (long serial = 1; serial <= 50000; ++serial)
            published.update([&](Record& r) {
                r.writer = writer;
                r.serial = serial;
                for (long& copy : r.copies)
                    copy = writer * 1000000 + serial;
            });
        writersDone.fetch_add(1);
    };
    std::thread first(write, 1), second(write, 2);
    long lastSerial[3] = {0, 0, 0}, takes = 0, torn = 0, backwards = 0;
    while (writersDone.load() < 2)
    {
        const Record& r = published.take();
        ++takes;
        for (long copy : r.copies)
            if (copy != r.writer * 1000000 + r.serial)
                ++torn;
        if (r.writer < 0 || r.writer > 2)
            ++torn;
        else
        {
            if (r.serial < lastSerial[r.writer])
                ++backwards;
            lastSerial[r.writer] = r.serial;
        }
    }
    first.join();
    second.join();
    EXPECT_EQ(torn, 0) << "of " << takes << " takes";
    EXPECT_EQ(backwards, 0);
    EXPECT_EQ(published.take().serial, 50000) << "the last record published is the one taken";
}
