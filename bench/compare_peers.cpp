// Side-by-side timing of this limiter, a peer limiter and a pass-through
// effect, all loaded through the renderer's host and fed the same loud
// material in 512-frame blocks through processReplacing. Passes of the
// configurations are interleaved, so that a burst of load from elsewhere on
// the machine hits all of them alike; each figure is the fastest pass (and
// the median pass), in ns of processor time per stereo frame; one more pass
// per configuration times every block for the worst block against the
// median one (and, since a shared machine's interrupts land in some block
// whatever runs, the 99.9th percentile block against the median). Prints a table and the ratios and writes both to a results
// file.
//
// compare_peers --ours PATH --peer PATH --pass-through PATH [--seconds 60]
//               [--passes 5] [--rates 44100,96000,192000] [--out FILE]
//               [--paths avx2,avx512] [--extra LABEL=PROGRAM[,INDEX=VALUE...]]...
// Each --extra adds a setting of this plug-in to the table, for example
// "no quantize=10,16=0" (a factory program with parameter 16 changed): it
// shows what one stage costs. --paths times every setting of ours once per
// instruction set named (sse2, avx2, avx512), in the same interleaved
// passes; without it, ours runs the path the plug-in picks itself. The path
// each one ran is printed: a path the processor lacks runs narrower.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <time.h>
#include <vector>

#include "dsp/SimdLevel.h"
#include "presets/FactoryPresets.h"
#include "tools/render/PluginHost.h"

namespace
{
constexpr int kBlock = 512;

struct Options
{
    std::string ours, peer, passThrough, out = "bench-results.txt";
    double seconds = 60.0;
    int passes = 5;
    std::vector<int> rates{44100, 96000, 192000};
    std::vector<std::string> extras; // LABEL=PROGRAM[,INDEX=VALUE...]
    std::vector<std::string> paths;  // instruction sets to force on ours; none: the plug-in's choice
};

// How one configuration is set up after loading; parameter values are
// normalised, as a host stores them.
struct Configuration
{
    std::string label;
    std::string library;
    int factoryProgram; // -1: none
    std::vector<std::pair<int, float>> parameters;
    std::string path; // ZELVO_SIMD while the instance is made; empty: as the environment has it
};

// Sets (or with an empty value removes) ZELVO_SIMD, which the plug-in reads
// when an instance is made.
void setSimdVariable(const std::string& value)
{
    if (value.empty())
        unsetenv("ZELVO_SIMD");
    else
        setenv("ZELVO_SIMD", value.c_str(), 1);
}

struct Figures
{
    std::vector<double> passNs; // ns per frame of every pass
    double worstBlockUs = 0.0;  // the slowest block of the block-timed pass
    double rareBlockUs = 0.0;   // its 99.9th percentile block: the worst the machine's hiccups leave alone
    double medianBlockUs = 0.0; // its median block
};

// Loud program material: partials with slow beating, a kick-like burst
// every half second and noise, normalised to full scale and raised by
// 12 dB, so that every limiter works all the time.
void makeMaterial(std::vector<float>& left, std::vector<float>& right, int rate, double seconds)
{
    const size_t frames = (size_t)(rate * seconds);
    std::vector<double> l(frames), r(frames);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.12);
    const double freqs[4] = {55.0, 220.0, 1250.0, 5300.0};
    const double twoPi = 2.0 * 3.141592653589793;
    double peak = 0.0;
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = double(i) / rate;
        const double beat = std::fmod(t, 0.5);
        const double kick = std::exp(-beat * 30.0) * std::sin(twoPi * 60.0 * beat);
        double vl = noise(rng) + 0.8 * kick, vr = noise(rng) + 0.8 * kick;
        for (int k = 0; k < 4; ++k)
        {
            const double depth = 0.6 + 0.4 * std::sin(twoPi * (0.7 + k) * t);
            vl += 0.4 * std::sin(twoPi * freqs[k] * t + k) * depth;
            vr += 0.4 * std::sin(twoPi * freqs[k] * 1.003 * t + 2 * k) * depth;
        }
        l[i] = vl;
        r[i] = vr;
        peak = std::max(peak, std::max(std::fabs(vl), std::fabs(vr)));
    }
    const double gain = 3.981071705534972 / peak; // +12 dB over full scale
    left.resize(frames);
    right.resize(frames);
    for (size_t i = 0; i < frames; ++i)
    {
        left[i] = float(l[i] * gain);
        right[i] = float(r[i] * gain);
    }
}

