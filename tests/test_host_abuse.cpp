// A hostile host: seeded random sequences of every dispatcher opcode, odd
// parameter values, odd sample rates, odd block sizes and odd channel
// pointers, driven through the effect record exactly as a host drives it.
// After every step the effect must still answer as documented, process to
// finite samples within full scale, report the latency it has, and keep
// program 0 a copy of the live parameters.
//
// What the effect answers for odd values (the contract these tests hold it to):
// - A NaN parameter value is refused: the previous value stays, nothing is
//   mirrored into the programs and nothing is reported to the host.
// - Any other value, also outside 0..1 (negative, 1e30, infinity, denormal),
//   is stored bit for bit and read back by getParameter; steps derived from it
//   stay within 0..n-1, continuous mappings see it clamped to 0..1, the
//   programs hold it clamped to 0..1.
// - Indices 23 and 24 read 0 and 25 reads 0.015 whatever is set; other
//   indices are ignored and read 0.
// - A sample rate outside 5000..200000 Hz (0, negative, NaN, infinite, 10 MHz)
//   runs with the 44100 Hz processing; the latency follows the rate class.
// - Frame counts of 0 or below process nothing. A null channel array or a
//   null left channel leaves the host's buffers alone (the calibration noise
//   needs no input); a null or unconnected right channel makes the effect
//   mono: the right output buffer is not touched.
// - Every output sample written is finite and within -1..+1, for any input,
//   including +-1e30, denormals, infinities and NaN.
//
// A failing run prints its seed; ZELVO_ABUSE_SEED=<n> replays just that seed
// and ZELVO_ABUSE_STEPS=<n> changes the number of steps per seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "presets/CPresetSystemEffect.h"
#include "tests/support/TestHost.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

namespace
{
constexpr int kParams = 26;
constexpr int kLiveParams = 23; // 23 to 25 read fixed values
constexpr float kLayoutMark = 0.015f;
constexpr float kCanary = 3.0f; // outside full scale: no output sample can equal it

unsigned long long environmentNumber(const char* name, unsigned long long fallback)
{
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    return std::strtoull(text, nullptr, 10);
}

std::vector<unsigned long long> seedsToRun()
{
    if (std::getenv("ZELVO_ABUSE_SEED") && *std::getenv("ZELVO_ABUSE_SEED"))
        return {environmentNumber("ZELVO_ABUSE_SEED", 1)};
    return {1, 2, 3, 4, 5, 6, 7, 8};
}

int stepsPerSeed() { return (int)environmentNumber("ZELVO_ABUSE_STEPS", 2500); }

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

float clampUnit(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

int latencyForRate(float rate)
{
    int r = 44100;
    if (rate >= 5000.0f && rate <= 200000.0f)
        r = (int)rate;
    const int rateClass = r < 80000 ? 0 : (r < 170000 ? 1 : 2);
    return (128 << rateClass) + 31;
}

// ---------------------------------------------------------------------------
// The random source of odd arguments.

class Dice
{
public:
    explicit Dice(unsigned long long seed) : engine(seed) {}

    int below(int n) { return (int)(engine() % (unsigned long long)n); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(engine) < p; }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine); }

    float oddFloat()
    {
        const float inf = std::numeric_limits<float>::infinity();
        const float odd[] = {
            std::numeric_limits<float>::quiet_NaN(),
            -std::numeric_limits<float>::quiet_NaN(),
            inf,
            -inf,
            std::numeric_limits<float>::denorm_min(),
            -std::numeric_limits<float>::denorm_min(),
            1e-40f,
            1e30f,
            -1e30f,
            std::numeric_limits<float>::max(),
            -std::numeric_limits<float>::max(),
            0.0f,
            -0.0f,
            1.0f,
            0.5f,
            1.0000001f,
            0.99999994f,
            -1e-3f,
            0.005f,
            0.01f,
            2.0f,
        };
        if (chance(0.55))
            return (float)uniform(0.0, 1.0);
        if (chance(0.2))
            return (float)uniform(-2.0, 3.0);
        return odd[below((int)(sizeof odd / sizeof odd[0]))];
    }

    VstInt32 oddIndex()
    {
        const VstInt32 odd[] = {-1,
                                -2,
                                26,
                                27,
                                99,
                                1000,
                                1 << 20,
                                std::numeric_limits<VstInt32>::max(),
                                std::numeric_limits<VstInt32>::min()};
        if (chance(0.8))
            return below(kParams);
        return odd[below((int)(sizeof odd / sizeof odd[0]))];
    }

    float oddRate()
    {
        const float rates[] = {0.0f,
                               -1.0f,
                               -48000.0f,
                               1.0f,
                               4999.0f,
                               5000.0f,
                               22050.0f,
                               44100.0f,
                               48000.0f,
                               79999.0f,
                               80000.0f,
                               88200.0f,
                               96000.0f,
                               169999.0f,
                               170000.0f,
                               176400.0f,
                               192000.0f,
                               200000.0f,
                               200001.0f,
                               384000.0f,
                               1e7f,
                               1e30f,
                               std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(),
                               std::numeric_limits<float>::denorm_min()};
        if (chance(0.25))
            return (float)uniform(0.0, 1e7);
        return rates[below((int)(sizeof rates / sizeof rates[0]))];
    }

    int blockSize()
    {
        const int sizes[] = {0, 0, 1, 2, 3, 7, 16, 31, 64, 127, 240, 256, 441, 512, 1023, 1024, 2048, 4096, 8192};
        if (chance(0.02))
            return chance(0.5) ? 65536 : below(65536) + 1;
        if (chance(0.03))
            return chance(0.5) ? -1 : std::numeric_limits<VstInt32>::min();
        if (chance(0.3))
            return below(1500) + 1;
        return sizes[below((int)(sizeof sizes / sizeof sizes[0]))];
    }

