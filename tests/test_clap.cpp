// The CLAP build (build/QDXZelvo.clap) through its clap_entry, as a host
// drives it: what it declares, its parameters and their texts, renders bit
// for bit equal to the VST 2.4 build (programs, rates, block lengths,
// parameter events at frame offsets), latency, state, and a host's odd calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "clap/EditQueue.h"
#include "effect/ParameterTable.h"
#include "tests/support/ClapTestHost.h"
#include "tests/support/FormatComparison.h"

using namespace formattest;

namespace
{

// The plain value CLAP carries for an effect value: a step, or the value itself.
double plainOf(int index, float value)
{
    const int n = kParameterTable[index].steps;
    return n > 0 ? (double)stepIndex(value, n) : (double)value;
}

std::vector<claptest::Event> programEvents(const std::vector<float>& values)
{
    std::vector<claptest::Event> events;
    for (int i = 0; i <= kTruePeakGuard; ++i)
        events.push_back({0, (clap_id)i, plainOf(i, values[i])});
    return events;
}

std::vector<claptest::Event> clapEvents(const std::vector<Change>& changes)
{
    std::vector<claptest::Event> events;
    for (const Change& c : changes)
        events.push_back({(uint32_t)c.frame, (clap_id)c.index, plainOf(c.index, c.value)});
    return events;
}

} // namespace

TEST(ClapBuild, DeclaresOneStereoLimiter)
{
    const auto& library = claptest::Library::instance();
    ASSERT_NE(library.entry, nullptr);
    ASSERT_NE(library.factory, nullptr);
    EXPECT_GE(library.entry->clap_version.major, 1u);
    EXPECT_EQ(library.entry->get_factory("clap.preset-discovery-factory/2"), nullptr);
    ASSERT_EQ(library.factory->get_plugin_count(library.factory), 1u);
    const clap_plugin_descriptor_t* d = library.factory->get_plugin_descriptor(library.factory, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(library.factory->get_plugin_descriptor(library.factory, 1), nullptr);
    EXPECT_STREQ(d->name, "QDX Zelvo");
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f; ++f)
        features.push_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "limiter", "mastering", "stereo"}));
    EXPECT_EQ(library.factory->create_plugin(library.factory, nullptr, d->id), nullptr);

    claptest::Instance clap;
    ASSERT_NE(clap.plugin, nullptr);
    EXPECT_EQ(clap.plugin->get_extension(clap.plugin, "clap.note-ports"), nullptr);
    EXPECT_EQ(clap.plugin->get_extension(clap.plugin, nullptr), nullptr);
    ASSERT_NE(clap.portsExt, nullptr);
    for (bool input : {true, false})
    {
        ASSERT_EQ(clap.portsExt->count(clap.plugin, input), 1u);
        clap_audio_port_info_t info;
        ASSERT_TRUE(clap.portsExt->get(clap.plugin, 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_TRUE(info.flags & CLAP_AUDIO_PORT_IS_MAIN);
        EXPECT_STREQ(info.port_type, "stereo");
        EXPECT_FALSE(clap.portsExt->get(clap.plugin, 1, input, &info));
    }
}

// The rows a user sets, with the reserved ones hidden; ranges, defaults and
// texts as the VST 2.4 host display gives them.
TEST(ClapBuild, ParametersComeFromTheRowsWithTheVst2Texts)
{
    claptest::Instance clap;
    ASSERT_NE(clap.paramsExt, nullptr);
    ASSERT_EQ(clap.paramsExt->count(clap.plugin), (uint32_t)kTruePeakGuard + 1);
    clap_param_info_t info;
    EXPECT_FALSE(clap.paramsExt->get_info(clap.plugin, kDummy2, &info));
    TestHost vst2;
    for (int i = 0; i <= kTruePeakGuard; ++i)
    {
        const ParameterInfo& row = kParameterTable[i];
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(clap.paramsExt->get_info(clap.plugin, i, &info));
        EXPECT_EQ(info.id, (clap_id)i);
        EXPECT_STREQ(info.name, row.name);
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, row.steps > 0);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_EQ(info.max_value, row.steps > 0 ? row.steps - 1 : 1.0);
        EXPECT_EQ(info.default_value, plainOf(i, row.defaultValue));
        EXPECT_EQ(clap.value(i), info.default_value);
        // Every step, and continuous values across the range, show as in VST 2.4.
        const int count = row.steps > 0 ? row.steps : 9;
        for (int k = 0; k < count; ++k)
        {
            const float v = row.steps > 0 ? stepValue(k, row.steps) : (float)k / 8.0f;
            vst2.setParameter(i, v);
            std::string expected = vst2.parameterDisplay(i);
            const std::string label = vst2.parameterLabel(i);
            if (!expected.empty() && !label.empty())
                expected += " " + label;
            EXPECT_EQ(clap.text(i, plainOf(i, v)), expected) << v;
        }
    }
    EXPECT_EQ(clap.text(kDummy2, 0.0), "(refused)");
    EXPECT_EQ(clap.text(kDrive, std::nan("")), "(refused)");
    EXPECT_EQ(clap.text(kDrive, 1e300), clap.text(kDrive, 1.0));
}

