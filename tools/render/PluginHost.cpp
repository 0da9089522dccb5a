#include "tools/render/PluginHost.h"

#include <cctype>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace
{
// The effect calls its host while it is being created, before the record is
// returned and its user field can point at us.
thread_local PluginHost* constructingHost = nullptr;

// Hosts pass generous text buffers; the plug-in writes at most 14 bytes.
constexpr size_t kTextBufferSize = 256;

// audioMasterGetCurrentProcessLevel: rendering offline.
constexpr VstIntPtr kProcessLevelOffline = 4;

bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return true;
}

void copyText(void* ptr, const char* text, size_t capacity)
{
    if (!ptr)
        return;
    std::strncpy(static_cast<char*>(ptr), text, capacity - 1);
    static_cast<char*>(ptr)[capacity - 1] = 0;
}
} // namespace

PluginHost::~PluginHost()
{
    if (effect)
    {
        stopProcessing();
        dispatch(effClose);
        effect = nullptr;
    }
#if defined(_WIN32)
    if (library)
        FreeLibrary(static_cast<HMODULE>(library));
#else
    if (library)
        dlclose(library);
#endif
}

bool PluginHost::load(const std::string& libraryPath, bool monoInput, std::string& error)
{
    typedef AEffect* (*EntryPoint)(audioMasterCallback);
    EntryPoint entry = nullptr;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(libraryPath.c_str());
    if (!module)
    {
        error = "cannot load the plug-in " + libraryPath;
        return false;
    }
    library = module;
    entry = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
#else
    library = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        error = std::string("cannot load the plug-in: ") + dlerror();
        return false;
    }
    entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
#endif
    if (!entry)
    {
        error = libraryPath + " has no VSTPluginMain entry point";
        return false;
    }
    mono = monoInput;
    constructingHost = this;
    effect = entry(&PluginHost::hostCallback);
    constructingHost = nullptr;
    if (!effect || effect->magic != kEffectMagic)
    {
        effect = nullptr;
        error = libraryPath + " did not create an effect";
        return false;
    }
    effect->user = this;
    if (effect->numInputs < 2 || effect->numOutputs < 2 || !(effect->flags & effFlagsCanReplacing))
    {
        error = libraryPath + " is not a stereo effect with replacing processing";
        return false;
    }
    dispatch(effOpen);
    return true;
}

VstIntPtr VSTCALLBACK PluginHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float)
{
    PluginHost* host = effect && effect->user ? static_cast<PluginHost*>(effect->user) : constructingHost;
    if (!host)
        return opcode == audioMasterVersion ? kVstVersion : 0;
    return host->answer(opcode, index, value, ptr);
}

VstIntPtr PluginHost::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr)
{
    switch (opcode)
    {
    case audioMasterVersion: return kVstVersion;
    case audioMasterPinConnected:
        // 0 means connected. A mono file has no right input and no right output.
        return (mono && index == 1 && (value == 0 || value == 1)) ? 1 : 0;
    case audioMasterGetSampleRate: return (VstIntPtr)sampleRate;
    case audioMasterGetBlockSize: return blockSize;
    case audioMasterGetCurrentProcessLevel: return kProcessLevelOffline;
    case audioMasterGetVendorString: copyText(ptr, "QDX", kVstMaxVendorStrLen); return 1;
    case audioMasterGetProductString: copyText(ptr, "qdx-render", kVstMaxProductStrLen); return 1;
    case audioMasterGetVendorVersion: return 1;
    default: return 0; // automation reports, display updates, can-do queries: nothing to do offline
    }
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string PluginHost::text(VstInt32 opcode, VstInt32 index)
{
    char buffer[kTextBufferSize] = {};
    dispatch(opcode, index, 0, buffer);
    buffer[kTextBufferSize - 1] = 0;
    return buffer;
}

std::string PluginHost::effectName() { return text(effGetEffectName, 0); }

std::string PluginHost::parameterName(int index) { return text(effGetParamName, index); }

std::string PluginHost::parameterDisplay(int index) { return text(effGetParamDisplay, index); }

std::string PluginHost::parameterLabel(int index) { return text(effGetParamLabel, index); }

float PluginHost::getParameter(int index) { return effect->getParameter(effect, index); }

void PluginHost::setParameter(int index, float value) { effect->setParameter(effect, index, value); }

int PluginHost::findParameter(const std::string& name)
{
    for (int i = 0; i < numParams(); ++i)
        if (equalIgnoringCase(parameterName(i), name))
            return i;
    return -1;
}

void PluginHost::applyProgram(const std::string& name, const float* values, int count)
{
    for (int i = 0; i < count && i < numParams(); ++i)
        setParameter(i, values[i]);
    char programName[kVstMaxProgNameLen + 1] = {};
    std::strncpy(programName, name.c_str(), kVstMaxProgNameLen);
    dispatch(effSetProgramName, 0, 0, programName);
}

std::string PluginHost::programName() { return text(effGetProgramName, 0); }

void PluginHost::setSampleRate(float rate)
{
    sampleRate = rate;
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginHost::setBlockSize(int frames)
{
    blockSize = frames;
    dispatch(effSetBlockSize, 0, frames);
}

void PluginHost::startProcessing()
{
    // A suspend makes the smoothed gains start at the values just set
    // instead of gliding there from the start-up values.
    dispatch(effMainsChanged, 0, 0);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effStartProcess);
    processing = true;
}

void PluginHost::stopProcessing()
{
    if (!processing)
        return;
    dispatch(effStopProcess);
    dispatch(effMainsChanged, 0, 0);
    processing = false;
}

void PluginHost::process(float** inputs, float** outputs, int frames)
{
    effect->processReplacing(effect, inputs, outputs, frames);
}

void PluginHost::process(double** inputs, double** outputs, int frames)
{
    effect->processDoubleReplacing(effect, inputs, outputs, frames);
}
