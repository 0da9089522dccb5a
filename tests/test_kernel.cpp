// The limiter's audio path as a host sees it: latency, ceiling, true peak,
// linking, the two follower orders, the two sample precisions, bad input and
// reproducibility. Everything goes through the built plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/TestHost.h"

namespace
{
constexpr int kBlock = 512;
const double kPi = 3.141592653589793;

enum Param
{
    kOutput = 0,
    kDrive = 1,
    kTransient = 2,
    kTransShape = 4,
    kLink = 5,
    kOversample = 6,
    kDetectorOrder = 7,
    kPower = 8,
    kBits = 10,
    kLeveller = 13,
    kQuantize = 16,
    kTpGuard = 22
};

// Runs the whole signal through the callback of the sample type, in
// host-sized blocks.
template <typename Sample>
void run(TestHost& host, const std::vector<Sample>& left, const std::vector<Sample>& right, std::vector<Sample>& outL,
         std::vector<Sample>& outR, int block = kBlock)
{
    outL.assign(left.size(), Sample(0));
    outR.assign(right.size(), Sample(0));
    for (size_t start = 0; start < left.size(); start += block)
    {
        const int frames = int(std::min<size_t>(block, left.size() - start));
        Sample* inputs[2] = {const_cast<Sample*>(left.data() + start), const_cast<Sample*>(right.data() + start)};
        Sample* outputs[2] = {outL.data() + start, outR.data() + start};
        if constexpr (sizeof(Sample) == sizeof(float))
            host.effect->processReplacing(host.effect, inputs, outputs, frames);
        else
            host.effect->processDoubleReplacing(host.effect, inputs, outputs, frames);
    }
}

template <typename Sample>
std::vector<Sample> sine(int frames, double frequency, double amplitude, double rate, double phase = 0.0)
{
    std::vector<Sample> out(frames);
    for (int i = 0; i < frames; ++i)
        out[i] = Sample(amplitude * std::sin(2.0 * kPi * frequency * i / rate + phase));
    return out;
}

// Loud program material: partials and noise, peaks far above full scale.
template <typename Sample>
std::vector<Sample> loudMaterial(int frames, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<Sample> out(frames);
    for (int i = 0; i < frames; ++i)
    {
        double t = i / 44100.0;
        out[i] = Sample(noise(rng) + 0.8 * std::sin(2 * kPi * 97.0 * t) + 0.6 * std::sin(2 * kPi * 1234.5 * t + seed) +
                        (i % 3001 == 0 ? 3.0 : 0.0));
    }
    return out;
}

template <typename Sample>
double peak(const std::vector<Sample>& v, size_t from = 0)
{
    double p = 0.0;
    for (size_t i = from; i < v.size(); ++i)
        p = std::max(p, std::fabs(double(v[i])));
    return p;
}

float driveValueForDb(double db) { return float(0.5 + db / (20.0 * std::log10(2.0)) / 8.0); }
} // namespace

TEST(Latency, TheLimitedPathDelaysAnImpulseByLPlus31AtEveryRateClass)
{
    const struct
    {
        float rate;
        int latency;
    } cases[] = {{44100.0f, 159}, {96000.0f, 287}, {192000.0f, 543}};
    for (const auto& c : cases)
    {
        TestHost host;
        host.setSampleRate(c.rate);
        std::vector<double> left(2048, 0.0), right(2048, 0.0), outL, outR;
        left[100] = 0.5;
        right[100] = -0.25;
        run(host, left, right, outL, outR);
        for (int i = 0; i < 2048; ++i)
        {
            if (i == 100 + c.latency)
            {
                EXPECT_NEAR(outL[i], 0.5, 1e-12) << c.rate;
                EXPECT_NEAR(outR[i], -0.25, 1e-12) << c.rate;
            }
            else
            {
                ASSERT_EQ(outL[i], 0.0) << c.rate << " at " << i;
                ASSERT_EQ(outR[i], 0.0) << c.rate << " at " << i;
            }
        }
    }
}

