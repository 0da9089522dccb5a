// The 26 host parameters, one descriptor row each: index, name, symbol,
// unit label and unit, steps and their texts, the default, the curve between
// the normalised value and the engineering value, the range in the unit, the
// editor's entry field, and hints for hosts and generators. The host texts,
// the text parser, the programs, the editor's controls and fields, the
// metering preferences, the LV2 ports and their Turtle description all read
// these rows: a new parameter is one row here plus the processing that uses
// it. Plain constexpr data with no other dependency: a generator can compile
// this header and ParameterTable.cpp on their own.
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

// What the numbers of a parameter measure: its host texts, its LV2 port, the
// renderer's --set and every plug-in format's plain value speak this unit.
// A gain's unit is the decibel of its linear value, so the curves above stay
// linear gains inside the effect.
enum class ParameterUnit
{
    none,         // a step, or nothing
    decibel,      // 20 log10 of the linear gain
    milliseconds, // as the host's label says
    percent,      // 0 .. 100
};

// The range of the unit's numbers: a continuous curve's ends, a stepped
// parameter's first and last step number.
struct ParameterRange
{
    double minimum;
    double maximum;
};

// What the number in an editor entry field stands for.
enum class FieldNumber
{
    none,         // no entry field
    unitValue,    // the parameter's own number in its unit
    travelPercent // the knob's travel, 100 times the normalised value
};

// An editor entry field: its number with `decimals` digits after the point,
// a "+" on positive numbers when `sign` is set, and `suffix` behind it on the
// panel (the edit box holds the bare number). Typed text reads as the
// number, clamped to the field's range; `topText`, where given, stands for
// the top of the range (the leveller's "off") both ways.
struct ParameterField
{
    FieldNumber number;
    int decimals;
    bool sign;
    const char* suffix;
    const char* topText;
};

enum ParameterHint : unsigned
{
    kHintNone = 0,
    kHintStepped = 1u << 0,      // an integer step 0 .. steps - 1
    kHintToggle = 1u << 1,       // two steps, off and on
    kHintHidden = 1u << 2,       // not shown to hosts: no control, no port
    kHintLayoutMarker = 1u << 3, // marks the layout the values were written in
};

