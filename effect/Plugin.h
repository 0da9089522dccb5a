// The limiter effect: parameter model, construction, sample-rate classes,
// the processing mutex and the choice of kernel per audio callback. The
// audio path itself lives in the LimiterEngine it owns.
#pragma once

#include <mutex>

#include "dsp/LimiterEngine.h"
#include "dsp/Shared.h"
#include "effect/NoiseShapingTables.h"
#include "effect/ParameterTable.h"
#include "presets/CPresetSystemEffect.h"

class Plugin : public CPresetSystemEffect
{
public:
    explicit Plugin(audioMasterCallback audioMaster);
    ~Plugin() override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;

    void setSampleRate(float newRate) override;
    void suspend() override;
    void resume() override {}

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // Ten linear values: input peak L/R, output peak L/R, input level L/R,
    // output level L/R, held gain reduction L/R. Restarts the peak holds.
    virtual void getMeterSnapshot(float* values);

    int getRate() const { return rate; }
    int getRateClass() const { return rateClass; }
    int getLatency() const { return engine.latency(); }
    int getStep(int index) const { return (index >= 0 && index < kNumParams) ? steps[index].get() : 0; }

private:
    class ProcessingLock;

    // The effect of one parameter on the engine, without mirroring.
    void applyParameter(VstInt32 index, float value);
    void migrateLegacyParameters();
    void applyMeteringPreferences();

    // Coefficients derived from parameters and rate.
    void updateRateCoefficients();
    void buildAttackCoefficients();
    void buildReleaseCoefficients();
    void setWindowGeometry();
    void selectNoiseShapingTable();
    double onePole(double milliseconds) const;

    std::recursive_timed_mutex processingMutex;
    LimiterEngine engine;
    NoiseShapingTables noiseShapingTables;

    // Written by the host's and the editor's threads, read by others (texts,
    // the editor, the programs): relaxed atomics, the same single loads and
    // stores as plain fields, but defined when they meet.
    Shared<float> values[kNumParams];
    Shared<int> steps[kNumParams];

    // Engineering values derived from the continuous parameters.
    Shared<double> outputGain{1.0};
    Shared<double> driveGain{1.0};
    Shared<double> transientAmount{0.125};
    Shared<double> releaseMs{50.0};
    Shared<double> levellerLevel{0.5};

    Shared<int> rate{44100};
    Shared<double> rateDouble{44100.0};
    Shared<int> rateClass{0};
};
