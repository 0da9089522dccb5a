// The dither source of one sample loop. A sample's triangular dither takes
// four steps of the generator's registers, each waiting on the one before:
// some sixteen dependent operations from one sample's words to the next,
// which on the widest path is one of the longest chains of the requantizing
// loop. There the four states of a sample sit side by side in one register,
// and each moves on four steps at once. Stepping is linear in the bits, so
// four steps are one map, and that map is seven shifted and masked copies
// of the state, summed in two halves: six operations deep. The words, and
// the dither, are those of DitherGenerator::triangular.
#pragma once

#include <cstdint>

#include "dsp/DitherGenerator.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"

// Every other path draws from the generator itself.
template <SimdLevel Isa>
struct WideDither
{
    DitherGenerator& generator;

    explicit WideDither(DitherGenerator& g) : generator(g) {}
    Pair triangular() { return generator.triangular<Isa>(); }
    void save() {}
};

// Four steps of one register as shifted and masked copies of it: bit i of
// the result is the exclusive-or of the bits i + d with d among the
// offsets whose mask has bit i. Right shifts for d >= 0, left for d < 0;
// a shift of 32 gives 0 on the wide paths, so an unused slot costs no mask.
struct FourSteps
{
    static constexpr int kRight = 4, kLeft = 3;
    uint32_t rightShift[kRight], rightMask[kRight];
    uint32_t leftShift[kLeft], leftMask[kLeft];
    bool fits; // whether the map needs no more slots than these

    static constexpr FourSteps of(int k)
    {
        // The image of each bit after four steps, then the bits of the
        // result that each offset feeds.
        uint32_t image[32] = {};
        for (int j = 0; j < 32; ++j)
        {
            uint32_t r = 1u << j;
            for (int step = 0; step < 4; ++step)
                r = DitherGenerator::stepRegister(r, k);
            image[j] = r;
        }
        uint32_t byOffset[63] = {}; // offset d = j - i at d + 31
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 32; ++i)
                if ((image[j] >> i) & 1u)
                    byOffset[j - i + 31] |= 1u << i;

        FourSteps f{};
        for (int s = 0; s < kRight; ++s)
            f.rightShift[s] = 32;
        for (int s = 0; s < kLeft; ++s)
            f.leftShift[s] = 32;
        f.fits = true;
        int right = 0, left = 0;
        for (int d = -31; d <= 31; ++d)
        {
            const uint32_t mask = byOffset[d + 31];
            if (mask == 0)
                continue;
            if (d >= 0 && right < kRight)
            {
                f.rightShift[right] = uint32_t(d);
                f.rightMask[right++] = mask;
            }
            else if (d < 0 && left < kLeft)
            {
                f.leftShift[left] = uint32_t(-d);
                f.leftMask[left++] = mask;
            }
            else
            {
                f.fits = false;
            }
        }
        return f;
    }
};

#ifdef ZELVO_WIDE_SIMD
// The shifts and masks of each slot for the sixteen 32-bit lanes of a
// register: four groups (the states after step 1 .. 4 of a sample), in each
// registers 0, 1 and 2 and a lane that stays 0.
struct alignas(64) FourStepLanes
{
    uint32_t rightShift[FourSteps::kRight][16], rightMask[FourSteps::kRight][16];
    uint32_t leftShift[FourSteps::kLeft][16], leftMask[FourSteps::kLeft][16];
    bool fits;

    static constexpr FourStepLanes make()
    {
        const FourSteps registers[3] = {FourSteps::of(0), FourSteps::of(1), FourSteps::of(2)};
        FourStepLanes t{};
        t.fits = registers[0].fits && registers[1].fits && registers[2].fits;
        for (int lane = 0; lane < 16; ++lane)
        {
            const int k = lane % 4;
            for (int s = 0; s < FourSteps::kRight; ++s)
            {
                t.rightShift[s][lane] = k < 3 ? registers[k].rightShift[s] : 32;
                t.rightMask[s][lane] = k < 3 ? registers[k].rightMask[s] : 0;
            }
            for (int s = 0; s < FourSteps::kLeft; ++s)
            {
                t.leftShift[s][lane] = k < 3 ? registers[k].leftShift[s] : 32;
                t.leftMask[s][lane] = k < 3 ? registers[k].leftMask[s] : 0;
            }
        }
        return t;
    }
};
inline constexpr FourStepLanes kFourStepLanes = FourStepLanes::make();
static_assert(kFourStepLanes.fits, "four steps of each register fit the slots");

