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

#include "dsp/AlignedBuffer.h"
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

    // newest: the newest pair of a contiguous run of at least
    // kIntervalStart + kMeterPairs pairs of history (pairs of doubles, 16-byte
    // aligned). Returns, per channel, the largest reconstructed magnitude
    // (or meter reading) of the kSpan intervals centred on the aligned
    // sample, kIntervalStart + 3 behind the newest, and sets `aligned` to the
    // low-passed signal at that sample: what the guarded path carries.
    // Inline: it runs once per sample inside the kernel's loop.
    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair detect(const double* newest, Pair& aligned)
    {
        const double* start = newest - 2 * kIntervalStart;
        const double* c = coefficients.get();
        const double* m = c + 6 * kHalfTaps;
        // Two interleaved sets of sums: one long chain of dependent additions
        // would wait on itself. The meter's shorter filter shares the loads of
        // the samples nearest the interval.
        Pair even, odd, q2, meterEven, meterOdd, meterHalf;
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa != SimdLevel::Sse2)
            wideSums(start, c, m, meterPairs, even, odd, q2, meterEven, meterOdd, meterHalf);
        else
#endif
        {
            Pair even0, odd0, half0, even1, odd1, half1;
            Pair meterEven0, meterOdd0, meterHalf0, meterEven1, meterOdd1, meterHalf1;
            // Taps n and n + 1 in two sets of sums: the interpolation's while
            // n < kHalfTaps, the meter's while n < meterPairs.
            auto step = [&](int n, bool interpolate, bool meter) {
                const Pair older0 = at(start, -n), newer0 = at(start, 1 + n);
                const Pair older1 = at(start, -n - 1), newer1 = at(start, 2 + n);
                const Pair sum0 = older0 + newer0, sum1 = older1 + newer1;
                const Pair difference0 = older0 - newer0, difference1 = older1 - newer1;
                if (interpolate)
                {
                    even0 += Pair::load(c + 6 * n) * sum0;
                    odd0 += Pair::load(c + 6 * n + 2) * difference0;
                    half0 += Pair::load(c + 6 * n + 4) * sum0;
                    even1 += Pair::load(c + 6 * n + 6) * sum1;
                    odd1 += Pair::load(c + 6 * n + 8) * difference1;
                    half1 += Pair::load(c + 6 * n + 10) * sum1;
                }
                if (meter)
                {
                    meterEven0 += Pair::load(m + 6 * n) * sum0;
                    meterOdd0 += Pair::load(m + 6 * n + 2) * difference0;
                    meterHalf0 += Pair::load(m + 6 * n + 4) * sum0;
                    meterEven1 += Pair::load(m + 6 * n + 6) * sum1;
                    meterOdd1 += Pair::load(m + 6 * n + 8) * difference1;
                    meterHalf1 += Pair::load(m + 6 * n + 10) * sum1;
                }
            };
            int n = 0;
            if (meterPairs > 0)
            {
                for (; n < kHalfTaps; n += 2)
                    step(n, true, true);
                for (; n < kMeterPairs; n += 2)
                    step(n, false, true);
            }
            else
                for (; n < kHalfTaps; n += 2)
                    step(n, true, false);
            even = even0 + even1;
            odd = odd0 + odd1;
            q2 = half0 + half1;
            meterEven = meterEven0 + meterEven1;
            meterOdd = meterOdd0 + meterOdd1;
            meterHalf = meterHalf0 + meterHalf1;
        }
        const Pair q1 = even + odd, q3 = even - odd;

        // The low-passed samples: the interval's newer end now, its older
        // end one call ago, the aligned sample kAlignedDelay calls ago.
        double* f = filtered.get();
        const Pair x0 = Pair::load(f), x1 = filteredAt(start + 2);
        aligned = Pair::load(f + 2 * (kAlignedDelay - 1));
        for (int k = kAlignedDelay - 1; k > 0; --k)
            Pair::load(f + 2 * (k - 1)).store(f + 2 * k);
        x1.store(f);

        double* s = state.get();
        const Pair before = Pair::load(s); // the three-quarter point of the previous interval
        Pair peak =
            max(max(refined(before, x0, q1), refined(x0, q1, q2)), max(refined(q1, q2, q3), refined(q2, q3, x1)));
        // The meter's reading of the same points (zero taps read zero where
        // it reads fewer points).
        peak = max(peak, max(abs(meterHalf), max(abs(meterEven + meterOdd), abs(meterEven - meterOdd))));
        q3.store(s);

        // The peaks of the intervals before, newest first.
        Pair widest = peak, carried = peak;
        for (int k = 1; k < kSpan; ++k)
        {
            const Pair older = Pair::load(s + 2 * k);
            carried.store(s + 2 * k);
            widest = max(widest, older);
            carried = older;
        }
        return widest;
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
#ifdef ZELVO_WIDE_SIMD
    // The sums of detect, taps n and n + 1 side by side in one register:
    // its halves are exactly the two interleaved sets of sums, so every
    // path gives the same bits. (Four taps wide would reorder the sums.)
    ZELVO_TARGET_AVX2 static __m256d twoPairs(const double* low, const double* high)
    {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(low)), _mm_load_pd(high), 1);
    }
    // The low half plus the high half.
    ZELVO_TARGET_AVX2 static Pair fold(__m256d v)
    {
        return Pair(_mm_add_pd(_mm256_castpd256_pd128(v), _mm256_extractf128_pd(v, 1)));
    }
    ZELVO_TARGET_AVX2 static void wideSums(const double* start, const double* c, const double* m, int meterPairs,
                                           Pair& even, Pair& odd, Pair& half, Pair& meterEven, Pair& meterOdd,
                                           Pair& meterHalf)
    {
        __m256d evens = _mm256_setzero_pd(), odds = _mm256_setzero_pd(), halves = _mm256_setzero_pd();
        __m256d meterEvens = _mm256_setzero_pd(), meterOdds = _mm256_setzero_pd(),
                meterHalves = _mm256_setzero_pd();
        for (int n = 0; n < kMeterPairs; n += 2)
        {
            const bool interpolate = n < kHalfTaps;
            if (!interpolate && meterPairs == 0)
                break;
            const __m256d older = twoPairs(start - 2 * n, start - 2 * (n + 1));
            const __m256d newer = _mm256_loadu_pd(start + 2 * (1 + n));
            const __m256d sum = _mm256_add_pd(older, newer), difference = _mm256_sub_pd(older, newer);
            if (interpolate)
            {
                const double* t = c + 6 * n;
                evens = _mm256_add_pd(evens, _mm256_mul_pd(twoPairs(t, t + 6), sum));
                odds = _mm256_add_pd(odds, _mm256_mul_pd(twoPairs(t + 2, t + 8), difference));
                halves = _mm256_add_pd(halves, _mm256_mul_pd(twoPairs(t + 4, t + 10), sum));
            }
            if (meterPairs > 0)
            {
                const double* u = m + 6 * n;
                meterEvens = _mm256_add_pd(meterEvens, _mm256_mul_pd(twoPairs(u, u + 6), sum));
                meterOdds = _mm256_add_pd(meterOdds, _mm256_mul_pd(twoPairs(u + 2, u + 8), difference));
                meterHalves = _mm256_add_pd(meterHalves, _mm256_mul_pd(twoPairs(u + 4, u + 10), sum));
            }
        }
        even = fold(evens);
        odd = fold(odds);
        half = fold(halves);
        meterEven = fold(meterEvens);
        meterOdd = fold(meterOdds);
        meterHalf = fold(meterHalves);
    }
