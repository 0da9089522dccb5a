// A small VST3 host for the tests: loads the binary of the built bundle
// build/QDXZelvo.vst3 as hosts do (dlopen, ModuleEntry, GetPluginFactory),
// creates the class the factory lists, and drives it only through its
// interfaces: the host's own parameter queues, streams and component
// handler (recording restart requests and edits) are implemented here.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/LoadedModule.h"
#include "vst3/Vst3Interface.h"

namespace vst3test
{

using namespace vst3;

struct Point
{
    int32_t offset;
    ParamValue value;
};

// Host objects live on the test's stack: reference counts are kept but
// nothing is freed through them.
template <class Interface>
class HostObject : public Interface
{
public:
    tresult ZELVO_VST3_API queryInterface(const TUID, void** object) override
    {
        *object = nullptr;
        return kNoInterface;
    }
    uint32_t ZELVO_VST3_API addRef() override { return ++count; }
    uint32_t ZELVO_VST3_API release() override { return --count; }
    int count = 1;
};

class ValueQueue : public HostObject<IParamValueQueue>
{
public:
    ValueQueue(ParamID id, std::vector<Point> points) : id(id), points(std::move(points)) {}
    ParamID ZELVO_VST3_API getParameterId() override { return id; }
    int32_t ZELVO_VST3_API getPointCount() override { return (int32_t)points.size(); }
    tresult ZELVO_VST3_API getPoint(int32_t index, int32_t& offset, ParamValue& value) override
    {
        if (index < 0 || index >= (int32_t)points.size())
            return kInvalidArgument;
        offset = points[index].offset;
        value = points[index].value;
        return kResultOk;
    }
    tresult ZELVO_VST3_API addPoint(int32_t, ParamValue, int32_t&) override { return kResultFalse; }

    ParamID id;
    std::vector<Point> points;
};

class Changes : public HostObject<IParameterChanges>
{
public:
    void add(ParamID id, int32_t offset, ParamValue value)
    {
        for (ValueQueue& q : queues)
            if (q.id == id)
            {
                q.points.push_back({offset, value});
                return;
            }
        queues.emplace_back(id, std::vector<Point>{{offset, value}});
    }
    int32_t ZELVO_VST3_API getParameterCount() override { return (int32_t)queues.size(); }
    IParamValueQueue* ZELVO_VST3_API getParameterData(int32_t index) override
    {
        return index >= 0 && index < (int32_t)queues.size() ? &queues[index] : nullptr;
    }
    IParamValueQueue* ZELVO_VST3_API addParameterData(const ParamID&, int32_t&) override { return nullptr; }

