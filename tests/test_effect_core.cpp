// The effect core on its own, as a second plug-in format would drive it:
// linked against the core library alone, with a host of its own that records
// what the core reports.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "effect/EditorConnection.h"
#include "effect/EffectHost.h"
#include "effect/ParameterTable.h"
#include "effect/Plugin.h"
#include "presets/FactoryPresets.h"

// The names of the VST 2 interface, declared here once more: should any
// header of the core pull in the VST 2 headers, these collide with them and
// this file no longer compiles.
typedef struct NotAVst2Type* VstInt32;
struct AEffect
{
    char notTheVst2Record;
};
class AudioEffect
{
    char notTheVst2Effect;
};
class AudioEffectX
{
    char notTheVst2Effect;
};

namespace
{
struct Report
{
    enum Kind
    {
        automate,
        editBegins,
        editEnds,
        parameterChanged,
        latencyChanged,
        displayChanged
    } kind;
    int index;
    float value;
};

class RecordingHost : public EffectHost
{
public:
    void automate(int index, float value) override { reports.push_back({Report::automate, index, value}); }
    void editBegins(int index) override { reports.push_back({Report::editBegins, index, 0.0f}); }
    void editEnds(int index) override { reports.push_back({Report::editEnds, index, 0.0f}); }
    void parameterChanged(int index, float value) override
    {
        reports.push_back({Report::parameterChanged, index, value});
    }
    void latencyChanged(int samples) override { reports.push_back({Report::latencyChanged, samples, 0.0f}); }
    void displayChanged() override { reports.push_back({Report::displayChanged, 0, 0.0f}); }
    bool inputConnected(int channel) override { return channel == 0 || rightConnected; }

    size_t count(Report::Kind kind) const
    {
        size_t n = 0;
        for (const Report& r : reports)
            n += r.kind == kind;
        return n;
    }
    const Report* last(Report::Kind kind) const
    {
        for (auto r = reports.rbegin(); r != reports.rend(); ++r)
            if (r->kind == kind)
                return &*r;
        return nullptr;
    }

    std::vector<Report> reports;
    bool rightConnected = true;
};

std::string display(Plugin& plugin, int index)
{
    char text[64] = "";
    plugin.getParameterDisplay(index, text);
    return text;
}

// An impulse of 0.5 left and -0.25 right through the effect in one block.
void impulse(Plugin& plugin, int frames, std::vector<float>& outL, std::vector<float>& outR)
{
    std::vector<float> left(frames, 0.0f), right(frames, 0.0f);
    left[0] = 0.5f;
    right[0] = -0.25f;
    outL.assign(frames, 9.0f);
    outR.assign(frames, 9.0f);
    float* in[2] = {left.data(), right.data()};
    float* out[2] = {outL.data(), outR.data()};
    plugin.processReplacing(in, out, frames);
}
} // namespace

TEST(EffectCore, ReportsItsLatencyWhenBuiltAndWhenTheRateClassChanges)
{
    RecordingHost host;
    Plugin plugin(&host);
    ASSERT_NE(host.last(Report::latencyChanged), nullptr) << "the host learns the delay while the core is built";
    EXPECT_EQ(host.last(Report::latencyChanged)->index, 159);
    EXPECT_EQ(plugin.getLatency(), 159);

    plugin.setSampleRate(96000.0f);
    EXPECT_EQ(host.last(Report::latencyChanged)->index, 287);
    EXPECT_EQ(plugin.getLatency(), 287);
    plugin.setSampleRate(1e30f); // no rate: the 44100 Hz settings
    EXPECT_EQ(host.last(Report::latencyChanged)->index, 159);
    plugin.setSampleRate(192000.0f);
    EXPECT_EQ(host.last(Report::latencyChanged)->index, 543);
    plugin.setSampleRate(44100.0f);
    EXPECT_EQ(host.last(Report::latencyChanged)->index, 159);
}

