// The A/B memories: 27 values in the machine-wide settings store, shared by
// every instance. What a store writes, what a recall does to the programs and
// the host, and what damaged or concurrent memories do.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "platform/Registry.h"
#include "presets/PresetChangesFromEffect.h"
#include "tests/support/TestHost.h"

namespace
{
const char* const kMemoA = "SOFTWARE\\Korvane\\QDXzelvo\\MemoA";
const char* const kMemoB = "SOFTWARE\\Korvane\\QDXzelvo\\MemoB";

struct Log
{
    std::vector<HostCall> calls;
    std::vector<std::string> names;
};
thread_local Log* hostLog = nullptr;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    if (hostLog)
        hostLog->calls.push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct NameListener : PresetChangesFromEffect
{
    void presetNameChanged(const char* name) override
    {
        if (hostLog)
            hostLog->names.push_back(name);
    }
};

std::string valueName(int index)
{
    char name[16];
    std::snprintf(name, sizeof name, "param%3d", index);
    return name;
}

// A memory as read back through the settings store; complete only when all
// 27 values are there with their types and sizes.
struct Memory
{
    bool found = false; // the key exists
    bool complete = false;
    float values[26] = {};
    std::string name;
    bool operator==(const Memory& o) const
    {
        return complete == o.complete && name == o.name && std::memcmp(values, o.values, sizeof values) == 0;
    }
};

Memory readMemory(const char* key)
{
    Memory m;
    platform::RegistryKey k;
    if (!k.open(key))
        return m;
    m.found = true;
    for (int i = 0; i < 26; ++i)
    {
        unsigned char bytes[8];
        uint32_t size = sizeof bytes;
        if (!k.queryBinary(valueName(i).c_str(), bytes, &size) || size != 4)
            return m;
        const uint32_t bits = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
        std::memcpy(&m.values[i], &bits, 4);
    }
    char name[64];
    if (!k.queryString("name", name, sizeof name))
        return m;
    m.name = name;
    m.complete = true;
    return m;
}

// What a store of this effect must write.
Memory expectedMemory(Plugin& plugin)
{
    Memory m;
    for (int i = 0; i < 26; ++i)
        m.values[i] = plugin.getParameter(i);
    char name[32];
    plugin.getProgramRecord(plugin.getPresetIndex())->getName(name);
    m.name = name;
    m.complete = true;
    return m;
}

std::string hexOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    char hex[12];
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", bits & 0xff, (bits >> 8) & 0xff, (bits >> 16) & 0xff,
                  bits >> 24);
    return hex;
}

class Memories : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store = useTemporarySettingsStore("memories");
        hostLog = &record;
        vst = new VstEffect(recordingHost);
        plugin = &vst->getCore();
        plugin->setPresetSystemListener(&listener);
        record = Log();
    }
    void TearDown() override
    {
        delete vst;
        hostLog = nullptr;
    }
    std::string keyFile(const char* memo) const { return store + "/Korvane/QDXzelvo/" + memo + ".key"; }
    // A key's file written by hand, as a user editing the store would.
    void writeKeyFile(const char* memo, const std::string& lines)
    {
        std::filesystem::create_directories(store + "/Korvane/QDXzelvo");
        std::ofstream(keyFile(memo)) << lines;
    }
    std::string name(int program)
    {
        char text[32];
        plugin->getProgramRecord(program)->getName(text);
        return text;
    }
    std::vector<float> live()
    {
        std::vector<float> v;
        for (int i = 0; i < 26; ++i)
            v.push_back(plugin->getParameter(i));
        return v;
    }
    size_t count(VstInt32 opcode)
    {
        size_t n = 0;
        for (const HostCall& c : record.calls)
            n += c.opcode == opcode;
        return n;
    }

    std::string store;
    Log record;
    NameListener listener;
    VstEffect* vst = nullptr;
    Plugin* plugin = nullptr;
};
} // namespace

