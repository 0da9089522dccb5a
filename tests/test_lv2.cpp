// The LV2 bundle as LV2 hosts see it: lilv reads its description (ports,
// ranges, step texts, units, latency, presets), instantiates the plug-in,
// runs it, applies its presets and saves and restores its state. Renders
// are compared with the VST build loaded through its entry point.
#include "tests/Lv2Host.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "effect/ParameterTable.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFileFormat.h"
#include "tests/support/RendererProcess.h"
#include "tests/support/SanitizedBuild.h"
#include "tests/support/TestHost.h"

namespace
{

// Two seconds of a loud signal the limiter has to work on: chords, a
// pulsing bass and noise, peaks at about +6 dBFS.
void loudSignal(double rate, std::vector<float>& left, std::vector<float>& right, double seconds = 2.0)
{
    const size_t n = (size_t)(rate * seconds);
    left.resize(n);
    right.resize(n);
    uint32_t random = 12345;
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < n; ++i)
    {
        const double t = (double)i / rate;
        random = random * 1664525u + 1013904223u;
        const double noise = ((double)(random >> 8) / 16777216.0 - 0.5) * 0.3;
        const double pulse = std::fmod(t, 0.25) < 0.05 ? 1.0 : 0.3;
        const double bass = pulse * std::sin(2.0 * pi * 55.0 * t);
        left[i] = (float)(bass + 0.4 * std::sin(2.0 * pi * 440.0 * t) + noise);
        right[i] = (float)(bass + 0.4 * std::sin(2.0 * pi * 554.37 * t) - noise);
    }
}

// The VST build's output for the same input in the same blocks, with the
// given normalised values set first.
void renderVst(double rate, const double* values, const std::vector<float>& left, const std::vector<float>& right,
               std::vector<float>& outL, std::vector<float>& outR, int block = 512)
{
    TestHost host;
    ASSERT_NE(host.effect, nullptr);
    host.setSampleRate((float)rate);
    for (int i = 0; i < kNumParams && values; ++i)
        host.setParameter(i, (float)values[i]);
    // Switched off and on, as hosts do before they start: the smoothed
    // gains start at the values just set.
    host.dispatch(effMainsChanged, 0, 0);
    host.dispatch(effMainsChanged, 0, 1);
    for (size_t start = 0; start < left.size(); start += (size_t)block)
    {
        const size_t n = std::min((size_t)block, left.size() - start);
        std::vector<float> l(left.begin() + start, left.begin() + start + n);
        std::vector<float> r(right.begin() + start, right.begin() + start + n);
        std::vector<float> ol(n), orr(n);
        host.process(l, r, ol, orr);
        outL.insert(outL.end(), ol.begin(), ol.end());
        outR.insert(outR.end(), orr.begin(), orr.end());
    }
}

size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return i;
    return a.size();
}

std::string nodeText(LilvNode* node)
{
    std::string text = node ? lilv_node_as_string(node) : "";
    lilv_node_free(node);
    return text;
}

int presetIndex(const std::string& name)
{
    for (int p = 0; p < 24; ++p)
        if (name == kFactoryPresets[p].name)
            return p;
    return -1;
}

std::string runCommand(const std::string& command)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    pclose(pipe);
    return output;
}

// A folder holding only the bundle, for LV2_PATH: the build folder itself
// holds many folders that are no bundles.
std::string lv2PathFolder()
{
    const std::string folder = std::string(ZELVO_TEST_BUILD_DIR) + "/lv2-path";
    std::system(("mkdir -p '" + folder + "' && ln -sfn '" ZELVO_LV2_BUNDLE "' '" + folder + "/qdx-zelvo.lv2'").c_str());
    return folder;
}

} // namespace

