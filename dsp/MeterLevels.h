// The running meter levels of one sample loop, held in registers for its
// length: MeterMeasurement::measureAt on a copy of the levels. On the wide
// paths the input and output sides go side by side in one register, so each
// step of the peak and mean-square updates is one operation for both; per
// lane the operations and their order are those of the two-lane form, so
// every path gives the same bits.
#pragma once

#include "dsp/MeterMeasurement.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"
#include "dsp/TruePeakInterpolator.h"

template <SimdLevel Isa>
struct MeterLevels
{
    MeterMeasurement::Levels running;

    explicit MeterLevels(const MeterMeasurement::Levels& levels) : running(levels) {}
    MeterMeasurement::Levels levels() const { return running; }
    Pair outputPeak() const { return running.outputPeak; }
    void setOutputPeak(Pair peak) { running.outputPeak = peak; }

    template <bool Oversampled>
    void measure(Pair input, Pair q, Pair output, double* outputSlot)
    {
        MeterMeasurement::measureAt<Oversampled>(running, input, q, output, outputSlot);
    }
};

#ifdef ZELVO_WIDE_SIMD
ZELVO_WIDE_WARNINGS_OFF
// Input in the low half, output in the high half.
template <>
struct MeterLevels<SimdLevel::Avx2>
{
    __m256d peaks, meanSquares, rho;
    Pair gainReduction;

    ZELVO_TARGET_AVX2 explicit MeterLevels(const MeterMeasurement::Levels& l)
        : peaks(_mm256_set_m128d(l.outputPeak.v, l.inputPeak.v)),
          meanSquares(_mm256_set_m128d(l.outputMeanSquare.v, l.inputMeanSquare.v)),
          rho(_mm256_set1_pd(l.rho)),
          gainReduction(l.gainReduction)
    {}

    ZELVO_TARGET_AVX2 MeterMeasurement::Levels levels() const
    {
        MeterMeasurement::Levels l;
        l.inputPeak = _mm256_castpd256_pd128(peaks);
        l.outputPeak = _mm256_extractf128_pd(peaks, 1);
        l.inputMeanSquare = _mm256_castpd256_pd128(meanSquares);
        l.outputMeanSquare = _mm256_extractf128_pd(meanSquares, 1);
        l.gainReduction = gainReduction;
        l.rho = _mm256_cvtsd_f64(rho);
        return l;
    }
    ZELVO_TARGET_AVX2 Pair outputPeak() const { return _mm256_extractf128_pd(peaks, 1); }
    ZELVO_TARGET_AVX2 void setOutputPeak(Pair peak) { peaks = _mm256_insertf128_pd(peaks, peak.v, 1); }

    template <bool Oversampled>
    ZELVO_TARGET_AVX2 void measure(Pair input, Pair q, Pair output, double* outputSlot)
    {
        gainReduction = min(gainReduction, q);
        Pair s = output;
        if (Oversampled)
        {
            output.store(outputSlot);
            s = Pair::load(outputSlot - 2 * TruePeakInterpolator::kCentre);
        }
        const __m256d a = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_set_m128d(s.v, input.v));
        peaks = _mm256_max_pd(peaks, a);
        meanSquares = _mm256_add_pd(meanSquares, _mm256_mul_pd(rho, _mm256_sub_pd(_mm256_mul_pd(a, a), meanSquares)));
    }
};

template <>
struct MeterLevels<SimdLevel::Avx512> : MeterLevels<SimdLevel::Avx2>
{
    using MeterLevels<SimdLevel::Avx2>::MeterLevels;
};
ZELVO_WIDE_WARNINGS_ON
#endif
