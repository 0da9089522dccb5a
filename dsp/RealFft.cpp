#include "dsp/RealFft.h"

#include "dsp/Pair.h"
#include "dsp/SimdTarget.h"

#include <cmath>

namespace
{
// One complex value whose real and imaginary parts are left/right pairs.
struct Complex
{
    Pair re, im;
};

inline Complex loadComplex(const double* data, int k)
{
    return {Pair::load(data + 4 * k), Pair::load(data + 4 * k + 2)};
}
inline void storeComplex(double* data, int k, Complex c)
{
    c.re.store(data + 4 * k);
    c.im.store(data + 4 * k + 2);
}
inline Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
inline Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
inline Complex operator*(Complex a, Complex b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
// a times the conjugate of b
inline Complex timesConjugate(Complex a, Complex b) { return {a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im}; }
} // namespace

RealFft::RealFft() : twiddleCos(2 * kMaxHalfSize), twiddleSin(2 * kMaxHalfSize) { prepare(8); }

void RealFft::prepare(int halfSize)
{
    halfLength = halfSize;
    const int n = halfSize;
    const double pi = 3.141592653589793;
    for (int m = 0; m < n; ++m)
    {
        double angle = 2.0 * pi * m / (2.0 * n);
        twiddleCos[2 * m] = twiddleCos[2 * m + 1] = std::cos(angle);
        twiddleSin[2 * m] = twiddleSin[2 * m + 1] = -std::sin(angle);
    }
}

#if defined(__clang__)
#define ZELVO_UNROLL _Pragma("clang loop unroll_count(8)")
#elif defined(__GNUC__)
#define ZELVO_UNROLL _Pragma("GCC unroll 8")
#else
#define ZELVO_UNROLL
#endif

namespace
{
constexpr int bitReverse(int m, int n)
{
    int r = 0;
    for (int bit = 1, mirrored = n >> 1; bit < n; bit <<= 1, mirrored >>= 1)
        if (m & bit)
            r |= mirrored;
    return r;
}

// (a - b) times W^(n/2) of the 2N-point table, which is -i: exact, and
// without the multiplications.
inline Complex timesMinusI(Complex a) { return {a.im, Pair(0.0) - a.re}; }
inline Complex timesPlusI(Complex a) { return {Pair(0.0) - a.im, a.re}; }

#ifdef ZELVO_WIDE_SIMD
ZELVO_WIDE_WARNINGS_OFF
// Two complex points to a register: (re, im) of point k, then of k + 1,
// each part a left/right pair. Every lane sees the operations of the
// two-lane Complex forms above, in the same order.
namespace wide
{
constexpr __mmask8 kImaginary = 0xCC, kReal = 0x33, kFirstPoint = 0x0F;

ZELVO_TARGET_AVX512 inline __m512d swapParts(__m512d v) { return _mm512_permutex_pd(v, 0x4E); }

// The twiddles m and m + step of a table of pairs, each spread over a
// whole complex value.
ZELVO_TARGET_AVX512 inline __m512d twiddles(const double* table, int m, int step)
{
    return _mm512_mask_broadcast_f64x2(_mm512_broadcast_f64x2(_mm_load_pd(table + 2 * m)), 0xF0,
                                       _mm_load_pd(table + 2 * (m + step)));
}

// As operator*: re c - im s, re s + im c.
ZELVO_TARGET_AVX512 inline __m512d times(__m512d a, __m512d c, __m512d s)
{
    const __m512d p = _mm512_mul_pd(a, c), q = _mm512_mul_pd(swapParts(a), s);
    return _mm512_mask_add_pd(_mm512_sub_pd(p, q), kImaginary, q, p);
}
// As timesConjugate: re c + im s, im c - re s.
ZELVO_TARGET_AVX512 inline __m512d timesConjugate(__m512d a, __m512d c, __m512d s)
{
    const __m512d p = _mm512_mul_pd(a, c), q = _mm512_mul_pd(swapParts(a), s);
    return _mm512_mask_sub_pd(_mm512_add_pd(p, q), kImaginary, p, q);
}
// As timesMinusI: (im, 0 - re); as timesPlusI: (0 - im, re).
ZELVO_TARGET_AVX512 inline __m512d timesMinusI(__m512d a)
{
    const __m512d z = swapParts(a);
    return _mm512_mask_sub_pd(z, kImaginary, _mm512_setzero_pd(), z);
}
ZELVO_TARGET_AVX512 inline __m512d timesPlusI(__m512d a)
{
    const __m512d z = swapParts(a);
    return _mm512_mask_sub_pd(z, kReal, _mm512_setzero_pd(), z);
}

// The forward twiddle of points j and j + 1 of a pass: 1 at j = 0, -i at
// j = span / 2, the table's value elsewhere.
template <int n, int span>
ZELVO_TARGET_AVX512 inline __m512d forwardTwiddle(__m512d d, int j, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
    if (j == 0)
    {
        const __m512d second =
            span == 2 ? timesMinusI(d) : times(d, twiddles(cosTable, 0, step), twiddles(sinTable, 0, step));
        return _mm512_mask_blend_pd(kFirstPoint, second, d);
    }
    const __m512d product = times(d, twiddles(cosTable, j * step, step), twiddles(sinTable, j * step, step));
    if (j == span / 2)
        return _mm512_mask_blend_pd(kFirstPoint, product, timesMinusI(d));
    return product;
}

template <int n, int span>
ZELVO_TARGET_AVX512 inline __m512d inverseTwiddle(__m512d b, int j, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
    if (j == 0)
    {
        const __m512d second =
            span == 2 ? timesPlusI(b) : timesConjugate(b, twiddles(cosTable, 0, step), twiddles(sinTable, 0, step));
        return _mm512_mask_blend_pd(kFirstPoint, second, b);
    }
    const __m512d product = timesConjugate(b, twiddles(cosTable, j * step, step), twiddles(sinTable, j * step, step));
    if (j == span / 2)
        return _mm512_mask_blend_pd(kFirstPoint, product, timesPlusI(b));
    return product;
}

ZELVO_TARGET_AVX512 inline void store(double* p, __m512d v)
{
    typedef double Doubles __attribute__((vector_size(64), aligned(16)));
    *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
}
// One forward pass (see forwardPasses), two butterflies per operation.
template <int n, int span, bool upperHalfZero>
ZELVO_TARGET_AVX512 void forwardPass(double* data, const double* cosTable, const double* sinTable)
{
    if constexpr (upperHalfZero)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; j += 2)
            store(data + 4 * (j + span), forwardTwiddle<n, span>(_mm512_loadu_pd(data + 4 * j), j, cosTable, sinTable));
    }
    else
    {
        ZELVO_UNROLL
        for (int start = 0; start < n; start += 2 * span)
        {
            ZELVO_UNROLL
            for (int j = 0; j < span; j += 2)
            {
                const __m512d a = _mm512_loadu_pd(data + 4 * (start + j));
                const __m512d b = _mm512_loadu_pd(data + 4 * (start + j + span));
                store(data + 4 * (start + j), _mm512_add_pd(a, b));
                store(data + 4 * (start + j + span),
                      forwardTwiddle<n, span>(_mm512_sub_pd(a, b), j, cosTable, sinTable));
            }
        }
    }
}

// One inverse pass (see inversePasses), two butterflies per operation.
template <int n, int span>
ZELVO_TARGET_AVX512 void inversePass(double* data, const double* cosTable, const double* sinTable)
{
    ZELVO_UNROLL
    for (int start = 0; start < n; start += 2 * span)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; j += 2)
        {
            const __m512d a = _mm512_loadu_pd(data + 4 * (start + j));
            const __m512d b =
                inverseTwiddle<n, span>(_mm512_loadu_pd(data + 4 * (start + j + span)), j, cosTable, sinTable);
            store(data + 4 * (start + j), _mm512_add_pd(a, b));
            store(data + 4 * (start + j + span), _mm512_sub_pd(a, b));
        }
    }
}
} // namespace wide
// The same passes one complex point to a register, for AVX2.
namespace wide2
{
ZELVO_TARGET_AVX2 inline __m256d swapParts(__m256d v) { return _mm256_permute2f128_pd(v, v, 1); }

// Twiddle m of a table of pairs, spread over a whole complex value.
ZELVO_TARGET_AVX2 inline __m256d twiddle(const double* table, int m)
{
    return _mm256_broadcast_pd(reinterpret_cast<const __m128d*>(table + 2 * m));
}

// Lanes 2 and 3 hold the imaginary pair.
ZELVO_TARGET_AVX2 inline __m256d times(__m256d a, __m256d c, __m256d s)
{
    const __m256d p = _mm256_mul_pd(a, c), q = _mm256_mul_pd(swapParts(a), s);
    return _mm256_blend_pd(_mm256_sub_pd(p, q), _mm256_add_pd(q, p), 0xC);
}
ZELVO_TARGET_AVX2 inline __m256d timesConjugate(__m256d a, __m256d c, __m256d s)
{
    const __m256d p = _mm256_mul_pd(a, c), q = _mm256_mul_pd(swapParts(a), s);
    return _mm256_blend_pd(_mm256_add_pd(p, q), _mm256_sub_pd(p, q), 0xC);
}
ZELVO_TARGET_AVX2 inline __m256d timesMinusI(__m256d a)
{
    const __m256d z = swapParts(a);
    return _mm256_blend_pd(z, _mm256_sub_pd(_mm256_setzero_pd(), z), 0xC);
}
ZELVO_TARGET_AVX2 inline __m256d timesPlusI(__m256d a)
{
    const __m256d z = swapParts(a);
    return _mm256_blend_pd(_mm256_sub_pd(_mm256_setzero_pd(), z), z, 0xC);
}

ZELVO_TARGET_AVX2 inline void store(double* p, __m256d v)
{
    typedef double Doubles __attribute__((vector_size(32), aligned(16)));
    *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
}

template <int n, int span>
ZELVO_TARGET_AVX2 inline __m256d forwardTwiddle(__m256d d, int j, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
    if (j == 0)
        return d;
    if (j == span / 2)
        return timesMinusI(d);
    return times(d, twiddle(cosTable, j * step), twiddle(sinTable, j * step));
}

template <int n, int span>
ZELVO_TARGET_AVX2 inline __m256d inverseTwiddle(__m256d b, int j, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
    if (j == 0)
        return b;
    if (j == span / 2)
        return timesPlusI(b);
    return timesConjugate(b, twiddle(cosTable, j * step), twiddle(sinTable, j * step));
}

template <int n, int span, bool upperHalfZero>
ZELVO_TARGET_AVX2 void forwardPass(double* data, const double* cosTable, const double* sinTable)
{
    if constexpr (upperHalfZero)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; ++j)
            store(data + 4 * (j + span), forwardTwiddle<n, span>(_mm256_loadu_pd(data + 4 * j), j, cosTable, sinTable));
    }
    else
    {
        ZELVO_UNROLL
        for (int start = 0; start < n; start += 2 * span)
        {
            ZELVO_UNROLL
            for (int j = 0; j < span; ++j)
            {
                const __m256d a = _mm256_loadu_pd(data + 4 * (start + j));
                const __m256d b = _mm256_loadu_pd(data + 4 * (start + j + span));
                store(data + 4 * (start + j), _mm256_add_pd(a, b));
                store(data + 4 * (start + j + span),
                      forwardTwiddle<n, span>(_mm256_sub_pd(a, b), j, cosTable, sinTable));
            }
        }
    }
}

