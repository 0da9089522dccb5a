// The VST3 build (build/QDXZelvo.vst3) loaded as hosts load it, through
// ModuleEntry and GetPluginFactory: the one component that is processor and
// controller, its buses, its parameters and their texts, renders bit for
// bit equal to the VST 2.4 build (programs, rates, block lengths, changes
// at sample offsets, flush calls, 64-bit processing), latency, state, and a
// host's odd calls.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "tests/support/FormatComparison.h"
#include "tests/support/Vst3TestHost.h"

using namespace formattest;
using namespace vst3;

namespace
{

// The host's normalised value for an effect value: step / (steps - 1), or the value.
ParamValue hostValue(int index, float value)
{
    const int n = kParameterTable[index].steps;
    return n > 0 ? (ParamValue)stepIndex(value, n) / (n - 1) : (ParamValue)value;
}

void addChanges(vst3test::Changes& changes, const std::vector<float>& values)
{
    for (int i = 0; i <= kTruePeakGuard; ++i)
        changes.add((ParamID)i, 0, hostValue(i, values[i]));
}

// The state of an instance that was given a program's values, as a host
// saves it with a session.
std::vector<unsigned char> programState(const std::vector<float>& values)
{
    vst3test::Instance source;
    vst3test::Changes changes;
    addChanges(changes, values);
    source.start(44100.0);
    source.flush(changes);
    return source.state();
}

// A render in blocks of block frames; changes fall into the block that
// holds their frame, at their offset within it.
void renderVst3(vst3test::Instance& vst3, const std::vector<float>& left, const std::vector<float>& right,
                std::vector<float>& outL, std::vector<float>& outR, size_t block,
                const std::vector<Change>& changes = {})
{
    outL.assign(left.size(), 0.0f);
    outR.assign(right.size(), 0.0f);
    std::vector<float> l(left), r(right);
    for (size_t start = 0; start < left.size(); start += block)
    {
        const size_t n = std::min(block, left.size() - start);
        vst3test::Changes local;
        for (const Change& c : changes)
            if (c.frame >= start && c.frame < start + n)
                local.add((ParamID)c.index, (int32_t)(c.frame - start), hostValue(c.index, c.value));
        float* in[2] = {&l[start], &r[start]};
        float* out[2] = {&outL[start], &outR[start]};
        vst3.processBlock(in, out, (int32_t)n, &local);
    }
}

} // namespace