TEST(Ceiling, ASpikeOfFourComesOutAtFullScaleAndTheGainDipsAroundIt)
{
    // A quiet sine with one sample of 4.0: the spike leaves at the ceiling,
    // the transient smoother lowers the gain from N - 1 samples before it,
    // and the release followers only within the lookahead before it.
    TestHost host; // "Current": 0 dB drive and output, TransShape hard (N = 8)
    const int frames = 4096, spikeAt = 2000, latency = 159, n = 8, lookahead = 128;
    std::vector<double> left = sine<double>(frames, 441.0, 0.25, 44100.0), right = left, outL, outR;
    left[spikeAt] = 4.0;
    run(host, left, right, outL, outR);

    const int out = spikeAt + latency;
    EXPECT_LE(std::fabs(outL[out]), 1.0);
    EXPECT_GT(std::fabs(outL[out]), 0.999);
    auto gain = [&](int i) {
        return outL[i] / left[i - latency];
    };
    for (int i = out - 3 * lookahead; i < out - lookahead; ++i)
    {
        if (std::fabs(left[i - latency]) > 0.05)
        {
            ASSERT_NEAR(gain(i), 1.0, 1e-9) << "untouched before the lookahead, at " << i - out;
        }
    }
    for (int i = out - (n - 2); i < out; ++i)
    {
        if (std::fabs(left[i - latency]) > 0.05)
        {
            EXPECT_LT(gain(i), 0.99) << "the smoothed dip before the spike, at " << i - out;
        }
    }
    for (int i = out + 1; i <= out + n - 2; ++i)
    {
        if (std::fabs(left[i - latency]) > 0.05)
        {
            EXPECT_LT(gain(i), 0.99) << "the smoothed dip after the spike, at " << i - out;
        }
    }
    // The right channel saw no spike, but the linked followers lower it too.
    double rightGain = outR[out - 2] / right[out - 2 - latency];
    EXPECT_LT(rightGain, 1.0 - 1e-6);
}

TEST(Ceiling, LoudMaterialNeverLeavesFullScaleAndReachesIt)
{
    for (int truePeak = 0; truePeak < 2; ++truePeak)
        for (int order = 0; order < 2; ++order)
        {
            TestHost host;
            host.setParameter(kDrive, driveValueForDb(12.0));
            host.setParameter(kOversample, truePeak ? 1.0f : 0.0f);
            host.setParameter(kDetectorOrder, order ? 1.0f : 0.0f);
            host.setParameter(kLeveller, 0.7f);
            std::vector<float> left = loudMaterial<float>(44100, 1), right = loudMaterial<float>(44100, 2), outL, outR;
            run(host, left, right, outL, outR);
            EXPECT_LE(peak(outL), 1.0);
            EXPECT_LE(peak(outR), 1.0);
            EXPECT_GT(peak(outL), 0.97) << "limited peaks reach the ceiling";
            EXPECT_GT(peak(outR), 0.97);
        }
}

TEST(TruePeak, TheDetectorSeesTheHalfSamplePoints)
{
    // A sine at a quarter of the rate, 45 degrees off the samples: its
    // samples peak at 0.707 of its true peak. With true-peak detection the
    // gain keeps the true peak (not the samples) at the ceiling.
    const int frames = 20000;
    double samplePeak[2];
    for (int truePeak = 0; truePeak < 2; ++truePeak)
    {
        TestHost host;
        host.setParameter(kOversample, truePeak ? 1.0f : 0.0f);
        std::vector<double> in = sine<double>(frames, 11025.0, 4.0, 44100.0, kPi / 4), outL, outR;
        run(host, in, in, outL, outR);
        samplePeak[truePeak] = peak(outL, frames / 2);
    }
    EXPECT_NEAR(samplePeak[0], 1.0, 0.01);
    EXPECT_NEAR(samplePeak[1], std::sqrt(0.5) / 1.001, 0.01);
}

