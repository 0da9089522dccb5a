// The per-sample path of the limiter, both channels as one pair, in signal
// flow order, arranged for speed. ReferenceLimiter.cpp is the same path
// written plainly, and the bits these loops must give: read it first.
// Every derived value is read once per block; a parameter change lands at
// the next block. Included by one file per instruction set, which compiles
// this loop for it (LimiterKernelSse2.cpp, ...Avx2.cpp, ...Avx512.cpp);
// LimiterKernel.cpp sets up a block and picks the loop.
#pragma once

#include "dsp/LimiterEngine.h"

#include "dsp/FloatingPointMode.h"
#include "dsp/FollowerBank.h"
#include "dsp/InputBound.h"
#include "dsp/MeterLevels.h"
#include "dsp/WideDither.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace kernel
{
// Recursive gains are flushed by adding and removing this, which rounds away
// anything that would decay into the denormal range.
constexpr double kFlush = 1e-30;
// The leveller's envelope never falls below this (-100 dBFS).
constexpr double kEnvelopeFloor = 0.00001;
// Detector margin over the interpolated true peak.
constexpr double kTruePeakMargin = 1.001;

inline double flushed(double x) { return (x + kFlush) - kFlush; }

// A block-long switch kept as the flag it is: left to itself, the compiler
// rebuilds such a test from the values it compared every sample, four
// instructions where one does.
inline bool keptAsFlag(bool flag)
{
#if defined(__GNUC__)
    asm("" : "+r"(flag));
#endif
    return flag;
}

// Samples until a delay line's index wraps: at least one, also for an index
// left beyond a shorter new length (a rate change), which then wraps after
// that one sample as it always has.
inline int roomBefore(int index, int length) { return std::max(1, length - index); }
inline void advance(int& index, int samples, int length)
{
    index += samples;
    if (index >= length)
        index = 0;
}

// The switches that change the shape of the sample loop; each combination
// gets its own compiled loop, so the others cost nothing. (As block-long
// flags, the requantizer's and the oversampled meter's tests cost some three
// instructions a frame each, 1.5 % of the default program's loop.)
constexpr unsigned kSecondOrder = 1;      // DetectorOrder "II": two follower stages
constexpr unsigned kTruePeak = 2;         // Oversample: detector sees the half-sample points
constexpr unsigned kOversampledMeter = 4; // MeterOvs: output meter sees them too
constexpr unsigned kQuantize = 8;         // requantizer on
constexpr unsigned kGuard = 16;           // TP Guard: detector sees the reconstructed peaks (replaces kTruePeak)
constexpr unsigned kShapes = 32;

// The guard replaces the half-sample detector, so a shape with both bits
// never runs: it shares the guard's loop instead of compiling its own.
constexpr unsigned liveShape(unsigned shape) { return (shape & kGuard) ? shape & ~kTruePeak : shape; }
} // namespace kernel

struct LimiterEngine::BlockConstants
{
    double kappa, mu, driveTarget, outputTarget;
    Pair transient, sustain; // T and 1 - T
    double link, unlinked;   // lambda and 1 - lambda
    double threshold;
    bool levellerBypassed, powerOn;
    bool showRelease, showTransient, showLeveller;
    Pair meterGain;
    Pair release[kFollowerCount];
    Pair attackXorRelease[kFollowerCount]; // see selectBetween
    const double* noiseShaping;
    Pair guardScale; // TP Guard: detector level per unit of the allowed output
};

struct LimiterEngine::BlockState
{
    double g, h, e;
};

namespace kernel
{
// What the recursive side of a sample leaves for its output side: the raw
// input delayed for bypass and the input meter, the lookahead's output, the
// release level and the leveller's gain.
struct Handover
{
    Pair t, u, releaseLevel;
    double levellerGain;
};

// Where the handovers of one stretch wait while the output side trails. What
// the half-sample detector's run worked out ahead (t and the leveller's
// gain) the output side reads from the run instead.
template <bool FromRun>
struct HandoverQueue
{
    KernelScratch& s;
    int runOffset; // the stretch's first sample, counted from the run's