    std::vector<ValueQueue> queues;
};

// A memory stream that moves at most `step` bytes a call, as some hosts do.
class Stream : public HostObject<IBStream>
{
public:
    explicit Stream(std::vector<unsigned char> bytes = {}, int32_t step = 61) : bytes(std::move(bytes)), step(step) {}
    // Some hosts answer kResultFalse on the read that reaches the end.
    bool falseAtEnd = false;
    tresult ZELVO_VST3_API read(void* buffer, int32_t n, int32_t* done) override
    {
        const int32_t count = std::max(0, std::min({n, step, (int32_t)(bytes.size() - at)}));
        if (count > 0)
            std::memcpy(buffer, bytes.data() + at, (size_t)count);
        at += (size_t)count;
        if (done)
            *done = count;
        return falseAtEnd && at == bytes.size() ? kResultFalse : kResultOk;
    }
    tresult ZELVO_VST3_API write(void* buffer, int32_t n, int32_t* done) override
    {
        const int32_t count = std::max(0, std::min(n, step));
        bytes.insert(bytes.end(), (unsigned char*)buffer, (unsigned char*)buffer + count);
        if (done)
            *done = count;
        return kResultOk;
    }
    tresult ZELVO_VST3_API seek(int64_t, int32_t, int64_t*) override { return kResultFalse; }
    tresult ZELVO_VST3_API tell(int64_t* pos) override
    {
        if (pos)
            *pos = (int64_t)at;
        return kResultOk;
    }
    std::vector<unsigned char> bytes;
    size_t at = 0;
    int32_t step;
};

// Records what the effect tells the host; the edits (gestures and values)
// come on the interface thread.
class Handler : public HostObject<IComponentHandler>
{
public:
    struct Edit
    {
        char kind; // 'b'egin, 'v'alue, 'e'nd
        ParamID id;
        ParamValue value;
    };
    tresult ZELVO_VST3_API beginEdit(ParamID id) override
    {
        log.push_back({'b', id, 0.0});
        return kResultOk;
    }
    tresult ZELVO_VST3_API performEdit(ParamID id, ParamValue value) override
    {
        ++edits;
        log.push_back({'v', id, value});
        return kResultOk;
    }
    tresult ZELVO_VST3_API endEdit(ParamID id) override
    {
        log.push_back({'e', id, 0.0});
        return kResultOk;
    }
    std::vector<Edit> log;
    tresult ZELVO_VST3_API restartComponent(int32_t flags) override
    {
        restarts.push_back(flags);
        return kResultOk;
    }
    std::vector<int32_t> restarts;
    int edits = 0;
};

class Module
{
public:
    static Module& instance()
    {
        static Module module;
        return module;
    }
    void* handle = nullptr;
    IPluginFactory* factory = nullptr;
    bool entered = false;

private:
    Module()
    {
        handle = testmodule::load(ZELVO_VST3_BINARY);
        auto getFactory = testmodule::symbol<IPluginFactory* (*)()>(handle, "GetPluginFactory");
#if defined(_WIN32)
        // Windows hosts call InitDll where the module has it.
        auto entry = testmodule::symbol<bool (*)()>(handle, "InitDll");
        if (!entry || !getFactory || !testmodule::symbol<void*>(handle, "ExitDll"))
            return;
        entered = entry();
#else
        auto entry = testmodule::symbol<bool (*)(void*)>(handle, "ModuleEntry");
        if (!entry || !getFactory || !testmodule::symbol<void*>(handle, "ModuleExit"))
            return;
        entered = entry(handle);
#endif
        factory = getFactory();
    }
};

class Instance
{
public:
    Instance()
    {
        IPluginFactory* factory = Module::instance().factory;
        if (!factory)
            return;
        PClassInfo info;
        if (factory->getClassInfo(0, &info) != kResultOk)
            return;
        void* object = nullptr;
        if (factory->createInstance(info.cid, iid::IComponent.bytes, &object) != kResultOk || !object)
            return;
        component = static_cast<IComponent*>(object);
        component->initialize(nullptr);
        if (component->queryInterface(iid::IAudioProcessor.bytes, &object) == kResultOk)
            processor = static_cast<IAudioProcessor*>(object);
        if (component->queryInterface(iid::IEditController.bytes, &object) == kResultOk)
            controller = static_cast<IEditController*>(object);
        if (controller)
        {
            controller->initialize(nullptr);
            controller->setComponentHandler(&handler);
        }
    }
    ~Instance()
    {
        if (!component)
            return;
        if (active)
            component->setActive(0);
        if (controller)
        {
            controller->setComponentHandler(nullptr);
            controller->terminate();
            controller->release();
        }
        if (processor)
            processor->release();
        component->terminate();
        component->release();
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool start(double rate, int32_t maxBlock = 4096, int32_t sampleSize = kSample32)
    {
        if (active)
            component->setActive(0);
        ProcessSetup setup{0, sampleSize, maxBlock, rate};
        if (processor->setupProcessing(setup) != kResultOk)
            return false;
        active = component->setActive(1) == kResultOk;
        return active && processor->setProcessing(1) == kResultOk;
    }

    tresult processBlock(float** inputs, float** outputs, int32_t frames, Changes* changes = nullptr,
                         int32_t channels = 2)
    {
        AudioBusBuffers in{};
        in.numChannels = channels;
        in.channelBuffers32 = inputs;
        AudioBusBuffers out{};
        out.numChannels = channels;
        out.channelBuffers32 = outputs;
        ProcessData data{};
        data.symbolicSampleSize = kSample32;
        data.numSamples = frames;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &out;
        data.inputParameterChanges = changes;
        return processor->process(data);
    }
    tresult processBlock64(double** inputs, double** outputs, int32_t frames, Changes* changes = nullptr)
    {
        AudioBusBuffers in{};
        in.numChannels = 2;
        in.channelBuffers64 = inputs;
        AudioBusBuffers out{};
        out.numChannels = 2;
        out.channelBuffers64 = outputs;
        ProcessData data{};
        data.symbolicSampleSize = kSample64;
        data.numSamples = frames;
        data.numInputs = data.numOutputs = 1;
        data.inputs = &in;
        data.outputs = &out;
        data.inputParameterChanges = changes;
        return processor->process(data);
    }
    // A flush: no frames, no buses, only parameter changes.
    tresult flush(Changes& changes)
    {
        ProcessData data{};
        data.inputParameterChanges = &changes;
        return processor->process(data);
    }

    std::vector<unsigned char> state()
    {
        Stream stream;
        return component->getState(&stream) == kResultOk ? stream.bytes : std::vector<unsigned char>{};
    }
    tresult setState(const std::vector<unsigned char>& bytes)
    {
        Stream stream(bytes);
        return component->setState(&stream);
    }

    std::string text(ParamID id, ParamValue value)
    {
        String128 string{};
        if (controller->getParamStringByValue(id, value, string) != kResultOk)
            return "(refused)";
        std::string text;
        for (int i = 0; string[i]; ++i)
            text += (char)string[i];
        return text;
    }

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    Handler handler;
    bool active = false;
};

} // namespace vst3test
