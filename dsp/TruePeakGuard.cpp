#include "dsp/TruePeakGuard.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.141592653589793;
// The low-pass: cut-off (-6 dB) at 0.46 of the rate, Kaiser window shape for
// 63 dB of stop band; over +-24 samples the transition then spans 0.42 ..
// 0.50 of the rate, so its phases read the reconstruction of what it passes
// (nothing of it lies beyond half the rate) to 0.1 % of full scale.
constexpr double kCutOff = 0.46;
constexpr double kKaiserBeta = 6.0;
// Margin over the refined grid peak. Without any, the hardest material
// (clipped drums, hot noise, abrupt tones, impulse pairs, at every rate)
// passed the ceiling of the reconstruction by 0.018 dB at most, from what
// the 4x grid misses of the highest frequencies the low-pass lets through
// and from the gain's movement; the BS.1770 reading that the detector
// emulates stayed under it. Meters of other filters read a little higher:
// ffmpeg's (a resampler to 192 kHz) read the demo's drums 0.047 dB above
// this one, and 0.037 dB above the reconstruction. Each 0.01 dB of margin
// costs about 0.006 LU of loudness on densely limited music.
constexpr double kMargin = 1.009253; // +0.08 dB
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

// The low-pass's tap for a sample `distance` samples away from the point
// interpolated, windowed to +-span samples (unscaled).
double tap(double distance, double span)
{
    const double x = 2.0 * kCutOff * distance;
    const double sinc = distance == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
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

TruePeakGuard::TruePeakGuard()
    : coefficients(2 * 3 * kHalfTaps),
      taps{},
      windowFloats(2 * (kBefore + kMaxRun)),
      points1(2 * (1 + kMaxRun)),
      points2(2 * (1 + kMaxRun)),
      points3(2 * (1 + kMaxRun)),
      meterReadings(2 * (1 + kMaxRun)),
      lowFloats(2 * (1 + kMaxRun)),
      intervalPeak(2 * (kSpan - 1 + kMaxRun)),
      lowPassed(2 * (kAlignedDelay + kMaxRun))
{
    static_assert(guardlanes::Taps::kHalfTaps == kHalfTaps && guardlanes::Taps::kMeterPairs == kMeterPairs,
                  "the lanes' sums read as many taps as the guard designs");
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
        taps.even[n] = float(c[6 * n]);
        taps.odd[n] = float(c[6 * n + 2]);
        taps.half[n] = float(c[6 * n + 4]);
    }
    double centreSum = tap(0.0, kHalfTaps);
    for (int n = 1; n <= kHalfTaps; ++n)
        centreSum += 2.0 * tap(n, kHalfTaps);
    for (int n = 0; n <= kHalfTaps; ++n)
        taps.centre[n] = tap(n, kHalfTaps) / centreSum;
    setMeterRate(44100);
}

void TruePeakGuard::setMeterRate(int rate)
{
    const int factor = rate < 96000 ? 4 : rate < 192000 ? 2 : 1;
    // At the rate itself the meter reads the samples, which the refined
    // grid includes.
    meterPhases = factor == 1 ? 0 : factor;
    // The meter reads the output, and the output is the low-passed signal:
    // its taps on the low-passed samples, folded with the low-pass's phase 0,
    // are its taps on the detector's samples. The meter's filter is used as
    // it is, unnormalised: its reading is what is to be matched, not the
    // signal.
    auto folded = [&](double point, int sample) {
        double sum = 0.0;
        for (int j = sample - kHalfTaps; j <= sample + kHalfTaps; ++j)
            sum += meterTap(point - j, factor) * taps.centre[std::abs(j - sample)];
        return sum;
    };
    for (int n = 0; n < kMeterPairs; ++n)
    {
        double even = 0.0, odd = 0.0, half = 0.0;
        if (factor > 1)
            half = folded(0.5, -n);
        // At 2x the meter reads the half-sample points only.
        if (factor == 4)
        {
            const double older = folded(0.25, -n), newer = folded(0.25, 1 + n);
            even = 0.5 * (older + newer);
            odd = 0.5 * (older - newer);
        }
        taps.meterEven[n] = float(even);
        taps.meterOdd[n] = float(odd);
        taps.meterHalf[n] = float(half);
    }
}

void TruePeakGuard::clear()
{
    points3.clear();
    lowFloats.clear();
    intervalPeak.clear();
    lowPassed.clear();
}

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
