#include "lv2/HostedEffect.h"

HostedEffect::HostedEffect()
{
    plugin = std::make_unique<Plugin>(&HostedEffect::callback);
    // The host's own field of the record leads the callback back here; calls
    // made during construction find it empty and get neutral answers.
    plugin->getAeffect()->user = this;
}

HostedEffect::~HostedEffect()
{
    plugin->getAeffect()->user = nullptr;
}

void HostedEffect::setAutomationSink(AutomationSink newSink, void* context)
{
    sink = nullptr;
    sinkThread = std::this_thread::get_id();
    sinkContext = context;
    sink = newSink;
}

void HostedEffect::automated(int index, float value)
{
    AutomationSink target = sink;
    if (target && quiet == 0 && std::this_thread::get_id() == sinkThread)
        target(sinkContext, index, value);
}

VstIntPtr VSTCALLBACK HostedEffect::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                                              float opt)
{
    switch (opcode)
    {
    case audioMasterVersion: return 2400;
    // Every LV2 port is connected: the answer for a connected pin is 0.
    case audioMasterPinConnected: return 0;
    case audioMasterAutomate:
        if (effect && effect->user)
            static_cast<HostedEffect*>(effect->user)->automated(index, opt);
        return 0;
    default: return 0;
    }
}