// Identifiers as hosts lay them out in memory: on Linux all four words
// big-endian, on Windows the first word and the halves of the second
// little-endian (the COM layout).
TEST(Vst3Build, InterfaceIdentifiersHaveTheHostsBytes)
{
#if defined(_WIN32)
    const unsigned char component[16] = {0x31, 0xFF, 0x31, 0xE8, 0xD5, 0xF2, 0x01, 0x43,
                                         0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
    const unsigned char controller[16] = {0xE3, 0xBB, 0xD7, 0xDC, 0x42, 0x77, 0x8D, 0x44,
                                          0xA8, 0x74, 0xAA, 0xCC, 0x97, 0x9C, 0x75, 0x9E};
#else
    const unsigned char component[16] = {0xE8, 0x31, 0xFF, 0x31, 0xF2, 0xD5, 0x43, 0x01,
                                         0x92, 0x8E, 0xBB, 0xEE, 0x25, 0x69, 0x78, 0x02};
    const unsigned char controller[16] = {0xDC, 0xD7, 0xBB, 0xE3, 0x77, 0x42, 0x44, 0x8D,
                                          0xA8, 0x74, 0xAA, 0xCC, 0x97, 0x9C, 0x75, 0x9E};
#endif
    const unsigned char unknown[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_EQ(std::memcmp(iid::IComponent.bytes, component, 16), 0);
    EXPECT_EQ(std::memcmp(iid::IEditController.bytes, controller, 16), 0);
    EXPECT_EQ(std::memcmp(iid::FUnknown.bytes, unknown, 16), 0);
}

TEST(Vst3Build, ModuleListsOneSingleComponentEffect)
{
    auto& module = vst3test::Module::instance();
    ASSERT_TRUE(module.entered);
    ASSERT_NE(module.factory, nullptr);
    IPluginFactory* factory = module.factory;
    EXPECT_EQ(factory->countClasses(), 1);
    PClassInfo info;
    ASSERT_EQ(factory->getClassInfo(0, &info), kResultOk);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "QDX Zelvo");
    EXPECT_NE(factory->getClassInfo(1, &info), kResultOk);
    void* object = nullptr;
    ASSERT_EQ(factory->queryInterface(iid::IPluginFactory2.bytes, &object), kResultOk);
    PClassInfo2 info2;
    ASSERT_EQ(static_cast<IPluginFactory2*>(object)->getClassInfo2(0, &info2), kResultOk);
    EXPECT_STREQ(info2.subCategories, "Fx|Dynamics|Mastering");
    EXPECT_EQ(std::memcmp(info2.cid, info.cid, 16), 0);
    EXPECT_EQ(factory->queryInterface(iid::IComponent.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    TUID wrong = {};
    EXPECT_NE(factory->createInstance(wrong, iid::IComponent.bytes, &object), kResultOk);
    EXPECT_EQ(object, nullptr);

    vst3test::Instance vst3;
    ASSERT_NE(vst3.component, nullptr);
    ASSERT_NE(vst3.processor, nullptr);
    ASSERT_NE(vst3.controller, nullptr);
    // One object: every interface leads back to the same component.
    ASSERT_EQ(vst3.controller->queryInterface(iid::FUnknown.bytes, &object), kResultOk);
    EXPECT_EQ(object, static_cast<void*>(vst3.component));
    static_cast<FUnknown*>(object)->release();
    EXPECT_EQ(vst3.component->queryInterface(iid::IBStream.bytes, &object), kNoInterface);
    EXPECT_EQ(object, nullptr);
    TUID controllerId;
    EXPECT_NE(vst3.component->getControllerClassId(controllerId), kResultOk);

    // One stereo bus each way, and only stereo accepted.
    EXPECT_EQ(vst3.component->getBusCount(kAudio, vst3::kInput), 1);
    EXPECT_EQ(vst3.component->getBusCount(kAudio, vst3::kOutput), 1);
    EXPECT_EQ(vst3.component->getBusCount(kEvent, kInput), 0);
    BusInfo bus;
    ASSERT_EQ(vst3.component->getBusInfo(kAudio, vst3::kOutput, 0, bus), kResultOk);
    EXPECT_EQ(bus.channelCount, 2);
    EXPECT_EQ(bus.flags, kDefaultActive);
    EXPECT_NE(vst3.component->getBusInfo(kAudio, vst3::kOutput, 1, bus), kResultOk);
    SpeakerArrangement stereo = kStereo, mono = 0x80000, surround = 0x3F;
    EXPECT_EQ(vst3.processor->setBusArrangements(&stereo, 1, &stereo, 1), kResultTrue);
    EXPECT_EQ(vst3.processor->setBusArrangements(&mono, 1, &mono, 1), kResultFalse);
    EXPECT_EQ(vst3.processor->setBusArrangements(&stereo, 1, &surround, 1), kResultFalse);
    EXPECT_EQ(vst3.processor->setBusArrangements(nullptr, 0, nullptr, 0), kResultFalse);
    SpeakerArrangement reported = 0;
    ASSERT_EQ(vst3.processor->getBusArrangement(vst3::kInput, 0, reported), kResultOk);
    EXPECT_EQ(reported, kStereo);
    EXPECT_EQ(vst3.processor->canProcessSampleSize(kSample32), kResultTrue);
    EXPECT_EQ(vst3.processor->canProcessSampleSize(kSample64), kResultTrue);
    EXPECT_EQ(vst3.processor->canProcessSampleSize(7), kResultFalse);
    // The editor's view (opened on an X server in test_format_editors); no other kind.
    IPlugView* view = vst3.controller->createView("editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->release(), 0u);
    EXPECT_EQ(vst3.controller->createView("help"), nullptr);
}

TEST(Vst3Build, ParametersComeFromTheRowsWithTheVst2Texts)
{
    vst3test::Instance vst3;
    ASSERT_EQ(vst3.controller->getParameterCount(), kTruePeakGuard + 1);
    vst3::ParameterInfo info;
    EXPECT_NE(vst3.controller->getParameterInfo(kDummy2, info), kResultOk);
    TestHost vst2;
    for (int i = 0; i <= kTruePeakGuard; ++i)
    {
        const ::ParameterInfo& row = kParameterTable[i];
        SCOPED_TRACE(row.name);
        ASSERT_EQ(vst3.controller->getParameterInfo(i, info), kResultOk);
        EXPECT_EQ(info.id, (ParamID)i);
        EXPECT_EQ(std::u16string(info.title), std::u16string(row.name, row.name + std::strlen(row.name)));
        const char* label = row.label ? row.label : "";
        EXPECT_EQ(std::u16string(info.units), std::u16string(label, label + std::strlen(label)));
        EXPECT_EQ(info.stepCount, row.steps > 0 ? row.steps - 1 : 0);
        EXPECT_EQ(info.defaultNormalizedValue, hostValue(i, row.defaultValue));
        EXPECT_EQ(vst3.controller->getParamNormalized(i), info.defaultNormalizedValue);
        const int count = row.steps > 0 ? row.steps : 9;
        for (int k = 0; k < count; ++k)
        {
            const float v = row.steps > 0 ? stepValue(k, row.steps) : (float)k / 8.0f;
            vst2.setParameter(i, v);
            const std::string shown = vst3.text(i, hostValue(i, v));
            EXPECT_EQ(shown, vst2.parameterDisplay(i)) << v;
            // And back: the text reads as a value that shows it.
            std::u16string typed(shown.begin(), shown.end());
            ParamValue back = -1.0;
            ASSERT_EQ(vst3.controller->getParamValueByString(i, &typed[0], back), kResultOk) << shown;
            EXPECT_EQ(vst3.text(i, back), shown);
            if (row.steps > 0)
            {
                EXPECT_EQ(vst3.controller->normalizedParamToPlain(i, back), (double)k);
            }
        }
    }
    std::u16string bad = u"loud";
    ParamValue v = 0.5;
    EXPECT_NE(vst3.controller->getParamValueByString(kDrive, &bad[0], v), kResultOk);
    std::u16string wide = u"\u00e9";
    EXPECT_NE(vst3.controller->getParamValueByString(kDrive, &wide[0], v), kResultOk);
    EXPECT_EQ(v, 0.5);
    EXPECT_EQ(vst3.text(kDummy2, 0.0), "(refused)");
    EXPECT_EQ(vst3.controller->plainParamToNormalized(kBits, 2.0), 1.0);
    EXPECT_EQ(vst3.controller->plainParamToNormalized(kNoiseShape, 1.0), 1.0 / 3.0);
}

class Vst3Render : public ::testing::TestWithParam<double>
{};

// Programs from a saved state render as the VST 2.4 build with the
// program's values, in every block length and in place.
TEST_P(Vst3Render, ProgramsRenderAsTheVst2BuildBitForBit)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.4);
    for (const auto& program : comparedPrograms())
    {
        SCOPED_TRACE(program.first);
        std::vector<float> vstL, vstR;
        renderVst2(rate, program.second, left, right, vstL, vstR, 512);
        const std::vector<unsigned char> state = programState(program.second);
        for (size_t block : {1, 7, 512, 4096})
        {
            if (block == 1 && rate > 50000)
                continue;
            SCOPED_TRACE(block);
            vst3test::Instance vst3;
            ASSERT_EQ(vst3.setState(state), kResultOk);
            ASSERT_TRUE(vst3.start(rate, (int32_t)block));
            std::vector<float> outL, outR;
            renderVst3(vst3, left, right, outL, outR, block);
            EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
            EXPECT_EQ(firstDifference(outR, vstR), vstR.size());
        }
    }
    // In place: the host's input buffers are its output buffers.
    const auto program = comparedPrograms()[1];
    std::vector<float> vstL, vstR;
    renderVst2(rate, program.second, left, right, vstL, vstR, 333);
    vst3test::Instance vst3;
    ASSERT_EQ(vst3.setState(programState(program.second)), kResultOk);
    ASSERT_TRUE(vst3.start(rate, 333));
    std::vector<float> l(left), r(right);
    for (size_t start = 0; start < l.size(); start += 333)
    {
        float* io[2] = {&l[start], &r[start]};
        vst3.processBlock(io, io, (int32_t)std::min<size_t>(333, l.size() - start));
    }
    EXPECT_EQ(firstDifference(l, vstL), vstL.size());
    EXPECT_EQ(firstDifference(r, vstR), vstR.size());
}

// Changes at sample offsets within blocks take effect at their sample;
// flush calls between blocks apply their changes and touch no audio.
TEST_P(Vst3Render, ChangesAtSampleOffsetsMatchASplitVst2Render)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.5);
    const std::vector<float> values = programValues("CD Master 3 [recon]");
    const std::vector<unsigned char> state = programState(values);
    const std::vector<Change> changes = midBlockChanges(rate);
    std::vector<float> vstL, vstR;
    renderVst2(rate, values, left, right, vstL, vstR, 4096, changes);
    for (size_t block : {512, 4096})
    {
        SCOPED_TRACE(block);
        vst3test::Instance vst3;
        ASSERT_EQ(vst3.setState(state), kResultOk);
        ASSERT_TRUE(vst3.start(rate, (int32_t)block));
        std::vector<float> outL, outR;
        renderVst3(vst3, left, right, outL, outR, block, changes);
        EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
        EXPECT_EQ(firstDifference(outR, vstR), vstR.size());
    }

    // Each change as a flush call before the block it falls on.
    std::vector<Change> atStarts(changes);
    for (Change& c : atStarts)
        c.frame = c.frame / 512 * 512;
    renderVst2(rate, values, left, right, vstL, vstR, 512, atStarts);
    vst3test::Instance vst3;
    ASSERT_EQ(vst3.setState(state), kResultOk);
    ASSERT_TRUE(vst3.start(rate, 512));
    std::vector<float> outL(left.size()), outR(left.size()), l(left), r(right);
    for (size_t start = 0; start < left.size(); start += 512)
    {
        vst3test::Changes flush;
        for (const Change& c : atStarts)
            if (c.frame == start)
                flush.add((ParamID)c.index, 0, hostValue(c.index, c.value));
        const std::vector<float> before(outL.begin(), outL.end());
        ASSERT_EQ(vst3.flush(flush), kResultOk);
        EXPECT_EQ(outL, before);
        const int32_t n = (int32_t)std::min<size_t>(512, left.size() - start);
        float* in[2] = {&l[start], &r[start]};
        float* out[2] = {&outL[start], &outR[start]};
        vst3.processBlock(in, out, n);
    }
    EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
    EXPECT_EQ(firstDifference(outR, vstR), vstR.size());
}

