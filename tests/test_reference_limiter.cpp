// The engine's sample loops against the plain reference page of the limiter:
// every instruction set the processor has, every rate class, block sizes
// from one sample to longer than a detector run, the true-peak guard on and
// off, programs that reach each kind of loop, and a change of program in
// the middle of a run. Output and meter bits must be the reference's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/LimiterEngine.h"
#include "dsp/ReferenceLimiter.h"
#include "dsp/SimdLevel.h"
#include "effect/NoiseShapingTables.h"

namespace
{
const double kPi = 3.141592653589793;

// What a program sets in the kernel, in engineering units.
struct Program
{
    const char* name;
    double driveDb, outputDb, transient, releaseMs, link, leveller; // leveller 1.0: bypassed
    int transShape, oversample, order, power, quantize, bits, noiseShape, autoblack, meterOvs, autoOut, attShow,
        postMeter;
};

// Each kind of sample loop at least once. Programs 2k and 2k + 1 share their
// geometry (transShape): each follows the other in the middle of a run.
const Program kPrograms[] = {
    {"plain", 6.0, 0.0, 0.125, 50.0, 1.0, 1.0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 7, 0},
    {"half-sample, order II, levelled", 9.0, -0.5, 0.3, 200.0, 0.3, 0.6, 0, 1, 1, 1, 0, 1, 0, 0, 1, 0, 7, 1},
    {"requantized, shaped, AutoOut", -3.0, 0.0, 0.5, 5.0, 0.8, 0.8, 1, 1, 0, 1, 1, 0, 3, 1, 0, 1, 3, 0},
    {"24 bits, MeterOvs, readings apart", 12.0, -1.0, 0.0, 1000.0, 1.0, 1.0, 1, 0, 1, 1, 1, 2, 1, 0, 1, 0, 5, 0},
    {"bypass, requantized", 3.0, 0.0, 0.125, 50.0, 1.0, 0.5, 2, 1, 1, 0, 1, 1, 2, 1, 1, 0, 7, 0},
    {"soft, order II", 4.0, 0.0, 0.2, 20.0, 0.0, 1.0, 2, 0, 1, 1, 0, 1, 0, 0, 0, 0, 6, 1},
};
constexpr int kProgramCount = sizeof(kPrograms) / sizeof(kPrograms[0]);

double onePole(double ms, int rate) { return 1.0 - std::exp(-1000.0 / (ms * rate)); }

void apply(KernelSettings& s, const Program& p, bool guard, int rate, const NoiseShapingTables& tables)
{
    s.driveTarget = std::pow(10.0, p.driveDb / 20.0);
    s.outputGain = std::pow(10.0, p.outputDb / 20.0);
    s.transientAmount = p.transient;
    s.link = p.link;
    s.levellerThreshold = p.leveller;
    s.levellerBypassed = p.leveller == 1.0;
    s.powerTarget = p.power;
    s.followers.update([&](FollowerCoefficients& c) {
        for (int k = 0; k < kFollowerCount; ++k)
        {
            c.attack[k] = onePole(32.0 - k * 4.428571428571429, rate);
            c.release[k] = onePole(p.releaseMs - k * (p.releaseMs - 2.0) / 7.0, rate);
        }
    });
    s.oversample = p.oversample;
    s.detectorOrder = p.order;
    s.bits = p.bits;
    s.meterOvs = p.meterOvs;
    s.autoOut = p.autoOut;
    s.quantize = p.quantize;
    s.autoblack = p.autoblack;
    s.attShow = p.attShow;
    s.postMeter = p.postMeter;
    s.truePeakGuard = guard;
    s.kappa = 1.0 - std::exp(-188.49555921538757 / rate);
    s.mu = onePole(1000.0, rate);
    s.meterRms = 1.0 - std::pow(0.01, 1000.0 / (rate * 600.0));
    s.fade = onePole(10.0, rate);
    const double* shaping = p.noiseShape ? tables.find(p.noiseShape, rate) : nullptr;
    s.noiseShaping = shaping ? shaping : tables.zeroTable();
}

// Loud noise with bursts, silences (the followers fall, the requantizer
// fades) and single wild samples: NaN, infinity and finite values far beyond
// the input bound.
std::vector<double> material(int frames, unsigned seed, int rate)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.4);
    std::vector<double> out(frames);
    for (int i = 0; i < frames; ++i)
    {
        const bool silent = (i / 1500) % 4 == 3;
        out[i] = silent ? 0.0
                        : noise(rng) * (1.0 + std::sin(2 * kPi * 7.0 * i / rate)) +
                              1.5 * std::sin(2 * kPi * 440.0 * i / rate + seed) + (i % 977 == 0 ? 6.0 : 0.0);
    }
    out[frames / 3] = seed % 2 ? 1e30 : -3.4e38;
    out[frames / 3 + 500] = std::nan("");
    out[frames / 2] = 2500.0;
    return out;
}

