// Mastering to delivery targets with the built qdx-render, on material these
// tests generate: the files it writes are read back with libsndfile and
// measured with libebur128 (its own true-peak meter, not the renderer's) and,
// where it is installed, with ffmpeg's ebur128 filter, which shares no code
// with either.
#include <gtest/gtest.h>

#include <ebur128.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/RendererProcess.h"

#include "tools/render/TruePeakMeter.h"

namespace
{
constexpr int kRate = 44100;

using namespace renderertest;

// Deterministic noise for the generated material.
class Noise
{
public:
    explicit Noise(uint32_t seed) : state(seed) {}
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state;
};

using Stereo = std::vector<float>; // interleaved

// Plucked strings in a quiet room: sparse, decaying notes, peaks well below
// full scale, loudness near -25 LUFS.
Stereo acousticLike(double seconds)
{
    const size_t frames = (size_t)(seconds * kRate);
    Stereo out(frames * 2, 0.0f);
    Noise noise(7);
    for (double onset = 0.05; onset < seconds; onset += 0.45 + 0.2 * (noise.next() + 1.0))
    {
        const double f0 = 150.0 + 150.0 * (noise.next() + 1.0);
        const double pan = 0.5 + 0.3 * noise.next();
        for (size_t f = (size_t)(onset * kRate); f < frames; ++f)
        {
            const double t = (double)f / kRate - onset;
            if (t > 2.0)
                break;
            double v = std::exp(-t * 2.5) * (std::sin(2 * M_PI * f0 * t) + 0.5 * std::sin(4 * M_PI * f0 * t) +
                                             0.25 * std::sin(6 * M_PI * f0 * t));
            out[2 * f] += (float)(0.12 * v * (1.0 - pan));
            out[2 * f + 1] += (float)(0.12 * v * pan);
        }
    }
    for (float& s : out)
        s += (float)(0.0005 * noise.next());
    return out;
}

// Kick, bass and hats: dense, peaks at full scale, loud.
Stereo electronicLike(double seconds)
{
    const size_t frames = (size_t)(seconds * kRate);
    Stereo out(frames * 2);
    Noise noise(11);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = (double)f / kRate;
        const double beat = std::fmod(t, 0.5), hat = std::fmod(t, 0.125);
        const double kick =
            std::exp(-beat * 18.0) * std::sin(2 * M_PI * (45.0 * beat + 60.0 * (1 - std::exp(-beat * 30)) / 30));
        const double saw = 2.0 * std::fmod(t * 55.0, 1.0) - 1.0;
        const double hats = std::exp(-hat * 60.0) * noise.next();
        const double l = 0.62 * kick + 0.22 * saw + 0.22 * hats;
        const double r = 0.62 * kick + 0.22 * saw - 0.2 * hats;
        out[2 * f] = (float)std::clamp(l, -1.0, 1.0);
        out[2 * f + 1] = (float)std::clamp(r, -1.0, 1.0);
    }
    return out;
}

// A voice: syllables of band-limited noise at about four a second, phrases
// of 1.6 s and pauses of 0.8 s.
Stereo speechLike(double seconds)
{
    const size_t frames = (size_t)(seconds * kRate);
    Stereo out(frames * 2);
    Noise noise(13);
    double low = 0.0, lower = 0.0;
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = (double)f / kRate;
        low += 0.15 * (noise.next() - low);
        lower += 0.01 * (low - lower);
        const bool talking = std::fmod(t, 2.4) < 1.6;
        const double syllable = std::fabs(std::sin(2 * M_PI * 2.0 * t));
        const double v = talking ? 0.9 * syllable * (low - lower) : 0.0;
        out[2 * f] = out[2 * f + 1] = (float)v;
    }
    return out;
}

void writeFile(const std::string& path, const Stereo& audio, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT)
{
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_writef_float(f, audio.data(), (sf_count_t)audio.size() / 2);
    sf_close(f);
}

struct Measured
{
    double lufs = -HUGE_VAL;
    double dbtp = -HUGE_VAL;
    SF_INFO info{};
    std::vector<double> samples;
    std::shared_ptr<ebur128_state> state; // kept for album loudness
};