// 64-bit processing gives the VST 2.4 build's double-precision output.
TEST_P(Vst3Render, DoublePrecisionMatchesTheVst2Build)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.2);
    const std::vector<float> values = programValues("Total Disorder");
    TestHost vst2;
    for (int i = 0; i < kNumParams; ++i)
        vst2.setParameter(i, values[i]);
    vst2.setSampleRate((float)rate);
    vst2.dispatch(effMainsChanged, 0, 0);
    vst2.dispatch(effMainsChanged, 0, 1);
    vst3test::Instance vst3;
    ASSERT_EQ(vst3.setState(programState(values)), kResultOk);
    ASSERT_TRUE(vst3.start(rate, 700, kSample64));
    for (size_t start = 0; start < left.size(); start += 700)
    {
        const size_t n = std::min<size_t>(700, left.size() - start);
        std::vector<double> l(left.begin() + start, left.begin() + start + n);
        std::vector<double> r(right.begin() + start, right.begin() + start + n);
        std::vector<double> vL(n), vR(n), oL(n), oR(n);
        vst2.processDouble(l, r, vL, vR);
        double* in[2] = {l.data(), r.data()};
        double* out[2] = {oL.data(), oR.data()};
        vst3.processBlock64(in, out, (int32_t)n);
        ASSERT_EQ(std::memcmp(oL.data(), vL.data(), n * sizeof(double)), 0) << start;
        ASSERT_EQ(std::memcmp(oR.data(), vR.data(), n * sizeof(double)), 0) << start;
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, Vst3Render, ::testing::Values(44100.0, 96000.0, 192000.0));

