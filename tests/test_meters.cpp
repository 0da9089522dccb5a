// Meter measurement as the editor reads it: peaks and gain reduction held
// until the next snapshot, RMS referenced to a sine, the oversampled output
// peak, and the input meter before or after the drive.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effect/Plugin.h"

namespace
{
const double kPi = 3.141592653589793;

enum Snapshot
{
    kInPeakL,
    kInPeakR,
    kOutPeakL,
    kOutPeakR,
    kInRmsL,
    kInRmsR,
    kOutRmsL,
    kOutRmsR,
    kReductionL,
    kReductionR
};

struct Meters
{
    float v[10];
    float operator[](int i) const { return v[i]; }
};

Meters snapshot(Plugin& plugin)
{
    Meters m;
    plugin.getMeterSnapshot(m.v);
    return m;
}

void run(Plugin& plugin, const std::vector<float>& left, const std::vector<float>& right)
{
    std::vector<float> outL(left.size()), outR(left.size());
    for (size_t start = 0; start < left.size(); start += 512)
    {
        const int frames = int(std::min<size_t>(512, left.size() - start));
        float* inputs[2] = {const_cast<float*>(left.data() + start), const_cast<float*>(right.data() + start)};
        float* outputs[2] = {outL.data() + start, outR.data() + start};
        plugin.processReplacing(inputs, outputs, frames);
    }
}

std::vector<float> sine(int frames, double frequency, double amplitude, double phase = 0.0)
{
    std::vector<float> out(frames);
    for (int i = 0; i < frames; ++i)
        out[i] = float(amplitude * std::sin(2 * kPi * frequency * i / 44100.0 + phase));
    return out;
}

// Power off and the input meter after the drive: both meters see the input.
void bypassPost(Plugin& plugin)
{
    plugin.setParameter(kPower, 0.0f);
    plugin.setParameter(kPostMeter, 1.0f);
}
} // namespace

TEST(Meters, AFullScaleSineReadsOneOnEveryMeterAndNoReduction)
{
    Plugin plugin(nullptr);
    bypassPost(plugin);
    std::vector<float> in = sine(88200, 1000.0, 1.0);
    run(plugin, in, in);
    Meters m = snapshot(plugin);
    for (int i : {kInPeakL, kInPeakR, kOutPeakL, kOutPeakR})
        EXPECT_NEAR(m[i], 1.0, 0.002) << i;
    for (int i : {kInRmsL, kInRmsR, kOutRmsL, kOutRmsR})
        EXPECT_NEAR(m[i], 1.0, 0.01) << i;
    EXPECT_EQ(m[kReductionL], 1.0f);
    EXPECT_EQ(m[kReductionR], 1.0f);
}

TEST(Meters, AFullScaleSquareReadsTheSquareRootOfTwo)
{
    Plugin plugin(nullptr);
    bypassPost(plugin);
    std::vector<float> in(88200);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = (i / 50) % 2 ? 1.0f : -1.0f;
    run(plugin, in, in);
    Meters m = snapshot(plugin);
    EXPECT_NEAR(m[kInRmsL], std::sqrt(2.0), 0.01);
    EXPECT_NEAR(m[kOutRmsR], std::sqrt(2.0), 0.01);
}

TEST(Meters, ASnapshotRestartsThePeaksButNotTheRms)
{
    Plugin plugin(nullptr);
    bypassPost(plugin);
    std::vector<float> loud = sine(44100, 500.0, 0.8), quiet = sine(4410, 500.0, 0.1);
    run(plugin, loud, loud);
    Meters first = snapshot(plugin);
    Meters second = snapshot(plugin);
    EXPECT_NEAR(first[kInPeakL], 0.8, 0.001);
    EXPECT_EQ(second[kInPeakL], 0.0f) << "no audio between the two snapshots";
    EXPECT_EQ(second[kOutPeakR], 0.0f);
    EXPECT_EQ(second[kReductionL], 1.0f);
    EXPECT_EQ(second[kOutRmsL], first[kOutRmsL]);
    // The meters see the input as it leaves the delay: the first 159 quiet
    // samples still carry the loud tail.
    run(plugin, quiet, quiet);
    EXPECT_NEAR(snapshot(plugin)[kInPeakL], 0.8, 0.01);
    run(plugin, quiet, quiet);
    EXPECT_NEAR(snapshot(plugin)[kInPeakL], 0.1, 0.001) << "the earlier 0.8 is forgotten";
}

