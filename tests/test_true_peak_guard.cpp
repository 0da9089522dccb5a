// The true-peak guard (parameter 22, "TP Guard") as a host sees it: with it
// on, the output's reconstructed peaks stay at or under the ceiling on hard
// material at every rate class, measured by libebur128's BS.1770 meter and
// by an 8x windowed-sinc interpolator of this file; with it off, the output
// is bit for bit what it was before the guard existed; the latency does not
// move. Set ZELVO_GUARD_TABLE=1 to print the measurement table.
#include <gtest/gtest.h>

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/AlignedBuffer.h"
#include "dsp/TruePeakGuard.h"
#include "presets/FactoryPresets.h"
#include "tests/support/TestHost.h"

namespace
{
constexpr int kBlock = 512;
constexpr double kPi = 3.141592653589793;
constexpr int kOutput = 0, kDrive = 1, kOversample = 6, kGuard = 22;
constexpr int kProgramCurrent = 0, kProgramCdMaster3 = 10, kProgramLoudItUp = 22, kProgramTotalDisorder = 23;

double dB(double linear) { return 20.0 * std::log10(std::max(linear, 1e-12)); }

// --- the material ---------------------------------------------------------

struct Stereo
{
    std::vector<double> left, right;
};

enum Material
{
    kSquares,
    kSineQuarter,
    kSineThird,
    kSineNearNyquist,
    kClippedDrums,
    kNoise,
    kImpulses,
    kMaterialCount
};
const char* const kMaterialNames[kMaterialCount] = {"square",     "sine fs/4", "sine fs/3", "sine .45fs",
                                                    "drums clip", "noise +12", "impulses"};

// Material the tests make themselves, 0.1 s at the given rate. Everything
// reaches or passes full scale, and every kind is known for peaks between
// its samples: naive squares ring, high sines at odd phases peak between
// samples by up to 3 dB, clipped material is full of edges.
Stereo makeMaterial(Material kind, double rate)
{
    const int frames = int(rate * 0.1);
    Stereo s;
    s.left.assign(frames, 0.0);
    s.right.assign(frames, 0.0);
    std::mt19937 rng(unsigned(kind) * 7919u + unsigned(rate));
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int i = 0; i < frames; ++i)
    {
        const double t = i / rate;
        double l = 0.0, r = 0.0;
        switch (kind)
        {
        case kSquares:
            l = std::sin(2 * kPi * 997.0 * t) >= 0 ? 1.0 : -1.0;
            r = std::sin(2 * kPi * 3001.0 * t + 1.0) >= 0 ? 1.0 : -1.0;
            break;
        case kSineQuarter: // samples at +-0.707 of the peak when the phase is pi/4
            l = 2.0 * std::sin(2 * kPi * 0.25 * i + kPi / 4);
            r = 2.0 * std::sin(2 * kPi * 0.25 * i + 0.3);
            break;
        case kSineThird:
            l = 2.0 * std::sin(2 * kPi * i / 3.0 + kPi / 6);
            r = 2.0 * std::sin(2 * kPi * i / 3.0 + 0.9);
            break;
        case kSineNearNyquist:
            l = 2.0 * std::sin(2 * kPi * 0.45 * i + 0.4);
            r = 2.0 * std::sin(2 * kPi * 0.45 * i + 2.2);
            break;
        case kClippedDrums:
        {
            // Kick (falling pitch), snare (noise and tone) and hats, much
            // faster than music so that 0.1 s holds two kicks and a snare,
            // driven four times over full scale and clipped.
            const double beat = std::fmod(t, 0.08), half = std::fmod(t + 0.04, 0.08);
            const double kick =
                std::sin(2 * kPi * (50.0 * beat + 60.0 * (1 - std::exp(-beat * 30)) / 30)) * std::exp(-beat * 12);
            const double snare = (0.6 * gauss(rng) + std::sin(2 * kPi * 190 * half)) * std::exp(-half * 25);
            const double hats = 0.3 * gauss(rng) * std::exp(-std::fmod(t, 0.02) * 80);
            l = std::clamp(4.0 * (kick + 0.8 * snare + hats), -1.0, 1.0);
            r = std::clamp(4.0 * (kick + 0.6 * snare - hats), -1.0, 1.0);
            break;
        }
        case kNoise: // driven by +12 dB in the plug-in
            l = 0.3 * gauss(rng);
            r = 0.3 * gauss(rng);
            break;
        case kImpulses:
        {
            // Every 5 ms: a lone +4, a pair of +3s (peak between them), a
            // +3/-3 pair, in turn.
            const int period = int(rate * 0.005), k = i % period, which = (i / period) % 3;
            if (k == 0)
                l = r = which == 0 ? 4.0 : 3.0;
            if (k == 1 && which == 1)
                l = r = 3.0;
            if (k == 1 && which == 2)
                l = r = -3.0;
            break;
        }
        default: break;
        }
        s.left[i] = l;
        s.right[i] = r;
    }
    return s;
}

