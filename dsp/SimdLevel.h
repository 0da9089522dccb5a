// The widest vector instruction set the kernel may use on this processor,
// found once (CPUID, and XGETBV for whether the system saves the wide
// registers). Every level computes the same bits: the wide paths only run
// more lanes of the same operations in the same order.
#pragma once

enum class SimdLevel
{
    Sse2 = 0,   // every x86-64 processor; also the plain path elsewhere
    Avx2 = 1,   // four doubles per operation
    Avx512 = 2, // eight doubles per operation, with mask registers
};

// What the processor and the system support; detected on the first call.
SimdLevel supportedSimdLevel();

// The level a new engine uses: the supported one, or a lower one named by
// the environment variable ZELVO_SIMD ("sse2", "avx2", "avx512"), which
// lets a test or a benchmark compare the paths on one machine. A level the
// processor lacks is never chosen.
SimdLevel chosenSimdLevel();

const char* simdLevelName(SimdLevel level);
