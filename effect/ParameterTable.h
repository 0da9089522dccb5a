// The 26 host parameters: indices, names, step counts, and the two rules
// that turn a normalised value into a step and back.
#pragma once

#include <cstdint>

enum ParamId
{
    kOutput = 0,
    kDrive,
    kTransient,
    kRelease,
    kTransShape,
    kLink,
    kOversample,
    kDetectorOrder,
    kPower,
    kScale,
    kBits,
    kNoiseShape,
    kCalibrate,
    kLeveller,
    kMeterOvs,
    kAutoOut,
    kQuantize,
    kAutoblack,
    kMeterType,
    kAttZoom,
    kAttShow,
    kPostMeter,
    kTruePeakGuard,
    kDummy2,
    kDummy3,
    kLayoutMarker,
    kNumParams
};

struct ParameterInfo
{
    const char* name;
    int steps;                  // 0 for a continuous parameter
    const char* const* stepTexts; // display text per step, or null
    const char* label;          // unit label, or null
};

extern const ParameterInfo kParameterTable[kNumParams];

// v * n in single precision, truncated toward zero, capped at n - 1. Never
// leaves 0..n-1: a negative value gives step 0 and a NaN gives step 0.
int32_t stepIndex(float v, int32_t n);
// The centre of step i: i / n + 0.5 / n in single precision.
float stepValue(int32_t i, int32_t n);
