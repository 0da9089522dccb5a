// Three combined Tausworthe shift registers: the random source of the
// requantizer's triangular dither and of the calibration noise. Only shifts
// and exclusive-ors, so it is cheap and its sequence is fixed by the seeds:
// runs started from a reset are reproducible.
#pragma once

#include <cstdint>

#include "dsp/Pair.h"

class DitherGenerator
{
public:
    static constexpr uint32_t kSeed1 = 592, kSeed2 = 153768, kSeed3 = 1526;

    void reset()
    {
        s1 = kSeed1;
        s2 = kSeed2;
        s3 = kSeed3;
    }

    uint32_t nextWord()
    {
        s1 = (s1 << 13) ^ ((((s1 >> 9) ^ s1) >> 6) & 0x1fffu);
        s2 = (s2 << 20) ^ ((((s2 >> 2) ^ s2) >> 7) & 0xfffffu);
        s3 = (s3 << 17) ^ ((((s3 >> 6) ^ s3) >> 8) & 0x1ffffu);
        return s1 ^ s2 ^ s3;
    }

    // Uniform in -1 <= u < 1. The scale is the decimal 2.3283064365e-10, not
    // the exact 2^-32, so the values are those the sequence always had.
    double next() { return double(nextWord()) * 2.3283064365e-10 * 2.0 - 1.0; }

    // The uniform values of two words at once, the same bits as next().
    static Pair uniform(uint32_t left, uint32_t right)
    {
        return Pair(double(left), double(right)) * Pair(2.3283064365e-10) * Pair(2.0) - Pair(1.0);
    }

private:
    uint32_t s1 = kSeed1, s2 = kSeed2, s3 = kSeed3;
};
