// The true peak as an ideal reconstruction makes it: the band-limited
// waveform through the samples, read on a grid of 16 points per sample and
// refined at each local maximum by the parabola through it and its
// neighbours. A converter's or a codec's long filters approach this; a
// BS.1770 meter's 49-tap filter lets the images of high frequencies through
// and misses the long tails of content near half the rate, so the two
// readings differ by tenths of a dB on dense or bright material.
//
// The grid is found in two steps. The discrete Fourier transform gives the
// signal at 4 points per sample exactly (a fractional delay of every bin, so
// no filter of finite length shortens the sin(x)/x tails). That grid holds
// a signal of an eighth of its rate at most, so a short windowed sin(x)/x
// interpolates it to 16 points within 1e-6 of full scale; and as such a
// signal's curvature is bounded (Bernstein), no peak lies between grid
// points that are all below 0.92 of the largest: only the stretches above
// that are refined, which on any material is a small part of the signal.
//
// The signal is taken in segments of kSegment frames, each transformed with
// kContext frames of the signal on either side (silence beyond its ends), so
// a tail is followed for at least kContext frames (0.37 s at 44.1 kHz); a
// signal shorter than a segment is transformed whole. The grid's parabola
// leaves at most 0.001 dB of a peak unseen (a sine at half the rate).
#pragma once

#include <complex>
#include <cstdint>
#include <utility>
#include <vector>

class ReconstructedPeak
{
public:
    static constexpr int kFactor = 16;
    static constexpr int64_t kContext = 16384;
    static constexpr int64_t kSegment = 131072 - 2 * kContext;

    // `threads`: segments measured side by side when a call brings several
    // (a whole file read back at once); the result does not depend on it.
    explicit ReconstructedPeak(int channels, int threads = 1);

    void add(const double* interleaved, int64_t frames);
    // The largest reconstructed magnitude of any channel: linear, and in
    // dBTP (-inf for silence). The first call measures what is still pending,
    // after which nothing more may be added.
    double peak();
    double peakDb();

private:
    // What one thread measuring segments works in, and what it found.
    struct Worker
    {
        std::vector<std::complex<double>> spectrum, work;
        // The 4x grid of the segment with a margin for the interpolator:
        // channel c in the real part, c + 1 in the imaginary part.
        std::vector<std::complex<double>> grid;
        std::vector<std::complex<double>> fine; // the 16x points of a stretch
        double largest = 0.0;
        double coarseLargest = 0.0; // of the exact 4x grid: a floor of the true peak
    };
    // The segment of `frames` frames after kContext frames from `start` in pending.
    void measureSegment(Worker& worker, int64_t start, int64_t frames, int64_t transformSize) const;
    // In place, forward (e^-i), from natural order to bit-reversed and back;
    // an inverse is the forward of the conjugate.
    void forwardToReversed(std::vector<std::complex<double>>& data) const;
    void forwardFromReversed(std::vector<std::complex<double>>& data) const;
    void prepare(int64_t transformSize);
    // The 16x points of one stretch of the 4x grid, refined.
    static void refineStretch(Worker& worker, int64_t first, int64_t last);

    int channelCount;
    int threadCount;
    // Per channel, the frames from kContext before the next segment to be
    // measured (silence before the signal) to the newest.
    std::vector<std::vector<double>> pending;
    bool finished = false;
    bool measuredAny = false; // a segment with the signal's own context before it
    std::vector<Worker> workers;
    // Tables for the current transform size, shared by the workers.
    int64_t preparedSize = 0;
    std::vector<std::complex<double>> twiddles;        // per stage of half-length h, from h - 1: e^(-i pi k / h)
    int64_t halfRateBin = 0;                           // where the bin at half the rate lies in bit-reversed order
    std::vector<std::complex<double>> quarterTurns[3]; // per bin: the turns of 1, 2 and 3 quarter samples
};
