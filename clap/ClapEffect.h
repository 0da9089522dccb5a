// One CLAP instance of the effect: the clap_plugin_t record a host holds,
// the host's own extension tables, and the format-neutral core it owns. It
// turns the host's calls and events into the core's and the core's reports
// into the host's, as the VST 2.4 and LV2 adapters do.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "clap/ClapEditor.h"
#include "clap/ClapInterface.h"
#include "clap/EditQueue.h"
#include "effect/EffectHost.h"
#include "effect/ExposedParameters.h"
#include "effect/Plugin.h"

class Editor;

class ClapEffect : private EffectHost
{
public:
    // host stays valid until destroy; no host function is called here.
    explicit ClapEffect(const clap_host_t* host);
    ~ClapEffect() override;
    ClapEffect(const ClapEffect&) = delete;
    ClapEffect& operator=(const ClapEffect&) = delete;

    const clap_plugin_t* record() { return &plugin; }
    static ClapEffect* of(const clap_plugin_t* plugin);

    // [main]
    bool init();
    bool activate(double sampleRate);
    void deactivate() { active = false; }
    const void* extension(const char* id);

    // [audio]
    void reset() { core.suspend(); }
    clap_process_status process(const clap_process_t& process);

    // Parameters ("clap.params"); [main] unless noted.
    bool parameterInfo(uint32_t index, clap_param_info_t& info);
    bool parameterValue(clap_id id, double& value);
    bool valueText(clap_id id, double value, char* text, uint32_t capacity);
    bool textValue(clap_id id, const char* text, double& value);
    // [active ? audio : main]: the events' values with no audio.
    void flush(const clap_input_events_t* events, const clap_output_events_t* out);

    // State ("clap.state"), [main].
    bool saveState(const clap_ostream_t& stream);
    bool loadState(const clap_istream_t& stream);

    uint32_t latency() { return (uint32_t)core.getLatency(); }

    // The editor's side of the format ("gui" and its idle sources).
    ClapEditor& editorSide() { return *editorBinding; }
    // The editor itself, for tests.
    Editor* getEditor() const { return editor.load(); }

private:
    // Applies one event if it sets a parameter this build shows.
    void applyEvent(const clap_event_header_t& event);
    // Frames first to last - 1 of the block's audio, in its sample size.
    void render(const clap_process_t& process, uint32_t first, uint32_t last);

    // The core's reports. The effect's own changes (the editor's, a program
    // chosen in it) go to the host as output events of the next process or
    // flush; the latency is read by the host when it activates the effect.
    void automate(int index, float value) override;
    void editBegins(int index) override;
    void editEnds(int index) override;
    void queueEdit(EditQueue::Kind kind, int index, double value);
    // The queued edits as output events; the processing thread.
    void sendEdits(const clap_output_events_t* out);
    void parameterChanged(int index, float value) override;
    void latencyChanged(int) override {}
    void displayChanged() override {}

    clap_plugin_t plugin;
    const clap_host_t* const host;
    const clap_host_latency_t* hostLatency = nullptr;
    const clap_host_params_t* hostParams = nullptr;
    bool active = false;
    // What the host last learnt of the latency: it hears of a change only
    // while the effect is being activated.
    uint32_t reportedLatency = 0;

    // While positive, the effect's own reports (a state being restored) are
    // not the user's edits.
    int quiet = 0;
    EditQueue edits;
    // Gestures begun and not yet ended, by parameter (main thread).
    int openGestures[exposed::kCount] = {};

    // Made (and owned) once the core is built; the host's gui calls show
    // it. The core reports while it builds itself, so this is initialised,
    // empty, before it.
    std::atomic<Editor*> editor{nullptr};
    std::unique_ptr<ClapEditor> editorBinding;
    // Last: it reports to this object while it builds itself.
    Plugin core;
};

// The descriptor of the one plug-in class the library holds.
const clap_plugin_descriptor_t& zelvoClapDescriptor();