TEST(Lv2Description, PortsCarryNamesRangesDefaultsUnitsAndStepTexts)
{
    Lv2World& w = Lv2World::instance();
    ASSERT_NE(w.plugin, nullptr) << "lilv does not find " << lv2bundle::kPluginUri << " in " ZELVO_LV2_BUNDLE;
    EXPECT_EQ(nodeText(lilv_plugin_get_name(w.plugin)), "QDX Zelvo");
    ASSERT_EQ(lilv_plugin_get_num_ports(w.plugin), (uint32_t)lv2port::kPortCount);

    LilvNode* input = w.node(LV2_CORE__InputPort);
    LilvNode* output = w.node(LV2_CORE__OutputPort);
    LilvNode* control = w.node(LV2_CORE__ControlPort);
    LilvNode* audio = w.node(LV2_CORE__AudioPort);
    LilvNode* enumeration = w.node(LV2_CORE__enumeration);
    LilvNode* toggled = w.node(LV2_CORE__toggled);
    LilvNode* integer = w.node(LV2_CORE__integer);
    LilvNode* unit = w.node("http://lv2plug.in/ns/extensions/units#unit");
    for (int i = 0; i < lv2port::kControlCount; ++i)
    {
        SCOPED_TRACE(kParameterTable[i].name);
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, i);
        EXPECT_TRUE(lilv_port_is_a(w.plugin, port, input) && lilv_port_is_a(w.plugin, port, control));
        EXPECT_EQ(nodeText(lilv_port_get_name(w.plugin, port)), kParameterTable[i].name);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(w.plugin, port, &def, &min, &max);
        ASSERT_TRUE(def && min && max);
        // The default is the port value of the working program "Current".
        EXPECT_EQ(lilv_node_as_float(def), lv2port::toPortValue(i, (float)kFactoryPresets[0].values[i]));
        EXPECT_EQ(lilv_node_as_float(min), lv2port::toPortValue(i, 0.0f));
        EXPECT_EQ(lilv_node_as_float(max), lv2port::toPortValue(i, 1.0f));
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);

        const int steps = kParameterTable[i].steps;
        EXPECT_EQ(lilv_port_has_property(w.plugin, port, integer), steps > 0);
        EXPECT_EQ(lilv_port_has_property(w.plugin, port, enumeration) ||
                      lilv_port_has_property(w.plugin, port, toggled),
                  steps > 0);
        LilvScalePoints* points = lilv_port_get_scale_points(w.plugin, port);
        std::map<int, std::string> texts;
        LILV_FOREACH(scale_points, p, points)
        {
            const LilvScalePoint* point = lilv_scale_points_get(points, p);
            texts[(int)lilv_node_as_float(lilv_scale_point_get_value(point))] =
                lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        EXPECT_EQ((int)texts.size(), steps);
        for (int s = 0; s < steps && kParameterTable[i].stepTexts; ++s)
            EXPECT_EQ(texts[s], kParameterTable[i].stepTexts[s]);
    }
    // What hosts show for a few of them.
    auto scaleText = [&](int index, float value) {
        LilvScalePoints* points = lilv_port_get_scale_points(w.plugin, lilv_plugin_get_port_by_index(w.plugin, index));
        std::string text;
        LILV_FOREACH(scale_points, p, points)
        {
            const LilvScalePoint* point = lilv_scale_points_get(points, p);
            if (lilv_node_as_float(lilv_scale_point_get_value(point)) == value)
                text = lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        return text;
    };
    EXPECT_EQ(scaleText(kScale, 0), "K-12");
    EXPECT_EQ(scaleText(kBits, 1), "16");
    EXPECT_EQ(scaleText(kNoiseShape, 2), "type B");
    EXPECT_EQ(scaleText(kAttShow, 7), "12L");
    EXPECT_EQ(scaleText(kTruePeakGuard, 1), "on");
    EXPECT_TRUE(lilv_port_has_property(w.plugin, lilv_plugin_get_port_by_index(w.plugin, kOversample), toggled));
    EXPECT_TRUE(lilv_port_has_property(w.plugin, lilv_plugin_get_port_by_index(w.plugin, kBits), enumeration));

    const std::string units = "http://lv2plug.in/ns/extensions/units#";
    const std::pair<int, std::string> expectedUnits[] = {{kOutput, "db"},    {kDrive, "db"},   {kLeveller, "db"},
                                                         {kTransient, "ms"}, {kRelease, "ms"}, {kLink, "pc"}};
    for (const auto& u : expectedUnits)
        EXPECT_EQ(nodeText(lilv_port_get(w.plugin, lilv_plugin_get_port_by_index(w.plugin, u.first), unit)),
                  units + u.second)
            << kParameterTable[u.first].name;
    EXPECT_EQ(lilv_port_get(w.plugin, lilv_plugin_get_port_by_index(w.plugin, kBits), unit), nullptr);

    for (int a = lv2port::kInputLeft; a <= lv2port::kOutputRight; ++a)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, a);
        EXPECT_TRUE(lilv_port_is_a(w.plugin, port, audio));
        EXPECT_TRUE(lilv_port_is_a(w.plugin, port, a < lv2port::kOutputLeft ? input : output));
    }
    EXPECT_TRUE(lilv_plugin_has_latency(w.plugin));
    EXPECT_EQ(lilv_plugin_get_latency_port_index(w.plugin), (uint32_t)lv2port::kLatency);

    LilvNode* hardRt = w.node(LV2_CORE__hardRTCapable);
    LilvNodes* features = lilv_plugin_get_optional_features(w.plugin);
    EXPECT_TRUE(lilv_nodes_contains(features, hardRt));
    lilv_nodes_free(features);
    LilvNodes* required = lilv_plugin_get_required_features(w.plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u) << "every host must be able to load it";
    lilv_nodes_free(required);
    for (LilvNode* n : {input, output, control, audio, enumeration, toggled, integer, unit, hardRt})
        lilv_node_free(n);
}

