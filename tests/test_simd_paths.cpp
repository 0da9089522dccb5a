// The sample loops exist once per instruction set, picked by the processor
// at load (or lowered by ZELVO_SIMD). Every path must give the bits of the
// baseline path: the outputs of both callbacks in every kind of loop, and
// the meter readings, which never reach the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dsp/BlockConvolver.h"
#include "dsp/DitherGenerator.h"
#include "dsp/WideDither.h"
#include "dsp/LimiterEngine.h"
#include "dsp/MeterMeasurement.h"
#include "dsp/Requantizer.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdAvx512.h"
#include "dsp/SimdLevel.h"
#include "dsp/TruePeakInterpolator.h"
#include "tests/support/TestHost.h"

namespace
{
constexpr int kBlock = 512;
const double kPi = 3.141592653589793;

enum Param
{
    kDrive = 1,
    kTransient = 2,
    kRelease = 3,
    kTransShape = 4,
    kLink = 5,
    kOversample = 6,
    kDetectorOrder = 7,
    kPower = 8,
    kBits = 10,
    kNoiseShape = 11,
    kLeveller = 13,
    kMeterOvs = 14,
    kQuantize = 16,
    kAutoblack = 17,
    kAttShow = 20,
    kGuard = 22
};

struct Setting
{
    int index;
    float value;
};

// Each kind of sample loop at least once: plain, true peak with the
// oversampled meter and order II, the requantizer with shaping, bypass, and
// the true-peak guard with its meter-matched reading.
const std::vector<std::vector<Setting>> kConfigurations = {
    {{kDrive, 0.75f}, {kGuard, 1.0f}, {kMeterOvs, 1.0f}, {kQuantize, 1.0f}, {kNoiseShape, 0.9f}, {kTransShape, 0.9f}},
    {{kDrive, 0.7f}},
    {{kDrive, 0.75f},
     {kOversample, 1.0f},
     {kMeterOvs, 1.0f},
     {kDetectorOrder, 1.0f},
     {kLeveller, 0.4f},
     {kLink, 0.3f},
     {kTransShape, 0.9f}},
    {{kDrive, 0.7f},
     {kOversample, 1.0f},
     {kQuantize, 1.0f},
     {kNoiseShape, 0.9f},
     {kBits, 0.1f},
     {kAutoblack, 1.0f},
     {kTransient, 0.8f},
     {kRelease, 0.2f},
     {kAttShow, 0.3f}},
    {{kDetectorOrder, 1.0f}, {kQuantize, 1.0f}, {kNoiseShape, 0.4f}, {kPower, 0.0f}},
};

// Loud material with bursts and silences, so that the followers rise and
// fall, the leveller acts and the requantizer fades.
template <typename Sample>
std::vector<Sample> material(int frames, unsigned seed, double rate)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.4);
    std::vector<Sample> out(frames);
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / rate;
        const bool silent = (i / 4000) % 5 == 4;
        out[i] = silent ? Sample(0)
                        : Sample(noise(rng) * (1.0 + std::sin(2 * kPi * 3.0 * t)) +
                                 1.5 * std::sin(2 * kPi * 440.0 * t + seed) + (i % 1777 == 0 ? 6.0 : 0.0));
    }
    return out;
}

// Sets (or with an empty value removes) ZELVO_SIMD for the plug-in, which
// reads it when an instance is created.
void setSimdVariable(const std::string& value)
{
#if defined(_WIN32)
    // "NAME=" removes the variable; the C library keeps its own copy.
    _putenv(("ZELVO_SIMD=" + value).c_str());
#else
    if (value.empty())
        unsetenv("ZELVO_SIMD");
    else
        setenv("ZELVO_SIMD", value.c_str(), 1);
#endif
}

class ForcedSimdLevel
{
public:
    explicit ForcedSimdLevel(SimdLevel level) { setSimdVariable(simdLevelName(level)); }
    ~ForcedSimdLevel() { setSimdVariable(""); }
};

