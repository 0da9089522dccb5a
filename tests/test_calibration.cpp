// The calibration noise: level per K-scale, channels, spectrum, metering,
// reproducibility, and what the double-precision callback does meanwhile.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "tests/support/TestHost.h"

namespace
{
const double kPi = 3.141592653589793;

const float kLeft = 0.375f, kBoth = 0.625f, kRight = 0.875f; // Calibrate steps 1, 2, 3
const float kK12 = 0.1f, kK14 = 0.5f, kK20 = 0.9f;           // Scale steps 0, 1, 2

struct Output
{
    std::vector<float> left, right;
};

Output generate(Plugin& plugin, int frames)
{
    Output out{std::vector<float>(frames, 7.0f), std::vector<float>(frames, 7.0f)};
    std::vector<float> input(512, 0.5f);
    for (int start = 0; start < frames; start += 512)
    {
        const int n = std::min(512, frames - start);
        float* inputs[2] = {input.data(), input.data()};
        float* outputs[2] = {out.left.data() + start, out.right.data() + start};
        plugin.processReplacing(inputs, outputs, n);
    }
    return out;
}

// Sine-referenced RMS, as the meters show it.
double level(const std::vector<float>& x)
{
    double sum = 0.0;
    for (float v : x)
        sum += double(v) * v;
    return std::sqrt(2.0 * sum / x.size());
}

double powerAt(const std::vector<float>& x, double frequency)
{
    const int segment = 4096;
    double sum = 0.0;
    for (size_t start = 0; start + segment <= x.size(); start += segment)
    {
        std::complex<double> acc = 0.0;
        for (int i = 0; i < segment; ++i)
            acc += (0.5 - 0.5 * std::cos(2 * kPi * i / segment)) * double(x[start + i]) *
                   std::polar(1.0, -2 * kPi * frequency * i / 44100.0);
        sum += std::norm(acc);
    }
    return sum;
}
} // namespace

TEST(Calibration, TheLevelSitsOnTheReferenceMarkOfEachScale)
{
    const struct
    {
        float scale;
        double level;
    } cases[] = {{kK20, 0.1}, {kK14, 0.2}, {kK12, 0.25118864315}};
    for (const auto& c : cases)
    {
        Plugin plugin(nullptr);
        plugin.setParameter(kScale, c.scale);
        plugin.setParameter(kCalibrate, kLeft);
        Output out = generate(plugin, 44100 * 4);
        EXPECT_NEAR(level(out.left) / c.level, 1.0, 0.03) << c.scale;
        for (float v : out.right)
            ASSERT_EQ(v, 0.0f);
    }
}

TEST(Calibration, TheMetersShowTheNoiseOnBothInputAndOutput)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kScale, kK20);
    plugin.setParameter(kCalibrate, kLeft);
    generate(plugin, 44100 * 3);
    float m[10];
    plugin.getMeterSnapshot(m);
    EXPECT_NEAR(m[6], 0.1, 0.01) << "output RMS, left";
    EXPECT_EQ(m[7], 0.0f) << "output RMS, right";
    EXPECT_EQ(m[4], m[6]) << "input RMS follows the output";
    EXPECT_EQ(m[0], m[2]) << "input peak follows the output";
    EXPECT_GT(m[2], 0.2f);
    EXPECT_EQ(m[8], 1.0f);
    EXPECT_EQ(m[9], 1.0f);
}

TEST(Calibration, BothChannelsCarryIndependentNoiseAndRightOnlyTheRight)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kScale, kK20);
    plugin.setParameter(kCalibrate, kBoth);
    Output both = generate(plugin, 44100 * 2);
    EXPECT_NEAR(level(both.left), 0.1, 0.005);
    EXPECT_NEAR(level(both.right), 0.1, 0.005);
    double cross = 0.0, l2 = 0.0, r2 = 0.0;
    for (size_t i = 0; i < both.left.size(); ++i)
    {
        cross += double(both.left[i]) * both.right[i];
        l2 += double(both.left[i]) * both.left[i];
        r2 += double(both.right[i]) * both.right[i];
    }
    EXPECT_LT(std::fabs(cross / std::sqrt(l2 * r2)), 0.1) << "uncorrelated";

    plugin.setParameter(kCalibrate, kRight);
    Output right = generate(plugin, 44100);
    EXPECT_NEAR(level(right.right), 0.1, 0.008);
    for (float v : right.left)
        ASSERT_EQ(v, 0.0f);
}

