// The parameter rows and everything that reads them: the curves both ways,
// the texts a host reads from the loaded library, and the defaults the
// programs start from. A change in one consumer that the rows do not make
// fails here.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "editor/MeteringPreferences.h"
#include "effect/ParameterTable.h"
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