template <int n, int span>
ZELVO_TARGET_AVX2 void inversePass(double* data, const double* cosTable, const double* sinTable)
{
    ZELVO_UNROLL
    for (int start = 0; start < n; start += 2 * span)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; ++j)
        {
            const __m256d a = _mm256_loadu_pd(data + 4 * (start + j));
            const __m256d b =
                inverseTwiddle<n, span>(_mm256_loadu_pd(data + 4 * (start + j + span)), j, cosTable, sinTable);
            store(data + 4 * (start + j), _mm256_add_pd(a, b));
            store(data + 4 * (start + j + span), _mm256_sub_pd(a, b));
        }
    }
}
} // namespace wide2
ZELVO_WIDE_WARNINGS_ON
#endif

// One pass of the decimation-in-frequency transform, exp(-2 pi i / N):
// butterflies of distance span, then the next pass at half the distance.
// Natural order in, bit-reversed out. upperHalfZero: points N/2 .. N - 1 are
// zero on entry (a zero-padded frame), which makes the first pass a copy and
// a multiplication.
template <int n, int span, bool upperHalfZero, SimdLevel Isa = SimdLevel::Sse2>
void forwardPasses(double* data, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span; // twiddle index step in the 2N-point table
#ifdef ZELVO_WIDE_SIMD
    if constexpr (Isa == SimdLevel::Avx512 && span >= 2)
    {
        wide::forwardPass<n, span, upperHalfZero>(data, cosTable, sinTable);
        forwardPasses<n, span / 2, false, Isa>(data, cosTable, sinTable);
        return;
    }
    if constexpr (Isa == SimdLevel::Avx2 && span >= 2)
    {
        wide2::forwardPass<n, span, upperHalfZero>(data, cosTable, sinTable);
        forwardPasses<n, span / 2, false, Isa>(data, cosTable, sinTable);
        return;
    }
#endif
    if constexpr (upperHalfZero)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; ++j)
        {
            Complex a = loadComplex(data, j);
            if (j == 0)
                storeComplex(data, span, a);
            else if (j * step == n / 2)
                storeComplex(data, j + span, timesMinusI(a));
            else
                storeComplex(data, j + span,
                             a * Complex{Pair::load(cosTable + 2 * j * step), Pair::load(sinTable + 2 * j * step)});
        }
    }
    else
    {
        ZELVO_UNROLL
        for (int start = 0; start < n; start += 2 * span)
        {
            ZELVO_UNROLL
            for (int j = 0; j < span; ++j)
            {
                Complex a = loadComplex(data, start + j);
                Complex b = loadComplex(data, start + j + span);
                storeComplex(data, start + j, a + b);
                if (j == 0)
                    storeComplex(data, start + j + span, a - b);
                else if (j * step == n / 2)
                    storeComplex(data, start + j + span, timesMinusI(a - b));
                else
                    storeComplex(data, start + j + span,
                                 (a - b) *
                                     Complex{Pair::load(cosTable + 2 * j * step), Pair::load(sinTable + 2 * j * step)});
            }
        }
    }
    if constexpr (span > 1)
        forwardPasses<n, span / 2, false, Isa>(data, cosTable, sinTable);
}

