#include "clap/ClapEffect.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "editor/Editor.h"
#include "effect/ExposedParameters.h"
#include "effect/SavedState.h"

namespace
{

ClapEffect* self(const clap_plugin_t* plugin) { return ClapEffect::of(plugin); }

// The plain value of a stepped parameter is its step, 0 to steps - 1; a
// continuous one's is the effect's own normalised value, 0 to 1, so that a
// value a host sends reaches the effect bit for bit.
float normalisedOf(int row, double plain)
{
    const int n = exposed::steps(row);
    if (n > 0)
    {
        const double step = std::nearbyint(plain < 0.0 ? 0.0 : (plain > n - 1 ? n - 1 : plain));
        return stepValue((int32_t)step, n);
    }
    return (float)(plain < 0.0 ? 0.0 : (plain > 1.0 ? 1.0 : plain));
}

double plainOf(int row, float normalised)
{
    const int n = exposed::steps(row);
    return n > 0 ? (double)stepIndex(normalised, n) : (double)normalised;
}

const clap_plugin_audio_ports_t kAudioPorts = {
    [](const clap_plugin_t*, bool) -> uint32_t { return 1; },
    [](const clap_plugin_t*, uint32_t index, bool isInput, clap_audio_port_info_t* info) {
        if (index != 0 || !info)
            return false;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        std::strcpy(info->name, isInput ? "Input" : "Output");
        info->flags = CLAP_AUDIO_PORT_IS_MAIN | CLAP_AUDIO_PORT_SUPPORTS_64BITS;
        info->channel_count = 2;
        info->port_type = clapid::kPortStereo;
        info->in_place_pair = 0;
        return true;
    },
};

const clap_plugin_params_t kParams = {
    [](const clap_plugin_t*) -> uint32_t { return exposed::kCount; },
    [](const clap_plugin_t* p, uint32_t index, clap_param_info_t* info) {
        return info && self(p)->parameterInfo(index, *info);
    },
    [](const clap_plugin_t* p, clap_id id, double* value) { return value && self(p)->parameterValue(id, *value); },
    [](const clap_plugin_t* p, clap_id id, double value, char* text, uint32_t capacity) {
        return self(p)->valueText(id, value, text, capacity);
    },
    [](const clap_plugin_t* p, clap_id id, const char* text, double* value) {
        return value && self(p)->textValue(id, text, *value);
    },
    [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
        self(p)->flush(in, out);
    },
};

const clap_plugin_state_t kState = {
    [](const clap_plugin_t* p, const clap_ostream_t* stream) { return stream && self(p)->saveState(*stream); },
    [](const clap_plugin_t* p, const clap_istream_t* stream) { return stream && self(p)->loadState(*stream); },
};

const clap_plugin_latency_t kLatency = {
    [](const clap_plugin_t* p) { return self(p)->latency(); },
};

const char* const kFeatures[] = {"audio-effect", "limiter", "mastering", "stereo", nullptr};

const clap_plugin_descriptor_t kDescriptor = {
    {1, 2, 10}, "com.korvane.qdx-zelvo",       "QDX Zelvo", "korvane.com", "", "", "",
    "1.0.1",    "Full band precision limiter", kFeatures,
};

} // namespace

const clap_plugin_descriptor_t& zelvoClapDescriptor() { return kDescriptor; }

ClapEffect::ClapEffect(const clap_host_t* host) : host(host), core(this)
{
    plugin.desc = &kDescriptor;
    plugin.plugin_data = this;
    plugin.init = [](const clap_plugin_t* p) {
        return self(p)->init();
    };
    plugin.destroy = [](const clap_plugin_t* p) {
        delete self(p);
    };
    plugin.activate = [](const clap_plugin_t* p, double rate, uint32_t, uint32_t) {
        return self(p)->activate(rate);
    };
    plugin.deactivate = [](const clap_plugin_t* p) {
        self(p)->deactivate();
    };
    plugin.start_processing = [](const clap_plugin_t*) {
        return true;
    };
    plugin.stop_processing = [](const clap_plugin_t*) {
    };
    plugin.reset = [](const clap_plugin_t* p) {
        self(p)->reset();
    };
    plugin.process = [](const clap_plugin_t* p, const clap_process_t* process) {
        return process ? self(p)->process(*process) : CLAP_PROCESS_ERROR;
    };
    plugin.get_extension = [](const clap_plugin_t* p, const char* id) {
        return self(p)->extension(id);
    };
    plugin.on_main_thread = [](const clap_plugin_t*) {
    };
    reportedLatency = (uint32_t)core.getLatency();
    editor = new Editor(core);
    editorBinding = std::make_unique<ClapEditor>(host, *editor.load());
}

ClapEffect::~ClapEffect()
{
    // A host that destroys the plug-in with its editor open; the editor
    // reads the core, so both go first.
    editorBinding.reset();
    delete editor.exchange(nullptr);
}

ClapEffect* ClapEffect::of(const clap_plugin_t* plugin) { return static_cast<ClapEffect*>(plugin->plugin_data); }

