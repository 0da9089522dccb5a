// What a host sees through the effect record and the dispatcher.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "tests/support/TestHost.h"

namespace
{
std::string stringAnswer(TestHost& host, VstInt32 opcode, VstIntPtr* result = nullptr)
{
    char text[256] = {0};
    VstIntPtr r = host.dispatch(opcode, 0, 0, text);
    if (result)
        *result = r;
    return text;
}
} // namespace

TEST(EffectRecord, IdentityFlagsAndLatencyAfterConstruction)
{
    TestHost host;
    AEffect* e = host.effect;
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->uniqueID, 0x51447A76);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 26);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_TRUE(e->flags & effFlagsCanDoubleReplacing);
    EXPECT_FALSE(e->flags & effFlagsProgramChunks);
    EXPECT_EQ(e->initialDelay, 159);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_NE(e->process, nullptr);
}

namespace
{
VstIntPtr VSTCALLBACK minimalHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}
} // namespace

TEST(EffectRecord, LegacyMainCreatesTheSameEffect)
{
    PluginLibrary::EntryPoint legacy = PluginLibrary::instance().legacyEntry();
    ASSERT_NE(legacy, nullptr) << "older hosts look for `main`";
    AEffect* e = legacy(minimalHost);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->uniqueID, 0x51447A76);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(EffectRecord, HostVersionZeroGivesNoEffect)
{
    TestHost host(0);
    EXPECT_EQ(host.effect, nullptr);
    auto calls = host.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
}

TEST(EffectRecord, ScannerCallingBackDuringConstructionGetsAnswers)
{
    // A scanner that answers version 2 and calls the dispatcher from inside
    // the first notification, before the entry point has returned.
    VstIntPtr blockSizeAnswer = -1;
    VstIntPtr category = -1;
    std::string name;
    std::string display;
    TestHost host(2, [&](AEffect* e) {
        ASSERT_EQ(e->magic, kEffectMagic);
        ASSERT_NE(e->object, nullptr);
        blockSizeAnswer = e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
        category = e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f);
        char text[64] = {0};
        e->dispatcher(e, effGetParamName, 1, 0, text, 0.0f);
        name = text;
        e->dispatcher(e, effGetParamDisplay, 0, 0, text, 0.0f);
        display = text;
    });
    ASSERT_NE(host.effect, nullptr);
    EXPECT_EQ(blockSizeAnswer, 0);
    EXPECT_EQ(category, 4);
    EXPECT_EQ(name, "Drive");
    EXPECT_FALSE(display.empty());
}

TEST(Dispatcher, StringsOfIdentity)
{
    TestHost host;
    VstIntPtr result = 0;
    EXPECT_EQ(stringAnswer(host, effGetEffectName, &result), "QDX Zelvo");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(stringAnswer(host, effGetProductString, &result), "Full band precision limiter");
    EXPECT_EQ(result, 1);
    std::string vendor = stringAnswer(host, effGetVendorString, &result);
    EXPECT_EQ(result, 1);
    EXPECT_NE(vendor.find('.'), std::string::npos) << "a web domain name";
    EXPECT_LE(vendor.size(), 64u);
}

struct OpcodeAnswer
{
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    VstIntPtr expected;
};

