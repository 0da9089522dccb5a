#include "effect/ParameterTable.h"

#include <cmath>

namespace
{
constexpr double kReleaseExponent = 0.82030212;
} // namespace

int32_t stepIndex(float v, int32_t n)
{
    float scaled = v * (float)n;
    // Comparisons first: converting a NaN or a huge float to an integer is undefined.
    if (!(scaled >= 0.0f))
        return 0;
    if (scaled >= (float)n)
        return n - 1;
    int32_t i = (int32_t)scaled;
    return i >= n ? n - 1 : i;
}

float stepValue(int32_t i, int32_t n) { return (float)i / (float)n + 0.5f / (float)n; }

double curveValue(ParameterCurve curve, double v)
{
    switch (curve)
    {
    case ParameterCurve::outputGain: return std::pow(2.0, (clampToUnit(v) - 1.0) * 2.0);
    case ParameterCurve::driveGain: return std::pow(2.0, (clampToUnit(v) - 0.5) * 8.0);
    case ParameterCurve::transientAmount:
    {
        const double scaled = clampToUnit(v) * kTransientScale;
        return scaled * scaled * 0.25;
    }
    case ParameterCurve::releaseMs: return std::pow(10.0, std::pow(clampToUnit(v), kReleaseExponent) * 3.0);
    case ParameterCurve::percent: return v * 100.0;
    case ParameterCurve::none: break;
    }
    return v;
}

double curveNormalised(ParameterCurve curve, double e)
{
    double v = e;
    switch (curve)
    {
    case ParameterCurve::outputGain: v = e > 0.0 ? std::log2(e) / 2.0 + 1.0 : 0.0; break;
    case ParameterCurve::driveGain: v = e > 0.0 ? std::log2(e) / 8.0 + 0.5 : 0.0; break;
    case ParameterCurve::transientAmount: v = e > 0.0 ? std::sqrt(e * 4.0) / kTransientScale : 0.0; break;
    case ParameterCurve::releaseMs: v = e > 1.0 ? std::pow(std::log10(e) / 3.0, 1.0 / kReleaseExponent) : 0.0; break;
    case ParameterCurve::percent: v = e / 100.0; break;
    case ParameterCurve::none: break;
    }
    // A NaN reads as the bottom of the range, like every other value off the curve.
    return v > 0.0 ? clampToUnit(v) : 0.0;
}

double parameterUnitValue(int32_t index, double normalised)
{
    if (index < 0 || index >= kNumParams)
        return -1.0;
    const ParameterInfo& row = kParameterTable[index];
    if (row.steps > 0)
        return stepIndex((float)normalised, row.steps);
    const double e = curveValue(row.curve, clampToUnit(normalised));
    return row.unit == ParameterUnit::decibel ? 20.0 * std::log10(e) : e;
}

double parameterNormalised(int32_t index, double unitValue)
{
    if (index < 0 || index >= kNumParams)
        return 0.0;
    const ParameterInfo& row = kParameterTable[index];
    if (row.steps > 0)
    {
        const int n = row.steps;
        // Compared before converting: a NaN or a huge number has no integer.
        const double inRange = unitValue >= 0.0 ? (unitValue <= n ? unitValue : (double)n) : 0.0;
        const int step = (int)std::nearbyint(inRange);
        return stepValue(step < n ? step : n - 1, n);
    }
    if (row.curve == ParameterCurve::none)
        return unitValue >= 0.0 ? clampToUnit(unitValue) : 0.0;
    const double e = row.unit == ParameterUnit::decibel ? std::pow(10.0, unitValue / 20.0) : unitValue;
    return curveNormalised(row.curve, e);
}