    void put(int j, const Handover& v) const
    {
        if constexpr (!FromRun)
        {
            v.t.store(s.stretchRaw + 2 * j);
            s.stretchLeveller[j] = v.levellerGain;
        }
        v.u.store(s.ahead + 2 * j);
        v.releaseLevel.store(s.release + 2 * j);
    }
    Handover take(int j) const
    {
        Handover v;
        if constexpr (FromRun)
        {
            v.t = Pair::load(s.raw + 2 * (runOffset + j));
            v.levellerGain = s.leveller[runOffset + j];
        }
        else
        {
            v.t = Pair::load(s.stretchRaw + 2 * j);
            v.levellerGain = s.stretchLeveller[j];
        }
        v.u = Pair::load(s.ahead + 2 * j);
        v.releaseLevel = Pair::load(s.release + 2 * j);
        return v;
    }
};

// Runs, for each sample j of a stretch, its recursive side and then, from
// what that hands over, its output side. Done in one go, the chain from a
// sample's input to its output (the gain's division, the meters) is too
// long for the processor to have more than about two samples in flight; so
// the recursive sides of the whole stretch go first, their handovers
// waiting in the queue, and then the output sides, whose samples depend on
// each other only through short chains (the output gain, the meters, the
// requantizer's error) and overlap as far as the processor reaches.
// `together` runs both sides of a sample in one go, for loops with enough
// other work in flight. Left to the compiler's inlining: forced in early,
// it would keep the wide loops' flattening from reaching the direct sums of
// the transient path.
template <typename Queue, typename Recursive, typename Output>
inline void runTrailing(int count, bool together, const Queue& queue, Recursive&& recursiveSide, Output&& outputSide)
{
    if (together)
    {
        for (int j = 0; j < count; ++j)
            outputSide(j, recursiveSide(j));
        return;
    }
    for (int j = 0; j < count; ++j)
        queue.put(j, recursiveSide(j));
    for (int j = 0; j < count; ++j)
        outputSide(j, queue.take(j));
}
} // namespace kernel

