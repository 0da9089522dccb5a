// The JSON report for scripts (--report), read back by Python's JSON
// parser (strict: no NaN or Infinity) and checked field by field, for a
// search that meets its target, a batch with a failing file, and a command
// line refused before any work.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RendererProcess.h"

namespace
{
using namespace renderertest;

// Flattens the document to "files.0.rate=44100" lines; lists also give
// "files#=2". Exits non-zero on anything that is not strict JSON.
const char* const kFlatten = R"(
import json, sys
def reject(constant):
    sys.exit("not JSON: " + constant)
def walk(path, value):
    if isinstance(value, dict):
        for key, item in value.items():
            walk(path + [key], item)
    elif isinstance(value, list):
        print(".".join(path) + "#=" + str(len(value)))
        for i, item in enumerate(value):
            walk(path + [str(i)], item)
    else:
        print(".".join(path) + "=" + json.dumps(value))
walk([], json.load(open(sys.argv[1]), parse_constant=reject))
)";

class RendererReportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-report-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        std::ofstream(path("flatten.py")) << kFlatten;
    }
    void TearDown() override
    {
        std::string command = "rm -rf " + shellQuoted(dir);
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }
    RunResult render(const std::vector<std::string>& args) { return runRenderer(args, dir); }

    // The report's fields by their flattened names; empty when it does not parse.
    std::map<std::string, std::string> parse(const std::string& file)
    {
        std::map<std::string, std::string> fields;
        const std::string flat = path("flat.txt");
        std::string command =
            "python3 " + shellQuoted(path("flatten.py")) + " " + shellQuoted(file) + " >" + shellQuoted(flat) + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << slurp(flat);
        std::istringstream lines(slurp(flat));
        for (std::string line; std::getline(lines, line);)
        {
            size_t equals = line.find('=');
            if (equals != std::string::npos)
                fields[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return fields;
    }

    std::string dir;
};

void writeMix(const std::string& file, double seconds, int format = SF_FORMAT_WAV | SF_FORMAT_PCM_24)
{
    const int rate = 44100;
    const size_t frames = (size_t)(seconds * rate);
    std::vector<float> samples(frames * 2);
    uint32_t state = 9;
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = (double)f / rate;
        for (int c = 0; c < 2; ++c)
        {
            state = state * 1664525u + 1013904223u;
            const double noise = (state >> 8) / 8388608.0 - 1.0;
            samples[2 * f + c] =
                (float)(0.5 * std::exp(-std::fmod(t, 0.5) * 10.0) * noise + 0.2 * std::sin(2 * M_PI * 110.0 * t));
        }
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(out, nullptr);
    sf_writef_float(out, samples.data(), (sf_count_t)frames);
    sf_close(out);
}

double number(const std::map<std::string, std::string>& fields, const std::string& name)
{
    auto at = fields.find(name);
    return at == fields.end() ? NAN : std::atof(at->second.c_str());
}

std::string text(const std::map<std::string, std::string>& fields, const std::string& name)
{
    auto at = fields.find(name);
    return at == fields.end() ? "<missing>" : at->second;
}

TEST_F(RendererReportTest, ASearchReportsItsSettingsPassesLevelsAndTheTargetMet)
{
    writeMix(path("in.wav"), 3.0);
    RunResult run = render({"--target", "streaming", "--report", path("report.json"), path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Pass 1"), std::string::npos); // the text report still goes to the terminal
    auto f = parse(path("report.json"));
    EXPECT_EQ(text(f, "version"), "1");
    EXPECT_EQ(text(f, "mode"), "\"master\"");
    EXPECT_EQ(text(f, "status"), "0");
    EXPECT_EQ(text(f, "error"), "null");
    EXPECT_EQ(text(f, "target.name"), "\"streaming\"");
    EXPECT_EQ(number(f, "target.integratedLufs"), -14.0);
    EXPECT_EQ(number(f, "target.truePeakDb"), -1.0);
    ASSERT_EQ(text(f, "files#"), "1");
    EXPECT_EQ(text(f, "files.0.input"), "\"" + path("in.wav") + "\"");
    EXPECT_EQ(text(f, "files.0.output"), "\"" + path("out.wav") + "\"");
    EXPECT_EQ(text(f, "files.0.ok"), "true");
    EXPECT_EQ(text(f, "files.0.rate"), "44100");
    EXPECT_EQ(text(f, "files.0.channels"), "2");
    EXPECT_EQ(text(f, "files.0.bits"), "24");
    EXPECT_NEAR(number(f, "files.0.seconds"), 3.0, 1e-3);
    EXPECT_EQ(text(f, "files.0.targetMet"), "true");

    // The settings by name, normalised and in their units: the Drive the
    // last pass line of the text names.
    const int settings = std::atoi(text(f, "files.0.settings#").c_str());
    EXPECT_EQ(settings, 23); // every parameter a user sets
    bool sawDrive = false;
    for (int i = 0; i < settings; ++i)
    {
        const std::string at = "files.0.settings." + std::to_string(i);
        // Every unit as --set takes it, L/R Link's too (its host label is empty).
        if (text(f, at + ".name") == "\"L/R Link\"")
        {
            EXPECT_EQ(text(f, at + ".unit"), "\"%\"");
        }
        if (text(f, at + ".name") != "\"Drive\"")
            continue;
        sawDrive = true;
        EXPECT_EQ(text(f, at + ".unit"), "\"dB\"");
        const double value = number(f, at + ".value");
        EXPECT_NEAR(20 * std::log10(std::pow(2.0, (value - 0.5) * 8.0)),
                    std::atof(text(f, at + ".display").substr(1).c_str()), 1e-3);
    }
    EXPECT_TRUE(sawDrive);

    const int passes = std::atoi(text(f, "files.0.passes#").c_str());
    ASSERT_GE(passes, 1);
    for (int i = 0; i < passes; ++i)
        EXPECT_EQ(text(f, "files.0.passes." + std::to_string(i) + ".number"), std::to_string(i + 1));
    EXPECT_NEAR(number(f, "files.0.outputLevels.integratedLufs"), -14.0, 0.1);
    EXPECT_LE(number(f, "files.0.outputLevels.truePeakDb"), -1.0);
    EXPECT_LE(number(f, "files.0.outputLevels.samplePeakDb"), number(f, "files.0.outputLevels.truePeakDb"));
    EXPECT_FALSE(std::isnan(number(f, "files.0.inputLevels.rangeLu")));
    EXPECT_LT(number(f, "files.0.gainReduction.deepestDb"), 0.0);
    EXPECT_EQ(text(f, "files.0.warnings#"), "0");
}

TEST_F(RendererReportTest, ABatchOnStandardOutputNamesTheFailedFileWithAStableCode)
{
    writeMix(path("good.wav"), 2.0);
    std::ofstream(path("broken.wav")) << "not audio";
    RunResult run =
        render({"--target", "cd", "--report", "-", "--out-dir", path("out"), path("good.wav"), path("broken.wav")});
    EXPECT_EQ(run.status, 1);
    // Standard output holds the report alone; the text went to standard error.
    std::ofstream(path("stdout.json")) << run.out;
    auto f = parse(path("stdout.json"));
    EXPECT_NE(run.err.find("Batch    2 files"), std::string::npos) << run.err;
    EXPECT_EQ(text(f, "mode"), "\"batch\"");
    EXPECT_EQ(text(f, "status"), "1");
    ASSERT_EQ(text(f, "files#"), "2");
    EXPECT_EQ(text(f, "files.0.ok"), "true");
    EXPECT_EQ(text(f, "files.0.error"), "null");
    EXPECT_EQ(text(f, "files.1.ok"), "false");
    EXPECT_EQ(text(f, "files.1.error.code"), "\"input-unreadable\"");
    EXPECT_NE(text(f, "files.1.error.message").find("broken.wav"), std::string::npos);
    EXPECT_EQ(text(f, "files.1.outputLevels"), "null");
    EXPECT_EQ(text(f, "album"), "null");
}

// An analysis runs the search a master would and writes no audio: its
// settings are the ones the master then uses.
TEST_F(RendererReportTest, AnAnalysisWritesNothingAndGivesTheSettingsAMasterUses)
{
    writeMix(path("in.wav"), 3.0);
    RunResult run = render({"--analyse", "--target", "streaming", "--report", path("analysis.json"), path("in.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("nothing was written"), std::string::npos) << run.out;
    auto a = parse(path("analysis.json"));
    EXPECT_EQ(text(a, "mode"), "\"analyse\"");
    EXPECT_EQ(text(a, "files.0.output"), "null");
    EXPECT_EQ(text(a, "files.0.targetMet"), "true");
    EXPECT_NEAR(number(a, "files.0.outputLevels.integratedLufs"), -14.0, 0.1);

    ASSERT_EQ(
        render({"--target", "streaming", "--report", path("master.json"), path("in.wav"), path("out.wav")}).status, 0);
    auto m = parse(path("master.json"));
    for (const char* field : {"files.0.settings.0.value", "files.0.settings.1.value", "files.0.passes#",
                              "files.0.outputLevels.integratedLufs", "files.0.outputLevels.truePeakDb"})
        EXPECT_EQ(text(a, field), text(m, field)) << field;

    // Without a target: the levels alone, and still no file.
    RunResult plain = render({"--analyse", path("in.wav")});
    ASSERT_EQ(plain.status, 0);
    EXPECT_NE(plain.out.find("levels"), std::string::npos);
    EXPECT_EQ(plain.out.find("Pass"), std::string::npos);
    std::string listing = "ls " + shellQuoted(dir) +
                          " | grep -v -e in.wav -e out.wav -e '[.]json$' -e '[.]py$' -e "
                          "'[.]txt$' | wc -l >" +
                          shellQuoted(path("count.txt"));
    ASSERT_EQ(std::system(listing.c_str()), 0);
    EXPECT_EQ(std::atoi(slurp(path("count.txt")).c_str()), 0);
}

TEST_F(RendererReportTest, ARefusedCommandLineStillWritesAReport)
{
    RunResult run = render({"--report", path("report.json"), "--target", "nowhere", "a.wav", "b.wav"});
    EXPECT_EQ(run.status, 2);
    auto f = parse(path("report.json"));
    EXPECT_EQ(text(f, "status"), "2");
    EXPECT_EQ(text(f, "error.code"), "\"usage\"");
    EXPECT_NE(text(f, "error.message").find("nowhere"), std::string::npos);
    EXPECT_EQ(text(f, "files#"), "0");
}
} // namespace

// The written file's true peak is read back by ideal reconstruction as well
// as by BS.1770: both are reported, each by its name, and a true-peak target
// holds by both. With a loudness target alone the output may go over full
// scale, and then the report says so. A plain render reports both as well.
// With TP Guard on the output is
// low-passed, which must not read as gain reduction where nothing limits.
TEST_F(RendererReportTest, BothTruePeakFiguresAreReportedAndAnOverFullScaleIsSaid)
{
    writeMix(path("in.wav"), 2.0);
    RunResult held = render({"--target", "streaming", "--report", path("held.json"), path("in.wav"), path("held.wav")});
    ASSERT_EQ(held.status, 0) << held.err;
    EXPECT_NE(held.out.find("true peak by ideal reconstruction: output"), std::string::npos) << held.out;
    auto h = parse(path("held.json"));
    const double ideal = number(h, "files.0.reconstructedTruePeakDb");
    ASSERT_FALSE(std::isnan(ideal));
    EXPECT_LE(ideal, -1.0);
    EXPECT_LE(number(h, "files.0.outputLevels.truePeakDb"), -1.0);
    EXPECT_EQ(text(h, "files.0.warnings#"), "0");

    RunResult hot = render({"--loudness", "-6", "--report", path("hot.json"), path("in.wav"), path("hot.wav")});
    ASSERT_EQ(hot.status, 0) << hot.err;
    auto o = parse(path("hot.json"));
    ASSERT_GT(number(o, "files.0.reconstructedTruePeakDb"), 0.0);
    EXPECT_NE(hot.err.find("over full scale, as no true-peak target was set"), std::string::npos) << hot.err;
    EXPECT_EQ(text(o, "files.0.warnings#"), "1");

    // Drive far down with the guard on: the limiter never acts. A plain
    // render, with no target, reports both figures too.
    RunResult quiet = render({"--set", "Drive=-12dB", "--set", "TP Guard=on", "--report", path("quiet.json"),
                              path("in.wav"), path("quiet.wav")});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_NE(quiet.out.find("true peak by ideal reconstruction: output"), std::string::npos) << quiet.out;
    auto q = parse(path("quiet.json"));
    EXPECT_NEAR(number(q, "files.0.reconstructedTruePeakDb"), number(q, "files.0.outputLevels.truePeakDb"), 0.5);
    const size_t at = quiet.out.find("gain reduction (estimate): deepest ");
    ASSERT_NE(at, std::string::npos) << quiet.out;
    EXPECT_GT(std::atof(quiet.out.c_str() + at + std::strlen("gain reduction (estimate): deepest ")), -0.1)
        << quiet.out;
}
