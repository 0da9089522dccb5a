#include "dsp/MeterMeasurement.h"

#include <cmath>

void MeterMeasurement::reset()
{
    restartHolds();
    inputMeanSquare = Pair(0.0);
    outputMeanSquare = Pair(0.0);
    outputRing.clear();
    outputRing.resetPosition();
    restartRequested = false;
    gainReductionResetRequested = false;
    endBlock();
}

void MeterMeasurement::getSnapshot(float values[10])
{
    // A restart still pending means no audio since the last snapshot: the
    // holds read as restarted.
    const bool restarted = restartRequested;
    for (int i = 0; i < 4; ++i)
        values[i] = restarted ? 0.0f : float(published[kInputPeak + i].get());
    for (int i = 0; i < 4; ++i)
        values[4 + i] = float(std::sqrt(2.0 * published[kInputMeanSquare + i].get()));
    for (int i = 0; i < 2; ++i)
        values[8 + i] = restarted ? 1.0f : float(published[kGainReduction + i].get());
    restartRequested = true;
}

void MeterMeasurement::resetHeldGainReduction()
{
    published[kGainReduction] = 1.0;
    published[kGainReduction + 1] = 1.0;
    gainReductionResetRequested = true;
}

void MeterMeasurement::beginBlock(double meanSquareCoefficient)
{
    rho = meanSquareCoefficient;
    if (restartRequested)
    {
        restartRequested = false;
        restartHolds();
    }
    if (gainReductionResetRequested)
    {
        gainReductionResetRequested = false;
        gainReduction = Pair(1.0);
    }
}

void MeterMeasurement::endBlock()
{
    const Pair values[5] = {inputPeak, outputPeak, inputMeanSquare, outputMeanSquare, gainReduction};
    for (int i = 0; i < 5; ++i)
    {
        published[2 * i] = values[i].left();
        published[2 * i + 1] = values[i].right();
    }
}
