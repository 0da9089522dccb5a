// How far the output of one build of the plug-in lies from another's: every
// factory program, with the true-peak guard off and on, at 44.1, 96 and
// 192 kHz, through both callbacks, on the same loud material. For a change
// meant to move the output by rounding only, this is the measurement.
//
// compare_builds --old PATH --new PATH [--seconds 10] [--uneven]
//
// --uneven: blocks of sizes from 1 to 4096 frames instead of 512 throughout,
// a sample-rate change while processing a third of the way in and a
// TransShape change two thirds of the way in (positions and lengths of every
// delay line then move as they do in a host's session).
//
// Prints per case the largest absolute difference of the double callback,
// the largest difference in float ulps of the float callback and how many
// samples differ at all; the last line is the largest of each.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "presets/FactoryPresets.h"
#include "tools/render/PluginHost.h"

namespace
{
constexpr int kBlock = 512;
constexpr int kGuardIndex = 22;
constexpr int kTransShapeIndex = 4;
constexpr int kUnevenBlocks[] = {1, 7, 512, 33, 4096, 2, 300, 64, 1023, 5, 129, 2048};

// Partials, a kick every half second and noise, peaking 12 dB over full
// scale, with a stretch of exact silence in the middle.
void makeMaterial(std::vector<double>& left, std::vector<double>& right, int rate, double seconds)
{
    const size_t frames = size_t(rate * seconds);
    left.assign(frames, 0.0);
    right.assign(frames, 0.0);
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, 0.15);
    const double twoPi = 2.0 * 3.141592653589793;
    for (size_t i = 0; i < frames; ++i)
    {
        if (i > frames / 2 && i < frames / 2 + size_t(rate / 2))
            continue;
        const double t = double(i) / rate;
        const double beat = std::fmod(t, 0.5);
        const double kick = 2.5 * std::exp(-beat * 30.0) * std::sin(twoPi * 60.0 * beat);
        const double partials = 0.8 * std::sin(twoPi * 220.0 * t) + 0.5 * std::sin(twoPi * 5300.0 * t + 1.0);
        left[i] = kick + partials + noise(rng);
        right[i] = kick - 0.5 * partials + noise(rng);
    }
}

template <typename Sample>
bool render(const std::string& library, int program, bool guard, int rate, bool uneven, const std::vector<double>& inL,
            const std::vector<double>& inR, std::vector<Sample>& outL, std::vector<Sample>& outR)
{
    PluginHost host;
    std::string error;
    if (!host.load(library, false, error))
    {
        std::fprintf(stderr, "%s: %s\n", library.c_str(), error.c_str());
        return false;
    }
    host.setSampleRate(float(rate));
    host.setBlockSize(uneven ? 4096 : kBlock);
    float values[26];
    for (int i = 0; i < 26; ++i)
        values[i] = float(kFactoryPresets[program].values[i]);
    host.applyProgram(kFactoryPresets[program].name, values, 26);
    host.setParameter(kGuardIndex, guard ? 1.0f : 0.0f);
    host.startProcessing();
    const size_t frames = inL.size();
    std::vector<Sample> l(inL.begin(), inL.end()), r(inR.begin(), inR.end());
    outL.assign(frames, Sample(0));
    outR.assign(frames, Sample(0));
    size_t block = 0;
    bool rateChanged = false, shapeChanged = false;
    for (size_t at = 0, n = 0; at < frames; at += n)
    {
        n = std::min<size_t>(uneven ? kUnevenBlocks[block++ % std::size(kUnevenBlocks)] : kBlock, frames - at);
        if (uneven && !rateChanged && at >= frames / 3)
        {
            host.setSampleRate(float(rate == 44100 ? 96000 : 44100));
            rateChanged = true;
        }
        if (uneven && !shapeChanged && at >= 2 * frames / 3)
        {
            host.setParameter(kTransShapeIndex, values[kTransShapeIndex] < 0.5f ? 1.0f : 0.0f);
            shapeChanged = true;
        }
        Sample* inputs[2] = {l.data() + at, r.data() + at};
        Sample* outputs[2] = {outL.data() + at, outR.data() + at};
        host.process(inputs, outputs, int(n));
    }
    return true;
}

// Distance in representable floats (both finite).
int64_t floatUlps(float a, float b)
{
    int32_t ia, ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    const int64_t la = ia < 0 ? int64_t(INT32_MIN) - ia : ia, lb = ib < 0 ? int64_t(INT32_MIN) - ib : ib;
    return std::llabs(la - lb);
}
} // namespace

int main(int argc, char** argv)
{
    std::string oldLibrary, newLibrary;
    double seconds = 10.0;
    bool uneven = false;
    for (int i = 1; i < argc; ++i)
    {
        const std::string option = argv[i];
        if (option == "--uneven")
        {
            uneven = true;
            continue;
        }
        if (i + 1 >= argc)
            break;
        if (option == "--old")
            oldLibrary = argv[i + 1];
        else if (option == "--new")
            newLibrary = argv[i + 1];
        else if (option == "--seconds")
            seconds = std::atof(argv[i + 1]);
        ++i;
    }
    if (oldLibrary.empty() || newLibrary.empty())
    {
        std::fprintf(stderr, "usage: compare_builds --old PATH --new PATH [--seconds 10] [--uneven]\n");
        return 2;
    }
    double worstDouble = 0.0;
    int64_t worstUlps = 0;
    size_t totalDiffering = 0;
    std::printf("%-26s %5s %6s  %12s %8s  %10s %10s\n", "program", "guard", "rate", "double diff", "float ulp",
                "double !=", "float !=");
    for (int rate : {44100, 96000, 192000})
    {
        std::vector<double> inL, inR;
        makeMaterial(inL, inR, rate, seconds);
        for (int program = 0; program < 24; ++program)
            for (bool guard : {false, true})
            {
                std::vector<double> oldL, oldR, newL, newR;
                std::vector<float> oldFL, oldFR, newFL, newFR;
                if (!render(oldLibrary, program, guard, rate, uneven, inL, inR, oldL, oldR) ||
                    !render(newLibrary, program, guard, rate, uneven, inL, inR, newL, newR) ||
                    !render(oldLibrary, program, guard, rate, uneven, inL, inR, oldFL, oldFR) ||
                    !render(newLibrary, program, guard, rate, uneven, inL, inR, newFL, newFR))
                    return 1;
                double difference = 0.0;
                int64_t ulps = 0;
                size_t differingDouble = 0, differingFloat = 0;
                for (size_t i = 0; i < inL.size(); ++i)
                {
                    for (double d : {std::fabs(oldL[i] - newL[i]), std::fabs(oldR[i] - newR[i])})
                    {
                        difference = std::max(difference, d);
                        differingDouble += d != 0.0;
                    }
                    for (int64_t u : {floatUlps(oldFL[i], newFL[i]), floatUlps(oldFR[i], newFR[i])})
                    {
                        ulps = std::max(ulps, u);
                        differingFloat += u != 0;
                    }
                }
                std::printf("%-26s %5s %6d  %12.3g %8lld  %10zu %10zu\n", kFactoryPresets[program].name,
                            guard ? "on" : "off", rate, difference, (long long)ulps, differingDouble, differingFloat);
                worstDouble = std::max(worstDouble, difference);
                worstUlps = std::max(worstUlps, ulps);
                totalDiffering += differingDouble + differingFloat;
            }
    }
    std::printf("largest: %.3g in the double callback, %lld ulp in the float one; %zu samples differ\n", worstDouble,
                (long long)worstUlps, totalDiffering);
    return 0;
}
