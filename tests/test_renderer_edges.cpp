// The renderer at its edges, run as a user or a script runs it: interrupted
// and failing writes, hostile names and samples, files cut short, rates the
// plug-in cannot serve, batches that collide, and the promise that the same
// inputs and options give the same bytes however many workers run.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/RendererProcess.h"
#include "tests/support/SanitizedBuild.h"

namespace
{
using namespace renderertest;

class RendererEdgesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-edges-XXXXXX";
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

    // Runs a shell script with $R set to the renderer and the test's folder
    // as the working directory; returns its exit status.
    int shell(const std::string& script)
    {
        std::string command = "cd " + shellQuoted(dir) + " && R=" + shellQuoted(buildDirectory() + "/qdx-render") +
                              " ASAN_OPTIONS=detect_leaks=0 bash -c " + shellQuoted(script) +
                              " >stdout.txt 2>stderr.txt </dev/null";
        int raw = std::system(command.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    std::string dir;
};

// Loud, dense stereo material (noise bursts on a beat over a low tone), the
// kind a search has to limit.
std::vector<float> denseMix(double seconds, int rate = 44100, uint32_t seed = 3)
{
    const size_t frames = (size_t)(seconds * rate);
    std::vector<float> out(frames * 2);
    uint32_t state = seed;
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = (double)f / rate;
        const double beat = std::exp(-std::fmod(t, 0.25) * 18.0);
        for (int c = 0; c < 2; ++c)
        {
            state = state * 1664525u + 1013904223u;
            const double noise = (state >> 8) / 8388608.0 - 1.0;
            out[2 * f + c] = (float)(0.6 * beat * noise + 0.3 * std::sin(2 * M_PI * (55.0 + 2 * c) * t));
        }
    }
    return out;
}

void writeFloats(const std::string& file, const std::vector<float>& samples, int rate = 44100,
                 int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_float(f, samples.data(), (sf_count_t)samples.size() / 2), (sf_count_t)samples.size() / 2);
    sf_close(f);
}

