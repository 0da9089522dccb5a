// The kernel's widest inner loops, four doubles (two pairs) per operation.
// Each gives the same bits as its two-lane form: the same operations on each
// lane, every sum in the same order. Only for processors with AVX2.
#pragma once

#include <cstdint>

#include "dsp/Pair.h"
#include "dsp/SimdTarget.h"

#ifdef ZELVO_WIDE_SIMD
namespace avx2
{
// Stores typed as doubles (see Pair::store): the intrinsic stores may alias
// anything, so after one the compiler reloads every index and pointer of
// the sample loop from memory.
ZELVO_TARGET_AVX2 inline void storeDoubles(double* p, __m256d v)
{
    typedef double Doubles __attribute__((vector_size(32), aligned(8)));
    *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
}

// The pairs at p and p - 2 (newest - k and newest - k - 1), in that order.
ZELVO_TARGET_AVX2 inline __m256d newestFirst(const double* p)
{
    const __m256d v = _mm256_loadu_pd(p - 2);
    return _mm256_permute2f128_pd(v, v, 1);
}

// The half-sample point of the 64-pair window from oldest on:
// c_k (x_oldest+k + x_newest-k) over k = 0 .. 31, the newer half read
// backwards. Taps k and k + 1 share one register: the low halves
// sum the taps k = 0, 4, 8, .. and 2, 6, .., the high halves 1, 5, .. and
// 3, 7, .., which are the four partial sums of the two-lane loop.
ZELVO_TARGET_AVX2 inline __m256d twoTaps(const double* oldest, const double* newest, const double* c, int k)
{
    return _mm256_mul_pd(_mm256_loadu_pd(c + 2 * k),
                         _mm256_add_pd(_mm256_loadu_pd(oldest + 2 * k), newestFirst(newest - 2 * k)));
}

ZELVO_TARGET_AVX2 inline Pair interpolateHalfSample(const double* oldest, const double* c)
{
    const double* newest = oldest + 2 * 63;
    __m256d s01 = twoTaps(oldest, newest, c, 0), s23 = twoTaps(oldest, newest, c, 2);
    for (int k = 4; k < 32; k += 4)
    {
        s01 = _mm256_add_pd(s01, twoTaps(oldest, newest, c, k));
        s23 = _mm256_add_pd(s23, twoTaps(oldest, newest, c, k + 2));
    }
    const __m128d s0 = _mm256_castpd256_pd128(s01), s1 = _mm256_extractf128_pd(s01, 1);
    const __m128d s2 = _mm256_castpd256_pd128(s23), s3 = _mm256_extractf128_pd(s23, 1);
    return _mm_add_pd(_mm_add_pd(s0, s1), _mm_add_pd(s2, s3));
}

// The half-sample points of the two samples from pair i of window on,
// summed as the two-lane loop sums them (four partial sums, taps k = j mod 4,
// added pairwise at the end), so every path gives the same bits.
ZELVO_TARGET_AVX2 inline __m256d halfSamplePointsAt(const double* window, int i, const double* c)
{
    const double* oldest = window + 2 * i;
    const double* newest = oldest + 2 * 63;
    __m256d s[4];
    for (int j = 0; j < 4; ++j)
        s[j] = _mm256_mul_pd(_mm256_set1_pd(c[2 * j]),
                             _mm256_add_pd(_mm256_loadu_pd(oldest + 2 * j), _mm256_loadu_pd(newest - 2 * j)));
    for (int k = 4; k < 32; k += 4)
        for (int j = 0; j < 4; ++j)
            s[j] = _mm256_add_pd(s[j], _mm256_mul_pd(_mm256_set1_pd(c[2 * (k + j)]),
                                                     _mm256_add_pd(_mm256_loadu_pd(oldest + 2 * (k + j)),
                                                                   _mm256_loadu_pd(newest - 2 * (k + j)))));
    return _mm256_add_pd(_mm256_add_pd(s[0], s[1]), _mm256_add_pd(s[2], s[3]));
}

// Pairs m, m + 1 of a window (m counted from an even pair): with Odd, read
// aligned from `odd` (the window one pair on, see KernelScratch::windowOdd)
// where m is odd.
template <bool Odd>
ZELVO_TARGET_AVX2 inline __m256d twoPairs(const double* window, const double* odd, int m)
{
    if (Odd && m % 2 == 1)
        return _mm256_loadu_pd(odd + 2 * (m - 1));
    return _mm256_loadu_pd(window + 2 * m);
}

// The half-sample points of the four samples from pair i (even) of window
// on, two to a register: samples i, i + 1 in `first`, i + 2, i + 3 in
// `second`, the sums of halfSamplePointsAt. Each coefficient is broadcast
// once for both, and the two registers' sums go side by side, twice the
// independent work for the processor to overlap. `odd`: see twoPairs.
template <bool Odd>
ZELVO_TARGET_AVX2 inline void halfSamplePointsAt4(const double* window, const double* odd, int i, const double* c,
                                                  __m256d& first, __m256d& second)
{
    const double* wa = window + 2 * i;
    const double* oa = Odd ? odd + 2 * i : nullptr;
    __m256d a[4], b[4];
#pragma GCC unroll 32
    for (int k = 0; k < 32; ++k)
    {
        const int j = k % 4;
        const __m256d coefficient = _mm256_set1_pd(c[2 * k]);
        const __m256d termA =
            _mm256_mul_pd(coefficient, _mm256_add_pd(twoPairs<Odd>(wa, oa, k), twoPairs<Odd>(wa, oa, 63 - k)));
        const __m256d termB =
            _mm256_mul_pd(coefficient, _mm256_add_pd(twoPairs<Odd>(wa, oa, k + 2), twoPairs<Odd>(wa, oa, 65 - k)));
        a[j] = k < 4 ? termA : _mm256_add_pd(a[j], termA);
        b[j] = k < 4 ? termB : _mm256_add_pd(b[j], termB);
        // Each tap's loads in its turn: left to itself, the compiler reads
        // every coefficient and window pair up front, and keeping them costs
        // more stores and loads than it saves.
        asm volatile("" ::: "memory");
    }
    first = _mm256_add_pd(_mm256_add_pd(a[0], a[1]), _mm256_add_pd(a[2], a[3]));
    second = _mm256_add_pd(_mm256_add_pd(b[0], b[1]), _mm256_add_pd(b[2], b[3]));
}

// The half-sample points after `count` (even) pairs of a run, two samples
// per register: window + 2i holds the 64 pairs ending with sample i. Each
// point keeps the four partial sums (taps k = j mod 4) of the two-lane loop.
// Their largest magnitudes are folded into peak; returns count. `odd`: the
// window one pair on (see twoPairs). Called once per run, and kept out of
// line so that the sample loop's registers stay its own.
__attribute__((noinline)) ZELVO_TARGET_AVX2 inline int halfSamplePeak(const double* window, const double* odd,
                                                                      int count, const double* c, Pair& peak)
{
    __m256d largest = _mm256_setzero_pd();
    const __m256d sign = _mm256_set1_pd(-0.0);
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        __m256d first, second;
        halfSamplePointsAt4<true>(window, odd, i, c, first, second);
        largest = _mm256_max_pd(largest, _mm256_max_pd(_mm256_andnot_pd(sign, first), _mm256_andnot_pd(sign, second)));
    }
    for (; i < count; i += 2)
        largest = _mm256_max_pd(largest, _mm256_andnot_pd(sign, halfSamplePointsAt(window, i, c)));
    peak = max(peak, max(Pair(_mm256_castpd256_pd128(largest)), Pair(_mm256_extractf128_pd(largest, 1))));
    return count;
}

