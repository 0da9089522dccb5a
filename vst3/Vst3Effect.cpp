#include "vst3/Vst3Effect.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "editor/Editor.h"
#include "effect/SavedState.h"
#include "vst3/Vst3EditorView.h"

using namespace vst3;

namespace
{

void copyText16(char16_t* destination, const char* source, int capacity)
{
    int i = 0;
    for (; source[i] && i < capacity - 1; ++i)
        destination[i] = (char16_t)(unsigned char)source[i];
    destination[i] = 0;
}

// The host's normalised value of a stepped row n steps long is step / (n - 1);
// the effect's is the step's centre. A continuous row's is the effect's own,
// so a value a host sends reaches the effect bit for bit.
float effectValue(ParamID id, ParamValue value)
{
    const int n = exposed::steps(id);
    const double v = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    if (n > 0)
    {
        const int step = (int)(v * n);
        return stepValue(step < n - 1 ? step : n - 1, n);
    }
    return (float)v;
}

ParamValue hostValue(int index, float value)
{
    const int n = exposed::steps(index);
    return n > 1 ? (ParamValue)stepIndex(value, n) / (n - 1) : (ParamValue)value;
}

// Reads the whole stream, up to more than any state this build writes.
// Hosts end a stream differently (0 bytes, or kResultFalse with what was
// left): whatever came is kept, and the state's own checks judge it.
bool readAll(IBStream* stream, std::vector<unsigned char>& bytes)
{
    constexpr size_t kLimit = 1 << 16;
    unsigned char chunk[4096];
    for (;;)
    {
        int32_t read = 0;
        const tresult result = stream->read(chunk, (int32_t)sizeof chunk, &read);
        if (read < 0 || read > (int32_t)sizeof chunk)
            return false;
        bytes.insert(bytes.end(), chunk, chunk + read);
        if (bytes.size() > kLimit)
            return false;
        if (result != kResultOk || read == 0)
            return true;
    }
}

} // namespace

bool vst3::sameUid(const char* a, const Uid& b) { return a && std::memcmp(a, b.bytes, 16) == 0; }

const Uid Vst3Effect::kClassId = makeUid(0x5144587A, 0x656C766F, 0x56535433, 0x4C494D31);

Vst3Effect::Vst3Effect() : core(this)
{
    for (int i = 0; i < exposed::kCount; ++i)
        hostValues[i] = hostValue(i, core.getParameter(i));
    reportedLatency = (uint32_t)core.getLatency();
    editor = new Editor(core);
}

Vst3Effect::~Vst3Effect()
{
    // The editor reads the core; it goes first. Its views hold this effect,
    // so none is left.
    delete editor.exchange(nullptr);
    if (IComponentHandler* old = handler.exchange(nullptr))
        old->release();
}

