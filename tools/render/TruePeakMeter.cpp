#include "tools/render/TruePeakMeter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TruePeakMeter::TruePeakMeter(int channels, int sampleRate) : channelCount(channels)
{
    factor = sampleRate < 96000 ? 4 : sampleRate < 192000 ? 2 : 1;
    tapsPerPhase = (kTaps + factor - 1) / factor;
    // Tap j of the prototype belongs to phase j % factor. Phase 0 lands on
    // the samples themselves (sinc zeros but for the centre tap), so only
    // the other phases are computed and the samples are taken as they are.
    coefficients.assign((size_t)(std::max(1, factor - 1) * tapsPerPhase), 0.0);
    for (int j = 0; j < kTaps; ++j)
    {
        if (j % factor == 0)
            continue;
        const double m = j - (kTaps - 1) / 2.0;
        double c = std::sin(m * M_PI / factor) / (m * M_PI / factor);
        c *= 0.5 * (1.0 - std::cos(2.0 * M_PI * j / (kTaps - 1)));
        coefficients[(size_t)((j % factor - 1) * tapsPerPhase + j / factor)] = c;
    }
    history.assign((size_t)(2 * 2 * tapsPerPhase), 0.0);
    for (int p = 0; p + 1 < factor; ++p)
    {
        double sum = 0.0;
        for (int t = 0; t < tapsPerPhase; ++t)
            sum += std::fabs(coefficients[(size_t)(p * tapsPerPhase + t)]);
        reach = std::max(reach, sum);
    }
    reach *= 1.0 + 1e-9; // the rounding of the sums themselves
}

void TruePeakMeter::add(const double* interleaved, int64_t frames)
{
    for (int64_t start = 0; start < frames; start += kChunkFrames)
    {
        const int64_t end = std::min<int64_t>(frames, start + kChunkFrames);
        double chunkPeak = 0.0;
        for (int64_t i = start * channelCount; i < end * channelCount; ++i)
            chunkPeak = std::max(chunkPeak, std::fabs(interleaved[i]));
        // The filter reaches back tapsPerPhase frames, never more than one chunk.
        const bool interpolate = std::max(chunkPeak, previousChunkPeak) * reach > std::max(peakLeft, peakRight);
        for (int64_t f = start; f < end; ++f)
            addFrame(interleaved + f * channelCount, interpolate);
        previousChunkPeak = chunkPeak;
    }
}

void TruePeakMeter::addFrame(const double* frame, bool interpolate)
{
    const int n = tapsPerPhase;
    const int phases = interpolate ? factor - 1 : 0;
    {
        position = position == 0 ? n - 1 : position - 1;
        const double left = frame[0];
        const double right = channelCount == 2 ? frame[1] : 0.0;
        double* h = &history[(size_t)(2 * position)];
        h[0] = h[2 * n] = left;
        h[1] = h[2 * n + 1] = right;
#if defined(__SSE2__)
        const __m128d signMask = _mm_set1_pd(-0.0);
        __m128d peak = _mm_andnot_pd(signMask, _mm_loadu_pd(h));
        for (int p = 0; p < phases; ++p)
        {
            const double* k = &coefficients[(size_t)(p * n)];
            __m128d sum0 = _mm_setzero_pd(), sum1 = _mm_setzero_pd();
            int t = 0;
            for (; t + 1 < n; t += 2)
            {
                sum0 = _mm_add_pd(sum0, _mm_mul_pd(_mm_set1_pd(k[t]), _mm_loadu_pd(h + 2 * t)));
                sum1 = _mm_add_pd(sum1, _mm_mul_pd(_mm_set1_pd(k[t + 1]), _mm_loadu_pd(h + 2 * t + 2)));
            }
            if (t < n)
                sum0 = _mm_add_pd(sum0, _mm_mul_pd(_mm_set1_pd(k[t]), _mm_loadu_pd(h + 2 * t)));
            peak = _mm_max_pd(peak, _mm_andnot_pd(signMask, _mm_add_pd(sum0, sum1)));
        }
        double both[2];
        _mm_storeu_pd(both, peak);
        peakLeft = std::max(peakLeft, both[0]);
        peakRight = std::max(peakRight, both[1]);
#else
        double pl = std::fabs(left), pr = std::fabs(right);
        for (int p = 0; p < phases; ++p)
        {
            const double* k = &coefficients[(size_t)(p * n)];
            double sl = 0.0, sr = 0.0;
            for (int t = 0; t < n; ++t)
            {
                sl += k[t] * h[2 * t];
                sr += k[t] * h[2 * t + 1];
            }
            pl = std::max(pl, std::fabs(sl));
            pr = std::max(pr, std::fabs(sr));
        }
        peakLeft = std::max(peakLeft, pl);
        peakRight = std::max(peakRight, pr);
#endif
    }
}

double TruePeakMeter::truePeakDb() const
{
    const double peak = channelCount == 2 ? std::max(peakLeft, peakRight) : peakLeft;
    return peak > 0.0 ? 20.0 * std::log10(peak) : -std::numeric_limits<double>::infinity();
}
