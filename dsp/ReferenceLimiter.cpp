// The limiter, one sample at a time (see the legend in ReferenceLimiter.h).
// Where the arithmetic is written in an order other than the textbook one
// (the gain as one quotient, the follower's coefficient), it is the order
// the fast paths use, so that both give the same bits.
#include "dsp/ReferenceLimiter.h"

#include "dsp/FloatingPointMode.h"
#include "dsp/InputBound.h"
#include "dsp/TruePeakInterpolator.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr int kAlign = 31;        // samples from the newest detector value to the aligned one
constexpr int kWindow = 64;       // detector and meter windows (pairs)
constexpr double kFloor = 1e-5;   // leveller envelope floor (-100 dBFS)
constexpr double kMargin = 1.001; // detector margin over the half-sample point

// As the vector instructions: on a tie (or a NaN) the second operand.
double larger(double a, double b) { return a > b ? a : b; }
double smaller(double a, double b) { return a < b ? a : b; }
// Rounds away whatever would decay into the denormal range.
double flushed(double x) { return (x + 1e-30) - 1e-30; }

// Ring of pairs: read the oldest, write the newest in its place.
void exchange(double* ring, int& index, int length, const double in[2], double out[2])
{
    for (int c = 0; c < 2; ++c)
    {
        out[c] = ring[2 * index + c];
        ring[2 * index + c] = in[c];
    }
    index = (index + 1) % length;
}
// Window of pairs, oldest first: shift by one, append the newest.
void append(double* window, int length, const double in[2])
{
    std::memmove(window, window + 2, sizeof(double) * 2 * (length - 1));
    window[2 * (length - 1)] = in[0];
    window[2 * (length - 1) + 1] = in[1];
}
const TruePeakInterpolator& interpolator()
{
    static const TruePeakInterpolator design;
    return design;
}
} // namespace

// What a block reads once, at its start.
struct ReferenceLimiter::Block
{
    double kappa, mu, driveTarget, outputTarget, T, link, theta;
    bool levellerBypassed, powerOn, secondOrder, halfSample, guarded, meterOvs, quantize;
    bool show1, show2, showL; // AttShow: release part, transient part, leveller
    double meterGain, rho, guardScale;
    double attack[kFollowerCount], release[kFollowerCount];
    const double* shaping;
};

ReferenceLimiter::ReferenceLimiter()
    : rawDelay(2 * (512 + kAlign)),
      detectorWindow(2 * kWindow),
      lookahead(2 * 512),
      longWindow(2 * 512),
      shortWindow(2 * 256),
      smootherDelay(2 * 512),
      meterWindow(2 * kWindow)
{
    setGeometry(0, 2);
    reset();
}

void ReferenceLimiter::setGeometry(int rateClass, int transShapeStep)
{
    static const int baseWindow[3] = {8, 16, 64};
    L = 128 << rateClass;
    N = baseWindow[transShapeStep] << rateClass;
    D = L - 2 * N + 2;
    smoother.prepareKernel(N);
}

void ReferenceLimiter::reset()
{
    g = settings.driveTarget;
    h = settings.outputGain;
    e = kFloor;
    std::memset(S1, 0, sizeof S1);
    std::memset(S2, 0, sizeof S2);
    for (AlignedBuffer<double>* b :
         {&rawDelay, &detectorWindow, &lookahead, &longWindow, &shortWindow, &smootherDelay, &meterWindow})
        b->clear();
    rawIndex = lookaheadIndex = longIndex = shortIndex = smootherIndex = 0;
    guard.clear();
    smoother.reset();
    requantizer.reset();
    random.reset();
    std::fill(inputPeak, inputPeak + 2, 0.0);
    std::fill(outputPeak, outputPeak + 2, 0.0);
    std::fill(inputSquare, inputSquare + 2, 0.0);
    std::fill(outputSquare, outputSquare + 2, 0.0);
    std::fill(deepest, deepest + 2, 1.0);
}