// Each parameter shown to hosts is a control port found by its row's symbol
// at its own index; the rows hidden from hosts are none.
TEST(Lv2Description, EveryVisibleRowIsAPortFoundByItsSymbol)
{
    Lv2World& w = Lv2World::instance();
    ASSERT_NE(w.plugin, nullptr);
    LilvNode* input = w.node(LV2_CORE__InputPort);
    LilvNode* control = w.node(LV2_CORE__ControlPort);
    int controls = 0;
    for (uint32_t p = 0; p < lilv_plugin_get_num_ports(w.plugin); ++p)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, p);
        controls += lilv_port_is_a(w.plugin, port, input) && lilv_port_is_a(w.plugin, port, control);
    }
    EXPECT_EQ(controls, kHostVisibleCount);
    for (const ParameterInfo& row : kParameterTable)
    {
        SCOPED_TRACE(row.symbol);
        LilvNode* symbol = lilv_new_string(w.world, row.symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(w.plugin, symbol);
        lilv_node_free(symbol);
        if (!isHostVisible(row.index))
        {
            EXPECT_EQ(port, nullptr);
            continue;
        }
        ASSERT_NE(port, nullptr);
        EXPECT_EQ(lilv_port_get_index(w.plugin, port), (uint32_t)row.index);
        EXPECT_EQ(nodeText(lilv_port_get_name(w.plugin, port)), row.name);
        EXPECT_TRUE(lilv_port_is_a(w.plugin, port, input) && lilv_port_is_a(w.plugin, port, control));
    }
    lilv_node_free(input);
    lilv_node_free(control);
}

TEST(Lv2Description, PresetsAreTheTwentyFourFactoryPrograms)
{
    const auto presets = Lv2World::instance().presets();
    ASSERT_EQ(presets.size(), 24u);
    for (int p = 0; p < 24; ++p)
        EXPECT_EQ(presets.count(kFactoryPresets[p].name), 1u) << kFactoryPresets[p].name;
}

TEST(Lv2Description, CommandLineToolsListThePluginWithLatencyPortsAndPresets)
{
    // The LV2 vocabularies installed beside the bundle, for the class names.
    const std::string env = "LV2_PATH='" + lv2PathFolder() + ":/usr/lib/lv2' ";
    EXPECT_NE(runCommand(env + "lv2ls 2>&1").find(lv2bundle::kPluginUri), std::string::npos);
    const std::string info = runCommand(env + "lv2info " + lv2bundle::kPluginUri + " 2>&1");
    EXPECT_NE(info.find("Name:              QDX Zelvo"), std::string::npos) << info;
    EXPECT_NE(info.find("Has latency:       yes, reported by port 27"), std::string::npos);
    EXPECT_NE(info.find("Class:             Limiter Plugin"), std::string::npos);
    EXPECT_NE(info.find("http://lv2plug.in/ns/extensions/ui#X11UI"), std::string::npos);
    EXPECT_NE(info.find("2 = \"type B\""), std::string::npos);
    EXPECT_NE(info.find("CD Master 3 [recon]"), std::string::npos);
    EXPECT_NE(info.find("Symbol:      tp_guard"), std::string::npos);
}

