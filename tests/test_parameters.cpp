// The 26 parameters as a host sees them: names, display texts, labels,
// stored values and the migration from the older layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "effect/ParameterTable.h"
#include "tests/support/TestHost.h"

TEST(ParameterNames, TableOrderAndNothingOutside)
{
    TestHost host;
    const char* names[26] = {"Output",     "Drive",         "Transient", "Release",   "TransShape", "L/R Link",
                             "Oversample", "DetectorOrder", "Power",     "Scale",     "Bits",       "NoiseShape",
                             "Calibrate",  "Leveller",      "MeterOvs",  "AutoOut",   "Quantize",   "Autoblack",
                             "MeterType",  "AttZoom",       "AttShow",   "PostMeter", "TP Guard",   "dummy",
                             "dummy",      "resvd-vid"};
    for (int i = 0; i < 26; ++i)
        EXPECT_EQ(host.parameterName(i), names[i]) << i;
    EXPECT_EQ(host.parameterName(26), "");
    EXPECT_EQ(host.parameterName(-1), "");
    EXPECT_EQ(host.parameterName(1 << 30), "");
}

TEST(ParameterLabels, UnitsOnlyWhereTheyApply)
{
    TestHost host;
    for (int i = 0; i < 28; ++i)
    {
        const char* expected = (i == 0 || i == 1 || i == 13) ? "dB" : (i == 2 || i == 3) ? "ms" : "";
        EXPECT_EQ(host.parameterLabel(i), expected) << i;
    }
}

struct DisplayCase
{
    int index;
    float value;
    const char* text;
};

TEST(ParameterDisplay, TruncatedNumberTextsOfTheContinuousParameters)
{
    TestHost host;
    const DisplayCase cases[] = {
        {0, 0.0f, "-12.0411"}, {0, 0.5f, "-6.02059"}, {0, 1.0f, "0.000000"},  {1, 1.0f, "24.08239"},
        {1, 0.5f, "0.000000"}, {1, 0.0f, "-24.0823"}, {13, 1.0f, "0.000000"}, {13, 0.0f, "-12.0411"},
        {3, 0.0f, "1.000000"}, {3, 0.5f, "50.00000"}, {3, 1.0f, "1000.000"},  {5, 0.33f, "33.00000"},
        {5, 1.0f, "100.0000"}, {5, 0.0f, "0.000000"}, {2, 0.5f, "0.125000"},  {2, 0.0f, "0.000000"},
    };
    for (const DisplayCase& c : cases)
    {
        host.setParameter(c.index, c.value);
        EXPECT_EQ(host.parameterDisplay(c.index), c.text) << "index " << c.index << " at " << c.value;
    }
}

TEST(ParameterDisplay, StepTextsOfTheSwitches)
{
    TestHost host;
    const DisplayCase cases[] = {
        {4, 0.0f, "hard"},
        {4, 0.5f, "med"},
        {4, 1.0f, "soft"},
        {6, 0.2f, "off"},
        {6, 0.7f, "on"},
        {7, 0.0f, "I"},
        {7, 1.0f, "II"},
        {8, 0.0f, "off"},
        {8, 1.0f, "on"},
        {9, 0.0f, "K-12"},
        {9, 0.5f, "K-14"},
        {9, 1.0f, "K-20"},
        {10, 0.0f, "8"},
        {10, 0.5f, "16"},
        {10, 1.0f, "24"},
        {11, 0.0f, "off"},
        {11, 0.3f, "type A"},
        {11, 0.6f, "type B"},
        {11, 1.0f, "type C"},
        {12, 0.0f, "off"},
        {12, 0.3f, "left"},
        {12, 0.6f, "l+r uncor"},
        {12, 0.9f, "right"},
        {12, 0.0f, "off"},
        {14, 1.0f, "on"},
        {15, 1.0f, "on"},
        {16, 1.0f, "on"},
        {17, 1.0f, "on"},
        {18, 0.0f, "peak"},
        {18, 1.0f, "k-system"},
        {19, 0.0f, "24dB"},
        {19, 1.0f, "12dB"},
        {20, 0.9375f, "12L"},
        {20, 0.0f, ""},
        {20, 0.1875f, "1"},
        {20, 0.3125f, "2"},
        {20, 0.5625f, "L"},
        {20, 0.6875f, "1L"},
        {21, 0.0f, "pre"},
        {21, 1.0f, "post"},
        {22, 0.0f, "off"},
        {22, 0.49f, "off"},
        {22, 0.5f, "on"},
        {22, 1.0f, "on"},
        // Out of the host's range: the step is capped at the top, held at 0 below.
        {10, 7.0f, "24"},
        {10, -3.0f, "8"},
        {11, -0.5f, "off"},
        {4, 1e30f, "soft"},
    };
    for (const DisplayCase& c : cases)
    {
        host.setParameter(c.index, c.value);
        EXPECT_EQ(host.parameterDisplay(c.index), c.text) << "index " << c.index << " at " << c.value;
    }
}

