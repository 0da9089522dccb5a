// The project's own declarations of the CLAP binary interface: the plain C
// structs of function pointers the plug-in and its hosts exchange, limited
// to what a stereo effect uses. Sizes and offsets are checked against the
// measured layout, identical on Linux x86-64 and Win64.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef uint32_t clap_id;
constexpr clap_id CLAP_INVALID_ID = 0xFFFFFFFFu;
constexpr int CLAP_NAME_SIZE = 256;
constexpr int CLAP_PATH_SIZE = 1024;

struct clap_version_t
{
    uint32_t major;
    uint32_t minor;
    uint32_t revision;
};

struct clap_host_t
{
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
    void (*request_restart)(const clap_host_t* host);
    void (*request_process)(const clap_host_t* host);
    void (*request_callback)(const clap_host_t* host);
};

struct clap_plugin_descriptor_t
{
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features;
};

struct clap_event_header_t
{
    uint32_t size;
    uint32_t time;
    uint16_t space_id;
    uint16_t type;
    uint32_t flags;
};

constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
constexpr uint16_t CLAP_EVENT_PARAM_VALUE = 5;
constexpr uint16_t CLAP_EVENT_PARAM_MOD = 6;
constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_BEGIN = 7;
constexpr uint16_t CLAP_EVENT_PARAM_GESTURE_END = 8;

struct clap_event_param_value_t
{
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    int32_t note_id;
    int16_t port_index;
    int16_t channel;
    int16_t key;
    double value;
};

struct clap_event_param_gesture_t
{
    clap_event_header_t header;
    clap_id param_id;
};

struct clap_input_events_t
{
    void* ctx;
    uint32_t (*size)(const clap_input_events_t* list);
    const clap_event_header_t* (*get)(const clap_input_events_t* list, uint32_t index);
};

struct clap_output_events_t
{
    void* ctx;
    bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

struct clap_audio_buffer_t
{
    float** data32;
    double** data64;
    uint32_t channel_count;
    uint32_t latency;
    uint64_t constant_mask;
};

typedef int32_t clap_process_status;
constexpr clap_process_status CLAP_PROCESS_ERROR = 0;
constexpr clap_process_status CLAP_PROCESS_CONTINUE = 1;

struct clap_process_t
{
    int64_t steady_time;
    uint32_t frames_count;
    const void* transport;
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    uint32_t audio_inputs_count;
    uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};

struct clap_plugin_t
{
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin_t* plugin);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames_count,
                     uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin_t* plugin);
    bool (*start_processing)(const clap_plugin_t* plugin);
    void (*stop_processing)(const clap_plugin_t* plugin);
    void (*reset)(const clap_plugin_t* plugin);
    clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);
    const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
    void (*on_main_thread)(const clap_plugin_t* plugin);
};

struct clap_plugin_factory_t
{
    uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory, uint32_t index);
    const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                          const char* plugin_id);
};

struct clap_plugin_entry_t
{
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)(void);
    const void* (*get_factory)(const char* factory_id);
};

// Audio ports.
constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1u << 0;
constexpr uint32_t CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1;

struct clap_audio_port_info_t
{
    clap_id id;
    char name[CLAP_NAME_SIZE];
    uint32_t flags;
    uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t
{
    uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);
};

// Parameters.
constexpr uint32_t CLAP_PARAM_IS_STEPPED = 1u << 0;
constexpr uint32_t CLAP_PARAM_IS_HIDDEN = 1u << 2;
constexpr uint32_t CLAP_PARAM_IS_AUTOMATABLE = 1u << 5;
constexpr uint32_t CLAP_PARAM_IS_ENUM = 1u << 16;
constexpr uint32_t CLAP_PARAM_RESCAN_VALUES = 1u << 0;

struct clap_param_info_t
{
    clap_id id;
    uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE];
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params_t
{
    uint32_t (*count)(const clap_plugin_t* plugin);
    bool (*get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* param_info);
    bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                          uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* param_value_text,
                          double* out_value);
    void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};

struct clap_host_params_t
{
    void (*rescan)(const clap_host_t* host, uint32_t flags);
    void (*clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);
    void (*request_flush)(const clap_host_t* host);
};

