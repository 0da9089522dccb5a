// The transient smoother's fast convolution against the plain sum it stands
// for, at every window length the limiter uses.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/BlockConvolver.h"

namespace
{
const int kWindowLengths[] = {4, 8, 16, 32, 64, 128, 256};

struct Stereo
{
    std::vector<double> left, right;
};

Stereo runEngine(BlockConvolver& engine, const std::vector<double>& left, const std::vector<double>& right)
{
    Stereo out;
    for (size_t i = 0; i < left.size(); ++i)
    {
        Pair y = engine.process(Pair(left[i], right[i]));
        out.left.push_back(y.left());
        out.right.push_back(y.right());
    }
    return out;
}

// output(n) = sum_j h'_j input(n - (N - 1) - j)
std::vector<double> directConvolution(const double* taps, int n, const std::vector<double>& input)
{
    std::vector<double> out(input.size(), 0.0);
    for (size_t t = 0; t < input.size(); ++t)
        for (int j = 0; j < n; ++j)
        {
            long source = long(t) - (n - 1) - j;
            if (source >= 0)
                out[t] += taps[j] * input[source];
        }
    return out;
}
} // namespace

TEST(BlockConvolver, KernelIsTheNonNegativeUnitSumMainLobe)
{
    BlockConvolver engine;
    for (int n : kWindowLengths)
    {
        engine.prepareKernel(n);
        const double* h = engine.kernelTaps();
        double sum = 0.0;
        for (int i = 0; i < n; ++i)
        {
            // The end taps sit on the zeros of sin(x)/x, within rounding.
            EXPECT_GE(h[i], -1e-16) << "N=" << n << " i=" << i;
            EXPECT_NEAR(h[i], h[n - 1 - i], 1e-15) << "symmetric, N=" << n;
            sum += h[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-14);
        EXPECT_LT(std::fabs(h[0]), 1e-15) << "the ends lie on the zeros of sin(x)/x";
        // The shape relative to the centre taps, at x = -/+ pi/(N-1).
        const double pi = 3.141592653589793;
        const double centre = std::sin(pi / (n - 1)) / (pi / (n - 1));
        for (int i = 1; i < n - 1; ++i)
        {
            double x = -pi + i * 2.0 * pi / (n - 1);
            EXPECT_NEAR(h[i] / h[n / 2], std::sin(x) / x / centre, 1e-12) << "N=" << n << " i=" << i;
        }
    }
}

TEST(BlockConvolver, EqualsDirectConvolutionForEveryWindowLength)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> level(0.0, 2.0);
    BlockConvolver engine;
    for (int n : kWindowLengths)
    {
        engine.prepareKernel(n);
        engine.reset();
        std::vector<double> left(7 * n + 5), right(7 * n + 5);
        for (size_t i = 0; i < left.size(); ++i)
        {
            left[i] = level(rng);
            right[i] = level(rng) * 0.25;
        }
        Stereo out = runEngine(engine, left, right);
        std::vector<double> expectLeft = directConvolution(engine.kernelTaps(), n, left);
        std::vector<double> expectRight = directConvolution(engine.kernelTaps(), n, right);
        for (size_t t = 0; t < left.size(); ++t)
        {
            ASSERT_NEAR(out.left[t], expectLeft[t], 1e-13) << "N=" << n << " t=" << t;
            ASSERT_NEAR(out.right[t], expectRight[t], 1e-13) << "N=" << n << " t=" << t;
        }
    }
}

TEST(BlockConvolver, ImpulseInLeftOnlyGivesTheTapsAfterNMinusOneAndExactZerosOnTheRight)
{
    BlockConvolver engine;
    for (int n : kWindowLengths)
    {
        engine.prepareKernel(n);
        engine.reset();
        std::vector<double> left(4 * n, 0.0), right(4 * n, 0.0);
        left[0] = 1.0;
        Stereo out = runEngine(engine, left, right);
        for (int t = 0; t < 4 * n; ++t)
        {
            double expected = (t >= n - 1 && t < 2 * n - 1) ? engine.kernelTaps()[t - (n - 1)] : 0.0;
            EXPECT_NEAR(out.left[t], expected, 1e-15) << "N=" << n << " t=" << t;
            EXPECT_EQ(out.right[t], 0.0) << "N=" << n << " t=" << t;
        }
        for (int t = 0; t < n - 1; ++t)
            EXPECT_EQ(out.left[t], 0.0) << "nothing before the delay, N=" << n;
    }
}