tresult Vst3Effect::queryInterface(const TUID iid, void** object)
{
    if (!object)
        return kInvalidArgument;
    void* found = nullptr;
    if (sameUid(iid, iid::FUnknown) || sameUid(iid, iid::IPluginBase) || sameUid(iid, iid::IComponent))
        found = static_cast<IComponent*>(this);
    else if (sameUid(iid, iid::IAudioProcessor))
        found = static_cast<IAudioProcessor*>(this);
    else if (sameUid(iid, iid::IEditController))
        found = static_cast<IEditController*>(this);
    else if (sameUid(iid, iid::IProcessContextRequirements))
        found = static_cast<IProcessContextRequirements*>(this);
    *object = found;
    if (!found)
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32_t Vst3Effect::addRef() { return ++references; }

uint32_t Vst3Effect::release()
{
    const uint32_t left = --references;
    if (left == 0)
        delete this;
    return left;
}

// Hosts initialise through the component and again through the controller.
tresult Vst3Effect::initialize(FUnknown*) { return kResultOk; }

tresult Vst3Effect::terminate()
{
    if (IComponentHandler* old = handler.exchange(nullptr))
        old->release();
    return kResultOk;
}

// One object is both halves: there is no controller class to name.
tresult Vst3Effect::getControllerClassId(TUID) { return kNotImplemented; }

tresult Vst3Effect::setIoMode(IoMode) { return kNotImplemented; }

int32_t Vst3Effect::getBusCount(MediaType type, BusDirection dir)
{
    return type == kAudio && (dir == vst3::kInput || dir == vst3::kOutput) ? 1 : 0;
}

tresult Vst3Effect::getBusInfo(MediaType type, BusDirection dir, int32_t index, BusInfo& bus)
{
    if (type != kAudio || index != 0 || (dir != vst3::kInput && dir != vst3::kOutput))
        return kInvalidArgument;
    std::memset(&bus, 0, sizeof bus);
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = 2;
    copyText16(bus.name, dir == vst3::kInput ? "Input" : "Output", 128);
    bus.busType = kMain;
    bus.flags = kDefaultActive;
    return kResultOk;
}

tresult Vst3Effect::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

tresult Vst3Effect::activateBus(MediaType type, BusDirection dir, int32_t index, TBool)
{
    return type == kAudio && index == 0 && (dir == vst3::kInput || dir == vst3::kOutput) ? kResultTrue
                                                                                         : kInvalidArgument;
}

tresult Vst3Effect::setActive(TBool state)
{
    // The smoothed gains start at the values set before activation instead
    // of gliding there from earlier ones.
    if (state)
        core.suspend();
    else
        processing = false;
    return kResultOk;
}

tresult Vst3Effect::setComponentBytes(IBStream* state)
{
    std::vector<unsigned char> bytes;
    if (!state || !readAll(state, bytes))
        return kResultFalse;
    ++quiet;
    const bool restored = savedstate::restore(core, bytes.data(), bytes.size());
    --quiet;
    return restored ? kResultOk : kResultFalse;
}

tresult Vst3Effect::getComponentBytes(IBStream* state)
{
    if (!state)
        return kInvalidArgument;
    std::vector<unsigned char> bytes = savedstate::save(core);
    size_t written = 0;
    while (written < bytes.size())
    {
        int32_t n = 0;
        if (state->write(bytes.data() + written, (int32_t)(bytes.size() - written), &n) != kResultOk || n <= 0 ||
            (size_t)n > bytes.size() - written)
            return kResultFalse;
        written += (size_t)n;
    }
    return kResultOk;
}

tresult Vst3Effect::setBusArrangements(SpeakerArrangement* inputs, int32_t numIns, SpeakerArrangement* outputs,
                                       int32_t numOuts)
{
    // Stereo in and out only; on any other proposal the effect stays stereo.
    const bool stereo =
        numIns == 1 && numOuts == 1 && inputs && outputs && inputs[0] == kStereo && outputs[0] == kStereo;
    return stereo ? kResultTrue : kResultFalse;
}

tresult Vst3Effect::getBusArrangement(BusDirection dir, int32_t index, SpeakerArrangement& arrangement)
{
    if (index != 0 || (dir != vst3::kInput && dir != vst3::kOutput))
        return kInvalidArgument;
    arrangement = kStereo;
    return kResultOk;
}

tresult Vst3Effect::canProcessSampleSize(int32_t size)
{
    return size == kSample32 || size == kSample64 ? kResultTrue : kResultFalse;
}

uint32_t Vst3Effect::getLatencySamples() { return (uint32_t)core.getLatency(); }

tresult Vst3Effect::setupProcessing(ProcessSetup& setup)
{
    // A rate the effect cannot use runs with its 44.1 kHz settings, as in
    // the other formats.
    core.setSampleRate((float)setup.sampleRate);
    const uint32_t now = getLatencySamples();
    if (now != reportedLatency)
    {
        reportedLatency = now;
        if (IComponentHandler* target = handler.load())
            target->restartComponent(kLatencyChanged);
    }
    return kResultOk;
}

tresult Vst3Effect::setProcessing(TBool state)
{
    processing = state != 0;
    return kResultOk;
}

uint32_t Vst3Effect::getTailSamples() { return getLatencySamples(); }

void Vst3Effect::applyChange(ParamID id, ParamValue value)
{
    // A NaN is no value; the effect ignores it in every format.
    if (!exposed::isExposed(id) || value != value)
        return;
    core.setParameter((int)id, effectValue(id, value));
}

tresult Vst3Effect::process(ProcessData& data)
{
    // Each queue's points come in time order; the block is cut at every
    // point of any queue, so each change takes effect at its own frame.
    constexpr int kMaxQueues = 64;
    IParameterChanges* changes = data.inputParameterChanges;
    int32_t queueCount = changes ? changes->getParameterCount() : 0;
    queueCount = queueCount < 0 ? 0 : (queueCount > kMaxQueues ? kMaxQueues : queueCount);
    IParamValueQueue* queues[kMaxQueues];
    int32_t pointCount[kMaxQueues];
    int32_t next[kMaxQueues];
    int32_t offset[kMaxQueues];
    ParamValue value[kMaxQueues];
    auto load = [&](int q) {
        while (next[q] < pointCount[q])
        {
            if (queues[q]->getPoint(next[q], offset[q], value[q]) == kResultOk)
                return;
            ++next[q];
        }
    };
    for (int q = 0; q < queueCount; ++q)
    {
        queues[q] = changes->getParameterData(q);
        pointCount[q] = queues[q] ? queues[q]->getPointCount() : 0;
        next[q] = 0;
        load(q);
    }

    const int32_t frames = data.numSamples > 0 ? data.numSamples : 0;
    int32_t done = 0;
    for (;;)
    {
        int best = -1;
        for (int q = 0; q < queueCount; ++q)
            if (next[q] < pointCount[q] && (best < 0 || offset[q] < offset[best]))
                best = q;
        if (best < 0)
            break;
        const int32_t at = offset[best] < done ? done : (offset[best] > frames ? frames : offset[best]);
        if (at > done)
        {
            render(data, done, at);
            done = at;
        }
        applyChange(queues[best]->getParameterId(), value[best]);
        ++next[best];
        load(best);
    }
    if (done < frames)
        render(data, done, frames);
    return kResultOk;
}

void Vst3Effect::render(const ProcessData& data, int32_t first, int32_t last)
{
    if (data.numInputs < 1 || data.numOutputs < 1 || !data.inputs || !data.outputs)
        return;
    const AudioBusBuffers& in = data.inputs[0];
    const AudioBusBuffers& out = data.outputs[0];
    if (in.numChannels < 1 || out.numChannels < 1)
        return;
    const int frames = last - first;
    // A missing right channel runs the effect on the left one, as in the
    // other formats.
    if (data.symbolicSampleSize == kSample32)
    {
        float** i = in.channelBuffers32;
        float** o = out.channelBuffers32;
        if (!i || !o || !i[0] || !o[0])
            return;
        float* inputs[2] = {i[0] + first, in.numChannels > 1 && i[1] ? i[1] + first : nullptr};
        float* outputs[2] = {o[0] + first, out.numChannels > 1 && o[1] ? o[1] + first : nullptr};
        core.processReplacing(inputs, outputs, frames);
    }
    else if (data.symbolicSampleSize == kSample64)
    {
        double** i = in.channelBuffers64;
        double** o = out.channelBuffers64;
        if (!i || !o || !i[0] || !o[0])
            return;
        double* inputs[2] = {i[0] + first, in.numChannels > 1 && i[1] ? i[1] + first : nullptr};
        double* outputs[2] = {o[0] + first, out.numChannels > 1 && o[1] ? o[1] + first : nullptr};
        core.processDoubleReplacing(inputs, outputs, frames);
    }
}

tresult Vst3Effect::setComponentState(IBStream*) { return kResultOk; }

int32_t Vst3Effect::getParameterCount() { return exposed::kCount; }

tresult Vst3Effect::getParameterInfo(int32_t index, vst3::ParameterInfo& info)
{
    if (!exposed::isExposed(index) || index >= exposed::kCount)
        return kInvalidArgument;
    const ::ParameterInfo& row = kParameterTable[index];
    std::memset(&info, 0, sizeof info);
    info.id = (ParamID)index;
    copyText16(info.title, row.name, 128);
    copyText16(info.shortTitle, row.name, 128);
    copyText16(info.units, exposed::label(index), 128);
    info.stepCount = row.steps > 0 ? row.steps - 1 : 0;
    info.defaultNormalizedValue = hostValue(index, row.defaultValue);
    info.unitId = 0;
    info.flags = kCanAutomate | (row.steps > 2 ? kIsList : 0);
    return kResultOk;
}

tresult Vst3Effect::getParamStringByValue(ParamID id, ParamValue value, String128 string)
{
    if (!exposed::isExposed(id) || !string || value != value)
        return kInvalidArgument;
    char text[exposed::kTextBytes];
    exposed::displayText(id, effectValue(id, value), text);
    copyText16(string, text, 128);
    return kResultOk;
}

tresult Vst3Effect::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized)
{
    if (!string)
        return kInvalidArgument;
    char text[64];
    int i = 0;
    for (; string[i] && i < (int)sizeof text - 1; ++i)
    {
        if (string[i] > 0x7F)
            return kResultFalse;
        text[i] = (char)string[i];
    }
    if (string[i])
        return kResultFalse;
    text[i] = 0;
    float normalised = 0.0f;
    if (!exposed::parseText(id, text, normalised))
        return kResultFalse;
    valueNormalized = hostValue((int)id, normalised);
    return kResultOk;
}

