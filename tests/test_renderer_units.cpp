// --set values in the parameters' own units: every display text a
// parameter shows goes back in through --set and shows again, the
// normalised numbers of older scripts keep their meaning, and texts in a
// wrong unit or out of range are refused with the range.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "effect/ParameterText.h"
#include "tests/support/RendererProcess.h"

namespace
{
using namespace renderertest;

class RendererUnitsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-units-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::string command = "rm -rf " + shellQuoted(dir);
        EXPECT_EQ(std::system(command.c_str()), 0);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    RunResult render(const std::vector<std::string>& args) { return runRenderer(args, dir); }

    // The listing's line of parameter `index` ("  1  Drive ...").
    static std::string listedLine(const std::string& listing, int index)
    {
        char start[16];
        std::snprintf(start, sizeof start, "\n%3d  ", index);
        size_t at = listing.find(start);
        if (at == std::string::npos)
            return "";
        return listing.substr(at + 1, listing.find('\n', at + 1) - at - 1);
    }

    std::string dir;
};

// A text as a person types it: the display text with the unit written
// after it, as the editor's fields and the plug-in's label show it.
std::string typedText(int index, float value)
{
    const ParameterInfo& row = kParameterTable[index];
    std::string text = parameterValueText(index, value);
    if (row.steps > 0 || text == "off")
        return text;
    return text + (row.unit == ParameterUnit::decibel ? "dB" : row.unit == ParameterUnit::milliseconds ? "ms" : "%");
}

TEST_F(RendererUnitsTest, EveryDisplayTextRoundTripsThroughSet)
{
    // Each round sets every parameter at once: a stepped row walks its
    // steps, a continuous row a spread of its range with both ends.
    const float spread[] = {0.0f, 0.013f, 0.25f, 0.5f, 0.6875f, 0.9f, 0.999f, 1.0f};
    for (int round = 0; round < 8; ++round)
    {
        std::vector<std::string> args = {"--list-params"};
        std::vector<std::string> expected(kHostVisibleCount), typed(kHostVisibleCount);
        for (int i = 0; i < kHostVisibleCount; ++i)
        {
            const ParameterInfo& row = kParameterTable[i];
            const float value = row.steps > 0 ? stepValue(round % row.steps, row.steps) : spread[round];
            expected[i] = parameterValueText(i, value);
            args.push_back("--set");
            typed[i] = typedText(i, value);
            args.push_back(std::string(row.name) + "=" + typed[i]);
        }
        RunResult run = render(args);
        ASSERT_EQ(run.status, 0) << run.err;
        for (int i = 0; i < kHostVisibleCount; ++i)
        {
            // Name, normalised value, then the display text as the plug-in shows it.
            const std::string line = listedLine(run.out, i);
            const std::string afterValue = line.substr(std::min(line.size(), (size_t)30));
            EXPECT_EQ(afterValue.compare(0, expected[i].size(), expected[i]), 0)
                << kParameterTable[i].name << " round " << round << ": " << line;
            // The listing's own --set form is what was typed.
            EXPECT_NE(afterValue.find(" " + typed[i] + " "), std::string::npos) << line;
        }
    }
}

TEST_F(RendererUnitsTest, UnitsStepsAndNormalisedNumbersAllSet)
{
    RunResult run = render({"--list-params", "--set", "Drive=+3dB", "--set", "release=150 ms", "--set", "L/R Link=50%",
                            "--set", "NoiseShape=TYPE c", "--set", "Bits=16", "--set", "Output=0.75", "--set",
                            "AttShow=1", "--set", "Leveller=off", "--set", "transient=0.5"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto has = [&](int index, const std::string& text) {
        EXPECT_NE(listedLine(run.out, index).find(text), std::string::npos) << listedLine(run.out, index);
    };
    has(kDrive, "2.99999"); // the display's own truncation of +3 dB
    has(kRelease, "150.0000 ms");
    has(kRelease, "150.0000ms"); // the listing's --set form
    has(kLink, "50.00000%");
    has(kNoiseShape, "type C");
    has(kBits, " 16 ");
    has(kOutput, "0.750000");  // a bare number from 0 to 1 stays normalised
    has(kAttShow, "0.187500"); // a step text wins over the normalised reading
    has(kLeveller, "1.000000");
    has(kTransient, "0.500000  "); // normalised, not 0.5 ms
}

TEST_F(RendererUnitsTest, WrongUnitsAndRangesAreRefusedWithTheRange)
{
    struct Case
    {
        const char* setting;
        const char* message;
    } cases[] = {
        {"Drive=3", "-24.08dB to +24.08dB"}, // 3 dB or a mistyped 0.3: refused, never guessed
        {"Drive=+30dB", "-24.08dB to +24.08dB"},
        {"Release=0.15s", "1ms to 1000ms"},
        {"L/R Link=150%", "0% to 100%"},
        {"NoiseShape=type D", "off, type A, type B or type C"},
        {"Bits=12", "8, 16 or 24"},
        {"Frob=3dB", "unknown parameter \"Frob\""},
    };
    for (const Case& c : cases)
    {
        RunResult run = render({"--set", c.setting, "--demo", path("out.wav")});
        EXPECT_EQ(run.status, 2) << c.setting;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(exists(path("out.wav"))) << c.setting;
    }
}

TEST_F(RendererUnitsTest, ReportGivesSettingsInTheirUnits)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path("in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    std::vector<short> samples(2 * 4410);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (short)(8000 * std::sin(0.05 * (double)(i / 2)));
    sf_write_short(file, samples.data(), (sf_count_t)samples.size());
    sf_close(file);

    RunResult run = render({"--set", "Release=150ms", "--set", "NoiseShape=type B", "--report", path("r.json"),
                            path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string report = slurp(path("r.json"));
    EXPECT_NE(report.find("{\"name\": \"Release\", \"value\": 0.676097, \"display\": \"150.0000\", \"unit\": \"ms\", "
                          "\"setting\": \"150.0000ms\", \"unitValue\": 150}"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\"display\": \"type B\", \"unit\": \"\", \"setting\": \"type B\", \"unitValue\": null}"),
              std::string::npos)
        << report;
}
} // namespace