template <typename Sample>
void render(SimdLevel level, const std::vector<Setting>& settings, float rate, const std::vector<Sample>& left,
            const std::vector<Sample>& right, std::vector<Sample>& outL, std::vector<Sample>& outR)
{
    ForcedSimdLevel forced(level);
    TestHost host;
    host.setSampleRate(rate);
    for (const Setting& s : settings)
        host.setParameter(s.index, s.value);
    outL.assign(left.size(), Sample(0));
    outR.assign(left.size(), Sample(0));
    for (size_t start = 0; start < left.size(); start += kBlock)
    {
        const int frames = int(std::min<size_t>(kBlock, left.size() - start));
        Sample* inputs[2] = {const_cast<Sample*>(left.data() + start), const_cast<Sample*>(right.data() + start)};
        Sample* outputs[2] = {outL.data() + start, outR.data() + start};
        if constexpr (sizeof(Sample) == sizeof(float))
            host.effect->processReplacing(host.effect, inputs, outputs, frames);
        else
            host.effect->processDoubleReplacing(host.effect, inputs, outputs, frames);
    }
}

std::vector<SimdLevel> widePaths()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512})
        if (int(level) <= int(supportedSimdLevel()))
            levels.push_back(level);
    return levels;
}

template <typename Sample>
void expectSameBitsOnEveryPath()
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    for (float rate : {44100.0f, 192000.0f})
    {
        const int frames = int(rate / 2);
        const std::vector<Sample> left = material<Sample>(frames, 1, rate), right = material<Sample>(frames, 2, rate);
        for (size_t c = 0; c < kConfigurations.size(); ++c)
        {
            std::vector<Sample> baseL, baseR, wideL, wideR;
            render(SimdLevel::Sse2, kConfigurations[c], rate, left, right, baseL, baseR);
            for (SimdLevel level : widePaths())
            {
                render(level, kConfigurations[c], rate, left, right, wideL, wideR);
                ASSERT_EQ(0, std::memcmp(baseL.data(), wideL.data(), sizeof(Sample) * frames))
                    << simdLevelName(level) << ", configuration " << c << ", " << rate << " Hz";
                ASSERT_EQ(0, std::memcmp(baseR.data(), wideR.data(), sizeof(Sample) * frames))
                    << simdLevelName(level) << ", configuration " << c << ", " << rate << " Hz";
            }
        }
    }
}
} // namespace

TEST(SimdPaths, EveryPathGivesTheBaselineBitsInTheDoubleCallback) { expectSameBitsOnEveryPath<double>(); }

TEST(SimdPaths, EveryPathGivesTheBaselineBitsInTheFloatCallback) { expectSameBitsOnEveryPath<float>(); }

TEST(SimdPaths, TheEnvironmentLowersThePathButNeverRaisesItAboveTheProcessor)
{
    const SimdLevel supported = supportedSimdLevel();
    {
        ForcedSimdLevel forced(SimdLevel::Sse2);
        EXPECT_EQ(LimiterEngine().simdLevel(), SimdLevel::Sse2);
    }
    for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512})
    {
        ForcedSimdLevel forced(level);
        const SimdLevel expected = int(level) <= int(supported) ? level : supported;
        EXPECT_EQ(LimiterEngine().simdLevel(), expected) << simdLevelName(level);
    }
    setSimdVariable("mmx");
    EXPECT_EQ(LimiterEngine().simdLevel(), supported) << "an unknown name leaves the processor's choice";
    setSimdVariable("");
    EXPECT_EQ(LimiterEngine().simdLevel(), supported);
}

