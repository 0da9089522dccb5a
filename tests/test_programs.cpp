// The effect's own programs: the factory set, program selection with its
// host reports, mirroring of parameter changes, renaming.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetChangesFromEffect.h"
#include "tests/support/TestHost.h"

namespace
{
struct Recorder
{
    std::vector<HostCall> calls;
};
Recorder* recorder = nullptr;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    if (recorder)
        recorder->calls.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct NameListener : PresetChangesFromEffect
{
    std::vector<std::string> names;
    void presetNameChanged(const char* name) override { names.push_back(name); }
};

class Programs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useTemporarySettingsStore("programs");
        recorder = &record;
        vst = new VstEffect(recordingHost);
        plugin = &vst->getCore();
        record.calls.clear();
    }
    void TearDown() override
    {
        delete vst;
        recorder = nullptr;
    }
    std::string name(int program)
    {
        char text[32];
        plugin->getProgramRecord(program)->getName(text);
        return text;
    }
    Recorder record;
    VstEffect* vst = nullptr;
    Plugin* plugin = nullptr;
};
} // namespace

TEST(ProgramsThroughTheHost, ConstructionReportsEveryValueOfProgramZeroTwice)
{
    useTemporarySettingsStore("construction");
    TestHost host;
    std::vector<HostCall> calls = host.calls();
    ASSERT_EQ(calls[0].opcode, audioMasterVersion);
    std::vector<HostCall> edits;
    for (const HostCall& c : calls)
        if (c.opcode == audioMasterAutomate || c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit)
            edits.push_back(c);
    ASSERT_EQ(edits.size(), 26u * 4u);
    for (int i = 0; i < 26; ++i)
    {
        const float factory = (float)kFactoryPresets[0].values[i];
        const float reported = i == 25 ? 0.015f : (i >= 23 ? 0.0f : factory);
        EXPECT_EQ(edits[4 * i].opcode, audioMasterBeginEdit);
        EXPECT_EQ(edits[4 * i].index, i);
        EXPECT_EQ(edits[4 * i + 1].opcode, audioMasterAutomate);
        EXPECT_EQ(edits[4 * i + 1].opt, reported) << "read-back value of " << i;
        EXPECT_EQ(edits[4 * i + 2].opcode, audioMasterAutomate);
        EXPECT_EQ(edits[4 * i + 2].opt, factory) << "value passed in for " << i;
        EXPECT_EQ(edits[4 * i + 3].opcode, audioMasterEndEdit);
        EXPECT_EQ(edits[4 * i + 3].index, i);
        EXPECT_EQ(host.getParameter(i), reported);
    }
    EXPECT_EQ(host.programName(), "Current");
    EXPECT_GE(host.countCalls(audioMasterUpdateDisplay), 1u);
}

TEST_F(Programs, FactoryTableIsStoredAsSinglePrecisionOfTheDecimals)
{
    for (int p = 0; p < 24; ++p)
    {
        EXPECT_EQ(name(p), kFactoryPresets[p].name);
        for (int i = 0; i < 26; ++i)
            EXPECT_EQ(plugin->getProgramRecord(p)->getParameter(i), (float)kFactoryPresets[p].values[i]);
    }
    EXPECT_EQ(name(10), "CD Master 3 [recon]");
    EXPECT_EQ(plugin->getProgramRecord(13)->getParameter(0), 0.166667f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(3), 0.7237f);
    EXPECT_EQ(plugin->getProgramRecord(1)->getParameter(3), 0.723711f);
}