#endif

    // The pair `offset` samples after the interval's start.
    static Pair at(const double* start, int offset) { return Pair::load(start + 2 * offset); }

    // The low-pass at the sample `point` (its symmetric phase 0), in two
    // interleaved sums; the same operations on every path.
    Pair filteredAt(const double* point) const
    {
        const double* c = centreTaps.get();
        Pair sum0 = Pair::load(c) * Pair::load(point), sum1;
        for (int n = 1; n < kHalfTaps; n += 2)
        {
            sum1 += Pair::load(c + 2 * n) * (Pair::load(point - 2 * n) + Pair::load(point + 2 * n));
            sum0 += Pair::load(c + 2 * n + 2) * (Pair::load(point - 2 * n - 2) + Pair::load(point + 2 * n + 2));
        }
        return sum0 + sum1;
    }

    // The largest magnitude near grid point m, given its neighbours l and r a
    // quarter sample away: where |y| curves back towards zero the parabola
    // through the three points peaks at m + b^2 / (4 |a|). When its vertex
    // lies within half a grid step, b^2 / (4 |a|) <= min(|a|, |b|) / 4, and
    // that bound needs no division; beyond half a step a neighbour is larger
    // and answers for the peak itself.
    static Pair refined(Pair l, Pair m, Pair r)
    {
        const Pair a = (l + r) * Pair(0.5) - m;
        const Pair b = (r - l) * Pair(0.5);
        const Pair rise = keep(a * m < Pair(0.0), min(abs(a), abs(b)));
        return abs(m) + rise * Pair(0.25);
    }

    // Per tap pair: even, odd, half, each twice; the reconstruction's pairs,
    // then the meter's.
    AlignedBuffer<double> coefficients;
    int meterPairs = 0;               // tap pairs of the meter's filter (even); 0 when it reads the samples only
    AlignedBuffer<double> centreTaps; // phase 0: the centre tap, then taps 1 .. kHalfTaps (the last zero)
    AlignedBuffer<double> state;      // last quarter point, the older intervals' peaks
    AlignedBuffer<double> filtered;   // the low-passed samples of the last kAlignedDelay calls, newest first
};
