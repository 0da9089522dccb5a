// The per-sample path of the limiter, both channels as one pair, in signal
// flow order. Every derived value is read once per block; a parameter change
// lands at the next block.
#include "dsp/LimiterEngine.h"

#include "dsp/FloatingPointMode.h"

#include <algorithm>
#include <cmath>

namespace
{
// Input samples at or beyond this magnitude (and every NaN or infinity) are
// taken as silence: one of them would otherwise stay in the followers, the
// smoother and the meters for good. Squares of anything below it stay finite.
constexpr double kInputLimit = 1e100;
// Recursive gains are flushed by adding and removing this, which rounds away
// anything that would decay into the denormal range.
constexpr double kFlush = 1e-30;
// The leveller's envelope never falls below this (-100 dBFS).
constexpr double kEnvelopeFloor = 0.00001;
// Detector margin over the interpolated true peak.
constexpr double kTruePeakMargin = 1.001;

inline double flushed(double x) { return (x + kFlush) - kFlush; }
} // namespace

template <typename Sample>
void LimiterEngine::runKernel(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames)
{
    if (frames <= 0)
        return;
    FloatingPointMode mode;

    const KernelSettings& k = settings;
    const double kappa = k.kappa, mu = k.mu;
    const double driveTarget = k.driveTarget;
    const double outputTarget = k.autoOut ? 1.0 / driveTarget : k.outputGain.get();
    const Pair transient(k.transientAmount.get()), sustain(1.0 - k.transientAmount.get());
    const double link = k.link, unlinked = 1.0 - link;
    const double threshold = k.levellerThreshold;
    const bool levellerBypassed = k.levellerBypassed;
    const bool powerOn = k.powerTarget > 0.5;
    const bool truePeak = k.oversample != 0;
    const bool secondOrder = k.detectorOrder != 0;
    const bool quantize = k.quantize != 0;
    const int shown = k.attShow;
    const bool showRelease = shown & 1, showTransient = shown & 2, showLeveller = shown & 4;
    const double meterGain = k.postMeter ? 1.0 : drive;
    Pair attack[kFollowerCount], release[kFollowerCount];
    for (int i = 0; i < kFollowerCount; ++i)
    {
        attack[i] = Pair(k.attack[i].get());
        release[i] = Pair(k.release[i].get());
    }

    const int delayLength = latency();
    double* const rawDelay = inputDelay.get();
    double* const lookahead = lookaheadDelay.get();
    double* const smootherOut = smootherDelayLine.get();
    Pair stage1[kFollowerCount], stage2[kFollowerCount];
    for (int i = 0; i < kFollowerCount; ++i)
    {
        stage1[i] = Pair::load(followers.get() + 2 * i);
        stage2[i] = Pair::load(followers.get() + 2 * (kFollowerCount + i));
    }
    double g = drive, h = output, e = envelope;

    meters.beginBlock(k.meterRms, k.meterOvs != 0);
    requantizer.beginBlock(Requantizer::scaleForBits(k.bits), k.fade, k.autoblack != 0, k.noiseShaping);

    for (int n = 0; n < frames; ++n)
    {
        Pair x(double(inL[n]), double(inR[n]));
        x = keep(abs(x) < Pair(kInputLimit), x);

        // Smoothed drive and output gains (one pole at 30 Hz).
        g = flushed(g + kappa * (driveTarget - g));
        h = flushed(h + kappa * (outputTarget - h));

        // Raw input, delayed by the full latency for bypass and input meter.
        double* raw = rawDelay + 2 * inputDelayIndex;
        const Pair t = Pair::load(raw);
        x.store(raw);
        if (++inputDelayIndex >= delayLength)
            inputDelayIndex = 0;

        // Drive, then the leveller: a 1 s peak envelope against the threshold,
        // one gain for both channels.
        const Pair y = Pair(g) * x;
        const double peak = std::max(std::fabs(y.left()), std::fabs(y.right()));
        e = e + mu * (std::max(peak - kEnvelopeFloor, 0.0) + kEnvelopeFloor - e);
        const double levellerGain = (threshold >= e || levellerBypassed) ? 1.0 : threshold / e;
        const Pair z = Pair(levellerGain) * y;

        // Detector ring; 31 samples back it is also the alignment delay.
        detector.push(z);
        const Pair aligned = detector.behind(TruePeakInterpolator::kCentre);
        Pair detected = aligned;
        if (truePeak)
        {
            // The larger of the sample and the half-sample point after it,
            // with a small margin.
            const Pair between = detector.interpolate();
            detected = select(abs(between) < abs(aligned), aligned, between) * Pair(kTruePeakMargin);
        }
        const Pair level = abs(detected);

        // Lookahead: the signal waits L samples for its gain.
        double* ahead = lookahead + 2 * lookaheadIndex;
        const Pair u = Pair::load(ahead);
        aligned.store(ahead);
        if (++lookaheadIndex >= lookaheadLength)
            lookaheadIndex = 0;

        // Release path: the maximum over the lookahead window, linked across
        // the channels, through eight attack/release followers.
        const Pair windowPeak = longMaximum.push(level);
        const double both = std::max(windowPeak.left(), windowPeak.right());
        const Pair linked = Pair(link) * Pair(both) + Pair(unlinked) * windowPeak;
        Pair releaseLevel(1.0);
        for (int i = 0; i < kFollowerCount; ++i)
        {
            stage1[i] += (linked - stage1[i]) * select(linked >= stage1[i], attack[i], release[i]);
            if (secondOrder)
                stage2[i] += (stage1[i] - stage2[i]) * select(stage1[i] >= stage2[i], attack[i], release[i]);
            else
                stage2[i] = stage1[i];
            releaseLevel = max(releaseLevel, stage2[i]);
        }

        // Transient path: the maximum over N samples smoothed by the window
        // kernel, delayed to line up with the lookahead.
        const Pair smoothed = smoother.process(shortMaximum.push(level));
        double* delayed = smootherOut + 2 * smootherDelayIndex;
        const Pair o = Pair::load(delayed);
        smoothed.store(delayed);
        if (++smootherDelayIndex >= smootherDelayD)
            smootherDelayIndex = 0;

        // Gain computer.
        Pair r = t;
        Pair reading(1.0);
        if (powerOn)
        {
            const Pair gain = transient / max(Pair(1.0), o) + sustain / max(o, releaseLevel);
            r = gain * u * Pair(h);
            const Pair releaseGain = transient + sustain / releaseLevel;
            reading = (showTransient ? gain / releaseGain : Pair(1.0)) * (showRelease ? releaseGain : Pair(1.0)) *
                      (showLeveller ? Pair(levellerGain) : Pair(1.0));
        }

        meters.measure(t * Pair(meterGain), reading, r);

        if (quantize)
            r = requantizer.process(r, k.noiseShaping, random);

        r = max(min(r, Pair(1.0)), Pair(-1.0));
        outR[n] = Sample(r.right());
        outL[n] = Sample(r.left());
    }

    drive = g;
    output = h;
    envelope = e;
    for (int i = 0; i < kFollowerCount; ++i)
    {
        stage1[i].store(followers.get() + 2 * i);
        stage2[i].store(followers.get() + 2 * (kFollowerCount + i));
    }
    meters.endBlock();
}

void LimiterEngine::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}

void LimiterEngine::process(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}
