// The eight attack/release followers of both channels held in registers for
// the length of a sample loop. Each step depends on the one before it, so a
// state kept in memory would put a store and a reload on that chain every
// sample; here it goes to memory only at the loop's ends. One form per
// instruction set, all giving the same bits: per lane the same operations
// in the same order as the two-lane form.
#pragma once

#include <algorithm>
#include <cstring>

#include "dsp/KernelSettings.h"
#include "dsp/Pair.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"

// stage1 and stage2 are kFollowerCount pairs each; attackXorRelease holds the
// bits attack ^ release per pair (see selectBetween). A step moves the first
// stage towards the input and (second order) the second stage towards the
// new first stage: rise = attack where the input is at or above the state,
// release elsewhere. It returns the largest output of both channels and 1.0.
//
// Fully linked, both channels' followers see one input; once their states
// are alike bit for bit (as from a reset), they stay so, and one channel's
// followers stand for both: merge() lays them out one channel wide, twice
// as many to a register, stepMerged() takes half the operations and gives
// the same bits, and save() writes them back to both channels.
inline bool channelsAlike(const double* s1, const double* s2)
{
    for (int i = 0; i < 2 * kFollowerCount; i += 2)
        if (std::memcmp(s1 + i, s1 + i + 1, sizeof(double)) != 0 ||
            std::memcmp(s2 + i, s2 + i + 1, sizeof(double)) != 0)
            return false;
    return true;
}

template <SimdLevel Isa, bool SecondOrder>
struct FollowerBank
{
    Pair stage1[kFollowerCount], stage2[kFollowerCount];
    Pair difference[kFollowerCount], fall[kFollowerCount];
    bool merged = false; // stage k < 4: followers 2k and 2k + 1 of one channel

    FollowerBank(const double* s1, const double* s2, const double* attackXorRelease, const double* release)
    {
        for (int i = 0; i < kFollowerCount; ++i)
        {
            stage1[i] = Pair::load(s1 + 2 * i);
            stage2[i] = Pair::load(s2 + 2 * i);
            difference[i] = Pair::load(attackXorRelease + 2 * i);
            fall[i] = Pair::load(release + 2 * i);
        }
    }

    void merge()
    {
        for (int k = 0; k < kFollowerCount / 2; ++k)
        {
            stage1[k] = Pair(stage1[2 * k].left(), stage1[2 * k + 1].left());
            stage2[k] = Pair(stage2[2 * k].left(), stage2[2 * k + 1].left());
            difference[k] = Pair(difference[2 * k].left(), difference[2 * k + 1].left());
            fall[k] = Pair(fall[2 * k].left(), fall[2 * k + 1].left());
        }
        merged = true;
    }

    // Order I leaves the second stage equal to the first.
    void save(double* s1, double* s2) const
    {
        if (merged)
        {
            for (int k = 0; k < kFollowerCount / 2; ++k)
            {
                const Pair second = SecondOrder ? stage2[k] : stage1[k];
                Pair(stage1[k].left()).store(s1 + 4 * k);
                Pair(stage1[k].right()).store(s1 + 4 * k + 2);
                Pair(second.left()).store(s2 + 4 * k);
                Pair(second.right()).store(s2 + 4 * k + 2);
            }
            return;
        }
        for (int i = 0; i < kFollowerCount; ++i)
        {
            stage1[i].store(s1 + 2 * i);
            (SecondOrder ? stage2[i] : stage1[i]).store(s2 + 2 * i);
        }
    }

    Pair stepMerged(double linked)
    {
        const Pair input(linked);
        Pair level(1.0);
        for (int k = 0; k < kFollowerCount / 2; ++k)
        {
            const Pair rise1 = selectBetween(input >= stage1[k], difference[k], fall[k]);
            stage1[k] += (input - stage1[k]) * rise1;
            if constexpr (SecondOrder)
            {
                const Pair rise2 = selectBetween(stage1[k] >= stage2[k], difference[k], fall[k]);
                stage2[k] += (stage1[k] - stage2[k]) * rise2;
                level = max(level, stage2[k]);
            }
            else
            {
                level = max(level, stage1[k]);
            }
        }
        return Pair(std::max(level.left(), level.right()));
    }

