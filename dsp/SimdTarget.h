// Function attributes that compile one function for a wider instruction
// set than the rest of the library. Only code reached after the processor
// check (SimdLevel) may call such a function. A wide function that calls
// ordinary inline code gets its own copy of it compiled wide, so nothing
// compiled wide ever stands in for the plain code of other callers.
#pragma once

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define ZELVO_WIDE_SIMD 1
#include <immintrin.h>
#define ZELVO_TARGET_AVX2 __attribute__((target("avx2")))
#define ZELVO_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512dq,avx512vl")))
// For a sample loop: everything it calls is inlined into it, so the whole
// loop runs in the wider instruction set.
#define ZELVO_TARGET_AVX2_LOOP __attribute__((target("avx2"), flatten))
#define ZELVO_TARGET_AVX512_LOOP __attribute__((target("avx2,avx512f,avx512dq,avx512vl"), flatten))
#else
#define ZELVO_TARGET_AVX2
#define ZELVO_TARGET_AVX512
#define ZELVO_TARGET_AVX2_LOOP
#define ZELVO_TARGET_AVX512_LOOP
#endif

// GCC 12 takes the deliberately undefined pass-through operand of the
// unmasked AVX-512 intrinsics for an uninitialised value: code built on
// them sits between these two.
#if defined(__GNUC__) && !defined(__clang__)
#define ZELVO_WIDE_WARNINGS_OFF                                                                                        \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wmaybe-uninitialized\"")                         \
        _Pragma("GCC diagnostic ignored \"-Wuninitialized\"")
#define ZELVO_WIDE_WARNINGS_ON _Pragma("GCC diagnostic pop")
#else
#define ZELVO_WIDE_WARNINGS_OFF
#define ZELVO_WIDE_WARNINGS_ON
#endif