bool ClapEffect::init()
{
    if (host->get_extension)
    {
        hostLatency = static_cast<const clap_host_latency_t*>(host->get_extension(host, clapid::kLatency));
        hostParams = static_cast<const clap_host_params_t*>(host->get_extension(host, clapid::kParams));
    }
    editorBinding->init();
    return true;
}

bool ClapEffect::activate(double sampleRate)
{
    // A rate the effect cannot use runs with its 44.1 kHz settings, as in
    // the other formats.
    core.setSampleRate((float)sampleRate);
    core.suspend();
    active = true;
    // The only moment the format lets the latency change: inside activate.
    const uint32_t now = latency();
    if (now != reportedLatency && hostLatency && hostLatency->changed)
        hostLatency->changed(host);
    reportedLatency = now;
    return true;
}

const void* ClapEffect::extension(const char* id)
{
    if (!id)
        return nullptr;
    if (std::strcmp(id, clapid::kAudioPorts) == 0)
        return &kAudioPorts;
    if (std::strcmp(id, clapid::kParams) == 0)
        return &kParams;
    if (std::strcmp(id, clapid::kState) == 0)
        return &kState;
    if (std::strcmp(id, clapid::kLatency) == 0)
        return &kLatency;
    return ClapEditor::extension(id);
}

void ClapEffect::applyEvent(const clap_event_header_t& event)
{
    if (event.space_id != CLAP_CORE_EVENT_SPACE_ID || event.type != CLAP_EVENT_PARAM_VALUE ||
        event.size < sizeof(clap_event_param_value_t))
        return;
    const auto& change = reinterpret_cast<const clap_event_param_value_t&>(event);
    // A NaN is no value; the effect ignores it in every format.
    if (!exposed::isExposed(change.param_id) || change.value != change.value)
        return;
    core.setParameter((int)change.param_id, normalisedOf((int)change.param_id, change.value));
}

clap_process_status ClapEffect::process(const clap_process_t& process)
{
    sendEdits(process.out_events);
    const uint32_t frames = process.frames_count;
    const clap_input_events_t* events = process.in_events;
    const uint32_t count = events && events->size && events->get ? events->size(events) : 0;
    // Events come in time order; each parameter change takes effect at its
    // own frame, so the block is cut there.
    uint32_t done = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const clap_event_header_t* event = events->get(events, i);
        if (!event)
            continue;
        const uint32_t at = event->time < frames ? event->time : frames;
        if (at > done)
        {
            render(process, done, at);
            done = at;
        }
        applyEvent(*event);
    }
    if (done < frames)
        render(process, done, frames);
    return CLAP_PROCESS_CONTINUE;
}

void ClapEffect::render(const clap_process_t& process, uint32_t first, uint32_t last)
{
    if (process.audio_inputs_count < 1 || process.audio_outputs_count < 1 || !process.audio_inputs ||
        !process.audio_outputs)
        return;
    const clap_audio_buffer_t& in = process.audio_inputs[0];
    const clap_audio_buffer_t& out = process.audio_outputs[0];
    if (in.channel_count < 1 || out.channel_count < 1)
        return;
    const int frames = (int)(last - first);
    // A missing right channel runs the effect on the left one, as in the
    // other formats.
    if (in.data32 && out.data32)
    {
        if (!in.data32[0] || !out.data32[0])
            return;
        float* inputs[2] = {in.data32[0] + first,
                            in.channel_count > 1 && in.data32[1] ? in.data32[1] + first : nullptr};
        float* outputs[2] = {out.data32[0] + first,
                             out.channel_count > 1 && out.data32[1] ? out.data32[1] + first : nullptr};
        core.processReplacing(inputs, outputs, frames);
    }
    else if (in.data64 && out.data64)
    {
        if (!in.data64[0] || !out.data64[0])
            return;
        double* inputs[2] = {in.data64[0] + first,
                             in.channel_count > 1 && in.data64[1] ? in.data64[1] + first : nullptr};
        double* outputs[2] = {out.data64[0] + first,
                              out.channel_count > 1 && out.data64[1] ? out.data64[1] + first : nullptr};
        core.processDoubleReplacing(inputs, outputs, frames);
    }
}

void ClapEffect::flush(const clap_input_events_t* events, const clap_output_events_t* out)
{
    const uint32_t count = events && events->size && events->get ? events->size(events) : 0;
    for (uint32_t i = 0; i < count; ++i)
        if (const clap_event_header_t* event = events->get(events, i))
            applyEvent(*event);
    sendEdits(out);
}

void ClapEffect::automate(int index, float value)
{
    // A click on a button (no drag) is a gesture of its own, so that hosts
    // group every edit the same way.
    const bool single = index >= 0 && index < exposed::kCount && openGestures[index] == 0;
    if (single)
        queueEdit(EditQueue::kBegin, index, 0.0);
    queueEdit(EditQueue::kValue, index, plainOf(index, value));
    if (single)
        queueEdit(EditQueue::kEnd, index, 0.0);
}