    Pair step(Pair linked)
    {
        Pair level(1.0);
        for (int i = 0; i < kFollowerCount; ++i)
        {
            const Pair rise1 = selectBetween(linked >= stage1[i], difference[i], fall[i]);
            stage1[i] += (linked - stage1[i]) * rise1;
            if constexpr (SecondOrder)
            {
                const Pair rise2 = selectBetween(stage1[i] >= stage2[i], difference[i], fall[i]);
                stage2[i] += (stage1[i] - stage2[i]) * rise2;
                level = max(level, stage2[i]);
            }
            else
            {
                level = max(level, stage1[i]);
            }
        }
        return level;
    }
};

#ifdef ZELVO_WIDE_SIMD
ZELVO_WIDE_WARNINGS_OFF
// Four followers of both channels to a register; the coefficients are read
// from memory, which keeps the sixteen registers for the state.
template <bool SecondOrder>
struct FollowerBank<SimdLevel::Avx2, SecondOrder>
{
    __m256d stage1[4], stage2[4]; // merged: stage k < 2 holds followers 4k .. 4k + 3 of one channel
    const double* difference;
    const double* fall;
    double differenceEach[kFollowerCount], fallEach[kFollowerCount];
    bool merged = false;

    ZELVO_TARGET_AVX2 FollowerBank(const double* s1, const double* s2, const double* attackXorRelease,
                                   const double* release)
        : difference(attackXorRelease),
          fall(release)
    {
        for (int k = 0; k < 4; ++k)
        {
            stage1[k] = _mm256_loadu_pd(s1 + 4 * k);
            stage2[k] = _mm256_loadu_pd(s2 + 4 * k);
        }
    }

    // The left lanes of pairs 4k .. 4k + 3 of a four-register bank.
    ZELVO_TARGET_AVX2 static __m256d leftLanes(const __m256d* pairs, int k)
    {
        const __m256d a = _mm256_unpacklo_pd(pairs[2 * k], pairs[2 * k + 1]); // f0 f2 f1 f3
        return _mm256_permute4x64_pd(a, 0xd8);                                // f0 f1 f2 f3
    }

    ZELVO_TARGET_AVX2 void merge()
    {
        for (int i = 0; i < kFollowerCount; ++i)
        {
            differenceEach[i] = difference[2 * i];
            fallEach[i] = fall[2 * i];
        }
        const __m256d first[2] = {leftLanes(stage1, 0), leftLanes(stage1, 1)};
        const __m256d second[2] = {leftLanes(stage2, 0), leftLanes(stage2, 1)};
        for (int k = 0; k < 2; ++k)
        {
            stage1[k] = first[k];
            stage2[k] = second[k];
        }
        merged = true;
    }

    // Followers 4k .. 4k + 3 of one channel as the pairs of both.
    ZELVO_TARGET_AVX2 static void storeBoth(double* s, int k, __m256d v)
    {
        const __m256d low = _mm256_permute4x64_pd(v, 0x50), high = _mm256_permute4x64_pd(v, 0xfa);
        _mm256_storeu_pd(s + 8 * k, low);
        _mm256_storeu_pd(s + 8 * k + 4, high);
    }

    ZELVO_TARGET_AVX2 void save(double* s1, double* s2) const
    {
        if (merged)
        {
            for (int k = 0; k < 2; ++k)
            {
                storeBoth(s1, k, stage1[k]);
                storeBoth(s2, k, SecondOrder ? stage2[k] : stage1[k]);
            }
            return;
        }
        for (int k = 0; k < 4; ++k)
        {
            _mm256_storeu_pd(s1 + 4 * k, stage1[k]);
            _mm256_storeu_pd(s2 + 4 * k, SecondOrder ? stage2[k] : stage1[k]);
        }
    }

