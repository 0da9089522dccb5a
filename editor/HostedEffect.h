// The effect core with its editor, for a format whose plug-in and editor
// halves meet only through the effect (LV2's plug-in and UI). It constructs
// both and hears the core's reports: the effect's own parameter changes (its
// editor's, a program chosen in the preset bar) go on to an automation sink,
// the format's UI, which hands them to the host; every parameter change
// moves the editor's controls.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "effect/EffectHost.h"
#include "effect/Plugin.h"

class Editor;
class EditorView;

class HostedEffect : private EffectHost
{
public:
    // Called on the thread that registered it, with a parameter the effect
    // changed on its own.
    using AutomationSink = void (*)(void* context, int index, float normalised);
    // Called the same way when a user's drag on one parameter begins
    // (grabbed) and ends, so that the host groups the values between.
    using GestureSink = void (*)(void* context, int index, bool grabbed);

    // Throws std::bad_alloc like any construction.
    HostedEffect();
    ~HostedEffect() override;
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    Plugin& effect() { return core; }
    // Lives as long as the effect, as in the VST build: the format's UI opens
    // and closes its window, while parameter changes from any thread reach it.
    EditorView& editor();

    // Registers the sink for calls made on the calling thread; changes made
    // on other threads (a host restoring state) are the host's own and do
    // not come back. Null unregisters.
    void setAutomationSink(AutomationSink sink, void* context, GestureSink gestures = nullptr);

    // While one lives, no change goes to the sink (state restore).
    class Quiet
    {
    public:
        explicit Quiet(HostedEffect& hosted) : hosted(hosted) { ++hosted.quiet; }
        ~Quiet() { --hosted.quiet; }

    private:
        HostedEffect& hosted;
    };

private:
    // The core's reports, on the thread of the call that caused them.
    void automate(int index, float value) override;
    void editBegins(int index) override { gesture(index, true); }
    void editEnds(int index) override { gesture(index, false); }
    void gesture(int index, bool grabbed);
    bool onSinkThread() const;
    void parameterChanged(int index, float value) override;
    // run() reads the latency every block; the program names live in the state.
    void latencyChanged(int) override {}
    void displayChanged() override {}

    std::atomic<AutomationSink> sink{nullptr};
    std::atomic<GestureSink> gestureSink{nullptr};
    std::atomic<void*> sinkContext{nullptr};
    std::atomic<std::thread::id> sinkThread{};
    std::atomic<int> quiet{0};

    // Set once the core is built; the core reports while it builds itself,
    // so this is initialised (empty) before the core.
    std::atomic<Editor*> ownEditor{nullptr};
    Plugin core;
};
