// A (left, right) pair of doubles processed as one two-lane value. On x86-64
// it is one SSE2 register; elsewhere two plain doubles with the same
// per-lane arithmetic, so both builds compute the same bits.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#define ZELVO_PAIR_SSE2 1
#include <emmintrin.h>
#endif

#ifdef ZELVO_PAIR_SSE2

struct Pair
{
    __m128d v;

    Pair() : v(_mm_setzero_pd()) {}
    Pair(__m128d value) : v(value) {}
    explicit Pair(double both) : v(_mm_set1_pd(both)) {}
    Pair(double left, double right) : v(_mm_set_pd(right, left)) {}

    // p must be 16-byte aligned: every pair buffer is.
    static Pair load(const double* p) { return _mm_load_pd(p); }
#if defined(__GNUC__)
    // A store typed as doubles: the SSE type may alias anything, which would
    // make the compiler reload every index and length after each store.
    void store(double* p) const
    {
        typedef double Doubles __attribute__((vector_size(16)));
        *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
    }
#else
    void store(double* p) const { _mm_store_pd(p, v); }
#endif

    double left() const { return _mm_cvtsd_f64(v); }
    double right() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }
};

inline Pair operator+(Pair a, Pair b) { return _mm_add_pd(a.v, b.v); }
inline Pair operator-(Pair a, Pair b) { return _mm_sub_pd(a.v, b.v); }
inline Pair operator*(Pair a, Pair b) { return _mm_mul_pd(a.v, b.v); }
inline Pair operator/(Pair a, Pair b) { return _mm_div_pd(a.v, b.v); }
// Both return b when a lane compares equal, like the SSE2 instructions.
inline Pair min(Pair a, Pair b) { return _mm_min_pd(a.v, b.v); }
inline Pair max(Pair a, Pair b) { return _mm_max_pd(a.v, b.v); }
inline Pair abs(Pair a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a.v); }

// Lane masks: all ones where the comparison holds.
struct PairMask
{
    __m128d m;
};
inline PairMask operator>=(Pair a, Pair b) { return {_mm_cmpge_pd(a.v, b.v)}; }
inline PairMask operator<(Pair a, Pair b) { return {_mm_cmplt_pd(a.v, b.v)}; }
// whenTrue where the mask is set, whenFalse elsewhere.
inline Pair select(PairMask mask, Pair whenTrue, Pair whenFalse)
{
    return _mm_or_pd(_mm_and_pd(mask.m, whenTrue.v), _mm_andnot_pd(mask.m, whenFalse.v));
}
// a where the mask is set, +0.0 elsewhere.
inline Pair keep(PairMask mask, Pair a) { return _mm_and_pd(mask.m, a.v); }

// The bit pattern a xor b, for selectBetween: a choice between two fixed
// values then costs two instructions instead of three.
inline Pair differenceBits(Pair a, Pair b) { return _mm_xor_pd(a.v, b.v); }
// a where the mask is set, b elsewhere, given aXorB = differenceBits(a, b).
inline Pair selectBetween(PairMask mask, Pair aXorB, Pair b) { return _mm_xor_pd(b.v, _mm_and_pd(mask.m, aXorB.v)); }

// The two lanes rounded to float by one conversion (the same rounding as
// converting each on its own), right first: a mono host's single buffer
// keeps the left result.
inline void storeSamples(Pair a, float* left, float* right)
{
#if defined(__GNUC__)
    typedef float Floats __attribute__((vector_size(16)));
    const Floats f = reinterpret_cast<Floats>(_mm_cvtpd_ps(a.v));
    *right = f[1];
    *left = f[0];
#else
    const __m128 f = _mm_cvtpd_ps(a.v);
    _mm_store_ss(right, _mm_shuffle_ps(f, f, 1));
    _mm_store_ss(left, f);
#endif
}

// Each lane truncated toward zero to a signed 32-bit integer, saturated to
// that range (NaN gives the lowest value), and widened back to double.
inline Pair truncateToInt32(Pair a)
{
    __m128d limited = _mm_min_pd(_mm_max_pd(a.v, _mm_set1_pd(-2147483648.0)), _mm_set1_pd(2147483647.0));
    return _mm_cvtepi32_pd(_mm_cvttpd_epi32(limited));
}

#else

#include <cmath>
#include <cstdint>

struct Pair
{
    double l, r;

    Pair() : l(0.0), r(0.0) {}
    explicit Pair(double both) : l(both), r(both) {}
    Pair(double left, double right) : l(left), r(right) {}

    static Pair load(const double* p) { return Pair(p[0], p[1]); }
    void store(double* p) const
    {
        p[0] = l;
        p[1] = r;
    }

    double left() const { return l; }
    double right() const { return r; }
};

inline Pair operator+(Pair a, Pair b) { return Pair(a.l + b.l, a.r + b.r); }
inline Pair operator-(Pair a, Pair b) { return Pair(a.l - b.l, a.r - b.r); }
inline Pair operator*(Pair a, Pair b) { return Pair(a.l * b.l, a.r * b.r); }
inline Pair operator/(Pair a, Pair b) { return Pair(a.l / b.l, a.r / b.r); }
inline double pairMinLane(double a, double b) { return a < b ? a : b; }
inline double pairMaxLane(double a, double b) { return a > b ? a : b; }
inline Pair min(Pair a, Pair b) { return Pair(pairMinLane(a.l, b.l), pairMinLane(a.r, b.r)); }
inline Pair max(Pair a, Pair b) { return Pair(pairMaxLane(a.l, b.l), pairMaxLane(a.r, b.r)); }
inline Pair abs(Pair a) { return Pair(std::fabs(a.l), std::fabs(a.r)); }

struct PairMask
{
    bool l, r;
};
inline PairMask operator>=(Pair a, Pair b) { return {a.l >= b.l, a.r >= b.r}; }
inline PairMask operator<(Pair a, Pair b) { return {a.l < b.l, a.r < b.r}; }
inline Pair select(PairMask mask, Pair whenTrue, Pair whenFalse)
{
    return Pair(mask.l ? whenTrue.l : whenFalse.l, mask.r ? whenTrue.r : whenFalse.r);
}
inline Pair keep(PairMask mask, Pair a) { return Pair(mask.l ? a.l : 0.0, mask.r ? a.r : 0.0); }

// Without vector bit operations the "difference" is simply a, kept.
inline Pair differenceBits(Pair a, Pair) { return a; }
inline Pair selectBetween(PairMask mask, Pair a, Pair b) { return select(mask, a, b); }

inline double truncateLaneToInt32(double a)
{
    if (!(a >= -2147483648.0))
        return -2147483648.0;
    if (a > 2147483647.0)
        return 2147483647.0;
    return double(static_cast<int32_t>(a));
}
inline Pair truncateToInt32(Pair a) { return Pair(truncateLaneToInt32(a.l), truncateLaneToInt32(a.r)); }

#endif

// The float form without SSE2, and the double form: right first, as above.
#ifndef ZELVO_PAIR_SSE2
inline void storeSamples(Pair a, float* left, float* right)
{
    *right = float(a.right());
    *left = float(a.left());
}
#endif
inline void storeSamples(Pair a, double* left, double* right)
{
    *right = a.right();
    *left = a.left();
}

inline Pair& operator+=(Pair& a, Pair b) { return a = a + b; }
inline Pair& operator-=(Pair& a, Pair b) { return a = a - b; }
inline Pair& operator*=(Pair& a, Pair b) { return a = a * b; }
