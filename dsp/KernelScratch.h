// The sample loop's working memory: what its detector side works out ahead
// for a whole run of samples, and what the recursive side of each sample
// leaves for the output side that trails it (see LimiterKernelLoop.h). Pairs
// are (left, right) doubles; every array is a whole number of pairs, so
// each starts 16-byte aligned.
#pragma once

#include "dsp/TruePeakInterpolator.h"

struct KernelScratch
{
    // Samples whose detector side is worked out in one go.
    static constexpr int kRun = 256;
    // Detector values before the run that its half-sample points reach back to.
    static constexpr int kHistory = TruePeakInterpolator::kRing - 1;

    // With the half-sample detector or the guard, per sample of the run:
    alignas(64) double window[2 * (kHistory + kRun)]; // levelled pairs z: the 63 before the run, then the run's
    // The same one pair on (windowOdd[p] = window[p + 1], in pairs): the
    // wide half-sample interpolation reads two pairs at a time, and the
    // pieces that start at an odd pair come from here aligned, instead of
    // straddling two aligned pieces (and, half of them, two cache lines).
    alignas(64) double windowOdd[2 * (kHistory + kRun)];
    double raw[2 * kRun];     // t: the raw input L + 31 samples back
    double aligned[2 * kRun]; // z 31 samples back (the guard: low-passed)
    double between[2 * kRun]; // the half-sample point after it (the guard: its peaks)
    double leveller[kRun];    // A: the leveller's gain
    // Per sample of one stretch of the gain loop:
    double levels[2 * kRun];      // |E|: the transient path's input, when it runs after the stretch
    double ahead[2 * kRun];       // u: the lookahead's output
    double release[2 * kRun];     // P: the release level
    double stretchRaw[2 * kRun];  // t, when no run worked it out ahead
    double stretchLeveller[kRun]; // A, likewise
};

// The float callback's samples as the double loop reads and writes them, a
// chunk at a time: float to double is exact, and rounding the loop's double
// output to float gives what storing it as float in the loop would. A chunk
// of one run costs 0.6 instructions a frame more than one of 512 samples,
// and 8 KiB less.
struct FloatEdges
{
    static constexpr int kChunk = KernelScratch::kRun;
    alignas(16) double inL[kChunk];
    double inR[kChunk];
    double outL[kChunk];
    double outR[kChunk];
};