// The host hears of a new latency when the rate class changes, and only then.
TEST(Vst3Build, LatencyChangesAreAnnounced)
{
    vst3test::Instance vst3;
    ASSERT_TRUE(vst3.start(44100.0));
    EXPECT_EQ(vst3.processor->getLatencySamples(), 159u);
    EXPECT_TRUE(vst3.handler.restarts.empty());
    ASSERT_TRUE(vst3.start(48000.0));
    EXPECT_TRUE(vst3.handler.restarts.empty());
    ASSERT_TRUE(vst3.start(96000.0));
    EXPECT_EQ(vst3.processor->getLatencySamples(), 287u);
    EXPECT_EQ(vst3.handler.restarts, std::vector<int32_t>{kLatencyChanged});
    ASSERT_TRUE(vst3.start(192000.0));
    EXPECT_EQ(vst3.processor->getLatencySamples(), 543u);
    ASSERT_TRUE(vst3.start(0.0)); // unusable: the 44.1 kHz settings
    EXPECT_EQ(vst3.processor->getLatencySamples(), 159u);
    EXPECT_EQ(vst3.handler.restarts, (std::vector<int32_t>{kLatencyChanged, kLatencyChanged, kLatencyChanged}));
}

// State: the programs and the selection come back; damaged bytes change
// nothing; the host's edits never come back to it as edits.
TEST(Vst3Build, StateRestoresProgramsAndRefusesDamage)
{
    const std::vector<float> values = programValues("TV Hot");
    const std::vector<unsigned char> saved = programState(values);
    ASSERT_GT(saved.size(), 3077u);
    vst3test::Instance vst3;
    ASSERT_EQ(vst3.setState(saved), kResultOk);
    EXPECT_EQ(vst3.handler.edits, 0);
    EXPECT_EQ(vst3.state(), saved);
    EXPECT_EQ(vst3.controller->getParamNormalized(kDrive), (double)values[kDrive]);
    // The controller side takes the same bytes, and keeps nothing of its own.
    vst3test::Stream again(saved);
    EXPECT_EQ(vst3.controller->setComponentState(&again), kResultOk);
    vst3test::Stream own;
    EXPECT_EQ(vst3.controller->getState(&own), kResultOk);
    EXPECT_TRUE(own.bytes.empty());
    EXPECT_EQ(vst3.controller->setState(&own), kResultOk);
    EXPECT_EQ(vst3.state(), saved);

    vst3test::Instance other;
    const std::vector<unsigned char> before = other.state();
    std::vector<std::vector<unsigned char>> damaged = {{}, std::vector<unsigned char>(saved.begin(), saved.end() - 4)};
    for (size_t at : {(size_t)0, (size_t)9, (size_t)14, saved.size() - 1})
    {
        std::vector<unsigned char> d(saved);
        d[at] ^= 0x40;
        damaged.push_back(d);
    }
    for (const auto& d : damaged)
    {
        EXPECT_EQ(other.setState(d), kResultFalse);
        EXPECT_EQ(other.state(), before);
    }
    EXPECT_EQ(other.component->setState(nullptr), kResultFalse);

    // A stream that says "false" with its last bytes still carries the state.
    vst3test::Stream ending(saved, 1000);
    ending.falseAtEnd = true;
    EXPECT_EQ(other.component->setState(&ending), kResultOk);
    EXPECT_EQ(other.state(), saved);
}

