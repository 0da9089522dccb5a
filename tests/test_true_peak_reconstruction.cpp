// TP Guard against the ideal reconstruction: the band-limited waveform
// through the output's samples, as a converter's long filter or a codec's
// resampler approaches it, measured by the renderer's ReconstructedPeak
// (whole-signal oversampling by the Fourier transform), which these tests
// first check against known peaks and a direct sum of sin(x)/x over the
// whole signal. Set ZELVO_GUARD_TABLE=1 to print the worst over of every
// material and rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "presets/FactoryPresets.h"
#include "tests/support/TestHost.h"
#include "tools/render/ReconstructedPeak.h"

namespace
{
constexpr double kPi = 3.141592653589793;
constexpr int kOutput = 0, kDrive = 1, kAutoOut = 15, kGuard = 22;
constexpr int kProgramCurrent = 0, kProgramCdMaster3 = 10, kProgramLoudItUp = 22, kProgramTotalDisorder = 23;

double dB(double linear) { return 20.0 * std::log10(std::max(linear, 1e-12)); }

struct Stereo
{
    std::vector<double> left, right;
};

double reconstructedPeak(const Stereo& s)
{
    ReconstructedPeak meter(2);
    std::vector<double> interleaved(2 * s.left.size());
    for (size_t i = 0; i < s.left.size(); ++i)
    {
        interleaved[2 * i] = s.left[i];
        interleaved[2 * i + 1] = s.right[i];
    }
    meter.add(interleaved.data(), int64_t(s.left.size()));
    return meter.peak();
}

// The ideal reconstruction summed directly: every sample's sin(x)/x, over
// the whole signal, at 16 points per interval next to a sample within 4 dB
// of the largest (or a given share of it), the best points then narrowed down by ternary search.
double directAt(const std::vector<double>& x, double t)
{
    double sum = 0.0;
    for (size_t m = 0; m < x.size(); ++m)
    {
        const double d = kPi * (t - double(m));
        sum += d == 0.0 ? x[m] : x[m] * std::sin(d) / d;
    }
    return std::fabs(sum);
}

double directPeak(const std::vector<double>& x, double share = 0.63)
{
    double largestSample = 0.0;
    for (double v : x)
        largestSample = std::max(largestSample, std::fabs(v));
    std::vector<std::pair<double, double>> points; // (magnitude, time)
    for (size_t i = 0; i + 1 < x.size(); ++i)
        if (std::max(std::fabs(x[i]), std::fabs(x[i + 1])) >= largestSample * share)
            for (int p = 0; p < 16; ++p)
                points.push_back({directAt(x, double(i) + p / 16.0), double(i) + p / 16.0});
    std::sort(points.rbegin(), points.rend());
    double peak = largestSample;
    for (size_t k = 0; k < std::min<size_t>(points.size(), 12); ++k)
    {
        double lo = points[k].second - 1.0 / 16, hi = points[k].second + 1.0 / 16;
        for (int step = 0; step < 30; ++step)
        {
            const double a = lo + (hi - lo) / 3, b = hi - (hi - lo) / 3;
            if (directAt(x, a) < directAt(x, b))
                lo = a;
            else
                hi = b;
        }
        peak = std::max({peak, points[k].first, directAt(x, 0.5 * (lo + hi))});
    }
    return peak;
}

// --- the material -----------------------------------------------------------

enum Material
{
    kSquarePhaseSteps,
    kSweep,
    kAbruptNearNyquist,
    kClippedDrums,
    kWhiteNoise,
    kPinkNoise,
    kOnsetsAfterSilence,
    kImpulsePairs,
    kMaterialCount
};
const char* const kMaterialNames[kMaterialCount] = {
    "square fs/4 steps", "sweep to .49fs", "abrupt .49fs +3dB", "clipped drums", "white noise hot",
    "pink noise hot",    "onsets",         "impulse pairs"};

constexpr int kFrames = 4096;

// Each kind is known for peaks between its samples, and all pass full scale
// (the noises are driven +12 dB in the plug-in): aliased edges, content up
// to half the rate, abrupt starts that ring far ahead of them.
Stereo makeMaterial(Material kind, double rate)
{
    Stereo s;
    s.left.assign(kFrames, 0.0);
    s.right.assign(kFrames, 0.0);
    std::mt19937 rng(unsigned(kind) * 7919u + unsigned(rate));
    std::normal_distribution<double> gauss(0.0, 1.0);
    double pinkL[3] = {}, pinkR[3] = {};
    double phase = 0.0;
    for (int i = 0; i < kFrames; ++i)
    {
        const double t = i / rate;
        double l = 0.0, r = 0.0;
        switch (kind)
        {
        case kSquarePhaseSteps:
        {
            // A square at a quarter of the rate whose phase jumps every 600
            // samples: its samples sit at +-1.5, its reconstruction higher.
            const double step = kPi / 4 * double((i / 600) % 3);
            l = std::sin(kPi / 2 * i + kPi / 4 + step) >= 0 ? 1.5 : -1.5;
            r = std::sin(kPi / 2 * i + 0.3 - step) >= 0 ? 1.5 : -1.5;
            break;
        }
        case kSweep:
        {
            // Logarithmic, from 1 kHz to 0.49 of the rate over the material.
            const double f0 = 1000.0 / rate, f1 = 0.49, k = std::log(f1 / f0) / kFrames;
            phase += 2 * kPi * f0 * std::exp(k * i);
            l = 1.4 * std::sin(phase);
            r = 1.4 * std::cos(phase);
            break;
        }
        case kAbruptNearNyquist:
            if (i >= 800 && i < 3200)
            {
                l = 1.41 * std::sin(2 * kPi * 0.49 * (i - 800) + 0.5);
                r = 1.41 * std::sin(2 * kPi * 0.487 * (i - 800) + 2.0);
            }
            break;
        case kClippedDrums:
        {
            const double beat = std::fmod(t, 0.01), half = std::fmod(t + 0.005, 0.01);
            const double kick =
                std::sin(2 * kPi * (50.0 * beat + 60.0 * (1 - std::exp(-beat * 30)) / 30)) * std::exp(-beat * 12);
            const double snare = (0.6 * gauss(rng) + std::sin(2 * kPi * 190 * half)) * std::exp(-half * 200);
            const double hats = 0.3 * gauss(rng) * std::exp(-std::fmod(t, 0.0025) * 800);
            l = std::clamp(4.0 * (kick + 0.8 * snare + hats), -1.0, 1.0);
            r = std::clamp(4.0 * (kick + 0.6 * snare - hats), -1.0, 1.0);
            break;
        }
        case kWhiteNoise:
            l = 0.3 * gauss(rng);
            r = 0.3 * gauss(rng);
            break;
        case kPinkNoise:
        {
            // Three one-pole sections: near -3 dB per octave over the band.
            const double a[3] = {0.99765, 0.963, 0.57}, g[3] = {0.0990460, 0.2965164, 1.0526913};
            const double wl = gauss(rng), wr = gauss(rng);
            for (int k = 0; k < 3; ++k)
            {
                pinkL[k] = a[k] * pinkL[k] + g[k] * wl;
                pinkR[k] = a[k] * pinkR[k] + g[k] * wr;
            }
            l = 0.12 * (pinkL[0] + pinkL[1] + pinkL[2] + 0.1848 * wl);
            r = 0.12 * (pinkR[0] + pinkR[1] + pinkR[2] + 0.1848 * wr);
            break;
        }
        case kOnsetsAfterSilence:
            // Bursts of bright noise and of a high tone, each starting at
            // full level after silence.
            if (i % 700 < 150)
            {
                const bool tone = (i / 700) % 2 == 1;
                l = tone ? 1.6 * std::sin(2 * kPi * 0.46 * (i % 700)) : 0.8 * gauss(rng);
                r = tone ? 1.6 * std::cos(2 * kPi * 0.47 * (i % 700)) : 0.8 * gauss(rng);
            }
            break;
        case kImpulsePairs:
        {
            // Every 300 samples in turn: a pair of +3s (its peak lies between
            // them), a +3/-3 pair, a lone +4.
            const int k = i % 300, which = (i / 300) % 3;
            if (k == 0)
                l = r = which == 2 ? 4.0 : 3.0;
            if (k == 1 && which < 2)
                l = r = which == 0 ? 3.0 : -3.0;
            break;
        }
        default: break;
        }
        s.left[i] = l;
        s.right[i] = r;
    }
    return s;
}

// --- driving the plug-in ----------------------------------------------------

struct Setting
{
    int program = kProgramCurrent;
    double rate = 44100;
    double ceilingDb = 0.0;
    float drive = 0.5f; // normalised: 0 dB
    bool guard = true;
    bool autoOut = false;
    bool doublePrecision = false;
    int block = 512;
};

float outputFor(double ceilingDb) { return float(1.0 + std::log2(std::pow(10.0, ceilingDb / 20.0)) / 2.0); }
// The gain the plug-in derives from that value (from the single-precision
// value, as it does): the ceiling in force.
double ceilingOf(double ceilingDb) { return std::pow(2.0, (double(outputFor(ceilingDb)) - 1.0) * 2.0); }

// The output of the material and of the silence after it, so that the
// limiter's response to the end is measured too.
Stereo process(const Setting& run, const Stereo& material)
{
    TestHost host;
    host.setSampleRate(float(run.rate));
    host.dispatch(effSetBlockSize, 0, run.block);
    host.dispatch(effMainsChanged, 0, 1);
    for (int i = 0; i < 26; ++i)
        host.setParameter(i, float(kFactoryPresets[run.program].values[i]));
    host.setParameter(kOutput, outputFor(run.ceilingDb));
    host.setParameter(kDrive, run.drive);
    host.setParameter(kAutoOut, run.autoOut ? 1.0f : 0.0f);
    host.setParameter(kGuard, run.guard ? 1.0f : 0.0f);
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);

