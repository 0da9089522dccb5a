// The eight attack/release followers of both channels held in registers for
// the length of a sample loop. Each step depends on the one before it, so a
// state kept in memory would put a store and a reload on that chain every
// sample; here it goes to memory only at the loop's ends. One form per
// instruction set, all giving the same bits: per lane the same operations
// in the same order as the two-lane form.
#pragma once

#include "dsp/KernelSettings.h"
#include "dsp/Pair.h"
#include "dsp/SimdLevel.h"
#include "dsp/SimdTarget.h"

// stage1 and stage2 are kFollowerCount pairs each; attackXorRelease holds the
// bits attack ^ release per pair (see selectBetween). A step moves the first
// stage towards the input and (second order) the second stage towards the
// new first stage: rise = attack where the input is at or above the state,
// release elsewhere. It returns the largest output of both channels and 1.0.
template <SimdLevel Isa, bool SecondOrder>
struct FollowerBank
{
    Pair stage1[kFollowerCount], stage2[kFollowerCount];
    Pair difference[kFollowerCount], fall[kFollowerCount];

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

    // Order I leaves the second stage equal to the first.
    void save(double* s1, double* s2) const
    {
        for (int i = 0; i < kFollowerCount; ++i)
        {
            stage1[i].store(s1 + 2 * i);
            (SecondOrder ? stage2[i] : stage1[i]).store(s2 + 2 * i);
        }
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
    __m256d stage1[4], stage2[4];
    const double* difference;
    const double* fall;

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

    ZELVO_TARGET_AVX2 void save(double* s1, double* s2) const
    {
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
};

// All eight followers of a channel pair in two registers per stage, the
// choice of coefficient by mask; attack = attackXorRelease ^ release once.
template <bool SecondOrder>
struct FollowerBank<SimdLevel::Avx512, SecondOrder>
{
    __m512d stage1[2], stage2[2];
    __m512d attack[2], fall[2];

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

    ZELVO_TARGET_AVX512 void save(double* s1, double* s2) const
    {
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
};
ZELVO_WIDE_WARNINGS_ON
#endif