Measured measure(const std::string& path)
{
    Measured m;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &m.info);
    EXPECT_NE(f, nullptr) << path;
    if (!f)
        return m;
    m.samples.resize((size_t)(m.info.frames * m.info.channels));
    sf_readf_double(f, m.samples.data(), m.info.frames);
    sf_close(f);
    m.state.reset(ebur128_init((unsigned)m.info.channels, (unsigned long)m.info.samplerate,
                               EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK),
                  [](ebur128_state* s) { ebur128_destroy(&s); });
    ebur128_add_frames_double(m.state.get(), m.samples.data(), (size_t)m.info.frames);
    ebur128_loudness_global(m.state.get(), &m.lufs);
    double peak = 0.0;
    for (int c = 0; c < m.info.channels; ++c)
    {
        double v = 0.0;
        ebur128_true_peak(m.state.get(), (unsigned)c, &v);
        peak = std::max(peak, v);
    }
    m.dbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return m;
}

struct Target
{
    const char* name;
    double lufs; // NAN: none
    double dbtp;
};

const Target kTargets[] = {
    {"streaming", -14.0, -1.0}, {"streaming-quiet", -16.0, -1.0}, {"ebu-r128", -23.0, -1.0}, {"atsc-a85", -24.0, -2.0},
    {"cd", NAN, -0.3},
};

class MasteringTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/zelvo-master-XXXXXX";
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

    std::string dir;
};

int passCount(const std::string& report)
{
    int count = 0;
    for (size_t at = report.find("Pass "); at != std::string::npos; at = report.find("Pass ", at + 1))
        ++count;
    return count;
}

TEST_F(MasteringTest, EveryTargetIsMetOnGeneratedMaterial)
{
    struct Material
    {
        const char* name;
        Stereo audio;
        int format;
    } materials[] = {
        {"acoustic", acousticLike(4.0), SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"electronic", electronicLike(4.0), SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"speech", speechLike(4.0), SF_FORMAT_WAV | SF_FORMAT_FLOAT},
    };
    for (const Material& material : materials)
    {
        const std::string input = path(std::string(material.name) + ".wav");
        writeFile(input, material.audio, material.format);
        const double inputLoudness = measure(input).lufs;
        for (const Target& target : kTargets)
        {
            const std::string label = std::string(material.name) + " to " + target.name;
            const std::string output = path(std::string(material.name) + "-" + target.name + ".wav");
            RunResult run = render({"--target", target.name, input, output});
            ASSERT_EQ(run.status, 0) << label << "\n" << run.out << run.err;
            Measured m = measure(output);
            if (!std::isnan(target.lufs))
                EXPECT_NEAR(m.lufs, target.lufs, 0.1) << label << "\n" << run.out;
            else // the ceiling alone: the loudness stays where the settings put it
                EXPECT_GT(m.lufs, inputLoudness - 3.0) << label;
            EXPECT_LE(m.dbtp, target.dbtp) << label << "\n" << run.out;
            EXPECT_EQ(m.info.frames * 2, (sf_count_t)material.audio.size()) << label;
            EXPECT_GE(passCount(run.out), 1) << label;
            EXPECT_LE(passCount(run.out), 6) << label << "\n" << run.out;
            for (const char* figure :
                 {"true peak", "integrated", "range", "sample peak", "gain reduction", "settings: Drive"})
                EXPECT_NE(run.out.find(figure), std::string::npos) << label << ": " << figure;
        }
    }
}