ParamValue Vst3Effect::normalizedParamToPlain(ParamID id, ParamValue value)
{
    const int n = exposed::steps(id);
    return n > 0 ? (ParamValue)stepIndex(effectValue(id, value), n) : value;
}

ParamValue Vst3Effect::plainParamToNormalized(ParamID id, ParamValue plain)
{
    const int n = exposed::steps(id);
    if (n > 1)
    {
        const double step = std::nearbyint(plain < 0.0 ? 0.0 : (plain > n - 1 ? n - 1 : plain));
        return step / (n - 1);
    }
    return plain;
}

ParamValue Vst3Effect::getParamNormalized(ParamID id)
{
    return id < (ParamID)exposed::kCount ? hostValues[id].load() : 0.0;
}

tresult Vst3Effect::setParamNormalized(ParamID id, ParamValue value)
{
    // While processing, the host's side only: the effect hears of the value
    // through process, at its sample position, and must not hear it again
    // at another time. Otherwise a value set now and saved with the state
    // before any process call would be lost.
    if (id >= (ParamID)exposed::kCount || value != value)
        return kInvalidArgument;
    hostValues[id] = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    if (!processing)
        core.setParameter((int)id, effectValue(id, value));
    return kResultOk;
}

tresult Vst3Effect::setComponentHandler(IComponentHandler* newHandler)
{
    if (newHandler)
        newHandler->addRef();
    if (IComponentHandler* old = handler.exchange(newHandler))
        old->release();
    return kResultOk;
}

