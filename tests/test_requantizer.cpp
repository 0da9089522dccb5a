// Word-length reduction as the host receives it: the output grid, the
// dither, the error spectrum of each noise shaper, the fade to digital
// silence, and out-of-range values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "tests/support/TestHost.h"

namespace
{
const double kPi = 3.141592653589793;

enum Param
{
    kPower = 8,
    kBits = 10,
    kNoiseShape = 11,
    kQuantize = 16,
    kAutoblack = 17
};

void run(TestHost& host, const std::vector<double>& left, const std::vector<double>& right, std::vector<double>& outL,
         std::vector<double>& outR)
{
    outL.assign(left.size(), 0.0);
    outR.assign(right.size(), 0.0);
    for (size_t start = 0; start < left.size(); start += 512)
    {
        const int frames = int(std::min<size_t>(512, left.size() - start));
        double* inputs[2] = {const_cast<double*>(left.data() + start), const_cast<double*>(right.data() + start)};
        double* outputs[2] = {outL.data() + start, outR.data() + start};
        host.effect->processDoubleReplacing(host.effect, inputs, outputs, frames);
    }
}

std::vector<double> noise(int frames, double amplitude, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    std::vector<double> out(frames);
    for (double& v : out)
        v = u(rng);
    return out;
}

// Welch estimate of the power density at one frequency: Hann-windowed
// segments of 1024 samples, averaged.
double powerAt(const std::vector<double>& x, size_t from, double frequency, double rate)
{
    const int segment = 1024;
    double sum = 0.0;
    int count = 0;
    for (size_t start = from; start + segment <= x.size(); start += segment / 2)
    {
        std::complex<double> acc = 0.0;
        for (int i = 0; i < segment; ++i)
        {
            double window = 0.5 - 0.5 * std::cos(2 * kPi * i / segment);
            acc += window * x[start + i] * std::polar(1.0, -2 * kPi * frequency * i / rate);
        }
        sum += std::norm(acc);
        ++count;
    }
    return sum / count;
}

// |1 - sum c_k e^(-i w (k+1))|^2: how the shaper colours the error.
double shapingGain(const std::vector<double>& c, double frequency, double rate)
{
    std::complex<double> h = 1.0;
    for (size_t k = 0; k < c.size(); ++k)
        h -= c[k] * std::polar(1.0, -2 * kPi * frequency * double(k + 1) / rate);
    return std::norm(h);
}
} // namespace

TEST(Requantizer, OutputLiesOnTheGridOfEachWordLength)
{
    const struct
    {
        float bits;
        double q;
    } cases[] = {{0.0f, 128.0}, {0.5f, 32768.0}, {1.0f, 8388608.0}};
    for (const auto& c : cases)
    {
        TestHost host;
        host.setParameter(kQuantize, 1.0f);
        host.setParameter(kBits, c.bits);
        host.setParameter(kNoiseShape, 0.9f);
        std::vector<double> in = noise(20000, 1.5, 1), outL, outR;
        run(host, in, in, outL, outR);
        int nonZero = 0;
        for (double v : outL)
        {
            ASSERT_EQ(v * c.q, std::floor(v * c.q)) << "q=" << c.q << " v=" << v;
            ASSERT_LE(std::fabs(v), 1.0);
            nonZero += v != 0.0;
        }
        EXPECT_GT(nonZero, 15000);
    }
}

TEST(Requantizer, SilenceAt16BitsDithersBetweenZeroAndOneStepBelow)
{
    TestHost host; // "Current": shaping off, fade off
    host.setParameter(kQuantize, 1.0f);
    std::vector<double> in(40000, 0.0), outL, outR;
    run(host, in, in, outL, outR);
    int zeros = 0, below = 0;
    for (size_t i = 0; i < outL.size(); ++i)
        for (double v : {outL[i], outR[i]})
        {
            if (v == 0.0)
                ++zeros;
            else if (v == -1.0 / 32768.0)
                ++below;
            else
                FAIL() << "unexpected value " << v << " at " << i;
        }
    EXPECT_NEAR(double(zeros) / (zeros + below), 0.5, 0.02);
    EXPECT_NE(outL, outR) << "the channels get their own dither";
}

