// The 26 host parameters, one descriptor row each: index, name, unit label,
// steps and their texts, the default, the curve between the normalised
// value and the engineering value, and hints for hosts and generators. Every
// consumer (the host texts, the programs, the knobs, the metering
// preferences, build-time generators) reads these rows, so a parameter is
// described in one place. Plain constexpr data with no other dependency: a
// generator can compile this header and ParameterTable.cpp on their own.
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

// From the normalised value v (0..1) to the value the effect works with.
enum class ParameterCurve
{
    none,            // stepped, or holds nothing
    outputGain,      // linear gain 2^((v - 1) 2): 0.25 .. 1.0 (Output, Leveller)
    driveGain,       // linear gain 2^((v - 0.5) 8): 1/16 .. 16
    transientAmount, // (1.4142136 v)^2 / 4: 0 .. 0.5
    releaseMs,       // 10^(v^0.82030212 3) ms: 1 .. 1000
    percent,         // v 100
};

// How the value shows as text to a host.
enum class ParameterDisplay
{
    none,     // nothing is written
    decibels, // dB text of the engineering value (a linear gain)
    number,   // number text of the engineering value
    stepText, // the text of the current step
    bitMarks, // "1", "2", "L" for bits 0, 1, 2 of the step
};

enum ParameterHint : unsigned
{
    kHintNone = 0,
    kHintStepped = 1u << 0,      // an integer step 0 .. steps - 1
    kHintToggle = 1u << 1,       // two steps, off and on
    kHintHidden = 1u << 2,       // no control; holds nothing a user sets
    kHintLayoutMarker = 1u << 3, // marks the layout the values were written in
};

struct ParameterInfo
{
    ParamId index;
    const char* name;
    const char* label;            // unit label, or null
    int steps;                    // 0 for a continuous parameter
    const char* const* stepTexts; // display text per step, or null
    float defaultValue;           // normalised; the "Current" program's value
    ParameterCurve curve;
    ParameterDisplay display;
    unsigned hints;
};

namespace parametertexts
{
constexpr const char* kOffOn[] = {"off", "on"};
constexpr const char* kShapes[] = {"hard", "med", "soft"};
constexpr const char* kOrders[] = {"I", "II"};
constexpr const char* kScales[] = {"K-12", "K-14", "K-20"};
constexpr const char* kBits[] = {"8", "16", "24"};
constexpr const char* kNoiseShapes[] = {"off", "type A", "type B", "type C"};
constexpr const char* kCalibrations[] = {"off", "left", "l+r uncor", "right"};
constexpr const char* kMeterTypes[] = {"peak", "k-system"};
constexpr const char* kZooms[] = {"24dB", "12dB"};
constexpr const char* kPrePost[] = {"pre", "post"};
} // namespace parametertexts