// Debian has no lv2lint; sord_validate checks the bundle's Turtle against
// the LV2 vocabularies' own schemas (classes, ranges, labels).
TEST(Lv2Description, TurtleValidatesAgainstTheLv2Schemas)
{
    if (std::system("command -v sord_validate >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sord_validate is not installed (Debian package sordi)";
    std::string command = "sord_validate";
    for (const char* vocabulary :
         {"atom",       "buf-size", "core",        "data-access", "dynmanifest", "event", "instance-access",
          "log",        "midi",     "morph",       "options",     "parameters",  "patch", "port-groups",
          "port-props", "presets",  "resize-port", "schemas",     "state",       "time",  "ui",
          "units",      "uri-map",  "urid",        "worker"})
        command += std::string(" /usr/lib/lv2/") + vocabulary + ".lv2/*.ttl";
    command += " " ZELVO_LV2_BUNDLE "/*.ttl 2>&1";
    const std::string report = runCommand(command);
    EXPECT_NE(report.find("Found 0 errors"), std::string::npos) << report;
}

// Port values and normalised values: what the plug-in writes as a port value
// comes back as the same normalised value, for every factory value.
TEST(Lv2Ports, FactoryValuesComeBackExactlyThroughTheirPortValues)
{
    int inexact = 0;
    for (int p = 0; p < 24; ++p)
        for (int i = 0; i < lv2port::kControlCount; ++i)
        {
            const float v = (float)kFactoryPresets[p].values[i];
            const float back = lv2port::toNormalised(i, lv2port::toPortValue(i, v));
            if (lv2port::isStepped(i))
                EXPECT_EQ(stepIndex(back, kParameterTable[i].steps), stepIndex(v, kParameterTable[i].steps));
            else if (back != v)
            {
                ++inexact;
                EXPECT_NEAR(back, v, 2e-7) << kFactoryPresets[p].name << " " << kParameterTable[i].name;
            }
        }
    // A host's own values in engineering units: clamped, NaN passed on (the
    // effect ignores it), steps rounded to the nearest step centre.
    EXPECT_EQ(lv2port::toNormalised(kOutput, 0.0f), 1.0f);
    EXPECT_EQ(lv2port::toNormalised(kOutput, 50.0f), 1.0f);
    EXPECT_EQ(lv2port::toNormalised(kOutput, -1e30f), 0.0f);
    EXPECT_EQ(lv2port::toNormalised(kDrive, 0.0f), 0.5f);
    // The ends of every range are the ends of the parameter, exactly.
    for (int i = 0; i < lv2port::kControlCount; ++i)
    {
        const int n = kParameterTable[i].steps;
        EXPECT_EQ(lv2port::toNormalised(i, lv2port::minimum(i)), n ? stepValue(0, n) : 0.0f);
        EXPECT_EQ(lv2port::toNormalised(i, lv2port::maximum(i)), n ? stepValue(n - 1, n) : 1.0f);
    }
    EXPECT_EQ(lv2port::toNormalised(kRelease, 0.0f), 0.0f);
    EXPECT_EQ(lv2port::toNormalised(kRelease, -INFINITY), 0.0f);
    EXPECT_EQ(lv2port::toNormalised(kRelease, INFINITY), 1.0f);
    EXPECT_EQ(lv2port::toNormalised(kLink, 33.0f), 0.33f);
    EXPECT_TRUE(std::isnan(lv2port::toNormalised(kDrive, NAN)));
    EXPECT_EQ(lv2port::toNormalised(kBits, 1.4f), stepValue(1, 3));
    EXPECT_EQ(lv2port::toNormalised(kBits, 7.0f), stepValue(2, 3));
    EXPECT_EQ(lv2port::toNormalised(kBits, -3.0f), stepValue(0, 3));
    EXPECT_EQ(lv2port::toPortValue(kRelease, 0.5f), 50.0f);
    EXPECT_FLOAT_EQ(lv2port::toPortValue(kOutput, 0.5f), -6.0206f);
}

class Lv2Render : public ::testing::TestWithParam<double>
{};

// Every factory program, applied as a host's preset menu applies it, gives
// the VST build's output for the same program bit for bit.
TEST_P(Lv2Render, PresetsRenderAsTheVstBuildBitForBit)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.5);
    const auto presets = Lv2World::instance().presets();
    for (const char* name : {"Current", "CD Master 3 [recon]", "TV Hot", "Total Disorder", "Cine 2 [recon]"})
    {
        SCOPED_TRACE(name);
        const int p = presetIndex(name);
        ASSERT_GE(p, 0);
        Lv2TestInstance lv2(rate);
        ASSERT_NE(lv2.instance, nullptr);
        ASSERT_TRUE(lv2.applyPreset(presets.at(name)));
        std::vector<float> lv2L, lv2R, vstL, vstR;
        lv2.process(left, right, lv2L, lv2R);
        renderVst(rate, kFactoryPresets[p].values, left, right, vstL, vstR);
        EXPECT_EQ(firstDifference(lv2L, vstL), vstL.size());
        EXPECT_EQ(firstDifference(lv2R, vstR), vstR.size());
    }
}

// Latency: the port says 159, 287 or 543 by rate, and an impulse comes out
// exactly that many samples later.
TEST_P(Lv2Render, ReportedLatencyIsTheMeasuredDelay)
{
    const double rate = GetParam();
    const float expected = rate < 80000 ? 159.0f : (rate < 170000 ? 287.0f : 543.0f);
    Lv2TestInstance lv2(rate);
    ASSERT_NE(lv2.instance, nullptr);
    std::vector<float> left(4096, 0.0f), right(4096, 0.0f), outL, outR;
    left[1000] = right[1000] = 0.25f;
    lv2.process(left, right, outL, outR, 256);
    EXPECT_EQ(lv2.latency, expected);
    size_t loudest = 0;
    for (size_t i = 0; i < outL.size(); ++i)
        if (std::fabs(outL[i]) > std::fabs(outL[loudest]))
            loudest = i;
    EXPECT_GT(std::fabs(outL[loudest]), 0.1f);
    EXPECT_EQ((float)loudest - 1000.0f, expected);
}