template <unsigned Shape, SimdLevel Isa>
void LimiterEngine::runSamples(const BlockConstants& b, BlockState& state, const double* inL, const double* inR,
                               double* outL, double* outR, int frames)
{
    using namespace kernel;
    constexpr bool secondOrder = Shape & kSecondOrder;
    constexpr bool truePeak = Shape & kTruePeak;
    constexpr bool guarded = Shape & kGuard;
    constexpr bool oversampledMeter = Shape & kOversampledMeter;
    constexpr bool quantize = Shape & kQuantize;
    // The detector side of each run is worked out ahead of the gain loop.
    constexpr bool runAhead = truePeak || guarded;
    static_assert(kDetectorRun <= TruePeakGuard::kMaxRun, "the guard takes a whole run");

    const int delayLength = latency();
    const int lookaheadLimit = lookaheadLength, smootherDelayLimit = smootherDelayD;
    int rawIndex = inputDelayIndex, aheadIndex = lookaheadIndex, smootherIndex = smootherDelayIndex;
    double* const rawDelay = inputDelay.get();
    double* const lookahead = lookaheadDelay.get();
    double* const smootherOut = smootherDelayLine.get();
    double g = state.g, h = state.h, e = state.e;
    // Once a smoothed gain has come as close to its target as the rounding
    // lets it, its step gives the same value back, and so does every later
    // one: for the rest of the block it is a constant.
    const bool driveSettled = keptAsFlag(flushed(g + b.kappa * (b.driveTarget - g)) == g);
    const bool outputSettled = keptAsFlag(flushed(h + b.kappa * (b.outputTarget - h)) == h);
    const bool fullyLinked = keptAsFlag(b.link == 1.0); // and so b.unlinked == 0.0
    FollowerBank<Isa, secondOrder> followerBank(followers.get(), followers.get() + 2 * kFollowerCount,
                                                reinterpret_cast<const double*>(b.attackXorRelease),
                                                reinterpret_cast<const double*>(b.release));
    // Fully linked, with both channels' followers alike, one channel's
    // followers do for both at half the operations.
    const bool mergedFollowers =
        keptAsFlag(fullyLinked && channelsAlike(followers.get(), followers.get() + 2 * kFollowerCount));
    if (mergedFollowers)
        followerBank.merge();

    // The detector side of one sample: input, drive, delayed raw input (its
    // slot in the delay given) and the leveller; returns the pair for the
    // detector ring.
    auto detectorSide = [&](int n, double* raw, Pair& t, double& levellerGain) {
        Pair x(inL[n], inR[n]);
        x = boundedInput(x);

        // Smoothed drive gain (one pole at 30 Hz).
        if (!driveSettled)
            g = flushed(g + b.kappa * (b.driveTarget - g));

        // Raw input, delayed by the full latency for bypass and input meter.
        t = Pair::load(raw);
        x.store(raw);

        // Drive, then the leveller: a 1 s peak envelope against the threshold,
        // one gain for both channels.
        const Pair y = Pair(g) * x;
        const double peak = std::max(std::fabs(y.left()), std::fabs(y.right()));
        e = e + b.mu * (std::max(peak - kEnvelopeFloor, 0.0) + kEnvelopeFloor - e);
        levellerGain = (b.levellerBypassed || b.threshold >= e) ? 1.0 : b.threshold / e;
        return Pair(levellerGain) * y;
    };

    constexpr int kHistory = KernelScratch::kHistory;
    static_assert(kDetectorRun <= BlockConvolver::kMaxDirectRun, "a stretch's direct sums come after its inputs");
    // The shortest smoother delay for which the direct sums come after a
    // stretch.
    constexpr int kMinSumAfterDelay = 32;
    const bool sumsAfter = smoother.isDirect() && smootherDelayLimit >= kMinSumAfterDelay;
    const bool sumsEachSample = keptAsFlag(smoother.isDirect() && !sumsAfter);
    KernelScratch& run = *scratch.get();
    double* const window = run.window;

    MeterLevels<Isa> levels(meters.runningLevels());
    Requantizer::Running quantizerState = requantizer.running();
    WideDither<Isa> dither(random);
    for (int runStart = 0; runStart < frames; runStart += kDetectorRun)
    {
        const int runEnd = std::min(frames, runStart + kDetectorRun);
        if constexpr (runAhead)
        {
            // The detector side of the whole run first: the half-sample points
            // (or the guard's peaks) then come several samples per operation.
            std::copy(detector.newest() - 2 * (kHistory - 1), detector.newest() + 2, window);
            // (See KernelScratch::windowOdd.)
            constexpr bool oddWindow = truePeak && !guarded && Isa == SimdLevel::Avx2;
            if constexpr (oddWindow)
                std::copy(window + 2, window + 2 * kHistory, run.windowOdd);
            for (int n = runStart; n < runEnd;)
            {
                // In stretches that wrap neither the raw delay nor the ring.
                const int stretch = std::min({runEnd - n, roomBefore(rawIndex, delayLength), detector.room()});
                double* const rawSlot = rawDelay + 2 * rawIndex;
                double* const detectorSlot = detector.firstSlot();
                for (int j = 0; j < stretch; ++j, ++n)
                {
                    const int i = n - runStart;
                    Pair t;
                    const Pair z = detectorSide(n, rawSlot + 2 * j, t, run.leveller[i]);
                    // Detector ring; 31 samples back it is also the alignment delay.
                    TruePeakInterpolator::pushAt(detectorSlot, j, z);
                    t.store(run.raw + 2 * i);
                    z.store(window + 2 * (kHistory + i));
                    if constexpr (oddWindow)
                        z.store(run.windowOdd + 2 * (kHistory + i - 1));
                    TruePeakInterpolator::behindAt(detectorSlot, j, TruePeakInterpolator::kCentre)
                        .store(run.aligned + 2 * i);
                }
                advance(rawIndex, stretch, delayLength);
                detector.advance(stretch);
            }
            const int count = runEnd - runStart;
            if constexpr (guarded)
                guard.detectRun<Isa>(window + 2 * kHistory, count, run.between, run.aligned);
            else
            {
                int i = 0;
                const double* c = detector.coefficientPairs();
#ifdef ZELVO_WIDE_SIMD
                if constexpr (Isa == SimdLevel::Avx512)
                    i = avx512::halfSamplePoints(window, count & ~3, c, run.between);
                else if constexpr (Isa == SimdLevel::Avx2)
                    i = avx2::halfSamplePoints(window, run.windowOdd, count & ~1, c, run.between);
#endif
                for (; i < count; ++i)
                    TruePeakInterpolator::pointOf(window + 2 * i, c).store(run.between + 2 * i);
            }
        }

        // The gain loop goes in stretches in which no delay line, ring or
        // maximum run wraps: within one, every slot is its stretch's first
        // plus the sample's place, and the positions move once at its end.
        // An index left beyond a shorter new length (a rate change) gets a
        // stretch of one sample, after which it wraps as it always has.
        //
        // With the direct smoother the whole transient path (short maximum,
        // then the sum) comes after the stretch, from the levels the stretch
        // leaves: its output is read one smoother delay later, so stretches
        // are then no longer than that delay. That pays where the delay
        // leaves stretches of some length; with the longest window it is a
        // few samples, and the sums go sample by sample instead.
        for (int n = runStart; n < runEnd;)
        {
            int stretch = std::min(
                {runEnd - n, roomBefore(aheadIndex, lookaheadLimit), kDetectorRun - smootherIndex, longMaximum.room()});
            if constexpr (!runAhead)
                stretch = std::min({stretch, roomBefore(rawIndex, delayLength), detector.room()});
            if (sumsAfter)
                stretch = std::min({stretch, smootherDelayLimit, smoother.directRoom()});
            if (oversampledMeter)
            {
                Pair peak = levels.outputPeak();
                stretch = std::min(stretch, meters.outputSlots<Isa>(peak));
                levels.setOutputPeak(peak);
            }
            double* const meterSlot = oversampledMeter ? meters.firstOutputSlot() : nullptr;
            double* const rawSlot = rawDelay + 2 * rawIndex;
            double* const detectorSlot = detector.firstSlot();
            double* const aheadSlot = lookahead + 2 * aheadIndex;
            double* const delayedSlot = smootherOut + 2 * smootherIndex;
            double* const smoothedSlot = delayedSlot + 2 * smootherDelayLimit;
            double* const historySlot = smoother.directSlot();
            SlidingMaximum::Stretch longRun = longMaximum.begin();
            const int stretchStart = n, stretchEnd = n + stretch;
            // Each sample has a recursive side (detector, lookahead, release,
            // transient) and, from what that hands over, an output side (gain,
            // meters, requantizer, output); runTrailing schedules the two.
            // The recursive side comes in two forms, with the merged follower
            // bank and without: with only one form's followers in the loop,
            // their states stay in registers, where the chain from one sample
            // to the next is shortest.
            auto recursiveSideOf = [&](auto merged) {
                return [&, merged](int j) {
                    const int sample = stretchStart + j, i = sample - runStart;
                    Handover v;
                    Pair aligned;
                    if constexpr (runAhead)
                    {
                        aligned = Pair::load(run.aligned + 2 * i);
                        v.t = Pair::load(run.raw + 2 * i);
                        v.levellerGain = run.leveller[i];
                    }
                    else
                    {
                        // Detector ring; 31 samples back it is also the alignment delay.
                        TruePeakInterpolator::pushAt(detectorSlot, j,
                                                     detectorSide(sample, rawSlot + 2 * j, v.t, v.levellerGain));
                        aligned = TruePeakInterpolator::behindAt(detectorSlot, j, TruePeakInterpolator::kCentre);
                    }
                    Pair detected = aligned;
                    if (guarded)
                    {
                        // The reconstructed peaks around the aligned sample, scaled so
                        // that a level of 1 is the most the output may carry; the
                        // signal goes on low-passed (aligned), as the detector reads it.
                        detected = Pair::load(run.between + 2 * i) * b.guardScale;
                    }
                    else if (truePeak)
                    {
                        // The larger of the sample and the half-sample point after it,
                        // with a small margin.
                        const Pair between = Pair::load(run.between + 2 * i);
                        detected = select(abs(between) < abs(aligned), aligned, between) * Pair(kTruePeakMargin);
                    }
                    const Pair level = abs(detected);

                    // Lookahead: the signal waits L samples for its gain.
                    double* ahead = aheadSlot + 2 * j;
                    v.u = Pair::load(ahead);
                    aligned.store(ahead);

                    // Release path: the maximum over the lookahead window, linked across
                    // the channels, through eight attack/release followers.
                    const Pair windowPeak = longRun.push(j, level);
                    const double both = std::max(windowPeak.left(), windowPeak.right());
                    // Fully linked (most programs) the blend is both channels' maximum
                    // exactly (1 x m + 0 x p, p not negative); taking it as it is keeps
                    // two products and a sum off the way to the followers.
                    const Pair linked =
                        fullyLinked ? Pair(both) : Pair(b.link) * Pair(both) + Pair(b.unlinked) * windowPeak;
                    if constexpr (decltype(merged)::value)
                        v.releaseLevel = followerBank.stepMerged(both);
                    else
                        v.releaseLevel = followerBank.step(linked);

                    // Transient path: the maximum over N samples smoothed by the window
                    // kernel, delayed to line up with the lookahead.
                    if (sumsAfter)
                        level.store(run.levels + 2 * j);
                    else
                        smoother.process<Isa>(shortMaximum.push(level)).store(smoothedSlot + 2 * j);
                    return v;
                };
            };
            // The smoothed value a sample reads is one smoother delay old:
            // written in an earlier stretch, or (a stretch longer than the
            // delay) by the recursive side of a sample D before it, which
            // has run by then.
            auto outputSide = [&](int j, const Handover& v) {
                // Smoothed output gain (one pole at 30 Hz).
                if (!outputSettled)
                    h = flushed(h + b.kappa * (b.outputTarget - h));
                const Pair t = v.t, u = v.u, releaseLevel = v.releaseLevel;
                const Pair o = Pair::load(delayedSlot + 2 * j);

                // Gain computer: the transient part limits to the smoothed peak, the
                // rest to the larger of it and the release level. Power off passes
                // the raw input, delayed like the signal.
                Pair r = t;
                Pair reading(1.0);
                if (b.powerOn)
                {
                    // T / p + S / q as one quotient: a division costs more than
                    // the three products it saves. Both levels lie between 1 and
                    // the order of the input bound times the drive, so the
                    // product stays finite.
                    const Pair transientLevel = max(Pair(1.0), o), sustainLevel = max(o, releaseLevel);
                    const Pair gain =
                        (b.transient * sustainLevel + b.sustain * transientLevel) / (transientLevel * sustainLevel);
                    r = gain * u * Pair(h);
                    // The reading multiplies the shown parts of the gain: the
                    // transient part is the gain over the release part, so with
                    // both shown it is the gain itself and needs no division.
                    if (b.showTransient && b.showRelease)
                        reading = gain;
                    else if (b.showTransient || b.showRelease)
                    {
                        const Pair releaseGain = b.transient + b.sustain / releaseLevel;
                        reading = b.showTransient ? gain / releaseGain : releaseGain;
                    }
                    if (b.showLeveller)
                        reading = reading * Pair(v.levellerGain);
                }

                levels.template measure<oversampledMeter>(t * b.meterGain, reading, r,
                                                          oversampledMeter ? meterSlot + 2 * j : nullptr);

                if (quantize)
                    r = requantizer.process<Isa>(quantizerState, r, b.noiseShaping, dither.triangular());

                r = max(min(r, Pair(1.0)), Pair(-1.0));
                storeSamples(r, outL + stretchStart + j, outR + stretchStart + j);
            };
            const HandoverQueue<runAhead> queue{run, stretchStart - runStart};
            if (mergedFollowers)
                runTrailing(stretch, sumsEachSample, queue, recursiveSideOf(std::true_type()), outputSide);
            else
                runTrailing(stretch, sumsEachSample, queue, recursiveSideOf(std::false_type()), outputSide);
            n = stretchEnd;
            if constexpr (!runAhead)
            {
                advance(rawIndex, stretch, delayLength);
                detector.advance(stretch);
            }
            advance(aheadIndex, stretch, lookaheadLimit);
            if (oversampledMeter)
                meters.outputsMeasured(stretch);
            longMaximum.end(longRun, stretch);
            if (sumsAfter)
            {
                for (int j = 0; j < stretch;)
                {
                    // In parts that stay inside one run of the short maximum.
                    const int part = std::min(stretch - j, shortMaximum.room());
                    SlidingMaximum::Stretch shortRun = shortMaximum.begin();
                    for (int k = 0; k < part; ++k, ++j)
                        smoother.storeDirectAt(historySlot, j, shortRun.push(k, Pair::load(run.levels + 2 * j)));
                    shortMaximum.end(shortRun, part);
                }
                smoother.sumDirect<Isa>(historySlot, stretch, smoothedSlot);
                smoother.advanceDirect(stretch);
            }
            // The line moves once its last stretch's values are all in.
            smootherIndex += stretch;
            if (smootherIndex == kDetectorRun)
            {
                std::copy(smootherOut + 2 * kDetectorRun, smootherOut + 2 * (kDetectorRun + smootherDelayLimit),
                          smootherOut);
                smootherIndex = 0;
            }
        }
    }

    meters.keepRunningLevels(levels.levels());
    requantizer.keep(quantizerState);
    if constexpr (quantize)
        dither.save();
    if (oversampledMeter)
        meters.flushOversampled<Isa>();

    inputDelayIndex = rawIndex;
    lookaheadIndex = aheadIndex;
    smootherDelayIndex = smootherIndex;
    state.g = g;
    state.h = h;
    state.e = e;
    followerBank.save(followers.get(), followers.get() + 2 * kFollowerCount);
}