TEST(Dispatcher, FixedAnswersOfTheOpcodeTable)
{
    TestHost host;
    const OpcodeAnswer table[] = {
        {effOpen, 0, 0, 0},
        {effGetProgram, 0, 0, 0},
        {effGetVu, 0, 0, 0},
        {effSetBlockSize, 0, 777, 0},
        {effMainsChanged, 0, 1, 0},
        {effMainsChanged, 0, 0, 0},
        {effEditDraw, 0, 0, 0},
        {effIdentify, 0, 0, 0x4E764566},
        {effGetChunk, 0, 0, 0},
        {effProcessEvents, 0, 0, 0},
        {effCanBeAutomated, 0, 0, 1},
        {effCanBeAutomated, 25, 0, 1},
        {effCanBeAutomated, 99, 0, 1},
        {effString2Parameter, 0, 0, 0},
        {effGetInputProperties, 0, 0, 0},
        {effGetOutputProperties, 0, 0, 0},
        {effGetPlugCategory, 0, 0, 4},
        {effOfflineNotify, 0, 0, 0},
        {effOfflinePrepare, 0, 0, 0},
        {effOfflineRun, 0, 0, 0},
        {effProcessVarIo, 0, 0, 0},
        {effSetSpeakerArrangement, 0, 0, 0},
        {effSetBypass, 0, 1, 0},
        {effGetVendorVersion, 0, 0, 0},
        {effVendorSpecific, 0, 0, 0},
        {effGetTailSize, 0, 0, 0},
        {effIdle, 0, 0, 0},
        {effKeysRequired, 0, 0, 0},
        {effGetVstVersion, 0, 0, 2400},
        {effGetMidiProgramName, 0, 0, 0},
        {effGetCurrentMidiProgram, 0, 0, -1},
        {effGetMidiProgramCategory, 0, 0, 0},
        {effHasMidiProgramsChanged, 0, 0, 0},
        {effGetMidiKeyName, 0, 0, 0},
        {effBeginSetProgram, 0, 0, 0},
        {effEndSetProgram, 0, 0, 0},
        {effShellGetNextPlugin, 0, 0, 0},
        {effStartProcess, 0, 0, 0},
        {effStopProcess, 0, 0, 0},
        {effSetTotalSampleToProcess, 0, 123456, 123456},
        {effSetPanLaw, 0, 0, 0},
        {effBeginLoadBank, 0, 0, 0},
        {effBeginLoadProgram, 0, 0, 0},
        {effSetProcessPrecision, 0, 1, 0},
        {effGetNumMidiInputChannels, 0, 0, 0},
        {effGetNumMidiOutputChannels, 0, 0, 0},
        {80, 0, 0, 0},
        {12345, 0, 0, 0},
        {-1, 0, 0, 0},
    };
    for (const OpcodeAnswer& row : table)
        EXPECT_EQ(host.dispatch(row.opcode, row.index, row.value), row.expected) << "opcode " << row.opcode;
}