// Ports a host sets in engineering units reach the effect as the VST
// build's normalised values; any block length, in place too.
TEST_P(Lv2Render, HostSetPortsAndOddBlocksRenderAsTheVstBuild)
{
    const double rate = GetParam();
    std::vector<float> left, right;
    loudSignal(rate, left, right, 0.3);
    Lv2TestInstance lv2(rate);
    ASSERT_NE(lv2.instance, nullptr);
    lv2.controls[kDrive] = 6.0f;      // dB
    lv2.controls[kRelease] = 120.0f;  // ms
    lv2.controls[kOutput] = -1.0f;    // dB
    lv2.controls[kTransShape] = 2.0f; // soft
    lv2.controls[kQuantize] = 1.0f;   // on
    lv2.controls[kBits] = 2.0f;       // 24
    lv2.controls[kNoiseShape] = 2.0f; // type B
    lv2.controls[kTruePeakGuard] = 1.0f;
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = kFactoryPresets[0].values[i];
    for (int i : {kDrive, kRelease, kOutput, kTransShape, kQuantize, kBits, kNoiseShape, kTruePeakGuard})
        values[i] = lv2port::toNormalised(i, lv2.controls[i]);
    EXPECT_EQ(stepIndex((float)values[kBits], 3), 2);

    // Blocks of 1, 7, 4096 and 0 frames, processed in place.
    std::vector<float> lv2L, lv2R;
    lilv_instance_connect_port(lv2.instance, lv2port::kOutputLeft, lv2.inL.data());
    lilv_instance_connect_port(lv2.instance, lv2port::kOutputRight, lv2.inR.data());
    const size_t lengths[] = {1, 7, 0, 4096, 333};
    for (size_t start = 0, k = 0; start < left.size(); ++k)
    {
        const size_t n = std::min(lengths[k % 5], left.size() - start);
        std::copy(left.begin() + start, left.begin() + start + n, lv2.inL.begin());
        std::copy(right.begin() + start, right.begin() + start + n, lv2.inR.begin());
        lilv_instance_run(lv2.instance, (uint32_t)n);
        lv2L.insert(lv2L.end(), lv2.inL.begin(), lv2.inL.begin() + n);
        lv2R.insert(lv2R.end(), lv2.inR.begin(), lv2.inR.begin() + n);
        start += n;
    }
    std::vector<float> vstL, vstR;
    renderVst(rate, values, left, right, vstL, vstR, 4096);
    EXPECT_EQ(firstDifference(lv2L, vstL), vstL.size());
    EXPECT_EQ(firstDifference(lv2R, vstR), vstR.size());
}

INSTANTIATE_TEST_SUITE_P(Rates, Lv2Render, ::testing::Values(44100.0, 96000.0, 192000.0));

// A host that sends nonsense: NaN, infinities, out-of-range steps, no
// buffers connected, a rate of zero. Nothing crashes and the output stays
// finite.
TEST(Lv2Robustness, OddPortValuesAndRatesKeepTheOutputFinite)
{
    for (double rate : {0.0, 1.0, 1e9, 48000.0})
    {
        Lv2TestInstance lv2(rate);
        ASSERT_NE(lv2.instance, nullptr);
        const float odd[] = {NAN, INFINITY, -INFINITY, 1e30f, -1e30f, 3.5f};
        std::vector<float> left, right, outL, outR;
        loudSignal(48000.0, left, right, 0.05);
        for (float value : odd)
        {
            for (float& c : lv2.controls)
                c = value;
            lv2.controls[kCalibrate] = 0.0f;
            lv2.process(left, right, outL, outR);
        }
        for (float s : outL)
            ASSERT_TRUE(std::isfinite(s) && std::fabs(s) <= 1.0f);
        // Unconnected audio: the controls are taken, nothing is written.
        lilv_instance_connect_port(lv2.instance, lv2port::kOutputLeft, nullptr);
        lilv_instance_run(lv2.instance, 64);
    }
}

