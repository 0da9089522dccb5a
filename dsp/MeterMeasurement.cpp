#include "dsp/MeterMeasurement.h"

#include <cmath>

namespace
{
// Atomic maximum and minimum: retried only while another thread changed the
// value in between, which a snapshot does once per read.
void mergeMaximum(std::atomic<double>& held, double value)
{
    double seen = held.load(std::memory_order_relaxed);
    while (value > seen && !held.compare_exchange_weak(seen, value, std::memory_order_relaxed))
    {}
}

void mergeMinimum(std::atomic<double>& held, double value)
{
    double seen = held.load(std::memory_order_relaxed);
    while (value < seen && !held.compare_exchange_weak(seen, value, std::memory_order_relaxed))
    {}
}
} // namespace

void MeterMeasurement::reset()
{
    restartHolds();
    running.inputMeanSquare = Pair(0.0);
    running.outputMeanSquare = Pair(0.0);
    outputHistory.clear();
    for (auto& peak : heldPeaks)
        peak.store(0.0, std::memory_order_relaxed);
    resetHeldGainReduction();
    endBlock();
}

void MeterMeasurement::getSnapshot(float values[10])
{
    for (int i = 0; i < kPeaks; ++i)
        values[i] = float(heldPeaks[i].exchange(0.0, std::memory_order_relaxed));
    for (int i = 0; i < 4; ++i)
        values[4 + i] = float(std::sqrt(2.0 * meanSquares[i].get()));
    for (int i = 0; i < 2; ++i)
        values[8 + i] = float(heldReduction[i].exchange(1.0, std::memory_order_relaxed));
}

void MeterMeasurement::resetHeldGainReduction()
{
    heldReduction[0].store(1.0, std::memory_order_relaxed);
    heldReduction[1].store(1.0, std::memory_order_relaxed);
}

void MeterMeasurement::beginBlock(double meanSquareCoefficient)
{
    running.rho = meanSquareCoefficient;
    restartHolds();
}

void MeterMeasurement::endBlock()
{
    // The kernel flushes on its own path; whatever a caller left pending
    // still belongs to this block's peak.
    const Levels& l = running;
    outputHistory.flush<SimdLevel::Sse2>(running.outputPeak);
    mergeMaximum(heldPeaks[kInputPeak], l.inputPeak.left());
    mergeMaximum(heldPeaks[kInputPeak + 1], l.inputPeak.right());
    mergeMaximum(heldPeaks[kOutputPeak], l.outputPeak.left());
    mergeMaximum(heldPeaks[kOutputPeak + 1], l.outputPeak.right());
    mergeMinimum(heldReduction[0], l.gainReduction.left());
    mergeMinimum(heldReduction[1], l.gainReduction.right());
    meanSquares[0] = l.inputMeanSquare.left();
    meanSquares[1] = l.inputMeanSquare.right();
    meanSquares[2] = l.outputMeanSquare.left();
    meanSquares[3] = l.outputMeanSquare.right();
}