    ZELVO_TARGET_AVX2 Pair step(Pair linked)
    {
        const __m256d input = _mm256_broadcast_pd(&linked.v);
        __m256d level = _mm256_set1_pd(1.0);
        for (int k = 0; k < 4; ++k)
        {
            const __m256d bits = _mm256_loadu_pd(difference + 4 * k), release = _mm256_loadu_pd(fall + 4 * k);
            const __m256d rise1 =
                _mm256_xor_pd(release, _mm256_and_pd(_mm256_cmp_pd(input, stage1[k], _CMP_GE_OS), bits));
            stage1[k] = _mm256_add_pd(stage1[k], _mm256_mul_pd(_mm256_sub_pd(input, stage1[k]), rise1));
            if constexpr (SecondOrder)
            {
                const __m256d rise2 =
                    _mm256_xor_pd(release, _mm256_and_pd(_mm256_cmp_pd(stage1[k], stage2[k], _CMP_GE_OS), bits));
                stage2[k] = _mm256_add_pd(stage2[k], _mm256_mul_pd(_mm256_sub_pd(stage1[k], stage2[k]), rise2));
                level = _mm256_max_pd(level, stage2[k]);
            }
            else
            {
                level = _mm256_max_pd(level, stage1[k]);
            }
        }
        return _mm_max_pd(_mm256_castpd256_pd128(level), _mm256_extractf128_pd(level, 1));
    }

    ZELVO_TARGET_AVX2 Pair stepMerged(double linked)
    {
        const __m256d input = _mm256_set1_pd(linked);
        __m256d level = _mm256_set1_pd(1.0);
        for (int k = 0; k < 2; ++k)
        {
            const __m256d bits = _mm256_loadu_pd(differenceEach + 4 * k), release = _mm256_loadu_pd(fallEach + 4 * k);
            const __m256d rise1 =
                _mm256_xor_pd(release, _mm256_and_pd(_mm256_cmp_pd(input, stage1[k], _CMP_GE_OS), bits));
            stage1[k] = _mm256_add_pd(stage1[k], _mm256_mul_pd(_mm256_sub_pd(input, stage1[k]), rise1));
            if constexpr (SecondOrder)
            {
                const __m256d rise2 =
                    _mm256_xor_pd(release, _mm256_and_pd(_mm256_cmp_pd(stage1[k], stage2[k], _CMP_GE_OS), bits));
                stage2[k] = _mm256_add_pd(stage2[k], _mm256_mul_pd(_mm256_sub_pd(stage1[k], stage2[k]), rise2));
                level = _mm256_max_pd(level, stage2[k]);
            }
            else
            {
                level = _mm256_max_pd(level, stage1[k]);
            }
        }
        const __m128d half = _mm_max_pd(_mm256_castpd256_pd128(level), _mm256_extractf128_pd(level, 1));
        return _mm_max_pd(half, _mm_shuffle_pd(half, half, 1));
    }
};

// All eight followers of a channel pair in two registers per stage, the
// choice of coefficient by mask; attack = attackXorRelease ^ release once.
template <bool SecondOrder>
struct FollowerBank<SimdLevel::Avx512, SecondOrder>
{
    __m512d stage1[2], stage2[2]; // merged: stage 0 holds the eight followers of one channel
    __m512d attack[2], fall[2];   // merged: 0 holds one channel's coefficients
    bool merged = false;

    ZELVO_TARGET_AVX512 FollowerBank(const double* s1, const double* s2, const double* attackXorRelease,
                                     const double* release)
    {
        for (int k = 0; k < 2; ++k)
        {
            stage1[k] = _mm512_loadu_pd(s1 + 8 * k);
            stage2[k] = _mm512_loadu_pd(s2 + 8 * k);
            fall[k] = _mm512_loadu_pd(release + 8 * k);
            attack[k] = _mm512_xor_pd(_mm512_loadu_pd(attackXorRelease + 8 * k), fall[k]);
        }
    }

