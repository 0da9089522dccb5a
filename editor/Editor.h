// The plug-in's window: a fixed 524 x 462 panel of meters, knobs, entry
// fields and switches bound to the effect's parameters, with the preset bar
// of its base along the bottom. Every control reports to the editor, which
// turns changes into automated parameter changes; parameter changes from any
// source come back through setParameter and move the controls.
#pragma once

#include "effect/ParameterTable.h"
#include "presets/CPresetSystemEditor.h"

#include <atomic>
#include <cstdint>

class CBarMeter;
class CMeterGR;
class CMeterLCD;
class CMeterLCDGR;
class CZelvoButton;
class COversamplingButton;
class CModeButton;
class CBits;
class CNoiseShape;
class CAutoBlack;
class CCalibButton;
class CSpeedSwitch;
class CMyKnob;
class CMyTextEdit;
class CInfo;
class MyFrame;

// Tags of the panel's own controls; the others are parameter indices.
enum EditorTag
{
    kTagMeter = 27,
    kTagAttShowBit1 = 28,
    kTagAttShowBit2 = 29,
    kTagAttShowBit4 = 30,
};

class Editor : public CPresetSystemEditor
{
public:
    // connection: the effect itself, as the editor sees it. A format's
    // adapter drives the editor through EditorView.
    explicit Editor(EditorConnection& connection);
    ~Editor() override;

    // The interface thread (the host's, which owns the window): opening,
    // closing, idling and every control callback below run there.
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Any thread (the audio thread too): the value is kept and the controls
    // take it on the interface thread's next idle.
    void setParameter(int index, float value) override;

    void valueChanged(VSTGUI::CDrawContext* context, VSTGUI::CControl* control) override;
    void storeMeteringPreferences() override;
    void automateMeterScale(int scale) override;
    void automateMeterType(int type) override;
    void resetMeters() override;

    int getLatency() const { return latency; }
    MyFrame* getMyFrame() const;
    // The display mode of the level meters for the current MeterType and Scale.
    int meterMode() const;

    static constexpr int kWidth = 524;
    static constexpr int kHeight = 462;
    static constexpr uint32_t kIdleInterval = 20;   // ms between meter updates
    static constexpr uint32_t kHighlightTime = 500; // ms the preference buttons stay lit

protected:
    VSTGUI::CTextEdit* makeNameField(const VSTGUI::CRect& size, long tag, VSTGUI::CBitmap* background,
                                     VSTGUI::CBitmap* font, VSTGUI::CBitmap* transparentFont) override;

private:
    void setParameterAutomated(int index, float value);
    void setHighlights(bool state);
    void applyMeterMode();
    // The interface thread: parameter changes that arrived since the last
    // idle, and the effect's latency, shown by the controls.
    void showPendingChanges();
    void showParameter(int index, float value);
    void showLatency();

    int latency = 0;
    // The latest value each parameter was set to, and one bit per parameter
    // whose value the controls have not shown yet.
    std::atomic<float> pendingValues[kNumParams] = {};
    std::atomic<uint32_t> pendingParameters{0};
    static_assert(kNumParams <= 32, "one bit per parameter");
    uint32_t lastIdleTicks;
    uint32_t highlightTicks;

    CBarMeter* meterIn = nullptr;
    CBarMeter* meterOut = nullptr;
    CMeterGR* meterGR = nullptr;
    CMeterLCD* readoutIn = nullptr;
    CMeterLCD* readoutOut = nullptr;
    CMeterLCDGR* readoutGR = nullptr;
    CZelvoButton* detectorOrder = nullptr;
    COversamplingButton* oversample = nullptr;
    CModeButton* modeButton = nullptr;
    CZelvoButton* quantize = nullptr;
    CAutoBlack* autoBlack = nullptr;
    CBits* bits = nullptr;
    CNoiseShape* noiseShape = nullptr;
    CCalibButton* calibrate = nullptr;
    CZelvoButton* attZoom = nullptr;
    CZelvoButton* attShow[3] = {}; // bits 1, 2, 4
    CMyKnob* transientKnob = nullptr;
    CMyKnob* releaseKnob = nullptr;
    CMyKnob* levellerKnob = nullptr;
    CMyKnob* linkKnob = nullptr;
    CSpeedSwitch* speedSwitch = nullptr;
    CZelvoButton* power = nullptr;
    CMyKnob* driveKnob = nullptr;
    CMyKnob* outputKnob = nullptr;
    CZelvoButton* autoOut = nullptr;
    CZelvoButton* postMeter = nullptr;
    CInfo* info = nullptr;
    CMyTextEdit* driveField = nullptr;
    CMyTextEdit* outputField = nullptr;
    CMyTextEdit* transientField = nullptr;
    CMyTextEdit* releaseField = nullptr;
    CMyTextEdit* levellerField = nullptr;
    CMyTextEdit* linkField = nullptr;
    CZelvoButton* meterOvs = nullptr;
    CZelvoButton* truePeakGuard = nullptr;
};