TEST(ParameterDisplay, NothingWrittenForUnusedIndices)
{
    TestHost host;
    for (int index : {23, 24, 25, 26, -1, 1000})
    {
        char text[64];
        std::fill(text, text + sizeof text, 'x');
        text[63] = 0;
        host.dispatch(effGetParamDisplay, index, 0, text);
        EXPECT_EQ(text[0], 'x') << index;
    }
}

TEST(ParameterDisplay, TextsFitTheSizesHostsAssume)
{
    TestHost host;
    for (int index = 0; index < 26; ++index)
        for (float v : {0.0f, 0.013f, 0.25f, 0.5f, 0.77f, 1.0f, 5.0f, -5.0f, 1e30f, -1e30f})
        {
            host.setParameter(index, v);
            char text[64];
            std::fill(text, text + sizeof text, '\x7f');
            host.dispatch(effGetParamDisplay, index, 0, text);
            size_t used = 0;
            while (used < sizeof text && text[used] != '\x7f')
                ++used;
            EXPECT_LE(used, 13u) << "index " << index << " value " << v;
            host.dispatch(effGetParamName, index, 0, text);
            EXPECT_LE(std::string(text).size() + 1, 14u);
        }
}

TEST(ParameterValues, StoredAsGivenExceptTheFixedOnes)
{
    TestHost host;
    host.setParameter(1, 0.123f);
    EXPECT_EQ(host.getParameter(1), 0.123f);
    host.setParameter(10, 1.7f); // unclamped and unsnapped
    EXPECT_EQ(host.getParameter(10), 1.7f);
    host.setParameter(0, -2.0f);
    EXPECT_EQ(host.getParameter(0), -2.0f);
    host.setParameter(22, 0.7f); // TP Guard keeps its value like every switch
    EXPECT_EQ(host.getParameter(22), 0.7f);
    host.setParameter(23, 0.7f);
    EXPECT_EQ(host.getParameter(23), 0.0f);
    host.setParameter(25, 0.0f);
    EXPECT_EQ(host.getParameter(25), 0.015f);
    EXPECT_EQ(host.getParameter(26), 0.0f);
    EXPECT_EQ(host.getParameter(-1), 0.0f);
}

