// A small CLAP host for the tests: loads the built build/QDXZelvo.clap
// through its clap_entry symbol as hosts do, creates the plug-in through
// the factory, offers the latency and params host extensions and, for the
// editor, gui, timer-support, posix-fd-support and thread-check (recording
// their calls and the plug-in's output events), and drives the instance only through the plug-in's
// function tables: activation, blocks with parameter events at frame
// offsets, flushes, and state through byte streams.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "clap/ClapInterface.h"
#include "tests/support/LoadedModule.h"

namespace claptest
{

struct Event
{
    uint32_t time;
    clap_id id;
    double value;
};

class Library
{
public:
    static Library& instance()
    {
        static Library library;
        return library;
    }
    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;

private:
    Library()
    {
        entry = testmodule::symbol<const clap_plugin_entry_t*>(testmodule::load(ZELVO_CLAP_BINARY), "clap_entry");
        if (!entry || !entry->init(ZELVO_CLAP_BINARY))
            return;
        factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory("clap.plugin-factory"));
    }
};

// The input event list of one block: parameter values at frame offsets.
class EventList
{
public:
    explicit EventList(const std::vector<Event>& events = {})
    {
        for (const Event& e : events)
        {
            clap_event_param_value_t v{};
            v.header = {sizeof v, e.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            v.param_id = e.id;
            v.note_id = -1;
            v.port_index = v.channel = v.key = -1;
            v.value = e.value;
            values.push_back(v);
        }
        list.ctx = this;
        list.size = [](const clap_input_events_t* l) {
            return (uint32_t) static_cast<EventList*>(l->ctx)->values.size();
        };
        list.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
            auto* self = static_cast<EventList*>(l->ctx);
            return i < self->values.size() ? &self->values[i].header : nullptr;
        };
    }
    clap_input_events_t list;

private:
    std::vector<clap_event_param_value_t> values;
};

class Instance
{
public:
    // Without editorIdle the host offers no timer-support and no
    // posix-fd-support, as some Windows hosts: the editor idles itself.
    explicit Instance(bool editorIdle = true) : editorIdle(editorIdle)
    {
        host.clap_version = {1, 2, 10};
        host.host_data = this;
        host.name = "zelvo-test";
        host.vendor = "";
        host.url = "";
        host.version = "1";
        host.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
            auto* self = static_cast<Instance*>(h->host_data);
            if (std::strcmp(id, "clap.latency") == 0)
                return &self->latency;
            if (std::strcmp(id, "clap.params") == 0)
                return &self->params;
            if (std::strcmp(id, "clap.gui") == 0)
                return &self->gui;
            if (std::strcmp(id, "clap.timer-support") == 0)
                return self->editorIdle ? &self->timers : nullptr;
            if (std::strcmp(id, "clap.posix-fd-support") == 0)
                return self->editorIdle ? &self->descriptors : nullptr;
            if (std::strcmp(id, "clap.thread-check") == 0)
                return &self->threads;
            return nullptr;
        };
        host.request_restart = [](const clap_host_t*) {
        };
        host.request_process = [](const clap_host_t*) {
        };
        host.request_callback = [](const clap_host_t*) {
        };
        latency.changed = [](const clap_host_t* h) {
            ++static_cast<Instance*>(h->host_data)->latencyChanges;
        };
        params.rescan = [](const clap_host_t* h, uint32_t) {
            ++static_cast<Instance*>(h->host_data)->rescans;
        };
        params.clear = [](const clap_host_t*, clap_id, uint32_t) {
        };
        params.request_flush = [](const clap_host_t* h) {
            static_cast<Instance*>(h->host_data)->flushRequested = true;
        };
        gui.request_resize = [](const clap_host_t* h, uint32_t, uint32_t) {
            ++static_cast<Instance*>(h->host_data)->resizeRequests;
            return false;
        };
        timers.register_timer = [](const clap_host_t* h, uint32_t period, clap_id* id) {
            auto* self = static_cast<Instance*>(h->host_data);
            if (!id || !self->onMain())
                return false;
            *id = self->nextTimer++;
            self->timerList.push_back({*id, period});
            return true;
        };
        timers.unregister_timer = [](const clap_host_t* h, clap_id id) {
            auto& list = static_cast<Instance*>(h->host_data)->timerList;
            const auto before = list.size();
            list.erase(std::remove_if(list.begin(), list.end(), [&](const Timer& t) { return t.id == id; }),
                       list.end());
            return list.size() < before;
        };
        descriptors.register_fd = [](const clap_host_t* h, int fd, clap_posix_fd_flags_t) {
            auto* self = static_cast<Instance*>(h->host_data);
            if (!self->onMain())
                return false;
            self->descriptorList.push_back(fd);
            return true;
        };
        descriptors.modify_fd = [](const clap_host_t*, int, clap_posix_fd_flags_t) {
            return true;
        };
        descriptors.unregister_fd = [](const clap_host_t* h, int fd) {
            auto& list = static_cast<Instance*>(h->host_data)->descriptorList;
            const auto before = list.size();
            list.erase(std::remove(list.begin(), list.end(), fd), list.end());
            return list.size() < before;
        };
        threads.is_main_thread = [](const clap_host_t* h) {
            return static_cast<Instance*>(h->host_data)->onMain();
        };
        threads.is_audio_thread = [](const clap_host_t* h) {
            return !static_cast<Instance*>(h->host_data)->onMain();
        };
        noEvents.ctx = nullptr;
        noEvents.size = [](const clap_input_events_t*) -> uint32_t {
            return 0;
        };
        noEvents.get = [](const clap_input_events_t*, uint32_t) -> const clap_event_header_t* {
            return nullptr;
        };
        output.ctx = this;
        output.try_push = [](const clap_output_events_t* list, const clap_event_header_t* event) {
            return static_cast<Instance*>(list->ctx)->record(*event);
        };

