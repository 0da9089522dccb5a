// The detector of the true-peak guard: the peaks a reconstruction filter (a
// converter, a resampler, a lossy encoder) makes of the samples, found on a
// 4x grid by a polyphase interpolator and refined between the grid points,
// so that the limiter can hold the reconstructed output under its ceiling
// and not only the samples.
//
// Per sample it interpolates the three quarter points of the interval that
// starts three samples after the aligned one, refines each grid point by the
// vertex of the parabola through it and its neighbours, and answers the
// largest refined value over the seven intervals from three samples before
// the aligned sample to four after it. The output between two samples is
// made from the gains of all the samples around it; holding the gain flat
// over a few samples on either side of a peak keeps its movement from
// adding a peak of its own (one interval either side is not enough on
// material with strong transient shaping: 0.05 dB overs remain).
//
// Beside the reconstruction it reads the interval as the common BS.1770
// true-peak meter does (the meter of the renderer's report): a 49-tap
// Hann-windowed sin(x)/x at 4x below 96 kHz, 2x below 192 kHz, the samples
// above. Its short filter lets images of high frequencies through, so on
// bright material it reads up to 0.2 dB above the reconstruction; a delivery
// checked with such a meter must pass it too.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"

class TruePeakGuard
{
public:
    // Samples on each side of an interpolated interval (48 taps per phase).
    static constexpr int kHalfTaps = 24;
    // Samples behind the newest where the interpolated interval starts,
    // three newer than the aligned sample (31 behind): with 24 newer samples
    // for the interpolation, the look-ahead stays inside the alignment delay.
    static constexpr int kIntervalStart = 28;
    // Intervals whose peaks each detector value answers for.
    static constexpr int kSpan = 7;

    // Designs the interpolator (Kaiser-windowed sin(x)/x, each phase scaled
    // to unit gain at 0 Hz). Not for the audio thread.
    TruePeakGuard();

    // Matches the meter reading to the rate (see above). Not for the audio thread.
    void setMeterRate(int rate);

    // The interpolation state back to silence.
    void clear();

    // newest: the newest pair of a contiguous run of at least
    // kIntervalStart + kHalfTaps pairs of history (pairs of doubles, 16-byte
    // aligned). Returns, per channel, the largest reconstructed magnitude
    // (or meter reading) of the kSpan intervals centred on the aligned
    // sample, kIntervalStart + 3 behind the newest.
    Pair detect(const double* newest);

    // The interpolated value at `quarter` / 4 (1, 2 or 3) of the interval
    // starting `behind` samples before the newest: for tests of the design.
    Pair interpolateAt(const double* newest, int behind, int quarter) const;

    // The largest error (linear, per unit of full scale) the requantizer can
    // add to a sample: two steps of dither and truncation, each also fed back
    // through the noise-shaping filter. scale is 2^(bits - 1); shaping holds
    // the 12 filter coefficients (null for none).
    static double requantizerHeadroom(double scale, const double* shaping);

    // The factor the detector's level is multiplied by so that the output,
    // after the output gain (gliding between outputNow and outputTarget) and
    // the requantizer's error, stays at or under the ceiling: the output gain
    // itself, and never above full scale, where the final clip would cut the
    // waveform and make inter-sample peaks of its own.
    static double detectorScale(double outputNow, double outputTarget, double requantizerError);

private:
    // Per tap pair: even, odd, half, each twice; the reconstruction's pairs,
    // then the meter's.
    AlignedBuffer<double> coefficients;
    int meterPairs = 0; // tap pairs of the meter's filter; 0 when it reads the samples only
    bool meterQuarters = true; // false: the meter reads the half-sample points only
    AlignedBuffer<double> state;        // last quarter point, two interval peaks
};