// As halfSamplePeak, the points themselves: pair i of out, with the window
// one pair on in `odd` (see twoPairs). Returns count.
__attribute__((noinline)) ZELVO_TARGET_AVX2 inline int halfSamplePoints(const double* window, const double* odd,
                                                                        int count, const double* c, double* out)
{
    int i = 0;
    for (; i + 4 <= count; i += 4)
    {
        __m256d first, second;
        halfSamplePointsAt4<true>(window, odd, i, c, first, second);
        storeDoubles(out + 2 * i, first);
        storeDoubles(out + 2 * i + 4, second);
    }
    for (; i < count; i += 2)
        storeDoubles(out + 2 * i, halfSamplePointsAt(window, i, c));
    return count;
}

// BlockConvolver::directSum: the partial sums s0 .. s7 side by side, two
// to a register, each in the same order as there.
ZELVO_TARGET_AVX2 inline Pair directSum(const double* x, const double* t, int n)
{
    __m256d s01 = _mm256_mul_pd(_mm256_loadu_pd(t), _mm256_loadu_pd(x));
    __m256d s23 = _mm256_mul_pd(_mm256_loadu_pd(t + 4), _mm256_loadu_pd(x + 4));
    __m256d s45 = _mm256_mul_pd(_mm256_loadu_pd(t + 8), _mm256_loadu_pd(x + 8));
    __m256d s67 = _mm256_mul_pd(_mm256_loadu_pd(t + 12), _mm256_loadu_pd(x + 12));
#pragma GCC unroll 8
    for (int i = 8; i < n; i += 8)
    {
        s01 = _mm256_add_pd(s01, _mm256_mul_pd(_mm256_loadu_pd(t + 2 * i), _mm256_loadu_pd(x + 2 * i)));
        s23 = _mm256_add_pd(s23, _mm256_mul_pd(_mm256_loadu_pd(t + 2 * i + 4), _mm256_loadu_pd(x + 2 * i + 4)));
        s45 = _mm256_add_pd(s45, _mm256_mul_pd(_mm256_loadu_pd(t + 2 * i + 8), _mm256_loadu_pd(x + 2 * i + 8)));
        s67 = _mm256_add_pd(s67, _mm256_mul_pd(_mm256_loadu_pd(t + 2 * i + 12), _mm256_loadu_pd(x + 2 * i + 12)));
    }
    // (s0 + s4) + (s2 + s6) low, (s1 + s5) + (s3 + s7) high.
    const __m256d sums = _mm256_add_pd(_mm256_add_pd(s01, s45), _mm256_add_pd(s23, s67));
    return _mm_add_pd(_mm256_castpd256_pd128(sums), _mm256_extractf128_pd(sums, 1));
}