// --- the two meters -------------------------------------------------------

// BS.1770-4 true peak of both channels by libebur128 (linear, the larger).
double truePeakBs1770(const Stereo& s, double rate)
{
    ebur128_state* st = ebur128_init(2, (unsigned long)rate, EBUR128_MODE_TRUE_PEAK);
    std::vector<double> interleaved(2 * s.left.size());
    for (size_t i = 0; i < s.left.size(); ++i)
    {
        interleaved[2 * i] = s.left[i];
        interleaved[2 * i + 1] = s.right[i];
    }
    ebur128_add_frames_double(st, interleaved.data(), s.left.size());
    double peak = 0.0, value = 0.0;
    for (unsigned c = 0; c < 2; ++c)
        if (ebur128_true_peak(st, c, &value) == EBUR128_SUCCESS)
            peak = std::max(peak, value);
    ebur128_destroy(&st);
    return peak;
}

// An 8x reconstruction of its own: Kaiser-windowed sin(x)/x, 64 taps per
// phase, computed directly for each of the seven points between two samples.
class SincReference
{
public:
    static constexpr int kFactor = 8, kHalf = 32;

    SincReference()
    {
        auto i0 = [](double x) {
            double sum = 1, term = 1;
            for (int k = 1; k < 50; ++k)
            {
                term *= x * x / (4.0 * k * k);
                sum += term;
            }
            return sum;
        };
        const double beta = 9.0;
        for (int p = 1; p < kFactor; ++p)
        {
            double sum = 0;
            for (int j = 0; j < 2 * kHalf; ++j)
            {
                // Sample n - kHalf + 1 + j, point n + p / 8.
                const double d = double(p) / kFactor + kHalf - 1 - j;
                const double r = d / kHalf;
                const double w = std::fabs(r) < 1 ? i0(beta * std::sqrt(1 - r * r)) / i0(beta) : 0.0;
                taps[p][j] = std::sin(kPi * d) / (kPi * d) * w;
                sum += taps[p][j];
            }
            for (double& t : taps[p])
                t /= sum;
        }
    }

    // The reconstructed peak of each interval n .. n + 1 (the samples included).
    std::vector<double> intervalPeaks(const std::vector<double>& x, double floor) const
    {
        const int n = int(x.size());
        std::vector<double> peaks(n, 0.0);
        for (int i = 0; i + 1 < n; ++i)
        {
            double peak = std::max(std::fabs(x[i]), std::fabs(x[i + 1]));
            // Peaks between samples that are both more than 6 dB under the
            // floor would need a tone near half the rate at an odd phase and
            // twice its usual overshoot: only the top is measured finely.
            if (peak < floor * 0.5)
            {
                peaks[i] = peak;
                continue;
            }
            for (int p = 1; p < kFactor; ++p)
            {
                double v = 0;
                for (int j = 0; j < 2 * kHalf; ++j)
                {
                    const int k = i - kHalf + 1 + j;
                    if (k >= 0 && k < n)
                        v += taps[p][j] * x[k];
                }
                peak = std::max(peak, std::fabs(v));
            }
            peaks[i] = peak;
        }
        return peaks;
    }

private:
    double taps[kFactor][2 * kHalf] = {};
};