    // A finite input sample: mostly music-like levels, sometimes far beyond.
    double sample(int kind, int i)
    {
        switch (kind)
        {
        case 0: return 0.0;
        case 1: return uniform(-1.0, 1.0);
        case 2: return uniform(-8.0, 8.0);
        case 3: return 0.9 * std::sin(0.05 * i);
        case 4:
        {
            // Hosts pass on whatever a broken source gives: huge, tiny, not finite.
            const double extreme[] = {1e30,
                                      -1e30,
                                      1e-310,
                                      -1e-310,
                                      1e-40,
                                      3.4e38,
                                      -3.4e38,
                                      0.0,
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      -std::numeric_limits<double>::infinity()};
            return chance(0.1) ? extreme[below(11)] : uniform(-1.0, 1.0);
        }
        default: return (i / 97) % 2 ? 1.0 : -1.0; // full-scale square wave
        }
    }

    std::mt19937_64 engine;
};

std::string oddName(Dice& dice)
{
    const int length = dice.chance(0.2) ? 0 : dice.below(60) + 1;
    std::string name;
    for (int i = 0; i < length; ++i)
        name += (char)(dice.below(94) + 33);
    if (dice.chance(0.1))
        name += "\xe9\xff\x80"; // bytes above 127 are still just bytes
    return name;
}

// ---------------------------------------------------------------------------
// A parent window for the editor: a plain top-level X11 window created by the
// X library loaded at run time, so this test needs no window-system headers.

#if !defined(_WIN32)
class ParentWindow
{
public:
    ParentWindow()
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return;
        library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        auto openDisplay = reinterpret_cast<void* (*)(const char*)>(dlsym(library, "XOpenDisplay"));
        auto defaultRoot = reinterpret_cast<unsigned long (*)(void*)>(dlsym(library, "XDefaultRootWindow"));
        auto createWindow =
            reinterpret_cast<unsigned long (*)(void*, unsigned long, int, int, unsigned, unsigned, unsigned,
                                               unsigned long, unsigned long)>(dlsym(library, "XCreateSimpleWindow"));
        auto mapWindow = reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(library, "XMapWindow"));
        auto sync = reinterpret_cast<int (*)(void*, int)>(dlsym(library, "XSync"));
        destroyWindow = reinterpret_cast<int (*)(void*, unsigned long)>(dlsym(library, "XDestroyWindow"));
        closeDisplay = reinterpret_cast<int (*)(void*)>(dlsym(library, "XCloseDisplay"));
        if (!openDisplay || !defaultRoot || !createWindow || !mapWindow || !sync || !destroyWindow || !closeDisplay)
            return;
        connection = openDisplay(nullptr);
        if (!connection)
            return;
        // Tiny at first, as some hosts create it before they know the size.
        window = createWindow(connection, defaultRoot(connection), 0, 0, 20, 20, 0, 0, 0);
        mapWindow(connection, window);
        sync(connection, 0);
    }
    ~ParentWindow()
    {
        if (connection)
        {
            if (window)
                destroyWindow(connection, window);
            closeDisplay(connection);
        }
        // The X library stays loaded: the editor may still hold its own
        // connection through it.
    }
    void* handle() const { return window ? reinterpret_cast<void*>((uintptr_t)window) : nullptr; }

private:
    void* library = nullptr;
    void* connection = nullptr;
    unsigned long window = 0;
    int (*destroyWindow)(void*, unsigned long) = nullptr;
    int (*closeDisplay)(void*) = nullptr;
};
#else
// Under Wine there is no display to open the editor in.
class ParentWindow
{
public:
    void* handle() const { return nullptr; }
};
#endif

// ---------------------------------------------------------------------------
// The host side: one callback for instances from the built library and for
// Plugin objects constructed here directly. It answers the pin queries from
// its own flags and checks that everything the effect says is sane.

struct AbuseHost
{
    bool rightInputConnected = true;
    bool rightOutputConnected = true;
    VstIntPtr versionAnswer = 2400;
    int automateCalls = 0;
    std::vector<std::string> complaints;
};

AbuseHost* activeHost = nullptr; // these tests drive one instance at a time, on one thread

VstIntPtr VSTCALLBACK abuseCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AbuseHost* host = activeHost;
    if (!host)
        return opcode == audioMasterVersion ? 2400 : 0;
    switch (opcode)
    {
    case audioMasterVersion: return host->versionAnswer;
    case audioMasterAutomate:
        ++host->automateCalls;
        if (index < 0 || index >= kParams || std::isnan(opt))
        {
            std::ostringstream text;
            text << "audioMasterAutomate(" << index << ", " << opt << ")";
            host->complaints.push_back(text.str());
        }
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (index < 0 || index >= kParams)
            host->complaints.push_back("begin/end edit of index " + std::to_string(index));
        return 0;
    case audioMasterPinConnected:
        if (index == 1)
            return value == 0 ? (host->rightInputConnected ? 0 : 1) : (host->rightOutputConnected ? 0 : 1);
        return 0;
    case audioMasterCanDo: return ptr ? 0 : 0;
    default: return 0;
    }
}

// ---------------------------------------------------------------------------
// What the host believes: the values it set, the name it gave, the rate.

struct Expectation
{
    float values[kParams] = {};
    std::string programName;
    float rate = 44100.0f;
};

void readBack(AEffect* e, Expectation& expected)
{
    for (int i = 0; i < kParams; ++i)
        expected.values[i] = e->getParameter(e, i);
    char text[256] = {0};
    e->dispatcher(e, effGetProgramName, 0, 0, text, 0.0f);
    expected.programName = text;
}

// ---------------------------------------------------------------------------
// One run of random steps against one instance.

