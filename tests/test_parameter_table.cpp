// The parameter rows and everything that reads them: the curves both ways,
// the texts a host reads from the loaded library, and the defaults the
// programs start from. A change in one consumer that the rows do not make
// fails here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/MeteringPreferences.h"
#include "effect/ParameterTable.h"
#include "effect/ParameterText.h"
#include "presets/CProgram.h"
#include "presets/FactoryPresets.h"
#include "tests/support/TestHost.h"

namespace
{
bool continuous(const ParameterInfo& row) { return row.curve != ParameterCurve::none; }
} // namespace

TEST(ParameterCurves, EveryCurveRoundTripsAndMeetsItsEnds)
{
    int curves = 0;
    for (const ParameterInfo& row : kParameterTable)
    {
        if (!continuous(row))
            continue;
        ++curves;
        for (int k = 0; k <= 256; ++k)
        {
            const float v = (float)k / 256.0f;
            const double e = curveValue(row.curve, v);
            ASSERT_TRUE(std::isfinite(e)) << row.name << " at " << v;
            // Within float rounding: a host hands back single precision.
            EXPECT_NEAR(curveNormalised(row.curve, e), v, 1e-6) << row.name << " at " << v;
            if (k > 0)
            {
                EXPECT_GT(e, curveValue(row.curve, (k - 1) / 256.0)) << row.name << " rises with its value";
            }
        }
    }
    EXPECT_EQ(curves, 6) << "Output, Drive, Transient, Release, L/R Link and Leveller have curves";

    // The ranges the texts and the engine have always had.
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kOutput].curve, 0.0), 0.25);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kOutput].curve, 1.0), 1.0);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kDrive].curve, 0.0), 1.0 / 16.0);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kDrive].curve, 1.0), 16.0);
    EXPECT_NEAR(curveValue(kParameterTable[kTransient].curve, 0.5), 0.125, 1e-7);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kRelease].curve, 0.0), 1.0);
    EXPECT_NEAR(curveValue(kParameterTable[kRelease].curve, 0.5), 50.0, 1e-4);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kRelease].curve, 1.0), 1000.0);
    EXPECT_NEAR(curveValue(kParameterTable[kLink].curve, 0.33), 33.0, 1e-9);
    EXPECT_DOUBLE_EQ(curveValue(kParameterTable[kLeveller].curve, 0.0), 0.25);
}

TEST(ParameterCurves, ValuesOffTheCurveLandOnItsEnds)
{
    for (const ParameterInfo& row : kParameterTable)
    {
        if (!continuous(row))
            continue;
        const double top = curveValue(row.curve, 1.0);
        EXPECT_DOUBLE_EQ(curveNormalised(row.curve, top * 4.0), 1.0) << row.name;
        EXPECT_DOUBLE_EQ(curveNormalised(row.curve, -1.0), 0.0) << row.name;
        EXPECT_DOUBLE_EQ(curveNormalised(row.curve, NAN), 0.0) << row.name;
        if (row.curve != ParameterCurve::percent)
        {
            // A host's wild value maps like the nearest end, never to infinity or NaN.
            EXPECT_DOUBLE_EQ(curveValue(row.curve, 1e30), top) << row.name;
            EXPECT_DOUBLE_EQ(curveValue(row.curve, -5.0), curveValue(row.curve, 0.0)) << row.name;
            EXPECT_DOUBLE_EQ(curveValue(row.curve, INFINITY), top) << row.name;
        }
    }
}

