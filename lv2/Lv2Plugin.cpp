// The LV2 plug-in: the same effect as the VST 2 build, its parameters as
// control ports in engineering values, its programs in the host's saved
// state. run() hands changed ports to the effect's setParameter and the audio
// to its 32-bit callback, so both formats give the same bits.
#include "lv2/Lv2Plugin.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "lv2/BundleIdentity.h"
#include "lv2/FindFeature.h"
#include "lv2/PortTable.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFileFormat.h"

namespace
{

Lv2Instance* instanceOf(LV2_Handle handle) { return static_cast<Lv2Instance*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    try
    {
        auto* instance = new Lv2Instance;
        instance->map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
        if (instance->map)
        {
            LV2_URID_Map_Handle h = instance->map->handle;
            instance->uris.programs = instance->map->map(h, lv2bundle::kProgramsKey);
            instance->uris.selectedProgram = instance->map->map(h, lv2bundle::kSelectedProgramKey);
            instance->uris.factoryProgram = instance->map->map(h, lv2bundle::kFactoryProgramKey);
            instance->uris.chunk = instance->map->map(h, LV2_ATOM__Chunk);
            instance->uris.atomInt = instance->map->map(h, LV2_ATOM__Int);
            instance->uris.atomLong = instance->map->map(h, LV2_ATOM__Long);
        }
        // A rate the effect cannot use runs with its 44.1 kHz settings, as
        // the VST build does for the same rate.
        instance->hosted.effect().setSampleRate((float)rate);
        return instance;
    }
    catch (const std::bad_alloc&)
    {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
    Lv2Instance* instance = instanceOf(handle);
    if (port < (uint32_t)lv2port::kControlCount)
        instance->controls[port] = static_cast<const float*>(data);
    else if (port == lv2port::kInputLeft || port == lv2port::kInputRight)
        instance->inputs[port - lv2port::kInputLeft] = static_cast<float*>(data);
    else if (port == lv2port::kOutputLeft || port == lv2port::kOutputRight)
        instance->outputs[port - lv2port::kOutputLeft] = static_cast<float*>(data);
    else if (port == lv2port::kLatency)
        instance->latency = static_cast<float*>(data);
}

void activate(LV2_Handle handle)
{
    // The reset waits for the first block: the ports hold the host's values
    // only then, and the smoothed gains are to start at those values
    // instead of gliding there from the previous ones.
    instanceOf(handle)->resetPending = true;
}

void run(LV2_Handle handle, uint32_t frames)
{
    Lv2Instance* instance = instanceOf(handle);
    Plugin& effect = instance->hosted.effect();
    for (int index = 0; index < lv2port::kControlCount; ++index)
    {
        const float* port = instance->controls[index];
        if (!port)
            continue;
        const float value = *port;
        // Bitwise, so that a NaN the host keeps sending is seen once.
        if (std::memcmp(&value, &instance->lastSeen[index], sizeof value) == 0)
            continue;
        instance->lastSeen[index] = value;
        // A port that already shows the effect's value (after a restore, a
        // program chosen in the editor) keeps the exact normalised value.
        if (value == lv2port::toPortValue(index, effect.getParameter(index)))
            continue;
        effect.setParameter(index, lv2port::toNormalised(index, value));
    }
    if (instance->resetPending)
    {
        effect.suspend();
        instance->resetPending = false;
    }
    if (instance->latency)
        *instance->latency = (float)effect.getLatency();
    if (!instance->outputs[0] || !instance->outputs[1] || !instance->inputs[0] || !instance->inputs[1])
        return;
    const int length =
        frames > (uint32_t)std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : (int)frames;
    effect.processReplacing(instance->inputs, instance->outputs, length);
}

// Nothing to release: the next activation resets the effect. Given all the
// same, for hosts that call it without looking.
void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) { delete instanceOf(handle); }

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*)
{
    Lv2Instance* instance = instanceOf(handle);
    if (!instance->map)
        return LV2_STATE_ERR_NO_FEATURE;
    Plugin& effect = instance->hosted.effect();
    presetfile::ProgramData programs[presetfile::kBankProgramCount];
    for (int p = 0; p < presetfile::kBankProgramCount; ++p)
    {
        const CProgram* program = effect.getProgramRecord(p);
        if (!program)
            return LV2_STATE_ERR_UNKNOWN;
        program->getName(programs[p].name);
        for (int i = 0; i < presetfile::kValueCount; ++i)
            programs[p].values[i] = program->getParameter(i);
    }
    const std::vector<unsigned char> bank = presetfile::encodeBank(programs);
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    LV2_State_Status status =
        store(state, instance->uris.programs, bank.data(), bank.size(), instance->uris.chunk, flags);
    if (status != LV2_STATE_SUCCESS)
        return status;
    const int32_t selected = effect.getPresetIndex();
    return store(state, instance->uris.selectedProgram, &selected, sizeof selected, instance->uris.atomInt, flags);
}

