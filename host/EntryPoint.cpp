// The library's only exported functions. The same entry is exported as
// `main` for older hosts.
#include "host/VstEffect.h"
#include "host/VstInterface.h"

#include <new>

#if defined(_WIN32)
#define ZELVO_EXPORT extern "C" __declspec(dllexport)
#else
#define ZELVO_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ZELVO_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    // Without a callback the effect still works; every host call then gets
    // its neutral answer.
    if (audioMaster && audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try
    {
        return (new VstEffect(audioMaster))->getAeffect();
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

#if !defined(_WIN32)
// Old Linux hosts look up `main`; an assembler label gives the entry point that
// name without clashing with a C++ main.
ZELVO_EXPORT AEffect* zelvoLegacyMain(audioMasterCallback audioMaster) asm("main");
AEffect* zelvoLegacyMain(audioMasterCallback audioMaster) { return VSTPluginMain(audioMaster); }
#endif