// Names, labels and value texts as a host reads them from the library agree
// with the rows: a continuous text reads back as the curve's value, a
// stepped one is the row's text for each step.
TEST(ParameterRows, TheLibraryTextsFollowTheRows)
{
    TestHost host;
    for (const ParameterInfo& row : kParameterTable)
    {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(host.parameterName(row.index), row.name);
        EXPECT_EQ(host.parameterLabel(row.index), row.label ? row.label : "");
        if (continuous(row))
        {
            for (float v : {0.0f, 0.3f, 0.75f, 1.0f})
            {
                host.setParameter(row.index, v);
                const double shown = std::atof(host.parameterDisplay(row.index).c_str());
                const double e = curveValue(row.curve, v);
                const double expected = row.display == ParameterDisplay::decibels ? 20.0 * std::log10(e) : e;
                // The texts truncate to eight characters.
                EXPECT_NEAR(shown, expected, 1e-3 * std::fmax(1.0, std::fabs(expected))) << v;
            }
        }
        else if (row.display == ParameterDisplay::stepText)
        {
            for (int step = 0; step < row.steps; ++step)
            {
                host.setParameter(row.index, stepValue(step, row.steps));
                EXPECT_EQ(host.parameterDisplay(row.index), row.stepTexts[step]) << step;
            }
        }
        else if (row.display == ParameterDisplay::none)
        {
            host.setParameter(row.index, 0.5f);
            EXPECT_EQ(host.parameterDisplay(row.index), "");
        }
        // Every parameter answers the same fine float step to a host.
        VstParameterProperties properties;
        ASSERT_EQ(host.dispatch(effGetParameterProperties, row.index, 0, &properties), 1);
        EXPECT_EQ(properties.flags, kVstParameterUsesFloatStep);
    }
}

// A new instance, a new program record, the "Current" factory row and the
// metering preferences all start from the rows' defaults and step counts.
TEST(ParameterRows, DefaultsAndStepCountsComeFromTheRows)
{
    TestHost host;
    const CProgram fresh;
    for (const ParameterInfo& row : kParameterTable)
    {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(host.getParameter(row.index), row.defaultValue);
        EXPECT_EQ((float)kFactoryPresets[0].values[row.index], row.defaultValue);
        EXPECT_EQ(fresh.getParameter(row.index), row.defaultValue);
    }

    for (const meteringpreferences::Preference& p : meteringpreferences::kPreferences)
        EXPECT_EQ(p.states, kParameterTable[p.parameter].steps) << p.name;
}

// The symbols hosts have saved sessions and presets with since the LV2
// build first shipped: a row may be added, but none of these may change.
TEST(ParameterRows, SymbolsHostsSavedWithStayAsTheyWere)
{
    const char* const shipped[] = {
        "output",     "drive",          "transient", "release",    "trans_shape", "link",
        "oversample", "detector_order", "power",     "scale",      "bits",        "noise_shape",
        "calibrate",  "leveller",       "meter_ovs", "auto_out",   "quantize",    "autoblack",
        "meter_type", "att_zoom",       "att_show",  "post_meter", "tp_guard",
    };
    ASSERT_LE(sizeof shipped / sizeof *shipped, (size_t)kHostVisibleCount);
    for (size_t i = 0; i < sizeof shipped / sizeof *shipped; ++i)
        EXPECT_STREQ(kParameterTable[i].symbol, shipped[i]);
    for (const ParameterInfo& row : kParameterTable)
        EXPECT_EQ(parameterIndexOf(row.symbol), row.index) << row.symbol;
    EXPECT_EQ(parameterIndexOf("DRIVE"), kDrive);
    EXPECT_EQ(parameterIndexOf("TP Guard"), kTruePeakGuard);
    EXPECT_EQ(parameterIndexOf("drive "), -1);
    EXPECT_EQ(parameterIndexOf(""), -1);
}

