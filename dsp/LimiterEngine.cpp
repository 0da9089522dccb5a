#include "dsp/LimiterEngine.h"

#include <algorithm>

LimiterEngine::LimiterEngine() : inputDelay(2 * (kMaxLookahead + 32))
{
}

void LimiterEngine::setGeometry(int rateClass, int transShapeStep)
{
    static const int baseWindow[3] = {8, 16, 64};
    lookaheadLength = 128 << rateClass;
    windowLengthN = baseWindow[std::clamp(transShapeStep, 0, 2)] << rateClass;
    smootherDelayD = lookaheadLength - 2 * windowLengthN + 2;
}

void LimiterEngine::reset()
{
    inputDelayIndex = 0;
    inputDelay.clear();
}

void LimiterEngine::clearBuffers()
{
    inputDelay.clear();
}

void LimiterEngine::resetNoiseShaperPosition() {}

void LimiterEngine::resetHeldGainReduction() {}

template <typename Sample>
void LimiterEngine::runKernel(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames)
{
    const int length = latency();
    double* delay = inputDelay.get();
    for (int n = 0; n < frames; ++n)
    {
        if (inputDelayIndex >= length)
            inputDelayIndex = 0;
        double* slot = delay + 2 * inputDelayIndex;
        double tL = slot[0], tR = slot[1];
        slot[0] = (double)inL[n];
        slot[1] = (double)inR[n];
        if (++inputDelayIndex >= length)
            inputDelayIndex = 0;
        outR[n] = (Sample)std::clamp(tR, -1.0, 1.0);
        outL[n] = (Sample)std::clamp(tL, -1.0, 1.0);
    }
}

void LimiterEngine::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}

void LimiterEngine::process(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}

void LimiterEngine::processCalibration(float*, float*, int) {}

void LimiterEngine::getMeterSnapshot(float values[10])
{
    for (int i = 0; i < 10; ++i)
        values[i] = i >= 8 ? 1.0f : 0.0f;
}
