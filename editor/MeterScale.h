// Decibel conversions and bar lengths shared by the meters.
#pragma once

#include <cmath>

namespace meterscale
{

inline float toDecibels(float linear) { return 20.0f * std::log10(linear); }

// The bar meters' floor: 0.000001 is -120 dB.
inline float toBarDecibels(float linear) { return toDecibels(linear > 0.000001f ? linear : 0.000001f); }

constexpr int kPixelsPerDecibel = 6;
constexpr int kMaxBarLength = 360;
constexpr int kPeakRangeBottom = 48; // peak scale: -48 to +12 dB
constexpr int kKRangeBottom = 60;    // K scales: -60 to 0 dBFS

// Pixels of a bar showing decibels on a scale whose bottom lies rangeBottom dB down.
inline int barLength(float decibels, int rangeBottom)
{
    int n = static_cast<int>((decibels + static_cast<float>(rangeBottom)) * kPixelsPerDecibel + 0.5f);
    return n < 0 ? 0 : (n > kMaxBarLength ? kMaxBarLength : n);
}

} // namespace meterscale
