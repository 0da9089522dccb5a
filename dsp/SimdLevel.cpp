#include "dsp/SimdLevel.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#if (defined(__x86_64__) || defined(_M_X64)) && (defined(__GNUC__) || defined(__clang__))
#define ZELVO_DETECT_X86 1
#include <cpuid.h>
#endif

namespace
{
#ifdef ZELVO_DETECT_X86
// The state components the system saves on a context switch (XCR0).
unsigned long long enabledStateComponents()
{
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

SimdLevel detect()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return SimdLevel::Sse2;
    const bool osSavesState = c & (1u << 27); // OSXSAVE: XGETBV may be used
    const bool avx = c & (1u << 28);
    if (!osSavesState || !avx)
        return SimdLevel::Sse2;
    const unsigned long long xcr0 = enabledStateComponents();
    const bool ymmSaved = (xcr0 & 0x6) == 0x6;   // SSE and AVX state
    const bool zmmSaved = (xcr0 & 0xe6) == 0xe6; // and the opmask and upper ZMM state
    if (!ymmSaved || !__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return SimdLevel::Sse2;
    const bool avx2 = b & (1u << 5);
    const bool avx512 = (b & (1u << 16)) && (b & (1u << 17)) && (b & (1u << 31)); // F, DQ, VL
    if (avx512 && zmmSaved && avx2)
        return SimdLevel::Avx512;
    return avx2 ? SimdLevel::Avx2 : SimdLevel::Sse2;
}
#else
SimdLevel detect() { return SimdLevel::Sse2; }
#endif
} // namespace

SimdLevel supportedSimdLevel()
{
    static const SimdLevel level = detect();
    return level;
}

SimdLevel chosenSimdLevel()
{
    const SimdLevel supported = supportedSimdLevel();
    const char* wanted = std::getenv("ZELVO_SIMD");
    if (!wanted || !*wanted)
        return supported;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        if (std::strcmp(wanted, simdLevelName(level)) == 0)
            return static_cast<int>(level) < static_cast<int>(supported) ? level : supported;
    return supported;
}

const char* simdLevelName(SimdLevel level)
{
    switch (level)
    {
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Avx512: return "avx512";
    default: return "sse2";
    }
}
