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

    // With TP Guard on the output carries nothing above about 0.46 of the
    // rate, where the input may carry much (cymbals, noise, aliasing): both
    // go through the same low-pass well below that band first, and then
    // peaks of stretches this long (0.7 ms at 44.1 kHz, much shorter than
    // the limiter's attack) are compared, which the filters' small
    // remaining differences cannot tip over as they can single samples.
    static constexpr int kLowPassedCompareFrames = 32;
    static constexpr double kCommonBand = 0.35; // of the rate

    // `expectedGain` is what the plug-in applies when it does not limit.
    // compareFrames 1 compares sample by sample; more compares the peaks of
    // stretches that long, for an output that is the input low-passed.
    GainReductionEstimator(int channels, double expectedGain, int compareFrames = 1);

    // Interleaved input and output frames that belong to the same moment.
    void add(const double* input, const double* output, int64_t frames);
    GainReductionFigures figures();

private:
    void compare(double unlimited, double output);
    void closeStretch();
    void closeWindow();

    int channelCount;
    double expectedGain;
    int compareFrames;
    int stretchFill = 0;
    // Fourth-order Butterworth low-pass at kCommonBand as two sections, for
    // [channel][signal: unlimited, output][section].
    struct Section
    {
        double b0, b1, b2, a1, a2;
    };
    Section sections[2]{};
    double state[2][2][2][2]{};
    double filtered(int channel, int signal, double x);
    double stretchUnlimited[2] = {0.0, 0.0}, stretchOutput[2] = {0.0, 0.0};
    int windowFill = 0;
    double windowMinimum = 1.0;
    bool windowMeasured = false;
    double deepest = 1.0;
    double sumDb = 0.0;
    int64_t measuredWindows = 0;
};
