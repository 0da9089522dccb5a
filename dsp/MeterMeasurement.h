// Level and gain-reduction metering of the audio path: input and output peaks
// and the deepest gain reduction held from one snapshot to the next, and
// running mean squares for the RMS readings.
//
// The audio thread works on local copies during a block and publishes them
// at its end; the editor's thread reads the published values and asks for
// the holds to restart, which the next block does before its first sample.
// So no peak is lost between a snapshot and its restart.
#pragma once

#include "dsp/Pair.h"
#include "dsp/Shared.h"
#include "dsp/TruePeakInterpolator.h"

class MeterMeasurement
{
public:
    // Full reset: peaks and mean squares to 0, gain reduction to 1, the
    // oversampling ring cleared, no restart pending.
    void reset();
    // The oversampling ring to zero; its position stays.
    void clearRing() { outputRing.clear(); }

    // Editor's thread: the ten snapshot values (input peak L/R, output peak
    // L/R, input RMS L/R, output RMS L/R, gain reduction L/R; RMS referenced
    // to a sine, sqrt(2 x mean square)), then the holds restart.
    void getSnapshot(float values[10]);
    // Any thread: the held gain reduction back to 1.0 (both channels).
    void resetHeldGainReduction();

    // rho: the mean-square coefficient (one pole falling to 1 % in 600 ms).
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
        Pair a = abs(input);
        inputPeak = max(inputPeak, a);
        inputMeanSquare += Pair(rho) * (a * a - inputMeanSquare);

        gainReduction = min(gainReduction, q);

        Pair s;
        if (Oversampled)
        {
            outputRing.push(output);
            outputPeak = max(outputPeak, abs(outputRing.interpolate<Isa>()));
            s = abs(outputRing.behind(TruePeakInterpolator::kCentre));
        }
        else
        {
            s = abs(output);
        }
        outputPeak = max(outputPeak, s);
        outputMeanSquare += Pair(rho) * (s * s - outputMeanSquare);
    }

    // Calibration noise: the same values feed both the input and the output
    // readings, and the gain reduction rests at 1.
    void measureCalibration(Pair noise)
    {
        outputPeak = max(outputPeak, abs(noise));
        inputPeak = outputPeak;
        outputMeanSquare += Pair(rho) * (noise * noise - outputMeanSquare);
        inputMeanSquare = outputMeanSquare;
    }

private:
    void restartHolds()
    {
        inputPeak = Pair(0.0);
        outputPeak = Pair(0.0);
        gainReduction = Pair(1.0);
    }

    // Working copies, valid between beginBlock and endBlock.
    Pair inputPeak, outputPeak, inputMeanSquare, outputMeanSquare;
    Pair gainReduction{1.0};
    double rho = 0.0;
    TruePeakInterpolator outputRing;

    // Published state, read by the editor's thread.
    enum Published
    {
        kInputPeak,
        kOutputPeak = 2,
        kInputMeanSquare = 4,
        kOutputMeanSquare = 6,
        kGainReduction = 8,
        kPublished = 10
    };
    Shared<double> published[kPublished];
    Shared<bool> restartRequested{false};
    Shared<bool> gainReductionResetRequested{false};
};