class AbuseRun
{
public:
    // plugin is set when the instance was constructed here directly; the
    // checks on the programs need it.
    AbuseRun(unsigned long long seed, bool direct) : dice(seed * 2 + (direct ? 1 : 0)), seed(seed), direct(direct)
    {
        activeHost = &host;
        create();
    }
    ~AbuseRun()
    {
        destroy();
        activeHost = nullptr;
    }

    void run(int steps)
    {
        for (step = 0; step < steps && !::testing::Test::HasFatalFailure(); ++step)
        {
            const int choice = dice.below(1000);
            if (choice < 330)
                randomOpcode();
            else if (choice < 560)
                setParameterStep();
            else if (choice < 700)
                processStep();
            else if (choice < 730)
                sampleRateStep();
            else if (choice < 760)
                mainsStep();
            else if (choice < 780)
                latencyProbe();
            else if (choice < 786)
                editorStep();
            else if (choice < 789)
                reopen();
            else if (choice < 850 && direct)
                presetSystemStep();
            else
                parameterTextsStep();
            if (editorOpen)
                keepHugeValuesOutOfTheEditor();
            checkInvariants();
            if (::testing::Test::HasFailure())
            {
                ADD_FAILURE() << "seed " << seed << " failed at step " << step << " (" << lastAction
                              << "); replay with ZELVO_ABUSE_SEED=" << seed;
                return;
            }
        }
        latencyProbe();
        checkInvariants();
    }

private:
    void create()
    {
        host.rightInputConnected = true;
        host.rightOutputConnected = true;
        if (direct)
        {
            VstEffect* vst = new VstEffect(abuseCallback);
            plugin = &vst->getCore();
            effect = vst->getAeffect();
        }
        else
        {
            effect = PluginLibrary::instance().entry()(abuseCallback);
        }
        ASSERT_NE(effect, nullptr);
        readBack(effect, expected);
        expected.rate = 44100.0f;
        EXPECT_EQ(expected.programName, "Current");
    }

    void destroy()
    {
        if (effect)
        {
            EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
        }
        effect = nullptr;
        plugin = nullptr; // deleted by effClose
    }

    void reopen()
    {
        lastAction = editorOpen ? "close with the editor open and create again" : "close and create again";
        editorOpen = false;
        destroy();
        create();
    }

