#include "dsp/RealFft.h"

#include "dsp/Pair.h"
#include "dsp/SimdTarget.h"

#include <cmath>
#include <type_traits>

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

RealFft::RealFft()
    : twiddleCos(2 * kMaxHalfSize),
      twiddleSin(2 * kMaxHalfSize),
      wideCos(4 * kMaxHalfSize),
      wideSin(4 * kMaxHalfSize)
{
    prepare(8);
}

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
        for (int k = 0; k < 4; ++k)
        {
            wideCos[4 * m + k] = twiddleCos[2 * m];
            wideSin[4 * m + k] = twiddleSin[2 * m];
        }
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
// The wide register forms of the passes: complex points side by side, each
// as (re, im) with both parts left/right pairs. Every lane sees the
// operations of the two-lane Complex forms above, in the same order.

// Two points to a register (point k, then k + 1); masks pick the parts.
struct Avx512Points
{
    using Values = __m512d;
    static constexpr int kPoints = 2;
    static constexpr __mmask8 kImaginary = 0xCC, kReal = 0x33, kFirstPoint = 0x0F;

    ZELVO_TARGET_AVX512 static Values load(const double* p) { return _mm512_loadu_pd(p); }
    ZELVO_TARGET_AVX512 static void store(double* p, Values v)
    {
        typedef double Doubles __attribute__((vector_size(64), aligned(16)));
        *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
    }
    ZELVO_TARGET_AVX512 static Values add(Values a, Values b) { return _mm512_add_pd(a, b); }
    ZELVO_TARGET_AVX512 static Values subtract(Values a, Values b) { return _mm512_sub_pd(a, b); }
    ZELVO_TARGET_AVX512 static Values swapParts(Values v) { return _mm512_permutex_pd(v, 0x4E); }
    // The twiddles m and m + step, each as four copies.
    ZELVO_TARGET_AVX512 static Values twiddles(const double* table, int m, int step)
    {
        return _mm512_insertf64x4(_mm512_castpd256_pd512(_mm256_loadu_pd(table + 4 * m)),
                                  _mm256_loadu_pd(table + 4 * (m + step)), 1);
    }
    // As operator*: re c - im s, re s + im c.
    ZELVO_TARGET_AVX512 static Values times(Values a, Values c, Values s)
    {
        const Values p = _mm512_mul_pd(a, c), q = _mm512_mul_pd(swapParts(a), s);
        return _mm512_mask_add_pd(_mm512_sub_pd(p, q), kImaginary, q, p);
    }
    // As timesConjugate: re c + im s, im c - re s.
    ZELVO_TARGET_AVX512 static Values timesConjugate(Values a, Values c, Values s)
    {
        const Values p = _mm512_mul_pd(a, c), q = _mm512_mul_pd(swapParts(a), s);
        return _mm512_mask_sub_pd(_mm512_add_pd(p, q), kImaginary, p, q);
    }
    // As timesMinusI: (im, 0 - re); as timesPlusI: (0 - im, re).
    ZELVO_TARGET_AVX512 static Values timesMinusI(Values a)
    {
        const Values z = swapParts(a);
        return _mm512_mask_sub_pd(z, kImaginary, _mm512_setzero_pd(), z);
    }
    ZELVO_TARGET_AVX512 static Values timesPlusI(Values a)
    {
        const Values z = swapParts(a);
        return _mm512_mask_sub_pd(z, kReal, _mm512_setzero_pd(), z);
    }
    // The first point's value from special, the second's from general.
    ZELVO_TARGET_AVX512 static Values firstFrom(Values special, Values general)
    {
        return _mm512_mask_blend_pd(kFirstPoint, general, special);
    }
};

// One point to a register; lanes 2 and 3 hold the imaginary pair.
struct Avx2Points
{
    using Values = __m256d;
    static constexpr int kPoints = 1;

    ZELVO_TARGET_AVX2 static Values load(const double* p) { return _mm256_loadu_pd(p); }
    ZELVO_TARGET_AVX2 static void store(double* p, Values v)
    {
        typedef double Doubles __attribute__((vector_size(32), aligned(16)));
        *reinterpret_cast<Doubles*>(p) = reinterpret_cast<const Doubles&>(v);
    }
    ZELVO_TARGET_AVX2 static Values add(Values a, Values b) { return _mm256_add_pd(a, b); }
    ZELVO_TARGET_AVX2 static Values subtract(Values a, Values b) { return _mm256_sub_pd(a, b); }
    ZELVO_TARGET_AVX2 static Values swapParts(Values v) { return _mm256_permute2f128_pd(v, v, 1); }
    ZELVO_TARGET_AVX2 static Values twiddles(const double* table, int m, int) { return _mm256_loadu_pd(table + 4 * m); }
    ZELVO_TARGET_AVX2 static Values times(Values a, Values c, Values s)
    {
        const Values p = _mm256_mul_pd(a, c), q = _mm256_mul_pd(swapParts(a), s);
        return _mm256_blend_pd(_mm256_sub_pd(p, q), _mm256_add_pd(q, p), 0xC);
    }
    ZELVO_TARGET_AVX2 static Values timesConjugate(Values a, Values c, Values s)
    {
        const Values p = _mm256_mul_pd(a, c), q = _mm256_mul_pd(swapParts(a), s);
        return _mm256_blend_pd(_mm256_add_pd(p, q), _mm256_sub_pd(p, q), 0xC);
    }
    ZELVO_TARGET_AVX2 static Values timesMinusI(Values a)
    {
        const Values z = swapParts(a);
        return _mm256_blend_pd(z, _mm256_sub_pd(_mm256_setzero_pd(), z), 0xC);
    }
    ZELVO_TARGET_AVX2 static Values timesPlusI(Values a)
    {
        const Values z = swapParts(a);
        return _mm256_blend_pd(_mm256_sub_pd(_mm256_setzero_pd(), z), z, 0xC);
    }
    ZELVO_TARGET_AVX2 static Values firstFrom(Values special, Values) { return special; }
};