TEST_F(Memories, StoreWrites26BinaryValuesAndTheNameString)
{
    plugin->selectPreset(5);
    plugin->setParameter(kDrive, 0.625f);
    plugin->setParameter(kDummy2, 0.7f);       // reported and stored as 0
    plugin->setParameter(kLayoutMarker, 0.5f); // reported and stored as 0.015
    plugin->storeMemoA();

    const Memory memory = readMemory(kMemoA);
    ASSERT_TRUE(memory.complete);
    EXPECT_EQ(memory.name, "Loudness 1");
    EXPECT_EQ(memory.values[kDrive], 0.625f);
    EXPECT_EQ(memory.values[kTruePeakGuard], 0.0f); // program 5 has the guard off
    EXPECT_EQ(memory.values[kDummy2], 0.0f);
    EXPECT_EQ(memory.values[kDummy3], 0.0f);
    EXPECT_EQ(memory.values[kLayoutMarker], 0.015f);
    EXPECT_TRUE(memory == expectedMemory(*plugin));

    // The value names and types, and nothing else in the key.
    platform::RegistryKey key;
    ASSERT_TRUE(key.open(kMemoA));
    unsigned char bytes[4];
    uint32_t size = sizeof bytes;
    for (const char* spelled : {"param  0", "param  9", "param 10", "param 25"})
    {
        size = sizeof bytes;
        EXPECT_TRUE(key.queryBinary(spelled, bytes, &size)) << spelled;
    }
    char text[64];
    EXPECT_FALSE(key.queryString("param  0", text, sizeof text)); // binary, not a string
    size = sizeof bytes;
    EXPECT_FALSE(key.queryBinary("name", bytes, &size)); // a string, not binary
#if !defined(_WIN32)
    std::ifstream file(keyFile("MemoA"));
    std::string line;
    int values = 0;
    while (std::getline(file, line))
        values += !line.empty() && line[0] != '#';
    EXPECT_EQ(values, 27);
#endif

    // B is a key of its own.
    plugin->selectPreset(9);
    plugin->storeMemoB();
    EXPECT_EQ(readMemory(kMemoB).name, "CD Master 2");
    EXPECT_EQ(readMemory(kMemoA).name, "Loudness 1");
}

TEST_F(Memories, RecallInAnotherInstanceOverwritesTheSelectedProgramAndKeepsTheSelection)
{
    {
        Log otherLog;
        hostLog = &otherLog;
        VstEffect storingEffect(recordingHost);
        Plugin& storing = storingEffect.getCore();
        storing.selectPreset(7);
        storing.setParameter(kDrive, 0.8125f);
        storing.setParameter(kBits, 0.9f);
        storing.storeMemoA();
        hostLog = &record;
    }
    const Memory memory = readMemory(kMemoA);
    ASSERT_TRUE(memory.complete);

    plugin->selectPreset(3);
    record = Log();
    plugin->recallMemoA();

    EXPECT_EQ(plugin->getPresetIndex(), 3);
    EXPECT_EQ(name(3), "Loudness 3");
    EXPECT_EQ(name(0), "Loudness 3");
    for (int i = 0; i < 26; ++i)
    {
        EXPECT_EQ(plugin->getProgramRecord(3)->getParameter(i), memory.values[i]) << i;
        EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(i), memory.values[i]) << i;
    }
    EXPECT_EQ(plugin->getParameter(kDrive), 0.8125f);
    EXPECT_EQ(plugin->getParameter(kBits), 0.9f);

    // One automate per parameter, in index order with the stored value; no
    // begin/end pairs; one display refresh; the preset bar hears the name.
    std::vector<HostCall> automates;
    for (const HostCall& c : record.calls)
        if (c.opcode == audioMasterAutomate)
            automates.push_back(c);
    ASSERT_EQ(automates.size(), 26u);
    for (int i = 0; i < 26; ++i)
    {
        EXPECT_EQ(automates[i].index, i);
        EXPECT_EQ(automates[i].opt, memory.values[i]);
    }
    EXPECT_EQ(count(audioMasterBeginEdit), 0u);
    EXPECT_EQ(count(audioMasterEndEdit), 0u);
    EXPECT_EQ(count(audioMasterUpdateDisplay), 1u);
    EXPECT_EQ(record.names, std::vector<std::string>{"Loudness 3"});
}

