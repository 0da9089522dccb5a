#include "dsp/RealFft.h"

#include "dsp/Pair.h"

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

// One pass of the decimation-in-frequency transform, exp(-2 pi i / N):
// butterflies of distance span, then the next pass at half the distance.
// Natural order in, bit-reversed out. upperHalfZero: points N/2 .. N - 1 are
// zero on entry (a zero-padded frame), which makes the first pass a copy and
// a multiplication.
template <int n, int span, bool upperHalfZero>
void forwardPasses(double* data, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span; // twiddle index step in the 2N-point table
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
        forwardPasses<n, span / 2, false>(data, cosTable, sinTable);
}

// The decimation-in-time inverse, exp(+2 pi i / N), unscaled (N times the
// inverse): bit-reversed in, natural order out.
template <int n, int span>
void inversePasses(double* data, const double* cosTable, const double* sinTable)
{
    constexpr int step = n / span;
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
        inversePasses<n, 2 * span>(data, cosTable, sinTable);
}
} // namespace

template <int n>
void RealFft::forwardComplex(double* data) const
{
    forwardPasses<n, n / 2, false>(data, twiddleCos.get(), twiddleSin.get());
}

template <int n>
void RealFft::inverseComplex(double* data) const
{
    inversePasses<n, 1>(data, twiddleCos.get(), twiddleSin.get());
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

void RealFft::convolve(double* frame, const double* kernel) const
{
    switch (halfLength)
    {
    case 4: convolveSized<4>(frame, kernel); break;
    case 8: convolveSized<8>(frame, kernel); break;
    case 16: convolveSized<16>(frame, kernel); break;
    case 32: convolveSized<32>(frame, kernel); break;
    case 64: convolveSized<64>(frame, kernel); break;
    case 128: convolveSized<128>(frame, kernel); break;
    default: convolveSized<256>(frame, kernel); break;
    }
}

template <int n>
void RealFft::convolveSized(double* frame, const double* kernel) const
{
    // The frame's second half is zero: the block convolution keeps it so.
    forwardPasses<n, n / 2, true>(frame, twiddleCos.get(), twiddleSin.get());

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

    inverseComplex<n>(frame);
}