TEST(ClapBuild, TextsReadBackAsTheirValues)
{
    claptest::Instance clap;
    auto parse = [&](clap_id id, const char* text, double& value) {
        return clap.paramsExt->text_to_value(clap.plugin, id, text, &value);
    };
    double v = -1.0;
    // Every text the display gives reads back as a value that shows the same text.
    for (int i = 0; i <= kTruePeakGuard; ++i)
    {
        const int n = kParameterTable[i].steps;
        for (int k = 0; k < (n > 0 ? n : 17); ++k)
        {
            const double plain = n > 0 ? k : (double)k / 16.0;
            const std::string text = clap.text(i, plain);
            ASSERT_TRUE(parse(i, text.c_str(), v)) << kParameterTable[i].name << " '" << text << "'";
            EXPECT_EQ(clap.text(i, v), text) << kParameterTable[i].name;
        }
    }
    EXPECT_TRUE(parse(kBits, "  24 ", v));
    EXPECT_EQ(v, 2.0);
    EXPECT_TRUE(parse(kNoiseShape, "TYPE b", v));
    EXPECT_EQ(v, 2.0);
    EXPECT_TRUE(parse(kAttShow, "2L", v));
    EXPECT_EQ(v, 6.0);
    EXPECT_TRUE(parse(kAttShow, "none", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(parse(kOutput, "-oo", v));
    EXPECT_EQ(v, 0.0);
    EXPECT_TRUE(parse(kDrive, "0 dB", v));
    EXPECT_EQ(v, 0.5);
    EXPECT_TRUE(parse(kRelease, "1000", v));
    EXPECT_EQ(v, 1.0);
    // Nothing else is taken, and a refused text leaves the value alone.
    v = 0.25;
    for (const char* bad : {"", "loud", "3 ms", "nan", "inf", "1e999", "1LL", "x2"})
        EXPECT_FALSE(parse(kDrive, bad, v) && parse(kAttShow, bad, v)) << bad;
    EXPECT_FALSE(parse(kBits, "32", v));
    EXPECT_FALSE(parse(kDummy2, "0", v));
    EXPECT_FALSE(parse(kDrive, nullptr, v));
    EXPECT_EQ(v, 0.25);
}

class ClapRender : public ::testing::TestWithParam<double>
{};

// Programs given as the host's values before activation render as the VST
// 2.4 build in every block length, in place or not, in 32 and 64 bits.
TEST_P(ClapRender, ProgramsRenderAsTheVst2BuildBitForBit)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.4);
    for (const auto& program : comparedPrograms())
    {
        SCOPED_TRACE(program.first);
        std::vector<float> vstL, vstR;
        renderVst2(rate, program.second, left, right, vstL, vstR, 512);
        for (size_t block : {1, 7, 512, 4096})
        {
            if (block == 1 && rate > 50000)
                continue; // single frames at 44.1 kHz are enough; they take long
            SCOPED_TRACE(block);
            claptest::Instance clap;
            clap.flush(programEvents(program.second));
            ASSERT_TRUE(clap.activate(rate, (uint32_t)block));
            std::vector<float> outL, outR;
            clap.render(left, right, outL, outR, block);
            EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
            EXPECT_EQ(firstDifference(outR, vstR), vstR.size());
        }
    }
    // In place, and in double precision (the same bits, rounded to float).
    const auto program = comparedPrograms()[1];
    std::vector<float> vstL, vstR;
    renderVst2(rate, program.second, left, right, vstL, vstR, 333);
    claptest::Instance clap;
    clap.flush(programEvents(program.second));
    ASSERT_TRUE(clap.activate(rate));
    std::vector<float> l(left), r(right);
    for (size_t start = 0; start < l.size(); start += 333)
    {
        const uint32_t n = (uint32_t)std::min<size_t>(333, l.size() - start);
        float* io[2] = {&l[start], &r[start]};
        clap.processBlock(io, io, n);
    }
    EXPECT_EQ(firstDifference(l, vstL), vstL.size());
    EXPECT_EQ(firstDifference(r, vstR), vstR.size());
}