// A memory carries the guard switch like any other value, on and off.
TEST_F(Memories, TheTruePeakGuardSwitchIsStoredAndRecalled)
{
    plugin->selectPreset(10);
    plugin->setParameter(kTruePeakGuard, 0.75f);
    plugin->storeMemoA();
    EXPECT_EQ(readMemory(kMemoA).values[kTruePeakGuard], 0.75f);
    plugin->setParameter(kTruePeakGuard, 0.25f);
    plugin->storeMemoB();

    plugin->recallMemoA();
    EXPECT_EQ(plugin->getParameter(kTruePeakGuard), 0.75f);
    EXPECT_EQ(plugin->getStep(kTruePeakGuard), 1);
    EXPECT_EQ(plugin->getProgramRecord(10)->getParameter(kTruePeakGuard), 0.75f);
    plugin->recallMemoB();
    EXPECT_EQ(plugin->getStep(kTruePeakGuard), 0);
}

// These need a store without memories, or a key file edited by hand: the
// Linux store in a fresh temporary folder.
#if !defined(_WIN32)
TEST_F(Memories, RecallWithoutAStoredMemoryChangesNothing)
{
    plugin->selectPreset(11);
    plugin->setParameter(kRelease, 0.3f);
    const std::vector<float> before = live();
    record = Log();
    plugin->recallMemoA();
    plugin->recallMemoB();
    EXPECT_EQ(live(), before);
    EXPECT_EQ(name(11), "Game 1");
    EXPECT_TRUE(record.calls.empty());
    EXPECT_TRUE(record.names.empty());
    EXPECT_FALSE(std::ifstream(keyFile("MemoA")).good()); // a recall never creates the key
}

#endif

TEST_F(Memories, HandEditedLongNamesAreCutTo24Characters)
{
    const std::string names[] = {std::string(40, 'n'), "Twenty-five characters!!!", std::string(200, 'z')};
    for (const std::string& stored : names)
    {
        SCOPED_TRACE(stored.size());
        {
            platform::RegistryKey key;
            ASSERT_TRUE(key.create(kMemoB));
            key.setString("name", stored.c_str());
        }
        plugin->recallMemoB();
        EXPECT_EQ(name(0), stored.substr(0, 24));
        EXPECT_EQ(name(plugin->getPresetIndex()), stored.substr(0, 24));
    }
}

#if !defined(_WIN32)
// A memory is held to what a preset file load accepts before anything reaches
// the parameters or the host: infinities and values outside [0, 1] arrive
// clamped, and a memory of the older layout arrives converted, once.
TEST_F(Memories, RecalledValuesAreClampedAndOlderLayoutsConvertedAsAFileLoadDoes)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        int index;
        float stored;
        float expected;
    } odd[] = {{kOutput, inf, 1.0f},    {kDrive, -inf, 0.0f}, {kTransient, 1e30f, 1.0f},
               {kRelease, -5.0f, 0.0f}, {kLink, 2.0f, 1.0f},  {kLeveller, -0.0f, 0.0f}};
    std::ostringstream key;
    for (int i = 0; i < 26; ++i)
    {
        float value = i == 25 ? 0.015f : 0.25f;
        for (const auto& o : odd)
            if (o.index == i)
                value = o.stored;
        key << "binary\t" << valueName(i) << "\t" << hexOf(value) << "\n";
    }
    writeKeyFile("MemoA", key.str() + "string\tname\tOdd values\n");
    plugin->recallMemoA();
    for (const auto& o : odd)
        EXPECT_EQ(plugin->getParameter(o.index), o.expected) << o.index;
    for (const HostCall& call : record.calls)
    {
        if (call.opcode == audioMasterAutomate)
        {
            EXPECT_TRUE(call.opt >= 0.0f && call.opt <= 1.0f) << "index " << call.index << " reported as " << call.opt;
        }
    }
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(kOutput), 1.0f);
    EXPECT_EQ(name(0), "Odd values");

    // The older layout: Bits step 0 of 4 meant the requantizer off, Scale
    // step 0 of 4 peak metering. The host hears the converted values and the
    // current layout's marker, so an echo converts nothing a second time.
    std::ostringstream old;
    for (int i = 0; i < 26; ++i)
    {
        const float value = i == kLayoutMarker ? 0.0f : (i == kBits || i == kScale) ? 0.1f : 0.25f;
        old << "binary\t" << valueName(i) << "\t" << hexOf(value) << "\n";
    }
    writeKeyFile("MemoB", old.str());
    record = Log();
    plugin->recallMemoB();
    EXPECT_EQ(plugin->getParameter(kQuantize), 0.25f);
    EXPECT_EQ(plugin->getParameter(kBits), 0.5f);
    EXPECT_EQ(plugin->getParameter(kMeterType), 0.25f);
    EXPECT_EQ(plugin->getParameter(kScale), 0.5f);
    EXPECT_EQ(plugin->getProgramRecord(0)->getParameter(kLayoutMarker), 0.015f);
    for (const HostCall& call : record.calls)
    {
        if (call.opcode == audioMasterAutomate && call.index == kLayoutMarker)
        {
            EXPECT_EQ(call.opt, 0.015f);
        }
        else if (call.opcode == audioMasterAutomate && call.index == kMeterType)
        {
            EXPECT_EQ(call.opt, 0.25f);
        }
    }
}

