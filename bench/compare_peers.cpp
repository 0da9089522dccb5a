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
//               [--extra LABEL=PROGRAM[,INDEX=VALUE...]]...
// Each --extra adds a setting of this plug-in to the table, for example
// "no quantize=10,16=0" (a factory program with parameter 16 changed): it
// shows what one stage costs.
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
};

// How one configuration is set up after loading; parameter values are
// normalised, as a host stores them.
struct Configuration
{
    std::string label;
    std::string library;
    int factoryProgram; // -1: none
    std::vector<std::pair<int, float>> parameters;
};

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
    if (!host->load(c.library, false, error))
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

std::vector<int> parseRates(const std::string& text)
{
    std::vector<int> rates;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ','))
        rates.push_back(std::atoi(item.c_str()));
    return rates;
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
                             "[--passes N] [--rates R1,R2,...] [--out FILE]\n");
        return 2;
    }
    // The peer's parameter 10 is its boost (0: off) and 14 its oversampling
    // mode (0: none, 0.25: 4x half-band).
    std::vector<Configuration> configurations = {
        {"pass-through", o.passThrough, -1, {}},
        {"ours Current", o.ours, 0, {}},
        {"ours Oversample on", o.ours, 0, {{6, 1.0f}}},
        {"ours CD Master 3 [recon]", o.ours, 10, {}},
        {"peer plain", o.peer, -1, {{10, 0.0f}, {14, 0.0f}}},
        {"peer 4x oversampled", o.peer, -1, {{10, 0.0f}, {14, 0.25f}}},
    };
    enum
    {
        kPassThrough,
        kCurrent,
        kOversample,
        kCdMaster3,
        kPeerPlain,
        kPeerOversampled,
        kStandard
    };
    for (const std::string& extra : o.extras)
    {
        const size_t equals = extra.find('=');
        if (equals == std::string::npos)
            continue;
        Configuration c{"ours " + extra.substr(0, equals), o.ours, 0, {}};
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
    emit("%d interleaved passes of %.0f s of +12 dB material, %d-frame blocks, processReplacing\n\n", o.passes,
         o.seconds, kBlock);
    emit("%-26s %7s %9s %9s %9s %9s %9s %7s %7s\n", "configuration", "rate", "fast ns", "median ns", "worst us",
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
            emit("%-26s %7d %9.2f %9.2f %9.1f %9.2f %9.2f %7.1f %7.2f\n", configurations[c].label.c_str(), rate,
                 fastest(f), median(f.passNs), f.worstBlockUs, f.rareBlockUs, f.medianBlockUs,
                 f.worstBlockUs / f.medianBlockUs, f.rareBlockUs / f.medianBlockUs);
        }
        emit("\n");
    }

    emit("ratios of the fastest passes (ours / peer; goals: Current <= 0.70, the others <= 0.60)\n");
    emit("%-26s %7s %9s %9s\n", "", "rate", "ratio", "net");
    for (size_t r = 0; r < o.rates.size(); ++r)
    {
        const std::vector<Figures>& f = all[r];
        const double base = fastest(f[kPassThrough]);
        const std::pair<int, int> pairs[3] = {
            {kCurrent, kPeerPlain}, {kOversample, kPeerOversampled}, {kCdMaster3, kPeerOversampled}};
        for (const auto& [ours, peer] : pairs)
            emit("%-26s %7d %9.3f %9.3f\n", configurations[ours].label.c_str(), o.rates[r],
                 fastest(f[ours]) / fastest(f[peer]), (fastest(f[ours]) - base) / (fastest(f[peer]) - base));
    }
    if (o.rates.size() > 1 && o.rates[0] == 44100)
    {
        emit("\nper-frame cost against 44.1 kHz (goal <= 1.30)\n");
        for (int c : {kCurrent, kOversample, kCdMaster3})
            for (size_t r = 1; r < o.rates.size(); ++r)
                emit("%-26s %7d %9.3f\n", configurations[c].label.c_str(), o.rates[r],
                     fastest(all[r][c]) / fastest(all[0][c]));
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