// Each view shows the one editor; Ardour asks again without a name.
IPlugView* Vst3Effect::createView(FIDString name)
{
    Editor* shown = editor.load();
    if ((name && std::strcmp(name, "editor") != 0) || !shown)
        return nullptr;
    return new Vst3EditorView(static_cast<IEditController*>(this), *shown);
}

void Vst3Effect::automate(int index, float value)
{
    IComponentHandler* target = handler.load();
    if (!target || quiet != 0 || !exposed::isExposed(index) || index >= exposed::kCount)
        return;
    // The format wants every edit inside a gesture: a click on a button
    // (no drag) gets one of its own.
    const bool single = openGestures[index].load() == 0;
    if (single)
        target->beginEdit((ParamID)index);
    target->performEdit((ParamID)index, hostValue(index, value));
    if (single)
        target->endEdit((ParamID)index);
}

void Vst3Effect::editBegins(int index)
{
    IComponentHandler* target = handler.load();
    if (target && quiet == 0 && exposed::isExposed(index) && index < exposed::kCount)
    {
        ++openGestures[index];
        target->beginEdit((ParamID)index);
    }
}

void Vst3Effect::editEnds(int index)
{
    IComponentHandler* target = handler.load();
    if (target && quiet == 0 && exposed::isExposed(index) && index < exposed::kCount && openGestures[index] > 0)
    {
        --openGestures[index];
        target->endEdit((ParamID)index);
    }
}

void Vst3Effect::parameterChanged(int index, float value)
{
    if (Editor* shown = editor.load())
        shown->setParameter(index, value);
    if (index >= 0 && index < exposed::kCount)
        hostValues[index] = hostValue(index, value);
}

void Vst3Effect::displayChanged()
{
    IComponentHandler* target = handler.load();
    if (target && quiet == 0)
        target->restartComponent(kParamValuesChanged);
}