// The oversampled output meter interpolates the output on the wide paths
// too; its readings must not move by a bit. The ring is cleared and its
// position reset midway, as a sample-rate change and a suspend do.
TEST(SimdPaths, TheOversampledMeterReadsTheSameOnEveryPath)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    std::mt19937 rng(5);
    std::normal_distribution<double> g(0.0, 0.7);
    std::vector<Pair> inputs, outputs, readings;
    for (int i = 0; i < 5000; ++i)
    {
        inputs.push_back(Pair(g(rng), g(rng)));
        outputs.push_back(Pair(g(rng), 0.5 * g(rng)));
        readings.push_back(Pair(std::exp(-std::fabs(g(rng))), 1.0));
    }
    auto measure = [&](SimdLevel level) {
        MeterMeasurement meters;
        meters.reset();
        std::vector<float> snapshots;
        float values[10];
        for (int block = 0; block < 10; ++block)
        {
            if (block == 6)
                meters.clearRing();
            meters.beginBlock(0.001);
            for (int i = block * 500; i < block * 500 + 500; ++i)
            {
                if (level == SimdLevel::Avx512)
                    meters.measure<true, SimdLevel::Avx512>(inputs[i], readings[i], outputs[i]);
                else if (level == SimdLevel::Avx2)
                    meters.measure<true, SimdLevel::Avx2>(inputs[i], readings[i], outputs[i]);
                else
                    meters.measure<true>(inputs[i], readings[i], outputs[i]);
            }
            meters.endBlock();
            meters.getSnapshot(values);
            snapshots.insert(snapshots.end(), values, values + 10);
        }
        return snapshots;
    };
    const std::vector<float> baseline = measure(SimdLevel::Sse2);
    for (SimdLevel level : widePaths())
        EXPECT_EQ(measure(level), baseline) << simdLevelName(level);
}

// The meter takes its half-sample points a run at a time, not as each
// sample comes. Its output peak must still be that of every point taken one
// by one: blocks shorter and longer than a run, bursts of inter-sample peaks
// across a run's end and in a block's last samples (still pending when the
// block ends), a clear in between, and a block ended with and without the
// wide path's own flush.
TEST(SimdPaths, TheOversampledMeterPeakCountsEveryHalfSamplePoint)
{
    const int lengths[] = {1, 37, 600, 255, 256, 257, 3, 512, 1000, 64};
    std::mt19937 rng(11);
    std::normal_distribution<double> g(0.0, 0.05);
    std::vector<std::vector<Pair>> blocks;
    for (int b = 0; b < int(std::size(lengths)); ++b)
    {
        std::vector<Pair> block;
        const double amplitude = 0.3 + 0.05 * b;
        for (int i = 0; i < lengths[b]; ++i)
        {
            // A quarter-rate sine at 45 degrees: samples at 0.71 of the
            // amplitude, the peaks between them.
            const bool burst = i >= lengths[b] - 48 || (i >= 230 && i < 300);
            const double sine = amplitude * std::sin(kPi / 2 * i + kPi / 4);
            block.push_back(burst ? Pair(sine, -0.8 * sine) : Pair(g(rng), g(rng)));
        }
        blocks.push_back(block);
    }
    std::vector<SimdLevel> levels = widePaths();
    levels.push_back(SimdLevel::Sse2);
    for (SimdLevel level : levels)
    {
        MeterMeasurement meters;
        meters.reset();
        TruePeakInterpolator reference;
        for (int b = 0; b < int(blocks.size()); ++b)
        {
            if (b == 5)
            {
                meters.clearRing();
                reference.clear();
            }
            meters.beginBlock(0.001);
            Pair expected(0.0);
            for (Pair v : blocks[b])
            {
                if (level == SimdLevel::Avx512)
                    meters.measure<true, SimdLevel::Avx512>(Pair(0.0), Pair(1.0), v);
                else if (level == SimdLevel::Avx2)
                    meters.measure<true, SimdLevel::Avx2>(Pair(0.0), Pair(1.0), v);
                else
                    meters.measure<true>(Pair(0.0), Pair(1.0), v);
                reference.push(v);
                expected = max(expected,
                               max(abs(reference.interpolate()), abs(reference.behind(TruePeakInterpolator::kCentre))));
            }
            if (b % 2 == 0)
            {
                if (level == SimdLevel::Avx512)
                    meters.flushOversampled<SimdLevel::Avx512>();
                else if (level == SimdLevel::Avx2)
                    meters.flushOversampled<SimdLevel::Avx2>();
            }
            meters.endBlock();
            float values[10];
            meters.getSnapshot(values);
            EXPECT_EQ(values[2], float(expected.left())) << simdLevelName(level) << ", block " << b;
            EXPECT_EQ(values[3], float(expected.right())) << simdLevelName(level) << ", block " << b;
        }
    }
}