TEST(Calibration, TheNoiseIsPinkFallingThreeDecibelsPerOctave)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kCalibrate, kLeft);
    Output out = generate(plugin, 44100 * 8);
    // Four octaves from 345 Hz to 5512 Hz: 12 dB less power density.
    double dropDb = 10 * std::log10(powerAt(out.left, 344.5) / powerAt(out.left, 5512.5));
    EXPECT_NEAR(dropDb, 12.0, 3.0);
}

TEST(Calibration, ARunFromResetRepeatsItselfAndLeavesTheLimiterAlone)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kCalibrate, kBoth);
    plugin.suspend();
    Output first = generate(plugin, 10000);
    plugin.suspend();
    Output second = generate(plugin, 10000);
    EXPECT_EQ(first.left, second.left);
    EXPECT_EQ(first.right, second.right);
}

TEST(Calibration, TheDoubleCallbackWritesTheSameNoiseInPlaceOrNot)
{
    // One instance per precision, from the same reset, with a loud input
    // that must not come through; odd block sizes keep the row counter
    // moving across block edges. The double callback writes the noise at
    // full precision: rounded to float it is the 32-bit output exactly.
    for (float mode : {kLeft, kBoth, kRight})
        for (bool inPlace : {false, true})
        {
            TestHost single, dual;
            for (TestHost* host : {&single, &dual})
            {
                host->setParameter(kScale, kK12);
                host->setParameter(kCalibrate, mode);
            }
            for (int block = 0; block < 12; ++block)
            {
                const int frames = 97 + 61 * block;
                std::vector<float> inF(frames), outLF(frames, 7.0f), outRF(frames, 7.0f);
                std::vector<double> inL(frames), inR(frames), outLD(frames, 7.0), outRD(frames, 7.0);
                for (int i = 0; i < frames; ++i)
                    inF[i] = float(inL[i] = inR[i] = 4.0 * std::sin(0.05 * (i + block * 1000)));
                single.process(inF, inF, outLF, outRF);
                double* inputs[2] = {inL.data(), inR.data()};
                double* outputs[2] = {outLD.data(), outRD.data()};
                dual.effect->processDoubleReplacing(dual.effect, inputs, inPlace ? inputs : outputs, frames);
                const std::vector<double>& left = inPlace ? inL : outLD;
                const std::vector<double>& right = inPlace ? inR : outRD;
                for (int i = 0; i < frames; ++i)
                {
                    ASSERT_EQ(float(left[i]), outLF[i]) << "mode " << mode << " block " << block << " sample " << i;
                    ASSERT_EQ(float(right[i]), outRF[i]) << "mode " << mode << " block " << block << " sample " << i;
                }
            }
            float metersF[10], metersD[10];
            auto* singlePlugin = &static_cast<VstEffect*>(static_cast<AudioEffect*>(single.effect->object))->getCore();
            auto* dualPlugin = &static_cast<VstEffect*>(static_cast<AudioEffect*>(dual.effect->object))->getCore();
            singlePlugin->getMeterSnapshot(metersF);
            dualPlugin->getMeterSnapshot(metersD);
            for (int k = 0; k < 10; ++k)
                EXPECT_EQ(metersF[k], metersD[k]) << "meter value " << k;
            EXPECT_GT(metersD[0] + metersD[1], 0.1f) << "the double callback meters its noise";
        }
}

TEST(Calibration, TheDoubleCallbackLeavesAnUnconnectedRightOutputAlone)
{
    TestHost host;
    host.rightOutputConnected = false;
    host.setParameter(kCalibrate, kLeft);
    std::vector<double> in(512, 0.5), outL(512, 3.0), outR(512, 3.0);
    host.processDouble(in, in, outL, outR);
    int noise = 0;
    for (int i = 0; i < 512; ++i)
    {
        ASSERT_NE(outL[i], 3.0);
        ASSERT_EQ(outR[i], 3.0) << "not connected: not written";
        noise += outL[i] != 0.0;
    }
    EXPECT_GT(noise, 500);
}

TEST(Calibration, RightOnlyWithTheRightOutputUnconnectedWritesZerosLeft)
{
    TestHost host;
    host.rightOutputConnected = false;
    host.setParameter(kCalibrate, kRight);
    std::vector<float> in(512, 0.5f), outL(512, 3.0f), outR(512, 3.0f);
    host.process(in, in, outL, outR);
    for (int i = 0; i < 512; ++i)
    {
        ASSERT_EQ(outL[i], 0.0f);
        ASSERT_EQ(outR[i], 3.0f) << "not connected: not written";
    }
}