    // The left lanes of a two-register bank: followers 0 .. 7 of one channel.
    ZELVO_TARGET_AVX512 static __m512d leftLanes(const __m512d* pairs)
    {
        return _mm512_permutex2var_pd(pairs[0], _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), pairs[1]);
    }

    ZELVO_TARGET_AVX512 void merge()
    {
        stage1[0] = leftLanes(stage1);
        stage2[0] = leftLanes(stage2);
        attack[0] = leftLanes(attack);
        fall[0] = leftLanes(fall);
        merged = true;
    }

    // One channel's eight followers as the pairs of both.
    ZELVO_TARGET_AVX512 static void storeBoth(double* s, __m512d v)
    {
        _mm512_storeu_pd(s, _mm512_permutexvar_pd(_mm512_setr_epi64(0, 0, 1, 1, 2, 2, 3, 3), v));
        _mm512_storeu_pd(s + 8, _mm512_permutexvar_pd(_mm512_setr_epi64(4, 4, 5, 5, 6, 6, 7, 7), v));
    }

    ZELVO_TARGET_AVX512 void save(double* s1, double* s2) const
    {
        if (merged)
        {
            storeBoth(s1, stage1[0]);
            storeBoth(s2, SecondOrder ? stage2[0] : stage1[0]);
            return;
        }
        for (int k = 0; k < 2; ++k)
        {
            _mm512_storeu_pd(s1 + 8 * k, stage1[k]);
            _mm512_storeu_pd(s2 + 8 * k, SecondOrder ? stage2[k] : stage1[k]);
        }
    }

    ZELVO_TARGET_AVX512 Pair step(Pair linked)
    {
        const __m512d input = _mm512_broadcast_f64x2(linked.v);
        __m512d level = _mm512_set1_pd(1.0);
        for (int k = 0; k < 2; ++k)
        {
            const __m512d rise1 =
                _mm512_mask_blend_pd(_mm512_cmp_pd_mask(input, stage1[k], _CMP_GE_OS), fall[k], attack[k]);
            stage1[k] = _mm512_add_pd(stage1[k], _mm512_mul_pd(_mm512_sub_pd(input, stage1[k]), rise1));
            if constexpr (SecondOrder)
            {
                const __m512d rise2 =
                    _mm512_mask_blend_pd(_mm512_cmp_pd_mask(stage1[k], stage2[k], _CMP_GE_OS), fall[k], attack[k]);
                stage2[k] = _mm512_add_pd(stage2[k], _mm512_mul_pd(_mm512_sub_pd(stage1[k], stage2[k]), rise2));
                level = _mm512_max_pd(level, stage2[k]);
            }
            else
            {
                level = _mm512_max_pd(level, stage1[k]);
            }
        }
        const __m256d half = _mm256_max_pd(_mm512_castpd512_pd256(level), _mm512_extractf64x4_pd(level, 1));
        return _mm_max_pd(_mm256_castpd256_pd128(half), _mm256_extractf128_pd(half, 1));
    }

    ZELVO_TARGET_AVX512 Pair stepMerged(double linked)
    {
        const __m512d input = _mm512_set1_pd(linked);
        const __m512d rise1 =
            _mm512_mask_blend_pd(_mm512_cmp_pd_mask(input, stage1[0], _CMP_GE_OS), fall[0], attack[0]);
        stage1[0] = _mm512_add_pd(stage1[0], _mm512_mul_pd(_mm512_sub_pd(input, stage1[0]), rise1));
        __m512d level = stage1[0];
        if constexpr (SecondOrder)
        {
            const __m512d rise2 =
                _mm512_mask_blend_pd(_mm512_cmp_pd_mask(stage1[0], stage2[0], _CMP_GE_OS), fall[0], attack[0]);
            stage2[0] = _mm512_add_pd(stage2[0], _mm512_mul_pd(_mm512_sub_pd(stage1[0], stage2[0]), rise2));
            level = stage2[0];
        }
        const __m256d quarter = _mm256_max_pd(_mm512_castpd512_pd256(level), _mm512_extractf64x4_pd(level, 1));
        const __m128d half = _mm_max_pd(_mm256_castpd256_pd128(quarter), _mm256_extractf128_pd(quarter, 1));
        return _mm_max_pd(_mm_max_pd(half, _mm_shuffle_pd(half, half, 1)), _mm_set1_pd(1.0));
    }
};
ZELVO_WIDE_WARNINGS_ON
#endif