// The decimation-in-time inverse, exp(+2 pi i / N), unscaled (N times the
// inverse): bit-reversed in, natural order out.
template <int n, int span, SimdLevel Isa = SimdLevel::Sse2>
void inversePasses(double* data, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
#ifdef ZELVO_WIDE_SIMD
    if constexpr (Isa == SimdLevel::Avx512 && span >= 2)
    {
        wide::inversePass<n, span>(data, cosTable, sinTable);
        if constexpr (2 * span < n)
            inversePasses<n, 2 * span, Isa>(data, cosTable, sinTable);
        return;
    }
    if constexpr (Isa == SimdLevel::Avx2 && span >= 2)
    {
        wide2::inversePass<n, span>(data, cosTable, sinTable);
        if constexpr (2 * span < n)
            inversePasses<n, 2 * span, Isa>(data, cosTable, sinTable);
        return;
    }
#endif
    ZELVO_UNROLL
    for (int start = 0; start < n; start += 2 * span)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; ++j)
        {
            Complex a = loadComplex(data, start + j);
            Complex b = loadComplex(data, start + j + span);
            if (j * step == n / 2)
                b = timesPlusI(b);
            else if (j != 0)
                b = timesConjugate(b,
                                   Complex{Pair::load(cosTable + 2 * j * step), Pair::load(sinTable + 2 * j * step)});
            storeComplex(data, start + j, a + b);
            storeComplex(data, start + j + span, a - b);
        }
    }
    if constexpr (2 * span < n)
        inversePasses<n, 2 * span, Isa>(data, cosTable, sinTable);
}
} // namespace