// --- driving the plug-in --------------------------------------------------

struct Settings
{
    int program = kProgramCurrent;
    double rate = 44100;
    float output = 1.0f; // normalised Output: the ceiling
    float drive = 0.5f;  // normalised Drive
    bool guard = true;
    bool doublePrecision = false;
};

// The normalised Output value whose gain is `ceilingDb`, and the gain the
// plug-in derives from it (from the single-precision value, as it does).
float outputFor(double ceilingDb) { return float(1.0 + std::log2(std::pow(10.0, ceilingDb / 20.0)) / 2.0); }
double ceilingOf(float output) { return std::pow(2.0, (double(output) - 1.0) * 2.0); }

// The output of the whole material and of the silence after it, so that the
// meters see the limiter's response to its end too and no edge of their own.
Stereo process(const Settings& settings, const Stereo& material)
{
    Stereo in = material;
    in.left.resize(material.left.size() + 1024, 0.0);
    in.right.resize(material.right.size() + 1024, 0.0);
    TestHost host;
    host.setSampleRate(float(settings.rate));
    host.dispatch(effSetBlockSize, 0, kBlock);
    host.dispatch(effMainsChanged, 0, 1);
    for (int i = 0; i < 26; ++i)
        host.setParameter(i, float(kFactoryPresets[settings.program].values[i]));
    host.setParameter(kOutput, settings.output);
    host.setParameter(kDrive, settings.drive);
    host.setParameter(kGuard, settings.guard ? 1.0f : 0.0f);
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);

    Stereo out;
    const size_t frames = in.left.size();
    out.left.assign(frames, 0.0);
    out.right.assign(frames, 0.0);
    std::vector<float> fl(kBlock), fr(kBlock), gl(kBlock), gr(kBlock);
    std::vector<double> dl(kBlock), dr(kBlock), el(kBlock), er(kBlock);
    for (size_t start = 0; start < frames; start += kBlock)
    {
        const int n = int(std::min<size_t>(kBlock, frames - start));
        if (settings.doublePrecision)
        {
            std::copy_n(in.left.begin() + start, n, dl.begin());
            std::copy_n(in.right.begin() + start, n, dr.begin());
            double* inputs[2] = {dl.data(), dr.data()};
            double* outputs[2] = {el.data(), er.data()};
            host.effect->processDoubleReplacing(host.effect, inputs, outputs, n);
            std::copy_n(el.begin(), n, out.left.begin() + start);
            std::copy_n(er.begin(), n, out.right.begin() + start);
        }
        else
        {
            for (int i = 0; i < n; ++i)
            {
                fl[i] = float(in.left[start + i]);
                fr[i] = float(in.right[start + i]);
            }
            float* inputs[2] = {fl.data(), fr.data()};
            float* outputs[2] = {gl.data(), gr.data()};
            host.effect->processReplacing(host.effect, inputs, outputs, n);
            for (int i = 0; i < n; ++i)
            {
                out.left[start + i] = gl[i];
                out.right[start + i] = gr[i];
            }
        }
    }
    return out;
}

struct Measurement
{
    double samplePeak = 0, bs1770 = 0, sinc = 0, rms = 0;
    int overs = 0; // sample intervals whose sinc peak passes the ceiling by more than 0.01 dB
};

Measurement measure(const Stereo& out, double rate, double ceiling)
{
    static const SincReference reference;
    Measurement m;
    double sum = 0;
    for (size_t i = 0; i < out.left.size(); ++i)
    {
        m.samplePeak = std::max({m.samplePeak, std::fabs(out.left[i]), std::fabs(out.right[i])});
        sum += out.left[i] * out.left[i] + out.right[i] * out.right[i];
    }
    m.rms = std::sqrt(sum / (2.0 * out.left.size()));
    m.bs1770 = truePeakBs1770(out, rate);
    const double limit = ceiling * std::pow(10.0, 0.01 / 20);
    for (const std::vector<double>* channel : {&out.left, &out.right})
        for (double peak : reference.intervalPeaks(*channel, ceiling))
        {
            m.sinc = std::max(m.sinc, peak);
            m.overs += peak > limit;
        }
    return m;
}

