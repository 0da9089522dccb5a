// The effect as one VST3 component that is processor and edit controller at
// once: the host reaches the same object through IComponent,
// IAudioProcessor and IEditController. It turns the host's calls into the
// format-neutral core's and the core's reports into the host's, as the VST
// 2.4 and LV2 adapters do.
#pragma once

#include <atomic>

#include "effect/EffectHost.h"
#include "effect/ExposedParameters.h"
#include "effect/Plugin.h"
#include "vst3/Vst3Interface.h"

class Editor;

// IComponent and IEditController both have setState and getState of one
// signature: a single method would answer both. These give each pair a
// name of its own.
class ComponentStateSlots : public vst3::IComponent
{
public:
    vst3::tresult ZELVO_VST3_API setState(vst3::IBStream* state) final { return setComponentBytes(state); }
    vst3::tresult ZELVO_VST3_API getState(vst3::IBStream* state) final { return getComponentBytes(state); }
    virtual vst3::tresult setComponentBytes(vst3::IBStream* state) = 0;
    virtual vst3::tresult getComponentBytes(vst3::IBStream* state) = 0;
};

class ControllerStateSlots : public vst3::IEditController
{
public:
    vst3::tresult ZELVO_VST3_API setState(vst3::IBStream* state) final { return setControllerBytes(state); }
    vst3::tresult ZELVO_VST3_API getState(vst3::IBStream* state) final { return getControllerBytes(state); }
    virtual vst3::tresult setControllerBytes(vst3::IBStream* state) = 0;
    virtual vst3::tresult getControllerBytes(vst3::IBStream* state) = 0;
};