TEST_F(Programs, SelectingAppliesReportsAndCopiesIntoProgramZero)
{
    plugin->selectPreset(5);
    EXPECT_EQ(plugin->getPresetIndex(), 5);
    EXPECT_EQ(name(0), "Loudness 1");
    EXPECT_EQ(name(5), "Loudness 1");
    int automates = 0, begins = 0, ends = 0;
    for (const HostCall& c : record.calls)
    {
        automates += c.opcode == audioMasterAutomate;
        begins += c.opcode == audioMasterBeginEdit;
        ends += c.opcode == audioMasterEndEdit;
    }
    EXPECT_EQ(automates, 52);
    EXPECT_EQ(begins, 26);
    EXPECT_EQ(ends, 26);
    for (int i = 0; i < 26; ++i)
    {
        const float factory = (float)kFactoryPresets[5].values[i];
        EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(i), factory);
        EXPECT_EQ(plugin->getProgramRecord(5)->getParameter(i), factory);
    }
    EXPECT_EQ(plugin->getParameter(13), 0.5f);
    EXPECT_EQ(plugin->getParameter(25), 0.015f);
}

TEST_F(Programs, EditsGoToTheSelectedProgramAndProgramZero)
{
    plugin->selectPreset(5);
    plugin->setParameter(1, 0.7f);
    EXPECT_EQ(plugin->getProgramRecord(5)->getParameter(1), 0.7f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(1), 0.7f);
    plugin->selectPreset(2);
    plugin->selectPreset(5);
    EXPECT_EQ(plugin->getParameter(1), 0.7f) << "an edited preset keeps its edit";
    EXPECT_EQ(plugin->getProgramRecord(2)->getParameter(1), 0.604167f);
}

TEST_F(Programs, EditsWithProgramZeroSelectedChangeOnlyProgramZero)
{
    plugin->setParameter(3, 0.1f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(3), 0.1f);
    for (int p = 1; p < 24; ++p)
        EXPECT_EQ(plugin->getProgramRecord(p)->getParameter(3), (float)kFactoryPresets[p].values[3]);
}

TEST_F(Programs, ProgramValuesAreClampedAndIndicesChecked)
{
    plugin->setParameter(1, 1.5f);
    EXPECT_EQ(plugin->getParameter(1), 1.5f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(1), 1.0f);
    plugin->setParameter(2, -3.0f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(2), 0.0f);
    plugin->setParameter(26, 0.5f);
    plugin->setParameter(-1, 0.5f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(26), -1.0f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(-1), -1.0f);
}

TEST_F(Programs, HostRenameCutsTo24AndTellsThePresetBar)
{
    NameListener listener;
    plugin->setPresetSystemListener(&listener);
    plugin->selectPreset(3);
    char name30[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
    vst->setProgramName(name30);
    EXPECT_EQ(name(3), "ABCDEFGHIJKLMNOPQRSTUVWX");
    EXPECT_EQ(name(0), "ABCDEFGHIJKLMNOPQRSTUVWX");
    ASSERT_EQ(listener.names.size(), 1u);
    EXPECT_EQ(listener.names[0], "ABCDEFGHIJKLMNOPQRSTUVWX");
    plugin->setPresetSystemListener(nullptr);
}

TEST_F(Programs, EditorRenameAsksTheHostToRefresh)
{
    plugin->selectPreset(7);
    record.calls.clear();
    plugin->renamePreset("My Loudness");
    EXPECT_EQ(name(7), "My Loudness");
    EXPECT_EQ(name(0), "My Loudness");
    ASSERT_EQ(record.calls.size(), 1u);
    EXPECT_EQ(record.calls[0].opcode, audioMasterUpdateDisplay);
}

TEST_F(Programs, SelectionOutsideTheProgramsIsRefused)
{
    plugin->selectPreset(24);
    plugin->selectPreset(-1);
    EXPECT_EQ(plugin->getPresetIndex(), 0);
    EXPECT_TRUE(record.calls.empty());
}

TEST_F(Programs, TransShapeOfAPresetSetsTheWindow)
{
    plugin->selectPreset(4); // "Limiter Hard": TransShape 0.166667, step 0
    EXPECT_EQ(plugin->getStep(4), 0);
    plugin->selectPreset(1); // "Limiter Smooth": 0.833333, step 2
    EXPECT_EQ(plugin->getStep(4), 2);
    EXPECT_EQ(plugin->getLatency(), 159);
}