bool printTable() { return std::getenv("ZELVO_GUARD_TABLE") != nullptr; }

// One row of guard-on measurements against the ceiling, with the level the
// guard costs against the same run with the guard off.
void checkGuard(Settings settings, Material material, double ceilingDb)
{
    settings.output = outputFor(ceilingDb);
    const double ceiling = ceilingOf(settings.output);
    const Stereo in = makeMaterial(material, settings.rate);
    settings.guard = true;
    const Measurement on = measure(process(settings, in), settings.rate, ceiling);
    if (printTable())
    {
        settings.guard = false;
        const Stereo offOut = process(settings, in);
        double sum = 0;
        for (size_t i = 0; i < offOut.left.size(); ++i)
            sum += offOut.left[i] * offOut.left[i] + offOut.right[i] * offOut.right[i];
        const double offRms = std::sqrt(sum / (2.0 * offOut.left.size()));
        const Measurement off = measure(offOut, settings.rate, ceiling);
        std::printf("| %-10s | %-19s | %6.0f | %5.1f | %+7.3f | %+7.3f | %+7.3f | %4d | %5.2f | %+7.3f | %5d |\n",
                    kMaterialNames[material], kFactoryPresets[settings.program].name, settings.rate, ceilingDb,
                    dB(on.samplePeak), dB(on.bs1770), dB(on.sinc), on.overs, dB(offRms) - dB(on.rms), dB(off.sinc),
                    off.overs);
    }
    const std::string where = std::string(kMaterialNames[material]) + " at " + std::to_string(int(settings.rate)) +
                              " Hz, ceiling " + std::to_string(ceilingDb) + " dB, program " +
                              kFactoryPresets[settings.program].name;
    EXPECT_LE(dB(on.bs1770), dB(ceiling) + 0.01) << where;
    EXPECT_LE(dB(on.sinc), dB(ceiling) + 0.05) << where;
    EXPECT_LE(on.samplePeak, ceiling) << where;
}

void printHeader()
{
    if (printTable())
        std::printf("| material   | program             |   rate | ceil  | smp pk  | dBTP1770| dBTP 8x | over | cost  "
                    "| off 8x  | off overs |\n");
}

const double kRates[4] = {44100, 48000, 96000, 192000};
const double kCeilings[3] = {0.0, -0.1, -1.0};
} // namespace

// The hard cases, with the fastest gain the working program allows ("hard"
// transient shape), every material at every rate, the ceilings taking turns
// so that each meets every material and every rate (all of them with the
// table, which is slower than a test run should be).
TEST(TruePeakGuard, HoldsTheReconstructedPeaksUnderTheCeilingOnHardMaterial)
{
    printHeader();
    for (int m = 0; m < kMaterialCount; ++m)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
            {
                if (!printTable() && c != (m + r) % 3)
                    continue;
                Settings s;
                s.rate = kRates[r];
                s.drive = m == kNoise ? 0.75f : 0.5f; // +12 dB for the noise
                checkGuard(s, Material(m), kCeilings[c]);
            }
}

// The same promise with half-sample detection, the leveller, the transient
// shaping and the requantizer with noise shaping on (the reconstruction
// preset), through the double callback too, and with the strongest
// transient shaping of the factory set.
TEST(TruePeakGuard, HoldsWithTheOtherStagesOfThePathInBothCallbacks)
{
    for (int r = 0; r < 4; ++r)
        for (Material m : {kClippedDrums, kSineNearNyquist, kNoise})
        {
            Settings s;
            s.rate = kRates[r];
            s.drive = m == kNoise ? 0.75f : 0.5f;
            const bool cdMaster = (r + int(m)) % 2 == 0;
            if (printTable() || cdMaster)
            {
                s.program = kProgramCdMaster3;
                s.doublePrecision = true;
                checkGuard(s, m, -1.0);
            }
            if (printTable() || !cdMaster)
            {
                s.program = kProgramTotalDisorder;
                s.doublePrecision = false;
                checkGuard(s, m, -0.1);
            }
        }
}

