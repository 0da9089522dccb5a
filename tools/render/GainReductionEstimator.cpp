#include "tools/render/GainReductionEstimator.h"

#include <algorithm>
#include <cmath>

GainReductionEstimator::GainReductionEstimator(int channels, double expectedGain, int compareFrames)
    : channelCount(channels),
      expectedGain(expectedGain),
      compareFrames(std::max(compareFrames, 1))
{
    // The bilinear transform of a Butterworth low-pass, one section per
    // pair of poles (Q 0.5412 and 1.3066); the cut-off is a fraction of the
    // rate, so no rate is needed.
    const double w = 2.0 * M_PI * kCommonBand, cw = std::cos(w), sw = std::sin(w);
    const double qs[2] = {0.54119610, 1.30656296};
    for (int k = 0; k < 2; ++k)
    {
        const double alpha = sw / (2.0 * qs[k]), a0 = 1.0 + alpha;
        sections[k] = {(1.0 - cw) / 2.0 / a0, (1.0 - cw) / a0, (1.0 - cw) / 2.0 / a0, -2.0 * cw / a0,
                       (1.0 - alpha) / a0};
    }
}

double GainReductionEstimator::filtered(int channel, int signal, double x)
{
    for (int k = 0; k < 2; ++k)
    {
        // Transposed direct form II.
        const Section& q = sections[k];
        double* z = state[channel][signal][k];
        const double y = q.b0 * x + z[0];
        z[0] = q.b1 * x - q.a1 * y + z[1];
        z[1] = q.b2 * x - q.a2 * y;
        x = y;
    }
    return x;
}

void GainReductionEstimator::compare(double unlimited, double output)
{
    if (std::fabs(unlimited) < kThreshold)
        return;
    // Noise can push the ratio a hair above 1: that is no reduction.
    double gain = std::clamp(output / unlimited, 0.0, 1.0);
    windowMinimum = std::min(windowMinimum, gain);
    windowMeasured = true;
}

void GainReductionEstimator::closeStretch()
{
    for (int c = 0; c < channelCount && c < 2; ++c)
    {
        compare(stretchUnlimited[c], stretchOutput[c]);
        stretchUnlimited[c] = stretchOutput[c] = 0.0;
    }
    stretchFill = 0;
}

void GainReductionEstimator::add(const double* input, const double* output, int64_t frames)
{
    for (int64_t f = 0; f < frames; ++f)
    {
        for (int c = 0; c < channelCount; ++c)
        {
            const double unlimited = input[f * channelCount + c] * expectedGain;
            const double out = output[f * channelCount + c];
            if (compareFrames == 1)
                compare(unlimited, out);
            else if (c < 2) // the renderer takes mono and stereo files only
            {
                stretchUnlimited[c] = std::max(stretchUnlimited[c], std::fabs(filtered(c, 0, unlimited)));
                stretchOutput[c] = std::max(stretchOutput[c], std::fabs(filtered(c, 1, out)));
            }
        }
        if (compareFrames > 1 && ++stretchFill == compareFrames)
            closeStretch();
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