TEST(Requantizer, EachNoiseShaperMovesTheErrorSpectrumAsItsFilterSays)
{
    // Power off, so the value before the requantizer is the delayed input
    // itself and the output minus it is the shaped error.
    const struct
    {
        float rate;
        float noiseShape;
        std::vector<double> coefficients;
    } cases[] = {
        {44100.0f, 0.125f, {}},
        {44100.0f, 0.375f, {1.14927, -0.690052, 0.222153}},
        {48000.0f,
         0.875f,
         {2.550927, -3.535094, 3.670588, -2.919664, 1.112481, 0.485228, -1.218951, 1.271762, -0.878562, 0.31554,
          -0.052365}},
    };
    const double probes[] = {300.0, 1000.0, 3000.0, 8000.0, 14000.0, 19000.0};
    const int frames = 1 << 17;
    std::vector<double> in = noise(frames, 0.5, 2);

    std::vector<double> flat;
    for (const auto& c : cases)
    {
        TestHost host;
        host.setSampleRate(c.rate);
        host.setParameter(kPower, 0.0f);
        host.setParameter(kQuantize, 1.0f);
        host.setParameter(kNoiseShape, c.noiseShape);
        std::vector<double> outL, outR;
        run(host, in, in, outL, outR);
        const int latency = 159;
        std::vector<double> error(frames, 0.0);
        for (int i = latency; i < frames; ++i)
            error[i] = (outL[i] - in[i - latency]) * 32768.0;

        std::vector<double> measured;
        for (double f : probes)
            measured.push_back(powerAt(error, latency, f, c.rate));
        if (c.coefficients.empty())
        {
            // No shaping: the dithered error is white.
            for (size_t k = 1; k < measured.size(); ++k)
                EXPECT_NEAR(10 * std::log10(measured[k] / measured[0]), 0.0, 1.5) << probes[k] << " Hz";
            flat = measured;
            continue;
        }
        for (size_t k = 0; k < measured.size(); ++k)
        {
            double expectedDb = 10 * std::log10(shapingGain(c.coefficients, probes[k], c.rate));
            double measuredDb = 10 * std::log10(measured[k] / flat[k]);
            EXPECT_NEAR(measuredDb, expectedDb, 2.0) << "noise shape " << c.noiseShape << " at " << probes[k] << " Hz";
        }
    }
}

TEST(Requantizer, AutoblackFadesSilenceToExactZeroAndASignalRestoresAtOnce)
{
    TestHost host;
    host.setParameter(kQuantize, 1.0f);
    host.setParameter(kNoiseShape, 0.9f);
    host.setParameter(kAutoblack, 1.0f);
    const int latency = 159;
    std::vector<double> in(70000, 0.0);
    for (int i = 0; i < 2000; ++i)
        in[i] = 0.5 * std::sin(2 * kPi * 440.0 * i / 44100.0);
    in[65000] = 0.25;
    std::vector<double> outL, outR;
    run(host, in, in, outL, outR);

    // Just after the signal stops the shaped dither is still there...
    int nonZero = 0;
    for (int i = 2000 + latency; i < 2100 + latency; ++i)
        nonZero += outL[i] != 0.0;
    EXPECT_GT(nonZero, 50);
    // ...it fades with 10 ms time constant, and once the gain drops below
    // what the flush keeps (about 1e-46, some 1.1 s) the output is exact zero.
    EXPECT_LT(std::fabs(outL[2000 + latency + 4410]), 1e-3);
    for (int i = 55000 + latency; i < 65000 + latency; ++i)
    {
        ASSERT_EQ(outL[i], 0.0) << i;
        ASSERT_EQ(outR[i], 0.0) << i;
    }
    // Full gain on the first loud sample (the shaped error adds a few steps).
    EXPECT_NEAR(outL[65000 + latency], 0.25, 32.0 / 32768.0);
}

TEST(Requantizer, ValuesFarBeyondFullScaleSaturateInsteadOfWrapping)
{
    // In bypass the input reaches the requantizer unlimited; at 8 bits a
    // value of 1e8 lies beyond the 32-bit range of the quantizer.
    TestHost host;
    host.setParameter(kPower, 0.0f);
    host.setParameter(kQuantize, 1.0f);
    host.setParameter(kBits, 0.0f);
    std::vector<double> left(600, 0.0), right(600, 0.0), outL, outR;
    for (int i = 0; i < 100; ++i)
    {
        left[i] = 1e8;
        right[i] = -1e12;
    }
    run(host, left, right, outL, outR);
    for (int i = 159; i < 259; ++i)
    {
        ASSERT_EQ(outL[i], 1.0) << i;
        ASSERT_EQ(outR[i], -1.0) << i;
    }
}

