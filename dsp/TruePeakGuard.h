// The detector of the true-peak guard, and the low-pass through which the
// guarded signal passes: the peaks a reconstruction filter (a converter, a
// resampler, a lossy encoder) makes of the samples, found on a 4x grid by a
// polyphase interpolator and refined between the grid points, so that the
// limiter can hold the reconstructed output under its ceiling and not only
// the samples.
//
// No filter of finite length reads the reconstruction of a full-band
// signal: the sin(x)/x tails of content near half the rate decay as 1 / n,
// so an abrupt tone at 0.49 of the rate or hot white noise peak tenths of a
// dB above any 48-tap reading. So the guarded signal itself is band-limited:
// it is the phase 0 of the same low-pass whose other phases find its peaks,
// a Kaiser-windowed sin(x)/x over +-24 samples, flat to 0.42 of the rate
// (18.5 kHz at 44.1 kHz, 20.2 kHz at 48 kHz) and 63 dB down from half the
// rate on. Its reconstruction then depends on the 48 samples around a point
// only, and the detector reads it exactly.
//
// Per sample it interpolates the three quarter points of the interval that
// starts three samples after the aligned one, refines each grid point by the
// vertex of the parabola through it and its neighbours, and answers the
// largest refined value over the seven intervals from three samples before
// the aligned sample to four after it. The output between two samples is
// made from the gains of all the samples around it; holding the gain flat
// over a few samples on either side of a peak keeps its movement from
// adding a peak of its own (one interval either side is not enough on
// material with strong transient shaping: 0.05 dB overs remain).
//
// Beside the reconstruction it reads the interval as the common BS.1770
// true-peak meter does (the meter of the renderer's report): a 49-tap
// Hann-windowed sin(x)/x at 4x below 96 kHz, 2x below 192 kHz, the samples
// above. Its short filter lets images of high frequencies through, so on
// bright material it reads above the reconstruction; a delivery checked
// with such a meter must pass it too. It reads what the output carries, the
// low-passed signal: read on the signal before the low-pass, an aliased
// dense mix read 0.26 dB low and passed the meter's ceiling.
#pragma once

#include <cstring>
#include <type_traits>

#include "dsp/AlignedBuffer.h"
#include "dsp/GuardLanes.h"
#include "dsp/Pair.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"

class TruePeakGuard
{
public:
    // Samples on each side of an interpolated interval (48 taps per phase).
    static constexpr int kHalfTaps = 24;
    // Samples behind the newest where the interpolated interval starts,
    // three newer than the aligned sample (31 behind): with 24 newer samples
    // for the interpolation, the look-ahead stays inside the alignment delay.
    static constexpr int kIntervalStart = 28;
    // Intervals whose peaks each detector value answers for.
    static constexpr int kSpan = 7;
    // Detector calls between the filtered value of the interval's end and
    // that of the aligned sample.
    static constexpr int kAlignedDelay = 4;
    // Sample pairs on either side of the interval that the meter's reading
    // of the low-passed signal takes in: its taps over the low-pass's reach
    // 30 samples, but past 28 their weights add up to under 1e-4.
    static constexpr int kMeterPairs = 28;

    // Designs the low-pass and its phases (each scaled to unit gain at
    // 0 Hz). Not for the audio thread.
    TruePeakGuard();

    // Matches the meter reading to the rate (see above). Not for the audio thread.
    void setMeterRate(int rate);

    // The interpolation state back to silence.
    void clear();

    // The most samples one detectRun call takes.
    static constexpr int kMaxRun = 256;
    // Pairs of history each sample's detection reads, the newest included.
    static constexpr int kReach = kIntervalStart + kMeterPairs;

    // The detection of `count` (at most kMaxRun) consecutive samples:
    // sample i's newest pair is firstNewest + 2 i, with kReach - 1 pairs of
    // history contiguously before the first (pairs of doubles). Writes pair
    // i of `peaks`: per channel the largest reconstructed magnitude (or meter
    // reading) of the kSpan intervals centred on the aligned sample,
    // kIntervalStart + 3 behind the newest; and pair i of `aligned`: the
    // low-passed signal at that sample, what the guarded path carries. The
    // detection depends on the detector's input alone, so a run is worked
    // out ahead of the gain loop.
    template <SimdLevel Isa = SimdLevel::Sse2>
    void detectRun(const double* firstNewest, int count, double* peaks, double* aligned)
    {
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa == SimdLevel::Avx512)
            return runAvx512(firstNewest, count, peaks, aligned);
        if constexpr (Isa == SimdLevel::Avx2)
            return runAvx2(firstNewest, count, peaks, aligned);
#endif
        runLanes<2>(firstNewest, count, peaks, aligned);
    }

    // One sample of detectRun: returns its peaks and sets `aligned`.
    Pair detect(const double* newest, Pair& aligned)
    {
        // (Room for the widest lanes, which a single sample never fills.)
        alignas(16) double peak[16], lowPassed[16];
        detectRun(newest, 1, peak, lowPassed);
        aligned = Pair::load(lowPassed);
        return Pair::load(peak);
    }

    // The interpolated value at `quarter` / 4 (1, 2 or 3) of the interval
    // starting `behind` samples before the newest: for tests of the design.
    Pair interpolateAt(const double* newest, int behind, int quarter) const;

    // The largest error (linear, per unit of full scale) the requantizer can
    // add to a sample: two steps of dither and truncation, each also fed back
    // through the noise-shaping filter. scale is 2^(bits - 1); shaping holds
    // the 12 filter coefficients (null for none).
    static double requantizerHeadroom(double scale, const double* shaping);

    // The factor the detector's level is multiplied by so that the output,
    // after the output gain (gliding between outputNow and outputTarget) and
    // the requantizer's error, stays at or under the ceiling: the output gain
    // itself, and never above full scale, where the final clip would cut the
    // waveform and make inter-sample peaks of its own.
    static double detectorScale(double outputNow, double outputTarget, double requantizerError);

