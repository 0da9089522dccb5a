#include "dsp/TruePeakGuard.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.141592653589793;
// Kaiser window shape: about 65 dB of stop band. With 48 taps per phase the
// transition band then spans 0.459 .. 0.541 of the sample rate: flat to
// 20.2 kHz at 44.1 kHz, images of the pass band at least 65 dB down.
constexpr double kKaiserBeta = 6.2;
// Margin over the refined grid peak, for what the grid can still miss: a
// sine at half the sample rate peaks 0.074 dB above the parabola through
// its 4x samples (0.043 dB at 0.45 of the rate); the filter's own ripple and
// image leakage add under 0.01 dB. The rest is for the gain's movement,
// which the span of intervals does not cover entirely: with the strongest
// transient shaping of the factory set, clipped drums 6 dB over the ceiling
// still peaked 0.03 dB over it with a margin of 0.10 dB (0.02 dB with a
// span of nine intervals, which costs as much loudness).
constexpr double kMargin = 1.016; // +0.14 dB
// Below this headroom the ceiling is lost to the requantizer's own noise:
// the guard then holds the music 40 dB under the ceiling and no lower.
constexpr double kSmallestShare = 0.01;

// Zeroth-order modified Bessel function of the first kind, by its series.
double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    const double quarter = x * x * 0.25;
    for (int k = 1; k < 64 && term > sum * 1e-17; ++k)
    {
        term *= quarter / (double(k) * double(k));
        sum += term;
    }
    return sum;
}

// The reconstruction filter's tap for a sample `distance` samples away from
// the point interpolated, windowed to +-span samples.
double tap(double distance, double span)
{
    const double sinc = distance == 0.0 ? 1.0 : std::sin(kPi * distance) / (kPi * distance);
    const double r = distance / span;
    if (r <= -1.0 || r >= 1.0)
        return 0.0;
    return sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / besselI0(kKaiserBeta);
}

// The tap of the meter's 49-tap filter at `factor` times the rate for a
// sample `distance` samples away: sin(x)/x under a Hann window.
double meterTap(double distance, int factor)
{
    const double j = 24.0 + factor * distance;
    if (j < 0.0 || j > 48.0)
        return 0.0;
    const double sinc = distance == 0.0 ? 1.0 : std::sin(kPi * distance) / (kPi * distance);
    return sinc * 0.5 * (1.0 - std::cos(2.0 * kPi * j / 48.0));
}

} // namespace

TruePeakGuard::TruePeakGuard() : coefficients(2 * 3 * 2 * kHalfTaps), state(2 * kSpan)
{
    // The taps of the quarter phase for the older sample c - n and the newer
    // sample c + 1 + n; the three-quarter phase uses them mirrored, the half
    // phase is symmetric. Stored as the even and odd parts of each pair so
    // both quarter phases come from one pass.
    double quarterOlder[kHalfTaps], quarterNewer[kHalfTaps], half[kHalfTaps];
    double quarterSum = 0.0, halfSum = 0.0;
    for (int n = 0; n < kHalfTaps; ++n)
    {
        quarterOlder[n] = tap(0.25 + n, kHalfTaps);
        quarterNewer[n] = tap(0.75 + n, kHalfTaps);
        half[n] = tap(0.5 + n, kHalfTaps);
        quarterSum += quarterOlder[n] + quarterNewer[n];
        halfSum += 2.0 * half[n];
    }
    double* c = coefficients.get();
    for (int n = 0; n < kHalfTaps; ++n)
    {
        const double older = quarterOlder[n] / quarterSum, newer = quarterNewer[n] / quarterSum;
        c[6 * n] = c[6 * n + 1] = 0.5 * (older + newer);
        c[6 * n + 2] = c[6 * n + 3] = 0.5 * (older - newer);
        c[6 * n + 4] = c[6 * n + 5] = half[n] / halfSum;
    }
    setMeterRate(44100);
}

void TruePeakGuard::setMeterRate(int rate)
{
    const int factor = rate < 96000 ? 4 : rate < 192000 ? 2 : 1;
    // The meter's filter is used as it is, unnormalised: its reading is
    // what is to be matched, not the signal.
    double* c = coefficients.get() + 6 * kHalfTaps;
    meterPairs = factor == 1 ? 0 : 24 / factor; // samples within the 49 taps
    for (int n = 0; n < kHalfTaps; ++n)
    {
        double even = 0.0, odd = 0.0, half = 0.0;
        // At 2x the meter reads the half-sample points only.
        if (n < meterPairs && factor == 4)
        {
            const double older = meterTap(0.25 + n, factor), newer = meterTap(0.75 + n, factor);
            even = 0.5 * (older + newer);
            odd = 0.5 * (older - newer);
        }
        if (n < meterPairs)
            half = meterTap(0.5 + n, factor);
        c[6 * n] = c[6 * n + 1] = even;
        c[6 * n + 2] = c[6 * n + 3] = odd;
        c[6 * n + 4] = c[6 * n + 5] = half;
    }
}

void TruePeakGuard::clear() { state.clear(); }

Pair TruePeakGuard::interpolateAt(const double* newest, int behind, int quarter) const
{
    const double* start = newest - 2 * behind;
    const double* c = coefficients.get();
    Pair even, odd, halfway;
    for (int n = 0; n < kHalfTaps; ++n)
    {
        const Pair older = Pair::load(start - 2 * n), newer = Pair::load(start + 2 * (1 + n));
        even += Pair::load(c + 6 * n) * (older + newer);
        odd += Pair::load(c + 6 * n + 2) * (older - newer);
        halfway += Pair::load(c + 6 * n + 4) * (older + newer);
    }
    return quarter == 1 ? even + odd : quarter == 3 ? even - odd : halfway;
}

double TruePeakGuard::requantizerHeadroom(double scale, const double* shaping)
{
    double gain = 1.0;
    if (shaping)
        for (int k = 0; k < 12; ++k)
            gain += std::fabs(shaping[k]);
    return 2.0 * gain / scale;
}

double TruePeakGuard::detectorScale(double outputNow, double outputTarget, double requantizerError)
{
    // For an output gain h the samples before it may reach
    // (min(h, 1) - error) / h; the gain only glides between the two values,
    // and that bound is lowest at one of its ends.
    auto needed = [&](double h) {
        const double ceiling = std::min(h, 1.0);
        return h / std::max(ceiling - requantizerError, ceiling * kSmallestShare);
    };
    return kMargin * std::max(needed(outputNow), needed(outputTarget));
}