// The host's side of a value: while processing, setParamNormalized shows in
// getParamNormalized but reaches the audio only through process.
TEST(Vst3Build, HostSideValuesWaitForProcess)
{
    std::vector<float> left, right;
    loudSignal(44100.0, left, right, 0.1);
    const std::vector<float> values = programValues("Current");
    std::vector<float> vstL, vstR;
    renderVst2(44100.0, values, left, right, vstL, vstR, 512);
    vst3test::Instance vst3;
    ASSERT_TRUE(vst3.start(44100.0));
    EXPECT_EQ(vst3.controller->setParamNormalized(kDrive, 1.0), kResultOk);
    EXPECT_EQ(vst3.controller->getParamNormalized(kDrive), 1.0);
    EXPECT_NE(vst3.controller->setParamNormalized(kDummy2, 1.0), kResultOk);
    std::vector<float> outL, outR;
    renderVst3(vst3, left, right, outL, outR, 512);
    EXPECT_EQ(firstDifference(outL, vstL), vstL.size());
    EXPECT_EQ(vst3.handler.edits, 0);

    // While not processing, no process call will carry a value: it applies
    // at once and is saved with the state.
    vst3test::Instance stopped;
    ASSERT_EQ(stopped.controller->setParamNormalized(kBits, 1.0), kResultOk);
    ASSERT_EQ(stopped.controller->setParamNormalized(kDrive, 0.75), kResultOk);
    vst3test::Instance reopened;
    ASSERT_EQ(reopened.setState(stopped.state()), kResultOk);
    EXPECT_EQ(reopened.controller->getParamNormalized(kBits), 1.0);
    EXPECT_EQ(reopened.controller->getParamNormalized(kDrive), 0.75);
}