// Under AutoOut with the drive below 0 dB the output gain passes full scale;
// the guard then holds full scale itself instead of leaving it to the clip,
// whose cut corners would peak between the samples.
TEST(TruePeakGuard, HoldsFullScaleWhenTheOutputGainPassesIt)
{
    Settings s;
    const Stereo in = makeMaterial(kClippedDrums, 48000);
    TestHost host;
    host.setSampleRate(48000);
    host.dispatch(effMainsChanged, 0, 1);
    host.setParameter(kGuard, 1.0f);
    host.setParameter(15, 1.0f);     // AutoOut
    host.setParameter(kDrive, 0.4f); // -9.6 dB: the output gain becomes +9.6 dB
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);
    std::vector<double> l = in.left, r = in.right, ol, or_;
    for (double& v : l)
        v *= 3.0;
    for (double& v : r)
        v *= 3.0;
    ol.resize(l.size());
    or_.resize(r.size());
    host.processDouble(l, r, ol, or_);
    const Measurement m = measure({ol, or_}, 48000, 1.0);
    EXPECT_LE(dB(m.bs1770), 0.01);
    EXPECT_LE(dB(m.sinc), 0.05);
    EXPECT_LT(m.samplePeak, 1.0); // the clip never had to act
}

// A dense mix whose highs are aliased (naive sawtooths, noise bursts on the
// beat), mastered loud: the low-pass takes much of its top away, so the
// meter's reading must be taken of what the output carries. Read on the
// signal before the low-pass it came out 0.06 to 0.10 dB over the ceiling.
TEST(TruePeakGuard, HoldsTheMeterOnADenseMixWithAliasedHighs)
{
    for (double rate : {44100.0, 48000.0})
    {
        const int frames = int(rate * 3);
        Stereo mix;
        mix.left.resize(frames);
        mix.right.resize(frames);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> noise(-1.0, 1.0);
        for (int i = 0; i < frames; ++i)
        {
            const double t = i / rate, beat = std::exp(-std::fmod(t, 0.25) * 18.0);
            const double sawL = 2.0 * std::fmod(t * 220.0, 1.0) - 1.0, sawR = 2.0 * std::fmod(t * 330.0, 1.0) - 1.0;
            const double bass = 0.3 * std::sin(2 * kPi * 55.0 * t);
            mix.left[i] =
                std::clamp(0.9 * (0.5 * beat * noise(rng) + 0.25 * sawL * (0.5 + 0.5 * beat) + bass), -0.9, 0.9);
            mix.right[i] =
                std::clamp(0.9 * (0.5 * beat * noise(rng) + 0.25 * sawR * (0.5 + 0.5 * beat) + bass), -0.9, 0.9);
        }
        Settings s;
        s.rate = rate;
        s.program = kProgramLoudItUp;
        s.drive = float(kFactoryPresets[kProgramLoudItUp].values[kDrive]);
        s.output = float(kFactoryPresets[kProgramLoudItUp].values[kOutput]);
        const double ceiling = ceilingOf(s.output);
        const Measurement m = measure(process(s, mix), rate, ceiling);
        EXPECT_LE(dB(m.bs1770), dB(ceiling) + 0.01) << rate;
        EXPECT_LE(dB(m.sinc), dB(ceiling) + 0.05) << rate;
    }
}