void ReferenceLimiter::sample(const Block& b, const double x[2], double out[2])
{
    // Drive: g glides to its target; y = g x.
    g = flushed(g + b.kappa * (b.driveTarget - g));
    double t[2];
    exchange(rawDelay.get(), rawIndex, L + kAlign, x, t);
    const double y[2] = {g * x[0], g * x[1]};

    // Leveller: one envelope e for both channels, gain A = theta / e above
    // the threshold.
    const double peak = std::max(std::fabs(y[0]), std::fabs(y[1]));
    e = e + b.mu * (std::max(peak - kFloor, 0.0) + kFloor - e);
    const double A = (b.levellerBypassed || b.theta >= e) ? 1.0 : b.theta / e;
    const double z[2] = {A * y[0], A * y[1]};

    // Detector: the levelled signal 31 samples back (aligned), or the larger
    // of it and the half-sample point after it, or the guard's
    // reconstructed peaks; E is scaled so that 1 is the most the output may
    // carry.
    double* window = detectorWindow.get();
    append(window, kWindow, z);
    double aligned[2] = {window[2 * (kWindow - 1 - kAlign)], window[2 * (kWindow - 1 - kAlign) + 1]};
    double E[2] = {aligned[0], aligned[1]};
    if (b.guarded)
    {
        // The guarded path carries the signal low-passed, as its detector
        // reads it, so the output holds its ceiling between the samples too.
        Pair lowPassed;
        const Pair peaks = guard.detect(window + 2 * (kWindow - 1), lowPassed) * Pair(b.guardScale);
        E[0] = peaks.left();
        E[1] = peaks.right();
        aligned[0] = lowPassed.left();
        aligned[1] = lowPassed.right();
    }
    else if (b.halfSample)
    {
        const Pair between = TruePeakInterpolator::pointOf(window, interpolator().coefficientPairs());
        const double mid[2] = {between.left(), between.right()};
        for (int c = 0; c < 2; ++c)
            E[c] = (std::fabs(mid[c]) < std::fabs(aligned[c]) ? aligned[c] : mid[c]) * kMargin;
    }
    const double level[2] = {std::fabs(E[0]), std::fabs(E[1])};

    // Lookahead: the aligned signal waits L samples for its gain.
    double u[2];
    exchange(lookahead.get(), lookaheadIndex, L, aligned, u);

    // Release path: W = max |E| over L samples, linked across the channels,
    // through eight attack/release followers; P = max(1, every output).
    double dropped[2], W[2] = {0.0, 0.0}, P[2] = {1.0, 1.0};
    exchange(longWindow.get(), longIndex, L, level, dropped);
    for (int i = 0; i < L; ++i)
        for (int c = 0; c < 2; ++c)
            W[c] = larger(W[c], longWindow[2 * i + c]);
    const double both = std::max(W[0], W[1]);
    for (int c = 0; c < 2; ++c)
    {
        const double linked = b.link * both + (1.0 - b.link) * W[c];
        for (int k = 0; k < kFollowerCount; ++k)
        {
            S1[k][c] += (linked - S1[k][c]) * (linked >= S1[k][c] ? b.attack[k] : b.release[k]);
            if (b.secondOrder)
                S2[k][c] += (S1[k][c] - S2[k][c]) * (S1[k][c] >= S2[k][c] ? b.attack[k] : b.release[k]);
            else
                S2[k][c] = S1[k][c];
            P[c] = larger(P[c], S2[k][c]);
        }
    }

    // Transient path: M = max |E| over N samples, smoothed by the window
    // kernel (N - 1 samples late) and delayed by D more: O lines up with u.
    double M[2] = {0.0, 0.0};
    exchange(shortWindow.get(), shortIndex, N, level, dropped);
    for (int i = 0; i < N; ++i)
        for (int c = 0; c < 2; ++c)
            M[c] = larger(M[c], shortWindow[2 * i + c]);
    const Pair smoothed = smoother.process(Pair(M[0], M[1]));
    const double smoothedPair[2] = {smoothed.left(), smoothed.right()};
    double O[2];
    exchange(smootherDelay.get(), smootherIndex, D, smoothedPair, O);

    // Output gain h glides to its target.
    h = flushed(h + b.kappa * (b.outputTarget - h));

    // Gain computer: G = T / max(1, O) + (1 - T) / max(O, P), written as one
    // quotient. R = G u h; power off passes t. Q multiplies the shown parts:
    // release B = T + (1 - T) / P, transient G / B, leveller A.
    double R[2], Q[2] = {1.0, 1.0};
    for (int c = 0; c < 2; ++c)
    {
        R[c] = t[c];
        if (!b.powerOn)
            continue;
        const double transientLevel = larger(1.0, O[c]), sustainLevel = larger(O[c], P[c]);
        const double G = (b.T * sustainLevel + (1.0 - b.T) * transientLevel) / (transientLevel * sustainLevel);
        R[c] = G * u[c] * h;
        if (b.show1 && b.show2)
            Q[c] = G;
        else if (b.show1 || b.show2)
        {
            const double B = b.T + (1.0 - b.T) / P[c];
            Q[c] = b.show2 ? G / B : B;
        }
        if (b.showL)
            Q[c] = Q[c] * A;
    }

    // Meters: input t (times the drive with "pre"), the reading Q, and R
    // (31 samples later and with its half-sample points under MeterOvs).
    double s[2] = {std::fabs(R[0]), std::fabs(R[1])};
    if (b.meterOvs)
    {
        append(meterWindow.get(), kWindow, R);
        const Pair between = TruePeakInterpolator::pointOf(meterWindow.get(), interpolator().coefficientPairs());
        const double* late = meterWindow.get() + 2 * (kWindow - 1 - kAlign);
        s[0] = std::fabs(late[0]);
        s[1] = std::fabs(late[1]);
        outputPeak[0] = larger(outputPeak[0], std::fabs(between.left()));
        outputPeak[1] = larger(outputPeak[1], std::fabs(between.right()));
    }
    for (int c = 0; c < 2; ++c)
    {
        const double a = std::fabs(t[c] * b.meterGain);
        inputPeak[c] = larger(inputPeak[c], a);
        inputSquare[c] += b.rho * (a * a - inputSquare[c]);
        deepest[c] = smaller(deepest[c], Q[c]);
        outputPeak[c] = larger(outputPeak[c], s[c]);
        outputSquare[c] += b.rho * (s[c] * s[c] - outputSquare[c]);
    }

    // Requantizer (dither, noise shaping, fade), then the clip to +-1.
    Pair r(R[0], R[1]);
    if (b.quantize)
        r = requantizer.process(r, b.shaping, random);
    out[0] = larger(smaller(r.left(), 1.0), -1.0);
    out[1] = larger(smaller(r.right(), 1.0), -1.0);
}