// Parameter events inside blocks take effect at their frame: the same as a
// VST 2.4 render cut at the same frames.
TEST_P(ClapRender, EventsAtFrameOffsetsMatchASplitVst2Render)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.5);
    const std::vector<float> values = programValues("CD Master 3 [recon]");
    const std::vector<Change> changes = midBlockChanges(rate);
    std::vector<float> vstL, vstR;
    renderVst2(rate, values, left, right, vstL, vstR, 4096, changes);
    for (size_t block : {512, 4096})
    {
        SCOPED_TRACE(block);
        claptest::Instance clap;
        clap.flush(programEvents(values));
        ASSERT_TRUE(clap.activate(rate, (uint32_t)block));
        std::vector<float> outL, outR;
        clap.render(left, right, outL, outR, block, clapEvents(changes));
        EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
        EXPECT_EQ(firstDifference(outR, vstR), vstR.size());
    }
    // The same changes applied at block starts instead do not give the same output:
    // the comparison sees where a change lands.
    std::vector<Change> late(changes);
    for (Change& c : late)
        c.frame = (c.frame / 4096 + 1) * 4096;
    std::vector<float> lateL, lateR;
    renderVst2(rate, values, left, right, lateL, lateR, 4096, late);
    EXPECT_LT(firstDifference(lateL, vstL), vstL.size());
}

INSTANTIATE_TEST_SUITE_P(Rates, ClapRender, ::testing::Values(44100.0, 96000.0, 192000.0));

// The latency the host reads is the delay of the signal; a change of rate
// class is announced inside activate and nowhere else.
TEST(ClapBuild, LatencyIsAnnouncedWhenTheRateClassChanges)
{
    claptest::Instance clap;
    ASSERT_NE(clap.latencyExt, nullptr);
    ASSERT_TRUE(clap.activate(44100.0));
    EXPECT_EQ(clap.latencyExt->get(clap.plugin), 159u);
    EXPECT_EQ(clap.latencyChanges, 0);
    ASSERT_TRUE(clap.activate(48000.0));
    EXPECT_EQ(clap.latencyChanges, 0);
    ASSERT_TRUE(clap.activate(96000.0));
    EXPECT_EQ(clap.latencyExt->get(clap.plugin), 287u);
    EXPECT_EQ(clap.latencyChanges, 1);
    ASSERT_TRUE(clap.activate(192000.0));
    EXPECT_EQ(clap.latencyExt->get(clap.plugin), 543u);
    EXPECT_EQ(clap.latencyChanges, 2);
    // Events and blocks while active never announce anything.
    std::vector<float> l(64, 0.0f), r(64, 0.0f);
    l[10] = r[10] = 0.5f;
    float* in[2] = {l.data(), r.data()};
    std::vector<float> oL(64), oR(64);
    float* out[2] = {oL.data(), oR.data()};
    clap.processBlock(in, out, 64, {{3, kTransShape, 2.0}});
    EXPECT_EQ(clap.latencyChanges, 2);
    ASSERT_TRUE(clap.activate(1e9)); // unusable: the 44.1 kHz settings
    EXPECT_EQ(clap.latencyExt->get(clap.plugin), 159u);
    EXPECT_EQ(clap.latencyChanges, 3);
}

