// The gain reduction the renderer reports, measured from outside the
// plug-in. Where the limiter does not act, the output is the input times the
// Drive and Output gains; so per sample, output / (input × those gains) is
// the gain the limiter and leveller applied. Only samples well above the
// noise floor count (quiet samples and requantizer noise make the ratio
// meaningless), and the deepest value is held per window, as a meter holds
// it between two reads.
#pragma once

#include <cstdint>

struct GainReductionFigures
{
    bool measured;    // false when no sample was loud enough
    double deepestDb; // the deepest reduction, as a gain in dB (<= 0)
    double averageDb; // the mean of the per-window held reductions, dB
};

class GainReductionEstimator
{
public:
    static constexpr int kWindowFrames = 1024;
    static constexpr double kThreshold = 0.0316; // -30 dBFS at the plug-in's output scale

    // `expectedGain` is what the plug-in applies when it does not limit.
    GainReductionEstimator(int channels, double expectedGain);

    // Interleaved input and output frames that belong to the same moment.
    void add(const double* input, const double* output, int64_t frames);
    GainReductionFigures figures();

private:
    void closeWindow();

    int channelCount;
    double expectedGain;
    int windowFill = 0;
    double windowMinimum = 1.0;
    bool windowMeasured = false;
    double deepest = 1.0;
    double sumDb = 0.0;
    int64_t measuredWindows = 0;
};
