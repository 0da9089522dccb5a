// The last 64 sample pairs and the value half-way between the samples 31 and
// 32 behind the newest, from a symmetric 64-tap interpolation filter: the
// inter-sample peaks that a reconstruction filter (or a converter) makes of
// the stored samples.
//
// Each pair is stored twice, 64 slots apart, so the whole window lies in one
// contiguous run whatever the write position: no index wrapping in the sum.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdAvx512.h"
#include "dsp/SimdLevel.h"

class TruePeakInterpolator
{
public:
    static constexpr int kRing = 64;
    static constexpr int kTaps = 32;   // coefficient pairs of the symmetric filter
    static constexpr int kCentre = 31; // samples behind the newest of the tap just before the midpoint

    TruePeakInterpolator() : ring(2 * 2 * kRing), coefficients(2 * kTaps)
    {
        // Half-band style low-pass for a 2x interpolation; the stored values
        // are twice the design's, which brings the 0 Hz gain just below 1.
        static const double design[kTaps] = {
            -4.763696282094e-07, 1.998243211857e-06,  -5.59451993319e-06, 1.233950728987e-05, -2.390300486257e-05,
            4.265195384663e-05,  -7.176381980318e-05, 0.0001153490356228, -0.000178579162669, 0.0002678174647425,
            -0.0003907495989578, 0.0005565144132189,  -0.000775838777941, 0.001061186491039,  -0.001426940379682,
            0.001889650102735,   -0.002468398132052,  0.003185367085931,  -0.004066740630815, 0.005144152078855,
            -0.00645703822168,   0.008056519728669,   -0.01001194089823,  0.012422252953,     -0.01543673753879,
            0.01929508222185,    -0.02441136236933,   0.03157011681841,   -0.04245854577816,  0.06147574255944,
            -0.1047780783523,    0.3178658799033};
        for (int k = 0; k < kTaps; ++k)
            coefficients[2 * k] = coefficients[2 * k + 1] = 2.0 * design[k];
    }

    double coefficient(int k) const { return coefficients[2 * k]; }
    const double* coefficientPairs() const { return coefficients.get(); }

    void clear() { ring.clear(); }
    void resetPosition() { position = 0; }

    void push(Pair v)
    {
        double* r = ring.get();
        v.store(r + 2 * position);
        v.store(r + 2 * (position + kRing));
        position = (position + 1) & (kRing - 1);
    }

    // Pushes of a stretch that does not wrap (at most room() of them), the
    // position moved once at its end: push j goes to firstSlot() + 2 j, and
    // after it the newest pair is at firstSlot() + 2 (j + kRing) (its second
    // copy), the 63 before it contiguously below.
    int room() const { return kRing - position; }
    double* firstSlot() { return ring.get() + 2 * position; }
    static void pushAt(double* slot, int j, Pair v)
    {
        v.store(slot + 2 * j);
        v.store(slot + 2 * (j + kRing));
    }
    static const double* newestAt(const double* slot, int j) { return slot + 2 * (j + kRing); }
    // As behind(samples), after push j of a stretch.
    static Pair behindAt(const double* slot, int j, int samples) { return Pair::load(newestAt(slot, j) - 2 * samples); }
    void advance(int pushes) { position = (position + pushes) & (kRing - 1); }

    // The newest pair; the 63 before it lie contiguously below it.
    const double* newest() const { return ring.get() + 2 * (position + kRing - 1); }

    // The stored pair `behind` samples before the newest (0 .. 63).
    Pair behind(int samples) const { return Pair::load(ring.get() + 2 * (position + kRing - 1 - samples)); }

    // The half-sample point between 31 and 32 behind the newest. The sum runs
    // as four interleaved partial sums (taps k = j mod 4, outermost first),
    // added pairwise at the end: one long chain of dependent additions would
    // make this the slowest step of the whole sample path. The wide paths
    // keep these four sums, so every path gives the same bits.
    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair interpolate() const
    {
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa == SimdLevel::Avx512)
            return avx512::interpolateHalfSample(ring.get() + 2 * position, coefficients.get());
        if constexpr (Isa == SimdLevel::Avx2)
            return avx2::interpolateHalfSample(ring.get() + 2 * position, coefficients.get());
#endif
        return pointOf(ring.get() + 2 * position, coefficients.get());
    }

    // The same sum over any run of 64 pairs in memory, oldest first, with
    // the coefficient pairs c.
    static Pair pointOf(const double* oldest, const double* c)
    {
        const double* newest = oldest + 2 * (kRing - 1);
        auto tap = [&](int k) {
            return Pair::load(c + 2 * k) * (Pair::load(oldest + 2 * k) + Pair::load(newest - 2 * k));
        };
        Pair s0 = tap(0), s1 = tap(1), s2 = tap(2), s3 = tap(3);
        for (int k = 4; k < kTaps; k += 4)
        {
            s0 += tap(k);
            s1 += tap(k + 1);
            s2 += tap(k + 2);
            s3 += tap(k + 3);
        }
        return (s0 + s1) + (s2 + s3);
    }

private:
    AlignedBuffer<double> ring; // 2 x 64 pairs
    AlignedBuffer<double> coefficients;
    int position = 0; // slot the next pair goes to
};