// State: the 24 programs and the selection travel through any stream; a
// damaged block changes nothing.
TEST(ClapBuild, StateRestoresProgramsAndRefusesDamage)
{
    claptest::Instance first;
    first.flush({{0, kDrive, 0.8125}, {0, kBits, 2.0}, {0, kTruePeakGuard, 1.0}});
    const std::vector<unsigned char> saved = first.saveState();
    ASSERT_GT(saved.size(), 3077u);

    claptest::Instance second;
    ASSERT_TRUE(second.loadState(saved));
    EXPECT_EQ(second.rescans, 1);
    EXPECT_EQ(second.value(kDrive), (double)0.8125f);
    EXPECT_EQ(second.value(kBits), 2.0);
    EXPECT_EQ(second.value(kTruePeakGuard), 1.0);
    EXPECT_EQ(second.saveState(), saved);

    claptest::Instance third;
    third.flush({{0, kDrive, 0.25}});
    const std::vector<unsigned char> before = third.saveState();
    std::vector<std::vector<unsigned char>> damaged = {
        {}, std::vector<unsigned char>(saved.begin(), saved.end() - 1), std::vector<unsigned char>(10, 0)};
    auto flip = [&](size_t at) {
        std::vector<unsigned char> d(saved);
        d[at] ^= 0x40;
        return d;
    };
    damaged.push_back(flip(0));                // the tag
    damaged.push_back(flip(8));                // the version
    damaged.push_back(flip(12));               // the bank's magic
    damaged.push_back(flip(saved.size() - 1)); // a program number far out of range
    std::vector<unsigned char> nan(saved);
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(&nan[12 + 5 + 24 + 4], &notANumber, 4); // a value of program 0
    damaged.push_back(nan);
    for (const auto& d : damaged)
    {
        EXPECT_FALSE(third.loadState(d)) << d.size();
        EXPECT_EQ(third.saveState(), before);
        EXPECT_EQ(third.value(kDrive), 0.25);
    }
    EXPECT_EQ(third.rescans, 0);
    // Bytes after the layout are ignored.
    std::vector<unsigned char> longer(saved);
    longer.resize(saved.size() + 100, 0xEE);
    EXPECT_TRUE(third.loadState(longer));
    EXPECT_EQ(third.saveState(), saved);
}

// A program chosen through the state renders as the VST 2.4 build with the
// program's values.
TEST(ClapBuild, RestoredProgramRendersAsTheVst2Build)
{
    std::vector<float> left, right;
    loudSignal(96000.0, left, right, 0.3);
    const std::vector<float> values = programValues("Total Disorder");
    claptest::Instance source;
    source.flush(programEvents(values));
    claptest::Instance clap;
    ASSERT_TRUE(clap.loadState(source.saveState()));
    ASSERT_TRUE(clap.activate(96000.0));
    std::vector<float> outL, outR, vstL, vstR;
    clap.render(left, right, outL, outR, 512);
    renderVst2(96000.0, values, left, right, vstL, vstR, 512);
    EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
}