TEST(SimdPaths, TheInterpolatorAgreesAcrossAClearAndAPositionReset)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-2.0, 2.0);
    TruePeakInterpolator interpolator;
    for (int t = 0; t < 400; ++t)
    {
        if (t == 150)
            interpolator.clear();
        if (t == 250)
            interpolator.resetPosition();
        interpolator.push(Pair(u(rng), u(rng)));
        const Pair base = interpolator.interpolate();
        for (SimdLevel level : widePaths())
        {
            const Pair wide = level == SimdLevel::Avx2 ? interpolator.interpolate<SimdLevel::Avx2>()
                                                       : interpolator.interpolate<SimdLevel::Avx512>();
            ASSERT_EQ(wide.left(), base.left()) << simdLevelName(level) << " " << t;
            ASSERT_EQ(wide.right(), base.right()) << simdLevelName(level) << " " << t;
        }
    }
}

// The transient smoother at every window length the limiter uses, through
// a buffer clear and a change of window as a rate change makes them.
TEST(SimdPaths, TheSmootherGivesTheSameBitsOnEveryPathAtEveryWindowLength)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> level(0.0, 4.0);
    BlockConvolver baseline, avx2, avx512;
    for (int n : {8, 16, 32, 64, 128, 256, 8})
    {
        for (BlockConvolver* engine : {&baseline, &avx2, &avx512})
            engine->prepareKernel(n);
        for (int t = 0; t < 5 * n + 7; ++t)
        {
            if (t == 2 * n + 3)
                for (BlockConvolver* engine : {&baseline, &avx2, &avx512})
                    engine->clearBuffers();
            const Pair v(level(rng), level(rng) * 1e-3);
            const Pair expected = baseline.process(v);
            for (SimdLevel path : widePaths())
            {
                const Pair got =
                    path == SimdLevel::Avx2 ? avx2.process<SimdLevel::Avx2>(v) : avx512.process<SimdLevel::Avx512>(v);
                ASSERT_EQ(got.left(), expected.left()) << simdLevelName(path) << " N=" << n << " t=" << t;
                ASSERT_EQ(got.right(), expected.right()) << simdLevelName(path) << " N=" << n << " t=" << t;
            }
        }
    }
}

TEST(SimdPaths, TheDitherSequenceIsTheSameOnEveryPath)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    DitherGenerator baseline, wide;
    for (int i = 0; i < 20000; ++i)
    {
        if (i == 12345)
        {
            baseline.reset();
            wide.reset();
        }
        const Pair expected = baseline.triangular();
        const Pair got = wide.triangular<SimdLevel::Avx2>();
        ASSERT_EQ(got.left(), expected.left()) << i;
        ASSERT_EQ(got.right(), expected.right()) << i;
        ASSERT_GE(got.left(), -2.0);
        ASSERT_LT(got.right(), 2.0);
    }
    // The registers advanced alike: the scalar words that follow agree.
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(wide.nextWord(), baseline.nextWord()) << i;
}

// The widest path steps the registers four at a time, taken from the
// generator at a loop's start and handed back at its end: over loops of
// every length, empty ones and the scalar draws between them included, the
// dither and the registers stay those of the generator's own steps.
TEST(SimdPaths, TheFourStepDitherFollowsTheGeneratorAcrossLoops)
{
    if (supportedSimdLevel() != SimdLevel::Avx512)
        GTEST_SKIP() << "this processor has no AVX-512 path";
    DitherGenerator baseline, wide;
    int drawn = 0;
    for (int loop = 0; loop < 400; ++loop)
    {
        const int length = (loop * 37) % 97; // 0 .. 96 draws
        {
            WideDither<SimdLevel::Avx512> dither(wide);
            for (int i = 0; i < length; ++i, ++drawn)
            {
                const Pair expected = baseline.triangular();
                const Pair got = dither.triangular();
                ASSERT_EQ(got.left(), expected.left()) << "draw " << drawn;
                ASSERT_EQ(got.right(), expected.right()) << "draw " << drawn;
            }
            dither.save();
        }
        if (loop % 5 == 0)
        {
            ASSERT_EQ(wide.nextWord(), baseline.nextWord()) << "after loop " << loop;
        }
    }
    EXPECT_GT(drawn, 15000);
}

