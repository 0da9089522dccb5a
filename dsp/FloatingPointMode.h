// Flush-to-zero and denormals-are-zero for the span of one audio block: the
// decaying followers, envelopes and filters would otherwise crawl through the
// denormal range at a hundred times the cost. The caller's mode is restored
// on leaving, so the host's own code is not affected.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>

class FloatingPointMode
{
public:
    static constexpr unsigned kFlushToZeroAndDenormalsAreZero = 0x8040;

    FloatingPointMode() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZeroAndDenormalsAreZero); }
    ~FloatingPointMode() { _mm_setcsr(saved); }
    FloatingPointMode(const FloatingPointMode&) = delete;
    FloatingPointMode& operator=(const FloatingPointMode&) = delete;

private:
    unsigned saved;
};

#else

// Other processors: the 1e-30 flushes of the recursive gains keep the states
// out of the denormal range on their own.
class FloatingPointMode
{
public:
    FloatingPointMode() {}
};

#endif