// The end of directSum: ((s0 + s4) + (s2 + s6)) + ((s1 + s5) + (s3 + s7))
// from s01, s23, s45, s67.
ZELVO_TARGET_AVX2 inline void storeSum(const __m256d* s, double* to)
{
    const __m256d sums = _mm256_add_pd(_mm256_add_pd(s[0], s[2]), _mm256_add_pd(s[1], s[3]));
    Pair(_mm_add_pd(_mm256_castpd256_pd128(sums), _mm256_extractf128_pd(sums, 1))).store(to);
}

// directSum of `count` windows one pair apart into `out`, the first
// (up to) sixteen taps held in registers for the whole stretch: the sums
// then read mostly the inputs alone, which at 32 taps takes a quarter less
// time. (At 64 the rest of the taps crowd the registers, and one sum at a
// time is faster.) Each window's partial sums keep their order.
template <int Taps>
ZELVO_TARGET_AVX2 inline void directSums(const double* x, const double* t, int count, double* out)
{
    static_assert(Taps % 8 == 0, "four partial sums of pairs of taps");
    constexpr int kRegisters = Taps / 2, kHeld = kRegisters < 8 ? kRegisters : 8;
    __m256d held[kHeld];
    for (int r = 0; r < kHeld; ++r)
        held[r] = _mm256_loadu_pd(t + 4 * r);
    for (int j = 0; j < count; ++j)
    {
        const double* window = x + 2 * j;
        __m256d s[4]; // s01, s23, s45, s67
        for (int r = 0; r < 4; ++r)
            s[r] = _mm256_mul_pd(held[r], _mm256_loadu_pd(window + 4 * r));
        for (int r = 4; r < kRegisters; ++r)
        {
            const __m256d taps = r < kHeld ? held[r < kHeld ? r : 0] : _mm256_loadu_pd(t + 4 * r);
            s[r % 4] = _mm256_add_pd(s[r % 4], _mm256_mul_pd(taps, _mm256_loadu_pd(window + 4 * r)));
        }
        storeSum(s, out + 2 * j);
    }
}