TEST(Linking, FullLinkLowersTheQuietChannelAndNoLinkLeavesItAlone)
{
    const int frames = 16384, latency = 159;
    std::vector<double> left = sine<double>(frames, 200.0, 0.25, 44100.0);
    std::vector<double> right = sine<double>(frames, 300.0, 0.2, 44100.0);
    for (int i = 6000; i < 9000; ++i)
        left[i] *= 12.0; // a loud burst on the left only
    double rightGainDuringBurst[2];
    for (int linked = 0; linked < 2; ++linked)
    {
        TestHost host;
        host.setParameter(kLink, linked ? 1.0f : 0.0f);
        std::vector<double> outL, outR;
        run(host, left, right, outL, outR);
        double lowest = 1.0;
        for (int i = 7000 + latency; i < 9000 + latency; ++i)
            if (std::fabs(right[i - latency]) > 0.1)
                lowest = std::min(lowest, outR[i] / right[i - latency]);
        rightGainDuringBurst[linked] = lowest;
        EXPECT_LE(peak(outL), 1.0);
    }
    // Unlinked, the right channel's own level never asks for reduction.
    EXPECT_NEAR(rightGainDuringBurst[0], 1.0, 1e-9);
    EXPECT_LT(rightGainDuringBurst[1], 0.5);
}

TEST(DetectorOrder, OrderTwoHoldsTheReductionLongerAfterABurst)
{
    const int frames = 44100, latency = 159;
    std::vector<double> in = sine<double>(frames, 150.0, 0.3, 44100.0);
    for (int i = 10000; i < 14000; ++i)
        in[i] *= 8.0;
    double meanAfter[2];
    std::vector<double> outputs[2];
    for (int order = 0; order < 2; ++order)
    {
        TestHost host;
        host.setParameter(kDetectorOrder, order ? 1.0f : 0.0f);
        std::vector<double> outL, outR;
        run(host, in, in, outL, outR);
        double sum = 0.0;
        for (int i = 14000 + latency + 200; i < 14000 + latency + 2400; ++i)
            sum += std::fabs(outL[i]);
        meanAfter[order] = sum;
        outputs[order] = outL;
        EXPECT_LE(peak(outL), 1.0);
    }
    EXPECT_NE(outputs[0], outputs[1]);
    EXPECT_LT(meanAfter[1], meanAfter[0] * 0.99) << "the second stage lags the first on the way down";
}

TEST(Precision, FloatAndDoubleCallbacksComputeTheSame)
{
    std::vector<float> leftF = loudMaterial<float>(30000, 3), rightF = loudMaterial<float>(30000, 4), outLF, outRF;
    std::vector<double> leftD(leftF.begin(), leftF.end()), rightD(rightF.begin(), rightF.end()), outLD, outRD;
    for (int quantize = 0; quantize < 2; ++quantize)
    {
        TestHost floatHost, doubleHost;
        for (TestHost* host : {&floatHost, &doubleHost})
        {
            host->setParameter(kDrive, driveValueForDb(6.0));
            host->setParameter(kOversample, 1.0f);
            host->setParameter(kQuantize, quantize ? 1.0f : 0.0f);
            host->setParameter(kLeveller, 0.5f);
        }
        run(floatHost, leftF, rightF, outLF, outRF);
        run(doubleHost, leftD, rightD, outLD, outRD);
        for (size_t i = 0; i < outLF.size(); ++i)
        {
            if (quantize)
            {
                // On the 16-bit grid both are exact.
                ASSERT_EQ(double(outLF[i]), outLD[i]) << i;
                ASSERT_EQ(double(outRF[i]), outRD[i]) << i;
            }
            else
            {
                ASSERT_EQ(outLF[i], float(outLD[i])) << i;
                ASSERT_EQ(outRF[i], float(outRD[i])) << i;
            }
        }
    }
}