// A factory preset applied through lilv leaves the effect with the
// program's exact values and name, the program selected.
TEST(Lv2State, PresetGivesTheProgramsValuesAndName)
{
    const auto presets = Lv2World::instance().presets();
    for (const char* name : {"Limiter Smooth", "TV Hot", "Cine 2 [recon]"})
    {
        SCOPED_TRACE(name);
        const int p = presetIndex(name);
        Lv2TestInstance lv2;
        ASSERT_TRUE(lv2.applyPreset(presets.at(name)));
        for (int i = 0; i < lv2port::kControlCount; ++i)
            EXPECT_EQ(lv2.controls[i], lv2port::toPortValue(i, (float)kFactoryPresets[p].values[i]));
        std::vector<float> silence(64, 0.0f), outL, outR;
        lv2.process(silence, silence, outL, outR);

        auto saved = lv2.saveProperties();
        ASSERT_EQ(saved.count(lv2bundle::kProgramsKey), 1u);
        const auto& bank = saved[lv2bundle::kProgramsKey];
        EXPECT_EQ(bank.type, LV2_ATOM__Chunk);
        presetfile::ProgramData programs[24];
        ASSERT_EQ(presetfile::decodeBank(bank.bytes.data(), bank.bytes.size(), programs),
                  presetfile::FileCheck::accepted);
        EXPECT_STREQ(programs[0].name, name);
        EXPECT_STREQ(programs[p].name, name);
        for (int i = 0; i < 26; ++i)
        {
            EXPECT_EQ(programs[0].values[i], (float)kFactoryPresets[p].values[i]) << kParameterTable[i].name;
            EXPECT_EQ(programs[p].values[i], (float)kFactoryPresets[p].values[i]) << kParameterTable[i].name;
        }
        int32_t selected = -1;
        ASSERT_EQ(saved[lv2bundle::kSelectedProgramKey].bytes.size(), sizeof selected);
        std::memcpy(&selected, saved[lv2bundle::kSelectedProgramKey].bytes.data(), sizeof selected);
        EXPECT_EQ(selected, p);
    }
}

// A session saved by lilv (as Turtle) and restored into another instance
// gives the same 24 programs, names, selection and output.
TEST(Lv2State, SavedSessionRestoresProgramsNamesAndSoundExactly)
{
    presetfile::ProgramData programs[24];
    for (int p = 0; p < 24; ++p)
    {
        std::snprintf(programs[p].name, sizeof programs[p].name, "Session %d", p);
        for (int i = 0; i < 26; ++i)
            programs[p].values[i] = (float)kFactoryPresets[(p + 7) % 24].values[i];
    }
    programs[0].values[kDrive] = programs[5].values[kDrive] = 0.6712345f;
    programs[0].values[kOutput] = programs[5].values[kOutput] = 0.1666671f;
    std::snprintf(programs[0].name, sizeof programs[0].name, "Session 5");
    std::map<std::string, Lv2TestInstance::Property> session;
    const auto bankBytes = presetfile::encodeBank(programs);
    const int32_t five = 5;
    session[lv2bundle::kProgramsKey] = {LV2_ATOM__Chunk, bankBytes, LV2_STATE_IS_POD};
    session[lv2bundle::kSelectedProgramKey] = {
        LV2_ATOM__Int, std::vector<unsigned char>((const unsigned char*)&five, (const unsigned char*)&five + 4),
        LV2_STATE_IS_POD};

    Lv2TestInstance first;
    ASSERT_EQ(first.restoreProperties(session), LV2_STATE_SUCCESS);
    // A host keeps its port values in step with the plug-in's.
    for (int i = 0; i < lv2port::kControlCount; ++i)
        first.controls[i] = lv2port::toPortValue(i, programs[0].values[i]);
    const std::string turtle = first.saveStateAsTurtle();
    ASSERT_FALSE(turtle.empty());
    EXPECT_NE(turtle.find(lv2bundle::kProgramsKey), std::string::npos);

    Lv2TestInstance second;
    ASSERT_TRUE(second.restoreStateFromTurtle(turtle));
    auto a = first.saveProperties();
    auto b = second.saveProperties();
    EXPECT_EQ(a[lv2bundle::kProgramsKey].bytes, bankBytes);
    EXPECT_EQ(b[lv2bundle::kProgramsKey].bytes, bankBytes);
    EXPECT_EQ(b[lv2bundle::kSelectedProgramKey].bytes, a[lv2bundle::kSelectedProgramKey].bytes);
    for (int i = 0; i < lv2port::kControlCount; ++i)
        EXPECT_EQ(second.controls[i], first.controls[i]);

    std::vector<float> left, right, outA, outA2, outB, outB2;
    loudSignal(44100.0, left, right, 0.3);
    first.process(left, right, outA, outA2);
    second.process(left, right, outB, outB2);
    EXPECT_EQ(firstDifference(outA, outB), outA.size());
    // And the session sounds as the VST build with program 0's values.
    double values[kNumParams];
    for (int i = 0; i < kNumParams; ++i)
        values[i] = programs[0].values[i];
    std::vector<float> vstL, vstR;
    renderVst(44100.0, values, left, right, vstL, vstR);
    EXPECT_EQ(firstDifference(outA, vstL), vstL.size());
}

