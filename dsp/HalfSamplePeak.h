// The largest half-sample point of a stream (the output meter's inter-sample
// peak), taken a run of samples at a time. Each pair is appended behind the
// 63 before it (a stretch of appends at a time); a flush works out the
// half-sample point after every pair appended since the last one, several
// samples per operation, and folds their largest magnitude into a peak.
// Each point is the same sum in the same order as
// TruePeakInterpolator::interpolate and a maximum is exact, so the peak has
// the same bits as taking the points one sample at a time.
#pragma once

#include <algorithm>

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdAvx512.h"
#include "dsp/SimdLevel.h"
#include "dsp/TruePeakInterpolator.h"

class HalfSamplePeak
{
public:
    static constexpr int kHistory = TruePeakInterpolator::kRing - 1;
    static constexpr int kRun = 256;

    HalfSamplePeak()
        : window(2 * (kHistory + kRun)),
          windowOdd(2 * (kHistory + kRun)),
          coefficients(2 * TruePeakInterpolator::kTaps)
    {
        const TruePeakInterpolator design;
        std::copy(design.coefficientPairs(), design.coefficientPairs() + 2 * TruePeakInterpolator::kTaps,
                  coefficients.get());
    }

    // The history to zero. Between blocks, where nothing is pending.
    void clear()
    {
        window.clear();
        pending = 0;
    }

    // A stretch of at most the returned number of appends, flushing into
    // `peak` first when the run is full: append j goes to firstSlot() + 2 j,
    // with the pairs before it contiguously below; appended(count) ends it.
    template <SimdLevel Isa>
    int makeRoom(Pair& peak)
    {
        if (pending == kRun)
            flush<Isa>(peak);
        return kRun - pending;
    }
    double* firstSlot() { return window.get() + 2 * (kHistory + pending); }
    void appended(int count) { pending += count; }

    // Folds the magnitudes of the half-sample points of every pending pair
    // into peak; the last 63 pairs stay as the next run's history.
    template <SimdLevel Isa>
    void flush(Pair& peak)
    {
        if (pending == 0)
            return;
        double* w = window.get();
        const double* c = coefficients.get();
        int i = 0;
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa == SimdLevel::Avx512)
            i = avx512::halfSamplePeak(w, pending & ~3, c, peak);
        else if constexpr (Isa == SimdLevel::Avx2)
        {
            // The window one pair on, so that the interpolation reads it in
            // aligned pieces (KernelScratch::windowOdd): a copy per run
            // costs less than the pieces straddling cache lines.
            std::copy(w + 2, w + 2 * (kHistory + pending), windowOdd.get());
            i = avx2::halfSamplePeak(w, windowOdd.get(), pending & ~1, c, peak);
        }
#endif
        for (; i < pending; ++i)
            peak = max(peak, abs(TruePeakInterpolator::pointOf(w + 2 * i, c)));
        std::copy(w + 2 * pending, w + 2 * (pending + kHistory), w);
        pending = 0;
    }

private:
    AlignedBuffer<double> window;    // 63 pairs of history, then up to kRun pending pairs
    AlignedBuffer<double> windowOdd; // the same one pair on, for the AVX2 path
    AlignedBuffer<double> coefficients;
    int pending = 0;
};