// The same loop with everything it calls compiled for one instruction set.
template <unsigned Shape>
void LimiterEngine::runSamplesSse2(const BlockConstants& block, BlockState& state, const double* inL, const double* inR,
                                   double* outL, double* outR, int frames)
{
    runSamples<Shape, SimdLevel::Sse2>(block, state, inL, inR, outL, outR, frames);
}

template <unsigned Shape>
void LimiterEngine::runSamplesAvx2(const BlockConstants& block, BlockState& state, const double* inL, const double* inR,
                                   double* outL, double* outR, int frames)
{
    runSamples<Shape, SimdLevel::Avx2>(block, state, inL, inR, outL, outR, frames);
}

template <unsigned Shape>
void LimiterEngine::runSamplesAvx512(const BlockConstants& block, BlockState& state, const double* inL,
                                     const double* inR, double* outL, double* outR, int frames)
{
    runSamples<Shape, SimdLevel::Avx512>(block, state, inL, inR, outL, outR, frames);
}

// One loop per shape for the instruction set Isa; the file of that
// instruction set is the only one to ask for it, so each loop is compiled
// once.
template <SimdLevel Isa, size_t... Shapes>
LimiterEngine::Loop LimiterEngine::loopOfShape(unsigned shape, std::index_sequence<Shapes...>)
{
    using namespace kernel;
    // Each table inside its own branch: the others are never instantiated.
    if constexpr (Isa == SimdLevel::Avx512)
    {
        static const Loop loops[] = {&LimiterEngine::runSamplesAvx512<liveShape(Shapes)>...};
        return loops[shape];
    }
    else if constexpr (Isa == SimdLevel::Avx2)
    {
        static const Loop loops[] = {&LimiterEngine::runSamplesAvx2<liveShape(Shapes)>...};
        return loops[shape];
    }
    else
    {
        static const Loop loops[] = {&LimiterEngine::runSamplesSse2<liveShape(Shapes)>...};
        return loops[shape];
    }
}