namespace
{
// The requantizer's output for a stereo input through either callback, in
// blocks of 512 frames.
std::vector<double> requantize(TestHost& host, const std::vector<double>& in, bool doublePrecision)
{
    std::vector<double> outL, outR;
    if (doublePrecision)
    {
        run(host, in, in, outL, outR);
        return outL;
    }
    std::vector<double> out(in.size(), 0.0);
    for (size_t start = 0; start < in.size(); start += 512)
    {
        const size_t frames = std::min<size_t>(512, in.size() - start);
        std::vector<float> l(in.begin() + start, in.begin() + start + frames), r = l, ol(frames), orr(frames);
        host.process(l, r, ol, orr);
        std::copy(ol.begin(), ol.end(), out.begin() + start);
    }
    return out;
}

struct Silence
{
    double peak = 0.0; // in quantizer steps
    double rms = 0.0;
};

Silence measure(const std::vector<double>& out, size_t from, double q)
{
    Silence s;
    double sum = 0.0;
    for (size_t i = from; i < out.size(); ++i)
    {
        s.peak = std::max(s.peak, std::fabs(out[i]) * q);
        sum += out[i] * q * out[i] * q;
    }
    s.rms = std::sqrt(sum / double(out.size() - from));
    return s;
}
} // namespace

TEST(Requantizer, ASampleBeyondTheIntegerRangeLeavesOnlyTheShapedDitherBehind)
{
    // In bypass one sample far beyond what the 32-bit conversion holds used
    // to drive the heavy shapers into a full-scale oscillation that silence
    // never ended. With the quantizer on, silence is never exactly zero
    // (without Autoblack): it is the shaped dither. So "silent" here means
    // what a run that never saw the loud sample puts out: values on the grid,
    // a peak no more than a step above its peak and its level within 5 %,
    // from the sample after the loud one on (which itself clips to full scale).
    const int latency = 159;
    const int loudAt = 1000;
    const size_t frames = loudAt + latency + 44100;
    for (float shape : {0.625f, 0.875f})      // types B and C
        for (float bits : {0.0f, 0.5f, 1.0f}) // 8, 16, 24 bits
            for (bool doublePrecision : {false, true})
                for (double sign : {1.0, -1.0})
                {
                    const double q = bits == 0.0f ? 128.0 : bits == 0.5f ? 32768.0 : 8388608.0;
                    auto configure = [&](TestHost& host) {
                        host.setParameter(kPower, 0.0f);
                        host.setParameter(kQuantize, 1.0f);
                        host.setParameter(kAutoblack, 0.0f);
                        host.setParameter(kBits, bits);
                        host.setParameter(kNoiseShape, shape);
                    };
                    TestHost reference, loud;
                    configure(reference);
                    configure(loud);
                    std::vector<double> in(frames, 0.0);
                    const std::vector<double> quiet = requantize(reference, in, doublePrecision);
                    in[loudAt] = sign * 4.0 * 2147483648.0 / q;
                    const std::vector<double> out = requantize(loud, in, doublePrecision);

                    const std::string what = "shape " + std::to_string(shape) + ", bits " + std::to_string(bits) +
                                             (doublePrecision ? ", double" : ", float") +
                                             (sign > 0 ? ", positive" : ", negative");
                    EXPECT_EQ(out[loudAt + latency], sign) << what;
                    const size_t from = loudAt + latency + 1;
                    for (size_t i = from; i < frames; ++i)
                        ASSERT_EQ(out[i] * q, std::floor(out[i] * q)) << what << " at " << i;
                    const Silence expected = measure(quiet, from, q), seen = measure(out, from, q);
                    EXPECT_LE(seen.peak, expected.peak + 1.0) << what;
                    EXPECT_NEAR(seen.rms / expected.rms, 1.0, 0.05) << what;
                }
}