// With 16-bit output the word length comes from the plug-in's requantizer:
// its dither shows as noise of a step or two where the input is silent,
// which a plain rounding of the output would leave at exact zero.
TEST_F(MasteringTest, SixteenBitOutputIsDitheredByThePlugin)
{
    Stereo audio = electronicLike(3.0);
    std::fill(audio.begin(), audio.begin() + kRate * 2, 0.0f); // the first second silent
    writeFile(path("in.wav"), audio);
    RunResult run = render({"--target", "streaming", "--bits", "16", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    Measured m = measure(path("out.wav"));
    EXPECT_EQ(m.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_NEAR(m.lufs, -14.0, 0.1);
    EXPECT_LE(m.dbtp, -1.0);
    int nonZero = 0;
    for (int f = 1000; f < kRate - 1000; ++f)
        nonZero += m.samples[2 * (size_t)f] != 0.0;
    EXPECT_GT(nonZero, kRate / 4) << "no dither in the silent second";
    EXPECT_NE(run.out.find("16 bits by the plug-in's requantizer"), std::string::npos) << run.out;

    // Asked to leave the requantizer off, the file is rounded plainly.
    RunResult plain =
        render({"--target", "streaming", "--bits", "16", "--set", "Quantize=0", path("in.wav"), path("plain.wav")});
    ASSERT_EQ(plain.status, 0) << plain.err;
    Measured p = measure(path("plain.wav"));
    for (int f = 1000; f < kRate - 1000; ++f)
        ASSERT_EQ(p.samples[2 * (size_t)f], 0.0) << f;
}

// A mono file at 96 kHz (the true peak then comes from 2x oversampling)
// written as 32-bit integers.
TEST_F(MasteringTest, MonoHighRateFileMeetsTheTargetIn32BitIntegers)
{
    Stereo stereo = electronicLike(4.0);
    std::vector<float> mono(stereo.size() / 2);
    for (size_t f = 0; f < mono.size(); ++f)
        mono[f] = stereo[2 * f];
    SF_INFO info{};
    info.samplerate = 96000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path("mono.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, mono.data(), (sf_count_t)mono.size());
    sf_close(f);

    RunResult run = render({"--target", "atsc-a85", "--bits", "32", path("mono.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    Measured m = measure(path("out.wav"));
    EXPECT_EQ(m.info.channels, 1);
    EXPECT_EQ(m.info.samplerate, 96000);
    EXPECT_EQ(m.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_32);
    EXPECT_NEAR(m.lufs, -24.0, 0.1);
    EXPECT_LE(m.dbtp, -2.0);
}

TEST_F(MasteringTest, UnreachableTargetsAndUnmeasurableInputsAreRefusedWithoutOutput)
{
    writeFile(path("acoustic.wav"), acousticLike(4.0));
    writeFile(path("silent.wav"), Stereo(kRate * 2 * 2, 0.0f));
    Stereo shortClip = electronicLike(0.2);
    writeFile(path("short.wav"), shortClip);
    struct Case
    {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--loudness", "-1", path("acoustic.wav")}, "needs more than the full Drive"},
        {{"--loudness", "-69", path("acoustic.wav")}, "needs less than the lowest Drive and Output"},
        {{"--target", "streaming", path("silent.wav")}, "the input is silent"},
        {{"--target", "cd", path("silent.wav")}, "the input is silent"},
        {{"--target", "ebu-r128", path("short.wav")}, "at least 0.4 s"},
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> args = c.args;
        args.push_back(path("out.wav"));
        RunResult run = render(args);
        EXPECT_EQ(run.status, 1) << c.args[1] << " " << c.args[2] << "\n" << run.out;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("no output was written"), std::string::npos) << run.err;
        EXPECT_FALSE(exists(path("out.wav")));
        EXPECT_FALSE(exists(path("out.wav.part")));
    }

    // A clip too short to gate still takes a ceiling.
    RunResult cd = render({"--target", "cd", path("short.wav"), path("short-cd.wav")});
    ASSERT_EQ(cd.status, 0) << cd.err;
    EXPECT_LE(measure(path("short-cd.wav")).dbtp, -0.3);

    RunResult unknown = render({"--target", "vinyl", path("acoustic.wav"), path("out.wav")});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown target \"vinyl\""), std::string::npos) << unknown.err;
    RunResult album = render({"--album", "--target", "streaming", path("acoustic.wav"), path("out.wav")});
    EXPECT_EQ(album.status, 2);
    EXPECT_NE(album.err.find("--out-dir"), std::string::npos) << album.err;
}

TEST_F(MasteringTest, ListTargetsGivesEveryDeliveryWithItsNumbers)
{
    RunResult run = render({"--list-targets"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* row : {"streaming", "-14 LUFS", "streaming-quiet", "-16 LUFS", "ebu-r128", "-23 LUFS", "atsc-a85",
                            "-24 LUFS", "-2.0 dBTP", "cd", "-0.3 dBTP"})
        EXPECT_NE(run.out.find(row), std::string::npos) << row << "\n" << run.out;
}

// ffmpeg's ebur128 filter is a loudness meter written apart from libebur128.
TEST_F(MasteringTest, AnIndependentMeterAgreesWithinATenthOfALu)
{
    if (!exists("/usr/bin/ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed (tools/ci/install-packages.sh installs it)";
    writeFile(path("in.wav"), electronicLike(6.0), SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    RunResult run = render({"--target", "streaming", path("in.wav"), path("out.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string command = "ffmpeg -nostdin -hide_banner -nostats -i " + shellQuoted(path("out.wav")) +
                          " -af ebur128=metadata=1,ametadata=mode=print:key=lavfi.r128.I -f null - >" +
                          shellQuoted(path("ffmpeg.txt")) + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string log = slurp(path("ffmpeg.txt"));
    size_t at = log.rfind("lavfi.r128.I=");
    ASSERT_NE(at, std::string::npos) << log;
    const double ffmpegLufs = std::atof(log.c_str() + at + 13);
    EXPECT_NEAR(ffmpegLufs, measure(path("out.wav")).lufs, 0.1);
    EXPECT_NEAR(ffmpegLufs, -14.0, 0.1);
}

TEST_F(MasteringTest, ABatchWithAnUnreadableFileMastersTheOthers)
{
    writeFile(path("a.wav"), acousticLike(4.0));
    writeFile(path("b.wav"), speechLike(4.0));
    writeFile(path("c.flac"), electronicLike(4.0), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::ofstream(path("broken.wav")) << "not audio";
    RunResult run = render({"--target", "streaming", "--jobs", "2", "--out-dir", path("out"), path("a.wav"),
                            path("broken.wav"), path("b.wav"), path("c.flac")});
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    for (const char* name : {"a.wav", "b.wav", "c.flac"})
    {
        ASSERT_TRUE(exists(path("out/") + name)) << name << "\n" << run.out << run.err;
        Measured m = measure(path("out/") + name);
        EXPECT_NEAR(m.lufs, -14.0, 0.1) << name;
        EXPECT_LE(m.dbtp, -1.0) << name;
        EXPECT_NE(run.out.find(std::string("] ") + name + ": passes"), std::string::npos) << name << "\n" << run.out;
    }
    EXPECT_EQ(measure(path("out/c.flac")).info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_FALSE(exists(path("out/broken.wav")));
    EXPECT_NE(run.out.find("broken.wav: FAILED"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("1 failed"), std::string::npos) << run.out;

    // --format changes the container of every output.
    RunResult aiff = render({"--target", "cd", "--format", "aiff", "--out-dir", path("aiff"), path("a.wav")});
    ASSERT_EQ(aiff.status, 0) << aiff.err;
    EXPECT_EQ(measure(path("aiff/a.aiff")).info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
}

// One set of settings for the whole album: the album meets the target, every
// track stays under the ceiling and the tracks keep their loudness
// differences where none of them is limited hard.
TEST_F(MasteringTest, AlbumMeetsTheTargetAndKeepsTheTracksRelativeLoudness)
{
    Stereo loud = acousticLike(5.0), soft = loud;
    for (float& s : soft)
        s *= 0.5f; // 6 dB down
    writeFile(path("1-loud.wav"), loud);
    writeFile(path("2-soft.wav"), soft);
    writeFile(path("3-speech.wav"), speechLike(5.0));
    std::vector<std::string> names = {"1-loud.wav", "2-soft.wav", "3-speech.wav"};
    std::vector<std::string> args = {"--album", "--target", "ebu-r128", "--out-dir", path("album")};
    for (const std::string& n : names)
        args.push_back(path(n));
    RunResult run = render(args);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    std::vector<Measured> in, out;
    std::vector<ebur128_state*> states;
    for (const std::string& n : names)
    {
        in.push_back(measure(path(n)));
        out.push_back(measure(path("album/") + n));
        states.push_back(out.back().state.get());
    }
    double albumLoudness = 0.0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &albumLoudness);
    EXPECT_NEAR(albumLoudness, -23.0, 0.1) << run.out;
    for (size_t i = 0; i < names.size(); ++i)
    {
        EXPECT_LE(out[i].dbtp, -1.0) << names[i];
        EXPECT_NEAR(out[i].lufs - out[0].lufs, in[i].lufs - in[0].lufs, 0.5) << names[i] << "\n" << run.out;
    }
    EXPECT_NEAR(out[0].lufs - out[1].lufs, 6.0, 0.5);
}

// The renderer's true-peak meter, which skips stretches too small to matter,
// reads what libebur128's reads: on peaks that fall between samples, after
// loud material has set a high mark, at every oversampling factor, in mono
// and stereo.
TEST(TruePeakMeter, ReadsAsLibebur128DoesOnPeaksBetweenSamples)
{
    for (int rate : {44100, 48000, 96000, 192000})
        for (int channels : {1, 2})
        {
            const int frames = rate / 2;
            std::vector<double> signal((size_t)(frames * channels));
            Noise noise(3);
            for (int f = 0; f < frames; ++f)
                for (int c = 0; c < channels; ++c)
                {
                    double v;
                    if (f < frames / 4) // noise peaking at 0.5
                        v = 0.5 * noise.next();
                    else if (f < frames / 2) // silence, then one impulse
                        v = f == frames / 3 ? 0.3 : 0.0;
                    else // a quarter-rate sine whose samples miss its crests: 0.42 on the grid, 0.6 between
                        v = 0.6 * std::sin(M_PI / 2 * f + M_PI / 4 + c);
                    signal[(size_t)(f * channels + c)] = v;
                }
            ebur128_state* reference = ebur128_init((unsigned)channels, (unsigned long)rate, EBUR128_MODE_TRUE_PEAK);
            ebur128_add_frames_double(reference, signal.data(), (size_t)frames);
            double expected = 0.0;
            for (int c = 0; c < channels; ++c)
            {
                double v = 0.0;
                ebur128_true_peak(reference, (unsigned)c, &v);
                expected = std::max(expected, v);
            }
            ebur128_destroy(&reference);

            TruePeakMeter meter(channels, rate);
            for (int f = 0; f < frames; f += 512) // in blocks, as the renderer feeds it
                meter.add(signal.data() + (size_t)(f * channels), std::min(512, frames - f));
            EXPECT_NEAR(meter.truePeakDb(), 20.0 * std::log10(expected), 1e-4) << rate << " Hz, " << channels;
            if (rate < 192000)
            {
                EXPECT_GT(meter.truePeakDb(), 20.0 * std::log10(0.55)) << rate << " Hz: the crest between samples";
            }
        }
}

// The settings a search found, saved as a preset, give the same master
// when loaded into a plain render.
TEST_F(MasteringTest, SavedPresetHoldsTheSettingsTheSearchFound)
{
    writeFile(path("in.wav"), electronicLike(5.0));
    RunResult run =
        render({"--target", "streaming", "--save-preset", path("found.qdx"), path("in.wav"), path("searched.wav")});
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(exists(path("found.qdx")));
    RunResult again = render({"--preset-file", path("found.qdx"), path("in.wav"), path("again.wav")});
    ASSERT_EQ(again.status, 0) << again.err;
    Measured searched = measure(path("searched.wav")), replayed = measure(path("again.wav"));
    EXPECT_NEAR(replayed.lufs, -14.0, 0.1);
    EXPECT_LE(replayed.dbtp, -1.0);
    EXPECT_EQ(replayed.samples, searched.samples);
}
} // namespace
