// qdx-soak: plays hours of generated audio through the built plug-in, as a
// host would (entry point, dispatcher, parameter calls, one audio callback
// per block), automating it from a script, and checks that the plug-in
// neither allocates while it runs nor grows in memory, and that every output
// sample stays finite and within full scale.
//
//   qdx-soak [--minutes M | --seconds S] [--script FILE] [--rate HZ]
//            [--block FRAMES] [--double] [--plugin PATH] [--max-growth-kib K]
//
// Exit status 0 when every check held, 1 when one failed, 2 on a bad command.
#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/VstInterface.h"
#include "tools/soak/AllocationCounter.h"
#include "tools/soak/AutomationScript.h"
#include "tools/soak/SoakSignal.h"

namespace
{
struct Options
{
    double seconds = 60.0;
    std::string script;
    double rate = 192000.0;
    int block = 512;
    bool useDouble = false;
    std::string plugin;
    long maxGrowthKib = 1024;
};

const char* const kUsage = "usage: qdx-soak [--minutes M | --seconds S] [--script FILE] [--rate HZ] [--block FRAMES]\n"
                           "                [--double] [--plugin PATH] [--max-growth-kib K]\n";

// The automation when no script is given: every kind of event, once a minute.
const char* const kDefaultScript = R"(
loop 60
0    set Power 1
0    set Quantize 0.75
0    ramp Drive 0.5 0.9 20
5    set TransShape 0.1
10   ramp Release 0.2 0.8 15
15   set Oversample 0.75
20   set TransShape 0.5
25   set NoiseShape 0.6
30   name Soak take
30   set Bits 0.9
35   set TransShape 0.9
40   ramp Drive 0.9 0.5 15
45   set Oversample 0.25
50   mains 0
50   mains 1
55   set Calibrate 0
)";

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string a = argv[i];
        auto next = [&](const char* name) -> const char* {
            if (i + 1 >= argc)
            {
                std::fprintf(stderr, "qdx-soak: %s needs a value\n%s", name, kUsage);
                return nullptr;
            }
            return argv[++i];
        };
        const char* v = nullptr;
        if (a == "--minutes" && (v = next("--minutes")))
            o.seconds = 60.0 * std::atof(v);
        else if (a == "--seconds" && (v = next("--seconds")))
            o.seconds = std::atof(v);
        else if (a == "--script" && (v = next("--script")))
            o.script = v;
        else if (a == "--rate" && (v = next("--rate")))
            o.rate = std::atof(v);
        else if (a == "--block" && (v = next("--block")))
            o.block = std::atoi(v);
        else if (a == "--plugin" && (v = next("--plugin")))
            o.plugin = v;
        else if (a == "--max-growth-kib" && (v = next("--max-growth-kib")))
            o.maxGrowthKib = std::atol(v);
        else if (a == "--double")
            o.useDouble = true;
        else
        {
            if (a != "--help")
                std::fprintf(stderr, "qdx-soak: unknown argument %s\n", a.c_str());
            std::fprintf(stderr, "%s", kUsage);
            return false;
        }
        if (!v && a != "--double")
            return false;
    }
    if (!(o.seconds > 0.0) || o.block < 1 || o.block > 65536 || !(o.rate > 0.0))
    {
        std::fprintf(stderr, "qdx-soak: the length, rate and block size must be positive\n%s", kUsage);
        return false;
    }
    return true;
}

std::string besideExecutable(const char* file)
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return file;
    path[n] = 0;
    std::string dir(path);
    return dir.substr(0, dir.rfind('/') + 1) + file;
}

// Resident and peak resident memory of this process, in KiB.
long statusKib(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0)
            return std::atol(line.c_str() + length + 1);
    return -1;
}

VstIntPtr VSTCALLBACK soakHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0; // every pin connected
}

std::string parameterName(AEffect* e, int index)
{
    char text[256] = {0};
    e->dispatcher(e, effGetParamName, index, 0, text, 0.0f);
    return text;
}

