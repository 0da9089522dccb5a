// Real FFT of M = 2N points on two channels at once (every value is a
// left/right pair and both lanes see the same arithmetic, so the channels
// never mix), for N = 4 .. 256.
//
// The real frame is viewed as N complex points (even time + i odd time),
// transformed with a radix-2 complex FFT that leaves its output in
// bit-reversed order, and split into the M-point real spectrum. The inverse
// walks the same path backwards, so the fast convolution never pays for a
// reordering pass.
//
// Packed spectrum (pairs): slot 0 the real 0 Hz bin, slot 1 the real bin at
// half the transform rate, then (real, imaginary) slot pairs for bins
// 1 .. N - 1. Transforms are unscaled: forward -> multiply -> inverse gains
// 4M, which the caller folds into its kernel spectrum.
#pragma once

#include "dsp/AlignedBuffer.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"

class RealFft
{
public:
    static constexpr int kMaxHalfSize = 256; // N; the transform is 2N points

    RealFft();

    // Twiddles for N (a power of two, 4 .. 256).
    // Not for the audio thread.
    void prepare(int halfSize);
    int halfSize() const { return halfLength; }

    // frame: 2N pairs in time order. spectrum: 2N pairs, packed as above.
    void forward(double* frame, double* spectrum) const;

    // In place: frame (2N pairs, time order; times N .. 2N - 1 must be zero)
    // becomes the linear convolution of itself with the signal whose packed
    // forward spectrum is kernel, times 4M. The AVX-512 path works two
    // butterflies per operation where the passes allow it, the AVX2 path
    // one whole complex value, each with the same operations per value:
    // every path gives the same bits.
    void convolve(double* frame, const double* kernel, SimdLevel isa = SimdLevel::Sse2) const;

private:
    // Size as a template argument lets the compiler unroll the small
    // transforms, which run every few samples, into straight-line code.
    template <int N>
    void forwardComplex(double* data) const;
    template <int N, SimdLevel Isa>
    void convolveSized(double* frame, const double* kernel) const;
    template <int N>
    ZELVO_TARGET_AVX512_LOOP void convolveAvx512(double* frame, const double* kernel) const;
    template <int N>
    ZELVO_TARGET_AVX2_LOOP void convolveAvx2(double* frame, const double* kernel) const;
    template <int N>
    void convolveOn(double* frame, const double* kernel, SimdLevel isa) const;

    int halfLength = 0;
    AlignedBuffer<double> twiddleCos; // cos(2 pi m / 2N), m < N, each twice
    AlignedBuffer<double> twiddleSin; // -sin(2 pi m / 2N), m < N, each twice
};