    bool hasEditor() const { return (effect->flags & effFlagsHasEditor) != 0; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // -- steps ---------------------------------------------------------------

    void setParameterStep()
    {
        const VstInt32 index = dice.oddIndex();
        float value = dice.oddFloat();
        if (editorOpen && std::fabs(value) > 2.0f) // see keepHugeValuesOutOfTheEditor
            value = value > 0.0f ? 2.0f : -2.0f;
        std::ostringstream text;
        text << "setParameter(" << index << ", " << value << ")";
        lastAction = text.str();
        effect->setParameter(effect, index, value);
        if (index < 0 || index >= kParams || std::isnan(value))
            return; // refused or ignored: the expectation stands
        if (index < kLiveParams)
            expected.values[index] = value;
        if (index == kLayoutMarker && stepIndex(value, 100) == 0)
        {
            // An old-layout marker converts the metering and requantizer
            // values; each must be a step centre afterwards.
            const struct
            {
                int index;
                int steps;
            } converted[] = {{kAutoblack, 2}, {kQuantize, 2},  {kBits, 3},      {kAttShow, 8},
                             {kAttZoom, 2},   {kPostMeter, 2}, {kMeterType, 2}, {kScale, 3}};
            for (const auto& c : converted)
            {
                const float v = effect->getParameter(effect, c.index);
                EXPECT_TRUE(sameBits(v, stepValue(stepIndex(v, c.steps), c.steps)))
                    << "index " << c.index << " holds " << v << " after the layout conversion";
                expected.values[c.index] = v;
            }
        }
    }

    void sampleRateStep()
    {
        const float rate = dice.oddRate();
        lastAction = "effSetSampleRate(" + std::to_string(rate) + ")";
        EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, rate), 0);
        expected.rate = rate;
    }

    void mainsStep()
    {
        const VstIntPtr value = dice.chance(0.5) ? 0 : (dice.chance(0.8) ? 1 : (VstIntPtr)dice.engine());
        lastAction = "effMainsChanged(" + std::to_string(value) + ")";
        EXPECT_EQ(dispatch(effMainsChanged, 0, value, nullptr, 0.0f), 0);
    }

    void parameterTextsStep()
    {
        lastAction = "parameter texts";
        for (int i = -1; i <= kParams; ++i)
            checkParameterTexts(i);
    }

    // Every opcode with arguments the interface allows: a real buffer where
    // the opcode writes, null where the effect is documented to check.
    void randomOpcode()
    {
        VstInt32 opcode;
        const int pick = dice.below(100);
        if (pick < 90)
            opcode = dice.below(80);
        else if (pick < 97)
            opcode = 80 + dice.below(40);
        else
            opcode = dice.chance(0.5) ? -1 - dice.below(5) : std::numeric_limits<VstInt32>::max() - dice.below(3);
        if (opcode == effClose)
            return reopen();
        if (opcode == effEditOpen && hasEditor())
            return editorStep(); // only ever with a real parent window

        const VstInt32 index = dice.chance(0.5) ? dice.oddIndex() : 0;
        const VstIntPtr value = dice.chance(0.6) ? 0 : (dice.chance(0.5) ? dice.below(4) : (VstIntPtr)dice.engine());
        const float opt = dice.chance(0.5) ? 0.0f : dice.oddFloat();
        const bool nullPointer = dice.chance(0.25);
        std::ostringstream text;
        text << "dispatcher(" << opcode << ", " << index << ", " << value << ", " << (nullPointer ? "null" : "buffer")
             << ", " << opt << ")";
        lastAction = text.str();

        // Big enough for any record of the interface; zeroed, as a host
        // clears what it hands over.
        alignas(16) char buffer[1024];
        std::memset(buffer, 0, sizeof buffer);
        void* ptr = nullPointer ? nullptr : buffer;
        const bool opcodeWritesNames = opcode == effGetProgramName || opcode == effGetParamLabel ||
                                       opcode == effGetParamDisplay || opcode == effGetParamName ||
                                       opcode == effGetProgramNameIndexed || opcode == effGetEffectName ||
                                       opcode == effGetVendorString || opcode == effGetProductString;
        if (opcodeWritesNames && !nullPointer)
            std::memset(buffer, 0x7f, sizeof buffer), buffer[0] = 0;

        VstIntPtr answer = 0;
        std::string givenName;
        switch (opcode)
        {
        case effSetProgramName:
            if (!nullPointer)
            {
                givenName = oddName(dice);
                std::memcpy(buffer, givenName.c_str(), givenName.size() + 1);
            }
            answer = dispatch(opcode, index, value, ptr, opt);
            if (!nullPointer)
                expected.programName = givenName.substr(0, 24);
            EXPECT_EQ(answer, 0);
            return;
        case effSetSampleRate:
            answer = dispatch(opcode, index, value, ptr, opt);
            expected.rate = opt;
            EXPECT_EQ(answer, 0);
            return;
        case effGetSpeakerArrangement:
        {
            // value and ptr each point to an arrangement pointer the effect clears.
            void* inputArrangement = buffer;
            void* outputArrangement = buffer;
            answer = dispatch(opcode, index, nullPointer ? 0 : (VstIntPtr)&inputArrangement,
                              nullPointer ? nullptr : &outputArrangement, opt);
            EXPECT_EQ(answer, 0);
            if (!nullPointer)
            {
                EXPECT_EQ(inputArrangement, nullptr);
                EXPECT_EQ(outputArrangement, nullptr);
            }
            return;
        }
        case effSetSpeakerArrangement:
            answer = dispatch(opcode, index, nullPointer ? 0 : (VstIntPtr)buffer, ptr, opt);
            EXPECT_EQ(answer, 0);
            return;
        case effEditGetRect:
        {
            ERect* rect = nullptr;
            answer = dispatch(opcode, index, value, nullPointer ? nullptr : &rect, opt);
            if (!hasEditor())
                EXPECT_EQ(answer, 0);
            else if (answer)
            {
                ASSERT_NE(rect, nullptr);
                EXPECT_GT(rect->right - rect->left, 0);
                EXPECT_GT(rect->bottom - rect->top, 0);
            }
            return;
        }
        case effGetChunk:
        {
            void* chunk = buffer;
            answer = dispatch(opcode, index, value, nullPointer ? nullptr : &chunk, opt);
            EXPECT_EQ(answer, 0); // state travels as the 26 parameters
            return;
        }
        case effMainsChanged:
        case effEditOpen: // no editor attached: answered 0 without looking at ptr
        default: answer = dispatch(opcode, index, value, ptr, opt); break;
        }
        if (opcode == effEditClose)
            editorOpen = false;

        checkAnswer(opcode, index, value, nullPointer, answer, buffer);
    }

    void checkAnswer(VstInt32 opcode, VstInt32 index, VstIntPtr value, bool nullPointer, VstIntPtr answer,
                     const char* buffer)
    {
        const bool editorOpcode = opcode == effEditGetRect || opcode == effEditOpen || opcode == effEditClose ||
                                  opcode == effEditIdle || opcode == effEditKeyDown || opcode == effEditKeyUp ||
                                  opcode == effSetEditKnobMode;
        if (editorOpcode)
        {
            if (!hasEditor())
                EXPECT_EQ(answer, 0);
            else
                EXPECT_TRUE(answer == 0 || answer == 1);
            return;
        }
        switch (opcode)
        {
        case effIdentify: EXPECT_EQ(answer, 0x4E764566); return;
        case effCanBeAutomated: EXPECT_EQ(answer, 1); return;
        case effGetPlugCategory: EXPECT_EQ(answer, 4); return;
        case effGetVstVersion: EXPECT_EQ(answer, 2400); return;
        case effGetCurrentMidiProgram: EXPECT_EQ(answer, -1); return;
        case effSetTotalSampleToProcess: EXPECT_EQ(answer, value); return;
        case effGetProgram: EXPECT_EQ(answer, 0); return;
        case effGetParameterProperties:
            EXPECT_EQ(answer, nullPointer ? 0 : 1);
            if (!nullPointer)
            {
                const VstParameterProperties* p = reinterpret_cast<const VstParameterProperties*>(buffer);
                EXPECT_EQ(p->stepFloat, 0.0001f);
                EXPECT_EQ(p->flags, kVstParameterUsesFloatStep);
            }
            return;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
        {
            EXPECT_EQ(answer, nullPointer ? 0 : 1);
            if (nullPointer)
                return;
            const size_t limit = opcode == effGetEffectName ? 32 : 64;
            const size_t length = strnlen(buffer, 1024);
            EXPECT_GT(length, 0u);
            EXPECT_LE(length, limit);
            if (opcode == effGetEffectName)
            {
                EXPECT_STREQ(buffer, "QDX Zelvo");
            }
            if (opcode == effGetProductString)
            {
                EXPECT_STREQ(buffer, "Full band precision limiter");
            }
            return;
        }
        case effGetProgramName:
            EXPECT_EQ(answer, 0);
            if (!nullPointer)
            {
                EXPECT_EQ(std::string(buffer), expected.programName);
            }
            return;
        case effGetProgramNameIndexed:
            // Only program 0 is the host's; the category (value) is not looked at.
            EXPECT_EQ(answer, !nullPointer && index == 0 ? 1 : 0);
            if (answer)
            {
                EXPECT_EQ(std::string(buffer), expected.programName);
            }
            return;
        case effGetParamName:
        case effGetParamDisplay:
        case effGetParamLabel:
            EXPECT_EQ(answer, 0);
            if (!nullPointer)
                checkParameterText(opcode, index, buffer);
            return;
        default:
            // Every other opcode, known or not, is accepted and answered 0.
            EXPECT_EQ(answer, 0) << "opcode " << opcode;
            return;
        }
    }

    // One block through either callback with the pointer pattern of the dice.
    void processStep()
    {
        const bool useDouble = dice.chance(0.35);
        const int frames = dice.blockSize();
        const int pattern = dice.below(20);
        const int kind = dice.below(6);
        host.rightInputConnected = !dice.chance(0.1);
        host.rightOutputConnected = !dice.chance(0.1);
        std::ostringstream text;
        text << (useDouble ? "processDoubleReplacing" : "processReplacing") << "(" << frames << " frames, pattern "
             << pattern << ", signal " << kind << ", pins " << host.rightInputConnected << host.rightOutputConnected
             << ")";
        lastAction = text.str();
        if (useDouble)
            processBlock<double>(frames, pattern, kind, effect->processDoubleReplacing);
        else
            processBlock<float>(frames, pattern, kind, effect->processReplacing);
        host.rightInputConnected = true;
        host.rightOutputConnected = true;
    }

    template <typename Sample, typename Callback>
    void processBlock(int frames, int pattern, int kind, Callback callback)
    {
        constexpr int guard = 16;
        const size_t length = (size_t)std::max(frames, 0);
        std::vector<Sample> in[2], out[2];
        for (int c = 0; c < 2; ++c)
        {
            in[c].assign(length + guard, (Sample)kCanary);
            out[c].assign(length + guard, (Sample)kCanary);
            for (size_t i = 0; i < length; ++i)
                in[c][i] = (Sample)dice.sample(kind, (int)i);
        }
        const std::vector<Sample> inputCopy[2] = {in[0], in[1]};
        Sample* inputs[2] = {in[0].data(), in[1].data()};
        Sample* outputs[2] = {out[0].data(), out[1].data()};
        Sample** inputArray = inputs;
        Sample** outputArray = outputs;
        bool inPlace = false;
        switch (pattern)
        {
        case 0: inputs[1] = nullptr; break;
        case 1: outputs[1] = nullptr; break;
        case 2: inputArray = nullptr; break;
        case 3: outputArray = nullptr; break;
        case 4: inputs[0] = nullptr; break;
        case 5: outputs[0] = nullptr; break;
        case 6: inputs[1] = outputs[1] = nullptr; break;
        case 7:
        case 8: // hosts that process in place
            outputs[0] = inputs[0];
            outputs[1] = inputs[1];
            inPlace = true;
            break;
        default: break;
        }

        callback(effect, inputArray, outputArray, (VstInt32)frames);

        const bool calibrating = stepIndex(expected.values[kCalibrate], 4) != 0;
        const bool silentDouble = sizeof(Sample) == sizeof(double) && calibrating;
        const bool rightOutputUsed = outputArray && outputArray[1] && host.rightOutputConnected;
        const bool everythingGiven = pattern >= 9 || pattern == 0 || pattern == 6;
        for (int c = 0; c < 2; ++c)
        {
            const std::vector<Sample>& buffer = inPlace ? in[c] : out[c];
            for (size_t i = 0; i < length; ++i)
            {
                const Sample v = buffer[i];
                if (inPlace && (silentDouble || (c == 1 && !rightOutputUsed)))
                    break; // the input stays where it was
                if (!inPlace && v == (Sample)kCanary)
                {
                    // Left alone: allowed where nothing can be produced.
                    const bool mustWrite =
                        frames > 0 && !silentDouble && everythingGiven && (c == 0 || rightOutputUsed);
                    ASSERT_FALSE(mustWrite) << "channel " << c << " sample " << i << " was not written";
                    continue;
                }
                ASSERT_TRUE(std::isfinite((double)v) && v >= -1 && v <= 1)
                    << "channel " << c << " sample " << i << " is " << v;
            }
            if (!inPlace && c == 1 && !rightOutputUsed && outputArray && outputArray[1])
            {
                for (size_t i = 0; i < length; ++i)
                    ASSERT_EQ(out[1][i], (Sample)kCanary) << "the unconnected right output was written";
            }
            for (size_t i = length; i < length + guard; ++i)
            {
                ASSERT_EQ(out[c][i], (Sample)kCanary) << "written past the end of channel " << c;
                ASSERT_EQ(in[c][i], (Sample)kCanary) << "written past the end of input " << c;
            }
            if (!inPlace)
            {
                ASSERT_EQ(std::memcmp(in[c].data(), inputCopy[c].data(), in[c].size() * sizeof(Sample)), 0)
                    << "the input buffer of channel " << c << " was changed"; // bytes: NaN is not equal to itself
            }
        }
    }

    // Power off, requantizer and calibration off, reset: an impulse must come
    // out exactly initialDelay samples later, whatever the block sizes.
    void latencyProbe()
    {
        lastAction = "latency probe";
        host.rightInputConnected = true;
        host.rightOutputConnected = true;
        const struct
        {
            int index;
            float value;
        } settings[] = {{kPower, 0.0f}, {kQuantize, 0.0f}, {kCalibrate, 0.0f}};
        for (const auto& s : settings)
        {
            effect->setParameter(effect, s.index, s.value);
            expected.values[s.index] = s.value;
        }
        dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
        dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);

        const int latency = effect->initialDelay;
        const int total = latency + 200;
        const bool useDouble = dice.chance(0.5);
        std::vector<double> collected;
        int done = 0;
        while (done < total)
        {
            const int frames = std::min(total - done, dice.below(300) + 1);
            std::vector<double> left(frames, 0.0), right(frames, 0.0), outL(frames, 9.0), outR(frames, 9.0);
            if (done == 0)
            {
                left[0] = 0.5;
                right[0] = -0.25;
            }
            if (useDouble)
            {
                double* in[2] = {left.data(), right.data()};
                double* out[2] = {outL.data(), outR.data()};
                effect->processDoubleReplacing(effect, in, out, frames);
            }
            else
            {
                std::vector<float> fl(left.begin(), left.end()), fr(right.begin(), right.end()), fol(frames, 9.0f),
                    forr(frames, 9.0f);
                float* in[2] = {fl.data(), fr.data()};
                float* out[2] = {fol.data(), forr.data()};
                effect->processReplacing(effect, in, out, frames);
                outL.assign(fol.begin(), fol.end());
                outR.assign(forr.begin(), forr.end());
            }
            for (int i = 0; i < frames; ++i)
            {
                const int t = done + i;
                const double wantL = t == latency ? 0.5 : 0.0;
                const double wantR = t == latency ? -0.25 : 0.0;
                ASSERT_EQ(outL[i], wantL) << "left output at " << t << " with a reported latency of " << latency;
                ASSERT_EQ(outR[i], wantR) << "right output at " << t << " with a reported latency of " << latency;
            }
            done += frames;
        }
    }

    // Values beyond +-2 (memory recalls bring them back too) are brought to
    // +-2 before the open editor draws them. This kept the animated knobs
    // from an unchecked float-to-integer conversion; they clamp now, and
    // HugeValuesWithTheEditorOpen at the end drives them with huge values
    // directly.
    void keepHugeValuesOutOfTheEditor()
    {
        for (int i = 0; i < kLiveParams; ++i)
            if (std::fabs(expected.values[i]) > 2.0f)
            {
                expected.values[i] = expected.values[i] > 0.0f ? 2.0f : -2.0f;
                effect->setParameter(effect, i, expected.values[i]);
            }
    }

    // Opens the editor in a real window when it is closed, closes it when it
    // is open; the random steps in between run with the editor open, so
    // parameter, rate and program changes reach a live editor, and an
    // instance may be closed with its editor still open. When the effect has
    // no editor there is nothing to open.
    void editorStep()
    {
        if (!hasEditor())
        {
            lastAction = "editor open without an editor";
            EXPECT_EQ(dispatch(effEditOpen, 0, 0, nullptr, 0.0f), 0);
            return;
        }
        if (!parent)
            parent.reset(new ParentWindow);
        if (!parent->handle())
            return; // no display here (Wine): the editor's own tests cover it
        if (editorOpen)
        {
            lastAction = "editor idle and close";
            dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
            dispatch(effEditClose, 0, 0, nullptr, 0.0f);
            if (dice.chance(0.2))
                dispatch(effEditClose, 0, 0, nullptr, 0.0f); // closed twice
            editorOpen = false;
            return;
        }
        lastAction = "editor get rect, open, idle";
        keepHugeValuesOutOfTheEditor();
        ERect* rect = nullptr;
        EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect, 0.0f), 1);
        if (rect)
        {
            EXPECT_EQ(rect->right - rect->left, 524);
            EXPECT_EQ(rect->bottom - rect->top, 462);
        }
        // Linux hosts may pass a pointer in value; only ptr is the parent.
        const bool opened = dispatch(effEditOpen, 0, dice.chance(0.3) ? 12345 : 0, parent->handle(), 0.0f) != 0;
        EXPECT_TRUE(opened);
        editorOpen = opened;
        dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
        if (dice.chance(0.1))
            dispatch(effEditOpen, 0, 0, parent->handle(), 0.0f); // opened twice
    }

    // What only the effect's own preset bar and memories do.
    void presetSystemStep()
    {
        switch (dice.below(6))
        {
        case 0:
        {
            // Often the selected program again: the preset bar's reselect.
            const int index = dice.chance(0.5) ? plugin->getPresetIndex() : dice.below(24);
            lastAction = "selectPreset(" + std::to_string(index) + ")";
            plugin->selectPreset(index);
            readBack(effect, expected);
            break;
        }
        case 1:
        {
            const std::string name = oddName(dice);
            lastAction = "renamePreset(" + name + ")";
            plugin->renamePreset(name.c_str());
            expected.programName = name.substr(0, 24);
            break;
        }
        case 2:
            lastAction = "storeMemoA";
            plugin->storeMemoA();
            break;
        case 3:
            lastAction = "storeMemoB";
            plugin->storeMemoB();
            break;
        case 4:
            lastAction = "recallMemoA";
            plugin->recallMemoA();
            readBack(effect, expected);
            break;
        default:
            lastAction = "recallMemoB";
            plugin->recallMemoB();
            readBack(effect, expected);
            break;
        }
    }

    // -- checks --------------------------------------------------------------

    void checkParameterText(VstInt32 opcode, VstInt32 index, const char* text)
    {
        const size_t limit = opcode == effGetParamName ? 14 : 13; // bytes, terminator included
        const size_t length = strnlen(text, 1024);
        ASSERT_LT(length, limit) << "text of opcode " << opcode << " index " << index;
        for (size_t i = length + 1; i < 64; ++i)
            ASSERT_EQ(text[i], '\x7f') << "byte " << i << " written beyond the text of opcode " << opcode;
        const std::string s(text);
        const bool inside = index >= 0 && index < kParams;
        if (opcode == effGetParamName)
        {
            EXPECT_EQ(s.empty(), !inside) << "name of " << index;
            return;
        }
        if (opcode == effGetParamLabel)
        {
            const char* want = "";
            if (index == kOutput || index == kDrive || index == kLeveller)
                want = "dB";
            else if (index == kTransient || index == kRelease)
                want = "ms";
            EXPECT_EQ(s, want) << "label of " << index;
            return;
        }
        // Display texts.
        if (index < 0 || index >= kLiveParams)
        {
            EXPECT_EQ(s, "") << "display of " << index;
            return;
        }
        std::string lower = s;
        for (char& ch : lower)
            ch = (char)std::tolower((unsigned char)ch);
        EXPECT_EQ(lower.find("nan"), std::string::npos) << "display of " << index << ": " << s;
        EXPECT_EQ(lower.find("inf"), std::string::npos) << "display of " << index << ": " << s;
        const ParameterInfo& info = kParameterTable[index];
        const float v = expected.values[index];
        if (info.steps > 0 && info.stepTexts)
        {
            EXPECT_EQ(s, info.stepTexts[stepIndex(v, info.steps)]) << "display of " << index << " at " << v;
            return;
        }
        if (index == kAttShow)
        {
            const int mask = stepIndex(v, 8);
            std::string want;
            if (mask & 1)
                want += "1";
            if (mask & 2)
                want += "2";
            if (mask & 4)
                want += "L";
            EXPECT_EQ(s, want) << "display of AttShow at " << v;
            return;
        }
        // Continuous: a number (the link shows nothing when v * 100 is too big to write).
        if (s.empty())
        {
            EXPECT_EQ(index, kLink) << "empty display of " << index << " at " << v;
            EXPECT_TRUE(!(std::fabs(v) * 100.0f <= 9999999.0f)) << "empty link display at " << v;
            return;
        }
        char* end = nullptr;
        const double number = std::strtod(s.c_str(), &end);
        EXPECT_EQ(*end, 0) << "display of " << index << ": " << s;
        ASSERT_TRUE(std::isfinite(number)) << "display of " << index << ": " << s;
        const double u = clampUnit(v);
        switch (index)
        {
        case kOutput:
        case kLeveller: EXPECT_NEAR(number, 20 * std::log10(std::pow(2.0, (u - 1) * 2)), 1e-3); break;
        case kDrive: EXPECT_NEAR(number, 20 * std::log10(std::pow(2.0, (u - 0.5) * 8)), 1e-3); break;
        case kTransient: EXPECT_NEAR(number, u * u * 0.5, 1e-4); break;
        case kRelease: EXPECT_NEAR(number, std::pow(10.0, std::pow(u, 0.82030212) * 3), 1e-3 * number + 1e-3); break;
        case kLink: EXPECT_NEAR(number, v * 100.0, 1e-3 * std::fabs(v * 100.0) + 1e-4); break;
        default: break;
        }
    }

    void checkParameterTexts(VstInt32 index)
    {
        for (VstInt32 opcode : {effGetParamName, effGetParamDisplay, effGetParamLabel})
        {
            char text[256];
            std::memset(text, 0x7f, sizeof text);
            text[0] = 0;
            EXPECT_EQ(dispatch(opcode, index, 0, text, 0.0f), 0);
            checkParameterText(opcode, index, text);
        }
    }

    void checkInvariants()
    {
        ASSERT_NE(effect, nullptr);
        // The record.
        EXPECT_EQ(effect->magic, kEffectMagic);
        EXPECT_EQ(effect->numParams, 26);
        EXPECT_EQ(effect->numPrograms, 1);
        EXPECT_EQ(effect->numInputs, 2);
        EXPECT_EQ(effect->numOutputs, 2);
        EXPECT_EQ(effect->uniqueID, 0x51447A76);
        EXPECT_TRUE(effect->flags & effFlagsCanReplacing);
        EXPECT_TRUE(effect->flags & effFlagsCanDoubleReplacing);
        EXPECT_FALSE(effect->flags & effFlagsProgramChunks);
        EXPECT_EQ(effect->initialDelay, latencyForRate(expected.rate)) << "after rate " << expected.rate;

        // The parameters read back exactly as set (NaN refused).
        for (int i = 0; i < kParams; ++i)
        {
            const float v = effect->getParameter(effect, i);
            const float want = i < kLiveParams ? expected.values[i] : (i == kLayoutMarker ? kLayoutMark : 0.0f);
            ASSERT_TRUE(sameBits(v, want)) << "parameter " << i << " reads " << v << ", set " << want;
        }
        for (VstInt32 i : {-1, 26, 1000})
            ASSERT_EQ(effect->getParameter(effect, i), 0.0f);

        // The one program the host sees carries the name it was given.
        char name[256];
        std::memset(name, 0x7f, sizeof name);
        dispatch(effGetProgramName, 0, 0, name, 0.0f);
        ASSERT_EQ(std::string(name), expected.programName);
        for (size_t i = 25; i < 64; ++i)
            ASSERT_EQ(name[i], '\x7f') << "program name written beyond 25 bytes";

        for (const std::string& complaint : host.complaints)
            ADD_FAILURE() << "the effect told the host " << complaint;
        host.complaints.clear();

        if (plugin)
            checkPrograms();
    }

    // Program 0 is the working copy: it holds every live value (clamped to
    // the programs' 0..1) and is identical to the selected program.
    void checkPrograms()
    {
        const CProgram* current = plugin->getProgramRecord(0);
        ASSERT_NE(current, nullptr);
        for (int i = 0; i < kLiveParams; ++i)
        {
            const float live = plugin->getParameter(i);
            ASSERT_TRUE(sameBits(current->getParameter(i), clampUnit(live)))
                << "program 0 holds " << current->getParameter(i) << " for parameter " << i << ", live " << live;
        }
        const int selected = plugin->getPresetIndex();
        ASSERT_GE(selected, 0);
        ASSERT_LT(selected, kProgramCount);
        const CProgram* program = plugin->getProgramRecord(selected);
        for (int i = 0; i < kParams; ++i)
            ASSERT_TRUE(sameBits(program->getParameter(i), current->getParameter(i)))
                << "program " << selected << " and program 0 differ at " << i;
        ASSERT_STREQ(program->name(), current->name());
        ASSERT_EQ(std::string(current->name()), expected.programName);
    }

    Dice dice;
    unsigned long long seed;
    bool direct;
    AbuseHost host;
    AEffect* effect = nullptr;
    Plugin* plugin = nullptr;
    Expectation expected;
    std::unique_ptr<ParentWindow> parent;
    bool editorOpen = false;
    int step = 0;
    std::string lastAction;
};
} // namespace