TEST(Dispatcher, CanDoAnswersNoForEveryString)
{
    TestHost host;
    for (const char* text : {"receiveVstTimeInfo", "bypass", "sendVstEvents", "plugAsChannelInsert", ""})
        EXPECT_EQ(host.dispatch(effCanDo, 0, 0, const_cast<char*>(text)), 0) << text;
    EXPECT_EQ(host.dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST(Dispatcher, ParameterPropertiesFillTheWholeRecordWithTheParametersName)
{
    // A host hands over uninitialised memory (here 0xAA in every byte) and
    // reads every field: only the fine float step, its flag and the two
    // labels may be non-zero afterwards, for any index.
    TestHost host;
    const size_t labelAt = offsetof(VstParameterProperties, label);
    const size_t shortAt = offsetof(VstParameterProperties, shortLabel);
    for (VstInt32 index = -4; index <= 99; index = index == 25 ? 99 : index + 1)
    {
        VstParameterProperties properties;
        std::memset(&properties, 0xAA, sizeof properties);
        ASSERT_EQ(host.dispatch(effGetParameterProperties, index, 0, &properties), 1) << index;
        EXPECT_FLOAT_EQ(properties.stepFloat, 0.0001f);
        EXPECT_EQ(properties.flags, kVstParameterUsesFloatStep);

        const std::string name = index >= 0 && index < 26 ? host.parameterName(index) : "";
        ASSERT_LT(strnlen(properties.label, sizeof properties.label), sizeof properties.label);
        ASSERT_LT(strnlen(properties.shortLabel, sizeof properties.shortLabel), sizeof properties.shortLabel);
        EXPECT_EQ(std::string(properties.label), name) << index;
        const std::string shortLabel = properties.shortLabel;
        EXPECT_EQ(shortLabel.empty(), name.empty()) << index;
        if (!name.empty())
        {
            EXPECT_EQ(shortLabel[0], name[0]) << index;
        }

        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&properties);
        for (size_t i = 0; i < sizeof properties; ++i)
        {
            const bool stepOrFlags = i < 4 || (i >= offsetof(VstParameterProperties, flags) &&
                                               i < offsetof(VstParameterProperties, flags) + 4);
            const bool labelText = i >= labelAt && i < labelAt + std::strlen(properties.label);
            const bool shortText = i >= shortAt && i < shortAt + shortLabel.size();
            if (!stepOrFlags && !labelText && !shortText)
            {
                ASSERT_EQ(bytes[i], 0) << "byte " << i << " of the record for index " << index;
            }
        }
    }
}

TEST(Dispatcher, ShortLabelsKeepTheNamesReadable)
{
    TestHost host;
    const struct
    {
        VstInt32 index;
        const char* shortLabel;
    } cases[] = {{0, "Output"}, {2, "Transnt"}, {3, "Release"}, {5, "L/R Lnk"}, {7, "DtctrOr"}, {11, "NoisShp"}};
    for (const auto& c : cases)
    {
        VstParameterProperties properties;
        std::memset(&properties, 0xAA, sizeof properties);
        host.dispatch(effGetParameterProperties, c.index, 0, &properties);
        EXPECT_STREQ(properties.shortLabel, c.shortLabel) << c.index;
    }
}

TEST(Dispatcher, SpeakerArrangementPointersAreCleared)
{
    TestHost host;
    void* input = &host;
    void* output = &host;
    EXPECT_EQ(host.dispatch(effGetSpeakerArrangement, 0, (VstIntPtr)&input, &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST(Dispatcher, OneProgramToTheHost)
{
    TestHost host;
    EXPECT_EQ(host.programName(), "Current");
    EXPECT_EQ(host.dispatch(effSetProgram, 0, 3), 0);
    EXPECT_EQ(host.dispatch(effSetProgram, 0, 1), 0);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
    EXPECT_EQ(host.programName(), "Current");

    char text[64] = {0};
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 0, 0, text), 1);
    EXPECT_STREQ(text, "Current");
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, 1, 0, text), 0);
    EXPECT_EQ(host.dispatch(effGetProgramNameIndexed, -1, 0, text), 0);

    char longName[] = "A name that is thirty chars!!";
    host.dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(host.programName(), std::string(longName, 24));
}

TEST(Dispatcher, NullPointersAreAnsweredSafely)
{
    TestHost host;
    for (VstInt32 opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName, effEditGetRect,
          effGetChunk, effSetChunk, effGetProgramNameIndexed, effGetEffectName, effGetVendorString, effGetProductString,
          effCanDo, effGetParameterProperties, effGetSpeakerArrangement, effEditOpen})
        EXPECT_EQ(host.dispatch(opcode, 0, 0, nullptr), 0) << "opcode " << opcode;
}

TEST(Dispatcher, EditorOpcodesWithoutAnEditorAnswerZero)
{
    TestHost host;
    if (host.effect->flags & effFlagsHasEditor)
        GTEST_SKIP() << "the editor is attached; its own tests cover these opcodes";
    ERect* rect = nullptr;
    EXPECT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(host.dispatch(effEditIdle), 0);
    EXPECT_EQ(host.dispatch(effEditClose), 0);
    EXPECT_EQ(host.dispatch(effEditKeyDown, 'a', 0), 0);
    EXPECT_EQ(host.dispatch(effSetEditKnobMode, 0, 2), 0);
}

TEST(Dispatcher, CloseDeletesTheEffectAndAnswersOne)
{
    TestHost host;
    EXPECT_EQ(host.close(), 1);
    EXPECT_EQ(host.effect, nullptr);
}

TEST(Dispatcher, TwoInstancesAreIndependent)
{
    TestHost first;
    TestHost second;
    first.setParameter(1, 0.9f);
    EXPECT_FLOAT_EQ(first.getParameter(1), 0.9f);
    EXPECT_FLOAT_EQ(second.getParameter(1), 0.5f);
    first.setSampleRate(192000.0f);
    EXPECT_EQ(first.effect->initialDelay, 543);
    EXPECT_EQ(second.effect->initialDelay, 159);
}