// A damaged state (a bank of the wrong size, a selection out of range, a
// factory program that does not exist) is refused and changes nothing.
TEST(Lv2State, DamagedStateIsRefusedAndChangesNothing)
{
    Lv2TestInstance lv2;
    const auto before = lv2.saveProperties();
    ASSERT_EQ(before.count(lv2bundle::kProgramsKey), 1u);

    std::map<std::string, Lv2TestInstance::Property> damaged;
    std::vector<unsigned char> shortBank = before.at(lv2bundle::kProgramsKey).bytes;
    shortBank.resize(100);
    damaged[lv2bundle::kProgramsKey] = {LV2_ATOM__Chunk, shortBank, LV2_STATE_IS_POD};
    EXPECT_NE(lv2.restoreProperties(damaged), LV2_STATE_SUCCESS);

    std::map<std::string, Lv2TestInstance::Property> wrongType;
    wrongType[lv2bundle::kProgramsKey] = {LV2_ATOM__String, before.at(lv2bundle::kProgramsKey).bytes, LV2_STATE_IS_POD};
    EXPECT_NE(lv2.restoreProperties(wrongType), LV2_STATE_SUCCESS);

    const int32_t outOfRange = 24;
    std::map<std::string, Lv2TestInstance::Property> noSuchProgram;
    noSuchProgram[lv2bundle::kFactoryProgramKey] = {
        LV2_ATOM__Int,
        std::vector<unsigned char>((const unsigned char*)&outOfRange, (const unsigned char*)&outOfRange + 4),
        LV2_STATE_IS_POD};
    EXPECT_NE(lv2.restoreProperties(noSuchProgram), LV2_STATE_SUCCESS);

    const auto after = lv2.saveProperties();
    EXPECT_EQ(after.at(lv2bundle::kProgramsKey).bytes, before.at(lv2bundle::kProgramsKey).bytes);
    EXPECT_EQ(after.at(lv2bundle::kSelectedProgramKey).bytes, before.at(lv2bundle::kSelectedProgramKey).bytes);

    // A host without URID map gets no state, and says so.
    Lv2TestInstance unmapped(44100.0, false);
    ASSERT_NE(unmapped.instance, nullptr);
    EXPECT_TRUE(unmapped.saveProperties().empty());
}

namespace
{
Lv2TestInstance::Property intProperty(int32_t value)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    return {LV2_ATOM__Int, std::vector<unsigned char>(bytes, bytes + sizeof value), LV2_STATE_IS_POD};
}
} // namespace

// A state with one damaged property among good ones is refused whole: the
// good bank beside a factory program or a selection out of range is not
// applied either. The same properties, all good, are applied (the control).
TEST(Lv2State, AStateWithOneBadPropertyAppliesNothing)
{
    presetfile::ProgramData programs[24];
    for (int p = 0; p < 24; ++p)
    {
        std::snprintf(programs[p].name, sizeof programs[p].name, "Restored %d", p);
        for (int i = 0; i < 26; ++i)
            programs[p].values[i] = (float)kFactoryPresets[(p + 3) % 24].values[i];
    }
    const Lv2TestInstance::Property bank = {LV2_ATOM__Chunk, presetfile::encodeBank(programs), LV2_STATE_IS_POD};
    const Lv2TestInstance::Property wrongType = {LV2_ATOM__Float, intProperty(2).bytes, LV2_STATE_IS_POD};
    struct Case
    {
        const char* what;
        const char* key;
        Lv2TestInstance::Property property;
    };
    const Case cases[] = {
        {"factory program 24", lv2bundle::kFactoryProgramKey, intProperty(24)},
        {"factory program -1", lv2bundle::kFactoryProgramKey, intProperty(-1)},
        {"selected program 24", lv2bundle::kSelectedProgramKey, intProperty(24)},
        {"selection of the wrong type", lv2bundle::kSelectedProgramKey, wrongType},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Lv2TestInstance lv2;
        const auto before = lv2.saveProperties();
        std::map<std::string, Lv2TestInstance::Property> state;
        state[lv2bundle::kProgramsKey] = bank;
        state[c.key] = c.property;
        EXPECT_NE(lv2.restoreProperties(state), LV2_STATE_SUCCESS);
        const auto after = lv2.saveProperties();
        EXPECT_EQ(after.at(lv2bundle::kProgramsKey).bytes, before.at(lv2bundle::kProgramsKey).bytes);
        EXPECT_EQ(after.at(lv2bundle::kSelectedProgramKey).bytes, before.at(lv2bundle::kSelectedProgramKey).bytes);
    }

    Lv2TestInstance lv2;
    std::map<std::string, Lv2TestInstance::Property> good;
    good[lv2bundle::kProgramsKey] = bank;
    good[lv2bundle::kSelectedProgramKey] = intProperty(4);
    ASSERT_EQ(lv2.restoreProperties(good), LV2_STATE_SUCCESS);
    auto after = lv2.saveProperties();
    EXPECT_EQ(after.at(lv2bundle::kProgramsKey).bytes, bank.bytes);
    EXPECT_EQ(after.at(lv2bundle::kSelectedProgramKey).bytes, intProperty(4).bytes);
    good[lv2bundle::kFactoryProgramKey] = intProperty(15);
    ASSERT_EQ(lv2.restoreProperties(good), LV2_STATE_SUCCESS);
    after = lv2.saveProperties();
    EXPECT_EQ(after.at(lv2bundle::kSelectedProgramKey).bytes, intProperty(15).bytes);
}