TEST(HostAbuse, RandomSequencesThroughTheBuiltLibrary)
{
    useTemporarySettingsStore("abuse-library");
    for (unsigned long long seed : seedsToRun())
    {
        SCOPED_TRACE("ZELVO_ABUSE_SEED=" + std::to_string(seed));
        AbuseRun run(seed, false);
        run.run(stepsPerSeed());
        if (HasFailure())
            return;
    }
}

TEST(HostAbuse, RandomSequencesWithThePresetSystemKeepProgramZeroTheWorkingCopy)
{
    useTemporarySettingsStore("abuse-direct");
    for (unsigned long long seed : seedsToRun())
    {
        SCOPED_TRACE("ZELVO_ABUSE_SEED=" + std::to_string(seed));
        AbuseRun run(seed, true);
        run.run(stepsPerSeed());
        if (HasFailure())
            return;
    }
}

// A host restoring an old project sends the old-layout marker; the values are
// converted once. Selecting the program again (the preset bar, a reload) must
// not convert the already converted values a second time.
TEST(HostAbuse, AnOldLayoutMarkerConvertsTheValuesOnlyOnce)
{
    useTemporarySettingsStore("abuse-marker");
    AbuseHost host;
    activeHost = &host;
    VstEffect* vst = new VstEffect(abuseCallback);
    Plugin* plugin = &vst->getCore();
    plugin->selectPreset(4);
    plugin->setParameter(kQuantize, 0.25f);
    plugin->setParameter(kBits, 0.1f);  // old layout: requantizer off
    plugin->setParameter(kScale, 0.1f); // old layout: peak metering
    plugin->setParameter(kLayoutMarker, 0.005f);
    const float converted[] = {plugin->getParameter(kQuantize), plugin->getParameter(kBits),
                               plugin->getParameter(kScale), plugin->getParameter(kMeterType)};
    EXPECT_EQ(converted[0], 0.25f); // still off
    EXPECT_EQ(converted[1], 0.5f);  // 16 bits
    EXPECT_EQ(converted[2], 0.5f);  // K-14
    EXPECT_EQ(converted[3], 0.25f); // peak
    for (int program : {4, 0})
        EXPECT_EQ(plugin->getProgramRecord(program)->getParameter(kLayoutMarker), 0.015f)
            << "program " << program << " must carry the mark of the layout its values are in";

    plugin->selectPreset(4);
    EXPECT_EQ(plugin->getParameter(kQuantize), converted[0]) << "the requantizer was switched on";
    EXPECT_EQ(plugin->getParameter(kBits), converted[1]);
    EXPECT_EQ(plugin->getParameter(kScale), converted[2]);
    EXPECT_EQ(plugin->getParameter(kMeterType), converted[3]);
    for (int i = 0; i < kLiveParams; ++i)
        EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(i), clampUnit(plugin->getParameter(i))) << i;
    vst->getAeffect()->dispatcher(vst->getAeffect(), effClose, 0, 0, nullptr, 0.0f);
    activeHost = nullptr;
}