template <int n>
void RealFft::forwardComplex(double* data) const
{
    forwardPasses<n, n / 2, false>(data, twiddleCos.get(), twiddleSin.get());
}

// The split of the complex spectrum Z of (even + i odd) into the real
// spectrum, twice its value: X'[m] = S + T and X'[N - m] = conj(S) with T's
// real part negated, where S = Z[m] + conj(Z[N - m]) and
// T = W^m (-i) (Z[m] - conj(Z[N - m])).
void RealFft::forward(double* frame, double* spectrum) const
{
    switch (halfLength)
    {
    case 4: forwardComplex<4>(frame); break;
    case 8: forwardComplex<8>(frame); break;
    case 16: forwardComplex<16>(frame); break;
    case 32: forwardComplex<32>(frame); break;
    case 64: forwardComplex<64>(frame); break;
    case 128: forwardComplex<128>(frame); break;
    default: forwardComplex<256>(frame); break;
    }
    const int n = halfLength;
    Complex z0 = loadComplex(frame, 0);
    Pair sum = z0.re + z0.im, difference = z0.re - z0.im;
    (sum + sum).store(spectrum);
    (difference + difference).store(spectrum + 2);
    for (int m = 1; m < n / 2; ++m)
    {
        Complex zm = loadComplex(frame, bitReverse(m, n));
        Complex zc = loadComplex(frame, bitReverse(n - m, n));
        Complex w{Pair::load(twiddleCos.get() + 2 * m), Pair::load(twiddleSin.get() + 2 * m)};
        Complex s{zm.re + zc.re, zm.im - zc.im};
        Complex minusID{zm.im + zc.im, zc.re - zm.re};
        Complex t = w * minusID;
        storeComplex(spectrum, m, {s.re + t.re, s.im + t.im});
        storeComplex(spectrum, n - m, {s.re - t.re, t.im - s.im});
    }
    Complex middle = loadComplex(frame, bitReverse(n / 2, n));
    storeComplex(spectrum, n / 2, {middle.re + middle.re, Pair(0.0) - (middle.im + middle.im)});
}

