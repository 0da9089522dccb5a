// The command-line renderer, run as a user runs it: the built qdx-render on
// real files that these tests write and read back with libsndfile.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RendererProcess.h"

#include "presets/FactoryPresets.h"

namespace
{
using namespace renderertest;

// Files of one test live in their own temporary folder.
class RendererTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-render-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        std::string command = "rm -rf " + shellQuoted(dir);
        EXPECT_EQ(std::system(command.c_str()), 0);
    }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    RunResult render(const std::vector<std::string>& args, const std::string& workingDirectory = "")
    {
        return runRenderer(args, dir, workingDirectory);
    }

    std::string dir;
};

// Integer samples, left-justified to 32 bits as libsndfile's int calls use.
struct IntAudio
{
    int channels = 2;
    int rate = 44100;
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    std::vector<int32_t> samples;
    int64_t frames() const { return (int64_t)samples.size() / channels; }
};

// Noise and a sine, below half scale so that nothing is clipped, on the grid
// of `bits`; both channels differ.
IntAudio testSignal(int frames, int channels, int bits, int rate = 44100)
{
    IntAudio audio;
    audio.channels = channels;
    audio.rate = rate;
    audio.samples.resize((size_t)frames * channels);
    uint32_t state = 12345;
    const int shift = 32 - bits;
    const double full = std::ldexp(1.0, bits - 1);
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
        {
            state = state * 1664525u + 1013904223u;
            double noise = ((state >> 8) / 16777216.0 - 0.5) * 0.3;
            double v = 0.3 * std::sin(0.01 * f * (c + 1)) + noise;
            audio.samples[(size_t)f * channels + c] = (int32_t)std::lround(v * full) * (1 << shift);
        }
    return audio;
}

void writeInts(const std::string& file, const IntAudio& audio)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_int(f, audio.samples.data(), audio.frames()), audio.frames());
    sf_close(f);
}

struct ReadBack
{
    SF_INFO info{};
    std::vector<int32_t> ints;
    std::vector<double> doubles;
};

ReadBack readBack(const std::string& file)
{
    ReadBack r;
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &r.info);
    EXPECT_NE(f, nullptr) << file << ": " << sf_strerror(nullptr);
    if (!f)
        return r;
    r.ints.resize((size_t)(r.info.frames * r.info.channels));
    sf_readf_int(f, r.ints.data(), r.info.frames);
    sf_seek(f, 0, SEEK_SET);
    r.doubles.resize(r.ints.size());
    sf_readf_double(f, r.doubles.data(), r.info.frames);
    sf_close(f);
    return r;
}

int latencyFromReport(const std::string& out)
{
    size_t at = out.find("Latency");
    return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 7);
}

// Power off: the plug-in is a latency-compensated bypass, so the aligned
// output must be the input, sample for sample, at every rate class.
struct RateCase
{
    int rate;
    int latency;
};

class PowerOffRoundTrip : public RendererTest, public ::testing::WithParamInterface<RateCase>
{};