        const clap_plugin_factory_t* factory = Library::instance().factory;
        if (!factory)
            return;
        plugin = factory->create_plugin(factory, &host, "com.korvane.qdx-zelvo");
        if (plugin && !plugin->init(plugin))
        {
            plugin->destroy(plugin);
            plugin = nullptr;
        }
        if (plugin)
        {
            paramsExt = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, "clap.params"));
            stateExt = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, "clap.state"));
            latencyExt = static_cast<const clap_plugin_latency_t*>(plugin->get_extension(plugin, "clap.latency"));
            portsExt = static_cast<const clap_plugin_audio_ports_t*>(plugin->get_extension(plugin, "clap.audio-ports"));
        }
    }
    ~Instance()
    {
        if (!plugin)
            return;
        if (processing)
            plugin->stop_processing(plugin);
        if (active)
            plugin->deactivate(plugin);
        plugin->destroy(plugin);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool activate(double rate, uint32_t maxFrames = 4096)
    {
        if (processing)
            plugin->stop_processing(plugin);
        if (active)
            plugin->deactivate(plugin);
        processing = false;
        active = plugin->activate(plugin, rate, 1, maxFrames);
        return active;
    }
    void startProcessing()
    {
        if (!processing)
            processing = plugin->start_processing(plugin);
    }

    // One block of frames; null buffers for a block without audio.
    clap_process_status processBlock(float* const* inputs, float* const* outputs, uint32_t frames,
                                     const std::vector<Event>& events = {}, uint32_t channels = 2)
    {
        startProcessing();
        EventList list(events);
        clap_audio_buffer_t in{const_cast<float**>(inputs), nullptr, channels, 0, 0};
        clap_audio_buffer_t out{const_cast<float**>(outputs), nullptr, channels, 0, 0};
        clap_process_t process{};
        process.steady_time = -1;
        process.frames_count = frames;
        process.audio_inputs = &in;
        process.audio_outputs = &out;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
        process.in_events = &list.list;
        process.out_events = &output;
        return plugin->process(plugin, &process);
    }
    clap_process_status processBlock64(double* const* inputs, double* const* outputs, uint32_t frames,
                                       const std::vector<Event>& events = {})
    {
        startProcessing();
        EventList list(events);
        clap_audio_buffer_t in{nullptr, const_cast<double**>(inputs), 2, 0, 0};
        clap_audio_buffer_t out{nullptr, const_cast<double**>(outputs), 2, 0, 0};
        clap_process_t process{};
        process.steady_time = -1;
        process.frames_count = frames;
        process.audio_inputs = &in;
        process.audio_outputs = &out;
        process.audio_inputs_count = 1;
        process.audio_outputs_count = 1;
        process.in_events = &list.list;
        process.out_events = &output;
        return plugin->process(plugin, &process);
    }

    // A whole signal in blocks of block frames; events keyed by absolute
    // frame go into the block that holds them.
    void render(const std::vector<float>& left, const std::vector<float>& right, std::vector<float>& outL,
                std::vector<float>& outR, size_t block, const std::vector<Event>& events = {})
    {
        outL.assign(left.size(), 0.0f);
        outR.assign(right.size(), 0.0f);
        for (size_t start = 0; start < left.size(); start += block)
        {
            const size_t n = std::min(block, left.size() - start);
            std::vector<float> l(left.begin() + start, left.begin() + start + n);
            std::vector<float> r(right.begin() + start, right.begin() + start + n);
            std::vector<Event> local;
            for (const Event& e : events)
                if (e.time >= start && e.time < start + n)
                    local.push_back({(uint32_t)(e.time - start), e.id, e.value});
            float* in[2] = {l.data(), r.data()};
            float* out[2] = {&outL[start], &outR[start]};
            processBlock(in, out, (uint32_t)n, local);
        }
    }

    void flush(const std::vector<Event>& events)
    {
        EventList list(events);
        paramsExt->flush(plugin, &list.list, &output);
    }

    std::vector<unsigned char> saveState()
    {
        std::vector<unsigned char> bytes;
        clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t {
                                  auto* out = static_cast<std::vector<unsigned char>*>(s->ctx);
                                  // A host that takes at most 100 bytes a call.
                                  const uint64_t n = size < 100 ? size : 100;
                                  out->insert(out->end(), (const unsigned char*)buffer,
                                              (const unsigned char*)buffer + n);
                                  return (int64_t)n;
                              }};
        if (!stateExt->save(plugin, &stream))
            bytes.clear();
        return bytes;
    }
    bool loadState(const std::vector<unsigned char>& bytes)
    {
        struct Source
        {
            const std::vector<unsigned char>* bytes;
            size_t at;
        } source{&bytes, 0};
        clap_istream_t stream{&source, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                                  auto* src = static_cast<Source*>(s->ctx);
                                  // A host that hands at most 77 bytes a call.
                                  uint64_t n = std::min<uint64_t>({size, 77, src->bytes->size() - src->at});
                                  if (n > 0)
                                      std::memcpy(buffer, src->bytes->data() + src->at, n);
                                  src->at += n;
                                  return (int64_t)n;
                              }};
        return stateExt->load(plugin, &stream);
    }

    double value(clap_id id)
    {
        double v = -1.0;
        paramsExt->get_value(plugin, id, &v);
        return v;
    }
    std::string text(clap_id id, double value)
    {
        char buffer[256] = "?";
        if (!paramsExt->value_to_text(plugin, id, value, buffer, sizeof buffer))
            return "(refused)";
        return buffer;
    }

    // The plug-in's output events, kept without allocating (process may
    // push them on the audio thread).
    struct Sent
    {
        uint16_t type;
        clap_id id;
        double value;
    };
    bool record(const clap_event_header_t& event)
    {
        const uint32_t at = sentCount.load();
        if (at >= kMaxSent || event.space_id != CLAP_CORE_EVENT_SPACE_ID)
            return false;
        if (event.type == CLAP_EVENT_PARAM_VALUE && event.size >= sizeof(clap_event_param_value_t))
        {
            const auto& v = reinterpret_cast<const clap_event_param_value_t&>(event);
            sent[at] = {event.type, v.param_id, v.value};
        }
        else if ((event.type == CLAP_EVENT_PARAM_GESTURE_BEGIN || event.type == CLAP_EVENT_PARAM_GESTURE_END) &&
                 event.size >= sizeof(clap_event_param_gesture_t))
        {
            sent[at] = {event.type, reinterpret_cast<const clap_event_param_gesture_t&>(event).param_id, 0.0};
        }
        else
        {
            return false;
        }
        sentCount = at + 1;
        return true;
    }
    bool onMain() const { return std::this_thread::get_id() == mainThread; }

    struct Timer
    {
        clap_id id;
        uint32_t period;
    };

    const bool editorIdle;
    clap_host_t host{};
    clap_host_latency_t latency{};
    clap_host_params_t params{};
    clap_host_gui_t gui{};
    clap_host_timer_support_t timers{};
    clap_host_posix_fd_support_t descriptors{};
    clap_host_thread_check_t threads{};
    std::thread::id mainThread = std::this_thread::get_id();
    std::vector<Timer> timerList;
    std::vector<int> descriptorList;
    clap_id nextTimer = 7;
    int resizeRequests = 0;
    std::atomic<bool> flushRequested{false};
    static constexpr uint32_t kMaxSent = 4096;
    Sent sent[kMaxSent] = {};
    std::atomic<uint32_t> sentCount{0};
    clap_input_events_t noEvents{};
    clap_output_events_t output{};
    const clap_plugin_t* plugin = nullptr;
    const clap_plugin_params_t* paramsExt = nullptr;
    const clap_plugin_state_t* stateExt = nullptr;
    const clap_plugin_latency_t* latencyExt = nullptr;
    const clap_plugin_audio_ports_t* portsExt = nullptr;
    bool active = false;
    bool processing = false;
    int latencyChanges = 0;
    int rescans = 0;
};

} // namespace claptest