// The float callback against the double one, rounded, with the buffers a
// host may pass: blocks longer than the kernel works on at once, processing
// in place, one buffer for everything (a mono host) and two output buffers
// one sample apart, which must come out as if each sample's right output
// were written before its left.
TEST(Precision, TheFloatCallbackGivesTheDoubleOneRoundedWhateverTheBuffers)
{
    const int frames = 9000, block = 1500;
    const std::vector<float> left = loudMaterial<float>(frames, 21), right = loudMaterial<float>(frames, 22);
    auto configured = [](TestHost& host) {
        host.setParameter(kDrive, driveValueForDb(9.0));
        host.setParameter(kOversample, 1.0f);
    };
    auto reference = [&](const std::vector<float>& l, const std::vector<float>& r, std::vector<double>& outL,
                         std::vector<double>& outR) {
        TestHost host;
        configured(host);
        run(host, std::vector<double>(l.begin(), l.end()), std::vector<double>(r.begin(), r.end()), outL, outR);
    };
    std::vector<double> stereoL, stereoR, monoL, monoR;
    reference(left, right, stereoL, stereoR);
    reference(left, left, monoL, monoR);

    {
        SCOPED_TRACE("separate buffers, long blocks");
        TestHost host;
        configured(host);
        std::vector<float> outL, outR;
        run(host, left, right, outL, outR, block);
        for (int i = 0; i < frames; ++i)
        {
            ASSERT_EQ(outL[i], float(stereoL[i])) << i;
            ASSERT_EQ(outR[i], float(stereoR[i])) << i;
        }
    }
    {
        SCOPED_TRACE("in place");
        TestHost host;
        configured(host);
        std::vector<float> l = left, r = right;
        for (int at = 0; at < frames; at += block)
        {
            float* channels[2] = {l.data() + at, r.data() + at};
            host.effect->processReplacing(host.effect, channels, channels, block);
        }
        for (int i = 0; i < frames; ++i)
        {
            ASSERT_EQ(l[i], float(stereoL[i])) << i;
            ASSERT_EQ(r[i], float(stereoR[i])) << i;
        }
    }
    {
        SCOPED_TRACE("one buffer for both channels, in and out");
        TestHost host;
        configured(host);
        std::vector<float> shared = left;
        for (int at = 0; at < frames; at += block)
        {
            float* channels[2] = {shared.data() + at, shared.data() + at};
            host.effect->processReplacing(host.effect, channels, channels, block);
        }
        for (int i = 0; i < frames; ++i)
            ASSERT_EQ(shared[i], float(monoL[i])) << i;
    }
    {
        SCOPED_TRACE("outputs one sample apart");
        TestHost host;
        configured(host);
        std::vector<float> out(frames + 1);
        for (int at = 0; at < frames; at += block)
        {
            float* inputs[2] = {const_cast<float*>(left.data() + at), const_cast<float*>(right.data() + at)};
            float* outputs[2] = {out.data() + at, out.data() + at + 1};
            host.effect->processReplacing(host.effect, inputs, outputs, block);
        }
        for (int i = 0; i < frames; ++i)
            ASSERT_EQ(out[i], float(stereoL[i])) << i;
        ASSERT_EQ(out[frames], float(stereoR[frames - 1]));
    }
}