void RealFft::convolve(double* frame, const double* kernel, SimdLevel isa) const
{
    switch (halfLength)
    {
    case 4: convolveOn<4>(frame, kernel, isa); break;
    case 8: convolveOn<8>(frame, kernel, isa); break;
    case 16: convolveOn<16>(frame, kernel, isa); break;
    case 32: convolveOn<32>(frame, kernel, isa); break;
    case 64: convolveOn<64>(frame, kernel, isa); break;
    case 128: convolveOn<128>(frame, kernel, isa); break;
    default: convolveOn<256>(frame, kernel, isa); break;
    }
}

template <int n>
void RealFft::convolveOn(double* frame, const double* kernel, SimdLevel isa) const
{
#ifdef ZELVO_WIDE_SIMD
    if (isa == SimdLevel::Avx512)
        return convolveAvx512<n>(frame, kernel);
    if (isa == SimdLevel::Avx2)
        return convolveAvx2<n>(frame, kernel);
#endif
    (void)isa;
    convolveSized<n, SimdLevel::Sse2>(frame, kernel);
}

template <int n>
void RealFft::convolveAvx512(double* frame, const double* kernel) const
{
    convolveSized<n, SimdLevel::Avx512>(frame, kernel);
}

template <int n>
void RealFft::convolveAvx2(double* frame, const double* kernel) const
{
    convolveSized<n, SimdLevel::Avx2>(frame, kernel);
}

template <int n, SimdLevel Isa>
void RealFft::convolveSized(double* frame, const double* kernel) const
{
    // The frame's second half is zero: the block convolution keeps it so.
    forwardPasses<n, n / 2, true, Isa>(frame, twiddleCos.get(), twiddleSin.get());

    // Bin 0 and bin N are real and share complex point 0.
    {
        Complex z0 = loadComplex(frame, 0);
        Pair sum = z0.re + z0.im, difference = z0.re - z0.im;
        Pair y0 = (sum + sum) * Pair::load(kernel);
        Pair yN = (difference + difference) * Pair::load(kernel + 2);
        storeComplex(frame, 0, {y0 + yN, y0 - yN});
    }
    // Bins m and N - m: split, multiply, and merge back into the same two
    // complex points, ready for the inverse pass.
    ZELVO_UNROLL
    for (int m = 1; m < n / 2; ++m)
    {
        const int im = bitReverse(m, n), ic = bitReverse(n - m, n);
        Complex zm = loadComplex(frame, im);
        Complex zc = loadComplex(frame, ic);
        Complex w{Pair::load(twiddleCos.get() + 2 * m), Pair::load(twiddleSin.get() + 2 * m)};
        Complex s{zm.re + zc.re, zm.im - zc.im};
        Complex minusID{zm.im + zc.im, zc.re - zm.re};
        Complex t = w * minusID;
        Complex ym = Complex{s.re + t.re, s.im + t.im} * loadComplex(kernel, m);
        Complex yc = Complex{s.re - t.re, t.im - s.im} * loadComplex(kernel, n - m);

        // Z'[m] = S + i conj(W^m) D, Z'[N - m] = conj(S) + i conj(W^(N-m)) D'
        Complex s2{ym.re + yc.re, ym.im - yc.im};
        Complex d2{ym.re - yc.re, ym.im + yc.im};
        Complex u = timesConjugate(d2, w);
        storeComplex(frame, im, {s2.re - u.im, s2.im + u.re});
        storeComplex(frame, ic, {s2.re + u.im, u.re - s2.im});
    }
    {
        constexpr int middle = bitReverse(n / 2, n);
        Complex z = loadComplex(frame, middle);
        Complex x{z.re + z.re, Pair(0.0) - (z.im + z.im)};
        Complex y = x * loadComplex(kernel, n / 2);
        storeComplex(frame, middle, {y.re + y.re, Pair(0.0) - (y.im + y.im)});
    }

    inversePasses<n, 1, Isa>(frame, twiddleCos.get(), twiddleSin.get());
}
