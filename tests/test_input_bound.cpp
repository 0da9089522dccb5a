// A single absurd sample from a broken source upstream must not silence a
// master: through the plug-in's entry point, the output recovers from one
// huge finite sample as fast as from one at the +60 dBFS input bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "tests/support/TestHost.h"

namespace
{
constexpr int kRate = 44100;
constexpr int kRelease = 3;
const double kPi = 3.141592653589793;

// The Release value for a time in ms (R = 10^(3 v^0.82030212) ms).
float releaseFor(double ms) { return float(std::pow(std::log10(ms) / 3.0, 1.0 / 0.82030212)); }

template <typename Sample>
std::vector<Sample> music(int frames)
{
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<Sample> out(frames);
    for (int i = 0; i < frames; ++i)
        out[i] =
            Sample(noise(rng) + 0.8 * std::sin(2 * kPi * 110.0 * i / kRate) * (1.0 + std::sin(2 * kPi * i / kRate)));
    return out;
}

template <typename Sample>
std::vector<Sample> render(const std::vector<Sample>& in)
{
    TestHost host;
    host.setSampleRate(float(kRate));
    host.setParameter(kRelease, releaseFor(200.0));
    std::vector<Sample> outL(in.size()), outR(in.size());
    for (size_t start = 0; start < in.size(); start += 512)
    {
        const int frames = int(std::min<size_t>(512, in.size() - start));
        Sample* inputs[2] = {const_cast<Sample*>(in.data() + start), const_cast<Sample*>(in.data() + start)};
        Sample* outputs[2] = {outL.data() + start, outR.data() + start};
        if constexpr (sizeof(Sample) == sizeof(float))
            host.effect->processReplacing(host.effect, inputs, outputs, frames);
        else
            host.effect->processDoubleReplacing(host.effect, inputs, outputs, frames);
    }
    return outL;
}

// The largest difference from the undisturbed render from `from` on.
template <typename Sample>
double deviationFrom(const std::vector<Sample>& a, const std::vector<Sample>& b, int from)
{
    double worst = 0.0;
    for (size_t i = from; i < a.size(); ++i)
        worst = std::max(worst, std::fabs(double(a[i]) - double(b[i])));
    return worst;
}

template <typename Sample>
void expectRecoveryFrom(double glitch)
{
    const int frames = 3 * kRate, at = kRate;
    const std::vector<Sample> clean = music<Sample>(frames);
    std::vector<Sample> dirty = clean;
    dirty[at] = Sample(glitch);
    const std::vector<Sample> undisturbed = render(clean), disturbed = render(dirty);
    // A sample at the bound raises the release followers about 90-fold;
    // at a 200 ms release they are back under the music's own level in
    // about a second (unbounded, 1e30 took 12.6 s, 3.4e38 16.5 s). From
    // 1.2 s on the output is within -40 dBFS of the undisturbed one.
    EXPECT_LT(deviationFrom(disturbed, undisturbed, at + kRate * 6 / 5), 0.01) << glitch;
    // It was disturbed at all: the glitch reached the limiter.
    EXPECT_GT(deviationFrom(disturbed, undisturbed, at), 0.1) << glitch;
}
} // namespace

TEST(InputBound, TheOutputRecoversWithinASecondFromOneHugeSample)
{
    for (double glitch : {1e30, -1e30, 1e6, 1e99})
        expectRecoveryFrom<double>(glitch);
    for (double glitch : {3.4e38, -3.4e38, 1e6})
        expectRecoveryFrom<float>(glitch);
}

TEST(InputBound, AnyFiniteSampleBeyondTheBoundActsAsOneAtTheBound)
{
    const std::vector<double> clean = music<double>(kRate);
    std::vector<double> atBound = clean, beyond = clean, negative = clean, negativeBeyond = clean;
    atBound[1000] = 1000.0;
    beyond[1000] = 1e30;
    negative[1000] = -1000.0;
    negativeBeyond[1000] = -5e7;
    EXPECT_EQ(render(atBound), render(beyond));
    EXPECT_EQ(render(negative), render(negativeBeyond));
    // Inside the bound a sample is itself.
    std::vector<double> inside = clean;
    inside[1000] = 999.0;
    EXPECT_NE(render(inside), render(atBound));
}
