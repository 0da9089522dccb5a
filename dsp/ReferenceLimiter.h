// The limiter on one page: the whole per-sample path written plainly, one
// channel at a time, in signal-flow order. Start here. It is slow on purpose
// (plain ring buffers, sliding maxima by scanning the window); the engine's
// sample loops (LimiterKernelLoop.h) compute the same bits fast, and the tests
// hold every one of them to this page.
//
// Legend of the symbols used in ReferenceLimiter.cpp:
//   x  input sample pair           g  smoothed drive gain (30 Hz one pole)
//   y  driven sample (g x)         e  leveller envelope (1 s, floor 1e-5)
//   A  leveller gain (theta / e)   z  levelled sample (A y)
//   E  detector value              L  lookahead length (128 << rate class)
//   W  maximum of |E| over L       S1, S2  release followers, stages 1 and 2
//   P  release level max(1, S)     N  transient window length
//   M  maximum of |E| over N       D  smoother delay (L - 2N + 2)
//   O  M smoothed by the N-tap window kernel, D samples later
//   T  transient weight            G  gain from O, P and T
//   u  signal L samples later      h  smoothed output gain
//   R  output value (G u h)        Q  gain-reduction reading
//   t  raw input L + 31 samples ago (bypass and the input meter)
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/BlockConvolver.h"
#include "dsp/DitherGenerator.h"
#include "dsp/KernelSettings.h"
#include "dsp/Requantizer.h"
#include "dsp/TruePeakGuard.h"

class ReferenceLimiter
{
public:
    ReferenceLimiter();

    // The same settings the engine reads, written by whoever drives this.
    KernelSettings settings;

    // As LimiterEngine: L, N and D from the rate class and transient shape.
    void setGeometry(int rateClass, int transShapeStep);
    void setTruePeakMeterRate(int rate) { guard.setMeterRate(rate); }
    void reset();

    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void process(const double* inL, const double* inR, double* outL, double* outR, int frames);
    // The ten readings since the last call, as the engine gives them.
    void getMeterSnapshot(float values[10]);

private:
    struct Block;
    template <typename Sample>
    void run(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames);
    void sample(const Block& b, const double x[2], double out[2]);

    int L = 128, N = 64, D = 2;

    double g = 1.0, h = 1.0, e = 1e-5;
    double S1[kFollowerCount][2] = {}, S2[kFollowerCount][2] = {};

    // Rings of pairs (left, right), each with the index of its oldest value.
    AlignedBuffer<double> rawDelay;       // L + 31 pairs: t
    AlignedBuffer<double> detectorWindow; // the last 64 z, oldest first
    AlignedBuffer<double> lookahead;      // L pairs: u
    AlignedBuffer<double> longWindow;     // L pairs of |E|
    AlignedBuffer<double> shortWindow;    // N pairs of |E|
    AlignedBuffer<double> smootherDelay;  // D pairs of smoothed M
    AlignedBuffer<double> meterWindow;    // the last 64 R, oldest first (MeterOvs)
    int rawIndex = 0, lookaheadIndex = 0, longIndex = 0, shortIndex = 0, smootherIndex = 0;

    TruePeakGuard guard;     // the detector when the guard is on
    BlockConvolver smoother; // M convolved with the window kernel, N - 1 later
    Requantizer requantizer; // word length, dither, noise shaping, fade
    DitherGenerator random;

    // Meters: peaks and the deepest reading since the last snapshot, and
    // the running mean squares.
    double inputPeak[2] = {}, outputPeak[2] = {}, inputSquare[2] = {}, outputSquare[2] = {};
    double deepest[2] = {1.0, 1.0};
};
