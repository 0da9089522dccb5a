#include "tools/render/GainReductionEstimator.h"

#include <algorithm>
#include <cmath>

GainReductionEstimator::GainReductionEstimator(int channels, double expectedGain)
    : channelCount(channels),
      expectedGain(expectedGain)
{}

void GainReductionEstimator::add(const double* input, const double* output, int64_t frames)
{
    for (int64_t f = 0; f < frames; ++f)
    {
        for (int c = 0; c < channelCount; ++c)
        {
            double unlimited = input[f * channelCount + c] * expectedGain;
            if (std::fabs(unlimited) < kThreshold)
                continue;
            // Noise can push the ratio a hair above 1: that is no reduction.
            double gain = std::clamp(output[f * channelCount + c] / unlimited, 0.0, 1.0);
            windowMinimum = std::min(windowMinimum, gain);
            windowMeasured = true;
        }
        if (++windowFill == kWindowFrames)
            closeWindow();
    }
}

void GainReductionEstimator::closeWindow()
{
    if (windowMeasured)
    {
        // -200 dB stands for a fully muted sample, which has no finite dB.
        double db = windowMinimum > 0.0 ? 20.0 * std::log10(windowMinimum) : -200.0;
        sumDb += db;
        ++measuredWindows;
        deepest = std::min(deepest, windowMinimum);
    }
    windowFill = 0;
    windowMinimum = 1.0;
    windowMeasured = false;
}

GainReductionFigures GainReductionEstimator::figures()
{
    if (windowFill > 0)
        closeWindow();
    if (measuredWindows == 0)
        return {false, 0.0, 0.0};
    double deepestDb = deepest > 0.0 ? 20.0 * std::log10(deepest) : -200.0;
    return {true, deepestDb, sumDb / (double)measuredWindows};
}
