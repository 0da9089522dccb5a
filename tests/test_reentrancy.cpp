// Hosts that call back into the effect while it is still being created (as
// plug-in scanners do from the notifications of construction), and hosts
// that refuse it: the record must be complete and every answer right.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "tests/support/TestHost.h"

namespace
{
constexpr int kParams = 26;

std::string text(AEffect* e, VstInt32 opcode, VstInt32 index)
{
    char buffer[256];
    std::memset(buffer, 0x7f, sizeof buffer);
    buffer[0] = 0;
    e->dispatcher(e, opcode, index, 0, buffer, 0.0f);
    return buffer;
}

struct Texts
{
    std::vector<std::string> names, displays, labels;
};

Texts parameterTexts(AEffect* e)
{
    Texts t;
    for (int i = 0; i < kParams; ++i)
    {
        t.names.push_back(text(e, effGetParamName, i));
        t.displays.push_back(text(e, effGetParamDisplay, i));
        t.labels.push_back(text(e, effGetParamLabel, i));
    }
    return t;
}

// Power off and a reset: the output is the input delayed by the latency.
int measuredLatency(AEffect* e)
{
    e->setParameter(e, kPower, 0.0f);
    e->setParameter(e, kQuantize, 0.0f);
    e->setParameter(e, kCalibrate, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    const int frames = 700;
    std::vector<float> in(frames, 0.0f), outL(frames, 9.0f), outR(frames, 9.0f);
    in[0] = 0.5f;
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    e->processReplacing(e, inputs, outputs, frames);
    int found = -1;
    for (int i = 0; i < frames; ++i)
        if (outL[i] != 0.0f)
        {
            if (found >= 0 || outL[i] != 0.5f)
                return -2; // not a clean delay
            found = i;
        }
    return found;
}

bool allWithinFullScale(const std::vector<float>& samples)
{
    for (float v : samples)
        if (!(std::isfinite(v) && v >= -1.0f && v <= 1.0f))
            return false;
    return true;
}
} // namespace

TEST(Reentrancy, TheRecordIsCompleteAtTheFirstHostCall)
{
    AEffect seen;
    std::memset(&seen, 0, sizeof seen);
    TestHost host(2, [&](AEffect* e) { std::memcpy(&seen, e, sizeof seen); });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_EQ(seen.magic, kEffectMagic);
    EXPECT_EQ((void*)seen.dispatcher, (void*)host.effect->dispatcher);
    EXPECT_EQ(seen.object, host.effect->object);
    EXPECT_EQ((void*)seen.setParameter, (void*)host.effect->setParameter);
    EXPECT_EQ((void*)seen.getParameter, (void*)host.effect->getParameter);
    EXPECT_EQ((void*)seen.processReplacing, (void*)host.effect->processReplacing);
    EXPECT_EQ((void*)seen.processDoubleReplacing, (void*)host.effect->processDoubleReplacing);
    EXPECT_EQ(seen.numParams, 26);
    EXPECT_EQ(seen.numPrograms, 1);
    EXPECT_EQ(seen.numInputs, 2);
    EXPECT_EQ(seen.numOutputs, 2);
    EXPECT_EQ(seen.uniqueID, 0x51447A76);
    EXPECT_EQ(seen.initialDelay, 159);
    EXPECT_TRUE(seen.flags & effFlagsCanReplacing);
    EXPECT_TRUE(seen.flags & effFlagsCanDoubleReplacing);
}

TEST(Reentrancy, IdentityAndParameterTextsFromInsideConstruction)
{
    Texts during;
    std::string effectName, product, programName;
    VstIntPtr version = 0, category = 0, canDo = -1, automatable = 0;
    float values[kParams] = {};
    TestHost host(2, [&](AEffect* e) {
        during = parameterTexts(e);
        effectName = text(e, effGetEffectName, 0);
        product = text(e, effGetProductString, 0);
        programName = text(e, effGetProgramName, 0);
        version = e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0.0f);
        category = e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f);
        char bypass[] = "bypass";
        canDo = e->dispatcher(e, effCanDo, 0, 0, bypass, 0.0f);
        automatable = e->dispatcher(e, effCanBeAutomated, 3, 0, nullptr, 0.0f);
        for (int i = 0; i < kParams; ++i)
            values[i] = e->getParameter(e, i);
    });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_EQ(effectName, "QDX Zelvo");
    EXPECT_EQ(product, "Full band precision limiter");
    EXPECT_EQ(programName, "Current");
    EXPECT_EQ(version, 2400);
    EXPECT_EQ(category, 4);
    EXPECT_EQ(canDo, 0);
    EXPECT_EQ(automatable, 1);

    // Names and labels do not depend on the state; displays must already be
    // texts of valid values (the construction values or program 0's).
    const Texts after = parameterTexts(host.effect);
    EXPECT_EQ(during.names, after.names);
    EXPECT_EQ(during.labels, after.labels);
    for (int i = 0; i < kParams; ++i)
    {
        EXPECT_FALSE(during.names[i].empty()) << i;
        EXPECT_EQ(during.displays[i].empty(), i >= 23) << "display " << i << ": " << during.displays[i];
        EXPECT_EQ(during.displays[i].find("nan"), std::string::npos) << i;
        EXPECT_TRUE(std::isfinite(values[i])) << i;
    }
    EXPECT_EQ(values[25], 0.015f);
}

TEST(Reentrancy, ASampleRateSetDuringConstructionIsKept)
{
    VstIntPtr answer = -1;
    int delayInside = 0;
    TestHost host(2, [&](AEffect* e) {
        answer = e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
        e->dispatcher(e, effSetBlockSize, 0, 240, nullptr, 0.0f);
        delayInside = e->initialDelay;
    });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(delayInside, 287);
    EXPECT_EQ(host.effect->initialDelay, 287);
    EXPECT_EQ(measuredLatency(host.effect), 287);
}