// The requantizer alone, at each word length, with a strong shaper, on
// values across its whole input range: far out of range both ways, NaN and
// infinities, the clamp edges, and values a hair either side of zero, where
// truncating toward zero must give the same integer on every path.
TEST(SimdPaths, TheRequantizerGivesTheSameBitsOnEveryPathOverItsWholeRange)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    const double shaping[Requantizer::kTaps] = {1.6, -1.2, 0.9, -0.6, 0.4, -0.25, 0.15, -0.1, 0.05, -0.03, 0.02, -0.01};
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> audio(-1.2, 1.2), tiny(-1e-9, 1e-9);
    const double specials[] = {1e300, -1e300, HUGE_VAL, -HUGE_VAL, std::nan(""), 0.0, -0.0, 65535.0, -65535.0};
    for (int bits = 0; bits < 3; ++bits)
    {
        const double q = Requantizer::scaleForBits(bits);
        struct Path
        {
            explicit Path(SimdLevel l) : level(l) {}
            SimdLevel level;
            Requantizer requantizer;
            DitherGenerator dither;
            Requantizer::Running state{};
        };
        Requantizer baseline;
        DitherGenerator baselineDither;
        std::vector<std::unique_ptr<Path>> paths;
        for (SimdLevel level : widePaths())
            paths.push_back(std::make_unique<Path>(level));
        baseline.reset();
        baseline.beginBlock(q, 0.001, true, shaping);
        for (auto& p : paths)
        {
            p->requantizer.reset();
            p->requantizer.beginBlock(q, 0.001, true, shaping);
            p->state = p->requantizer.running();
        }
        for (int i = 0; i < 20000; ++i)
        {
            double l = audio(rng), r = (i % 3 == 0) ? tiny(rng) : audio(rng);
            if (i % 101 == 0)
                l = specials[(i / 101) % (sizeof(specials) / sizeof(specials[0]))];
            if (i % 997 < 50)
                l = r = 0.0; // silence: the fade runs
            const Pair expected = baseline.process(Pair(l, r), shaping, baselineDither);
            for (auto& p : paths)
            {
                const Pair got =
                    p->level == SimdLevel::Avx2
                        ? p->requantizer.process<SimdLevel::Avx2>(p->state, Pair(l, r), shaping, p->dither)
                        : p->requantizer.process<SimdLevel::Avx512>(p->state, Pair(l, r), shaping, p->dither);
                ASSERT_EQ(std::memcmp(&got, &expected, sizeof(Pair)), 0)
                    << simdLevelName(p->level) << " bits " << bits << " sample " << i << ": " << got.left() << " "
                    << got.right() << " vs " << expected.left() << " " << expected.right();
                // The running state handed back and taken again, as blocks do.
                if (i % 37 == 36)
                {
                    p->requantizer.keep(p->state);
                    p->state = p->requantizer.running();
                }
            }
        }
        for (auto& p : paths)
        {
            p->requantizer.keep(p->state);
            EXPECT_EQ(p->requantizer.fadeGain(), baseline.fadeGain());
        }
    }
}

