// Drives one program of the built plug-in through its entry point for a few
// seconds of loud material, for a profiler to count what a frame costs:
//
//   valgrind --tool=callgrind --toggle-collect='*processBlocks*'
//     frame_cost --plugin PATH [--program NAME] [--guard] [--rate 44100]
//                [--seconds 2] [--float] [--oversample]
//
// Only processBlocks is counted, so the instructions callgrind reports,
// divided by the frames printed, are the instructions per stereo frame of
// the callback in 512-frame blocks. Counts repeat exactly from run to run,
// which timings on a shared machine do not.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "presets/FactoryPresets.h"
#include "tools/render/PluginHost.h"

namespace
{
constexpr int kBlock = 512;
constexpr int kOversampleIndex = 6;
constexpr int kGuardIndex = 22;

template <typename Sample>
__attribute__((noinline)) void processBlocks(PluginHost& host, std::vector<Sample>& left, std::vector<Sample>& right)
{
    for (size_t at = 0; at + kBlock <= left.size(); at += kBlock)
    {
        Sample* channels[2] = {left.data() + at, right.data() + at};
        host.process(channels, channels, kBlock);
    }
}

template <typename Sample>
void makeMaterial(std::vector<Sample>& left, std::vector<Sample>& right, int rate, double seconds)
{
    // Two partials and noise peaking about 12 dB over full scale.
    const size_t frames = size_t(rate * seconds) / kBlock * kBlock;
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 0.3);
    left.resize(frames);
    right.resize(frames);
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = double(i) / rate;
        const double tone = 2.0 * std::sin(2 * M_PI * 110.0 * t) + 0.7 * std::sin(2 * M_PI * 3100.0 * t);
        left[i] = Sample(tone + noise(rng));
        right[i] = Sample(0.8 * tone + noise(rng));
    }
}

template <typename Sample>
size_t run(PluginHost& host, int rate, double seconds)
{
    std::vector<Sample> left, right;
    makeMaterial(left, right, rate, seconds);
    host.startProcessing();
    processBlocks(host, left, right);
    return left.size();
}
} // namespace

int main(int argc, char** argv)
{
    std::string plugin, program = "Current";
    int rate = 44100;
    double seconds = 2.0;
    bool guard = false, useFloat = false, oversample = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--guard")
            guard = true;
        else if (option == "--float")
            useFloat = true;
        else if (option == "--oversample")
            oversample = true;
        else if (option == "--plugin" && hasValue)
            plugin = argv[++i];
        else if (option == "--program" && hasValue)
            program = argv[++i];
        else if (option == "--rate" && hasValue)
            rate = std::atoi(argv[++i]);
        else if (option == "--seconds" && hasValue)
            seconds = std::atof(argv[++i]);
        else
        {
            std::fprintf(stderr, "frame_cost: unknown or incomplete option %s\n", option.c_str());
            return 2;
        }
    }
    const FactoryPreset* preset = nullptr;
    for (const FactoryPreset& p : kFactoryPresets)
        if (program == p.name)
            preset = &p;
    if (plugin.empty() || !preset || rate <= 0 || seconds <= 0.0)
    {
        std::fprintf(stderr, "usage: frame_cost --plugin PATH [--program NAME] [--guard] [--oversample] [--rate R] "
                             "[--seconds S] [--float]\n");
        return 2;
    }
    PluginHost host;
    std::string error;
    if (!host.load(plugin, false, error))
    {
        std::fprintf(stderr, "frame_cost: %s\n", error.c_str());
        return 1;
    }
    host.setSampleRate(float(rate));
    host.setBlockSize(kBlock);
    float values[26];
    for (int i = 0; i < 26; ++i)
        values[i] = float(preset->values[i]);
    host.applyProgram(preset->name, values, 26);
    host.setParameter(kGuardIndex, guard ? 1.0f : 0.0f);
    if (oversample)
        host.setParameter(kOversampleIndex, 1.0f);
    const size_t frames = useFloat ? run<float>(host, rate, seconds) : run<double>(host, rate, seconds);
    std::printf("frames %zu\n", frames);
    return 0;
}
