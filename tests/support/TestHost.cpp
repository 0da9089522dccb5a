#include "tests/support/TestHost.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifndef ZELVO_PLUGIN_PATH
#error "ZELVO_PLUGIN_PATH must name the built plug-in library"
#endif

namespace
{
// The host under construction: the effect calls back before the entry point
// has returned its record, so the record cannot be looked up yet.
thread_local TestHost* constructingHost = nullptr;
std::mutex hostsMutex;
std::vector<std::pair<AEffect*, TestHost*>> liveHosts;

TestHost* hostFor(AEffect* effect)
{
    std::lock_guard<std::mutex> lock(hostsMutex);
    for (auto& entry : liveHosts)
        if (entry.first == effect)
            return entry.second;
    return nullptr;
}
} // namespace

PluginLibrary& PluginLibrary::instance()
{
    static PluginLibrary library;
    return library;
}

PluginLibrary::PluginLibrary()
{
    const char* overridePath = std::getenv("ZELVO_PLUGIN");
    libraryPath = overridePath && *overridePath ? overridePath : ZELVO_PLUGIN_PATH;
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(libraryPath.c_str());
    if (!module)
        throw std::runtime_error("cannot load " + libraryPath);
    entryPoint = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    legacyEntryPoint = reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
#else
    void* module = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        throw std::runtime_error(std::string("cannot load ") + libraryPath + ": " + dlerror());
    entryPoint = reinterpret_cast<EntryPoint>(dlsym(module, "VSTPluginMain"));
    legacyEntryPoint = reinterpret_cast<EntryPoint>(dlsym(module, "main"));
#endif
    if (!entryPoint)
        throw std::runtime_error("no VSTPluginMain in " + libraryPath);
}

TestHost::TestHost(VstIntPtr versionAnswer) : versionAnswer(versionAnswer) { construct(versionAnswer); }

TestHost::TestHost(VstIntPtr versionAnswer, std::function<void(AEffect*)> duringConstruction)
    : versionAnswer(versionAnswer),
      duringConstruction(std::move(duringConstruction))
{
    construct(versionAnswer);
}

void TestHost::construct(VstIntPtr)
{
    constructingHost = this;
    effect = PluginLibrary::instance().entry()(&TestHost::callback);
    constructingHost = nullptr;
    if (effect)
    {
        std::lock_guard<std::mutex> lock(hostsMutex);
        liveHosts.emplace_back(effect, this);
    }
}

TestHost::~TestHost() { close(); }

VstIntPtr TestHost::close()
{
    if (!effect)
        return 0;
    VstIntPtr answer = effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    std::lock_guard<std::mutex> lock(hostsMutex);
    for (auto it = liveHosts.begin(); it != liveHosts.end(); ++it)
        if (it->first == effect)
        {
            liveHosts.erase(it);
            break;
        }
    effect = nullptr;
    return answer;
}

VstIntPtr VSTCALLBACK TestHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                         float opt)
{
    TestHost* host = effect ? hostFor(effect) : nullptr;
    if (!host)
        host = constructingHost;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    return host->handle(effect, opcode, index, value, ptr, opt);
}

VstIntPtr TestHost::handle(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    HostCall call{opcode, index, value, opt};
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        recorded.push_back(call);
    }
    if (e && duringConstruction && !reentered && constructingHost == this && opcode != audioMasterVersion)
    {
        reentered = true;
        duringConstruction(e);
    }
    VstIntPtr answer = 0;
    if (onCall && onCall(call, answer))
        return answer;
    switch (opcode)
    {
    case audioMasterVersion: return versionAnswer;
    case audioMasterPinConnected:
        // 0 means connected.
        if (index == 1)
            return value == 0 ? (rightInputConnected ? 0 : 1) : (rightOutputConnected ? 0 : 1);
        return 0;
    default: return 0;
    }
    (void)ptr;
}

VstIntPtr TestHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void TestHost::setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }

float TestHost::getParameter(VstInt32 index) { return effect->getParameter(effect, index); }

namespace
{
std::string textFrom(TestHost& host, VstInt32 opcode, VstInt32 index)
{
    char text[256];
    std::fill(text, text + sizeof text, '\x7f');
    text[0] = 0;
    host.dispatch(opcode, index, 0, text);
    return text;
}
} // namespace

std::string TestHost::parameterName(VstInt32 index) { return textFrom(*this, effGetParamName, index); }

std::string TestHost::parameterDisplay(VstInt32 index) { return textFrom(*this, effGetParamDisplay, index); }

std::string TestHost::parameterLabel(VstInt32 index) { return textFrom(*this, effGetParamLabel, index); }

std::string TestHost::programName() { return textFrom(*this, effGetProgramName, 0); }

void TestHost::setSampleRate(float rate) { dispatch(effSetSampleRate, 0, 0, nullptr, rate); }

void TestHost::process(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
                       std::vector<float>& outRight)
{
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processReplacing(effect, inputs, outputs, (VstInt32)left.size());
}

void TestHost::processDouble(std::vector<double>& left, std::vector<double>& right, std::vector<double>& outLeft,
                             std::vector<double>& outRight)
{
    double* inputs[2] = {left.data(), right.data()};
    double* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processDoubleReplacing(effect, inputs, outputs, (VstInt32)left.size());
}

std::vector<HostCall> TestHost::calls()
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return recorded;
}

void TestHost::clearCalls()
{
    std::lock_guard<std::mutex> lock(recordMutex);
    recorded.clear();
}

size_t TestHost::countCalls(VstInt32 opcode)
{
    std::lock_guard<std::mutex> lock(recordMutex);
    size_t n = 0;
    for (const HostCall& c : recorded)
        n += c.opcode == opcode;
    return n;
}

std::string useTemporarySettingsStore(const std::string& name)
{
#if defined(_WIN32)
    // Windows keeps the settings in the registry (under Wine: the prefix's):
    // the product's keys are removed, so the store starts empty as on Linux.
    LONG result = RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvane\\QDXzelvo");
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error("cannot clear the settings in the registry");
    return name;
#else
    const char* base = std::getenv("TMPDIR");
    std::string directory =
        std::string(base && *base ? base : "/tmp") + "/zelvo-settings-" + std::to_string(getpid()) + "-" + name;
    // No shell: a test may run with a PATH that finds no rm.
    std::error_code error;
    std::filesystem::remove_all(directory, error);
    if (error)
        throw std::runtime_error("cannot clear " + directory);
    mkdir(directory.c_str(), 0700);
    setenv("XDG_CONFIG_HOME", directory.c_str(), 1);
    return directory;
#endif
}