struct Outcome
{
    long long badSamples = 0;
    double largest = 0.0;
};

template <typename Sample>
void check(const Sample* samples, int frames, Outcome& outcome)
{
    for (int i = 0; i < frames; ++i)
    {
        const double v = (double)samples[i];
        if (!std::isfinite(v) || std::fabs(v) > 1.0)
            ++outcome.badSamples;
        else if (std::fabs(v) > outcome.largest)
            outcome.largest = std::fabs(v);
    }
}
} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o))
        return 2;
    soak::AutomationScript script;
    std::string error;
    if (!(o.script.empty() ? script.parse(kDefaultScript, error) : script.load(o.script, error)))
    {
        std::fprintf(stderr, "qdx-soak: %s\n", error.c_str());
        return 2;
    }
    const std::string pluginPath = o.plugin.empty() ? besideExecutable("QDXZelvo.so") : o.plugin;
    void* library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        std::fprintf(stderr, "qdx-soak: cannot load %s: %s\n", pluginPath.c_str(), dlerror());
        return 2;
    }
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    AEffect* e = entry ? entry(soakHost) : nullptr;
    if (!e)
    {
        std::fprintf(stderr, "qdx-soak: %s gave no effect\n", pluginPath.c_str());
        return 2;
    }
    if (!script.resolve([e](int i) { return parameterName(e, i); }, e->numParams, error))
    {
        std::fprintf(stderr, "qdx-soak: %s\n", error.c_str());
        return 2;
    }

    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, (float)o.rate);
    e->dispatcher(e, effSetBlockSize, 0, o.block, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    // Every buffer exists before the loop: the loop itself allocates nothing.
    std::vector<double> inL(o.block), inR(o.block), outL(o.block), outR(o.block);
    std::vector<float> fInL(o.block), fInR(o.block), fOutL(o.block), fOutR(o.block);
    soak::SoakSignal signal(o.rate);
    const std::vector<soak::AutomationEvent>& events = script.events();
    const double loop = script.loopSeconds();
    std::vector<const soak::AutomationEvent*> ramps;
    ramps.reserve(events.size());
    size_t nextEvent = 0;
    double loopStart = 0.0;

    const long long totalFrames = (long long)(o.seconds * o.rate);
    const long long warmUpFrames = std::min(totalFrames / 10, (long long)(5.0 * o.rate));
    const long long reportEvery = (long long)(60.0 * o.rate);
    long long done = 0;
    uint64_t allocationsAtWarmUp = 0;
    uint64_t audioAllocations = 0; // inside the audio callbacks, from the first block on
    long rssAtWarmUp = 0, rssLargest = 0;
    Outcome outcome;
    const auto started = std::chrono::steady_clock::now();

    while (done < totalFrames)
    {
        const int frames = (int)std::min<long long>(o.block, totalFrames - done);
        const double now = (double)done / o.rate;

        // Script events that are due, and the ramps in progress.
        if (loop > 0.0 && nextEvent == events.size() && now - loopStart >= loop)
        {
            loopStart += loop * std::floor((now - loopStart) / loop);
            nextEvent = 0;
            ramps.clear();
        }
        while (nextEvent < events.size() && loopStart + events[nextEvent].time <= now)
        {
            const soak::AutomationEvent& ev = events[nextEvent++];
            switch (ev.kind)
            {
            case soak::AutomationEvent::setParameter: e->setParameter(e, ev.index, ev.value); break;
            case soak::AutomationEvent::rampParameter: ramps.push_back(&ev); break;
            case soak::AutomationEvent::sampleRate: e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, ev.value); break;
            case soak::AutomationEvent::mains:
                e->dispatcher(e, effMainsChanged, 0, ev.value != 0.0f ? 1 : 0, nullptr, 0.0f);
                break;
            case soak::AutomationEvent::programName:
                e->dispatcher(e, effSetProgramName, 0, 0, const_cast<char*>(ev.text.c_str()), 0.0f);
                break;
            }
        }
        for (const soak::AutomationEvent* r : ramps)
        {
            const double t = (now - loopStart - r->time) / r->seconds;
            if (t >= 0.0 && t <= 1.0)
                e->setParameter(e, r->index, (float)(r->from + (r->value - r->from) * t));
        }

        signal.fill(inL.data(), inR.data(), frames);
        const uint64_t allocationsBefore = soak::allocationCount();
        if (o.useDouble)
        {
            double* in[2] = {inL.data(), inR.data()};
            double* out[2] = {outL.data(), outR.data()};
            e->processDoubleReplacing(e, in, out, frames);
            check(outL.data(), frames, outcome);
            check(outR.data(), frames, outcome);
        }
        else
        {
            for (int i = 0; i < frames; ++i)
            {
                fInL[i] = (float)inL[i];
                fInR[i] = (float)inR[i];
            }
            float* in[2] = {fInL.data(), fInR.data()};
            float* out[2] = {fOutL.data(), fOutR.data()};
            e->processReplacing(e, in, out, frames);
            check(fOutL.data(), frames, outcome);
            check(fOutR.data(), frames, outcome);
        }
        audioAllocations += soak::allocationCount() - allocationsBefore;

        const long long before = done;
        done += frames;
        if (before < warmUpFrames && done >= warmUpFrames)
        {
            allocationsAtWarmUp = soak::allocationCount();
            rssAtWarmUp = statusKib("VmRSS:");
        }
        if (before / reportEvery != done / reportEvery)
        {
            const long rss = statusKib("VmRSS:");
            rssLargest = std::max(rssLargest, rss);
            std::printf("qdx-soak: %6.1f min of audio, resident %ld KiB, %llu allocations in the audio callbacks\n",
                        (double)done / o.rate / 60.0, rss, (unsigned long long)audioAllocations);
            std::fflush(stdout);
        }
    }

    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const uint64_t loopAllocations = soak::allocationCount() - allocationsAtWarmUp;
    // Parameter and dispatcher calls run on a host's interface thread, where
    // allocating is allowed; they are reported, not failed.
    const long rssAtEnd = statusKib("VmRSS:");
    rssLargest = std::max(rssLargest, rssAtEnd);
    const long peak = statusKib("VmHWM:");
    const long growth = rssAtEnd - rssAtWarmUp;

    std::printf("qdx-soak: %.1f s of audio at %.0f Hz in %.1f s (%.1fx real time), blocks of %d, %s\n",
                (double)done / o.rate, o.rate, wall, (double)done / o.rate / wall, o.block,
                o.useDouble ? "64-bit" : "32-bit");
    std::printf("qdx-soak: resident memory after warm-up %ld KiB, at the end %ld KiB (growth %ld KiB), "
                "largest sampled %ld KiB, peak %ld KiB\n",
                rssAtWarmUp, rssAtEnd, growth, rssLargest, peak);
    std::printf("qdx-soak: allocations in the audio callbacks: %llu; in parameter and dispatcher calls after "
                "warm-up: %llu\n",
                (unsigned long long)audioAllocations, (unsigned long long)(loopAllocations - audioAllocations));
    std::printf("qdx-soak: samples outside full scale or not finite: %lld; largest output %.6f\n", outcome.badSamples,
                outcome.largest);

    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);

    bool ok = true;
    if (audioAllocations != 0)
    {
        std::printf("qdx-soak: FAILED: the plug-in allocated in its audio callbacks\n");
        ok = false;
    }
    if (growth > o.maxGrowthKib)
    {
        std::printf("qdx-soak: FAILED: resident memory grew by %ld KiB (at most %ld allowed)\n", growth,
                    o.maxGrowthKib);
        ok = false;
    }
    if (outcome.badSamples != 0)
    {
        std::printf("qdx-soak: FAILED: %lld output samples not finite or beyond full scale\n", outcome.badSamples);
        ok = false;
    }
    std::printf("qdx-soak: %s\n", ok ? "passed" : "failed");
    return ok ? 0 : 1;
}