void ClapEffect::editBegins(int index)
{
    if (index >= 0 && index < exposed::kCount)
        ++openGestures[index];
    queueEdit(EditQueue::kBegin, index, 0.0);
}

void ClapEffect::editEnds(int index)
{
    if (index < 0 || index >= exposed::kCount || openGestures[index] == 0)
        return;
    --openGestures[index];
    queueEdit(EditQueue::kEnd, index, 0.0);
}

void ClapEffect::queueEdit(EditQueue::Kind kind, int index, double value)
{
    // The queue has one writer, the main thread, where the editor runs.
    if (quiet > 0 || !exposed::isExposed(index) || index >= exposed::kCount || !editorBinding ||
        !editorBinding->onMainThread())
        return;
    if (edits.push({kind, (uint32_t)index, value}) && hostParams && hostParams->request_flush)
        hostParams->request_flush(host);
}

void ClapEffect::sendEdits(const clap_output_events_t* out)
{
    EditQueue::Edit edit;
    while (edits.pop(edit))
    {
        if (!out || !out->try_push)
            continue;
        if (edit.kind == EditQueue::kValue)
        {
            clap_event_param_value_t event{};
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            event.param_id = edit.parameter;
            event.note_id = -1;
            event.port_index = -1;
            event.channel = -1;
            event.key = -1;
            event.value = edit.value;
            out->try_push(out, &event.header);
        }
        else
        {
            clap_event_param_gesture_t event{};
            event.header = {
                sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID,
                edit.kind == EditQueue::kBegin ? CLAP_EVENT_PARAM_GESTURE_BEGIN : CLAP_EVENT_PARAM_GESTURE_END, 0};
            event.param_id = edit.parameter;
            out->try_push(out, &event.header);
        }
    }
}

void ClapEffect::parameterChanged(int index, float value)
{
    if (Editor* shown = editor.load())
        shown->setParameter(index, value);
}

bool ClapEffect::parameterInfo(uint32_t index, clap_param_info_t& info)
{
    if (index >= (uint32_t)exposed::kCount)
        return false;
    const ParameterInfo& row = kParameterTable[index];
    std::memset(&info, 0, sizeof info);
    info.id = index;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | (row.steps > 0 ? CLAP_PARAM_IS_STEPPED : 0);
    std::strncpy(info.name, row.name, CLAP_NAME_SIZE - 1);
    info.min_value = 0.0;
    info.max_value = row.steps > 0 ? row.steps - 1 : 1.0;
    info.default_value = plainOf((int)index, row.defaultValue);
    return true;
}

bool ClapEffect::parameterValue(clap_id id, double& value)
{
    if (!exposed::isExposed(id))
        return false;
    value = exposed::steps(id) > 0 ? (double)core.getStep((int)id) : (double)core.getParameter((int)id);
    return true;
}

bool ClapEffect::valueText(clap_id id, double value, char* text, uint32_t capacity)
{
    if (!exposed::isExposed(id) || !text || capacity == 0 || value != value)
        return false;
    char shown[exposed::kTextBytes];
    exposed::displayText(id, normalisedOf((int)id, value), shown);
    // CLAP has no unit field: the label goes after the number, as hosts
    // show it beside the VST 2.4 display.
    char full[exposed::kTextBytes + 16];
    const char* unit = exposed::label(id);
    if (shown[0] && unit[0])
        std::snprintf(full, sizeof full, "%s %s", shown, unit);
    else
        std::snprintf(full, sizeof full, "%s", shown);
    std::snprintf(text, capacity, "%s", full);
    return true;
}

bool ClapEffect::textValue(clap_id id, const char* text, double& value)
{
    float normalised = 0.0f;
    if (!exposed::parseText(id, text, normalised))
        return false;
    value = plainOf((int)id, normalised);
    return true;
}

bool ClapEffect::saveState(const clap_ostream_t& stream)
{
    if (!stream.write)
        return false;
    const std::vector<unsigned char> bytes = savedstate::save(core);
    size_t written = 0;
    while (written < bytes.size())
    {
        const int64_t n = stream.write(&stream, bytes.data() + written, bytes.size() - written);
        if (n <= 0 || (uint64_t)n > bytes.size() - written)
            return false;
        written += (size_t)n;
    }
    return true;
}

bool ClapEffect::loadState(const clap_istream_t& stream)
{
    if (!stream.read)
        return false;
    // More than any state this build writes: a stream that goes on is not ours.
    constexpr size_t kLimit = 1 << 16;
    std::vector<unsigned char> bytes;
    unsigned char chunk[4096];
    for (;;)
    {
        const int64_t n = stream.read(&stream, chunk, sizeof chunk);
        if (n < 0 || (uint64_t)n > sizeof chunk)
            return false;
        if (n == 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kLimit)
            return false;
    }
    ++quiet;
    const bool restored = savedstate::restore(core, bytes.data(), bytes.size());
    --quiet;
    if (!restored)
        return false;
    if (hostParams && hostParams->rescan)
        hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}