    const size_t frames = material.left.size() + 1024;
    Stereo out;
    out.left.assign(frames, 0.0);
    out.right.assign(frames, 0.0);
    std::vector<float> fl(run.block), fr(run.block), gl(run.block), gr(run.block);
    std::vector<double> dl(run.block), dr(run.block), el(run.block), er(run.block);
    for (size_t start = 0; start < frames; start += size_t(run.block))
    {
        const int n = int(std::min<size_t>(size_t(run.block), frames - start));
        for (int i = 0; i < n; ++i)
        {
            const size_t at = start + size_t(i);
            dl[i] = at < material.left.size() ? material.left[at] : 0.0;
            dr[i] = at < material.right.size() ? material.right[at] : 0.0;
            fl[i] = float(dl[i]);
            fr[i] = float(dr[i]);
        }
        if (run.doublePrecision)
        {
            double* inputs[2] = {dl.data(), dr.data()};
            double* outputs[2] = {el.data(), er.data()};
            host.effect->processDoubleReplacing(host.effect, inputs, outputs, n);
        }
        else
        {
            float* inputs[2] = {fl.data(), fr.data()};
            float* outputs[2] = {gl.data(), gr.data()};
            host.effect->processReplacing(host.effect, inputs, outputs, n);
            std::copy_n(gl.begin(), n, el.begin());
            std::copy_n(gr.begin(), n, er.begin());
        }
        std::copy_n(el.begin(), n, out.left.begin() + long(start));
        std::copy_n(er.begin(), n, out.right.begin() + long(start));
    }
    return out;
}

