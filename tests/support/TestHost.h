// A host for tests: loads the built plug-in library, calls its entry point
// with a recording host callback and drives the instance only through the
// AEffect record, as a real host does.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "host/VstInterface.h"

struct HostCall
{
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

// The library stays loaded for the process's life: instances of several
// tests share it, as instances in a host do.
class PluginLibrary
{
public:
    static PluginLibrary& instance();
    typedef AEffect* (*EntryPoint)(audioMasterCallback);
    EntryPoint entry() const { return entryPoint; }
    EntryPoint legacyEntry() const { return legacyEntryPoint; }
    const std::string& path() const { return libraryPath; }

private:
    PluginLibrary();
    std::string libraryPath;
    EntryPoint entryPoint = nullptr;
    EntryPoint legacyEntryPoint = nullptr;
};

class TestHost
{
public:
    // Answer the host gives to audioMasterVersion; 0 makes the entry refuse.
    explicit TestHost(VstIntPtr versionAnswer = 2400);
    // Calls `duringConstruction` from inside the first host call the effect
    // makes while it is still being created (re-entrancy as real scanners do).
    TestHost(VstIntPtr versionAnswer, std::function<void(AEffect*)> duringConstruction);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    AEffect* effect = nullptr;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    std::string parameterName(VstInt32 index);
    std::string parameterDisplay(VstInt32 index);
    std::string parameterLabel(VstInt32 index);
    std::string programName();
    void setSampleRate(float rate);
    // Sends effClose and forgets the record; answers the dispatcher's result.
    VstIntPtr close();

    // Processes interleaved-free stereo buffers in place of a host's.
    void process(std::vector<float>& left, std::vector<float>& right, std::vector<float>& outLeft,
                 std::vector<float>& outRight);
    void processDouble(std::vector<double>& left, std::vector<double>& right, std::vector<double>& outLeft,
                       std::vector<double>& outRight);

    // Recording of every host call.
    std::vector<HostCall> calls();
    void clearCalls();
    size_t countCalls(VstInt32 opcode);

    // Which pins the host reports as connected (audioMasterPinConnected).
    bool rightInputConnected = true;
    bool rightOutputConnected = true;
    // Optional extra behaviour for a host opcode; return true when handled.
    std::function<bool(const HostCall&, VstIntPtr& answer)> onCall;

private:
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt);
    VstIntPtr handle(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void construct(VstIntPtr versionAnswer);

    VstIntPtr versionAnswer;
    std::function<void(AEffect*)> duringConstruction;
    bool reentered = false;
    std::mutex recordMutex;
    std::vector<HostCall> recorded;
};

// A fresh, empty settings store for the current test process.
std::string useTemporarySettingsStore(const std::string& name);