// The engine reads its path from the environment when it is made; the
// Windows runtime has no setenv, and an empty value removes the variable there.
void setSimdVariable(const char* value)
{
#ifdef _WIN32
    _putenv_s("ZELVO_SIMD", value ? value : "");
#else
    if (value)
        setenv("ZELVO_SIMD", value, 1);
    else
        unsetenv("ZELVO_SIMD");
#endif
}

void setSimd(SimdLevel level) { setSimdVariable(simdLevelName(level)); }

std::vector<SimdLevel> everyPath()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512})
        if (int(level) <= int(supportedSimdLevel()))
            levels.push_back(level);
    return levels;
}

struct Render
{
    std::vector<double> left, right;
    std::vector<float> meters;
};

// Runs a limiter (engine or reference) over the material in blocks, with
// program p for the first half and its partner p ^ 1 for the rest.
template <typename Limiter, typename Sample>
Render render(Limiter& limiter, int rateClass, int rate, int p, bool guard, int block, const std::vector<double>& left,
              const std::vector<double>& right)
{
    static const NoiseShapingTables tables;
    apply(limiter.settings, kPrograms[p], guard, rate, tables);
    limiter.setGeometry(rateClass, kPrograms[p].transShape);
    limiter.setTruePeakMeterRate(rate);
    limiter.reset();
    const std::vector<Sample> inL(left.begin(), left.end()), inR(right.begin(), right.end());
    std::vector<Sample> outL(left.size()), outR(left.size());
    Render r;
    const int frames = int(left.size());
    for (int start = 0; start < frames; start += block)
    {
        if (start >= frames / 2 && start - block < frames / 2)
        {
            apply(limiter.settings, kPrograms[p ^ 1], guard, rate, tables);
            float values[10];
            limiter.getMeterSnapshot(values);
            r.meters.insert(r.meters.end(), values, values + 10);
        }
        const int n = std::min(block, frames - start);
        limiter.process(inL.data() + start, inR.data() + start, outL.data() + start, outR.data() + start, n);
    }
    float values[10];
    limiter.getMeterSnapshot(values);
    r.meters.insert(r.meters.end(), values, values + 10);
    r.left.assign(outL.begin(), outL.end());
    r.right.assign(outR.begin(), outR.end());
    return r;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

size_t firstDifference(const std::vector<double>& a, const std::vector<double>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0)
            return i;
    return a.size();
}

template <typename Sample>
void expectEveryPathMatchesTheReference(const std::vector<int>& blocks)
{
    const int rates[3] = {44100, 96000, 192000};
    for (int rateClass = 0; rateClass < 3; ++rateClass)
    {
        const int rate = rates[rateClass];
        const int frames = 10000;
        const std::vector<double> left = material(frames, 1, rate), right = material(frames, 2, rate);
        for (int p = 0; p < kProgramCount; ++p)
            for (bool guard : {false, true})
                for (int block : blocks)
                {
                    ReferenceLimiter reference;
                    const Render expected =
                        render<ReferenceLimiter, Sample>(reference, rateClass, rate, p, guard, block, left, right);
                    for (SimdLevel level : everyPath())
                    {
                        setSimd(level);
                        LimiterEngine engine;
                        setSimdVariable(nullptr);
                        ASSERT_EQ(engine.simdLevel(), level);
                        const Render got =
                            render<LimiterEngine, Sample>(engine, rateClass, rate, p, guard, block, left, right);
                        const std::string where = std::string(simdLevelName(level)) + ", " + kPrograms[p].name + ", " +
                                                  std::to_string(rate) + " Hz, block " + std::to_string(block) +
                                                  (guard ? ", guard" : "");
                        ASSERT_TRUE(sameBits(got.left, expected.left))
                            << where << ": left differs from sample " << firstDifference(got.left, expected.left);
                        ASSERT_TRUE(sameBits(got.right, expected.right))
                            << where << ": right differs from sample " << firstDifference(got.right, expected.right);
                        ASSERT_EQ(got.meters, expected.meters) << where;
                    }
                }
    }
}
} // namespace

TEST(ReferenceLimiter, EveryPathGivesItsBitsInTheDoubleCallback)
{
    expectEveryPathMatchesTheReference<double>({1, 7, 512, 4096});
}

TEST(ReferenceLimiter, EveryPathGivesItsBitsInTheFloatCallback) { expectEveryPathMatchesTheReference<float>({7, 512}); }