template <typename Sample>
void ReferenceLimiter::run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames)
{
    if (frames <= 0)
        return;
    FloatingPointMode mode;
    const KernelSettings& k = settings;
    Block b;
    b.kappa = k.kappa;
    b.mu = k.mu;
    b.driveTarget = k.driveTarget;
    b.outputTarget = k.autoOut ? 1.0 / b.driveTarget : k.outputGain.get();
    b.T = k.transientAmount;
    b.link = k.link;
    b.theta = k.levellerThreshold;
    b.levellerBypassed = k.levellerBypassed;
    b.powerOn = k.powerTarget > 0.5;
    b.secondOrder = k.detectorOrder != 0;
    b.guarded = k.truePeakGuard != 0;
    b.halfSample = k.oversample != 0 && !b.guarded;
    b.meterOvs = k.meterOvs != 0;
    b.quantize = k.quantize != 0;
    b.show1 = k.attShow & 1;
    b.show2 = k.attShow & 2;
    b.showL = k.attShow & 4;
    b.meterGain = k.postMeter ? 1.0 : g;
    b.rho = k.meterRms;
    const FollowerCoefficients& coefficients = settings.followers.take();
    std::copy(coefficients.attack, coefficients.attack + kFollowerCount, b.attack);
    std::copy(coefficients.release, coefficients.release + kFollowerCount, b.release);
    b.shaping = k.noiseShaping;
    const double q = Requantizer::scaleForBits(k.bits);
    b.guardScale = 0.0;
    if (b.guarded)
    {
        const double error = b.quantize ? TruePeakGuard::requantizerHeadroom(q, b.shaping) : 0.0;
        b.guardScale = TruePeakGuard::detectorScale(h, b.outputTarget, error);
    }
    requantizer.beginBlock(q, k.fade, k.autoblack != 0, b.shaping);

    for (int n = 0; n < frames; ++n)
    {
        const double x[2] = {boundedInput(double(inL[n])), boundedInput(double(inR[n]))};
        double out[2];
        sample(b, x, out);
        // Right first: a mono host's single buffer keeps the left result.
        outR[n] = Sample(out[1]);
        outL[n] = Sample(out[0]);
    }
}

void ReferenceLimiter::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    run(inL, inR, outL, outR, frames);
}

void ReferenceLimiter::process(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    run(inL, inR, outL, outR, frames);
}

void ReferenceLimiter::getMeterSnapshot(float values[10])
{
    for (int c = 0; c < 2; ++c)
    {
        values[c] = float(inputPeak[c]);
        values[2 + c] = float(outputPeak[c]);
        values[4 + c] = float(std::sqrt(2.0 * inputSquare[c]));
        values[6 + c] = float(std::sqrt(2.0 * outputSquare[c]));
        values[8 + c] = float(deepest[c]);
        inputPeak[c] = outputPeak[c] = 0.0;
        deepest[c] = 1.0;
    }
}