// The guard takes its look-ahead and its low-pass from inside the alignment
// delay: the reported latency and the delay of the signal stay L + 31, and a
// pulse far under the ceiling and inside the low-pass's pass band comes
// through unchanged.
TEST(TruePeakGuard, LeavesTheLatencyAsItWas)
{
    for (double rate : kRates)
    {
        TestHost host;
        host.setSampleRate(float(rate));
        host.dispatch(effMainsChanged, 0, 1);
        host.setParameter(kGuard, 1.0f);
        const int latency = host.effect->initialDelay;
        const int expected = (128 << (rate < 80000 ? 0 : rate < 170000 ? 1 : 2)) + 31;
        EXPECT_EQ(latency, expected);
        std::vector<double> in(4096, 0.0), out(4096), outR(4096);
        for (int i = -32; i <= 32; ++i) // a Hann pulse 64 samples wide, peak 0.25 at sample 1000
            in[1000 + i] = 0.125 * (1.0 + std::cos(kPi * i / 32.0));
        std::vector<double> inR = in;
        host.processDouble(in, inR, out, outR);
        const int peakAt = int(
            std::max_element(out.begin(), out.end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); }) -
            out.begin());
        EXPECT_EQ(peakAt, 1000 + expected) << rate;
        for (int i = 0; i + expected < 4096; ++i)
            ASSERT_NEAR(out[i + expected], in[i], 1e-4) << rate << " at " << i;
    }
}

// Checksums of the output, taken from the build before the guard existed:
// with the guard off every program and path computes the same bits. The
// 192 kHz one was taken again when the transient smoother began to sum its
// 64-tap window directly instead of by transforms and the gain computer to
// divide once, which moved the 64-bit output by rounding (at most 2e-15
// against the build before).
TEST(TruePeakGuard, OffLeavesTheOutputBitForBitAsBefore)
{
    struct Case
    {
        int program;
        double rate;
        bool doublePrecision;
        uint64_t checksum;
    };
    const Case cases[] = {
        {kProgramCurrent, 44100, false, 0x7cdbc25e542f087eull},
        {kProgramCdMaster3, 44100, false, 0x456cb481bd02b0dfull},
        {kProgramCdMaster3, 96000, true, 0x6a58acfcb87c8e50ull},
        {kProgramTotalDisorder, 192000, true, 0x322275f9dd56935dull},
        {19 /* Cine 2 [recon] */, 48000, false, 0xb7d60d48d2092692ull},
    };
    for (const Case& c : cases)
    {
        Settings s;
        s.program = c.program;
        s.rate = c.rate;
        s.doublePrecision = c.doublePrecision;
        s.guard = false;
        s.output = float(kFactoryPresets[c.program].values[kOutput]);
        s.drive = float(kFactoryPresets[c.program].values[kDrive]) + 0.1f;
        Stereo in = makeMaterial(kClippedDrums, c.rate);
        const Stereo noise = makeMaterial(kNoise, c.rate);
        for (size_t i = 0; i < in.left.size(); ++i)
        {
            in.left[i] = 0.5 * in.left[i] + noise.left[i];
            in.right[i] = 0.5 * in.right[i] + noise.right[i];
        }
        const Stereo out = process(s, in);
        uint64_t hash = 1469598103934665603ull; // FNV-1a over the sample bits
        for (const std::vector<double>* channel : {&out.left, &out.right})
            for (double v : *channel)
            {
                uint64_t bits;
                std::memcpy(&bits, &v, sizeof bits);
                for (int b = 0; b < 8; ++b)
                {
                    hash ^= (bits >> (8 * b)) & 0xff;
                    hash *= 1099511628211ull;
                }
            }
        if (std::getenv("ZELVO_GUARD_CHECKSUMS"))
            std::printf("program %d rate %.0f double %d: 0x%016llxull\n", c.program, c.rate, int(c.doublePrecision),
                        (unsigned long long)hash);
        EXPECT_EQ(hash, c.checksum) << "program " << c.program << " at " << c.rate;
    }
}