namespace parameterrows
{
using C = ParameterCurve;
using D = ParameterDisplay;
namespace t = parametertexts;
constexpr unsigned kStep = kHintStepped;
constexpr unsigned kSwitch = kHintStepped | kHintToggle;
constexpr unsigned kUnused = kHintHidden;

// Stepped defaults are the values the programs store (0.166667 for step 0
// of 3, 0.9375 for step 7 of 8).
inline constexpr ParameterInfo kParameterTable[kNumParams] = {
    {kOutput, "Output", "dB", 0, nullptr, 1.0f, C::outputGain, D::decibels, kHintNone},
    {kDrive, "Drive", "dB", 0, nullptr, 0.5f, C::driveGain, D::decibels, kHintNone},
    {kTransient, "Transient", "ms", 0, nullptr, 0.2f, C::transientAmount, D::number, kHintNone},
    {kRelease, "Release", "ms", 0, nullptr, 0.7237f, C::releaseMs, D::number, kHintNone},
    {kTransShape, "TransShape", nullptr, 3, t::kShapes, 0.166667f, C::none, D::stepText, kStep},
    {kLink, "L/R Link", nullptr, 0, nullptr, 1.0f, C::percent, D::number, kHintNone},
    {kOversample, "Oversample", nullptr, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch},
    {kDetectorOrder, "DetectorOrder", nullptr, 2, t::kOrders, 0.0f, C::none, D::stepText, kStep},
    {kPower, "Power", nullptr, 2, t::kOffOn, 1.0f, C::none, D::stepText, kSwitch},
    {kScale, "Scale", nullptr, 3, t::kScales, 0.165f, C::none, D::stepText, kStep},
    {kBits, "Bits", nullptr, 3, t::kBits, 0.5f, C::none, D::stepText, kStep},
    {kNoiseShape, "NoiseShape", nullptr, 4, t::kNoiseShapes, 0.125f, C::none, D::stepText, kStep},
    {kCalibrate, "Calibrate", nullptr, 4, t::kCalibrations, 0.0f, C::none, D::stepText, kStep},
    {kLeveller, "Leveller", "dB", 0, nullptr, 1.0f, C::outputGain, D::decibels, kHintNone},
    {kMeterOvs, "MeterOvs", nullptr, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch},
    {kAutoOut, "AutoOut", nullptr, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch},
    {kQuantize, "Quantize", nullptr, 2, t::kOffOn, 0.25f, C::none, D::stepText, kSwitch},
    {kAutoblack, "Autoblack", nullptr, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch},
    {kMeterType, "MeterType", nullptr, 2, t::kMeterTypes, 0.25f, C::none, D::stepText, kStep},
    {kAttZoom, "AttZoom", nullptr, 2, t::kZooms, 0.0f, C::none, D::stepText, kStep},
    {kAttShow, "AttShow", nullptr, 8, nullptr, 0.9375f, C::none, D::bitMarks, kStep},
    {kPostMeter, "PostMeter", nullptr, 2, t::kPrePost, 0.0f, C::none, D::stepText, kStep},
    {kTruePeakGuard, "TP Guard", nullptr, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch},
    {kDummy2, "dummy", nullptr, 0, nullptr, 0.0f, C::none, D::none, kUnused},
    {kDummy3, "dummy", nullptr, 0, nullptr, 0.0f, C::none, D::none, kUnused},
    {kLayoutMarker, "resvd-vid", nullptr, 0, nullptr, 0.015f, C::none, D::none, kHintHidden | kHintLayoutMarker},
};
} // namespace parameterrows

using parameterrows::kParameterTable;

// Every row sits at its own index, and a stepped row has a text per step
// (or shows bit marks), so no consumer can read past a text list.
constexpr bool parameterRowsConsistent()
{
    for (int i = 0; i < kNumParams; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        if (row.index != i || !row.name)
            return false;
        if ((row.steps > 0) != ((row.hints & kHintStepped) != 0))
            return false;
        if (row.display == ParameterDisplay::stepText && !row.stepTexts)
            return false;
        if ((row.curve != ParameterCurve::none) != (row.steps == 0 && row.display != ParameterDisplay::none))
            return false;
        if ((row.hints & kHintToggle) && row.steps != 2)
            return false;
        if (!(row.defaultValue >= 0.0f && row.defaultValue <= 1.0f))
            return false;
    }
    return true;
}
static_assert(parameterRowsConsistent(), "a parameter row is out of place or incomplete");

// v * n in single precision, truncated toward zero, capped at n - 1. Never
// leaves 0..n-1: a negative value gives step 0 and a NaN gives step 0.
int32_t stepIndex(float v, int32_t n);
// The centre of step i: i / n + 0.5 / n in single precision.
float stepValue(int32_t i, int32_t n);

// The engineering value of a normalised value on a curve. Values outside
// 0..1 are taken as the nearest end, so no value a host sends (1e30, -5,
// infinity) turns a gain or a time into infinity or NaN; percent alone
// follows the value unclamped, as its text always has. curve none gives v.
double curveValue(ParameterCurve curve, double v);
// The normalised value (0..1) that gives the engineering value e; the
// inverse of curveValue on 0..1, clamped to 0..1 outside the curve's range.
double curveNormalised(ParameterCurve curve, double e);