TEST_F(Memories, MissingOrMalformedValuesLeaveTheirParametersAlone)
{
    plugin->selectPreset(2);
    const std::vector<float> before = live();
    std::ostringstream key;
    for (int i = 0; i < 26; ++i)
    {
        const std::string value = valueName(i);
        switch (i)
        {
        case 3: break;                                                       // missing
        case 4: key << "binary\t" << value << "\t000000\n"; break;           // 3 bytes
        case 5: key << "binary\t" << value << "\t0000003f0000003f\n"; break; // 8 bytes
        case 6: key << "string\t" << value << "\t0.5\n"; break;              // wrong type
        case 7: key << "binary\t" << value << "\t00zz003f\n"; break;         // damaged line
        case 13: key << "binary\t" << value << "\t0000c07f\n"; break;        // not a number
        default: key << "binary\t" << value << "\t" << hexOf(i == 25 ? 0.015f : 0.25f) << "\n"; break;
        }
    }
    writeKeyFile("MemoA", key.str()); // and no "name"
    record = Log();
    plugin->recallMemoA();

    for (int i = 0; i < 22; ++i)
    {
        const bool malformed = i == 3 || i == 4 || i == 5 || i == 6 || i == 7 || i == 13;
        EXPECT_EQ(plugin->getParameter(i), malformed ? before[i] : 0.25f) << i;
    }
    EXPECT_EQ(name(2), "Limiter Gentle");
    EXPECT_EQ(name(0), "Limiter Gentle");
    EXPECT_TRUE(record.names.empty());
    EXPECT_EQ(count(audioMasterAutomate), 20u);
}

#endif

TEST_F(Memories, ConcurrentStoresLeaveOneCompleteMemory)
{
    Plugin* first = plugin;
    first->selectPreset(7);
    first->setParameter(kOutput, 0.125f);
    VstEffect secondEffect(recordingHost);
    Plugin& second = secondEffect.getCore();
    second.selectPreset(16);
    second.setParameter(kOutput, 0.875f);
    const Memory fromFirst = expectedMemory(*first);
    const Memory fromSecond = expectedMemory(second);
    ASSERT_FALSE(fromFirst == fromSecond);

    std::atomic<bool> writing{true};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        while (writing)
        {
            const Memory m = readMemory(kMemoA);
            if (m.found && !m.complete)
                ++torn;
            else if (m.complete && !(m == fromFirst) && !(m == fromSecond))
                ++torn;
            ++reads;
        }
    });
    std::thread a([&] {
        for (int n = 0; n < 150; ++n)
            first->storeMemoA();
    });
    std::thread b([&] {
        for (int n = 0; n < 150; ++n)
            second.storeMemoA();
    });
    a.join();
    b.join();
    writing = false;
    reader.join();

    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    const Memory last = readMemory(kMemoA);
    EXPECT_TRUE(last == fromFirst || last == fromSecond);

    // A third instance recalls exactly one of the two.
    VstEffect thirdEffect(recordingHost);
    Plugin& third = thirdEffect.getCore();
    third.recallMemoA();
    const Memory recalled = expectedMemory(third);
    EXPECT_TRUE(recalled == last);
}