// The interpolator's design: on every quarter point, the value of a cosine
// and of a sine up to 18 kHz at 44.1 kHz (the low-pass's pass band) as the
// ideal reconstruction gives it, within 0.2 %: flat pass band, and no image
// of it leaking in.
TEST(TruePeakGuard, InterpolatorIsExactInThePassBandOnEveryQuarterPoint)
{
    TruePeakGuard guard;
    const int kLength = 64;
    AlignedBuffer<double> ring(2 * kLength); // pairs, the newest last
    const int start = kLength - 1 - TruePeakGuard::kIntervalStart;
    for (double f : {0.0, 1000.0, 10000.0, 15000.0, 17000.0, 18000.0})
        for (int quarter = 1; quarter <= 3; ++quarter)
        {
            const double w = 2 * kPi * f / 44100;
            for (int i = 0; i < kLength; ++i)
            {
                const double phase = w * (i - start - quarter / 4.0);
                ring[2 * i] = std::cos(phase);
                ring[2 * i + 1] = std::sin(phase);
            }
            const Pair v = guard.interpolateAt(ring.get() + 2 * (kLength - 1), TruePeakGuard::kIntervalStart, quarter);
            EXPECT_NEAR(v.left(), 1.0, 0.002) << f << " Hz, quarter " << quarter;
            EXPECT_NEAR(v.right(), 0.0, 0.002) << f << " Hz, quarter " << quarter;
        }
}

// The guard works out runs of samples ahead, several per operation, and
// carries its last values from one run to the next: runs of any length, on
// every instruction set, give the bits of one sample at a time.
TEST(TruePeakGuard, RunsOfAnyLengthOnEveryPathGiveTheBitsOfSingleSamples)
{
    constexpr int kHistory = 63, kFrames = 3000;
    std::vector<double> input(2 * (kHistory + kFrames), 0.0);
    std::mt19937 rng(11);
    std::normal_distribution<double> gauss(0.0, 0.6);
    for (size_t i = 2 * kHistory; i < input.size(); ++i)
        input[i] = gauss(rng) + (i % 700 < 40 ? 2.0 : 0.0); // noise with bursts
    const int lengths[] = {256, 77, 1, 5, 13, 100, 3, 8, 255};
    for (int rate : {44100, 96000, 192000})
    {
        TruePeakGuard single;
        single.setMeterRate(rate);
        std::vector<double> peaks(2 * kFrames), aligned(2 * kFrames);
        for (int i = 0; i < kFrames; ++i)
        {
            Pair low;
            single.detect(&input[2 * (kHistory + i)], low).store(&peaks[2 * i]);
            low.store(&aligned[2 * i]);
        }
        std::vector<SimdLevel> levels = {SimdLevel::Sse2};
        if (supportedSimdLevel() >= SimdLevel::Avx2)
            levels.push_back(SimdLevel::Avx2);
        if (supportedSimdLevel() >= SimdLevel::Avx512)
            levels.push_back(SimdLevel::Avx512);
        for (SimdLevel level : levels)
        {
            TruePeakGuard runs;
            runs.setMeterRate(rate);
            std::vector<double> runPeaks(2 * kFrames), runAligned(2 * kFrames);
            for (int i = 0, k = 0; i < kFrames; ++k)
            {
                const int count = std::min(lengths[k % 9], kFrames - i);
                const double* newest = &input[2 * (kHistory + i)];
                if (level == SimdLevel::Avx512)
                    runs.detectRun<SimdLevel::Avx512>(newest, count, &runPeaks[2 * i], &runAligned[2 * i]);
                else if (level == SimdLevel::Avx2)
                    runs.detectRun<SimdLevel::Avx2>(newest, count, &runPeaks[2 * i], &runAligned[2 * i]);
                else
                    runs.detectRun(newest, count, &runPeaks[2 * i], &runAligned[2 * i]);
                i += count;
            }
            EXPECT_EQ(std::memcmp(peaks.data(), runPeaks.data(), sizeof(double) * peaks.size()), 0)
                << simdLevelName(level) << " at " << rate << " Hz";
            EXPECT_EQ(std::memcmp(aligned.data(), runAligned.data(), sizeof(double) * aligned.size()), 0)
                << simdLevelName(level) << " at " << rate << " Hz";
        }
    }
}