TEST(Meters, TheMeanSquareFallsToOnePercentIn600Milliseconds)
{
    Plugin plugin(nullptr);
    bypassPost(plugin);
    std::vector<float> loud = sine(88200, 1000.0, 1.0), silence(26460 + 159, 0.0f);
    run(plugin, loud, loud);
    double before = snapshot(plugin)[kOutRmsL];
    run(plugin, silence, silence);
    double after = snapshot(plugin)[kOutRmsL];
    // RMS is the root of the mean square: 1 % of the power is 0.1 of the level.
    EXPECT_NEAR(after / before, 0.1, 0.005);
}

TEST(Meters, TheOversampledOutputMeterSeesInterSamplePeaks)
{
    // A quarter-rate sine 45 degrees off the samples: samples at 0.707 of
    // the true peak of 1.
    double outputPeak[2];
    for (int ovs = 0; ovs < 2; ++ovs)
    {
        Plugin plugin(nullptr);
        bypassPost(plugin);
        plugin.setParameter(kMeterOvs, ovs ? 1.0f : 0.0f);
        std::vector<float> in = sine(22050, 11025.0, 1.0, kPi / 4);
        run(plugin, in, in);
        outputPeak[ovs] = snapshot(plugin)[kOutPeakL];
        EXPECT_EQ(snapshot(plugin)[kInPeakL], 0.0f) << "restarted";
    }
    EXPECT_NEAR(outputPeak[0], std::sqrt(0.5), 0.001);
    EXPECT_NEAR(outputPeak[1], 1.0, 0.02); // the interpolator's gain near a quarter of the rate
}

TEST(Meters, GainReductionIsHeldUntilTheTracesChange)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kDrive, 0.9f); // about +19 dB into the limiter
    std::vector<float> in = sine(44100, 300.0, 0.5);
    run(plugin, in, in);
    Meters m = snapshot(plugin);
    EXPECT_LT(m[kReductionL], 0.25);
    EXPECT_LT(m[kOutPeakL], 1.0001);
    EXPECT_GT(m[kOutPeakL], 0.95);
    run(plugin, in, in);
    plugin.setParameter(kAttShow, 0.0f); // the held readings start again at 1
    Meters afterChange = snapshot(plugin);
    EXPECT_EQ(afterChange[kReductionL], 1.0f);
    EXPECT_EQ(afterChange[kReductionR], 1.0f);
    // With no trace shown the reading stays at 1 while limiting.
    run(plugin, in, in);
    EXPECT_EQ(snapshot(plugin)[kReductionL], 1.0f);
}

TEST(Meters, ThePreDriveInputMeterFollowsTheDrive)
{
    Plugin plugin(nullptr);
    plugin.setParameter(kPower, 0.0f);
    plugin.setParameter(kDrive, 0.5f + 1.0f / 8.0f); // exactly twice the level
    std::vector<float> in = sine(44100, 1000.0, 0.25);
    run(plugin, in, in);
    Meters pre = snapshot(plugin);
    EXPECT_NEAR(pre[kInPeakL], 0.5, 0.001);
    EXPECT_NEAR(pre[kOutPeakL], 0.25, 0.001) << "power off passes the undriven input";
    plugin.setParameter(kPostMeter, 1.0f);
    run(plugin, in, in);
    EXPECT_NEAR(snapshot(plugin)[kInPeakL], 0.25, 0.001);
}
