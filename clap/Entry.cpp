// The library's one exported symbol, clap_entry, and the plug-in factory
// behind it.
#include <cstring>
#include <mutex>
#include <new>

#include "clap/ClapEffect.h"

namespace
{

std::mutex entryMutex;
int initCount = 0;

bool init(const char*)
{
    // Hosts may initialise more than once before they deinitialise.
    std::lock_guard<std::mutex> lock(entryMutex);
    ++initCount;
    return true;
}

void deinit()
{
    std::lock_guard<std::mutex> lock(entryMutex);
    if (initCount > 0)
        --initCount;
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host, const char* id)
{
    if (!host || !id || std::strcmp(id, zelvoClapDescriptor().id) != 0)
        return nullptr;
    try
    {
        return (new ClapEffect(host))->record();
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

const clap_plugin_factory_t kFactory = {
    [](const clap_plugin_factory_t*) -> uint32_t { return 1; },
    [](const clap_plugin_factory_t*, uint32_t index) -> const clap_plugin_descriptor_t* {
        return index == 0 ? &zelvoClapDescriptor() : nullptr;
    },
    createPlugin,
};

const void* getFactory(const char* id)
{
    return id && std::strcmp(id, clapid::kPluginFactory) == 0 ? &kFactory : nullptr;
}

} // namespace

#if defined(_WIN32)
#define ZELVO_CLAP_EXPORT extern "C" __declspec(dllexport)
#else
#define ZELVO_CLAP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ZELVO_CLAP_EXPORT const clap_plugin_entry_t clap_entry = {{1, 2, 10}, init, deinit, getFactory};
