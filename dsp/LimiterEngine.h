// The owner of every processing buffer and all state of the audio path:
// limiter kernel, transient smoother, requantizer, meters and calibration
// generator. Everything is allocated once, at the capacity of the largest
// rate class; the audio thread only reads and writes.
#pragma once

#include <cstddef>
#include <utility>

#include "dsp/AlignedBuffer.h"
#include "dsp/BlockConvolver.h"
#include "dsp/CalibrationGenerator.h"
#include "dsp/DitherGenerator.h"
#include "dsp/KernelScratch.h"
#include "dsp/KernelSettings.h"
#include "dsp/MeterMeasurement.h"
#include "dsp/Requantizer.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"
#include "dsp/SlidingMaximum.h"
#include "dsp/TruePeakGuard.h"
#include "dsp/TruePeakInterpolator.h"

class LimiterEngine
{
public:
    static constexpr int kAlignmentDelay = 31;
    static constexpr int kMaxLookahead = 512;

    LimiterEngine();

    // Written by the effect; read by the kernels.
    KernelSettings settings;

    // Lookahead length L = 128 << rateClass, window length N from the
    // transient shape step (8, 16 or 64, shifted by the rate class), smoother
    // delay D = L - 2N + 2; prepares the window kernel for N. Call it under
    // the processing mutex.
    void setGeometry(int rateClass, int transShapeStep);
    int lookahead() const { return lookaheadLength; }
    int windowLength() const { return windowLengthN; }
    int smootherDelay() const { return smootherDelayD; }
    int latency() const { return lookaheadLength + kAlignmentDelay; }
    // The true-peak guard reads the output as a meter at this rate would.
    void setTruePeakMeterRate(int rate) { guard.setMeterRate(rate); }

    // Full reset of the processing state (suspend, transient shape change).
    void reset();
    // Zeroes delay lines, rings, trees and block buffers but keeps indices,
    // smoothed gains, followers, meters and the dither generator (every
    // sample-rate call).
    void clearBuffers();
    // The requantizer's error-history index back to 0 (noise shape or rate
    // change): any thread; the next block starts there.
    void resetNoiseShaperPosition();
    // The held gain-reduction readings back to 1.0 (AttShow change).
    void resetHeldGainReduction();

    // One block of the limiter kernel. The right pointers may equal the left
    // ones (mono hosts); per sample the right output is written first.
    void process(const float* inL, const float* inR, float* outL, float* outR, int frames);
    void process(const double* inL, const double* inR, double* outL, double* outR, int frames);
    // One block of calibration noise; outR is null when the right output is
    // not connected.
    void processCalibration(float* outL, float* outR, int frames);
    void processCalibration(double* outL, double* outR, int frames);

    // Input peak L/R, output peak L/R, input level L/R, output level L/R,
    // held gain reduction L/R; the peaks and reduction restart with the read.
    void getMeterSnapshot(float values[10]);

    // The instruction set of the sample loops, chosen at construction
    // (chosenSimdLevel); every level gives the same output bits.
    SimdLevel simdLevel() const { return simd; }

private:
    // The kernel: per-block set-up, then a sample loop compiled once per
    // combination of the switches that change its shape and once per
    // instruction set, each instruction set in a file of its own (see
    // LimiterKernelLoop.h). The loop works on doubles; the float callback
    // goes through it in chunks of edge buffers.
    struct BlockConstants;
    struct BlockState;
    template <typename Sample>
    void runCalibration(Sample* outL, Sample* outR, int frames);
    template <typename Sample>
    void runKernel(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames);
    template <unsigned Shape, SimdLevel Isa>
    void runSamples(const BlockConstants& block, BlockState& state, const double* inL, const double* inR, double* outL,
                    double* outR, int frames);
    // The same loop with everything it calls compiled for one instruction set.
    template <unsigned Shape>
    void runSamplesSse2(const BlockConstants& block, BlockState& state, const double* inL, const double* inR,
                        double* outL, double* outR, int frames);
    template <unsigned Shape>
    ZELVO_TARGET_AVX2_LOOP void runSamplesAvx2(const BlockConstants& block, BlockState& state, const double* inL,
                                               const double* inR, double* outL, double* outR, int frames);
    template <unsigned Shape>
    ZELVO_TARGET_AVX512_LOOP void runSamplesAvx512(const BlockConstants& block, BlockState& state, const double* inL,
                                                   const double* inR, double* outL, double* outR, int frames);
    using Loop = void (LimiterEngine::*)(const BlockConstants&, BlockState&, const double*, const double*, double*,
                                         double*, int);
    template <SimdLevel Isa, size_t... Shapes>
    static Loop loopOfShape(unsigned shape, std::index_sequence<Shapes...>);
    // The loop of a shape, one function per instruction set's file.
    static Loop sse2Loop(unsigned shape);
    static Loop avx2Loop(unsigned shape);
    static Loop avx512Loop(unsigned shape);
    static Loop pickLoop(SimdLevel level, unsigned shape);

    int lookaheadLength = 128;
    int windowLengthN = 64;
    int smootherDelayD = 2;

    // Smoothed gains and the leveller's envelope.
    double drive = 1.0;     // g
    double output = 1.0;    // h
    double envelope = 1e-5; // e

    AlignedBuffer<double> inputDelay; // raw input pairs, L + 31 in use
    int inputDelayIndex = 0;
    // The last 64 driven and levelled pairs: source of the true-peak
    // interpolation and, 31 samples back, of the aligned signal.
    TruePeakInterpolator detector;
    TruePeakGuard guard; // the detector when the true-peak guard is on
    // The sample loop's working memory (see KernelScratch.h).
    static constexpr int kDetectorRun = KernelScratch::kRun;
    AlignedBuffer<KernelScratch> scratch;
    AlignedBuffer<FloatEdges> floatEdges; // the float callback's samples as doubles
    AlignedBuffer<double> lookaheadDelay; // aligned signal pairs, L in use
    int lookaheadIndex = 0;
    SlidingMaximum longMaximum;      // over L samples: drives the release followers
    SlidingMaximum shortMaximum;     // over N samples: feeds the transient smoother
    AlignedBuffer<double> followers; // 8 pairs stage 1, then 8 pairs stage 2
    BlockConvolver smoother;
    // The smoothed values wait D samples on a line of D + kDetectorRun pairs:
    // read at the index, written D pairs on; when the index reaches
    // kDetectorRun the last D values move to the front and it starts again
    // at 0. So a stretch of the gain loop is never cut by a short D.
    AlignedBuffer<double> smootherDelayLine;
    int smootherDelayIndex = 0;

    DitherGenerator random; // shared by the requantizer and the calibration noise
    Requantizer requantizer;
    MeterMeasurement meters;
    CalibrationGenerator calibration;

    SimdLevel simd = SimdLevel::Sse2;
};
