// Sample-rate classes, latency, suspend, the audio callbacks and the
// processing mutex, seen from a host.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include "tests/support/TestHost.h"

namespace
{
// Power off: the output is the input delayed by the latency, which lets
// these tests see the delay line without depending on the limiter.
void powerOff(TestHost& host)
{
    host.setParameter(8, 0.0f);
    host.dispatch(effMainsChanged, 0, 0);
}

int impulseDelay(TestHost& host, int frames)
{
    std::vector<float> left(frames, 0.0f), right(frames, 0.0f), outL(frames, 9.0f), outR(frames, 9.0f);
    left[0] = 0.5f;
    right[0] = -0.25f;
    host.process(left, right, outL, outR);
    int found = -1;
    for (int i = 0; i < frames; ++i)
        if (outL[i] != 0.0f)
        {
            EXPECT_EQ(found, -1) << "a second non-zero sample at " << i;
            found = i;
            EXPECT_EQ(outL[i], 0.5f);
            EXPECT_EQ(outR[i], -0.25f);
        }
    return found;
}
} // namespace

struct RateCase
{
    float rate;
    int latency;
};

TEST(SampleRate, LatencyFollowsTheRateClass)
{
    const RateCase cases[] = {
        {44100.0f, 159},  {48000.0f, 159},  {79999.0f, 159},  {80000.0f, 287},  {88200.0f, 287},
        {96000.0f, 287},  {169999.0f, 287}, {170000.0f, 543}, {176400.0f, 543}, {192000.0f, 543},
        {200000.0f, 543}, {5000.0f, 159},   {200001.0f, 159}, {4999.0f, 159},   {4000.0f, 159},
        {250000.0f, 159}, {0.0f, 159},      {-48000.0f, 159}, {1e7f, 159},      {96000.5f, 287},
    };
    TestHost host;
    for (const RateCase& c : cases)
    {
        host.setSampleRate(c.rate);
        EXPECT_EQ(host.effect->initialDelay, c.latency) << "at " << c.rate << " Hz";
    }
}