TEST_P(PowerOffRoundTrip, AlignedGivesTheInputBackAndNoAlignShiftsItByTheLatency)
{
    const RateCase rc = GetParam();
    IntAudio input = testSignal(5003, 2, 16, rc.rate); // not a whole number of blocks
    writeInts(path("in.wav"), input);

    RunResult aligned = render({"--set", "Power=0", path("in.wav"), path("aligned.wav")});
    ASSERT_EQ(aligned.status, 0) << aligned.err;
    EXPECT_EQ(latencyFromReport(aligned.out), rc.latency);
    EXPECT_EQ(aligned.err.find('\r'), std::string::npos); // no progress bar into a file
    ReadBack a = readBack(path("aligned.wav"));
    EXPECT_EQ(a.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(a.info.samplerate, rc.rate);
    EXPECT_EQ(a.ints, input.samples);

    RunResult raw = render({"--no-align", "--set", "power=0", path("in.wav"), path("raw.wav")});
    ASSERT_EQ(raw.status, 0) << raw.err;
    ReadBack r = readBack(path("raw.wav"));
    ASSERT_EQ(r.info.frames, input.frames());
    const size_t shift = (size_t)rc.latency * 2;
    for (size_t i = 0; i < r.ints.size(); ++i)
    {
        int32_t expected = i < shift ? 0 : input.samples[i - shift];
        ASSERT_EQ(r.ints[i], expected) << "sample " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(RateClasses, PowerOffRoundTrip,
                         ::testing::Values(RateCase{44100, 159}, RateCase{96000, 287}, RateCase{192000, 543}));

TEST_F(RendererTest, OutputBitsFollowTheInputOrTheBitsOption)
{
    IntAudio input = testSignal(3000, 2, 24);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    writeInts(path("in24.wav"), input);

    ASSERT_EQ(render({"--set", "Power=0", path("in24.wav"), path("same.wav")}).status, 0);
    ReadBack same = readBack(path("same.wav"));
    EXPECT_EQ(same.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(same.ints, input.samples);

    ASSERT_EQ(render({"--bits", "16", "--set", "Power=0", path("in24.wav"), path("b16.wav")}).status, 0);
    ReadBack b16 = readBack(path("b16.wav"));
    EXPECT_EQ(b16.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(b16.ints.size(), input.samples.size());
    for (size_t i = 0; i < b16.ints.size(); ++i)
    {
        // Rounded to the nearest 16-bit step.
        int32_t expected = (int32_t)std::nearbyint(input.samples[i] / 65536.0) * 65536;
        ASSERT_EQ(b16.ints[i], expected) << "sample " << i;
    }

    ASSERT_EQ(render({"--bits=32f", "--set", "Power=0", path("in24.wav"), path("f32.wav")}).status, 0);
    ReadBack f32 = readBack(path("f32.wav"));
    EXPECT_EQ(f32.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ASSERT_EQ(f32.doubles.size(), input.samples.size());
    for (size_t i = 0; i < f32.doubles.size(); ++i)
        ASSERT_EQ(f32.doubles[i], input.samples[i] / 2147483648.0) << "sample " << i;

    ASSERT_EQ(render({"--bits", "24", "--set", "Power=0", path("b16.wav"), path("back24.wav")}).status, 0);
    ReadBack back24 = readBack(path("back24.wav"));
    EXPECT_EQ(back24.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(back24.ints, b16.ints);

    RunResult wrongBits = render({"--bits", "20", path("in24.wav"), path("x.wav")});
    EXPECT_EQ(wrongBits.status, 2);
    EXPECT_NE(wrongBits.err.find("--bits"), std::string::npos);
}

TEST_F(RendererTest, FlacAndAiffInAndOut)
{
    IntAudio input = testSignal(4000, 2, 24);
    input.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    writeInts(path("in.flac"), input);

    ASSERT_EQ(render({"--set", "Power=0", path("in.flac"), path("out.aiff")}).status, 0);
    ReadBack aiff = readBack(path("out.aiff"));
    EXPECT_EQ(aiff.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    EXPECT_EQ(aiff.info.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
    EXPECT_EQ(aiff.ints, input.samples);

    ASSERT_EQ(render({"--set", "Power=0", path("out.aiff"), path("back.flac")}).status, 0);
    ReadBack flac = readBack(path("back.flac"));
    EXPECT_EQ(flac.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(flac.ints, input.samples);

    // FLAC holds no float samples: the renderer says so and keeps 24 bits.
    ASSERT_EQ(render({"--bits", "32f", "--set", "Power=0", path("in.flac"), path("f.wav")}).status, 0);
    RunResult toFlac = render({"--set", "Power=0", path("f.wav"), path("f.flac")});
    ASSERT_EQ(toFlac.status, 0) << toFlac.err;
    EXPECT_NE(toFlac.err.find("warning"), std::string::npos);
    EXPECT_EQ(readBack(path("f.flac")).ints, input.samples);

    RunResult floatFlac = render({"--bits", "32f", path("in.flac"), path("g.flac")});
    EXPECT_NE(floatFlac.status, 0);
    EXPECT_FALSE(exists(path("g.flac")));
}

TEST_F(RendererTest, MonoFileIsProcessedAsMonoAndWrittenBackMono)
{
    IntAudio input = testSignal(4000, 1, 16);
    writeInts(path("mono.wav"), input);

    ASSERT_EQ(render({"--set", "Power=0", path("mono.wav"), path("bypass.wav")}).status, 0);
    ReadBack bypass = readBack(path("bypass.wav"));
    EXPECT_EQ(bypass.info.channels, 1);
    EXPECT_EQ(bypass.ints, input.samples);

    // Limiting a mono file: one channel out, within full scale.
    RunResult hard =
        render({"--program", "Limiter Hard", "--set", "Drive=1", "--bits", "32f", path("mono.wav"), path("hard.wav")});
    ASSERT_EQ(hard.status, 0) << hard.err;
    ReadBack limited = readBack(path("hard.wav"));
    EXPECT_EQ(limited.info.channels, 1);
    EXPECT_EQ(limited.info.frames, input.frames());
    for (double v : limited.doubles)
        ASSERT_LE(std::fabs(v), 1.0);
}

TEST_F(RendererTest, BadInputIsRefusedWithAMessageAndNoOutput)
{
    IntAudio three = testSignal(1000, 3, 16);
    writeInts(path("three.wav"), three);
    RunResult refused = render({path("three.wav"), path("out.wav")});
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.err.find("3 channels"), std::string::npos) << refused.err;
    EXPECT_FALSE(exists(path("out.wav")));

    RunResult missing = render({path("nothing.wav"), path("out.wav")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot read"), std::string::npos) << missing.err;

    std::ofstream(path("text.wav")) << "not audio at all";
    RunResult garbage = render({path("text.wav"), path("out.wav")});
    EXPECT_EQ(garbage.status, 1);
    EXPECT_NE(garbage.err.find("cannot read"), std::string::npos) << garbage.err;
    EXPECT_FALSE(exists(path("out.wav")));

    // Writing over the input would destroy it while it is being read.
    IntAudio input = testSignal(1000, 2, 16);
    writeInts(path("keep.wav"), input);
    RunResult overwrite = render({path("keep.wav"), path("keep.wav")});
    EXPECT_NE(overwrite.status, 0);
    EXPECT_EQ(readBack(path("keep.wav")).ints, input.samples);
}

TEST_F(RendererTest, UnknownProgramOrParameterIsRefused)
{
    writeInts(path("in.wav"), testSignal(1000, 2, 16));
    struct Case
    {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--program", "Not A Program"}, "unknown program \"Not A Program\""},
        {{"--program", "24"}, "unknown program \"24\""},
        {{"--set", "Loudness=0.5"}, "unknown parameter \"Loudness\""},
        {{"--set", "Drive=1.5"}, "normalised number"},
        {{"--set", "Drive"}, "NAME=VALUE"},
        {{"--block", "0"}, "--block"},
        {{"--frobnicate"}, "unknown option"},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> args = c.args;
        args.push_back(path("in.wav"));
        args.push_back(path("out.wav"));
        RunResult run = render(args);
        EXPECT_EQ(run.status, 2) << c.args[0];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_FALSE(exists(path("out.wav")));
    }
}

TEST_F(RendererTest, ProgramsAndParametersAreSelectedByNameOrNumber)
{
    RunResult byNumber = render({"--list-params", "--program", "8", "--set", "release=1"});
    ASSERT_EQ(byNumber.status, 0) << byNumber.err;
    EXPECT_NE(byNumber.out.find("Program \"CD Master 1\""), std::string::npos) << byNumber.out;
    EXPECT_NE(byNumber.out.find("1000.000 ms"), std::string::npos) << byNumber.out; // --set after the program
    EXPECT_NE(byNumber.out.find("Leveller"), std::string::npos);

    RunResult byName = render({"--list-params", "--program", "tv hot"});
    ASSERT_EQ(byName.status, 0) << byName.err;
    EXPECT_NE(byName.out.find("Program \"TV Hot\""), std::string::npos);
    EXPECT_NE(byName.out.find("9.030900 dB"), std::string::npos) << byName.out; // its Drive
}

// The true-peak guard by its name: the report's true peak of the output
// stays under the ceiling (Output -0.01 dB) that it passes with the guard off.
TEST_F(RendererTest, TruePeakGuardByNameHoldsTheReportedTruePeakUnderTheCeiling)
{
    IntAudio input = testSignal(44100, 2, 24);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    writeInts(path("in.wav"), input);
    auto outputTruePeak = [&](const char* guard) {
        RunResult run = render({"--program", "CD Master 3 [recon]", "--set", "Drive=1", "--set",
                                std::string("TP Guard=") + guard, path("in.wav"), path("out.wav")});
        EXPECT_EQ(run.status, 0) << run.err;
        const size_t row = run.out.find("  output ");
        const size_t unit = run.out.find(" dBTP", row);
        if (row == std::string::npos || unit == std::string::npos)
            return 99.0;
        return std::stod(run.out.substr(run.out.rfind(' ', unit - 1) + 1));
    };
    const double off = outputTruePeak("0"), on = outputTruePeak("1");
    EXPECT_GT(off, -0.01);
    EXPECT_LE(on, -0.01);
}

TEST_F(RendererTest, ListProgramsShowsAllFactoryNames)
{
    RunResult run = render({"--list-programs"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const FactoryPreset& preset : kFactoryPresets)
        EXPECT_NE(run.out.find(preset.name), std::string::npos) << preset.name;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 25); // a heading and 24 programs
}

TEST_F(RendererTest, SampleRateOutsideThePluginsRangeWarns)
{
    IntAudio input = testSignal(2000, 2, 16, 4000);
    writeInts(path("slow.wav"), input);
    RunResult run = render({"--set", "Power=0", path("slow.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("warning"), std::string::npos);
    EXPECT_NE(run.err.find("4000 Hz"), std::string::npos) << run.err;
    EXPECT_EQ(latencyFromReport(run.out), 159);
    ReadBack out = readBack(path("out.wav"));
    EXPECT_EQ(out.info.samplerate, 4000);
    EXPECT_EQ(out.ints, input.samples);
}

TEST_F(RendererTest, DemoWritesTheGeneratedInputAndItsMaster)
{
    RunResult run = render({"--demo"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    ReadBack input = readBack(path("demo-master-input.wav"));
    ReadBack master = readBack(path("demo-master.wav"));
    EXPECT_EQ(input.info.samplerate, 44100);
    EXPECT_EQ(input.info.channels, 2);
    EXPECT_NEAR(input.info.frames / 44100.0, 8.0, 0.5);
    EXPECT_EQ(master.info.frames, input.info.frames);
    EXPECT_NE(master.ints, input.ints);
    double peak = 0.0;
    for (double v : input.doubles)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 0.5); // loud enough to drive the limiter
    EXPECT_NE(run.out.find("CD Master 1"), std::string::npos);
    for (const char* figure : {"sample peak", "true peak", "LUFS", "LU", "gain reduction"})
        EXPECT_NE(run.out.find(figure), std::string::npos) << figure;

    // The generator is seeded: a second run writes the same input.
    RunResult named = render({"--demo", "--program", "Limiter Fast", path("again-master.flac")});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(readBack(path("again-master-input.flac")).ints, input.ints);
    EXPECT_TRUE(exists(path("again-master.flac")));
}

TEST_F(RendererTest, DoubleCallbackEqualsTheFloatPathWithinFloatPrecision)
{
    IntAudio input = testSignal(20000, 2, 24);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    writeInts(path("in.wav"), input);
    std::vector<std::string> settings = {"--program", "Limiter Hard", "--set", "Drive=0.9", "--bits", "32f"};
    auto withFiles = [&](std::vector<std::string> args, const std::string& out) {
        args.insert(args.end(), settings.begin(), settings.end());
        args.push_back(path("in.wav"));
        args.push_back(path(out));
        return args;
    };
    ASSERT_EQ(render(withFiles({}, "float.wav")).status, 0);
    RunResult twice = render(withFiles({"--double"}, "double.wav"));
    ASSERT_EQ(twice.status, 0) << twice.err;
    EXPECT_NE(twice.out.find("64-bit"), std::string::npos);
    ReadBack f = readBack(path("float.wav")), d = readBack(path("double.wav"));
    ASSERT_EQ(f.doubles.size(), d.doubles.size());
    double worst = 0.0;
    for (size_t i = 0; i < f.doubles.size(); ++i)
        worst = std::max(worst, std::fabs(f.doubles[i] - d.doubles[i]));
    EXPECT_LE(worst, 1.0 / (1 << 23));
}

TEST_F(RendererTest, BlockSizeDoesNotChangeTheResult)
{
    writeInts(path("in.wav"), testSignal(6000, 2, 16));
    std::vector<std::string> common = {"--program", "Loud It Up", "--bits", "32f"};
    std::vector<std::string> a = common, b = common;
    a.insert(a.end(), {"--block", "4096", path("in.wav"), path("a.wav")});
    b.insert(b.end(), {"--block", "37", path("in.wav"), path("b.wav")});
    ASSERT_EQ(render(a).status, 0);
    ASSERT_EQ(render(b).status, 0);
    EXPECT_EQ(readBack(path("a.wav")).doubles, readBack(path("b.wav")).doubles);
}

TEST_F(RendererTest, ReportsGainReductionOnlyWhereTheLimiterCanAct)
{
    writeInts(path("in.wav"), testSignal(20000, 2, 16));
    RunResult bypass = render({"--set", "Power=0", path("in.wav"), path("a.wav")});
    ASSERT_EQ(bypass.status, 0);
    EXPECT_NE(bypass.out.find("gain reduction (estimate): none, power is off"), std::string::npos) << bypass.out;

    RunResult quiet = render({"--set", "Drive=0", path("in.wav"), path("b.wav")}); // -24 dB: nothing reaches -30 dBFS
    ASSERT_EQ(quiet.status, 0);
    EXPECT_NE(quiet.out.find("not measured"), std::string::npos) << quiet.out;
}

// A steady sine at -6 dBFS driven by +12 dB must be held at full scale: the
// limiter takes 6.02 dB off, whether the output gain is fixed or automatic.
TEST_F(RendererTest, GainReductionEstimateMatchesAKnownReduction)
{
    IntAudio sine;
    sine.samples.resize(2 * 3 * 44100);
    for (size_t f = 0; f < sine.samples.size() / 2; ++f)
    {
        int32_t v = (int32_t)std::lround(0.5 * 32767 * std::sin(2.0 * M_PI * 1000.0 * (double)f / 44100.0));
        sine.samples[2 * f] = sine.samples[2 * f + 1] = v * 65536;
    }
    writeInts(path("sine.wav"), sine);
    for (const char* autoOut : {"AutoOut=0", "AutoOut=1"})
    {
        RunResult run =
            render({"--set", "Drive=0.75", "--set", autoOut, "--bits", "32f", path("sine.wav"), path("out.wav")});
        ASSERT_EQ(run.status, 0) << run.err;
        size_t at = run.out.find("deepest ");
        ASSERT_NE(at, std::string::npos) << run.out;
        double deepest = std::atof(run.out.c_str() + at + 8);
        at = run.out.find("average ");
        ASSERT_NE(at, std::string::npos);
        double average = std::atof(run.out.c_str() + at + 8);
        EXPECT_NEAR(deepest, -6.02, 0.1) << autoOut << "\n" << run.out;
        EXPECT_NEAR(average, -6.02, 0.15) << autoOut << "\n" << run.out;
    }
}

TEST_F(RendererTest, BenchPrintsTimePerFrameAndRealTimeFactor)
{
    RunResult run = render({"--bench", "--demo", "--block", "256"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("ns per stereo frame"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("real-time factor"), std::string::npos);
    EXPECT_FALSE(exists(path("demo-master.wav")));

    RunResult noInput = render({"--bench"});
    EXPECT_EQ(noInput.status, 2);
}

// On a terminal the renderer draws a progress bar on stderr; `script` gives
// it one.
TEST_F(RendererTest, ProgressBarOnATerminal)
{
    if (!exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1) to provide a terminal";
    writeInts(path("in.wav"), testSignal(100000, 2, 16));
    std::string command =
        "ASAN_OPTIONS=detect_leaks=0 /usr/bin/script -qec " +
        shellQuoted(shellQuoted(buildDirectory() + "/qdx-render") + " " + shellQuoted(path("in.wav")) + " " +
                    shellQuoted(path("out.wav")) + " >/dev/null") +
        " /dev/null >" + shellQuoted(path("tty.txt")) + " </dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string screen = slurp(path("tty.txt"));
    EXPECT_NE(screen.find("\rRendering ["), std::string::npos) << screen;
    EXPECT_NE(screen.find("] 100%"), std::string::npos) << screen;
    EXPECT_TRUE(exists(path("out.wav")));
}

TEST_F(RendererTest, HelpListsEveryOption)
{
    RunResult run = render({"--help"});
    ASSERT_EQ(run.status, 0);
    for (const char* option : {"--program", "--set", "--bits", "--no-align", "--double", "--block", "--plugin",
                               "--demo", "--bench", "--list-programs", "--list-params", "estimate"})
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
}
} // namespace