class Vst3Effect : public ComponentStateSlots,
                   public vst3::IAudioProcessor,
                   public ControllerStateSlots,
                   public vst3::IProcessContextRequirements,
                   private EffectHost
{
public:
    // The one class identifier hosts save with their sessions: never change it.
    static const vst3::Uid kClassId;

    Vst3Effect();
    // The editor itself, for tests.
    Editor* getEditor() const { return editor.load(); }
    Vst3Effect(const Vst3Effect&) = delete;
    Vst3Effect& operator=(const Vst3Effect&) = delete;

    // FUnknown, [any].
    vst3::tresult ZELVO_VST3_API queryInterface(const vst3::TUID iid, void** object) override;
    uint32_t ZELVO_VST3_API addRef() override;
    uint32_t ZELVO_VST3_API release() override;

    // IPluginBase: hosts call both through the component and the controller.
    vst3::tresult ZELVO_VST3_API initialize(vst3::FUnknown* context) override;
    vst3::tresult ZELVO_VST3_API terminate() override;

    // IComponent, [main].
    vst3::tresult ZELVO_VST3_API getControllerClassId(vst3::TUID classId) override;
    vst3::tresult ZELVO_VST3_API setIoMode(vst3::IoMode mode) override;
    int32_t ZELVO_VST3_API getBusCount(vst3::MediaType type, vst3::BusDirection dir) override;
    vst3::tresult ZELVO_VST3_API getBusInfo(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                                            vst3::BusInfo& bus) override;
    vst3::tresult ZELVO_VST3_API getRoutingInfo(vst3::RoutingInfo& inInfo, vst3::RoutingInfo& outInfo) override;
    vst3::tresult ZELVO_VST3_API activateBus(vst3::MediaType type, vst3::BusDirection dir, int32_t index,
                                             vst3::TBool state) override;
    vst3::tresult ZELVO_VST3_API setActive(vst3::TBool state) override;
    // The state of the whole effect: the programs and the selection.
    vst3::tresult setComponentBytes(vst3::IBStream* state) override;
    vst3::tresult getComponentBytes(vst3::IBStream* state) override;

    // IAudioProcessor; process on the audio thread, the rest [main].
    vst3::tresult ZELVO_VST3_API setBusArrangements(vst3::SpeakerArrangement* inputs, int32_t numIns,
                                                    vst3::SpeakerArrangement* outputs, int32_t numOuts) override;
    vst3::tresult ZELVO_VST3_API getBusArrangement(vst3::BusDirection dir, int32_t index,
                                                   vst3::SpeakerArrangement& arrangement) override;
    vst3::tresult ZELVO_VST3_API canProcessSampleSize(int32_t symbolicSampleSize) override;
    uint32_t ZELVO_VST3_API getLatencySamples() override;
    vst3::tresult ZELVO_VST3_API setupProcessing(vst3::ProcessSetup& setup) override;
    vst3::tresult ZELVO_VST3_API setProcessing(vst3::TBool state) override;
    vst3::tresult ZELVO_VST3_API process(vst3::ProcessData& data) override;
    uint32_t ZELVO_VST3_API getTailSamples() override;

    // IEditController, [main].
    // The component's own state, read again: this object applied it already.
    vst3::tresult ZELVO_VST3_API setComponentState(vst3::IBStream* state) override;
    // The controller keeps nothing of its own.
    vst3::tresult setControllerBytes(vst3::IBStream*) override { return vst3::kResultOk; }
    vst3::tresult getControllerBytes(vst3::IBStream*) override { return vst3::kResultOk; }
    int32_t ZELVO_VST3_API getParameterCount() override;
    vst3::tresult ZELVO_VST3_API getParameterInfo(int32_t paramIndex, vst3::ParameterInfo& info) override;
    vst3::tresult ZELVO_VST3_API getParamStringByValue(vst3::ParamID id, vst3::ParamValue valueNormalized,
                                                       vst3::String128 string) override;
    vst3::tresult ZELVO_VST3_API getParamValueByString(vst3::ParamID id, vst3::TChar* string,
                                                       vst3::ParamValue& valueNormalized) override;
    vst3::ParamValue ZELVO_VST3_API normalizedParamToPlain(vst3::ParamID id, vst3::ParamValue valueNormalized) override;
    vst3::ParamValue ZELVO_VST3_API plainParamToNormalized(vst3::ParamID id, vst3::ParamValue plainValue) override;
    vst3::ParamValue ZELVO_VST3_API getParamNormalized(vst3::ParamID id) override;
    vst3::tresult ZELVO_VST3_API setParamNormalized(vst3::ParamID id, vst3::ParamValue value) override;
    vst3::tresult ZELVO_VST3_API setComponentHandler(vst3::IComponentHandler* handler) override;
    vst3::IPlugView* ZELVO_VST3_API createView(vst3::FIDString name) override;

    // IProcessContextRequirements: the limiter needs no timeline.
    uint32_t ZELVO_VST3_API getProcessContextRequirements() override { return 0; }

private:
    ~Vst3Effect();

    // Frames first to last - 1 of the block's audio, in its sample size.
    void render(const vst3::ProcessData& data, int32_t first, int32_t last);
    void applyChange(vst3::ParamID id, vst3::ParamValue value);

    // The core's reports, on the thread of the call that caused them.
    void automate(int index, float value) override;
    void editBegins(int index) override;
    void editEnds(int index) override;
    void parameterChanged(int index, float value) override;
    void latencyChanged(int) override {}
    void displayChanged() override;

    std::atomic<uint32_t> references{1};
    std::atomic<vst3::IComponentHandler*> handler{nullptr};
    // While positive, the effect's own reports (a state being restored) do
    // not go to the host as edits.
    std::atomic<int> quiet{0};
    // Between setProcessing(true) and (false): the host's values reach the
    // effect through process alone. Outside, no process call may come to
    // carry them, so the host's side applies them itself.
    std::atomic<bool> processing{false};
    // What the host last learnt of the latency.
    uint32_t reportedLatency = 0;
    // The values as the host's side sees them: what it set, or what the
    // effect applied last. The effect itself takes values only through
    // process and the state, at their sample positions.
    std::atomic<double> hostValues[exposed::kCount];
    // Gestures begun and not yet ended, by parameter.
    std::atomic<int> openGestures[exposed::kCount] = {};

    // Made (and owned) once the core is built; views of the host show it.
    // The core reports while it builds itself, so this is initialised, empty,
    // before it.
    std::atomic<Editor*> editor{nullptr};
    // Last: it reports to this object while it builds itself.
    Plugin core;
};
