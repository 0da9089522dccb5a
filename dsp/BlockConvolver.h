// The transient smoother: the stream of short-window maxima convolved with an
// N-tap window kernel by overlap-add fast convolution, one 2N-point real FFT
// pair every N samples, both channels in one pass. The output is the exact
// linear convolution delayed by N - 1 samples.
//
// Block bookkeeping: the frame holds 2N pairs in time order. Inputs fill
// times 0 .. N - 1; times N .. 2N - 1 stay zero (each is cleared as it is
// read), so the circular convolution of the FFT is the linear one. After the
// transform, time k holds the result for time k of the block and time k + N
// the tail carried into the overlap buffer for the next block. The read runs
// one slot ahead of the write, which gives the N - 1 samples of delay.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"
#include "dsp/RealFft.h"

class BlockConvolver
{
public:
    static constexpr int kMaxWindow = RealFft::kMaxHalfSize;

    BlockConvolver();

    // The window kernel for N (4 .. 256, a power of two): the main lobe of
    // sin(x)/x over -pi .. pi at N points, normalised to unit sum, and its
    // spectrum. Not for the audio thread.
    void prepareKernel(int n);
    int windowLength() const { return n; }
    // The kernel taps h'_0 .. h'_{N-1}, for inspection.
    const double* kernelTaps() const { return taps.get(); }

    // Frame and overlap to zero, both indices to 0.
    void reset();
    // Frame and overlap to zero; the indices stay, and one beyond a shorter
    // new block completes a (silent) block on the next sample.
    void clearBuffers();

    Pair process(Pair v)
    {
        double* f = frame.get();
        v.store(f + 2 * writeIndex);
        if (++writeIndex >= n)
        {
            writeIndex = 0;
            overlapIndex = 0;
            fft.convolve(f, spectrum.get());
        }
        double* tail = f + 2 * (writeIndex + n);
        double* carried = overlap.get() + 2 * overlapIndex;
        Pair out = Pair::load(f + 2 * writeIndex) + Pair::load(carried);
        Pair::load(tail).store(carried);
        Pair(0.0).store(tail);
        ++overlapIndex;
        return out;
    }

private:
    int n = 0;
    int writeIndex = 0;   // time slot the next input goes to
    int overlapIndex = 0; // overlap slot read with the next output
    RealFft fft;
    AlignedBuffer<double> frame;    // 2N pairs in use
    AlignedBuffer<double> overlap;  // N pairs in use
    AlignedBuffer<double> spectrum; // 2N pairs: the kernel's, scaled for the round trip
    AlignedBuffer<double> taps;     // N doubles
};