// dB over the ceiling by the ideal reconstruction (negative: under it).
double overDb(const Setting& run, const Stereo& material)
{
    return dB(reconstructedPeak(process(run, material))) - dB(run.autoOut ? 1.0 : ceilingOf(run.ceilingDb));
}

bool printTable() { return std::getenv("ZELVO_GUARD_TABLE") != nullptr; }

const double kRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
const double kCeilings[] = {0.0, -0.1, -1.0, -3.0};
// The largest over the guard may leave: well under what a meter can show.
constexpr double kToleranceDb = 0.02;
} // namespace

// --- the meter --------------------------------------------------------------

// Known peaks: a sine at a quarter of the rate sampled at 45 degrees (samples
// at +-1, peaks at the square root of 2), two equal impulses (4 / pi half-way
// between them), a lone impulse (its own sample).
TEST(ReconstructedPeak, ReadsKnownPeaks)
{
    Stereo s;
    s.left.assign(20000, 0.0);
    s.right.assign(20000, 0.0);
    for (int i = 0; i < 20000; ++i)
    {
        // Faded in and out over 2000 samples, so no edge rings.
        const double fade = std::min({1.0, i / 2000.0, (19999 - i) / 2000.0});
        s.left[i] = std::sqrt(2.0) * std::sin(kPi / 2 * i + kPi / 4) * (0.5 - 0.5 * std::cos(kPi * fade));
    }
    s.right[5000] = s.right[5001] = 0.5;
    EXPECT_NEAR(dB(reconstructedPeak(s)), 3.0103, 0.005);
    s.left.assign(20000, 0.0);
    EXPECT_NEAR(reconstructedPeak(s), 2.0 / kPi, 1e-4);
    s.right[5001] = 0.0;
    s.right[7000] = -0.75;
    EXPECT_NEAR(reconstructedPeak(s), 0.75, 1e-6);
}

