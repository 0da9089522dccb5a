#include "tools/render/LoudnessMeter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
double decibels(double linear)
{
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}
} // namespace

LoudnessMeter::LoudnessMeter(int channels, int sampleRate) : channelCount(channels), truePeak(channels, sampleRate)
{
    state = ebur128_init((unsigned)channels, (unsigned long)sampleRate,
                         EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK);
}

LoudnessMeter::~LoudnessMeter()
{
    if (state)
        ebur128_destroy(&state);
}

void LoudnessMeter::add(const double* interleaved, int64_t frames)
{
    if (state && frames > 0)
        ebur128_add_frames_double(state, interleaved, (size_t)frames);
    if (frames > 0)
        truePeak.add(interleaved, frames);
}

LoudnessFigures LoudnessMeter::figures() const
{
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    LoudnessFigures result{minusInfinity, minusInfinity, minusInfinity, 0.0};
    if (!state)
        return result;
    double samplePeak = 0.0;
    for (int c = 0; c < channelCount; ++c)
    {
        double value = 0.0;
        if (ebur128_sample_peak(state, (unsigned)c, &value) == EBUR128_SUCCESS)
            samplePeak = std::max(samplePeak, value);
    }
    result.samplePeakDb = decibels(samplePeak);
    result.truePeakDb = std::max(truePeak.truePeakDb(), result.samplePeakDb);
    double loudness = 0.0;
    if (ebur128_loudness_global(state, &loudness) == EBUR128_SUCCESS && std::isfinite(loudness))
        result.integratedLufs = loudness;
    double range = 0.0;
    if (ebur128_loudness_range(state, &range) == EBUR128_SUCCESS && std::isfinite(range))
        result.rangeLu = range;
    return result;
}

LoudnessFigures LoudnessMeter::combined(const std::vector<const LoudnessMeter*>& meters)
{
    const double minusInfinity = -std::numeric_limits<double>::infinity();
    LoudnessFigures result{minusInfinity, minusInfinity, minusInfinity, 0.0};
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* meter : meters)
    {
        if (!meter->state)
            continue;
        states.push_back(meter->state);
        LoudnessFigures one = meter->figures();
        result.samplePeakDb = std::max(result.samplePeakDb, one.samplePeakDb);
        result.truePeakDb = std::max(result.truePeakDb, one.truePeakDb);
    }
    if (states.empty())
        return result;
    double loudness = 0.0;
    if (ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) == EBUR128_SUCCESS &&
        std::isfinite(loudness))
        result.integratedLufs = loudness;
    double range = 0.0;
    if (ebur128_loudness_range_multiple(states.data(), states.size(), &range) == EBUR128_SUCCESS &&
        std::isfinite(range))
        result.rangeLu = range;
    return result;
}