TEST(BadInput, NonFiniteSamplesAreTakenAsSilenceAndTheOutputRecoversAtOnce)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> clean = loudMaterial<double>(20000, 5), dirty = clean;
    const int bad[] = {3000, 3001, 7777, 12000};
    const double values[] = {nan, inf, -inf, 1e300};
    for (int k = 0; k < 4; ++k)
    {
        clean[bad[k]] = 0.0;
        dirty[bad[k]] = values[k];
    }
    for (int truePeak = 0; truePeak < 2; ++truePeak)
    {
        TestHost cleanHost, dirtyHost;
        for (TestHost* host : {&cleanHost, &dirtyHost})
        {
            host->setParameter(kOversample, truePeak ? 1.0f : 0.0f);
            host->setParameter(kQuantize, 1.0f);
            host->setParameter(kLeveller, 0.5f);
        }
        std::vector<double> cleanL, cleanR, dirtyL, dirtyR;
        run(cleanHost, clean, clean, cleanL, cleanR);
        run(dirtyHost, dirty, clean, dirtyL, dirtyR);
        for (size_t i = 0; i < cleanL.size(); ++i)
        {
            ASSERT_TRUE(std::isfinite(dirtyL[i])) << i;
            ASSERT_EQ(dirtyL[i], cleanL[i]) << i;
            ASSERT_EQ(dirtyR[i], cleanR[i]) << i;
        }
    }

    // The float callback too.
    std::vector<float> cleanF(clean.begin(), clean.end()), dirtyF = cleanF;
    dirtyF[3000] = std::numeric_limits<float>::quiet_NaN();
    dirtyF[3001] = std::numeric_limits<float>::infinity();
    TestHost cleanHost, dirtyHost;
    std::vector<float> cL, cR, dL, dR;
    run(cleanHost, cleanF, cleanF, cL, cR);
    run(dirtyHost, dirtyF, dirtyF, dL, dR);
    EXPECT_EQ(cL, dL);
    EXPECT_EQ(cR, dR);
}

TEST(Reset, ARunAfterSuspendRepeatsTheFirstExactly)
{
    TestHost host;
    host.setParameter(kOversample, 1.0f);
    host.setParameter(kDetectorOrder, 1.0f);
    host.setParameter(kQuantize, 1.0f);
    host.setParameter(kBits, 0.0f);
    host.setParameter(kLeveller, 0.4f);
    std::vector<double> left = loudMaterial<double>(20000, 6), right = loudMaterial<double>(20000, 7);
    std::vector<double> firstL, firstR, secondL, secondR;
    host.dispatch(effMainsChanged, 0, 0);
    run(host, left, right, firstL, firstR, 300);
    host.dispatch(effMainsChanged, 0, 0);
    run(host, left, right, secondL, secondR, 1000);
    EXPECT_EQ(firstL, secondL);
    EXPECT_EQ(firstR, secondR);
}

// The sample loop works in stretches cut where a delay line, ring or run
// wraps and where a block ends; wherever the cuts fall, the output is the
// same. Every window length (the short ones are summed directly, the long
// ones by transforms), each detector and every rate class.
TEST(BlockSize, TheOutputDoesNotDependOnTheBlockSize)
{
    std::vector<double> left = loudMaterial<double>(10000, 8), right = loudMaterial<double>(10000, 9);
    for (float rate : {44100.0f, 96000.0f, 192000.0f})
        for (float shape : {0.0f, 0.5f, 0.9f})
            for (int detector : {0, 1, 2}) // plain, half-sample points, the guard
            {
                std::vector<double> referenceL, referenceR;
                for (int block : {4096, 1, 7, 64, 333})
                {
                    TestHost host;
                    host.setSampleRate(rate);
                    host.setParameter(kOversample, detector == 1 ? 1.0f : 0.0f);
                    host.setParameter(kTpGuard, detector == 2 ? 1.0f : 0.0f);
                    host.setParameter(kTransShape, shape);
                    std::vector<double> outL, outR;
                    run(host, left, right, outL, outR, block);
                    if (referenceL.empty())
                    {
                        referenceL = outL;
                        referenceR = outR;
                        continue;
                    }
                    ASSERT_EQ(outL, referenceL)
                        << rate << " Hz, shape " << shape << ", detector " << detector << ", blocks of " << block;
                    ASSERT_EQ(outR, referenceR)
                        << rate << " Hz, shape " << shape << ", detector " << detector << ", blocks of " << block;
                }
            }
}

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>

TEST(FloatingPoint, TheCallbacksLeaveTheHostsModeAsTheyFoundIt)
{
    TestHost host;
    std::vector<float> in = loudMaterial<float>(2048, 10), outL, outR;
    const unsigned before = _mm_getcsr();
    run(host, in, in, outL, outR);
    EXPECT_EQ(_mm_getcsr(), before);
}
#endif