struct ParameterInfo
{
    ParamId index;
    const char* name;
    // Stable identifier for hosts that save values by name (the LV2 port
    // symbols, which saved sessions and presets carry): never change one.
    const char* symbol;
    const char* label; // the host's unit label, or null
    ParameterUnit unit;
    int steps;                    // 0 for a continuous parameter
    const char* const* stepTexts; // display text per step, or null
    float defaultValue;           // normalised; the "Current" program's value
    ParameterCurve curve;
    ParameterDisplay display;
    unsigned hints;
    ParameterRange range; // in the unit
    ParameterField field; // the editor's entry field, if it has one
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

// The transient curve's factor: (1.4142136 v)^2 / 4, a hair above 0.5 at the top.
constexpr double kTransientScale = 1.4142136;

// 20 log10(2): the gains' curves are powers of two, so their dB ranges are
// whole octaves of this.
constexpr double kDecibelsPerOctave = 6.0205999132796239;

namespace parameterrows
{
using C = ParameterCurve;
using D = ParameterDisplay;
using U = ParameterUnit;
using F = FieldNumber;
namespace t = parametertexts;
constexpr unsigned kStep = kHintStepped;
constexpr unsigned kSwitch = kHintStepped | kHintToggle;
constexpr unsigned kUnused = kHintHidden;

constexpr ParameterRange kOutputRange = {-2.0 * kDecibelsPerOctave, 0.0};                     // 2^((v - 1) 2)
constexpr ParameterRange kDriveRange = {-4.0 * kDecibelsPerOctave, 4.0 * kDecibelsPerOctave}; // 2^((v - 0.5) 8)
constexpr ParameterRange kTransientRange = {0.0, kTransientScale* kTransientScale * 0.25};    // (1.4142136 v)^2 / 4
constexpr ParameterRange kNoRange = {0.0, 0.0};
constexpr ParameterRange steps(int n) { return {0.0, (double)(n - 1)}; }

constexpr ParameterField kNoField = {F::none, 0, false, nullptr, nullptr};
constexpr ParameterField kGainField = {F::unitValue, 2, true, "dB", nullptr};
constexpr ParameterField kLevellerField = {F::unitValue, 2, true, "dB", "off"};
constexpr ParameterField kReleaseField = {F::unitValue, 1, false, "ms", nullptr};
constexpr ParameterField kPercentField = {F::unitValue, 1, false, "%", nullptr};
constexpr ParameterField kTravelField = {F::travelPercent, 1, false, "%", nullptr};

// Stepped defaults are the values the programs store (0.166667 for step 0
// of 3, 0.9375 for step 7 of 8).
// clang-format off
inline constexpr ParameterInfo kParameterTable[kNumParams] = {
    {kOutput, "Output", "output", "dB", U::decibel, 0, nullptr, 1.0f, C::outputGain, D::decibels, kHintNone, kOutputRange, kGainField},
    {kDrive, "Drive", "drive", "dB", U::decibel, 0, nullptr, 0.5f, C::driveGain, D::decibels, kHintNone, kDriveRange, kGainField},
    {kTransient, "Transient", "transient", "ms", U::milliseconds, 0, nullptr, 0.2f, C::transientAmount, D::number, kHintNone, kTransientRange, kTravelField},
    {kRelease, "Release", "release", "ms", U::milliseconds, 0, nullptr, 0.7237f, C::releaseMs, D::number, kHintNone, {1.0, 1000.0}, kReleaseField},
    {kTransShape, "TransShape", "trans_shape", nullptr, U::none, 3, t::kShapes, 0.166667f, C::none, D::stepText, kStep, steps(3), kNoField},
    {kLink, "L/R Link", "link", nullptr, U::percent, 0, nullptr, 1.0f, C::percent, D::number, kHintNone, {0.0, 100.0}, kPercentField},
    {kOversample, "Oversample", "oversample", nullptr, U::none, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kDetectorOrder, "DetectorOrder", "detector_order", nullptr, U::none, 2, t::kOrders, 0.0f, C::none, D::stepText, kStep, steps(2), kNoField},
    {kPower, "Power", "power", nullptr, U::none, 2, t::kOffOn, 1.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kScale, "Scale", "scale", nullptr, U::none, 3, t::kScales, 0.165f, C::none, D::stepText, kStep, steps(3), kNoField},
    {kBits, "Bits", "bits", nullptr, U::none, 3, t::kBits, 0.5f, C::none, D::stepText, kStep, steps(3), kNoField},
    {kNoiseShape, "NoiseShape", "noise_shape", nullptr, U::none, 4, t::kNoiseShapes, 0.125f, C::none, D::stepText, kStep, steps(4), kNoField},
    {kCalibrate, "Calibrate", "calibrate", nullptr, U::none, 4, t::kCalibrations, 0.0f, C::none, D::stepText, kStep, steps(4), kNoField},
    {kLeveller, "Leveller", "leveller", "dB", U::decibel, 0, nullptr, 1.0f, C::outputGain, D::decibels, kHintNone, kOutputRange, kLevellerField},
    {kMeterOvs, "MeterOvs", "meter_ovs", nullptr, U::none, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kAutoOut, "AutoOut", "auto_out", nullptr, U::none, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kQuantize, "Quantize", "quantize", nullptr, U::none, 2, t::kOffOn, 0.25f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kAutoblack, "Autoblack", "autoblack", nullptr, U::none, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kMeterType, "MeterType", "meter_type", nullptr, U::none, 2, t::kMeterTypes, 0.25f, C::none, D::stepText, kStep, steps(2), kNoField},
    {kAttZoom, "AttZoom", "att_zoom", nullptr, U::none, 2, t::kZooms, 0.0f, C::none, D::stepText, kStep, steps(2), kNoField},
    {kAttShow, "AttShow", "att_show", nullptr, U::none, 8, nullptr, 0.9375f, C::none, D::bitMarks, kStep, steps(8), kNoField},
    {kPostMeter, "PostMeter", "post_meter", nullptr, U::none, 2, t::kPrePost, 0.0f, C::none, D::stepText, kStep, steps(2), kNoField},
    {kTruePeakGuard, "TP Guard", "tp_guard", nullptr, U::none, 2, t::kOffOn, 0.0f, C::none, D::stepText, kSwitch, steps(2), kNoField},
    {kDummy2, "dummy", "dummy_2", nullptr, U::none, 0, nullptr, 0.0f, C::none, D::none, kUnused, kNoRange, kNoField},
    {kDummy3, "dummy", "dummy_3", nullptr, U::none, 0, nullptr, 0.0f, C::none, D::none, kUnused, kNoRange, kNoField},
    {kLayoutMarker, "resvd-vid", "layout_marker", nullptr, U::none, 0, nullptr, 0.015f, C::none, D::none, kHintHidden | kHintLayoutMarker, kNoRange, kNoField},
};
// clang-format on
} // namespace parameterrows

using parameterrows::kParameterTable;

namespace parameterrows
{
constexpr bool sameText(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    for (; *a && *a == *b; ++a, ++b)
    {}
    return *a == *b;
}

// A symbol is an identifier (LV2 and the other formats' ids need one):
// lower-case letters, digits and "_", not starting with a digit.
constexpr bool isSymbol(const char* s)
{
    if (!s || !*s || (*s >= '0' && *s <= '9'))
        return false;
    for (; *s; ++s)
        if (!((*s >= 'a' && *s <= 'z') || (*s >= '0' && *s <= '9') || *s == '_'))
            return false;
    return true;
}

// The host's label of a unit where it writes one: per cent has never had one.
constexpr bool labelFitsUnit(const ParameterInfo& row)
{
    switch (row.unit)
    {
    case ParameterUnit::decibel: return sameText(row.label, "dB");
    case ParameterUnit::milliseconds: return sameText(row.label, "ms");
    case ParameterUnit::percent:
    case ParameterUnit::none: return row.label == nullptr;
    }
    return false;
}
} // namespace parameterrows

// Every row sits at its own index with a symbol of its own; a stepped row has
// a text per step (or shows bit marks) and steps for its range; a unit, its
// label and its display agree; only continuous rows have entry fields; and
// the rows hidden from hosts come last, so that what formats number from 0
// (LV2 ports) can take the parameter index as theirs.
constexpr bool parameterRowsConsistent()
{
    bool hiddenSeen = false;
    for (int i = 0; i < kNumParams; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        if (row.index != i || !row.name || !parameterrows::isSymbol(row.symbol))
            return false;
        for (int j = 0; j < i; ++j)
            if (parameterrows::sameText(row.symbol, kParameterTable[j].symbol))
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
        if (!parameterrows::labelFitsUnit(row))
            return false;
        if ((row.unit == ParameterUnit::decibel) != (row.display == ParameterDisplay::decibels))
            return false;
        if ((row.curve == ParameterCurve::none) != (row.unit == ParameterUnit::none))
            return false;
        if (row.steps > 0 && !(row.range.minimum == 0.0 && row.range.maximum == row.steps - 1))
            return false;
        if (row.curve != ParameterCurve::none && !(row.range.minimum < row.range.maximum))
            return false;
        if (row.field.number != FieldNumber::none && (row.curve == ParameterCurve::none || !row.field.suffix))
            return false;
        const bool hidden = (row.hints & kHintHidden) != 0;
        if (hidden != (row.display == ParameterDisplay::none) || (hiddenSeen && !hidden))
            return false;
        hiddenSeen = hiddenSeen || hidden;
    }
    return true;
}
static_assert(parameterRowsConsistent(), "a parameter row is out of place or incomplete");

// Shown to hosts as a control: an LV2 port, a parameter of the formats that
// list them, a control on the editor's panel. The other rows only keep the
// 26 values of the programs and files (VST 2 counts all of them).
constexpr bool isHostVisible(int index)
{
    return index >= 0 && index < kNumParams && (kParameterTable[index].hints & kHintHidden) == 0;
}

constexpr int countHostVisible()
{
    int n = 0;
    while (n < kNumParams && isHostVisible(n))
        ++n;
    return n;
}
// The visible rows are 0 .. kHostVisibleCount - 1.
inline constexpr int kHostVisibleCount = countHostVisible();

// Values outside 0..1 as the nearest end; a NaN stays NaN.
constexpr double clampToUnit(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

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

// The number a normalised value stands for in its row's unit: a gain in dB,
// a time in ms, a percentage, or a step number (stepIndex). The value is
// taken inside 0..1 first, as the effect takes it. A row without a unit
// gives the value itself. -1 outside the rows.
double parameterUnitValue(int32_t index, double normalised);
// The normalised value of a number in the row's unit: through the inverse
// curve, clamped to 0..1; a step number is rounded to the nearest step and
// given as the step's centre (stepValue). A NaN gives 0, or step 0.
double parameterNormalised(int32_t index, double unitValue);
