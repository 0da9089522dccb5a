#include "dsp/LimiterEngine.h"

#include "dsp/FloatingPointMode.h"

#include <algorithm>

namespace
{
constexpr int kMaxSmootherDelay = 512;
}

LimiterEngine::LimiterEngine()
    : inputDelay(2 * (kMaxLookahead + 32)),
      scratch(1),
      floatEdges(1),
      lookaheadDelay(2 * kMaxLookahead),
      followers(2 * 2 * kFollowerCount),
      smootherDelayLine(2 * (kMaxSmootherDelay + kDetectorRun)),
      simd(chosenSimdLevel())
{
    setGeometry(0, 2);
    reset();
}

void LimiterEngine::setGeometry(int rateClass, int transShapeStep)
{
    static const int baseWindow[3] = {8, 16, 64};
    rateClass = std::clamp(rateClass, 0, 2);
    lookaheadLength = 128 << rateClass;
    windowLengthN = baseWindow[std::clamp(transShapeStep, 0, 2)] << rateClass;
    smootherDelayD = lookaheadLength - 2 * windowLengthN + 2;
    longMaximum.setLength(lookaheadLength);
    shortMaximum.setLength(windowLengthN);
    smoother.prepareKernel(windowLengthN);
}

void LimiterEngine::reset()
{
    random.reset();

    inputDelayIndex = 0;
    lookaheadIndex = 0;
    smootherDelayIndex = 0;
    detector.resetPosition();
    longMaximum.resetPosition();
    shortMaximum.resetPosition();
    smoother.reset();
    requantizer.reset();

    meters.reset();
    calibration.reset();

    drive = settings.driveTarget;
    // The plain Output gain, also under AutoOut: the gain then glides from
    // there to its target.
    output = settings.outputGain;
    envelope = 0.00001;
    followers.clear();

    clearBuffers();
}

void LimiterEngine::clearBuffers()
{
    inputDelay.clear();
    lookaheadDelay.clear();
    smootherDelayLine.clear();
    detector.clear();
    guard.clear();
    longMaximum.clear();
    shortMaximum.clear();
    smoother.clearBuffers();
    requantizer.clearHistory();
    meters.clearRing();
}

void LimiterEngine::resetNoiseShaperPosition() { requantizer.requestPositionReset(); }

void LimiterEngine::resetHeldGainReduction() { meters.resetHeldGainReduction(); }

template <typename Sample>
void LimiterEngine::runCalibration(Sample* outL, Sample* outR, int frames)
{
    if (frames <= 0)
        return;
    FloatingPointMode mode;
    meters.beginBlock(settings.meterRms);
    calibration.process(outL, outR, frames, settings.calibrate, settings.scale, random, meters);
    meters.endBlock();
}

void LimiterEngine::processCalibration(float* outL, float* outR, int frames) { runCalibration(outL, outR, frames); }

void LimiterEngine::processCalibration(double* outL, double* outR, int frames) { runCalibration(outL, outR, frames); }

void LimiterEngine::getMeterSnapshot(float values[10]) { meters.getSnapshot(values); }
