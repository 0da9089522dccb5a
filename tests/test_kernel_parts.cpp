// The kernel's building blocks against their definitions: the sliding
// maximum, the half-sample interpolator and the floating-point mode guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <random>

#include "dsp/FloatingPointMode.h"
#include "dsp/MaxTree.h"
#include "dsp/SlidingMaximum.h"
#include "dsp/TruePeakInterpolator.h"

// The tree and the run-based sliding maximum answer the same questions.
template <typename T>
class SlidingWindow : public ::testing::Test
{};
typedef ::testing::Types<MaxTree, SlidingMaximum> SlidingWindowTypes;
TYPED_TEST_SUITE(SlidingWindow, SlidingWindowTypes);

TYPED_TEST(SlidingWindow, IsTheMaximumOfTheLastNValuesForAnyN)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int n : {1, 2, 3, 5, 8, 13, 64, 100, 128, 255, 512})
    {
        TypeParam tree;
        tree.setLength(n);
        tree.clear();
        tree.resetPosition();
        std::deque<double> left(n, 0.0), right(n, 0.0); // an empty window reads 0
        for (int t = 0; t < 5 * n + 50; ++t)
        {
            // Runs of falling values make the old maximum leave the window.
            double l = (t % 17 < 9) ? u(rng) : 1.0 - (t % 17) / 17.0;
            double r = u(rng) * u(rng);
            left.pop_front();
            left.push_back(l);
            right.pop_front();
            right.push_back(r);
            Pair m = tree.push(Pair(l, r));
            ASSERT_EQ(m.left(), *std::max_element(left.begin(), left.end())) << "n=" << n << " t=" << t;
            ASSERT_EQ(m.right(), *std::max_element(right.begin(), right.end())) << "n=" << n << " t=" << t;
        }
    }
}

TYPED_TEST(SlidingWindow, AClearEmptiesTheWindowAndAShorterLengthWrapsThePosition)
{
    TypeParam tree;
    tree.setLength(512);
    for (int t = 0; t < 300; ++t)
        tree.push(Pair(5.0, 6.0));
    tree.clear();
    tree.setLength(128); // the position (300) now lies beyond the window
    EXPECT_EQ(tree.push(Pair(0.5, 0.25)).left(), 0.5);
    // From here on it is an ordinary window of 128.
    for (int t = 0; t < 128; ++t)
        tree.push(Pair(0.1, 0.1));
    EXPECT_EQ(tree.push(Pair(0.0, 0.0)).left(), 0.1);
}

TEST(TruePeakInterpolator, IsTheSymmetricSumAtTheHalfSamplePoint)
{
    std::mt19937 rng(12);
    std::normal_distribution<double> g(0.0, 1.0);
    TruePeakInterpolator interpolator;
    std::deque<double> history(64, 0.0);
    for (int t = 0; t < 300; ++t)
    {
        double v = g(rng);
        interpolator.push(Pair(v, -v));
        history.pop_front();
        history.push_back(v);
        double expected = 0.0; // oldest is history[0], newest history[63]
        for (int k = 0; k < 32; ++k)
            expected += interpolator.coefficient(k) * (history[k] + history[63 - k]);
        Pair got = interpolator.interpolate();
        ASSERT_NEAR(got.left(), expected, 1e-14) << t;
        ASSERT_NEAR(got.right(), -expected, 1e-14) << t;
        ASSERT_EQ(interpolator.behind(31).left(), history[63 - 31]);
        // The wide paths keep the order of every sum: the same bits.
        for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512})
        {
            if (int(level) > int(supportedSimdLevel()))
                continue;
            const Pair wide = level == SimdLevel::Avx2 ? interpolator.interpolate<SimdLevel::Avx2>()
                                                       : interpolator.interpolate<SimdLevel::Avx512>();
            ASSERT_EQ(wide.left(), got.left()) << simdLevelName(level) << " " << t;
            ASSERT_EQ(wide.right(), got.right()) << simdLevelName(level) << " " << t;
        }
    }
    // Twice the stored design: the 0 Hz gain sits just below 1.
    double dc = 0.0;
    for (int k = 0; k < 32; ++k)
        dc += 2.0 * interpolator.coefficient(k);
    EXPECT_LT(dc, 1.0);
    EXPECT_GT(dc, 0.99);
    EXPECT_EQ(interpolator.coefficient(31), 2.0 * 0.3178658799033);
}

#if defined(__SSE2__) || defined(_M_X64)
TEST(FloatingPointMode, FlushesDenormalsInsideAndRestoresTheCallersMode)
{
    const unsigned before = _mm_getcsr();
    volatile double tiny = 1e-300;
    {
        FloatingPointMode mode;
        EXPECT_EQ(_mm_getcsr() & 0x8040u, 0x8040u);
        volatile double product = tiny * 1e-20; // would be denormal
        EXPECT_EQ(product, 0.0);
    }
    EXPECT_EQ(_mm_getcsr(), before);
    volatile double product = tiny * 1e-20;
    EXPECT_NE(product, 0.0) << "outside the block denormals are back";
}
#endif