// State.
struct clap_istream_t
{
    void* ctx;
    int64_t (*read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};

struct clap_ostream_t
{
    void* ctx;
    int64_t (*write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};

struct clap_plugin_state_t
{
    bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

// Latency.
struct clap_plugin_latency_t
{
    uint32_t (*get)(const clap_plugin_t* plugin);
};

struct clap_host_latency_t
{
    void (*changed)(const clap_host_t* host);
};

struct clap_host_thread_check_t
{
    bool (*is_main_thread)(const clap_host_t* host);
    bool (*is_audio_thread)(const clap_host_t* host);
};

// Editor.
struct clap_window_t
{
    const char* api;
    union
    {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints_t
{
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    uint32_t aspect_ratio_width;
    uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t
{
    bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*set_scale)(const clap_plugin_t* plugin, double scale);
    bool (*get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*can_resize)(const clap_plugin_t* plugin);
    bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool (*adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
    bool (*set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
    bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool (*show)(const clap_plugin_t* plugin);
    bool (*hide)(const clap_plugin_t* plugin);
};

struct clap_host_gui_t
{
    void (*resize_hints_changed)(const clap_host_t* host);
    bool (*request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);
    bool (*request_show)(const clap_host_t* host);
    bool (*request_hide)(const clap_host_t* host);
    void (*closed)(const clap_host_t* host, bool was_destroyed);
};

struct clap_plugin_timer_support_t
{
    void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};

struct clap_host_timer_support_t
{
    bool (*register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

typedef uint32_t clap_posix_fd_flags_t;
constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_READ = 1 << 0;
constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_WRITE = 1 << 1;
constexpr clap_posix_fd_flags_t CLAP_POSIX_FD_ERROR = 1 << 2;

struct clap_plugin_posix_fd_support_t
{
    void (*on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
};

struct clap_host_posix_fd_support_t
{
    bool (*register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool (*modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool (*unregister_fd)(const clap_host_t* host, int fd);
};

} // extern "C"

namespace clapid
{
constexpr const char* kPluginFactory = "clap.plugin-factory";
constexpr const char* kAudioPorts = "clap.audio-ports";
constexpr const char* kParams = "clap.params";
constexpr const char* kState = "clap.state";
constexpr const char* kLatency = "clap.latency";
constexpr const char* kThreadCheck = "clap.thread-check";
constexpr const char* kGui = "clap.gui";
constexpr const char* kTimerSupport = "clap.timer-support";
constexpr const char* kPosixFdSupport = "clap.posix-fd-support";
constexpr const char* kWindowX11 = "x11";
constexpr const char* kWindowWin32 = "win32";
constexpr const char* kPortStereo = "stereo";
} // namespace clapid

static_assert(sizeof(clap_version_t) == 12, "clap_version_t");
static_assert(sizeof(clap_plugin_entry_t) == 40, "clap_plugin_entry_t");
static_assert(sizeof(clap_plugin_factory_t) == 24, "clap_plugin_factory_t");
static_assert(sizeof(clap_plugin_descriptor_t) == 88 && offsetof(clap_plugin_descriptor_t, id) == 16,
              "clap_plugin_descriptor_t");
static_assert(sizeof(clap_host_t) == 88 && offsetof(clap_host_t, get_extension) == 56 &&
                  offsetof(clap_host_t, request_callback) == 80,
              "clap_host_t");
static_assert(sizeof(clap_plugin_t) == 96 && offsetof(clap_plugin_t, on_main_thread) == 88, "clap_plugin_t");
static_assert(sizeof(clap_process_t) == 64 && offsetof(clap_process_t, in_events) == 48, "clap_process_t");
static_assert(sizeof(clap_audio_buffer_t) == 32, "clap_audio_buffer_t");
static_assert(sizeof(clap_event_header_t) == 16, "clap_event_header_t");
static_assert(sizeof(clap_event_param_value_t) == 56 && offsetof(clap_event_param_value_t, value) == 48,
              "clap_event_param_value_t");
static_assert(sizeof(clap_event_param_gesture_t) == 20, "clap_event_param_gesture_t");
static_assert(sizeof(clap_input_events_t) == 24 && sizeof(clap_output_events_t) == 16, "event lists");
static_assert(sizeof(clap_audio_port_info_t) == 288 && offsetof(clap_audio_port_info_t, port_type) == 272,
              "clap_audio_port_info_t");
static_assert(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, min_value) == 1296, "clap_param_info_t");
static_assert(sizeof(clap_plugin_params_t) == 48 && sizeof(clap_host_params_t) == 24, "params");
static_assert(sizeof(clap_window_t) == 16 && offsetof(clap_window_t, x11) == 8, "clap_window_t");
static_assert(sizeof(clap_gui_resize_hints_t) == 12, "clap_gui_resize_hints_t");
static_assert(sizeof(clap_plugin_gui_t) == 120 && sizeof(clap_host_gui_t) == 40, "gui");
static_assert(sizeof(clap_istream_t) == 16 && sizeof(clap_ostream_t) == 16, "streams");
