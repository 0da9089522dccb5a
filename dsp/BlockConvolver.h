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
//
// Up to kMaxDirect taps (a multiple of 8) the plain sum is cheaper than the
// transforms, and its cost does not come in bursts: there each output is the
// sum itself, over a history of the last 2N + kMaxDirectRun inputs (a run of
// sums may come after its inputs are all in). The sum has one order on
// every instruction set (see directSum), so every path gives the same bits.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/Pair.h"
#include "dsp/RealFft.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdAvx512.h"
#include "dsp/SimdLevel.h"

class BlockConvolver
{
public:
    static constexpr int kMaxWindow = RealFft::kMaxHalfSize;
    // The longest window summed directly instead of by transforms.
    static constexpr int kMaxDirect = 64;
    // The most inputs stored before their sums are taken.
    static constexpr int kMaxDirectRun = 256;

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

    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair process(Pair v)
    {
        if (direct)
            return processDirect<Isa>(v);
        double* f = frame.get();
        v.store(f + 2 * writeIndex);
        if (++writeIndex >= n)
        {
            writeIndex = 0;
            overlapIndex = 0;
            fft.convolve(f, spectrum.get(), Isa);
        }
        double* tail = f + 2 * (writeIndex + n);
        double* carried = overlap.get() + 2 * overlapIndex;
        Pair out = Pair::load(f + 2 * writeIndex) + Pair::load(carried);
        Pair::load(tail).store(carried);
        Pair(0.0).store(tail);
        ++overlapIndex;
        return out;
    }

    // The direct sums over a stretch of inputs that does not wrap the history
    // (at most directRoom() of them): input j goes to directSlot() + 2 j,
    // and once the stretch's inputs are in, sumDirect gives their outputs
    // in one pass, the choice of length made once for all of them.
    // directRoom() first brings an index at the history's end (or beyond it,
    // after a shorter new window) round to its start, as the next input
    // would.
    bool isDirect() const { return direct; }
    int directRoom()
    {
        if (historyIndex >= historyLength() - 1)
            historyIndex = -1;
        return historyLength() - 1 - historyIndex;
    }
    double* directSlot() { return history.get() + 2 * (historyIndex + 1); }
    void advanceDirect(int inputs) { historyIndex += inputs; }
    void storeDirectAt(double* slot, int j, Pair v) const
    {
        double* h = slot + 2 * j;
        v.store(h);
        v.store(h + 2 * historyLength());
    }
    template <SimdLevel Isa>
    void sumDirect(const double* slot, int count, double* out) const
    {
        const double* oldest = slot + 2 * (historyLength() - 2 * n + 2);
        const double* t = reversedTaps.get();
        switch (n)
        {
        case 8: return sumsOf<Isa, 8>(oldest, t, count, out);
        case 16: return sumsOf<Isa, 16>(oldest, t, count, out);
        case 32: return sumsOf<Isa, 32>(oldest, t, count, out);
        case 64: return sumsOf<Isa, 64>(oldest, t, count, out);
        default:
            for (int j = 0; j < count; ++j)
                sumOf<Isa>(oldest + 2 * j, t, n).store(out + 2 * j);
        }
    }

private:
    // The history holds each input twice, at p and p + R (R its length), so
    // the N inputs of a sum are contiguous: from 2N - 2 samples back
    // (p + R - 2N + 2) to N - 1.
    template <SimdLevel Isa>
    Pair processDirect(Pair v)
    {
        if (++historyIndex >= historyLength())
            historyIndex = 0;
        double* h = history.get();
        v.store(h + 2 * historyIndex);
        v.store(h + 2 * (historyIndex + historyLength()));
        return sumOfLength<Isa>(h + 2 * (historyIndex + historyLength() - 2 * n + 2), reversedTaps.get());
    }

    template <SimdLevel Isa>
    Pair sumOfLength(const double* oldest, const double* t) const
    {
        // Each length summed directly gets a fully unrolled sum of its own:
        // at these lengths the loop's counting and branching cost about as
        // many instructions as its arithmetic.
        switch (n)
        {
        case 8: return sumOf<Isa>(oldest, t, 8);
        case 16: return sumOf<Isa>(oldest, t, 16);
        case 32: return sumOf<Isa>(oldest, t, 32);
        case 64: return sumOf<Isa>(oldest, t, 64);
        default: return sumOf<Isa>(oldest, t, n);
        }
    }

    // Sums of `count` windows one pair apart (count at most kMaxDirectRun).
    template <SimdLevel Isa, int Taps>
    static void sumsOf(const double* x, const double* t, int count, double* out)
    {
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa == SimdLevel::Avx512)
            return avx512::directSums<Taps>(x, t, count, out);
        else if constexpr (Isa == SimdLevel::Avx2 && Taps <= 32)
            return avx2::directSums<Taps>(x, t, count, out);
#endif
        for (int j = 0; j < count; ++j)
            sumOf<Isa>(x + 2 * j, t, Taps).store(out + 2 * j);
    }

    template <SimdLevel Isa>
    static Pair sumOf(const double* x, const double* t, int taps)
    {
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa == SimdLevel::Avx512)
            return avx512::directSum(x, t, taps);
        else if constexpr (Isa == SimdLevel::Avx2)
            return avx2::directSum(x, t, taps);
#endif
        return directSum(x, t, taps);
    }

    // sum_i t_i x_i over n (a multiple of 8) pairs: eight partial sums s_j
    // of the terms i = j mod 8 in rising i (eight short chains of additions
    // instead of one long one), added as
    // ((s0 + s4) + (s2 + s6)) + ((s1 + s5) + (s3 + s7)). Each s_j starts as
    // its first product: adding that to zero would change nothing but the
    // sign of an exact zero, and the sum only ever meets maxima against
    // levels of 1 and more.
    static Pair directSum(const double* x, const double* t, int n)
    {
        Pair s[8];
        for (int j = 0; j < 8; ++j)
            s[j] = Pair::load(t + 2 * j) * Pair::load(x + 2 * j);
#pragma GCC unroll 8
        for (int i = 8; i < n; i += 8)
            for (int j = 0; j < 8; ++j)
                s[j] += Pair::load(t + 2 * (i + j)) * Pair::load(x + 2 * (i + j));
        return ((s[0] + s[4]) + (s[2] + s[6])) + ((s[1] + s[5]) + (s[3] + s[7]));
    }

    int n = 0;
    bool direct = false;  // n <= kMaxDirect and a multiple of 8
    int writeIndex = 0;   // time slot the next input goes to
    int overlapIndex = 0; // overlap slot read with the next output
    RealFft fft;
    AlignedBuffer<double> frame;    // 2N pairs in use
    AlignedBuffer<double> overlap;  // N pairs in use
    AlignedBuffer<double> spectrum; // 2N pairs: the kernel's, scaled for the round trip
    AlignedBuffer<double> taps;     // N doubles
    // The direct sum: 2R pairs of history (R = 2N + kMaxDirectRun), and the
    // taps oldest input first (h'_{N-1} .. h'_0), each twice.
    AlignedBuffer<double> history;
    AlignedBuffer<double> reversedTaps;
    int historyIndex = 0;

    int historyLength() const { return 2 * n + kMaxDirectRun; }
};
