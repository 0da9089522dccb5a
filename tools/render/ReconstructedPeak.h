// The true peak as an ideal reconstruction makes it: the band-limited
// waveform through the samples, found by oversampling the signal 16x with
// the discrete Fourier transform (a fractional delay of every bin, so no
// filter of finite length shortens the sin(x)/x tails) and refining each
// local maximum of the 16x grid by the parabola through it and its
// neighbours. A converter's or a codec's long filters approach this; a
// BS.1770 meter's 49-tap filter lets the images of high frequencies through
// and misses the long tails of content near half the rate, so the two
// readings differ by tenths of a dB on dense or bright material.
//
// The signal is taken in segments of kSegment frames, each transformed with
// kContext frames of the signal on either side (silence beyond its ends), so
// a tail is followed for at least kContext frames (0.37 s at 44.1 kHz); a
// signal shorter than a segment is transformed whole. The grid's parabola
// leaves at most 0.001 dB of a peak unseen (a sine at half the rate).
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

class ReconstructedPeak
{
public:
    static constexpr int kFactor = 16;
    static constexpr int64_t kContext = 16384;
    static constexpr int64_t kSegment = 131072 - 2 * kContext;

    explicit ReconstructedPeak(int channels);

    void add(const double* interleaved, int64_t frames);
    // The largest reconstructed magnitude of any channel: linear, and in
    // dBTP (-inf for silence). The first call measures what is still pending,
    // after which nothing more may be added.
    double peak();
    double peakDb();

private:
    void measureSegment(int64_t frames, int64_t transformSize);
    void transform(std::vector<std::complex<double>>& data, bool inverse) const;
    void prepare(int64_t transformSize);

    int channelCount;
    // Per channel, the frames from kContext before the segment being measured
    // (silence before the signal) to the newest.
    std::vector<std::vector<double>> pending;
    bool finished = false;
    bool measuredAny = false; // a segment with the signal's own context before it
    double largest = 0.0;
    // Scratch and twiddles for the current transform size.
    int64_t preparedSize = 0;
    std::vector<std::complex<double>> twiddles, spectrum;
    std::vector<std::complex<double>> steps, turns; // per bin: the turn of one grid step, and of phase r
    std::vector<std::complex<double>> phases[3];
};