TEST(SampleRate, NonFiniteRatesRunAt44100)
{
    TestHost host;
    host.setSampleRate(192000.0f);
    ASSERT_EQ(host.effect->initialDelay, 543);
    host.setSampleRate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(host.effect->initialDelay, 159);
    host.setSampleRate(96000.0f);
    host.setSampleRate(std::numeric_limits<float>::infinity());
    EXPECT_EQ(host.effect->initialDelay, 159);
    host.setSampleRate(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(host.effect->initialDelay, 159);
}

TEST(SampleRate, LatencyIsTheMeasuredDelayAtEveryClass)
{
    TestHost host;
    for (float rate : {44100.0f, 96000.0f, 192000.0f, 48000.0f})
    {
        host.setSampleRate(rate);
        powerOff(host);
        EXPECT_EQ(impulseDelay(host, 1024), host.effect->initialDelay) << "at " << rate << " Hz";
    }
}

TEST(SampleRate, EveryCallClearsTheDelayLines)
{
    TestHost host;
    powerOff(host);
    std::vector<float> in(100, 0.3f), zero(100, 0.0f), outL(100), outR(100);
    host.process(in, in, outL, outR); // 100 samples in flight
    host.setSampleRate(44100.0f);     // same rate: still cleared
    std::vector<float> longZero(400, 0.0f), longL(400, 1.0f), longR(400, 1.0f);
    host.process(longZero, longZero, longL, longR);
    for (int i = 0; i < 400; ++i)
        ASSERT_EQ(longL[i], 0.0f) << i;
}

TEST(Suspend, MainsOffResetsMainsOnDoesNot)
{
    TestHost host;
    powerOff(host);
    std::vector<float> in(100, 0.3f), outL(100), outR(100);
    host.process(in, in, outL, outR);
    host.dispatch(effMainsChanged, 0, 1); // resume: keeps the audio in flight
    std::vector<float> zero(200, 0.0f), l(200), r(200);
    host.process(zero, zero, l, r);
    EXPECT_EQ(l[59], 0.3f);
    host.process(in, in, outL, outR);
    host.dispatch(effMainsChanged, 0, 0); // suspend: clears it
    host.process(zero, zero, l, r);
    for (float v : l)
        ASSERT_EQ(v, 0.0f);
}

TEST(AudioCallbacks, ZeroAndNegativeFrameBlocksDoNothing)
{
    TestHost host;
    powerOff(host);
    float in[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    float out[4] = {7, 7, 7, 7};
    float* inputs[2] = {in, in};
    float* outputs[2] = {out, out};
    host.effect->processReplacing(host.effect, inputs, outputs, 0);
    host.effect->processReplacing(host.effect, inputs, outputs, -5);
    double din[4] = {0.5, 0.5, 0.5, 0.5};
    double dout[4] = {7, 7, 7, 7};
    double* dinputs[2] = {din, din};
    double* doutputs[2] = {dout, dout};
    host.effect->processDoubleReplacing(host.effect, dinputs, doutputs, 0);
    EXPECT_EQ(out[0], 7.0f);
    EXPECT_EQ(dout[0], 7.0);
    // Nothing entered the delay line either.
    EXPECT_EQ(impulseDelay(host, 400), 159);
}

TEST(AudioCallbacks, NullBuffersAreSurvived)
{
    TestHost host;
    float buffer[64] = {0};
    float* inputs[2] = {buffer, nullptr};
    float* outputs[2] = {buffer, nullptr};
    float* nullInputs[2] = {nullptr, nullptr};
    host.effect->processReplacing(host.effect, nullptr, outputs, 64);
    host.effect->processReplacing(host.effect, inputs, nullptr, 64);
    host.effect->processReplacing(host.effect, nullInputs, outputs, 64);
    host.effect->processReplacing(host.effect, inputs, outputs, 64); // right pointers null: mono fallback
    double dbuffer[64] = {0};
    double* dinputs[2] = {dbuffer, nullptr};
    host.effect->processDoubleReplacing(host.effect, dinputs, nullptr, 64);
    host.effect->processDoubleReplacing(host.effect, dinputs, dinputs, 64);
    SUCCEED();
}

TEST(AudioCallbacks, MonoPinsUseTheLeftChannel)
{
    TestHost host;
    powerOff(host);
    host.rightInputConnected = false;
    host.rightOutputConnected = false;
    const int frames = 300;
    std::vector<float> left(frames, 0.0f), right(frames, 0.0f), out(frames, 5.0f), untouched(frames, 5.0f);
    left[0] = 0.5f;
    right[0] = -0.9f; // not read: the right input is not connected
    host.process(left, right, out, untouched);
    for (float v : untouched)
        ASSERT_EQ(v, 5.0f) << "an unconnected output is not written";
    EXPECT_EQ(out[159], 0.5f);
    EXPECT_GE(host.countCalls(audioMasterPinConnected), 2u);
}

TEST(AudioCallbacks, FloatAndDoubleShareOneDelayLine)
{
    TestHost host;
    powerOff(host);
    std::vector<float> in(100, 0.25f), outL(100), outR(100);
    host.process(in, in, outL, outR);
    std::vector<double> zero(200, 0.0), l(200), r(200);
    host.processDouble(zero, zero, l, r);
    EXPECT_EQ(l[58], 0.0);
    EXPECT_EQ(l[59], 0.25);
    EXPECT_EQ(l[158], 0.25);
    EXPECT_EQ(l[159], 0.0);
}

namespace
{
// An audio callback held inside the effect: the host answers the kernel's
// pin query only when released, so the callback keeps the processing mutex.
class StalledAudioCallback
{
public:
    explicit StalledAudioCallback(TestHost& host) : host(host)
    {
        host.onCall = [this](const HostCall& call, VstIntPtr& answer) {
            if (call.opcode != audioMasterPinConnected)
                return false;
            inCallback = true;
            while (!released)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            answer = 0;
            return true;
        };
        audio = std::thread([this] {
            std::vector<float> in(64, 0.0f), l(64), r(64);
            this->host.process(in, in, l, r);
        });
        while (!inCallback)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~StalledAudioCallback() { release(); }

    void release()
    {
        released = true;
        if (audio.joinable())
            audio.join();
        host.onCall = nullptr;
    }

private:
    TestHost& host;
    std::atomic<bool> inCallback{false};
    std::atomic<bool> released{false};
    std::thread audio;
};
} // namespace

TEST(ProcessingMutex, AudioCallbackAndSampleRateChangeExcludeEachOther)
{
    TestHost host;
    StalledAudioCallback stalled(host);
    std::atomic<bool> rateChanged{false};
    std::thread ui([&] {
        host.setSampleRate(96000.0f);
        rateChanged = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(rateChanged) << "the rate changed while the audio callback held the mutex";
    EXPECT_EQ(host.effect->initialDelay, 159);
    stalled.release();
    ui.join();
    EXPECT_EQ(host.effect->initialDelay, 287);
}

TEST(ProcessingMutex, AStalledHolderIsGivenUpAfterOneSecond)
{
    TestHost host;
    StalledAudioCallback stalled(host);
    auto start = std::chrono::steady_clock::now();
    host.setSampleRate(192000.0f); // waits 1000 ms, then goes on without the lock
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(host.effect->initialDelay, 543);
    stalled.release();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 900);
}

TEST(ProcessingMutex, NoHostCallWaitsMoreThanOneSecondInAll)
{
    // A rate or TransShape change waits for the lock and then resets, which
    // waits again on the same thread; together they get the one second a
    // host call may wait (both waits in full took two).
    TestHost host;
    host.setParameter(4, 0.1f); // "hard"
    StalledAudioCallback stalled(host);
    const struct
    {
        const char* what;
        std::function<void()> call;
    } calls[] = {
        {"a new rate",
         [&] {
             host.setSampleRate(96000.0f);
         }},
        {"the same rate",
         [&] {
             host.setSampleRate(96000.0f);
         }},
        {"a new TransShape step",
         [&] {
             host.setParameter(4, 0.9f);
         }},
        {"switching off",
         [&] {
             host.dispatch(effMainsChanged, 0, 0);
         }},
    };
    for (const auto& c : calls)
    {
        const auto start = std::chrono::steady_clock::now();
        c.call();
        const auto waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(waited, 900) << c.what << ": the stalled callback holds the lock";
        EXPECT_LT(waited, 1400) << c.what;
    }
    stalled.release();
    EXPECT_EQ(host.effect->initialDelay, 287);
    EXPECT_EQ(host.parameterDisplay(4), "soft");
}

TEST(TransShape, OnlyAStepChangeResetsTheProcessing)
{
    TestHost host;
    powerOff(host);
    host.setParameter(4, 0.5f); // "med": a new step, so a reset
    std::vector<float> in(100, 0.3f), outL(100), outR(100);
    host.process(in, in, outL, outR);
    host.setParameter(4, 0.5f); // the same step: the audio in flight stays
    host.setParameter(4, 0.6f); // still "med"
    std::vector<float> zero(200, 0.0f), l(200), r(200);
    host.process(zero, zero, l, r);
    EXPECT_EQ(l[59], 0.3f);
    host.process(in, in, outL, outR);
    host.setParameter(4, 0.9f); // "soft": reset
    host.process(zero, zero, l, r);
    for (float v : l)
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(host.parameterDisplay(4), "soft");
}
