// The true-peak guard's arithmetic for W consecutive samples at once, one
// (left, right) pair of each per lane pair: the guard's work depends on the
// detector's input alone, so a whole run of samples is worked out ahead,
// several samples per operation. The peak-finding sums run in single
// precision (their error, under 1e-6 of full scale, is far below any dB the
// guard answers for) so that twice as many samples share an operation; the
// low-passed signal, which is the output, stays in double precision.
//
// Every lane does the same operations in the same order whatever W is, so
// every width (and so every instruction set) gives the same bits. Built on
// the compilers' generic vectors: inlined into a function compiled for a
// wider instruction set, the same code uses its registers.
#pragma once

#include <cstring>

// The vectors here never cross a call (everything is inlined), so the
// compilers' note on passing them to functions built for another instruction set does
// not apply; it comes at the end of the including file, so it stays off.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace guardlanes
{
#define ZELVO_LANES_INLINE inline __attribute__((always_inline))

// W pairs: of floats, of their bit patterns, of doubles.
template <int W>
struct Lanes
{
    typedef float F __attribute__((vector_size(8 * W)));
    typedef int Bits __attribute__((vector_size(8 * W)));
    typedef double D __attribute__((vector_size(16 * W)));
};

template <class V>
ZELVO_LANES_INLINE V load(const void* p)
{
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V>
ZELVO_LANES_INLINE void store(void* p, V v)
{
    std::memcpy(p, &v, sizeof v);
}
template <class V, class S>
ZELVO_LANES_INLINE V splat(S s)
{
    return V{} + s;
}
template <int W>
ZELVO_LANES_INLINE typename Lanes<W>::F abs(typename Lanes<W>::F v)
{
    typedef typename Lanes<W>::Bits Bits;
    return (typename Lanes<W>::F)((Bits)v & splat<Bits>(0x7fffffff));
}
// The larger (smaller) of a and b; the operands are finite. Written as the
// choice it is, which the compilers make one maximum (minimum) instruction
// of, where the masks and blends spelled out took three.
template <int W>
ZELVO_LANES_INLINE typename Lanes<W>::F max(typename Lanes<W>::F a, typename Lanes<W>::F b)
{
    return a > b ? a : b;
}
template <int W>
ZELVO_LANES_INLINE typename Lanes<W>::F min(typename Lanes<W>::F a, typename Lanes<W>::F b)
{
    return a < b ? a : b;
}

// The taps, each once; the sums broadcast them to every lane.
struct Taps
{
    static constexpr int kHalfTaps = 24, kMeterPairs = 28;
    // Per pair of samples n before and 1 + n after the interval's start:
    // the even and odd parts of the quarter phase, the half phase.
    float even[kHalfTaps], odd[kHalfTaps], half[kHalfTaps];
    float meterEven[kMeterPairs], meterOdd[kMeterPairs], meterHalf[kMeterPairs];
    double centre[kHalfTaps + 1]; // phase 0: the centre tap, then taps 1 .. kHalfTaps (the last zero)
};

// The interpolated points of the intervals starting at `start` (floats) and
// the low-passed sample after each (`startDoubles`, the same samples in
// doubles), for W samples: q1..q3 the quarter points, meter the meter's
// largest reading (MeterPhases 4: three points, 2: the half point, 0: none),
// x1 the low-passed sample in both precisions.
template <int W, int MeterPhases>
ZELVO_LANES_INLINE void intervalSums(const float* start, const double* startDoubles, const Taps& t, float* q1,
                                     float* q2, float* q3, float* meter, float* x1f, double* x1d)
{
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::D D;
    F even{}, odd{}, half{}, meterEven{}, meterOdd{}, meterHalf{};
#pragma GCC unroll 28
    for (int n = 0; n < (MeterPhases ? Taps::kMeterPairs : Taps::kHalfTaps); ++n)
    {
        const F older = load<F>(start - 2 * n), newer = load<F>(start + 2 * (1 + n));
        const F sum = older + newer, difference = older - newer;
        if (n < Taps::kHalfTaps)
        {
            even += splat<F>(t.even[n]) * sum;
            odd += splat<F>(t.odd[n]) * difference;
            half += splat<F>(t.half[n]) * sum;
        }
        if (MeterPhases == 4)
        {
            meterEven += splat<F>(t.meterEven[n]) * sum;
            meterOdd += splat<F>(t.meterOdd[n]) * difference;
        }
        if (MeterPhases >= 2)
            meterHalf += splat<F>(t.meterHalf[n]) * sum;
    }
    store(q1, even + odd);
    store(q2, half);
    store(q3, even - odd);
    F reading{};
    if (MeterPhases == 4)
        reading = max<W>(abs<W>(meterHalf), max<W>(abs<W>(meterEven + meterOdd), abs<W>(meterEven - meterOdd)));
    else if (MeterPhases == 2)
        reading = abs<W>(meterHalf);
    store(meter, reading);

    // The low-pass's phase 0 at the interval's newer end, in two
    // interleaved sums.
    const double* point = startDoubles + 2;
    D sum0 = splat<D>(t.centre[0]) * load<D>(point), sum1{};
#pragma GCC unroll 12
    for (int n = 1; n < Taps::kHalfTaps; n += 2)
    {
        sum1 += splat<D>(t.centre[n]) * (load<D>(point - 2 * n) + load<D>(point + 2 * n));
        sum0 += splat<D>(t.centre[n + 1]) * (load<D>(point - 2 * n - 2) + load<D>(point + 2 * n + 2));
    }
    const D x1 = sum0 + sum1;
    store(x1d, x1);
    store(x1f, __builtin_convertvector(x1, F));
}

// The largest magnitude near grid point m, given its neighbours l and r a
// quarter sample away: where |y| curves back towards zero the parabola
// through the three points peaks at m + b^2 / (4 |a|). When its vertex
// lies within half a grid step, b^2 / (4 |a|) <= min(|a|, |b|) / 4, and
// that bound needs no division; beyond half a step a neighbour is larger
// and answers for the peak itself.
template <int W>
ZELVO_LANES_INLINE typename Lanes<W>::F refined(typename Lanes<W>::F l, typename Lanes<W>::F m, typename Lanes<W>::F r)
{
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::Bits Bits;
    const F a = (l + r) * splat<F>(0.5f) - m;
    const F b = (r - l) * splat<F>(0.5f);
    const Bits curving = a * m < splat<F>(0.0f);
    const F rise = (F)((Bits)min<W>(abs<W>(a), abs<W>(b)) & curving);
    return abs<W>(m) + rise * splat<F>(0.25f);
}

// The refined peak of each interval, from the points of the interval and
// the three-quarter point and low-passed sample before it (one pair before
// each array's own): the largest of the four refined grid points and the
// meter's reading.
template <int W>
ZELVO_LANES_INLINE void intervalPeaks(const float* q1, const float* q2, const float* q3, const float* meter,
                                      const float* x1, float* peak)
{
    typedef typename Lanes<W>::F F;
    const F before = load<F>(q3 - 2), x0 = load<F>(x1 - 2);
    const F p1 = load<F>(q1), p2 = load<F>(q2), p3 = load<F>(q3), end = load<F>(x1);
    const F grid = max<W>(max<W>(refined<W>(before, x0, p1), refined<W>(x0, p1, p2)),
                          max<W>(refined<W>(p1, p2, p3), refined<W>(p2, p3, end)));
    store(peak, max<W>(grid, load<F>(meter)));
}

// The largest of `span` interval peaks ending with each sample's, widened to doubles.
template <int W>
ZELVO_LANES_INLINE void heldPeaks(const float* peak, int span, double* out)
{
    typedef typename Lanes<W>::F F;
    typedef typename Lanes<W>::D D;
    F widest = load<F>(peak);
    for (int k = 1; k < span; ++k)
        widest = max<W>(widest, load<F>(peak - 2 * k));
    store(out, __builtin_convertvector(widest, D));
}
} // namespace guardlanes