TEST(EffectCore, HostChangesAreShownButNotEchoedAndEditorEditsAreAutomated)
{
    RecordingHost host;
    Plugin plugin(&host);
    host.reports.clear();

    plugin.setParameter(kDrive, 1.0f);
    ASSERT_EQ(host.reports.size(), 1u) << "the host's own change goes back to the editor only";
    EXPECT_EQ(host.reports[0].kind, Report::parameterChanged);
    EXPECT_EQ(host.reports[0].value, 1.0f);
    EXPECT_EQ(display(plugin, kDrive), "24.08239");
    EXPECT_EQ(plugin.getProgramRecord(0)->getParameter(kDrive), 1.0f);

    plugin.setParameter(kDrive, std::nanf(""));
    EXPECT_EQ(host.reports.size(), 1u) << "a NaN is no value";
    EXPECT_EQ(plugin.getParameter(kDrive), 1.0f);

    // The editor's edit, through the interface the editor sees.
    EditorConnection& editor = plugin;
    host.reports.clear();
    editor.beginEdit(kRelease);
    editor.setParameterAutomated(kRelease, 0.5f);
    editor.endEdit(kRelease);
    ASSERT_EQ(host.reports.size(), 4u);
    EXPECT_EQ(host.reports[0].kind, Report::editBegins);
    EXPECT_EQ(host.reports[1].kind, Report::parameterChanged);
    EXPECT_EQ(host.reports[2].kind, Report::automate);
    EXPECT_EQ(host.reports[2].index, kRelease);
    EXPECT_EQ(host.reports[2].value, 0.5f);
    EXPECT_EQ(host.reports[3].kind, Report::editEnds);
    EXPECT_EQ(display(plugin, kRelease), "50.00000");
    EXPECT_EQ(editor.getParameter(kRelease), 0.5f);
}

TEST(EffectCore, SelectingAProgramReportsEveryValueInOneGestureEachAndRefreshesTheHost)
{
    RecordingHost host;
    Plugin plugin(&host);
    EditorConnection& editor = plugin;
    host.reports.clear();

    editor.selectPreset(5);
    EXPECT_EQ(editor.getPresetIndex(), 5);
    EXPECT_EQ(host.count(Report::editBegins), (size_t)kNumParams);
    EXPECT_EQ(host.count(Report::editEnds), (size_t)kNumParams);
    EXPECT_EQ(host.count(Report::automate), 2u * kNumParams);
    EXPECT_EQ(host.count(Report::displayChanged), 1u);
    ASSERT_EQ(host.reports.back().kind, Report::displayChanged) << "the refresh comes once everything is applied";
    for (int i = 0; i < kDummy2; ++i)
        EXPECT_EQ(plugin.getParameter(i), (float)kFactoryPresets[5].values[i]) << i;

    char name[kProgramNameLength + 1] = "?";
    editor.getPresetName(5, name);
    EXPECT_STREQ(name, kFactoryPresets[5].name);
    plugin.getProgramName(name);
    EXPECT_STREQ(name, kFactoryPresets[5].name) << "program 0 carries the selected program's name";
    editor.getPresetName(kProgramCount, name);
    EXPECT_STREQ(name, "") << "no program past the last";
    editor.getPresetName(-1, name);
    EXPECT_STREQ(name, "");
}

TEST(EffectCore, ProcessesWithItsLatencyMetersTheBlockAndAsksTheHostForTheRightInput)
{
    RecordingHost host;
    Plugin plugin(&host);
    plugin.setParameter(kPower, 0.0f);
    plugin.setParameter(kQuantize, 0.0f);
    plugin.suspend();
    const int latency = plugin.getLatency();

    std::vector<float> outL, outR;
    impulse(plugin, latency + 64, outL, outR);
    for (int i = 0; i < latency + 64; ++i)
    {
        ASSERT_EQ(outL[i], i == latency ? 0.5f : 0.0f) << "left at " << i;
        ASSERT_EQ(outR[i], i == latency ? -0.25f : 0.0f) << "right at " << i;
    }
    float meters[10] = {};
    plugin.getMeterSnapshot(meters);
    EXPECT_GE(meters[0], 0.5f) << "input peak left";
    EXPECT_GE(meters[1], 0.25f) << "input peak right";
    plugin.getMeterSnapshot(meters);
    EXPECT_EQ(meters[0], 0.0f) << "the snapshot restarts the peak hold";

    // Without a right input the left one feeds both outputs.
    host.rightConnected = false;
    plugin.suspend();
    impulse(plugin, latency + 1, outL, outR);
    EXPECT_EQ(outL[latency], 0.5f);
    EXPECT_EQ(outR[latency], 0.5f);
}

TEST(EffectCore, RunsWithoutAnyHost)
{
    Plugin plugin;
    plugin.setParameter(kPower, 0.0f);
    plugin.setParameterAutomated(kDrive, 0.25f);
    plugin.selectPreset(3);
    plugin.setSampleRate(192000.0f);
    EXPECT_EQ(plugin.getPresetIndex(), 3);
    EXPECT_EQ(plugin.getLatency(), 543);
}