// An integer property as Int or Long (Turtle files give either); false if
// absent or of another type.
bool retrieveInteger(Lv2Instance* instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, LV2_URID key,
                     int64_t& result)
{
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(state, key, &size, &type, &flags);
    if (!data)
        return false;
    if (type == instance->uris.atomInt && size == sizeof(int32_t))
    {
        int32_t v;
        std::memcpy(&v, data, sizeof v);
        result = v;
        return true;
    }
    if (type == instance->uris.atomLong && size == sizeof(int64_t))
    {
        std::memcpy(&result, data, sizeof result);
        return true;
    }
    return false;
}

// The properties of a state, each read and checked before any is applied.
struct RestoredState
{
    bool hasBank = false;
    presetfile::ProgramData programs[presetfile::kBankProgramCount];
    int selected = 0;
    bool hasFactory = false;
    int factory = 0;
};

// An integer property that, when present, must lie in 0 to 23.
bool readProgramIndex(Lv2Instance* instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, LV2_URID key,
                      bool& present, int& index)
{
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    present = retrieve(state, key, &size, &type, &flags) != nullptr;
    if (!present)
        return true;
    int64_t value = 0;
    if (!retrieveInteger(instance, retrieve, state, key, value) || value < 0 || value >= kProgramCount)
        return false;
    index = (int)value;
    return true;
}

// False if any property present is damaged: of the wrong type, a bank that
// is no bank, a program number outside 0 to 23.
bool readState(Lv2Instance* instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
               RestoredState& result)
{
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* bank = retrieve(state, instance->uris.programs, &size, &type, &flags);
    if (bank)
    {
        if (type != instance->uris.chunk || presetfile::decodeBank(static_cast<const unsigned char*>(bank), size,
                                                                   result.programs) != presetfile::FileCheck::accepted)
            return false;
        result.hasBank = true;
    }
    bool hasSelection = false;
    if (!readProgramIndex(instance, retrieve, state, instance->uris.selectedProgram, hasSelection, result.selected))
        return false;
    return readProgramIndex(instance, retrieve, state, instance->uris.factoryProgram, result.hasFactory,
                            result.factory);
}

// A damaged state is refused whole: applying the good part of it would leave
// the effect in a state that no session ever held.
LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const*)
{
    Lv2Instance* instance = instanceOf(handle);
    if (!instance->map)
        return LV2_STATE_ERR_NO_FEATURE;
    RestoredState restored;
    if (!readState(instance, retrieve, state, restored))
        return LV2_STATE_ERR_BAD_TYPE;

    HostedEffect::Quiet quiet(instance->hosted);
    Plugin& effect = instance->hosted.effect();
    if (restored.hasBank)
    {
        auto loadPrograms = [&] {
            for (int p = 0; p < kProgramCount; ++p)
            {
                CProgram* program = effect.getProgramRecord(p);
                program->setName(restored.programs[p].name);
                for (int i = 0; i < presetfile::kValueCount; ++i)
                    program->setParameter(i, restored.programs[p].values[i]);
            }
        };
        loadPrograms();
        // The selection makes the program current; program 0 holds the
        // values that were live, which may have moved on since. Both
        // steps copy values between programs: the saved ones go back.
        effect.selectPreset(restored.selected);
        for (int i = 0; i < presetfile::kValueCount; ++i)
            effect.setParameter(i, restored.programs[0].values[i]);
        loadPrograms();
    }
    if (restored.hasFactory)
    {
        // A factory preset from the host's menu: the program as it left
        // the factory, chosen as the preset bar chooses it.
        CProgram* program = effect.getProgramRecord(restored.factory);
        program->setName(kFactoryPresets[restored.factory].name);
        for (int i = 0; i < kProgramParameterCount; ++i)
            program->setParameter(i, (float)kFactoryPresets[restored.factory].values[i]);
        effect.selectPreset(restored.factory);
    }
    return LV2_STATE_SUCCESS;
}

const void* extensionData(const char* uri)
{
    static const LV2_State_Interface state = {save, restore};
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0)
        return &state;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    lv2bundle::kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

} // namespace

Lv2Instance::Lv2Instance()
{
    for (float& v : lastSeen)
        v = std::numeric_limits<float>::quiet_NaN();
}

const LV2_Descriptor* zelvoLv2Descriptor(uint32_t index) { return index == 0 ? &kDescriptor : nullptr; }