// The twiddle of the points from j on, in a pass of the given span, applied
// to d in place: 1 at j = 0, -i (forward) or +i (inverse) at j = span / 2,
// the table's value (conjugated for the inverse) elsewhere. With two points
// to a register the special point is the first one of its register; with
// span 2 the second point of the first register is the -i one. (In place:
// a helper that returned a wide register would have a calling convention
// of its own outside the wide functions.)
template <typename R, int n, int span, bool inverse>
inline void twiddle(typename R::Values& d, int j, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
    const int m = j == 0 ? 0 : j * step;
    const typename R::Values c = R::twiddles(cosTable, m, step), s = R::twiddles(sinTable, m, step);
    const typename R::Values general = inverse ? R::timesConjugate(d, c, s) : R::times(d, c, s);
    const typename R::Values rotated = inverse ? R::timesPlusI(d) : R::timesMinusI(d);
    if (j == 0)
        d = R::firstFrom(d, R::kPoints == 2 && span == 2 ? rotated : general);
    else if (j == span / 2)
        d = R::firstFrom(rotated, general);
    else
        d = general;
}

// One forward pass (see forwardPasses), R::kPoints butterflies per operation.
template <typename R, int n, int span, bool upperHalfZero>
inline void forwardPass(double* data, const double* cosTable, const double* sinTable)
{
    if constexpr (upperHalfZero)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; j += R::kPoints)
        {
            typename R::Values a = R::load(data + 4 * j);
            twiddle<R, n, span, false>(a, j, cosTable, sinTable);
            R::store(data + 4 * (j + span), a);
        }
    }
    else
    {
        ZELVO_UNROLL
        for (int start = 0; start < n; start += 2 * span)
        {
            ZELVO_UNROLL
            for (int j = 0; j < span; j += R::kPoints)
            {
                const typename R::Values a = R::load(data + 4 * (start + j));
                const typename R::Values b = R::load(data + 4 * (start + j + span));
                typename R::Values d = R::subtract(a, b);
                twiddle<R, n, span, false>(d, j, cosTable, sinTable);
                R::store(data + 4 * (start + j), R::add(a, b));
                R::store(data + 4 * (start + j + span), d);
            }
        }
    }
}

// One inverse pass (see inversePasses), R::kPoints butterflies per operation.
template <typename R, int n, int span>
inline void inversePass(double* data, const double* cosTable, const double* sinTable)
{
    ZELVO_UNROLL
    for (int start = 0; start < n; start += 2 * span)
    {
        ZELVO_UNROLL
        for (int j = 0; j < span; j += R::kPoints)
        {
            const typename R::Values a = R::load(data + 4 * (start + j));
            typename R::Values b = R::load(data + 4 * (start + j + span));
            twiddle<R, n, span, true>(b, j, cosTable, sinTable);
            R::store(data + 4 * (start + j), R::add(a, b));
            R::store(data + 4 * (start + j + span), R::subtract(a, b));
        }
    }
}
ZELVO_WIDE_WARNINGS_ON
#endif

// One pass of the decimation-in-frequency transform, exp(-2 pi i / N):
// butterflies of distance span, then the next pass at half the distance.
// Natural order in, bit-reversed out. upperHalfZero: points N/2 .. N - 1 are
// zero on entry (a zero-padded frame), which makes the first pass a copy and
// a multiplication.
template <int n, int span, bool upperHalfZero, SimdLevel Isa = SimdLevel::Sse2>
void forwardPasses(double* data, const double* cosTable, const double* sinTable, const double* wideCos = nullptr,
                   const double* wideSin = nullptr)
{
    constexpr int step = n / span; // twiddle index step in the 2N-point table
#ifdef ZELVO_WIDE_SIMD
    if constexpr (Isa != SimdLevel::Sse2 && span >= 2)
    {
        using Points = std::conditional_t<Isa == SimdLevel::Avx512, Avx512Points, Avx2Points>;
        forwardPass<Points, n, span, upperHalfZero>(data, wideCos, wideSin);
        forwardPasses<n, span / 2, false, Isa>(data, cosTable, sinTable, wideCos, wideSin);
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
        forwardPasses<n, span / 2, false, Isa>(data, cosTable, sinTable, wideCos, wideSin);
}

// The decimation-in-time inverse, exp(+2 pi i / N), unscaled (N times the
// inverse): bit-reversed in, natural order out.
template <int n, int span, SimdLevel Isa = SimdLevel::Sse2>
void inversePasses(double* data, const double* cosTable, const double* sinTable, const double* wideCos = nullptr,
                   const double* wideSin = nullptr)
{
    constexpr int step = n / span;
#ifdef ZELVO_WIDE_SIMD
    if constexpr (Isa != SimdLevel::Sse2 && span >= 2)
    {
        using Points = std::conditional_t<Isa == SimdLevel::Avx512, Avx512Points, Avx2Points>;
        inversePass<Points, n, span>(data, wideCos, wideSin);
        if constexpr (2 * span < n)
            inversePasses<n, 2 * span, Isa>(data, cosTable, sinTable, wideCos, wideSin);
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
        inversePasses<n, 2 * span, Isa>(data, cosTable, sinTable, wideCos, wideSin);
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
    forwardPasses<n, n / 2, true, Isa>(frame, twiddleCos.get(), twiddleSin.get(), wideCos.get(), wideSin.get());

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

    inversePasses<n, 1, Isa>(frame, twiddleCos.get(), twiddleSin.get(), wideCos.get(), wideSin.get());
}