std::unique_ptr<PluginHost> loadConfiguration(const Configuration& c, int rate)
{
    auto host = std::make_unique<PluginHost>();
    std::string error;
    const char* environment = std::getenv("ZELVO_SIMD");
    const std::string saved = environment ? environment : "";
    if (!c.path.empty())
        setSimdVariable(c.path);
    const bool loaded = host->load(c.library, false, error);
    setSimdVariable(saved);
    if (!loaded)
    {
        std::fprintf(stderr, "%s: %s\n", c.label.c_str(), error.c_str());
        std::exit(1);
    }
    host->setSampleRate(float(rate));
    host->setBlockSize(kBlock);
    if (c.factoryProgram >= 0)
    {
        const FactoryPreset& p = kFactoryPresets[c.factoryProgram];
        float values[26];
        for (int i = 0; i < 26; ++i)
            values[i] = float(p.values[i]);
        host->applyProgram(p.name, values, 26);
    }
    for (const auto& [index, value] : c.parameters)
        host->setParameter(index, value);
    return host;
}

// The processor time of this thread, in ns. The machine is shared: wall
// time would also count the time slices other programs get while a pass
// runs, which says nothing about the plug-ins.
double threadNs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// One pass over the material, in ns of processor time per frame. With
// `blockUs` the time of every block is kept too; that costs two clock reads
// per block, so the passes that give the per-frame figures skip it.
double timePass(PluginHost& host, std::vector<float>& left, std::vector<float>& right, std::vector<double>* blockUs)
{
    std::vector<float> outLeft(kBlock), outRight(kBlock);
    const size_t frames = left.size();
    if (blockUs)
        blockUs->clear();
    host.startProcessing();
    const double start = threadNs();
    double blockStart = start;
    for (size_t at = 0; at + kBlock <= frames; at += kBlock)
    {
        float* inputs[2] = {left.data() + at, right.data() + at};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host.process(inputs, outputs, kBlock);
        if (blockUs)
        {
            const double now = threadNs();
            blockUs->push_back((now - blockStart) * 1e-3);
            blockStart = now;
        }
    }
    const double stop = threadNs();
    host.stopProcessing();
    return (stop - start) / double(frames / kBlock * kBlock);
}

double fastest(const Figures& f) { return *std::min_element(f.passNs.begin(), f.passNs.end()); }
double percentile(std::vector<double> v, double fraction)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(fraction * double(v.size())))];
}
double median(const std::vector<double>& v) { return percentile(v, 0.5); }

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        items.push_back(item);
    return items;
}

std::vector<int> parseRates(const std::string& text)
{
    std::vector<int> rates;
    for (const std::string& item : splitList(text))
        rates.push_back(std::atoi(item.c_str()));
    return rates;
}

