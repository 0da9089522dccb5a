// The effect as the LV2 adapters hold it. This is the one place that
// constructs it, and it answers the few questions the effect asks its host:
// the effect's own parameter changes (its editor's) go on to an automation
// sink, the LV2 editor, which writes them to the ports.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "effect/Plugin.h"

class HostedEffect
{
public:
    // Called on the thread that registered it, with a parameter the effect
    // changed on its own (an editor control, a program the preset bar chose).
    using AutomationSink = void (*)(void* context, int index, float normalised);

    // Throws std::bad_alloc like any construction.
    HostedEffect();
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    Plugin& effect() { return *plugin; }

    // Registers the sink for calls made on the calling thread; changes made
    // on other threads (a host restoring state) are the host's own and do
    // not come back. Null unregisters.
    void setAutomationSink(AutomationSink sink, void* context);

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
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                          void* ptr, float opt);
    void automated(int index, float value);

    std::unique_ptr<Plugin> plugin;
    std::atomic<AutomationSink> sink{nullptr};
    std::atomic<void*> sinkContext{nullptr};
    std::atomic<std::thread::id> sinkThread{};
    std::atomic<int> quiet{0};
};