TEST(ParameterValues, NaNIsRefusedAndChangesNothing)
{
    TestHost host;
    host.setParameter(1, 0.75f);
    host.setParameter(1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(host.getParameter(1), 0.75f);
    host.setParameter(10, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(host.parameterDisplay(10), "16");
}

TEST(ParameterValues, ExtremeValuesKeepDisplaysFinite)
{
    TestHost host;
    for (float v : {1e30f, -1e30f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
    {
        host.setParameter(3, v);
        std::string release = host.parameterDisplay(3);
        EXPECT_TRUE(release == "1.000000" || release == "1000.000") << release;
        host.setParameter(1, v);
        std::string drive = host.parameterDisplay(1);
        EXPECT_TRUE(drive == "24.08239" || drive == "-24.0823") << drive;
    }
}

TEST(StepRules, IndexAndValue)
{
    EXPECT_EQ(stepIndex(0.0f, 3), 0);
    EXPECT_EQ(stepIndex(0.3333f, 3), 0);
    EXPECT_EQ(stepIndex(0.34f, 3), 1);
    EXPECT_EQ(stepIndex(1.0f, 3), 2);
    EXPECT_EQ(stepIndex(0.999f, 8), 7);
    EXPECT_EQ(stepIndex(0.01f, 100), 1);
    EXPECT_EQ(stepIndex(0.0099f, 100), 0);
    // Never outside 0..n-1, and never a NaN converted to an integer.
    EXPECT_EQ(stepIndex(-0.5f, 4), 0);
    EXPECT_EQ(stepIndex(-1e30f, 4), 0);
    EXPECT_EQ(stepIndex(1e30f, 4), 3);
    EXPECT_EQ(stepIndex(std::numeric_limits<float>::quiet_NaN(), 4), 0);
    EXPECT_EQ(stepIndex(std::numeric_limits<float>::infinity(), 2), 1);
    EXPECT_EQ(stepValue(1, 3), 0.5f);
    EXPECT_EQ(stepValue(7, 8), 0.9375f);
    EXPECT_EQ(stepValue(0, 2), 0.25f);
    for (int n : {2, 3, 4, 8})
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(stepIndex(stepValue(i, n), n), i);
}

TEST(LegacyLayout, MarkerBelowOnePercentMigratesTheOldValues)
{
    TestHost host;
    host.setParameter(10, 0.1f); // Bits, old step 0: requantizer off
    host.setParameter(9, 0.1f);  // Scale, old step 0: peak metering
    host.setParameter(17, 1.0f);
    host.setParameter(21, 0.0f);
    host.setParameter(19, 1.0f);
    host.setParameter(20, 0.0f);
    host.clearCalls();
    host.setParameter(25, 0.005f);
    EXPECT_EQ(host.getParameter(16), 0.25f); // Quantize off
    EXPECT_EQ(host.getParameter(10), 0.5f);  // 16 bits
    EXPECT_EQ(host.getParameter(18), 0.25f); // peak
    EXPECT_EQ(host.getParameter(9), 0.5f);   // K-14
    EXPECT_EQ(host.getParameter(20), 0.9375f);
    EXPECT_EQ(host.getParameter(19), 0.25f);
    EXPECT_EQ(host.getParameter(21), 0.75f);
    EXPECT_EQ(host.getParameter(17), 0.25f);
    EXPECT_EQ(host.getParameter(25), 0.015f);
    // The effect changes its own parameters here; a host is not told.
    EXPECT_EQ(host.countCalls(audioMasterAutomate), 0u);
}

TEST(LegacyLayout, OldBitsAndScaleStepsShiftDown)
{
    TestHost host;
    host.setParameter(10, 0.8f); // old step 3: 24 bits with the requantizer on
    host.setParameter(9, 0.6f);  // old step 2: K-14 in the k-system
    host.setParameter(25, 0.0f);
    EXPECT_EQ(host.getParameter(16), 0.75f);
    EXPECT_EQ(host.parameterDisplay(10), "24");
    EXPECT_EQ(host.parameterDisplay(18), "k-system");
    EXPECT_EQ(host.parameterDisplay(9), "K-14");
}

TEST(LegacyLayout, MarkerAtOnePercentOrAboveChangesNothing)
{
    TestHost host;
    host.setParameter(10, 0.1f);
    host.setParameter(25, 0.01f);
    EXPECT_EQ(host.getParameter(10), 0.1f);
    host.setParameter(25, 0.015f);
    EXPECT_EQ(host.getParameter(10), 0.1f);
}
