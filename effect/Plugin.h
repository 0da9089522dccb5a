// The limiter effect: parameter model, construction, sample-rate classes
// and the processing mutex. The audio path itself lives in the LimiterEngine
// it owns, which also picks the kernel for each block (LimiterEngine::pickLoop,
// by sample type, settings and instruction set). It knows no plug-in
// format: a format adapter owns it, forwards the host's calls and hears
// back through the EffectHost it passes in; the editor reaches it through
// the EditorConnection it implements.
//
// Threads. The one lock is the processing mutex, recursive and timed. The
// audio callbacks hold it for a block; construction, setSampleRate, suspend
// and a TransShape change hold it while they change buffer geometry or
// processing state. Every wait for it, on the audio thread too, gives up
// after 1000 ms for the whole host call (nested waits share the deadline)
// and the caller then runs without the lock: a block or a host call that
// never returns cannot hang every other caller for good. Every other
// parameter write and the editor's meter reads go without it (atomic stores
// and loads, coefficient sets published whole) and the audio thread picks
// them up at its next block without waiting.
#pragma once

#include <mutex>

#include "dsp/LimiterEngine.h"
#include "dsp/Shared.h"
#include "effect/EffectHost.h"
#include "effect/NoiseShapingTables.h"
#include "effect/ParameterTable.h"
#include "presets/CPresetSystemEffect.h"

class Plugin : public CPresetSystemEffect
{
public:
    // host may be null (tools, tests): every report then goes nowhere.
    explicit Plugin(EffectHost* host = nullptr);
    ~Plugin() override;

    // Any host thread, the editor's and the audio thread among them.
    void setParameter(int index, float value) override;
    // Any thread.
    float getParameter(int index) override;
    // Any host thread: the name (at most 13 characters), the display text and
    // the unit label (at most 12); nothing is written outside 0..25.
    void getParameterName(int index, char* text);
    void getParameterDisplay(int index, char* text);
    void getParameterLabel(int index, char* text);

    // Any host thread; waits for a running block.
    void setSampleRate(float newRate);
    // Any host thread, the audio thread included: clears the processing state.
    void suspend();

    // The audio thread. Two inputs and two outputs; a missing right channel
    // (null, or not connected according to the host) runs on the left one.
    // Holds the processing mutex for the block, after a wait of at most
    // 1000 ms (see Threads above).
    void processReplacing(float** inputs, float** outputs, int sampleFrames);
    void processDoubleReplacing(double** inputs, double** outputs, int sampleFrames);

    // Any thread (the editor's idle, typically).
    void getMeterSnapshot(float* values) override;
    int getLatency() const override { return latency; }

    int getRate() const { return rate; }
    int getRateClass() const { return rateClass; }
    int getStep(int index) const { return (index >= 0 && index < kNumParams) ? steps[index].get() : 0; }

private:
    class ProcessingLock;

    // The effect of one parameter on the engine, without mirroring.
    void applyParameter(int index, float value);
    // The engine's delay at the current rate, published to the host and to
    // readers on other threads.
    void publishLatency();
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
    Shared<int> latency{0};
};