ZELVO_WIDE_WARNINGS_OFF
template <>
struct WideDither<SimdLevel::Avx512>
{
    DitherGenerator& generator;
    __m512i ahead; // the four states of the next sample
    __m512i drawn; // those of the last sample drawn (group 3: the registers now)

    ZELVO_TARGET_AVX512 explicit WideDither(DitherGenerator& g) : generator(g)
    {
        alignas(64) uint32_t lanes[16] = {};
        uint32_t r[3] = {g.registers()[0], g.registers()[1], g.registers()[2]};
        for (int step = 0; step < 4; ++step)
            for (int k = 0; k < 3; ++k)
                lanes[4 * step + k] = r[k] = DitherGenerator::stepRegister(r[k], k);
        ahead = _mm512_load_si512(lanes);
        drawn = _mm512_broadcast_i32x4(
            _mm_setr_epi32(int(g.registers()[0]), int(g.registers()[1]), int(g.registers()[2]), 0));
    }

    ZELVO_TARGET_AVX512 Pair triangular()
    {
        drawn = ahead;
        ahead = fourStepsOn(ahead);
        // w = r0 ^ r1 ^ r2 in the first lane of each group, then those of
        // groups 0, 2, 1, 3: the words w1 w3 w2 w4.
        const __m512i words = _mm512_ternarylogic_epi32(drawn, _mm512_shuffle_epi32(drawn, _MM_PERM_ENUM(1)),
                                                        _mm512_shuffle_epi32(drawn, _MM_PERM_ENUM(2)), 0x96);
        const __m512i order = _mm512_setr_epi32(0, 8, 4, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
        return avx2::triangularOf(_mm512_castsi512_si128(_mm512_permutexvar_epi32(order, words)));
    }

    // The registers back to the generator, as its own steps leave them.
    ZELVO_TARGET_AVX512 void save()
    {
        alignas(64) uint32_t lanes[16];
        _mm512_store_si512(lanes, drawn);
        generator.setRegisters(lanes + 12);
    }

private:
    ZELVO_TARGET_AVX512 static __m512i slot(__m512i shifted, const uint32_t* mask)
    {
        return _mm512_and_si512(shifted, _mm512_load_si512(mask));
    }
    // a ^ (b & mask), one instruction.
    ZELVO_TARGET_AVX512 static __m512i addSlot(__m512i a, __m512i b, const uint32_t* mask)
    {
        return _mm512_ternarylogic_epi32(a, b, _mm512_load_si512(mask), 0x78);
    }
    ZELVO_TARGET_AVX512 static __m512i right(__m512i x, int s)
    {
        return _mm512_srlv_epi32(x, _mm512_load_si512(kFourStepLanes.rightShift[s]));
    }
    ZELVO_TARGET_AVX512 static __m512i left(__m512i x, int s)
    {
        return _mm512_sllv_epi32(x, _mm512_load_si512(kFourStepLanes.leftShift[s]));
    }

    // Two sums of slots side by side, so the chain is the shift, its mask
    // and three more slots deep.
    ZELVO_TARGET_AVX512 static __m512i fourStepsOn(__m512i x)
    {
        const FourStepLanes& t = kFourStepLanes;
        __m512i a = slot(right(x, 0), t.rightMask[0]);
        __m512i b = slot(left(x, 0), t.leftMask[0]);
        a = addSlot(a, right(x, 1), t.rightMask[1]);
        b = addSlot(b, left(x, 1), t.leftMask[1]);
        a = addSlot(a, right(x, 2), t.rightMask[2]);
        b = addSlot(b, left(x, 2), t.leftMask[2]);
        a = addSlot(a, right(x, 3), t.rightMask[3]);
        return _mm512_xor_si512(a, b);
    }
};
ZELVO_WIDE_WARNINGS_ON
#endif