// A row's range is its curve's ends in its unit, and a number in the unit
// comes back as the normalised value it was made from.
TEST(ParameterRows, RangesAreTheCurvesEndsAndUnitValuesComeBack)
{
    for (int i = 0; i < kHostVisibleCount; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        SCOPED_TRACE(row.name);
        EXPECT_NEAR(parameterUnitValue(i, 0.0), row.range.minimum, 1e-9);
        EXPECT_NEAR(parameterUnitValue(i, 1.0), row.range.maximum, 1e-9);
        if (row.steps > 0)
        {
            for (int step = 0; step < row.steps; ++step)
            {
                EXPECT_EQ(parameterUnitValue(i, stepValue(step, row.steps)), step);
                EXPECT_EQ(parameterNormalised(i, step + 0.3), stepValue(step, row.steps));
            }
            EXPECT_EQ(parameterNormalised(i, -7.0), stepValue(0, row.steps));
            EXPECT_EQ(parameterNormalised(i, 1e30), stepValue(row.steps - 1, row.steps));
            EXPECT_EQ(parameterNormalised(i, NAN), stepValue(0, row.steps));
            continue;
        }
        for (int k = 0; k <= 64; ++k)
            EXPECT_NEAR(parameterNormalised(i, parameterUnitValue(i, k / 64.0)), k / 64.0, 1e-9) << k;
        EXPECT_EQ(parameterNormalised(i, row.range.maximum + 1.0), 1.0);
        EXPECT_EQ(parameterNormalised(i, row.range.minimum - 1.0), 0.0);
        EXPECT_EQ(parameterUnitValue(i, 7.0), parameterUnitValue(i, 1.0)) << "taken inside 0..1";
    }
    EXPECT_NEAR(parameterUnitValue(kDrive, 0.6875), 9.0309, 1e-4) << "1.5 octaves";
    EXPECT_NEAR(parameterUnitValue(kOutput, 0.5), -6.0206, 1e-4);
    EXPECT_NEAR(parameterUnitValue(kRelease, 0.5), 50.0, 1e-4);
}

// Every text a host shows reads back as a value that shows the same text,
// for every value of a stepped row and for values across every curve (the
// factory programs' among them).
TEST(ParameterText, EveryDisplayTextReadsBackToItself)
{
    for (int i = 0; i < kHostVisibleCount; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        SCOPED_TRACE(row.name);
        std::vector<float> values;
        if (row.steps > 0)
            for (int step = 0; step < row.steps; ++step)
                values.push_back(stepValue(step, row.steps));
        else
            for (int k = 0; k <= 1000; ++k)
                values.push_back(k / 1000.0f);
        for (const FactoryPreset& preset : kFactoryPresets)
            values.push_back((float)preset.values[i]);
        for (float v : values)
        {
            const std::string text = parameterValueText(i, v);
            const ParameterTextValue read = parameterValueFromText(i, text);
            ASSERT_TRUE(read.ok()) << v << " \"" << text << "\": " << read.message;
            EXPECT_EQ(parameterValueText(i, read.value), text) << v;
            if (row.steps > 0)
            {
                EXPECT_EQ(read.value, stepValue(stepIndex(v, row.steps), row.steps));
            }
        }
    }
}

TEST(ParameterText, NumbersInTheOwnUnitAndStepTextsGiveTheirValues)
{
    struct Case
    {
        ParamId index;
        const char* text;
        double unitValue; // what the value read stands for, in the row's unit
    };
    // "-12.0412" is Output's bottom end rounded outward: taken as the end.
    const Case cases[] = {
        {kDrive, "+3dB", 3.0},
        {kDrive, "+3", 3.0},
        {kDrive, " -3.5 db ", -3.5},
        {kDrive, "+9", 9.0},
        {kOutput, "-6", -6.0},
        {kOutput, "0dB", 0.0},
        {kOutput, "-12.0412", -12.0411998},
        {kLeveller, "-1.5dB", -1.5},
        {kRelease, "150ms", 150.0},
        {kRelease, "1", 1.0},
        {kRelease, "1000 MS", 1000.0},
        {kLink, "50%", 50.0},
        {kLink, "33", 33.0},
        {kTransient, "0.125ms", 0.125},
        {kNoiseShape, "type C", 3},
        {kNoiseShape, "TYPE a", 1},
        {kBits, "16", 1},
        {kBits, "24", 2},
        {kTransShape, "soft", 2},
        {kPower, "Off", 0},
        {kTruePeakGuard, "on", 1},
        {kScale, "k-20", 2},
        {kAttShow, "12L", 7},
        {kAttShow, "L1", 5},
        {kAttShow, "none", 0},
        {kAttShow, "", 0},
    };
    for (const Case& c : cases)
    {
        const ParameterTextValue read = parameterValueFromText(c.index, c.text);
        ASSERT_TRUE(read.ok()) << c.text << ": " << read.message;
        // Within a float step of the value (Release moves 6e-5 ms per step at 150 ms).
        EXPECT_NEAR(parameterUnitValue(c.index, read.value), c.unitValue,
                    1e-6 * std::fmax(20.0, std::fabs(c.unitValue)))
            << kParameterTable[c.index].name << " <- \"" << c.text << "\"";
    }
    // The leveller's "off" is its top, where it does nothing.
    EXPECT_EQ(parameterValueFromText(kLeveller, "OFF").value, 1.0f);
    EXPECT_EQ(parameterValueFromText(kDrive, "0").value, 0.5f);
}