// One step of the three shift registers of DitherGenerator at once, each
// in its own lane with its own shifts (the fourth lane stays 0).
ZELVO_TARGET_AVX2 inline __m128i stepRegisters(__m128i s)
{
    const __m128i up = _mm_setr_epi32(13, 20, 17, 0), down = _mm_setr_epi32(9, 2, 6, 0);
    const __m128i across = _mm_setr_epi32(6, 7, 8, 0), keep = _mm_setr_epi32(0x1fff, 0xfffff, 0x1ffff, 0);
    const __m128i mixed = _mm_srlv_epi32(_mm_xor_si128(_mm_srlv_epi32(s, down), s), across);
    return _mm_xor_si128(_mm_sllv_epi32(s, up), _mm_and_si128(mixed, keep));
}

// (u1 + u2, u3 + u4) from the words w1 w3 w2 w4 of one sample, with the
// uniform values u = w * 2.3283064365e-10 * 2 - 1 of DitherGenerator.
ZELVO_TARGET_AVX2 inline Pair triangularOf(__m128i ordered)
{
    // Widened exactly: (w - 2^31 as a signed value) + 2^31.
    const __m256d values = _mm256_add_pd(_mm256_cvtepi32_pd(_mm_xor_si128(ordered, _mm_set1_epi32(int(0x80000000u)))),
                                         _mm256_set1_pd(2147483648.0));
    const __m256d uniform =
        _mm256_sub_pd(_mm256_mul_pd(_mm256_mul_pd(values, _mm256_set1_pd(2.3283064365e-10)), _mm256_set1_pd(2.0)),
                      _mm256_set1_pd(1.0));
    return Pair(_mm_add_pd(_mm256_castpd256_pd128(uniform), _mm256_extractf128_pd(uniform, 1)));
}

// DitherGenerator::triangular: four steps of the registers in `state`,
// their words w = s1 ^ s2 ^ s3, and (u1 + u2, u3 + u4) from the uniform
// values u = w * 2.3283064365e-10 * 2 - 1, with the same operations.
ZELVO_TARGET_AVX2 inline Pair triangularDither(uint32_t* state)
{
    const __m128i s1 = stepRegisters(_mm_load_si128(reinterpret_cast<const __m128i*>(state)));
    const __m128i s2 = stepRegisters(s1), s3 = stepRegisters(s2), s4 = stepRegisters(s3);
    _mm_store_si128(reinterpret_cast<__m128i*>(state), s4);
    // Columns of the four states: register 1, 2 and 3 of each step.
    const __m128i low12 = _mm_unpacklo_epi32(s1, s2), low34 = _mm_unpacklo_epi32(s3, s4);
    const __m128i high12 = _mm_unpackhi_epi32(s1, s2), high34 = _mm_unpackhi_epi32(s3, s4);
    const __m128i first = _mm_unpacklo_epi64(low12, low34), second = _mm_unpackhi_epi64(low12, low34);
    const __m128i third = _mm_unpacklo_epi64(high12, high34);
    const __m128i words = _mm_xor_si128(_mm_xor_si128(first, second), third); // w1 w2 w3 w4
    return triangularOf(_mm_shuffle_epi32(words, _MM_SHUFFLE(3, 1, 2, 0)));
}

// Each lane truncated toward zero, for values well inside the 32-bit integer
// range: one rounding instruction gives the same integers as the conversion
// to int32 and back, in half the time.
ZELVO_TARGET_AVX2 inline Pair truncateInRange(Pair a)
{
    return _mm_round_pd(a.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
}
} // namespace avx2
#endif
