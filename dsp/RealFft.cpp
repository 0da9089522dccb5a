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
inline Complex operator*(Complex a, Complex b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
// a times the conjugate of b
inline Complex timesConjugate(Complex a, Complex b)
{
    return {a.re * b.re + a.im * b.im, a.im * b.re - a.re * b.im};
}
} // namespace

RealFft::RealFft()
    : twiddleCos(2 * kMaxHalfSize), twiddleSin(2 * kMaxHalfSize), bitReversed(kMaxHalfSize)
{
    prepare(8);
}

void RealFft::prepare(int halfSize)
{
    n = halfSize;
    const double pi = 3.141592653589793;
    for (int m = 0; m < n; ++m)
    {
        double angle = 2.0 * pi * m / (2.0 * n);
        twiddleCos[2 * m] = twiddleCos[2 * m + 1] = std::cos(angle);
        twiddleSin[2 * m] = twiddleSin[2 * m + 1] = -std::sin(angle);
    }
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    for (int m = 0; m < n; ++m)
    {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            if (m & (1 << b))
                r |= 1 << (bits - 1 - b);
        bitReversed[m] = r;
    }
}

// Decimation in frequency, exp(-2 pi i / N): natural order in, bit-reversed out.
void RealFft::forwardComplex(double* data) const
{
    for (int span = n / 2; span >= 1; span /= 2)
    {
        const int step = n / span; // twiddle index step in the 2N-point table
        for (int start = 0; start < n; start += 2 * span)
        {
            for (int j = 0; j < span; ++j)
            {
                Complex a = loadComplex(data, start + j);
                Complex b = loadComplex(data, start + j + span);
                Complex w{Pair::load(twiddleCos.get() + 2 * j * step), Pair::load(twiddleSin.get() + 2 * j * step)};
                storeComplex(data, start + j, a + b);
                storeComplex(data, start + j + span, (a - b) * w);
            }
        }
    }
}

// Decimation in time, exp(+2 pi i / N): bit-reversed in, natural order out,
// unscaled (N times the inverse).
void RealFft::inverseComplex(double* data) const
{
    for (int span = 1; span < n; span *= 2)
    {
        const int step = n / span;
        for (int start = 0; start < n; start += 2 * span)
        {
            for (int j = 0; j < span; ++j)
            {
                Complex a = loadComplex(data, start + j);
                Complex w{Pair::load(twiddleCos.get() + 2 * j * step), Pair::load(twiddleSin.get() + 2 * j * step)};
                Complex b = timesConjugate(loadComplex(data, start + j + span), w);
                storeComplex(data, start + j, a + b);
                storeComplex(data, start + j + span, a - b);
            }
        }
    }
}

// The split of the complex spectrum Z of (even + i odd) into the real
// spectrum, twice its value: X'[m] = S + T and X'[N - m] = conj(S) with T's
// real part negated, where S = Z[m] + conj(Z[N - m]) and
// T = W^m (-i) (Z[m] - conj(Z[N - m])).
void RealFft::forward(double* frame, double* spectrum) const
{
    forwardComplex(frame);
    Complex z0 = loadComplex(frame, 0);
    Pair sum = z0.re + z0.im, difference = z0.re - z0.im;
    (sum + sum).store(spectrum);
    (difference + difference).store(spectrum + 2);
    for (int m = 1; m < n / 2; ++m)
    {
        Complex zm = loadComplex(frame, bitReversed[m]);
        Complex zc = loadComplex(frame, bitReversed[n - m]);
        Complex w{Pair::load(twiddleCos.get() + 2 * m), Pair::load(twiddleSin.get() + 2 * m)};
        Complex s{zm.re + zc.re, zm.im - zc.im};
        Complex minusID{zm.im + zc.im, zc.re - zm.re};
        Complex t = w * minusID;
        storeComplex(spectrum, m, {s.re + t.re, s.im + t.im});
        storeComplex(spectrum, n - m, {s.re - t.re, t.im - s.im});
    }
    Complex middle = loadComplex(frame, bitReversed[n / 2]);
    storeComplex(spectrum, n / 2, {middle.re + middle.re, Pair(0.0) - (middle.im + middle.im)});
}

void RealFft::convolve(double* frame, const double* kernel) const
{
    forwardComplex(frame);

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
    for (int m = 1; m < n / 2; ++m)
    {
        const int im = bitReversed[m], ic = bitReversed[n - m];
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
        const int middle = bitReversed[n / 2];
        Complex z = loadComplex(frame, middle);
        Complex x{z.re + z.re, Pair(0.0) - (z.im + z.im)};
        Complex y = x * loadComplex(kernel, n / 2);
        storeComplex(frame, middle, {y.re + y.re, Pair(0.0) - (y.im + y.im)});
    }

    inverseComplex(frame);
}
