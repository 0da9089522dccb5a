// Nothing on the audio path allocates: the process callbacks of the loaded
// plug-in are run thousands of times, with every option switched, while
// malloc and operator new of this executable count calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "tests/support/SanitizedBuild.h"
#include "tests/support/TestHost.h"

#if defined(__GLIBC__) && !defined(ZELVO_SANITIZED)
#define ZELVO_COUNT_ALLOCATIONS 1
#endif

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

inline void noteAllocation()
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

#ifdef ZELVO_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size)
{
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size)
{
    noteAllocation();
    return __libc_realloc(p, size);
}
void* aligned_alloc(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* memalign(size_t alignment, size_t size)
{
    noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** p, size_t alignment, size_t size)
{
    noteAllocation();
    *p = __libc_memalign(alignment, size);
    return *p ? 0 : 12; // ENOMEM
}
void free(void* p) { __libc_free(p); }
}

void* operator new(size_t size)
{
    if (void* p = malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, std::align_val_t alignment)
{
    void* p = nullptr;
    if (posix_memalign(&p, size_t(alignment) < sizeof(void*) ? sizeof(void*) : size_t(alignment), size ? size : 1))
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t size, std::align_val_t alignment) { return operator new(size, alignment); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return malloc(size ? size : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }
void operator delete(void* p, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { free(p); }
#endif

namespace
{
// A host that itself never allocates while answering the plug-in.
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct Setting
{
    int index;
    float value;
};
} // namespace

TEST(Allocations, TheCounterSeesThisProgramAndThePlugIn)
{
#ifndef ZELVO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting needs glibc and no sanitizer";
#else
    allocations = 0;
    counting = true;
    int* local = new int(3);
    void* raw = std::malloc(10);
    counting = false;
    EXPECT_EQ(allocations.load(), 2);

    // Construction allocates every buffer of the effect: seen here, so the
    // plug-in's calls reach this counter.
    PluginLibrary::instance();
    allocations = 0;
    counting = true;
    AEffect* effect = PluginLibrary::instance().entry()(quietHost);
    counting = false;
    EXPECT_GE(allocations.load(), 10);
    std::free(raw);
    delete local;
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
#endif
}

TEST(Allocations, ProcessingNeverAllocatesWhateverTheSettings)
{
#ifndef ZELVO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting needs glibc and no sanitizer";
#else
    AEffect* effect = PluginLibrary::instance().entry()(quietHost);
    ASSERT_NE(effect, nullptr);
    const int frames = 512;
    std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
    std::vector<double> dinL(frames), dinR(frames), doutL(frames), doutR(frames);
    for (int i = 0; i < frames; ++i)
    {
        inL[i] = float(1.5 * std::sin(i * 0.05));
        inR[i] = float(0.7 * std::sin(i * 0.031));
        dinL[i] = inL[i];
        dinR[i] = inR[i];
    }
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    double* din[2] = {dinL.data(), dinR.data()};
    double* dout[2] = {doutL.data(), doutR.data()};

    // Every switch, one after another, each kept for a while; the TransShape
    // and sample-rate changes rebuild the smoother between blocks.
    const Setting settings[] = {{6, 1.0f},  {7, 1.0f},  {16, 1.0f}, {11, 0.3f}, {11, 0.6f}, {11, 0.9f}, {10, 0.0f},
                                {10, 1.0f}, {17, 1.0f}, {14, 1.0f}, {13, 0.3f}, {5, 0.0f},  {15, 1.0f}, {21, 1.0f},
                                {20, 0.0f}, {4, 0.5f},  {4, 0.9f},  {1, 0.9f},  {8, 0.0f},  {12, 0.4f}, {12, 0.65f},
                                {12, 0.9f}, {12, 0.0f}, {8, 1.0f},  {2, 0.9f},  {3, 0.0f},  {3, 1.0f},  {0, 0.3f},
                                {9, 0.0f},  {18, 1.0f}, {19, 1.0f}};
    const float rates[] = {44100.0f, 96000.0f, 192000.0f};
    long blocks = 0;
    allocations = 0;
    for (float rate : rates)
    {
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
        for (const Setting& s : settings)
        {
            effect->setParameter(effect, s.index, s.value);
            counting = true;
            for (int block = 0; block < 30; ++block)
            {
                effect->processReplacing(effect, in, out, frames);
                effect->processDoubleReplacing(effect, din, dout, frames);
                blocks += 2;
            }
            counting = false;
            EXPECT_EQ(allocations.load(), 0) << "after parameter " << s.index << " = " << s.value << " at " << rate;
        }
    }
    EXPECT_GT(blocks, 5000);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
#endif
}

#if defined(ZELVO_LV2_BINARY)
#include <dlfcn.h>

#include <lv2/core/lv2.h>

// The LV2 build applies changed ports inside run(), on the audio thread:
// every port changed between blocks, the first block after activation (its
// reset) included, allocates nothing either.
TEST(Allocations, Lv2RunNeverAllocatesWhileItAppliesChangedPorts)
{
#ifndef ZELVO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting needs glibc and no sanitizer";
#else
    void* library = dlopen(ZELVO_LV2_BINARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(dlsym(library, "lv2_descriptor"));
    ASSERT_NE(entry, nullptr);
    const LV2_Descriptor* descriptor = entry(0);
    ASSERT_NE(descriptor, nullptr);
    const LV2_Feature* features[] = {nullptr};
    for (double rate : {44100.0, 192000.0})
    {
        LV2_Handle instance = descriptor->instantiate(descriptor, rate, "", features);
        ASSERT_NE(instance, nullptr);
        // Ports 0 to 22 are the controls, 23 to 26 the audio, 27 the latency.
        float controls[23] = {0.0f, 0.0f, 0.02f, 200.0f, 0.0f, 100.0f, 0, 0, 1, 0, 1, 0,
                              0,    0,    0,     0,      0,    0,      0, 0, 7, 0, 0};
        float latency = 0.0f;
        const int frames = 256;
        std::vector<float> inL(frames), inR(frames), outL(frames), outR(frames);
        for (int i = 0; i < frames; ++i)
            inL[i] = inR[i] = float(1.5 * std::sin(i * 0.05));
        for (uint32_t p = 0; p < 23; ++p)
            descriptor->connect_port(instance, p, &controls[p]);
        descriptor->connect_port(instance, 23, inL.data());
        descriptor->connect_port(instance, 24, inR.data());
        descriptor->connect_port(instance, 25, outL.data());
        descriptor->connect_port(instance, 26, outR.data());
        descriptor->connect_port(instance, 27, &latency);
        descriptor->activate(instance);

        // Engineering values: dB, ms, per cent, step numbers.
        const Setting changes[] = {{1, 12.0f}, {0, -3.0f}, {2, 0.4f},  {3, 5.0f},   {3, 900.0f}, {4, 2.0f},  {4, 1.0f},
                                   {5, 30.0f}, {6, 1.0f},  {7, 1.0f},  {8, 0.0f},   {8, 1.0f},   {9, 2.0f},  {10, 2.0f},
                                   {11, 3.0f}, {12, 2.0f}, {12, 0.0f}, {13, -6.0f}, {14, 1.0f},  {15, 1.0f}, {16, 1.0f},
                                   {17, 1.0f}, {18, 1.0f}, {19, 1.0f}, {20, 3.0f},  {21, 1.0f},  {22, 1.0f}};
        allocations = 0;
        counting = true;
        descriptor->run(instance, frames);
        for (const Setting& s : changes)
        {
            controls[s.index] = s.value;
            for (int block = 0; block < 4; ++block)
                descriptor->run(instance, frames);
        }
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << "at " << rate;
        EXPECT_EQ(latency, rate < 80000 ? 159.0f : 543.0f);
        descriptor->deactivate(instance);
        descriptor->cleanup(instance);
    }
    // The library stays loaded, as hosts keep it.
#endif
}
#endif

#if defined(ZELVO_CLAP_BINARY) || defined(ZELVO_VST3_BINARY)
#include "effect/ParameterTable.h"

namespace
{
// One block of a loud stereo signal in both sample sizes, with the channel
// pointers a host hands over; made before counting starts.
struct LoudBlock
{
    static constexpr int kFrames = 256;
    LoudBlock()
    {
        for (int i = 0; i < kFrames; ++i)
            dinL[i] = dinR[i] = inL[i] = inR[i] = float(1.5 * std::sin(i * 0.05));
    }
    std::vector<float> inL = std::vector<float>(kFrames), inR = inL, outL = inL, outR = inL;
    std::vector<double> dinL = std::vector<double>(kFrames), dinR = dinL, doutL = dinL, doutR = dinL;
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    double* din[2] = {dinL.data(), dinR.data()};
    double* dout[2] = {doutL.data(), doutR.data()};
};
} // namespace
#endif

#if defined(ZELVO_CLAP_BINARY)
#include "tests/support/ClapTestHost.h"

// The CLAP build applies parameter events inside process(), cutting the
// block at each: every parameter, stepped and continuous, changed at frame
// offsets allocates nothing, in 32 and 64 bits; flushes neither.
TEST(Allocations, ClapProcessNeverAllocatesWhileItAppliesEvents)
{
#ifndef ZELVO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting needs glibc and no sanitizer";
#else
    for (double rate : {44100.0, 192000.0})
    {
        claptest::Instance clap;
        ASSERT_NE(clap.plugin, nullptr);
        ASSERT_TRUE(clap.activate(rate, 256));
        LoudBlock block;
        const int frames = LoudBlock::kFrames;
        float** in = block.in;
        float** out = block.out;
        double** din = block.din;
        double** dout = block.dout;
        // The event lists are built before counting starts.
        // Reserved: each list points at itself.
        std::vector<claptest::EventList> lists;
        lists.reserve(kTruePeakGuard + 1);
        for (int p = 0; p <= kTruePeakGuard; ++p)
        {
            const int n = kParameterTable[p].steps;
            lists.emplace_back(std::vector<claptest::Event>{{17, (clap_id)p, n > 0 ? (double)(n - 1) : 0.3},
                                                            {200, (clap_id)p, n > 0 ? 0.0 : 0.9}});
        }
        clap.startProcessing();
        allocations = 0;
        counting = true;
        for (auto& list : lists)
        {
            clap_audio_buffer_t audioIn{in, nullptr, 2, 0, 0}, audioOut{out, nullptr, 2, 0, 0};
            clap_audio_buffer_t audioIn64{nullptr, din, 2, 0, 0}, audioOut64{nullptr, dout, 2, 0, 0};
            clap_process_t process{};
            process.frames_count = frames;
            process.audio_inputs_count = process.audio_outputs_count = 1;
            process.in_events = &list.list;
            process.out_events = &clap.output;
            for (int block = 0; block < 4; ++block)
            {
                process.audio_inputs = block % 2 ? &audioIn64 : &audioIn;
                process.audio_outputs = block % 2 ? &audioOut64 : &audioOut;
                clap.plugin->process(clap.plugin, &process);
            }
            clap.paramsExt->flush(clap.plugin, &list.list, &clap.output);
        }
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << "at " << rate;
        // The blocks were processed, not skipped.
        EXPECT_NE(block.outL[200], 0.0f);
        EXPECT_NE(block.doutL[200], 0.0);
    }
#endif
}
#endif

#if defined(ZELVO_VST3_BINARY)
#include "tests/support/Vst3TestHost.h"

// The VST3 build likewise: changes at sample offsets, flush calls with no
// audio, 32 and 64 bits.
TEST(Allocations, Vst3ProcessNeverAllocatesWhileItAppliesChanges)
{
#ifndef ZELVO_COUNT_ALLOCATIONS
    GTEST_SKIP() << "allocation counting needs glibc and no sanitizer";
#else
    for (double rate : {44100.0, 192000.0})
    {
        vst3test::Instance vst3;
        ASSERT_NE(vst3.processor, nullptr);
        ASSERT_TRUE(vst3.start(rate, 256));
        LoudBlock block;
        const int frames = LoudBlock::kFrames;
        float** in = block.in;
        float** out = block.out;
        double** din = block.din;
        double** dout = block.dout;
        std::vector<vst3test::Changes> lists(kTruePeakGuard + 1);
        for (int p = 0; p <= kTruePeakGuard; ++p)
        {
            lists[p].add((vst3::ParamID)p, 17, 1.0);
            lists[p].add((vst3::ParamID)p, 200, 0.3);
        }
        allocations = 0;
        counting = true;
        for (auto& changes : lists)
        {
            vst3.processBlock(in, out, frames, &changes);
            vst3.processBlock64(din, dout, frames, &changes);
            vst3.flush(changes);
        }
        counting = false;
        EXPECT_EQ(allocations.load(), 0) << "at " << rate;
        // The blocks were processed, not skipped.
        EXPECT_NE(block.outL[200], 0.0f);
        EXPECT_NE(block.doutL[200], 0.0);
    }
#endif
}
#endif