// The wide paths take the half-sample points of a run several samples to a
// register and, where the run leaves fewer, fewer: every run length gives
// the points of one sample at a time, and the largest magnitude of them.
TEST(SimdPaths, HalfSamplePointsOfRunsOfEveryLengthAreThoseOfOneSampleAtATime)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    const TruePeakInterpolator interpolator;
    const double* c = interpolator.coefficientPairs();
    constexpr int kHistory = TruePeakInterpolator::kRing - 1, kMost = 40;
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> sample(-2.0, 2.0);
    std::vector<double> window(2 * (kHistory + kMost) + 8);
    for (double& v : window)
        v = sample(rng);
    const std::vector<double> odd(window.begin() + 2, window.end());
    for (SimdLevel path : widePaths())
        for (int count = 0; count <= kMost; ++count)
        {
            std::vector<double> got(2 * kMost + 8, -7.0);
            Pair peak(0.25), expectedPeak(0.25);
            int done = 0;
#ifdef ZELVO_WIDE_SIMD
            if (path == SimdLevel::Avx512)
            {
                done = avx512::halfSamplePoints(window.data(), count & ~3, c, got.data());
                avx512::halfSamplePeak(window.data(), count & ~3, c, peak);
            }
            else
            {
                // With the window one pair on beside it, as the sample loop has it.
                done = avx2::halfSamplePoints(window.data(), odd.data(), count & ~1, c, got.data());
                avx2::halfSamplePeak(window.data(), odd.data(), count & ~1, c, peak);
            }
#endif
            for (int i = 0; i < done; ++i)
            {
                const Pair expected = TruePeakInterpolator::pointOf(window.data() + 2 * i, c);
                expectedPeak = max(expectedPeak, abs(expected));
                ASSERT_EQ(got[2 * i], expected.left()) << simdLevelName(path) << " count " << count << " i " << i;
                ASSERT_EQ(got[2 * i + 1], expected.right()) << simdLevelName(path) << " count " << count << " i " << i;
            }
            // Nothing written past the points asked for.
            for (int k = 2 * done; k < int(got.size()); ++k)
                ASSERT_EQ(got[k], -7.0) << simdLevelName(path) << " count " << count;
            ASSERT_EQ(peak.left(), expectedPeak.left()) << simdLevelName(path) << " count " << count;
            ASSERT_EQ(peak.right(), expectedPeak.right()) << simdLevelName(path) << " count " << count;
        }
}

// The smoother's direct sums over stretches of every length the loop makes,
// at every window summed directly: each sum is that of the baseline path.
TEST(SimdPaths, TheSmoothersStretchesOfSumsGiveTheSameBitsOnEveryPath)
{
    if (widePaths().empty())
        GTEST_SKIP() << "this processor has only the baseline path";
    for (int n : {8, 16, 32, 64})
    {
        std::mt19937 rng(n);
        std::uniform_real_distribution<double> level(1.0, 4.0);
        BlockConvolver baseline, avx2, avx512;
        for (BlockConvolver* engine : {&baseline, &avx2, &avx512})
            engine->prepareKernel(n);
        for (int stretch = 1; stretch < 60; ++stretch)
        {
            const int count = std::min(stretch % 37 + 1, baseline.directRoom());
            std::vector<double> expected(2 * count), got(2 * count + 2, -7.0);
            for (int j = 0; j < count; ++j)
            {
                const Pair v(level(rng), level(rng));
                for (BlockConvolver* engine : {&baseline, &avx2, &avx512})
                {
                    engine->directRoom();
                    engine->storeDirectAt(engine->directSlot(), j, v);
                }
            }
            baseline.sumDirect<SimdLevel::Sse2>(baseline.directSlot(), count, expected.data());
            for (SimdLevel path : widePaths())
            {
                BlockConvolver& engine = path == SimdLevel::Avx2 ? avx2 : avx512;
                std::fill(got.begin(), got.end(), -7.0);
                if (path == SimdLevel::Avx2)
                    engine.sumDirect<SimdLevel::Avx2>(engine.directSlot(), count, got.data());
                else
                    engine.sumDirect<SimdLevel::Avx512>(engine.directSlot(), count, got.data());
                for (int k = 0; k < 2 * count; ++k)
                    ASSERT_EQ(got[k], expected[k]) << simdLevelName(path) << " N=" << n << " count " << count;
                ASSERT_EQ(got[2 * count], -7.0) << simdLevelName(path) << " N=" << n << " count " << count;
            }
            for (BlockConvolver* engine : {&baseline, &avx2, &avx512})
                engine->advanceDirect(count);
        }
    }
}
