// The meter snapshot read by the editor's thread while the audio thread runs
// blocks: whenever a read comes, also in the middle of a block, every
// block's peaks and deepest gain reduction show in some read, and no read
// shows more than the blocks it can have seen.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "tests/support/TestHost.h"

namespace
{
constexpr int kBlocks = 2400;
constexpr int kLongBlock = 8192;
constexpr int kShortBlock = 64;

struct Reading
{
    int completedBefore; // blocks finished before the read began
    int startedAfter;    // blocks begun when the read had ended
    float v[10];
};

Plugin& pluginOf(TestHost& host)
{
    return static_cast<VstEffect*>(static_cast<AudioEffect*>(host.effect->object))->getCore();
}

// Every eighth block is long and carries one sample of its own level
// (metered in its middle: the input meter sees the input 159 samples late);
// the seven short blocks between are silent. So most reads fall into the
// loud blocks, and the reads around a loud block cannot show its value by
// chance (from its neighbours), only if it was kept. Most levels make the
// limiter reduce.
std::vector<std::vector<double>> blocks()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> level(0.2, 4.0);
    std::vector<std::vector<double>> all;
    for (int k = 1; k <= kBlocks; ++k)
    {
        all.emplace_back(k % 8 == 0 ? kLongBlock : kShortBlock, 0.0);
        if (k % 8 == 0)
            all.back()[kLongBlock / 2] = level(random);
    }
    return all;
}

// A short release and no leveller: the reduction of one loud sample is over
// before the next one comes.
void configure(TestHost& host)
{
    host.setParameter(3, 0.0f);  // Release: 1 ms
    host.setParameter(13, 1.0f); // Leveller off
}

void processBlock(TestHost& host, const std::vector<double>& in, std::vector<double>& outL, std::vector<double>& outR)
{
    double* inputs[2] = {const_cast<double*>(in.data()), const_cast<double*>(in.data())};
    double* outputs[2] = {outL.data(), outR.data()};
    host.effect->processDoubleReplacing(host.effect, inputs, outputs, int(in.size()));
}

bool isPeak(int value) { return value < 4; }
bool isReduction(int value) { return value >= 8; }

using Snapshot = std::array<float, 10>;

// What each block alone reads: one snapshot after every block.
std::vector<Snapshot> eachBlockAlone(const std::vector<std::vector<double>>& input)
{
    std::vector<double> outL(kLongBlock), outR(kLongBlock);
    std::vector<Snapshot> alone(kBlocks + 1);
    TestHost host;
    configure(host);
    float discard[10];
    pluginOf(host).getMeterSnapshot(discard);
    for (int k = 1; k <= kBlocks; ++k)
    {
        processBlock(host, input[k - 1], outL, outR);
        pluginOf(host).getMeterSnapshot(alone[k].data());
    }
    return alone;
}

enum class Reader
{
    // Reads as fast as it is scheduled, with short random pauses.
    FreeRunning,
    // Reads once as soon as a long block has begun, so (mostly) in its
    // middle, and not again before the next long block.
    InLongBlocks
};

// The blocks processed on this thread while another reads the meters; the
// last reading is taken after the audio has stopped.
std::vector<Reading> readWhileProcessing(const std::vector<std::vector<double>>& input, Reader mode)
{
    std::vector<double> outL(kLongBlock), outR(kLongBlock);
    TestHost host;
    configure(host);
    Plugin& plugin = pluginOf(host);
    float discard[10];
    plugin.getMeterSnapshot(discard);
    std::vector<Reading> readings;
    readings.reserve(400000);
    std::atomic<int> started{0}, completed{0}, armedFor{0};
    std::atomic<bool> stop{false};
    auto read = [&] {
        Reading r;
        r.completedBefore = completed.load();
        plugin.getMeterSnapshot(r.v);
        r.startedAfter = started.load();
        readings.push_back(r);
    };
    std::thread editor([&] {
        if (mode == Reader::InLongBlocks)
        {
            // Spinning, not sleeping: the read must come while the block runs.
            for (int next = 8; next <= kBlocks && !stop.load(); next += 8)
            {
                armedFor = next;
                while (started.load() < next && !stop.load())
                {}
                if (!stop.load())
                    read();
            }
            return;
        }
        std::mt19937 random(5);
        while (!stop.load() && readings.size() < readings.capacity())
        {
            read();
            for (int spin = int(random() % 2000); spin > 0; --spin)
                std::atomic_signal_fence(std::memory_order_seq_cst);
            if (random() % 8 == 0)
                std::this_thread::yield();
        }
    });
    for (int k = 1; k <= kBlocks; ++k)
    {
        // A long block starts once the paced reader waits for it.
        while (mode == Reader::InLongBlocks && k % 8 == 0 && armedFor.load() < k)
            std::this_thread::yield();
        started.store(k);
        processBlock(host, input[k - 1], outL, outR);
        completed.store(k);
    }
    stop = true;
    editor.join();
    Reading last;
    last.completedBefore = last.startedAfter = kBlocks;
    plugin.getMeterSnapshot(last.v);
    readings.push_back(last);
    return readings;
}

