// Level and gain-reduction metering of the audio path: input and output peaks
// and the deepest gain reduction held from one snapshot to the next, and
// running mean squares for the RMS readings.
//
// The audio thread measures each block on its own and, at the block's end,
// merges the block's peaks and deepest reduction into the held values (an
// atomic maximum or minimum). A snapshot takes the held values and leaves
// them restarted in one atomic exchange each, so whatever a block merges
// lands either in this snapshot or in the next: a read at any moment, also
// in the middle of a block, loses nothing. No lock on either side.
#pragma once

#include <atomic>

#include "dsp/Pair.h"
#include "dsp/Shared.h"
#include "dsp/HalfSamplePeak.h"
#include "dsp/TruePeakInterpolator.h"

class MeterMeasurement
{
public:
    // Full reset: peaks and mean squares to 0, gain reduction to 1, the
    // oversampling ring cleared, nothing held.
    void reset();
    // The oversampling ring to zero; its position stays.
    void clearRing() { outputHistory.clear(); }

    // Editor's thread: the ten snapshot values (input peak L/R, output peak
    // L/R, input RMS L/R, output RMS L/R, gain reduction L/R; RMS referenced
    // to a sine, sqrt(2 x mean square)), then the holds restart.
    void getSnapshot(float values[10]);
    // Any thread: the held gain reduction back to 1.0 (both channels).
    void resetHeldGainReduction();

    // rho: the mean-square coefficient (one pole falling to 1 % in 600 ms).
    // Each block's peaks and reduction start afresh; its end merges them.
    void beginBlock(double rho);
    void endBlock();

    // One sample: input as metered (the delayed raw input times the meter
    // gain), the gain-reduction reading q, and the output before requantizing
    // and clipping.
    // Oversampled (MeterOvs): the output peak includes the half-sample
    // points, and the output readings lag a further 31 samples.
    template <bool Oversampled, SimdLevel Isa = SimdLevel::Sse2>
    void measure(Pair input, Pair q, Pair output)
    {
        measure<Oversampled, Isa>(running, input, q, output);
    }

    // Working values of the block in progress (peaks and reduction) and the
    // running mean squares: the audio thread's alone. A sample loop works on
    // a copy of its own (runningLevels, then measure with it, then
    // keepRunningLevels), which stays in registers: measuring into the
    // members would pass each mean square through memory every sample.
    struct Levels
    {
        Pair inputPeak, outputPeak, inputMeanSquare, outputMeanSquare;
        Pair gainReduction{1.0};
        double rho = 0.0;
    };
    const Levels& runningLevels() const { return running; }
    void keepRunningLevels(const Levels& levels) { running = levels; }

    template <bool Oversampled, SimdLevel Isa = SimdLevel::Sse2>
    void measure(Levels& l, Pair input, Pair q, Pair output)
    {
        if (Oversampled)
        {
            outputSlots<Isa>(l.outputPeak);
            measureAt<Oversampled>(l, input, q, output, outputHistory.firstSlot());
            outputHistory.appended(1);
        }
        else
        {
            measureAt<Oversampled>(l, input, q, output, nullptr);
        }
    }

    // Oversampled, a stretch of samples at a time: outputSlots makes room
    // for at most the number it returns, sample j of the stretch measures
    // with slot firstOutputSlot() + 2 j, and outputsMeasured(count) ends
    // the stretch.
    template <SimdLevel Isa>
    int outputSlots(Pair& outputPeak)
    {
        // A full run's half-sample points join the peak first.
        return outputHistory.makeRoom<Isa>(outputPeak);
    }
    double* firstOutputSlot() { return outputHistory.firstSlot(); }
    void outputsMeasured(int count) { outputHistory.appended(count); }

    template <bool Oversampled>
    static void measureAt(Levels& l, Pair input, Pair q, Pair output, double* outputSlot)
    {
        Pair a = abs(input);
        l.inputPeak = max(l.inputPeak, a);
        l.inputMeanSquare += Pair(l.rho) * (a * a - l.inputMeanSquare);

        l.gainReduction = min(l.gainReduction, q);

        Pair s;
        if (Oversampled)
        {
            // The half-sample points join the peak when the run is full or
            // at the block's end.
            output.store(outputSlot);
            s = abs(Pair::load(outputSlot - 2 * TruePeakInterpolator::kCentre));
        }
        else
        {
            s = abs(output);
        }
        l.outputPeak = max(l.outputPeak, s);
        l.outputMeanSquare += Pair(l.rho) * (s * s - l.outputMeanSquare);
    }

    // Oversampled: the half-sample points of the samples measured since the
    // last flush into the output peak, on the wide paths (endBlock takes
    // whatever is left on the baseline path).
    template <SimdLevel Isa>
    void flushOversampled()
    {
        outputHistory.flush<Isa>(running.outputPeak);
    }

    // Calibration noise: the same values feed both the input and the output
    // readings, and the gain reduction rests at 1.
    void measureCalibration(Pair noise)
    {
        Levels& l = running;
        l.outputPeak = max(l.outputPeak, abs(noise));
        l.inputPeak = l.outputPeak;
        l.outputMeanSquare += Pair(l.rho) * (noise * noise - l.outputMeanSquare);
        l.inputMeanSquare = l.outputMeanSquare;
    }

private:
    void restartHolds()
    {
        running.inputPeak = Pair(0.0);
        running.outputPeak = Pair(0.0);
        running.gainReduction = Pair(1.0);
    }

    Levels running;
    HalfSamplePeak outputHistory; // the output's last 63 pairs and those measured since the last flush

    // Held since the last snapshot: input peak L/R, output peak L/R (merged
    // by maximum, restarted to 0) and the reduction L/R (merged by minimum,
    // restarted to 1). The mean squares are published as they are.
    enum Held
    {
        kInputPeak,
        kOutputPeak = 2,
        kPeaks = 4
    };
    static_assert(std::atomic<double>::is_always_lock_free, "the audio thread must not lock");
    std::atomic<double> heldPeaks[kPeaks] = {};
    std::atomic<double> heldReduction[2] = {{1.0}, {1.0}};
    Shared<double> meanSquares[4]; // input L/R, output L/R
};
