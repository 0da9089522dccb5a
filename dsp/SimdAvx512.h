// The kernel's widest inner loops, eight doubles (four pairs) per operation,
// with mask registers for the choices. Each gives the same bits as its
// two-lane form. Only for processors with AVX-512 F, DQ and VL.
#pragma once

#include "dsp/Pair.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdTarget.h"

#ifdef ZELVO_WIDE_SIMD
ZELVO_WIDE_WARNINGS_OFF
namespace avx512
{
// As avx2::storeDoubles.
ZELVO_TARGET_AVX512 inline void storeDoubles(double* p, __m512d v)
{
    typedef double Doubles __attribute__((vector_size(64), aligned(8)));
    *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
}

// The pairs at p, p - 2, p - 4 and p - 6 (newest - k .. newest - k - 3), in
// that order.
ZELVO_TARGET_AVX512 inline __m512d newestFirst(const double* p)
{
    const __m512d v = _mm512_loadu_pd(p - 6);
    return _mm512_shuffle_f64x2(v, v, _MM_SHUFFLE(0, 1, 2, 3));
}

// As avx2::interpolateHalfSample; taps k .. k + 3 share one register, whose
// four pairs are exactly the four partial sums of the two-lane loop.
ZELVO_TARGET_AVX512 inline Pair interpolateHalfSample(const double* oldest, const double* c)
{
    const double* newest = oldest + 2 * 63;
    __m512d sums = _mm512_mul_pd(_mm512_loadu_pd(c), _mm512_add_pd(_mm512_loadu_pd(oldest), newestFirst(newest)));
    for (int k = 4; k < 32; k += 4)
        sums =
            _mm512_add_pd(sums, _mm512_mul_pd(_mm512_loadu_pd(c + 2 * k), _mm512_add_pd(_mm512_loadu_pd(oldest + 2 * k),
                                                                                        newestFirst(newest - 2 * k))));
    const __m256d s01 = _mm512_castpd512_pd256(sums), s23 = _mm512_extractf64x4_pd(sums, 1);
    const __m128d s0 = _mm256_castpd256_pd128(s01), s1 = _mm256_extractf128_pd(s01, 1);
    const __m128d s2 = _mm256_castpd256_pd128(s23), s3 = _mm256_extractf128_pd(s23, 1);
    return _mm_add_pd(_mm_add_pd(s0, s1), _mm_add_pd(s2, s3));
}

// oldest + newest, four pairs of each. (As a fused multiply-add,
// oldest * 1 + newest, half of them would go to the multiply pipes, which
// the interpolation leaves half idle; on the AMD EPYC we measure on that
// made it 14 % slower.)
ZELVO_TARGET_AVX512 inline __m512d symmetricPairSum(const double* oldest, const double* newest)
{
    return _mm512_add_pd(_mm512_loadu_pd(oldest), _mm512_loadu_pd(newest));
}

// The half-sample points of the four samples from pair i of window on,
// summed as the two-lane loop sums them (four partial sums, taps k = j mod 4,
// added pairwise at the end), so every path gives the same bits.
ZELVO_TARGET_AVX512 inline __m512d halfSamplePointsAt(const double* window, int i, const double* c)
{
    const double* oldest = window + 2 * i;
    const double* newest = oldest + 2 * 63;
    __m512d s[4];
    for (int j = 0; j < 4; ++j)
        s[j] = _mm512_mul_pd(_mm512_set1_pd(c[2 * j]), symmetricPairSum(oldest + 2 * j, newest - 2 * j));
    for (int k = 4; k < 32; k += 4)
        for (int j = 0; j < 4; ++j)
            s[j] = _mm512_add_pd(s[j], _mm512_mul_pd(_mm512_set1_pd(c[2 * (k + j)]),
                                                     symmetricPairSum(oldest + 2 * (k + j), newest - 2 * (k + j))));
    return _mm512_add_pd(_mm512_add_pd(s[0], s[1]), _mm512_add_pd(s[2], s[3]));
}

// As avx2::halfSamplePeak (out of line too), four samples per register;
// count a multiple of 4.
__attribute__((noinline)) ZELVO_TARGET_AVX512 inline int halfSamplePeak(const double* window, int count,
                                                                        const double* c, Pair& peak)
{
    __m512d largest = _mm512_setzero_pd();
    for (int i = 0; i < count; i += 4)
    {
        const __m512d point = halfSamplePointsAt(window, i, c);
        largest = _mm512_max_pd(largest, _mm512_abs_pd(point));
    }
    const __m256d half = _mm256_max_pd(_mm512_castpd512_pd256(largest), _mm512_extractf64x4_pd(largest, 1));
    peak = max(peak, max(Pair(_mm256_castpd256_pd128(half)), Pair(_mm256_extractf128_pd(half, 1))));
    return count;
}

// As avx2::halfSamplePoints (out of line too), four samples per register;
// count a multiple of 4.
__attribute__((noinline)) ZELVO_TARGET_AVX512 inline int halfSamplePoints(const double* window, int count,
                                                                          const double* c, double* out)
{
    for (int i = 0; i < count; i += 4)
    {
        storeDoubles(out + 2 * i, halfSamplePointsAt(window, i, c));
    }
    return count;
}

// s0 + s4 .. s3 + s7, then (s0 + s4) + (s2 + s6) and (s1 + s5) + (s3 + s7),
// then their sum: the end of BlockConvolver::directSum.
ZELVO_TARGET_AVX512 inline __m128d addPartialSums(__m512d s0123, __m512d s4567)
{
    const __m512d both = _mm512_add_pd(s0123, s4567);
    const __m256d sums = _mm256_add_pd(_mm512_castpd512_pd256(both), _mm512_extractf64x4_pd(both, 1));
    return _mm_add_pd(_mm256_castpd256_pd128(sums), _mm256_extractf128_pd(sums, 1));
}

// BlockConvolver::directSum: the partial sums s0 .. s3 side by side in one
// register and s4 .. s7 in another.
ZELVO_TARGET_AVX512 inline Pair directSum(const double* x, const double* t, int n)
{
    __m512d s0123 = _mm512_mul_pd(_mm512_loadu_pd(t), _mm512_loadu_pd(x));
    __m512d s4567 = _mm512_mul_pd(_mm512_loadu_pd(t + 8), _mm512_loadu_pd(x + 8));
#pragma GCC unroll 8
    for (int i = 8; i < n; i += 8)
    {
        s0123 = _mm512_add_pd(s0123, _mm512_mul_pd(_mm512_loadu_pd(t + 2 * i), _mm512_loadu_pd(x + 2 * i)));
        s4567 = _mm512_add_pd(s4567, _mm512_mul_pd(_mm512_loadu_pd(t + 2 * i + 8), _mm512_loadu_pd(x + 2 * i + 8)));
    }
    return addPartialSums(s0123, s4567);
}

// directSum of `count` windows one pair apart into `out`, the taps held in
// registers for the whole run. A window is Taps / 4 registers of inputs,
// and the window four pairs on is the same registers moved by one: so four
// sums four pairs apart take their inputs from Taps / 4 + 3 loads instead
// of four times Taps / 4. Loads, not arithmetic, are what limit these sums.
// Each sum still takes its products in rising order, as directSum does.
template <int Taps>
ZELVO_TARGET_AVX512 inline void directSums(const double* x, const double* t, int count, double* out)
{
    constexpr int kRegisters = Taps / 4;
    constexpr int kGroup = 4;
    __m512d taps[kRegisters];
    for (int k = 0; k < kRegisters; ++k)
        taps[k] = _mm512_loadu_pd(t + 8 * k);
    int j = 0;
    // Sixteen sums at a time: four phases, each four sums four pairs apart.
    for (; j + 4 * kGroup <= count; j += 4 * kGroup)
        for (int phase = 0; phase < 4; ++phase)
        {
            const double* first = x + 2 * (j + phase);
            __m512d low[kGroup], high[kGroup]; // partial sums 0 .. 3 and 4 .. 7 of each
#pragma GCC unroll 20
            for (int m = 0; m < kRegisters + kGroup - 1; ++m)
            {
                const __m512d v = _mm512_loadu_pd(first + 8 * m);
#pragma GCC unroll 4
                for (int g = 0; g < kGroup; ++g)
                {
                    const int k = m - g; // the tap register this input meets in sum g
                    if (k < 0 || k >= kRegisters)
                        continue;
                    const __m512d product = _mm512_mul_pd(taps[k], v);
                    if (k == 0)
                        low[g] = product;
                    else if (k == 1)
                        high[g] = product;
                    else if (k % 2 == 0)
                        low[g] = _mm512_add_pd(low[g], product);
                    else
                        high[g] = _mm512_add_pd(high[g], product);
                }
            }
            for (int g = 0; g < kGroup; ++g)
                Pair(addPartialSums(low[g], high[g])).store(out + 2 * (j + phase + 4 * g));
        }
    for (; j < count; ++j)
        directSum(x + 2 * j, t, Taps).store(out + 2 * j);
}

} // namespace avx512
ZELVO_WIDE_WARNINGS_ON
#endif