TEST(Reentrancy, ProcessingFromInsideConstruction)
{
    // The constructing thread holds the processing mutex; the audio callbacks
    // on the same thread must not wait for it, and must run on complete state.
    std::vector<float> outL(512, 9.0f), outR(512, 9.0f);
    std::vector<double> doubleL(512, 9.0), doubleR(512, 9.0);
    TestHost host(2, [&](AEffect* e) {
        std::vector<float> in(512);
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = 2.0f * std::sin(0.1f * (float)i);
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        e->processReplacing(e, inputs, outputs, (VstInt32)in.size());
        std::vector<double> din(in.begin(), in.end());
        double* dinputs[2] = {din.data(), din.data()};
        double* doutputs[2] = {doubleL.data(), doubleR.data()};
        e->processDoubleReplacing(e, dinputs, doutputs, (VstInt32)din.size());
    });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_TRUE(allWithinFullScale(outL));
    EXPECT_TRUE(allWithinFullScale(outR));
    for (double v : doubleL)
        ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= 1.0) << v;
    EXPECT_EQ(host.effect->initialDelay, 159);
    EXPECT_EQ(measuredLatency(host.effect), 159);
}

TEST(Reentrancy, EveryOpcodeFromInsideConstructionAndTheEffectStillWorks)
{
    std::vector<VstIntPtr> answers;
    TestHost host(2, [&](AEffect* e) {
        char buffer[1024];
        for (VstInt32 opcode = 0; opcode < 80; ++opcode)
        {
            // Closing or opening an editor window has no place here.
            if (opcode == effClose || opcode == effEditOpen || opcode == effGetSpeakerArrangement)
                continue;
            std::memset(buffer, 0, sizeof buffer);
            if (opcode == effSetProgramName)
                std::strcpy(buffer, "Scanned");
            answers.push_back(e->dispatcher(e, opcode, 0, 0, buffer, 0.0f));
        }
    });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_FALSE(answers.empty());
    EXPECT_EQ(host.programName(), "Scanned"); // the host's rename sticks
    EXPECT_EQ(measuredLatency(host.effect), 159);
}

// What the host is told during construction must be what the effect holds
// afterwards, also when the host sets parameters from inside a notification
// while program 0 is being applied; and program 0 must hold the live values.
namespace
{
struct ReentrantHost
{
    std::function<void(AEffect*)> inside;
    bool entered = false;
    float lastReported[kParams];
    int beginEdits = 0;
};
ReentrantHost* reentrantHost = nullptr;

VstIntPtr VSTCALLBACK reentrantCallback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    ReentrantHost* host = reentrantHost;
    if (opcode == audioMasterVersion)
        return 2;
    if (opcode == audioMasterAutomate && index >= 0 && index < kParams)
        host->lastReported[index] = opt;
    if (opcode == audioMasterBeginEdit)
    {
        ++host->beginEdits;
        if (e && host->inside && host->beginEdits == 3) // while parameter 2 is being applied
        {
            auto inside = std::move(host->inside);
            host->inside = nullptr;
            inside(e);
        }
    }
    return 0;
}
} // namespace

TEST(Reentrancy, ParametersSetByTheHostDuringConstructionEndConsistent)
{
    useTemporarySettingsStore("reentrancy");
    ReentrantHost host;
    for (float& v : host.lastReported)
        v = -1.0f;
    host.inside = [&host](AEffect* e) {
        // What the host sets itself it knows without being told.
        const struct
        {
            int index;
            float value;
        } sets[] = {
            {kOutput, 0.3f},     // already applied from program 0
            {kRelease, 0.9f},    // still to be applied from program 0
            {kTransShape, 0.1f}, // takes the processing mutex again
        };
        for (const auto& s : sets)
        {
            e->setParameter(e, s.index, s.value);
            host.lastReported[s.index] = s.value;
        }
    };
    reentrantHost = &host;
    VstEffect* vst = new VstEffect(reentrantCallback);
    Plugin* plugin = &vst->getCore();
    reentrantHost = nullptr;
    AEffect* e = vst->getAeffect();

    const CProgram* current = plugin->getProgramRecord(0);
    for (int i = 0; i < 22; ++i)
    {
        const float live = plugin->getParameter(i);
        EXPECT_EQ(current->getParameter(i), live) << "program 0 and the live value of " << i << " differ";
        EXPECT_EQ(host.lastReported[i], live) << "the host believes another value for " << i;
    }
    EXPECT_EQ(measuredLatency(e), 159);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST(Reentrancy, AHostAnsweringVersionZeroGetsNothingAndNothingLeaks)
{
    // Run under LeakSanitizer in the sanitizer build: any allocation made
    // before the refusal would show up as a leak.
    for (int i = 0; i < 50; ++i)
    {
        TestHost host(0);
        ASSERT_EQ(host.effect, nullptr);
        ASSERT_EQ(host.calls().size(), 1u);
        EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
    }
    PluginLibrary::EntryPoint legacy = PluginLibrary::instance().legacyEntry();
    if (legacy)
    {
        auto refusing = [](AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
            return 0;
        };
        EXPECT_EQ(legacy(refusing), nullptr);
    }
}

TEST(Reentrancy, NoHostCallbackGivesAWorkingEffect)
{
    AEffect* e = PluginLibrary::instance().entry()(nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(text(e, effGetProgramName, 0), "Current");
    EXPECT_EQ(measuredLatency(e), 159);
    e->setParameter(e, kDrive, 0.9f);
    EXPECT_EQ(e->getParameter(e, kDrive), 0.9f);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}