// The saved state (and so a host's session) holds each program's name and
// zeros behind it, never the tail of an earlier, longer name.
TEST(Lv2State, SavedStateHoldsNoBytesOfEarlierNames)
{
    Lv2TestInstance lv2;
    ASSERT_TRUE(lv2.applyPreset(Lv2World::instance().presets().at("Game 1")));
    const auto saved = lv2.saveProperties();
    const auto& bank = saved.at(lv2bundle::kProgramsKey).bytes;
    ASSERT_EQ(bank.size(), presetfile::kBankFileSize);
    for (int p = 0; p < 24; ++p)
    {
        const unsigned char* field = bank.data() + presetfile::kHeaderSize + presetfile::kRecordSize * (size_t)p;
        const size_t length = strnlen(reinterpret_cast<const char*>(field), 24);
        EXPECT_EQ(std::vector<unsigned char>(field + length, field + 24), std::vector<unsigned char>(24 - length, 0))
            << "program " << p;
    }
}

namespace
{
bool writeFloatWav(const std::string& path, const std::vector<float>& left, const std::vector<float>& right, int rate)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    std::vector<float> interleaved(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i)
    {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    const bool written = sf_writef_float(file, interleaved.data(), (sf_count_t)left.size()) == (sf_count_t)left.size();
    sf_close(file);
    return written;
}

std::vector<float> readFloats(const std::string& path, SF_INFO& info)
{
    info = {};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<float> samples((size_t)(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", (double)value);
    return text;
}
} // namespace

// The command-line LV2 host renders a file with a preset and a port value
// given in dB; the VST build's renderer, with the same program and the
// normalised value of the same port value, writes the same samples.
TEST(Lv2File, Lv2fileRenderEqualsTheVstRendererBitForBit)
{
#if ZELVO_SANITIZED
    GTEST_SKIP() << "a sanitized plug-in loads only into a sanitized host, and lv2file is not one";
#endif
    if (std::system("command -v lv2file >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lv2file is not installed (Debian package lv2file)";
    const std::string dir = std::string(ZELVO_TEST_BUILD_DIR) + "/test-lv2file";
    std::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "'").c_str());
    std::vector<float> left, right;
    loudSignal(48000.0, left, right, 3.0);
    ASSERT_TRUE(writeFloatWav(dir + "/in.wav", left, right, 48000));

    struct Case
    {
        const char* program;
        float driveDb; // NaN: the program's own
    } cases[] = {{"TV Hot", NAN}, {"CD Master 3 [recon]", 3.0f}, {"HiRes Loudness", -2.5f}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.program);
        std::string lv2Command = "LV2_PATH='" + lv2PathFolder() + "' lv2file -b 512 -i '" + dir + "/in.wav' -o '" +
                                 dir + "/lv2.wav' -P '" + c.program + "'";
        std::vector<std::string> vstArgs = {"--program", c.program, "--no-align", "--bits", "32f", "--block", "512"};
        if (!std::isnan(c.driveDb))
        {
            lv2Command += " -p drive:" + number(c.driveDb);
            vstArgs.push_back("--set");
            vstArgs.push_back("Drive=" + number(lv2port::toNormalised(kDrive, c.driveDb)));
        }
        lv2Command += std::string(" ") + lv2bundle::kPluginUri + " >'" + dir + "/lv2file.log' 2>&1";
        ASSERT_EQ(std::system(("rm -f '" + dir + "/lv2.wav' && " + lv2Command).c_str()), 0)
            << renderertest::slurp(dir + "/lv2file.log");
        vstArgs.push_back(dir + "/in.wav");
        vstArgs.push_back(dir + "/vst.wav");
        const auto vst = renderertest::runRenderer(vstArgs, dir);
        ASSERT_EQ(vst.status, 0) << vst.err;

        SF_INFO lv2Info, vstInfo;
        const std::vector<float> lv2Samples = readFloats(dir + "/lv2.wav", lv2Info);
        const std::vector<float> vstSamples = readFloats(dir + "/vst.wav", vstInfo);
        ASSERT_EQ(lv2Samples.size(), left.size() * 2);
        EXPECT_EQ(lv2Info.samplerate, 48000);
        EXPECT_EQ(firstDifference(lv2Samples, vstSamples), vstSamples.size());
    }
}