// Odd calls: flushes, NaN and infinite values, unknown events and ids,
// missing buffers, rates from 0 to 1e9, blocks from 0 to 65536. Nothing
// crashes, no audio is touched without buffers, and output stays finite.
TEST(ClapBuild, SurvivesAHostsOddCalls)
{
    claptest::Instance clap;
    ASSERT_NE(clap.plugin, nullptr);
    clap.plugin->reset(clap.plugin);
    clap.flush({{0, kDrive, std::nan("")},
                {0, kOutput, INFINITY},
                {0, kBits, -INFINITY},
                {0, kDummy2, 1.0},
                {0, 9999, 1.0},
                {0, kRelease, 1e300}});
    EXPECT_EQ(clap.value(kOutput), 1.0);
    EXPECT_EQ(clap.value(kBits), 0.0);
    EXPECT_EQ(clap.value(kRelease), 1.0);
    EXPECT_EQ(clap.value(kDrive), 0.5);
    double v = 0.0;
    EXPECT_FALSE(clap.paramsExt->get_value(clap.plugin, kLayoutMarker, &v));
    EXPECT_FALSE(clap.paramsExt->get_value(clap.plugin, 0, nullptr));

    for (double rate : {0.0, 1.0, 4000.0, 44100.0, 200001.0, 1e9, -5.0, std::nan("")})
    {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(clap.activate(rate, 65536));
        for (uint32_t frames : {0u, 1u, 7u, 4096u, 65536u})
        {
            std::vector<float> l(frames + 1, 0.7f), r(frames + 1, -0.7f), oL(frames + 1, 9.0f), oR(frames + 1, 9.0f);
            float* in[2] = {l.data(), r.data()};
            float* out[2] = {oL.data(), oR.data()};
            // Events past the block, at its end and unsorted are all taken.
            clap.processBlock(in, out, frames, {{frames + 10, kDrive, 0.9}, {0, kOutput, 0.9}, {frames, kLink, 0.3}});
            EXPECT_EQ(oL[frames], 9.0f);
            for (uint32_t i = 0; i < frames; ++i)
                ASSERT_TRUE(std::isfinite(oL[i]) && std::isfinite(oR[i]));
            EXPECT_EQ(clap.value(kDrive), (double)0.9f);
            // Without buffers: the events apply, no audio is touched.
            clap.processBlock(nullptr, nullptr, frames, {{0, kDrive, 0.6}});
            EXPECT_EQ(clap.value(kDrive), (double)0.6f);
            float* none[2] = {nullptr, nullptr};
            clap.processBlock(none, none, frames);
            // One channel: the effect runs on it.
            clap.processBlock(in, out, frames, {}, 1);
        }
    }
    // Stop, reset and deactivate in odd orders.
    clap.plugin->reset(clap.plugin);
    clap.plugin->stop_processing(clap.plugin);
    clap.processing = false;
    clap.plugin->deactivate(clap.plugin);
    clap.active = false;
    clap.flush({{0, kTransShape, 1.0}});
    EXPECT_EQ(clap.value(kTransShape), 1.0);
    EXPECT_TRUE(clap.plugin->process(clap.plugin, nullptr) == CLAP_PROCESS_ERROR);
}

// The editor's edits wait here between the main thread and process: in
// order, and a full ring refuses rather than overwrite what the host has not
// taken yet.
TEST(ClapEditQueue, KeepsOrderAndRefusesWhenFull)
{
    EditQueue queue;
    EditQueue::Edit edit{};
    EXPECT_FALSE(queue.pop(edit));
    int pushed = 0;
    while (queue.push({EditQueue::kValue, static_cast<uint32_t>(pushed), pushed * 0.5}))
        ++pushed;
    EXPECT_EQ(pushed, 256);
    for (int i = 0; i < 3; ++i)
    {
        ASSERT_TRUE(queue.pop(edit));
        EXPECT_EQ(edit.parameter, static_cast<uint32_t>(i));
    }
    EXPECT_TRUE(queue.push({EditQueue::kEnd, 999, 0.0})) << "room again once the host took some";
    for (int i = 3; i < 256; ++i)
    {
        ASSERT_TRUE(queue.pop(edit));
        EXPECT_EQ(edit.parameter, static_cast<uint32_t>(i));
        EXPECT_EQ(edit.value, i * 0.5);
    }
    ASSERT_TRUE(queue.pop(edit));
    EXPECT_EQ(edit.kind, EditQueue::kEnd);
    EXPECT_FALSE(queue.pop(edit));
}