TEST(ParameterText, OtherUnitsOutOfRangeNumbersAndUnknownStepsAreRefusedWithTheRange)
{
    struct Case
    {
        int index;
        const char* text;
        ParameterTextError error;
        const char* named; // what the message must hold
    };
    const Case cases[] = {
        {kDrive, "150ms", ParameterTextError::unknownUnit, "-24.08dB to +24.08dB"},
        {kRelease, "3dB", ParameterTextError::unknownUnit, "1ms to 1000ms"},
        {kLink, "0.5 percent", ParameterTextError::unknownUnit, "0% to 100%"},
        {kDrive, "+3dB!", ParameterTextError::unknownUnit, "Drive"},
        {kDrive, "+30dB", ParameterTextError::outOfRange, "-24.08dB to +24.08dB"},
        {kDrive, "-24.1", ParameterTextError::outOfRange, "-24.08dB"},
        {kOutput, "+1", ParameterTextError::outOfRange, "-12.04dB to 0dB"},
        {kLeveller, "-13dB", ParameterTextError::outOfRange, "-12.04dB to 0dB"},
        {kRelease, "0.5ms", ParameterTextError::outOfRange, "1ms to 1000ms"},
        {kLink, "101%", ParameterTextError::outOfRange, "0% to 100%"},
        {kTransient, "1ms", ParameterTextError::outOfRange, "0ms to 0.5ms"},
        {kDrive, "abc", ParameterTextError::notANumber, "Drive takes"},
        {kDrive, "", ParameterTextError::notANumber, "Drive takes"},
        {kDrive, "nan", ParameterTextError::notANumber, "Drive takes"},
        {kDrive, "inf dB", ParameterTextError::notANumber, "Drive takes"},
        {kDrive, "1e999", ParameterTextError::notANumber, "Drive takes"},
        {kDrive, "+-3", ParameterTextError::notANumber, "Drive takes"},
        {kBits, "12", ParameterTextError::unknownStep, "8, 16 or 24"},
        {kBits, "1", ParameterTextError::unknownStep, "8, 16 or 24"},
        {kPower, "yes", ParameterTextError::unknownStep, "off or on"},
        {kNoiseShape, "type D", ParameterTextError::unknownStep, "off, type A, type B or type C"},
        {kAttShow, "11", ParameterTextError::unknownStep, "any of 1, 2 and L, or none"},
        {kAttShow, "3", ParameterTextError::unknownStep, "any of 1, 2 and L"},
        {kDummy2, "0", ParameterTextError::noValue, "holds no value"},
        {kLayoutMarker, "0.015", ParameterTextError::noValue, "holds no value"},
        {kNumParams, "0", ParameterTextError::unknownParameter, "no parameter"},
        {-1, "0", ParameterTextError::unknownParameter, "no parameter"},
    };
    for (const Case& c : cases)
    {
        const ParameterTextValue read = parameterValueFromText(c.index, c.text);
        EXPECT_EQ(read.error, c.error) << c.index << " <- \"" << c.text << "\"";
        EXPECT_FALSE(read.ok());
        EXPECT_NE(read.message.find(c.named), std::string::npos) << read.message;
    }
    EXPECT_EQ(parameterValueFromText(kDrive, "+30dB").message, "Drive takes -24.08dB to +24.08dB, not \"+30dB\"");
}