private:
    // Pairs of history before the first sample's newest that a run reads.
    static constexpr int kBefore = kReach - 1;

#ifdef ZELVO_WIDE_SIMD
    ZELVO_TARGET_AVX2_LOOP void runAvx2(const double* firstNewest, int count, double* peaks, double* aligned)
    {
        runLanes<4>(firstNewest, count, peaks, aligned);
    }
    ZELVO_TARGET_AVX512_LOOP void runAvx512(const double* firstNewest, int count, double* peaks, double* aligned)
    {
        runLanes<8>(firstNewest, count, peaks, aligned);
    }
#endif

    // The sums of samples i.. of a run, W at a time while W remain.
    template <int W, int MeterPhases>
    ZELVO_LANES_INLINE void sumsFrom(int& i, int count, const double* firstNewest)
    {
        for (; i + W <= count; i += W)
            guardlanes::intervalSums<W, MeterPhases>(
                windowFloats.get() + 2 * (kBefore - kIntervalStart + i), firstNewest + 2 * (i - kIntervalStart), taps,
                points1.get() + 2 * (i + 1), points2.get() + 2 * (i + 1), points3.get() + 2 * (i + 1),
                meterReadings.get() + 2 * (i + 1), lowFloats.get() + 2 * (i + 1),
                lowPassed.get() + 2 * (i + kAlignedDelay));
    }
    template <int MeterPhases, int W>
    ZELVO_LANES_INLINE void allSums(int count, const double* firstNewest)
    {
        int i = 0;
        sumsFrom<W, MeterPhases>(i, count, firstNewest);
        sumsFrom<1, MeterPhases>(i, count, firstNewest);
    }

    // Each array keeps its last pairs before the run's (the previous
    // interval's points and low-passed sample, the older intervals' peaks,
    // the low-passed samples on their way to alignment), so runs of any
    // length give the same values.
    template <int W>
    ZELVO_LANES_INLINE void runLanes(const double* firstNewest, int count, double* peaks, double* aligned)
    {
        count = count < 0 ? 0 : count > kMaxRun ? kMaxRun : count;
        const double* oldest = firstNewest - 2 * kBefore;
        float* floats = windowFloats.get();
        typedef typename guardlanes::Lanes<W>::D D;
        typedef typename guardlanes::Lanes<W>::F F;
        int k = 0;
        for (; k + 2 * W <= 2 * (kBefore + count); k += 2 * W)
            guardlanes::store(floats + k, __builtin_convertvector(guardlanes::load<D>(oldest + k), F));
        for (; k < 2 * (kBefore + count); ++k)
            floats[k] = float(oldest[k]);
        if (meterPhases == 4)
            allSums<4, W>(count, firstNewest);
        else if (meterPhases == 2)
            allSums<2, W>(count, firstNewest);
        else
            allSums<0, W>(count, firstNewest);

        constexpr int kHeld = kSpan - 1;
        float* peak = intervalPeak.get();
        int i = 0;
        auto peaksFrom = [&](auto lanes) {
            constexpr int L = decltype(lanes)::value;
            for (; i + L <= count; i += L)
            {
                const int at = 2 * (i + 1);
                guardlanes::intervalPeaks<L>(points1.get() + at, points2.get() + at, points3.get() + at,
                                             meterReadings.get() + at, lowFloats.get() + at, peak + 2 * (i + kHeld));
            }
        };
        peaksFrom(std::integral_constant<int, W>());
        peaksFrom(std::integral_constant<int, 1>());
        i = 0;
        for (; i + W <= count; i += W)
            guardlanes::heldPeaks<W>(peak + 2 * (i + kHeld), kSpan, peaks + 2 * i);
        for (; i < count; ++i)
            guardlanes::heldPeaks<1>(peak + 2 * (i + kHeld), kSpan, peaks + 2 * i);
        std::memcpy(aligned, lowPassed.get(), sizeof(double) * 2 * size_t(count));

        auto carry = [count](auto* buffer, int pairs) {
            std::memmove(buffer, buffer + 2 * count, sizeof(*buffer) * 2 * size_t(pairs));
        };
        carry(points3.get(), 1);
        carry(lowFloats.get(), 1);
        carry(peak, kHeld);
        carry(lowPassed.get(), kAlignedDelay);
    }

    // Per tap pair of the interpolation: even, odd, half, each twice (for
    // interpolateAt).
    AlignedBuffer<double> coefficients;
    guardlanes::Taps taps;
    int meterPhases = 4; // points the meter reads per interval: 4 (three), 2 (one) or 0 (the samples only)
    // A run's working arrays, with the pairs carried from the run before.
    AlignedBuffer<float> windowFloats; // the detector's input, kBefore pairs before the run and the run's
    AlignedBuffer<float> points1, points2, points3, meterReadings, lowFloats; // 1 + kMaxRun pairs
    AlignedBuffer<float> intervalPeak;                                        // kSpan - 1 + kMaxRun pairs
    AlignedBuffer<double> lowPassed;                                          // kAlignedDelay + kMaxRun pairs
};