// Against the sum of every sample's sin(x)/x, on material whose peaks lie
// between the samples, far from them (abrupt tones near half the rate), and
// in a signal long enough to be measured in several segments, with its
// loudest moment across a segment boundary.
TEST(ReconstructedPeak, AgreesWithTheDirectSumOfEverySample)
{
    for (Material m : {kAbruptNearNyquist, kWhiteNoise, kSquarePhaseSteps, kClippedDrums})
    {
        Stereo s = makeMaterial(m, 48000);
        s.left.resize(1280); // the abrupt tone starts at 800
        s.right.resize(1280);
        const double direct = std::max(directPeak(s.left), directPeak(s.right));
        EXPECT_NEAR(dB(reconstructedPeak(s)), dB(direct), 0.005) << kMaterialNames[m];
    }

    const int64_t length = 3 * ReconstructedPeak::kSegment;
    std::vector<double> x(size_t(length), 0.0);
    std::mt19937 rng(5);
    std::normal_distribution<double> gauss(0.0, 0.05);
    for (double& v : x)
        v = gauss(rng);
    const int64_t boundary = ReconstructedPeak::kSegment;
    for (int64_t i = boundary - 300; i < boundary + 300; ++i)
        x[size_t(i)] += 0.9 * std::sin(2 * kPi * 0.493 * double(i) + 0.7);
    // The direct sum only where the burst is, on every interval: an abrupt
    // tone near half the rate peaks where the samples are small.
    const std::vector<double> around(x.begin() + boundary - 1000, x.begin() + boundary + 1000);
    ReconstructedPeak meter(1);
    for (int64_t at = 0; at < length; at += 10007)
        meter.add(x.data() + at, std::min<int64_t>(10007, length - at));
    const double streamed = meter.peakDb();
    EXPECT_NEAR(streamed, dB(directPeak(around, 0.0)), 0.01);
    // The whole signal at once, its segments shared by threads: the same reading.
    ReconstructedPeak whole(1, 3);
    whole.add(x.data(), length);
    EXPECT_EQ(whole.peakDb(), streamed);
}

// --- the guard against it ---------------------------------------------------

class GuardAgainstReconstruction : public ::testing::TestWithParam<std::tuple<int, int>>
{};

// Every material at every rate and ceiling, with the guard on: no over of the
// ideal reconstruction beyond 0.02 dB. The programs, callbacks and block
// sizes take turns: the working program, the reconstruction preset (leveller,
// requantizer with noise shaping), the strongest transient shaping of the
// factory set. With the guard off the same material goes over, or the test
// would prove nothing.
TEST_P(GuardAgainstReconstruction, HoldsTheCeilingOnHardMaterial)
{
    const Material material = Material(std::get<0>(GetParam()));
    const double rate = kRates[std::get<1>(GetParam())];
    const Stereo in = makeMaterial(material, rate);
    const bool noise = material == kWhiteNoise || material == kPinkNoise;
    const int programs[] = {kProgramCurrent, kProgramCdMaster3, kProgramTotalDisorder, kProgramLoudItUp};
    const int blocks[] = {512, 1, 333, 4096};
    double worst = -100.0;
    for (int c = 0; c < 4; ++c)
    {
        Setting run;
        run.rate = rate;
        run.ceilingDb = kCeilings[c];
        run.drive = noise ? 0.75f : 0.5f;
        run.program = programs[(c + std::get<0>(GetParam()) + std::get<1>(GetParam())) % 4];
        run.block = blocks[(c + std::get<1>(GetParam())) % 4];
        run.doublePrecision = (c + std::get<0>(GetParam())) % 2 == 1;
        const double over = overDb(run, in);
        worst = std::max(worst, over);
        EXPECT_LE(over, kToleranceDb) << kMaterialNames[material] << " at " << rate << " Hz, ceiling " << kCeilings[c]
                                      << " dB, " << kFactoryPresets[run.program].name << ", block " << run.block;
    }
    Setting off;
    off.rate = rate;
    off.ceilingDb = -1.0;
    off.drive = noise ? 0.75f : 0.5f;
    off.guard = false;
    const double offOver = overDb(off, in);
    EXPECT_GT(offOver, 0.1) << kMaterialNames[material] << " at " << rate << " Hz does not go over without the guard";
    if (printTable())
        std::printf("| %-18s | %6.0f | %+7.3f | %+7.3f |\n", kMaterialNames[material], rate, worst, offOver);
}

INSTANTIATE_TEST_SUITE_P(MaterialsAndRates, GuardAgainstReconstruction,
                         ::testing::Combine(::testing::Range(0, int(kMaterialCount)), ::testing::Range(0, 6)));

// With AutoOut on the output gain is 1 / drive, above full scale for a drive
// below 0 dB: the guard then holds full scale, not the output gain.
TEST(GuardUnderAutoOut, HoldsFullScaleAgainstTheReconstruction)
{
    for (double rate : {44100.0, 96000.0})
    {
        Setting run;
        run.rate = rate;
        run.autoOut = true;
        run.drive = 0.4f; // -9.6 dB: the output gain becomes +9.6 dB
        Stereo in = makeMaterial(kClippedDrums, rate);
        for (double& v : in.left)
            v *= 3.0;
        for (double& v : in.right)
            v *= 3.0;
        EXPECT_LE(overDb(run, in), kToleranceDb) << rate;
    }
}