// The path an instance made now with ZELVO_SIMD = name runs, by the
// plug-in's own rule.
std::string pathRun(const std::string& name)
{
    const char* environment = std::getenv("ZELVO_SIMD");
    const std::string saved = environment ? environment : "";
    if (!name.empty())
        setSimdVariable(name);
    const std::string run = simdLevelName(chosenSimdLevel());
    setSimdVariable(saved);
    return run;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i + 1 < argc; i += 2)
    {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--ours")
            o.ours = value;
        else if (key == "--peer")
            o.peer = value;
        else if (key == "--pass-through")
            o.passThrough = value;
        else if (key == "--seconds")
            o.seconds = std::atof(value.c_str());
        else if (key == "--passes")
            o.passes = std::max(1, std::atoi(value.c_str()));
        else if (key == "--rates")
            o.rates = parseRates(value);
        else if (key == "--out")
            o.out = value;
        else if (key == "--extra")
            o.extras.push_back(value);
        else if (key == "--paths")
            o.paths = splitList(value);
        else
            return false;
    }
    return (argc % 2) == 1 && !o.ours.empty() && !o.peer.empty() && !o.passThrough.empty() && o.seconds > 0.0;
}
} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o))
    {
        std::fprintf(stderr, "usage: compare_peers --ours PATH --peer PATH --pass-through PATH [--seconds S] "
                             "[--passes N] [--rates R1,R2,...] [--out FILE] [--paths sse2,avx2,avx512] "
                             "[--extra LABEL=PROGRAM[,INDEX=VALUE...]]\n");
        return 2;
    }
    // The peer's parameter 10 is its boost (0: off) and 14 its oversampling
    // mode (0: none, 0.25: 4x half-band).
    std::vector<Configuration> configurations = {
        {"pass-through", o.passThrough, -1, {}, ""},
        {"peer plain", o.peer, -1, {{10, 0.0f}, {14, 0.0f}}, ""},
        {"peer 4x oversampled", o.peer, -1, {{10, 0.0f}, {14, 0.25f}}, ""},
    };
    enum
    {
        kPassThrough,
        kPeerPlain,
        kPeerOversampled
    };
    // Ours: the standard settings (Current, Oversample on, CD Master 3,
    // the same with TP Guard), then the extras, once per path.
    std::vector<Configuration> settings = {
        {"Current", o.ours, 0, {}, ""},
        {"Oversample on", o.ours, 0, {{6, 1.0f}}, ""},
        {"CD Master 3 [recon]", o.ours, 10, {}, ""},
        {"CD3 + TP Guard", o.ours, 10, {{22, 1.0f}}, ""},
    };
    enum
    {
        kCurrent,
        kOversample,
        kCdMaster3,
        kCdMaster3Guarded
    };
    for (const std::string& extra : o.extras)
    {
        const size_t equals = extra.find('=');
        if (equals == std::string::npos)
            continue;
        Configuration c{extra.substr(0, equals), o.ours, 0, {}, ""};
        std::stringstream in(extra.substr(equals + 1));
        std::string item;
        if (std::getline(in, item, ','))
            c.factoryProgram = std::atoi(item.c_str());
        while (std::getline(in, item, ','))
        {
            const size_t at = item.find('=');
            if (at != std::string::npos)
                c.parameters.push_back({std::atoi(item.c_str()), float(std::atof(item.c_str() + at + 1))});
        }
        settings.push_back(c);
    }
    const std::vector<std::string> paths = o.paths.empty() ? std::vector<std::string>{""} : o.paths;
    // ours[p][s]: the configuration of setting s on path p.
    std::vector<std::vector<int>> ours(paths.size());
    for (size_t p = 0; p < paths.size(); ++p)
        for (Configuration c : settings)
        {
            c.label = "ours " + c.label + (o.paths.empty() ? "" : " [" + paths[p] + "]");
            c.path = paths[p];
            ours[p].push_back(int(configurations.size()));
            configurations.push_back(c);
        }
    const int kCount = int(configurations.size());

    std::string report;
    auto emit = [&](const char* format, auto... args) {
        char line[512];
        std::snprintf(line, sizeof line, format, args...);
        std::fputs(line, stdout);
        std::fflush(stdout);
        report += line;
    };

    {
        PluginHost peer;
        std::string error;
        if (peer.load(o.peer, false, error))
            emit("peer: %s; parameter 10 \"%s\", parameter 14 \"%s\"\n", peer.effectName().c_str(),
                 peer.parameterName(10).c_str(), peer.parameterName(14).c_str());
    }
    for (const std::string& path : paths)
        emit("ours%s%s%s runs the %s path\n", path.empty() ? "" : " [", path.c_str(), path.empty() ? "" : "]",
             pathRun(path).c_str());
    emit("%d interleaved passes of %.0f s of +12 dB material, %d-frame blocks, processReplacing\n\n", o.passes,
         o.seconds, kBlock);
    emit("%-34s %7s %9s %9s %9s %9s %9s %7s %7s\n", "configuration", "rate", "fast ns", "median ns", "worst us",
         "p99.9 us", "median us", "w/m", "p/m");

    std::vector<std::vector<Figures>> all(o.rates.size(), std::vector<Figures>(kCount));
    for (size_t r = 0; r < o.rates.size(); ++r)
    {
        const int rate = o.rates[r];
        std::vector<float> left, right;
        makeMaterial(left, right, rate, o.seconds);
        std::vector<std::unique_ptr<PluginHost>> hosts;
        for (const Configuration& c : configurations)
            hosts.push_back(loadConfiguration(c, rate));
        std::vector<Figures>& figures = all[r];
        std::vector<double> blockUs;
        blockUs.reserve(left.size() / kBlock + 1);
        for (int pass = 0; pass < o.passes; ++pass)
            for (int k = 0; k < kCount; ++k)
            {
                // A different configuration leads each pass.
                const int c = (k + pass) % kCount;
                figures[c].passNs.push_back(timePass(*hosts[c], left, right, nullptr));
            }
        for (int c = 0; c < kCount; ++c)
        {
            timePass(*hosts[c], left, right, &blockUs);
            figures[c].worstBlockUs = *std::max_element(blockUs.begin(), blockUs.end());
            figures[c].medianBlockUs = median(blockUs);
            figures[c].rareBlockUs = percentile(blockUs, 0.999);
        }
        for (int c = 0; c < kCount; ++c)
        {
            const Figures& f = figures[c];
            emit("%-34s %7d %9.2f %9.2f %9.1f %9.2f %9.2f %7.1f %7.2f\n", configurations[c].label.c_str(), rate,
                 fastest(f), median(f.passNs), f.worstBlockUs, f.rareBlockUs, f.medianBlockUs,
                 f.worstBlockUs / f.medianBlockUs, f.rareBlockUs / f.medianBlockUs);
        }
        emit("\n");
    }

    // The goals: ratio to the peer in the same run, per-frame cost at the
    // higher rates against 44.1 kHz.
    const struct
    {
        int setting, peer;
        double goal;
    } pairs[] = {{kCurrent, kPeerPlain, 0.60},
                 {kOversample, kPeerOversampled, 0.35},
                 {kCdMaster3, kPeerOversampled, 0.50},
                 {kCdMaster3Guarded, kPeerOversampled, 0.80}};
    constexpr double kRateGoal = 1.20;
    emit("ratios of the fastest passes (ours / peer)\n");
    emit("%-34s %7s %9s %9s %6s\n", "", "rate", "ratio", "net", "goal");
    // The SSE2 path is reported beside the others, with no goal.
    auto missed = [&](size_t p, bool met) {
        return met || pathRun(paths[p]) == "sse2" ? "" : "  missed";
    };
    for (size_t p = 0; p < paths.size(); ++p)
        for (size_t r = 0; r < o.rates.size(); ++r)
        {
            const std::vector<Figures>& f = all[r];
            const double base = fastest(f[kPassThrough]);
            for (const auto& pair : pairs)
            {
                const int c = ours[p][pair.setting];
                const double ratio = fastest(f[c]) / fastest(f[pair.peer]);
                emit("%-34s %7d %9.3f %9.3f %6.2f%s\n", configurations[c].label.c_str(), o.rates[r], ratio,
                     (fastest(f[c]) - base) / (fastest(f[pair.peer]) - base), pair.goal, missed(p, ratio <= pair.goal));
            }
        }
    if (o.rates.size() > 1 && o.rates[0] == 44100)
    {
        emit("\nper-frame cost against 44.1 kHz (goal <= %.2f)\n", kRateGoal);
        for (size_t p = 0; p < paths.size(); ++p)
            for (int s : {kCurrent, kOversample, kCdMaster3, kCdMaster3Guarded})
                for (size_t r = 1; r < o.rates.size(); ++r)
                {
                    const int c = ours[p][s];
                    const double cost = fastest(all[r][c]) / fastest(all[0][c]);
                    emit("%-34s %7d %9.3f%s\n", configurations[c].label.c_str(), o.rates[r], cost,
                         missed(p, cost <= kRateGoal));
                }
    }
    emit("(\"net\" subtracts the pass-through's cost from both)\n");

    FILE* file = std::fopen(o.out.c_str(), "w");
    if (!file)
    {
        std::fprintf(stderr, "cannot write %s\n", o.out.c_str());
        return 1;
    }
    std::fputs(report.c_str(), file);
    std::fclose(file);
    return 0;
}
