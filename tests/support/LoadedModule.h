// A plug-in binary loaded as hosts load it: dlopen on Linux, LoadLibrary on
// Windows; symbols looked up by name. Never unloaded: the tests' instances
// may outlive any scope.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testmodule
{

inline void* load(const char* path)
{
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path));
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

template <typename Function>
Function symbol(void* module, const char* name)
{
    if (!module)
        return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)));
#else
    return reinterpret_cast<Function>(dlsym(module, name));
#endif
}

} // namespace testmodule
