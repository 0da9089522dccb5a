// What the limiter makes of each input sample before anything else sees it.
//
// A NaN, an infinity or a magnitude of 1e100 and more comes from a broken
// source, never from audio: it is taken as silence, as one of them would
// otherwise stay in the followers, the smoother and the meters for good.
//
// Every other sample is bounded at +-1000 (+60 dBFS), far above any real
// signal. Without the bound a single finite glitch (1e30 from another
// plug-in, say) drove the release followers so high that their decay held
// the output down for seconds; from +60 dBFS the default releases recover in
// a fraction of a second. Samples inside the bound pass unchanged.
#pragma once

#include <cmath>

#include "dsp/Pair.h"

constexpr double kBrokenInput = 1e100;
constexpr double kInputBound = 1000.0;

inline double boundedInput(double x)
{
    if (!(std::fabs(x) < kBrokenInput))
        return 0.0;
    // In the order and with the tie rule of the two-lane form below.
    x = x > -kInputBound ? x : -kInputBound;
    return x < kInputBound ? x : kInputBound;
}

inline Pair boundedInput(Pair x)
{
    x = keep(abs(x) < Pair(kBrokenInput), x);
    return min(max(x, Pair(-kInputBound)), Pair(kInputBound));
}
