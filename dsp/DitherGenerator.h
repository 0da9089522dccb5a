// Three combined Tausworthe shift registers: the random source of the
// requantizer's triangular dither and of the calibration noise. Only shifts
// and exclusive-ors, so it is cheap and its sequence is fixed by the seeds:
// runs started from a reset are reproducible.
#pragma once

#include <cstdint>

#include "dsp/Pair.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdLevel.h"

class DitherGenerator
{
public:
    static constexpr uint32_t kSeed1 = 592, kSeed2 = 153768, kSeed3 = 1526;

    void reset()
    {
        s[0] = kSeed1;
        s[1] = kSeed2;
        s[2] = kSeed3;
    }

    // One step of register k (0, 1 or 2): shifts and exclusive-ors only, so
    // a linear map of its 32 bits.
    static constexpr uint32_t stepRegister(uint32_t r, int k)
    {
        constexpr int up[3] = {13, 20, 17}, down[3] = {9, 2, 6}, across[3] = {6, 7, 8};
        constexpr uint32_t keep[3] = {0x1fffu, 0xfffffu, 0x1ffffu};
        return (r << up[k]) ^ ((((r >> down[k]) ^ r) >> across[k]) & keep[k]);
    }

    uint32_t nextWord()
    {
        s[0] = stepRegister(s[0], 0);
        s[1] = stepRegister(s[1], 1);
        s[2] = stepRegister(s[2], 2);
        return s[0] ^ s[1] ^ s[2];
    }

    // The three registers, for a path that steps them itself.
    const uint32_t* registers() const { return s; }
    void setRegisters(const uint32_t* r)
    {
        s[0] = r[0];
        s[1] = r[1];
        s[2] = r[2];
    }

    // Uniform in -1 <= u < 1. The scale is the decimal 2.3283064365e-10, not
    // the exact 2^-32, so the values are those the sequence always had.
    double next() { return double(nextWord()) * 2.3283064365e-10 * 2.0 - 1.0; }

    // The uniform values of two words at once, the same bits as next().
    static Pair uniform(uint32_t left, uint32_t right)
    {
        return Pair(double(left), double(right)) * Pair(2.3283064365e-10) * Pair(2.0) - Pair(1.0);
    }

    // Triangular dither for one sample pair from the next four words: the
    // sum of two uniform values per channel, in the order left, left,
    // right, right. The wide paths step the three registers side by side.
    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair triangular()
    {
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa != SimdLevel::Sse2)
            return avx2::triangularDither(s);
#endif
        const uint32_t w1 = nextWord(), w2 = nextWord();
        const uint32_t w3 = nextWord(), w4 = nextWord();
        return uniform(w1, w3) + uniform(w2, w4);
    }

private:
    // The three registers, and a fourth lane that stays 0 for the wide step.
    alignas(16) uint32_t s[4] = {kSeed1, kSeed2, kSeed3, 0};
};