TEST(BlockConvolver, ConstantInputSettlesToItselfAfter2NMinus1Samples)
{
    BlockConvolver engine;
    for (int n : kWindowLengths)
    {
        engine.prepareKernel(n);
        engine.reset();
        std::vector<double> left(5 * n, 0.75), right(5 * n, -3.0);
        Stereo out = runEngine(engine, left, right);
        for (int t = 2 * n - 2; t < 5 * n; ++t)
        {
            EXPECT_NEAR(out.left[t], 0.75, 1e-14) << "N=" << n << " t=" << t;
            EXPECT_NEAR(out.right[t], -3.0, 1e-13) << "N=" << n << " t=" << t;
        }
        // On the way up: the running sum of the taps.
        double partial = 0.0;
        for (int t = n - 1; t < 2 * n - 2; ++t)
        {
            partial += engine.kernelTaps()[t - (n - 1)];
            EXPECT_NEAR(out.left[t], 0.75 * partial, 1e-14) << "N=" << n << " t=" << t;
        }
    }
}

TEST(BlockConvolver, ResetForgetsEverythingAndClearKeepsThePhase)
{
    BlockConvolver engine;
    engine.prepareKernel(16);
    for (int t = 0; t < 37; ++t)
        engine.process(Pair(1.0, 1.0));
    engine.reset();
    for (int t = 0; t < 64; ++t)
        ASSERT_EQ(engine.process(Pair(0.0, 0.0)).left(), 0.0) << t;

    // After a buffer clear the block boundary stays where it was: an impulse
    // written 3 samples into a block still comes out N - 1 samples later.
    for (int t = 0; t < 3; ++t)
        engine.process(Pair(0.0, 0.0));
    engine.process(Pair(5.0, 5.0));
    engine.clearBuffers();
    std::vector<double> out;
    engine.process(Pair(1.0, 0.0));
    for (int t = 0; t < 40; ++t)
        out.push_back(engine.process(Pair(0.0, 0.0)).left());
    for (int t = 0; t < 14; ++t)
        EXPECT_NEAR(out[t], 0.0, 1e-15) << t;
    EXPECT_NEAR(out[14], engine.kernelTaps()[0], 1e-15);
    EXPECT_NEAR(out[14 + 8], engine.kernelTaps()[8], 1e-15);
}

// A rate change prepares a shorter window without a reset: the stream from
// the change on is convolved with the new window, as if what came before were
// silence, with no value of the old run landing at a time of its own.
TEST(BlockConvolver, AShorterWindowConvolvesTheStreamFromTheChangeOn)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> level(0.0, 2.0);
    const int changes[][2] = {{64, 8}, {32, 16}, {64, 32}, {256, 64}, {128, 16}};
    for (const auto& change : changes)
    {
        BlockConvolver engine;
        engine.prepareKernel(change[0]);
        engine.reset();
        for (int t = 0; t < change[0] + change[0] / 2 + 3; ++t)
            engine.process(Pair(level(rng), level(rng)));
        engine.prepareKernel(change[1]);
        const int n = change[1];
        std::vector<double> left(6 * n), right(6 * n);
        for (size_t i = 0; i < left.size(); ++i)
        {
            left[i] = level(rng);
            right[i] = level(rng);
        }
        const Stereo out = runEngine(engine, left, right);
        const std::vector<double> expectLeft = directConvolution(engine.kernelTaps(), n, left);
        const std::vector<double> expectRight = directConvolution(engine.kernelTaps(), n, right);
        for (size_t t = 0; t < left.size(); ++t)
        {
            ASSERT_NEAR(out.left[t], expectLeft[t], 1e-13) << change[0] << " -> " << n << " t=" << t;
            ASSERT_NEAR(out.right[t], expectRight[t], 1e-13) << change[0] << " -> " << n << " t=" << t;
        }
    }
}