// Odd calls: NaN and infinite values, unknown parameters, offsets outside
// the block and out of order, missing buffers, one channel, rates from 0
// to 1e9, blocks from 0 to 65536. Nothing crashes, nothing is written
// without buffers, output stays finite.
TEST(Vst3Build, SurvivesAHostsOddCalls)
{
    vst3test::Instance vst3;
    ASSERT_NE(vst3.processor, nullptr);
    vst3.component->initialize(nullptr);
    vst3.component->setActive(0);
    vst3.component->setActive(1);
    vst3.component->setActive(1);
    for (double rate : {0.0, 1.0, 4000.0, 44100.0, 200001.0, 1e9, -1.0, std::nan("")})
    {
        SCOPED_TRACE(rate);
        ASSERT_TRUE(vst3.start(rate, 65536));
        for (int32_t frames : {0, 1, 7, 4096, 65536})
        {
            std::vector<float> l(frames + 1, 0.7f), r(frames + 1, -0.7f), oL(frames + 1, 9.0f), oR(frames + 1, 9.0f);
            float* in[2] = {l.data(), r.data()};
            float* out[2] = {oL.data(), oR.data()};
            vst3test::Changes changes;
            changes.add(kDrive, frames + 10, 0.9);
            changes.add(::kOutput, -5, std::nan(""));
            changes.add(::kOutput, 3, INFINITY);
            changes.add(kRelease, 2, -INFINITY);
            changes.add(kBits, 1, 0.7);
            changes.add(kBits, 0, 0.2); // out of order
            changes.add(kDummy2, 0, 1.0);
            changes.add(kNoParamId, 0, 1.0);
            vst3.processBlock(in, out, frames, &changes);
            EXPECT_EQ(oL[frames], 9.0f);
            for (int32_t i = 0; i < frames; ++i)
                ASSERT_TRUE(std::isfinite(oL[i]) && std::isfinite(oR[i]));
            EXPECT_EQ(vst3.controller->getParamNormalized(kDrive), (double)0.9f);
            EXPECT_EQ(vst3.controller->getParamNormalized(::kOutput), 1.0);
            EXPECT_EQ(vst3.controller->getParamNormalized(kRelease), 0.0);
            // Without buffers, with empty ones and with null channel pointers.
            vst3test::Changes one;
            one.add(kDrive, 0, 0.25);
            EXPECT_EQ(vst3.processBlock(nullptr, nullptr, frames, &one), kResultOk);
            EXPECT_EQ(vst3.controller->getParamNormalized(kDrive), 0.25);
            float* none[2] = {nullptr, nullptr};
            vst3.processBlock(none, none, frames);
            vst3.processBlock(in, out, frames, nullptr, 0);
            vst3.processBlock(in, out, frames, nullptr, 1);
            ProcessData empty{};
            empty.numSamples = frames;
            empty.numInputs = empty.numOutputs = 1;
            EXPECT_EQ(vst3.processor->process(empty), kResultOk);
        }
    }
    vst3.processor->setProcessing(0);
    vst3.component->setActive(0);
    vst3.component->setActive(0);
    vst3.component->terminate();
}
