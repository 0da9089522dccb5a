// ns per stereo frame of processReplacing and processDoubleReplacing, in
// 512-frame blocks at 44.1, 96 and 192 kHz, for the working program
// "Current", for "CD Master 3 [recon]" (true peak, oversampled output meter,
// requantizer with noise shaping, leveller), for the same with the true-peak
// guard on, for "Current" with the guard on, and for power off. The plug-in
// is loaded through its entry point and set up through setParameter, as a
// host would.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <random>
#include <vector>

#include "host/VstInterface.h"

namespace
{
constexpr int kBlock = 512;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    // Version 2.4; every other question gets 0 (for pins: connected).
    return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* createEffect()
{
    static void* module = nullptr;
    if (!module)
    {
        const char* path = std::getenv("ZELVO_PLUGIN");
        module = dlopen(path && *path ? path : ZELVO_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!module)
        {
            std::fprintf(stderr, "cannot load the plug-in: %s\n", dlerror());
            std::exit(1);
        }
    }
    typedef AEffect* (*Entry)(audioMasterCallback);
    Entry entry = reinterpret_cast<Entry>(dlsym(module, "VSTPluginMain"));
    return entry ? entry(hostCallback) : nullptr;
}

// Factory values by parameter index 0 .. 25.
const float kCurrent[26] = {1.0f,   0.5f, 0.2f,    0.7237f, 0.166667f, 1.0f, 0.0f, 0.0f,  1.0f,
                            0.165f, 0.5f, 0.125f,  0.0f,    1.0f,      0.0f, 0.0f, 0.25f, 0.0f,
                            0.25f,  0.0f, 0.9375f, 0.0f,    0.0f,      0.0f, 0.0f, 0.015f};
const float kCdMaster3Recon[26] = {0.999167f, 0.625f, 0.4f,    0.656363f, 0.5f,      1.0f, 1.0f, 0.0f,  1.0f,
                                   0.5f,      0.5f,   0.875f,  0.0f,      0.333333f, 1.0f, 0.0f, 0.75f, 0.0f,
                                   0.75f,     0.0f,   0.9375f, 0.0f,      0.0f,      0.0f, 0.0f, 0.015f};

enum Configuration
{
    kProgramCurrent,
    kProgramCdMaster3,
    kPowerOff,
    kProgramCdMaster3Guarded,
    kProgramCurrentGuarded,
    kProgramCurrentLongestShape
};

// Loud program material: a few partials with slow beating plus noise,
// peaking well above full scale so that the limiter works all the time.
template <typename Sample>
std::vector<Sample> programMaterial(int frames, unsigned seed, double rate)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 0.15);
    std::vector<Sample> out(frames);
    const double freqs[4] = {55.0, 220.0, 1250.0, 5300.0};
    for (int i = 0; i < frames; ++i)
    {
        double t = i / rate, v = noise(rng);
        for (int k = 0; k < 4; ++k)
            v += 0.45 * std::sin(2.0 * 3.141592653589793 * freqs[k] * t + seed + k) *
                 (0.6 + 0.4 * std::sin(2.0 * 3.141592653589793 * (0.7 + k) * t));
        out[i] = Sample(v);
    }
    return out;
}

template <typename Sample>
void runCallback(benchmark::State& state)
{
    const double rate = double(state.range(0));
    const Configuration configuration = Configuration(state.range(1));
    AEffect* effect = createEffect();
    if (!effect)
    {
        state.SkipWithError("no effect");
        return;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(rate));
    effect->dispatcher(effect, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    const bool cdMaster3 = configuration == kProgramCdMaster3 || configuration == kProgramCdMaster3Guarded;
    const float* values = cdMaster3 ? kCdMaster3Recon : kCurrent;
    for (int i = 0; i < 26; ++i)
        effect->setParameter(effect, i, values[i]);
    if (configuration == kPowerOff)
        effect->setParameter(effect, 8, 0.0f);
    if (configuration == kProgramCdMaster3Guarded || configuration == kProgramCurrentGuarded)
        effect->setParameter(effect, 22, 1.0f); // TP Guard
    if (configuration == kProgramCurrentLongestShape)
        effect->setParameter(effect, 4, 1.0f); // TransShape: the longest window

    const int materialFrames = int(rate); // one second, cycled
    std::vector<Sample> left = programMaterial<Sample>(materialFrames, 1, rate);
    std::vector<Sample> right = programMaterial<Sample>(materialFrames, 2, rate);
    std::vector<Sample> outLeft(kBlock), outRight(kBlock);
    int position = 0;
    for (auto _ : state)
    {
        Sample* inputs[2] = {left.data() + position, right.data() + position};
        Sample* outputs[2] = {outLeft.data(), outRight.data()};
        if constexpr (sizeof(Sample) == sizeof(float))
            effect->processReplacing(effect, reinterpret_cast<float**>(inputs), reinterpret_cast<float**>(outputs),
                                     kBlock);
        else
            effect->processDoubleReplacing(effect, reinterpret_cast<double**>(inputs),
                                           reinterpret_cast<double**>(outputs), kBlock);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
        position += kBlock;
        if (position + kBlock > materialFrames)
            position = 0;
    }
    // Seconds per frame, printed with its SI prefix ("25n" = 25 ns).
    state.counters["per_frame"] = benchmark::Counter(double(state.iterations()) * kBlock,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void arguments(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"rate", "config"});
    for (int configuration : {kProgramCurrent, kProgramCdMaster3, kPowerOff, kProgramCdMaster3Guarded,
                              kProgramCurrentGuarded, kProgramCurrentLongestShape})
        for (int rate : {44100, 96000, 192000})
            b->Args({rate, configuration});
}
} // namespace

// config: 0 = program "Current", 1 = "CD Master 3 [recon]", 2 = power off,
// 3 = "CD Master 3 [recon]" with TP Guard on, 4 = "Current" with TP Guard on,
// 5 = "Current" with TransShape at its longest window.
BENCHMARK_TEMPLATE(runCallback, float)->Name("processReplacing")->Apply(arguments);
BENCHMARK_TEMPLATE(runCallback, double)->Name("processDoubleReplacing")->Apply(arguments);

BENCHMARK_MAIN();