std::string bytesOf(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(RendererEdgesTest, PartialFilesAreRemovedWhenTheWriteFailsOrTheRunIsInterrupted)
{
    writeFloats(path("in.wav"), denseMix(2.0));
    // No room for a single byte: the header cannot be written. The limit
    // holds for the renderer alone; its messages go out through a pipe.
    EXPECT_EQ(shell("(ulimit -f 0; trap '' XFSZ; exec \"$R\" in.wav out.wav) 2>&1 | cat; exit ${PIPESTATUS[0]}"), 1);
    EXPECT_TRUE(contains(slurp(path("stdout.txt")), "cannot write")) << slurp(path("stdout.txt"));
    EXPECT_FALSE(exists(path("out.wav.part")));
    EXPECT_FALSE(exists(path("out.wav")));

    // SIGTERM and SIGINT while the output streams out: the render of a long
    // file in small blocks is caught once its partial file exists.
    writeFloats(path("long.wav"), denseMix(60.0));
    for (const char* signalName : {"TERM", "INT"})
    {
        const std::string script = "\"$R\" --block 16 long.wav out.wav & pid=$!; "
                                   "for i in $(seq 1 2000); do [ -e out.wav.part ] && break; sleep 0.005; done; "
                                   "[ -e out.wav.part ] || exit 90; kill -" +
                                   std::string(signalName) + " $pid; wait $pid; exit 0";
        ASSERT_EQ(shell(script), 0) << signalName << ": the render ended before it could be interrupted";
        EXPECT_FALSE(exists(path("out.wav.part"))) << signalName;
        EXPECT_FALSE(exists(path("out.wav"))) << signalName;
    }
}

TEST_F(RendererEdgesTest, ProgramNamesWithControlBytesArePrintedEscaped)
{
    ASSERT_EQ(render({"--program", "5", "--save-bank", path("bank.qdb")}).status, 0);
    {
        // Program 0's name, after the five header bytes: a screen clear and
        // a line that looks like an error of the renderer's own.
        std::fstream bank(path("bank.qdb"), std::ios::in | std::ios::out | std::ios::binary);
        const char name[] = "\x1b[2J\nqdx-render: error";
        bank.seekp(5);
        bank.write(name, sizeof name - 1);
    }
    RunResult run = render({"--bank-file", path("bank.qdb"), "--list-params"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Program \"\\x1b[2J\\x0aqdx-render: error\"")) << run.out;
    EXPECT_FALSE(contains(run.out, "\x1b"));
    EXPECT_EQ(run.out.find("\nqdx-render"), std::string::npos);

    writeFloats(path("in.wav"), denseMix(0.5));
    RunResult rendered = render({"--bank-file", path("bank.qdb"), path("in.wav"), path("out.wav")});
    ASSERT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_TRUE(contains(rendered.out, "Program  \"\\x1b[2J")) << rendered.out;
    EXPECT_FALSE(contains(rendered.out, "\x1b"));
}

TEST_F(RendererEdgesTest, NonFiniteSamplesAreCountedAndReportedInBothModes)
{
    std::vector<float> mix = denseMix(3.0);
    for (float& s : mix)
        s *= 0.3f;
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    mix[2 * 22050] = inf; // frame 22050, 0.5 s
    mix[2 * 22050 + 1] = -inf;
    mix[2 * 30000] = nan;
    writeFloats(path("in.wav"), mix);

    RunResult plain = render({path("in.wav"), path("plain.wav")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(contains(plain.err, "3 samples that are not numbers")) << plain.err;
    EXPECT_TRUE(contains(plain.err, "first at frame 22050 (0.500 s)")) << plain.err;
    EXPECT_FALSE(contains(plain.out, "inf")) << plain.out; // neither "inf dBFS" nor "-inf"
    EXPECT_FALSE(contains(plain.out, "-200")) << plain.out;

    RunResult searched = render({"--target", "streaming", path("in.wav"), path("searched.wav")});
    ASSERT_EQ(searched.status, 0) << searched.out << searched.err;
    EXPECT_TRUE(contains(searched.err, "3 samples that are not numbers")) << searched.err;
    EXPECT_FALSE(contains(searched.err, "silent"));
}

// A FLAC stream states its length in its header; cut at a frame boundary
// it decodes cleanly up to the cut.
TEST_F(RendererEdgesTest, AFileShorterThanItsHeaderPromisesWarns)
{
    writeFloats(path("full.flac"), denseMix(3.0), 44100, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    const std::string bytes = bytesOf(path("full.flac"));
    const size_t cut = bytes.find("\xff\xf8", bytes.size() / 3); // a frame's sync code
    ASSERT_NE(cut, std::string::npos);
    std::ofstream(path("cut.flac"), std::ios::binary) << bytes.substr(0, cut);

    for (bool searched : {false, true})
    {
        std::vector<std::string> args{path("cut.flac"), path(searched ? "s.flac" : "p.flac")};
        if (searched)
            args.insert(args.begin(), {"--target", "streaming"});
        RunResult run = render(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(contains(run.err, "its header promises 132300 frames (3.000 s) but the file holds")) << run.err;
    }
}

TEST_F(RendererEdgesTest, RatesThePluginCannotServeAreRefusedNamingTheRange)
{
    writeFloats(path("slow.wav"), denseMix(2.0, 1000), 1000);
    for (std::vector<std::string> extra : {std::vector<std::string>{}, {"--target", "streaming"}})
    {
        extra.push_back(path("slow.wav"));
        extra.push_back(path("out.wav"));
        RunResult run = render(extra);
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_TRUE(contains(run.err, "1000 Hz")) << run.err;
        EXPECT_TRUE(contains(run.err, "5000 to 200000 Hz")) << run.err;
        EXPECT_FALSE(exists(path("out.wav")));
        EXPECT_FALSE(contains(run.out, "Pass 1"));
    }
}

TEST_F(RendererEdgesTest, AnUnwritableOutputIsFoundBeforeTheFirstPass)
{
    writeFloats(path("in.wav"), denseMix(2.0));
    RunResult run = render({"--target", "streaming", path("in.wav"), path("missing/out.wav")});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.err, "cannot write " + path("missing/out.wav"))) << run.err;
    EXPECT_FALSE(contains(run.out, "Pass 1")) << run.out;
}

// The written file goes in place by a rename: where OUTPUT names a pipe or a
// device node, that would put a file in its place (the superuser's run
// over /dev/null included). Such a name is refused in every mode and stays
// what it was; a folder is named as one.
TEST_F(RendererEdgesTest, AnOutputNameTakenByAPipeADeviceOrAFolderIsRefusedAndLeftAlone)
{
    writeFloats(path("in.wav"), denseMix(1.0));
    ASSERT_EQ(mkfifo(path("pipe.wav").c_str(), 0666), 0);
    std::vector<std::string> taken = {"pipe.wav"};
    // Device nodes need the superuser; a null device is harmless if written.
    if (geteuid() == 0 && mknod(path("null.wav").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        taken.push_back("null.wav");
    auto kindOf = [&](const std::string& name) {
        struct stat info;
        return lstat(path(name).c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0u;
    };
    for (const std::string& name : taken)
    {
        const unsigned kind = kindOf(name);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{path("in.wav"), path(name)},
              std::vector<std::string>{"--target", "streaming", path("in.wav"), path(name)}})
        {
            RunResult run = render(args);
            EXPECT_EQ(run.status, 1) << name;
            EXPECT_TRUE(contains(run.err, "cannot write " + path(name) + ": it is not a regular file")) << run.err;
            EXPECT_FALSE(contains(run.out, "Pass 1")) << run.out;
            EXPECT_EQ(kindOf(name), kind) << name << " was replaced";
            EXPECT_FALSE(exists(path(name + ".part")));
        }
    }
    ASSERT_EQ(mkdir(path("out").c_str(), 0777), 0);
    ASSERT_EQ(mkfifo(path("out/in.wav").c_str(), 0666), 0);
    RunResult batch = render({"--out-dir", path("out"), path("in.wav")});
    EXPECT_EQ(batch.status, 1);
    EXPECT_TRUE(contains(batch.err + batch.out, "it is not a regular file")) << batch.err << batch.out;
    EXPECT_EQ(kindOf("out/in.wav"), (unsigned)S_IFIFO);

    ASSERT_EQ(mkdir(path("folder.wav").c_str(), 0777), 0);
    RunResult folder = render({path("in.wav"), path("folder.wav")});
    EXPECT_EQ(folder.status, 1);
    EXPECT_TRUE(contains(folder.err, "cannot write " + path("folder.wav") + ": it is a folder")) << folder.err;
}

// A report that cannot be written whole leaves the last one as it was (a
// script may still read it); a pipe gets the report as it comes.
TEST_F(RendererEdgesTest, AReportIsReplacedWholeOrNotAtAllAndAPipeGetsItAsItComes)
{
    writeFloats(path("in.wav"), denseMix(1.0));
    ASSERT_EQ(shell("\"$R\" --analyse in.wav --report report.json"), 0) << slurp(path("stderr.txt"));
    const std::string before = bytesOf(path("report.json"));
    ASSERT_TRUE(contains(before, "\"mode\": \"analyse\"")) << before;
    // No room for one byte: the new report cannot be written at all. (The
    // messages go out through a pipe, which the limit does not reach.)
    EXPECT_EQ(shell("(ulimit -f 0; trap '' XFSZ; exec \"$R\" --analyse in.wav --report report.json) 2>&1 | cat; "
                    "exit ${PIPESTATUS[0]}"),
              1);
    EXPECT_TRUE(contains(slurp(path("stdout.txt")), "cannot write the report report.json"))
        << slurp(path("stdout.txt"));
    EXPECT_EQ(bytesOf(path("report.json")), before);

    EXPECT_EQ(shell("\"$R\" --analyse in.wav --report >(cat >piped.json); wait"), 0) << slurp(path("stderr.txt"));
    // The reader of the substituted pipe may still be writing: wait for the end.
    for (int i = 0; i < 200 && !contains(bytesOf(path("piped.json")), "}\n"); ++i)
        usleep(10000);
    EXPECT_TRUE(contains(bytesOf(path("piped.json")), "\"mode\": \"analyse\"")) << bytesOf(path("piped.json"));
}

// The search plans the same passes whatever runs them, so the bytes agree
// with one worker, with three, and inside a batch beside another file.
TEST_F(RendererEdgesTest, TheSameInputGivesTheSameBytesWithAnyJobsAloneOrInABatch)
{
    // The demo's material: its first pass misses, so one pass at a time and
    // two side by side would take different second passes.
    ASSERT_EQ(render({"--demo", "--set", "Power=0", path("demo.wav")}).status, 0);
    {
        // Its first two seconds are enough, and keep the test short.
        SF_INFO info{};
        SNDFILE* demo = sf_open(path("demo-input.wav").c_str(), SFM_READ, &info);
        ASSERT_NE(demo, nullptr);
        std::vector<int> frames(2 * 88200);
        ASSERT_EQ(sf_readf_int(demo, frames.data(), 88200), 88200);
        sf_close(demo);
        SNDFILE* mix = sf_open(path("mix.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(mix, nullptr);
        sf_writef_int(mix, frames.data(), 88200);
        sf_close(mix);
    }
    writeFloats(path("other.wav"), denseMix(3.0, 44100, 11));
    ASSERT_EQ(render({"--target", "streaming", "--jobs", "1", path("mix.wav"), path("one.wav")}).status, 0);
    ASSERT_EQ(render({"--target", "streaming", "--jobs", "3", path("mix.wav"), path("three.wav")}).status, 0);
    RunResult batch = render(
        {"--target", "streaming", "--jobs", "2", "--out-dir", path("batch"), path("mix.wav"), path("other.wav")});
    ASSERT_EQ(batch.status, 0) << batch.err;
    const std::string one = bytesOf(path("one.wav"));
    ASSERT_GT(one.size(), 1000u);
    EXPECT_TRUE(one == bytesOf(path("three.wav")));
    EXPECT_TRUE(one == bytesOf(path("batch/mix.wav")));

    // Float WAV: no time stamp (a PEAK chunk's) may tell two runs apart.
    writeFloats(path("float.wav"), denseMix(1.0));
    ASSERT_EQ(render({"--target", "streaming", path("float.wav"), path("f1.wav")}).status, 0);
    sleep(1);
    ASSERT_EQ(render({"--target", "streaming", path("float.wav"), path("f2.wav")}).status, 0);
    EXPECT_TRUE(bytesOf(path("f1.wav")) == bytesOf(path("f2.wav")));
}

TEST_F(RendererEdgesTest, BatchNameCollisionsAreRefusedUpFrontAndCountsAreHonest)
{
    ASSERT_EQ(mkdir(path("a").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(path("b").c_str(), 0777), 0);
    writeFloats(path("a/x.wav"), denseMix(1.0));
    writeFloats(path("b/x.wav"), denseMix(1.0, 44100, 5));
    RunResult run = render({"--target", "streaming", "--out-dir", path("out"), path("a/x.wav"), path("b/x.wav")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, path("a/x.wav") + " and " + path("b/x.wav"))) << run.err;
    EXPECT_FALSE(exists(path("out/x.wav")));

    std::ofstream(path("broken.wav")) << "not audio";
    RunResult alone = render({"--target", "streaming", "--jobs", "256", "--out-dir", path("out"), path("broken.wav")});
    EXPECT_EQ(alone.status, 1);
    EXPECT_TRUE(contains(alone.err, "the file failed; nothing was written")) << alone.err;
    EXPECT_FALSE(contains(alone.err, "the others"));
    EXPECT_FALSE(contains(alone.out, "256 workers")) << alone.out;
}

// The progress lines, read through a pseudo-terminal (script(1)): each
// round of passes, each encoding and each decoding draws a line with its
// frames and, once there is a pace, the time left; a batch prints one line
// per finished file and no bars (its files run side by side). Into a pipe
// the report comes alone, unless --progress asks for the lines.
TEST_F(RendererEdgesTest, ProgressLinesOnATerminalOnly)
{
    if (!exists("/usr/bin/script"))
        GTEST_SKIP() << "no script(1) to provide a terminal";
        // Long enough that a round of passes on one worker takes a measurable
        // time; a sanitized renderer runs several times slower.
#if defined(ZELVO_SANITIZED)
    const int seconds = 8;
#else
    const int seconds = 40;
#endif
    writeFloats(path("in.wav"), denseMix(seconds));
    writeFloats(path("short.wav"), denseMix(3.0));
    writeFloats(path("short2.wav"), denseMix(2.0));
    ASSERT_EQ(shell("/usr/bin/script -qec '\"$R\" --jobs 1 --target streaming in.wav out.oga "
                    ">report.txt' /dev/null"),
              0);
    const std::string screen = slurp(path("stdout.txt"));
    const std::string report = slurp(path("report.txt"));
    for (const char* label : {"\rPasses 1-2 [", "\rEncoding 1 [", "\rDecoding 1 ["})
        EXPECT_TRUE(contains(screen, label)) << label << "\n" << screen;
    // Every round of the search has its bar, up to the last pass printed.
    const size_t lastPass = report.rfind("Pass ");
    ASSERT_NE(lastPass, std::string::npos) << report;
    const int last = std::atoi(report.c_str() + lastPass + 5);
    for (int first = 1; first <= last; first += 2)
        EXPECT_TRUE(contains(screen, "\rPass" + std::string(first == last ? " " : "es ") + std::to_string(first)))
            << first << " of " << last << "\n"
            << screen;
    // Two passes to the round.
    const std::string round = std::to_string(2 * 44100 * seconds);
    EXPECT_TRUE(contains(screen, "/" + round + " frames")) << screen;
    EXPECT_TRUE(contains(screen, round + "/" + round + " frames")) << screen;
    EXPECT_TRUE(std::regex_search(screen, std::regex("\\] +[0-9]+% [0-9]+/[0-9]+ frames, [0-9]+ s left"))) << screen;

    ASSERT_EQ(shell("/usr/bin/script -qec '\"$R\" --target streaming --out-dir batch short.wav short2.wav' /dev/null"),
              0);
    const std::string batch = slurp(path("stdout.txt"));
    EXPECT_TRUE(contains(batch, "[1/2] ")) << batch;
    EXPECT_TRUE(contains(batch, "[2/2] ")) << batch;
    EXPECT_FALSE(contains(batch, "\rPass")) << batch;

    RunResult piped = render({"--target", "streaming", "--quality", "0", path("short.wav"), path("piped.oga")});
    ASSERT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "");
    EXPECT_FALSE(contains(piped.out, "\r"));
    RunResult asked =
        render({"--progress", "--target", "streaming", "--quality", "0", path("short.wav"), path("asked.oga")});
    ASSERT_EQ(asked.status, 0);
    EXPECT_TRUE(contains(asked.err, "\rEncoding 1 [")) << asked.err;
    EXPECT_FALSE(contains(asked.out, "\r"));
}

// Deliveries keep the input's tags and broadcast chunk; --tag overrides.
TEST_F(RendererEdgesTest, TagsAndTheBroadcastChunkAreCarriedToTheOutput)
{
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        SNDFILE* f = sf_open(path("in.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        SF_BROADCAST_INFO broadcast{};
        std::snprintf(broadcast.description, sizeof broadcast.description, "Edges take 3");
        std::snprintf(broadcast.originator, sizeof broadcast.originator, "QDX test");
        ASSERT_EQ(sf_command(f, SFC_SET_BROADCAST_INFO, &broadcast, sizeof broadcast), SF_TRUE);
        sf_set_string(f, SF_STR_TITLE, "Old title");
        sf_set_string(f, SF_STR_ARTIST, "The Artist");
        std::vector<float> mix = denseMix(1.0);
        sf_writef_float(f, mix.data(), (sf_count_t)mix.size() / 2);
        sf_close(f);
    }
    ASSERT_EQ(render({"--target", "streaming", "--tag", "title=New title", "--tag", "date=2026", path("in.wav"),
                      path("out.wav")})
                  .status,
              0);
    ASSERT_EQ(render({"--tag", "album=Album", path("in.wav"), path("out.flac")}).status, 0);

    SF_INFO info{};
    SNDFILE* wav = sf_open(path("out.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(wav, nullptr);
    EXPECT_STREQ(sf_get_string(wav, SF_STR_TITLE), "New title");
    EXPECT_STREQ(sf_get_string(wav, SF_STR_ARTIST), "The Artist");
    EXPECT_STREQ(sf_get_string(wav, SF_STR_DATE), "2026");
    SF_BROADCAST_INFO broadcast{};
    ASSERT_EQ(sf_command(wav, SFC_GET_BROADCAST_INFO, &broadcast, sizeof broadcast), SF_TRUE);
    EXPECT_STREQ(broadcast.description, "Edges take 3");
    EXPECT_STREQ(broadcast.originator, "QDX test");
    sf_close(wav);

    SNDFILE* flac = sf_open(path("out.flac").c_str(), SFM_READ, &info);
    ASSERT_NE(flac, nullptr);
    EXPECT_STREQ(sf_get_string(flac, SF_STR_TITLE), "Old title");
    EXPECT_STREQ(sf_get_string(flac, SF_STR_ALBUM), "Album");
    sf_close(flac);

    RunResult wrong = render({"--tag", "mood=calm", path("in.wav"), path("x.wav")});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(contains(wrong.err, "title, artist, album, comment or date")) << wrong.err;
}

// --rate: inputs at 44.1, 48 and 96 kHz in one batch all come out at the
// delivery rate, their target met there; a plain render converts as well.
TEST_F(RendererEdgesTest, ABatchOfMixedRatesIsDeliveredAtOneRate)
{
    writeFloats(path("a44.wav"), denseMix(2.0, 44100), 44100);
    writeFloats(path("b48.wav"), denseMix(2.0, 48000, 5), 48000);
    writeFloats(path("c96.wav"), denseMix(2.0, 96000, 7), 96000);
    RunResult run = render({"--rate", "48000", "--target", "streaming", "--report", path("r.json"), "--out-dir",
                            path("out"), path("a44.wav"), path("b48.wav"), path("c96.wav")});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const char* name : {"a44.wav", "b48.wav", "c96.wav"})
    {
        SF_INFO info{};
        SNDFILE* f = sf_open(path(std::string("out/") + name).c_str(), SFM_READ, &info);
        ASSERT_NE(f, nullptr) << name;
        sf_close(f);
        EXPECT_EQ(info.samplerate, 48000) << name;
        EXPECT_NEAR((double)info.frames, 2.0 * 48000, 2) << name;
    }
    EXPECT_TRUE(contains(slurp(path("r.json")), "\"inputRate\": 96000"));

    RunResult plain = render({"--rate", "96000", path("a44.wav"), path("up.wav")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(contains(plain.out, "44100 Hz converted to 96000 Hz")) << plain.out;
    SF_INFO info{};
    SNDFILE* f = sf_open(path("up.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    sf_close(f);
    EXPECT_EQ(info.samplerate, 96000);

    EXPECT_EQ(render({"--rate", "1000", path("a44.wav"), path("x.wav")}).status, 2);
}

TEST_F(RendererEdgesTest, PowerOffWithATargetSaysThePluginIsSwitchedOff)
{
    writeFloats(path("in.wav"), denseMix(2.0));
    RunResult run = render({"--set", "Power=0", "--target", "streaming", path("in.wav"), path("out.wav")});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "Power is off")) << run.err;
    EXPECT_FALSE(contains(run.err, "full Drive"));
    EXPECT_FALSE(exists(path("out.wav")));
}

TEST_F(RendererEdgesTest, AnOutputExtensionTheRendererDoesNotWriteIsRefused)
{
    writeFloats(path("in.wav"), denseMix(0.5));
    for (const char* name : {"out.xyz", "out.aac", "out.mp4"})
    {
        RunResult run = render({path("in.wav"), path(name)});
        EXPECT_EQ(run.status, 2) << name << ": " << run.out;
        EXPECT_TRUE(contains(run.err, "does not write")) << name << ": " << run.err;
        EXPECT_FALSE(exists(path(name))) << name;
        EXPECT_FALSE(exists(path(std::string(name) + ".part"))) << name;
    }
}
} // namespace