// Block k merges its values after block k - 1 has completed and before
// block k is counted complete. A read whose start saw k complete came after
// that merge; a read that ended before k started came before it. So block
// k's values are in one read r with startedAfter >= k whose predecessor had
// completedBefore < k; the blocks read r can hold are those after its
// predecessor's completedBefore up to its own startedAfter.
void expectEveryBlockShownAndNothingMore(const std::vector<Reading>& readings, const std::vector<Snapshot>& alone,
                                         const char* mode)
{
    int lost = 0;
    size_t first = 0;
    for (int k = 1; k <= kBlocks; ++k)
    {
        while (readings[first].startedAfter < k)
            ++first;
        float peaks[4] = {0, 0, 0, 0}, reduction[2] = {1, 1};
        for (size_t r = first; r < readings.size(); ++r)
        {
            if (r > 0 && readings[r - 1].completedBefore >= k)
                break;
            for (int c = 0; c < 4; ++c)
                peaks[c] = std::max(peaks[c], readings[r].v[c]);
            for (int c = 0; c < 2; ++c)
                reduction[c] = std::min(reduction[c], readings[r].v[8 + c]);
        }
        bool shown = true;
        for (int c = 0; c < 4; ++c)
            shown = shown && peaks[c] >= alone[k][c];
        for (int c = 0; c < 2; ++c)
            shown = shown && reduction[c] <= alone[k][8 + c];
        if (!shown && ++lost <= 3)
        {
            ADD_FAILURE() << mode << ": block " << k << " with input peak " << alone[k][0] << " and reduction "
                          << alone[k][8] << " never read (the reads around it showed " << peaks[0] << " and "
                          << reduction[0] << ")";
        }
    }
    EXPECT_EQ(lost, 0) << mode << ": blocks lost of " << kBlocks << " in " << readings.size() << " reads";

    for (size_t r = 0; r < readings.size(); ++r)
    {
        const int from = r > 0 ? readings[r - 1].completedBefore + 1 : 1;
        for (int value = 0; value < 10; ++value)
        {
            if (!isPeak(value) && !isReduction(value))
                continue;
            float bound = isPeak(value) ? 0.0f : 1.0f;
            for (int k = from; k <= readings[r].startedAfter; ++k)
                bound = isPeak(value) ? std::max(bound, alone[k][value]) : std::min(bound, alone[k][value]);
            const bool within = isPeak(value) ? readings[r].v[value] <= bound : readings[r].v[value] >= bound;
            ASSERT_TRUE(within) << mode << ": read " << r << " shows " << readings[r].v[value] << " for value " << value
                                << " where its blocks reach " << bound;
        }
    }
}
} // namespace

TEST(MeterThreads, EveryBlocksPeaksAndReductionShowWhateverMomentTheEditorReads)
{
    const std::vector<std::vector<double>> input = blocks();
    const std::vector<Snapshot> alone = eachBlockAlone(input);

    // Reads in the middle of the loud blocks: each loud block is read while
    // it runs and not again before the next loud one.
    const std::vector<Reading> paced = readWhileProcessing(input, Reader::InLongBlocks);
    expectEveryBlockShownAndNothingMore(paced, alone, "reads in the loud blocks");

    // Reads at any moment, as often as the reader is scheduled.
    const std::vector<Reading> free = readWhileProcessing(input, Reader::FreeRunning);
    expectEveryBlockShownAndNothingMore(free, alone, "reads at any moment");
}