// A host automating a huge or infinite value while the editor is open: every
// control must draw it without undefined behaviour (the sanitizer build
// stops on a float-to-integer conversion out of range).
TEST(HostAbuse, HugeValuesWithTheEditorOpen)
{
    useTemporarySettingsStore("abuse-huge");
    AbuseHost host;
    activeHost = &host;
    AEffect* e = PluginLibrary::instance().entry()(abuseCallback);
    ASSERT_NE(e, nullptr);
    ParentWindow parent;
    if (!(e->flags & effFlagsHasEditor) || !parent.handle())
    {
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        activeHost = nullptr;
        GTEST_SKIP() << "no editor or no display";
    }
    ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, parent.handle(), 0.0f), 1);
    for (float value : {1e30f, -1e30f, std::numeric_limits<float>::infinity(), 5.0f, -3.0f})
        for (int i = 0; i < kLiveParams; ++i)
        {
            e->setParameter(e, i, value);
            e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
        }
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
    activeHost = nullptr;
}

// Key events carry their modifier bits in the float argument; a host that
// sends any other number there must get an answer, not an undefined
// conversion (the sanitizer build stops on one).
TEST(HostAbuse, KeyEventsWithAnyNumberAsModifiers)
{
    TestHost host;
    for (float modifiers : {0.0f, 1.0f, 8.0f, 255.0f, 256.0f, -1.0f, -3.4e38f, 3.4e38f,
                            std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
        for (VstInt32 opcode : {effEditKeyDown, effEditKeyUp})
        {
            const VstIntPtr answer = host.dispatch(opcode, 'a', 11, nullptr, modifiers);
            EXPECT_TRUE(answer == 0 || answer == 1) << "modifiers " << modifiers;
        }
}
