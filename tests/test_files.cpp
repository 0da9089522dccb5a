// Preset (.qdx) and bank (.qdb) files: their exact bytes, what a load does to
// the programs, the live parameters and the host, and what a bad file does:
// one message and no change at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <sys/stat.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "presets/FactoryPresets.h"
#include "platform/ReplacementFile.h"
#include "presets/FileErrorReporter.h"
#include "presets/PresetFileAccess.h"
#include "presets/PresetFileFormat.h"
#include "presets/PresetFileOperations.h"
#include "presets/PresetChangesFromEffect.h"
#include "tests/support/TestHost.h"

using namespace presetfile;
using Bytes = std::vector<unsigned char>;

namespace
{
// One log for host calls and listener calls, so their order can be checked.
struct Event
{
    std::string what; // "begin", "automate", "end", "display", "name:<text>", "programs:<index>"
    VstInt32 index;
    float value;
};
std::vector<Event>* eventLog = nullptr;

// Some hosts answer every automation report by setting the parameter back.
bool echoAutomation = false;

VstIntPtr VSTCALLBACK recordingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt)
{
    if (echoAutomation && effect && opcode == audioMasterAutomate)
        effect->setParameter(effect, index, opt);
    if (eventLog)
    {
        if (opcode == audioMasterBeginEdit)
            eventLog->push_back({"begin", index, 0});
        else if (opcode == audioMasterAutomate)
            eventLog->push_back({"automate", index, opt});
        else if (opcode == audioMasterEndEdit)
            eventLog->push_back({"end", index, 0});
        else if (opcode == audioMasterUpdateDisplay)
            eventLog->push_back({"display", 0, 0});
    }
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct LoggingListener : PresetChangesFromEffect
{
    void presetNameChanged(const char* name) override { eventLog->push_back({std::string("name:") + name, 0, 0}); }
    void programsChanged(int selected) override
    {
        eventLog->push_back({"programs:" + std::to_string(selected), selected, 0});
    }
};

Bytes floatBytes(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return {(unsigned char)bits, (unsigned char)(bits >> 8), (unsigned char)(bits >> 16), (unsigned char)(bits >> 24)};
}

void putBits(Bytes& file, size_t offset, uint32_t bits)
{
    for (int b = 0; b < 4; ++b)
        file[offset + b] = (unsigned char)(bits >> (8 * b));
}

void putFloat(Bytes& file, size_t offset, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putBits(file, offset, bits);
}

// A record built by hand: name zero-padded, then the values.
Bytes record(const std::string& name, const float* values)
{
    Bytes out(name.begin(), name.end());
    out.resize(24, 0);
    for (int j = 0; j < 26; ++j)
    {
        Bytes v = floatBytes(values[j]);
        out.insert(out.end(), v.begin(), v.end());
    }
    return out;
}

Bytes header(unsigned char type, const char* magic = "vzDQ")
{
    return {(unsigned char)magic[0], (unsigned char)magic[1], (unsigned char)magic[2], (unsigned char)magic[3], type};
}

std::vector<float> factoryValues(int program)
{
    std::vector<float> v(26);
    for (int j = 0; j < 26; ++j)
        v[j] = (float)kFactoryPresets[program].values[j];
    return v;
}

// A preset different from every factory program, with values strictly inside (0, 1).
Bytes distinctPreset(const std::string& name = "From a file", const char* magic = "vzDQ")
{
    float values[26];
    for (int j = 0; j < 26; ++j)
        values[j] = 0.03f + 0.035f * (float)j;
    values[25] = 0.015f;
    Bytes file = header(kPresetType, magic);
    Bytes r = record(name, values);
    file.insert(file.end(), r.begin(), r.end());
    return file;
}

Bytes distinctBank(const char* magic = "vzDQ")
{
    Bytes file = header(kBankType, magic);
    for (int i = 0; i < 24; ++i)
    {
        float values[26];
        for (int j = 0; j < 26; ++j)
            values[j] = std::fmod(0.011f * (float)(i + 1) + 0.029f * (float)j, 1.0f);
        values[25] = 0.015f;
        Bytes r = record("Bank program " + std::to_string(i), values);
        file.insert(file.end(), r.begin(), r.end());
    }
    return file;
}

class Files : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useTemporarySettingsStore("files");
        static std::atomic<int> serial{0};
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        directory = (std::filesystem::temp_directory_path() /
                     ("zelvo-files-" + std::to_string(now) + "-" + std::to_string(serial++)))
                        .string();
        std::filesystem::create_directories(directory);
        eventLog = &events;
        vst = new VstEffect(recordingHost);
        plugin = &vst->getCore();
        plugin->setPresetSystemListener(&listener);
        events.clear();
    }
    void TearDown() override
    {
        echoAutomation = false;
        delete vst;
        eventLog = nullptr;
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
    }

    std::string path(const std::string& name) const { return directory + "/" + name; }
#if !defined(_WIN32)
    // Runs body in a child process that an alarm ends after 10 s, as an
    // ordinary user in place of root when asked (root may write any file).
    // Answers body's result, 10 when root cannot be given up, 100 + the
    // signal that ended the child.
    int runInChild(const std::function<int()>& body, bool ordinaryUser = false)
    {
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            alarm(10);
            if (ordinaryUser && getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(10);
            _exit(body());
        }
        int status = 0;
        if (child < 0 || waitpid(child, &status, 0) != child)
            return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    }
#endif
    void writeFile(const std::string& file, const Bytes& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write((const char*)bytes.data(), (std::streamsize)bytes.size());
    }
    Bytes readFile(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string name(int program)
    {
        char text[32];
        plugin->getProgramRecord(program)->getName(text);
        return text;
    }
    float value(int program, int index) { return plugin->getProgramRecord(program)->getParameter(index); }
    // Everything a load may change: all programs, the selection, the live values.
    struct State
    {
        Bytes bank;
        int selected;
        std::vector<float> live;
        bool operator==(const State& o) const { return bank == o.bank && selected == o.selected && live == o.live; }
    };
    State state()
    {
        State s{bankBytes(*plugin), plugin->getPresetIndex(), {}};
        for (int j = 0; j < 26; ++j)
            s.live.push_back(plugin->getParameter(j));
        return s;
    }
    size_t count(const std::string& what)
    {
        size_t n = 0;
        for (const Event& e : events)
            n += e.what == what;
        return n;
    }

    std::string directory;
    std::vector<Event> events;
    LoggingListener listener;
    RecordingFileErrorReporter reporter;
    VstEffect* vst = nullptr;
    Plugin* plugin = nullptr;
};
} // namespace

// ---------------------------------------------------------------- layouts

TEST_F(Files, PresetOfProgram7IsExactly133HandBuiltBytes)
{
    plugin->selectPreset(7);
    ASSERT_EQ(savePreset(*plugin, path("l3.qdx").c_str(), reporter), FileResult::done);
    const Bytes file = readFile(path("l3.qdx"));

    Bytes expected = {'v', 'z', 'D', 'Q', 0x21, 'L', 'o', 'u', 'd', 'n', 'e', 's', 's', ' ', '3'};
    expected.resize(5 + 24, 0); // the terminator and 13 further zero bytes
    for (float v : factoryValues(7))
    {
        Bytes b = floatBytes(v);
        expected.insert(expected.end(), b.begin(), b.end());
    }
    ASSERT_EQ(file.size(), 133u);
    EXPECT_EQ(file, expected);
    // Spot checks independent of any float conversion here: 0.5 and 0.015.
    EXPECT_EQ(Bytes(file.begin() + 29 + 4 * 3, file.begin() + 29 + 4 * 4), (Bytes{0x00, 0x00, 0x00, 0x3f}));
    EXPECT_EQ(Bytes(file.begin() + 129, file.end()), (Bytes{0x8f, 0xc2, 0x75, 0x3c}));
}

TEST_F(Files, BankIs3077BytesWithRecordsAtTheirOffsets)
{
    ASSERT_EQ(saveBank(*plugin, path("factory.qdb").c_str(), reporter), FileResult::done);
    const Bytes file = readFile(path("factory.qdb"));
    ASSERT_EQ(file.size(), 3077u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 5), (Bytes{'v', 'z', 'D', 'Q', 0x37}));
    for (int i = 0; i < 24; ++i)
    {
        const size_t at = 5 + 128 * (size_t)i;
        const std::string stored(reinterpret_cast<const char*>(&file[at]));
        EXPECT_EQ(stored, kFactoryPresets[i].name) << "program " << i;
        for (int j = 0; j < 26; ++j)
            EXPECT_EQ(Bytes(file.begin() + at + 24 + 4 * j, file.begin() + at + 28 + 4 * j),
                      floatBytes((float)kFactoryPresets[i].values[j]))
                << "program " << i << " value " << j;
    }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[5])), "Current");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[2949])), "Total Disorder");
}

// Every name is zero-padded to its 24 bytes: nothing of an earlier, longer
// name (another program's, or the same program's before a rename) follows
// its terminator, in banks or presets.
TEST_F(Files, NoEarlierNameSurvivesBehindANamesTerminator)
{
    plugin->selectPreset(11); // "Game 1", after "CD Master 3 [recon]"
    plugin->renamePreset("A name of 24 characters!");
    plugin->renamePreset("Short");
    ASSERT_EQ(saveBank(*plugin, path("b.qdb").c_str(), reporter), FileResult::done);
    ASSERT_EQ(savePreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::done);
    const Bytes bank = readFile(path("b.qdb"));
    const Bytes preset = readFile(path("p.qdx"));
    ASSERT_EQ(bank.size(), 3077u);
    ASSERT_EQ(preset.size(), 133u);
    auto padding = [](const Bytes& file, size_t at) {
        const size_t length = std::strlen(reinterpret_cast<const char*>(&file[at]));
        return Bytes(file.begin() + (long)(at + length), file.begin() + (long)at + 24);
    };
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(padding(bank, 5 + 128 * (size_t)i), Bytes(24 - name(i).size(), 0)) << "program " << i;
    EXPECT_EQ(name(11), "Short");
    EXPECT_EQ(padding(preset, 5), Bytes(19, 0));
}

TEST_F(Files, SavedFilesReadBackToTheSamePrograms)
{
    plugin->selectPreset(9);
    plugin->setParameter(kDrive, 0.77f);
    ASSERT_EQ(saveBank(*plugin, path("b.qdb").c_str(), reporter), FileResult::done);
    ASSERT_EQ(savePreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::done);
    const State saved = state();

    VstEffect otherEffect(recordingHost);
    Plugin& other = otherEffect.getCore();
    ASSERT_EQ(loadBank(other, path("b.qdb").c_str(), reporter), FileResult::done);
    EXPECT_EQ(bankBytes(other), saved.bank);
    // The bank selects program 0, which holds the edited "CD Master 2".
    EXPECT_EQ(other.getPresetIndex(), 0);
    EXPECT_FLOAT_EQ(other.getParameter(kDrive), 0.77f);

    other.selectPreset(3);
    ASSERT_EQ(loadPreset(other, path("p.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(presetBytes(other), presetBytes(*plugin));
    EXPECT_TRUE(reporter.messages.empty());
}

// The guard is stored like every switch, at index 22; files from before it
// hold 0 there and load with it off.
TEST_F(Files, TheTruePeakGuardSwitchTravelsInPresetAndBankFiles)
{
    plugin->selectPreset(10);
    plugin->setParameter(kTruePeakGuard, 0.75f);
    ASSERT_EQ(savePreset(*plugin, path("guard.qdx").c_str(), reporter), FileResult::done);
    ASSERT_EQ(saveBank(*plugin, path("guard.qdb").c_str(), reporter), FileResult::done);
    Bytes older = readFile(path("guard.qdx"));
    putFloat(older, 5 + 24 + 4 * kTruePeakGuard, 0.0f);
    writeFile(path("older.qdx"), older);

    VstEffect otherEffect(recordingHost);
    Plugin& other = otherEffect.getCore();
    ASSERT_EQ(loadBank(other, path("guard.qdb").c_str(), reporter), FileResult::done);
    EXPECT_EQ(other.getParameter(kTruePeakGuard), 0.75f);
    EXPECT_EQ(other.getStep(kTruePeakGuard), 1);
    ASSERT_EQ(loadPreset(other, path("older.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(other.getParameter(kTruePeakGuard), 0.0f);
    EXPECT_EQ(other.getStep(kTruePeakGuard), 0);
    ASSERT_EQ(loadPreset(other, path("guard.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(other.getStep(kTruePeakGuard), 1);
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(Files, NameOfExactly24CharactersSurvivesBothFormats)
{
    const std::string name24 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    plugin->selectPreset(4);
    plugin->renamePreset((name24 + "YZ").c_str()); // a program never holds more than 24
    ASSERT_EQ(savePreset(*plugin, path("n.qdx").c_str(), reporter), FileResult::done);
    ASSERT_EQ(saveBank(*plugin, path("n.qdb").c_str(), reporter), FileResult::done);
    const Bytes preset = readFile(path("n.qdx"));
    EXPECT_EQ(std::string(preset.begin() + 5, preset.begin() + 29), name24); // no terminator in the file

    VstEffect otherEffect(recordingHost);
    Plugin& other = otherEffect.getCore();
    other.selectPreset(2);
    ASSERT_EQ(loadPreset(other, path("n.qdx").c_str(), reporter), FileResult::done);
    char text[32];
    other.getProgramRecord(2)->getName(text);
    EXPECT_EQ(std::string(text), name24);
    ASSERT_EQ(loadBank(other, path("n.qdb").c_str(), reporter), FileResult::done);
    other.getProgramRecord(4)->getName(text);
    EXPECT_EQ(std::string(text), name24);
}

// A program of the older layout (index 25 below 0.01) is converted once, as
// it enters the program list: the user's edits survive selecting it again,
// a saved file carries the current layout, and a host echoing the automation
// does not convert it a second time.
TEST_F(Files, OlderLayoutProgramsAreConvertedOnceWhenLoaded)
{
    Bytes bank = distinctBank();
    for (int program : {0, 3})
    {
        const size_t values = 5 + 128 * (size_t)program + 24;
        putFloat(bank, values + 4 * kBits, 0.3f);  // old step 1 of 4: 16 bits, requantizer on
        putFloat(bank, values + 4 * kScale, 0.1f); // old step 0 of 4: peak metering
        putFloat(bank, values + 4 * kLayoutMarker, 0.0f);
    }
    writeFile(path("old.qdb"), bank);
    echoAutomation = true;
    ASSERT_EQ(loadBank(*plugin, path("old.qdb").c_str(), reporter), FileResult::done);
    // Converted once, in the programs and in the live values of program 0.
    for (int program : {0, 3})
    {
        SCOPED_TRACE(program);
        EXPECT_EQ(value(program, kLayoutMarker), 0.015f);
        EXPECT_EQ(value(program, kQuantize), 0.75f);
        EXPECT_EQ(value(program, kBits), stepValue(0, 3));
        EXPECT_EQ(value(program, kMeterType), 0.25f); // peak
        EXPECT_EQ(value(program, kScale), 0.5f);
        EXPECT_EQ(value(program, kAttShow), 0.9375f);
    }
    EXPECT_EQ(plugin->getParameter(kMeterType), 0.25f);
    EXPECT_EQ(plugin->getParameter(kScale), 0.5f);
    EXPECT_EQ(plugin->getParameter(kQuantize), 0.75f);

    // Switching the requantizer off survives selecting the program again.
    plugin->selectPreset(3);
    plugin->setParameter(kQuantize, 0.25f);
    plugin->selectPreset(5);
    plugin->selectPreset(3);
    EXPECT_EQ(plugin->getParameter(kQuantize), 0.25f);
    EXPECT_EQ(plugin->getParameter(kMeterType), 0.25f);

    ASSERT_EQ(saveBank(*plugin, path("new.qdb").c_str(), reporter), FileResult::done);
    const Bytes saved = readFile(path("new.qdb"));
    const size_t program3 = 5 + 128 * 3 + 24;
    EXPECT_EQ(Bytes(saved.begin() + program3 + 4 * kLayoutMarker, saved.begin() + program3 + 4 * kLayoutMarker + 4),
              floatBytes(0.015f));
    EXPECT_EQ(Bytes(saved.begin() + program3 + 4 * kQuantize, saved.begin() + program3 + 4 * kQuantize + 4),
              floatBytes(0.25f));

    // A preset file of the older layout is converted the same way.
    Bytes preset = distinctPreset("Old preset");
    putFloat(preset, 5 + 24 + 4 * kBits, 0.1f); // old step 0: requantizer off
    putFloat(preset, 5 + 24 + 4 * kLayoutMarker, 0.005f);
    writeFile(path("old.qdx"), preset);
    ASSERT_EQ(loadPreset(*plugin, path("old.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(value(3, kLayoutMarker), 0.015f);
    EXPECT_EQ(value(3, kQuantize), 0.25f);
    EXPECT_EQ(value(3, kBits), 0.5f);
    EXPECT_EQ(plugin->getParameter(kQuantize), 0.25f);
    EXPECT_TRUE(reporter.messages.empty());
}

// ---------------------------------------------------------------- loading

TEST_F(Files, BothByteOrdersOfTheMagicAreAccepted)
{
    for (const char* magic : {"vzDQ", "QDzv"})
    {
        SCOPED_TRACE(magic);
        writeFile(path("p.qdx"), distinctPreset("Magic", magic));
        writeFile(path("b.qdb"), distinctBank(magic));
        EXPECT_EQ(loadPreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::done);
        EXPECT_EQ(name(0), "Magic");
        EXPECT_EQ(loadBank(*plugin, path("b.qdb").c_str(), reporter), FileResult::done);
        EXPECT_EQ(name(23), "Bank program 23");
        EXPECT_TRUE(reporter.messages.empty());
    }
}

TEST_F(Files, PresetLoadedWhileProgram12IsSelectedReplacesProgram12AndReappliesIt)
{
    plugin->selectPreset(12);
    const Bytes file = distinctPreset("Loaded into 12");
    writeFile(path("p.qdx"), file);
    const Bytes program5Before = encodePreset(programData(*plugin->getProgramRecord(5)));
    events.clear();

    ASSERT_EQ(loadPreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::done);

    EXPECT_EQ(plugin->getPresetIndex(), 12);
    EXPECT_EQ(name(12), "Loaded into 12");
    EXPECT_EQ(name(0), "Loaded into 12");
    ProgramData fromFile;
    ASSERT_EQ(decodePreset(file.data(), file.size(), fromFile), FileCheck::accepted);
    for (int j = 0; j < 26; ++j)
    {
        EXPECT_EQ(value(12, j), fromFile.values[j]) << j;
        EXPECT_EQ(value(0, j), fromFile.values[j]) << j;
    }
    for (int j = 0; j < 22; ++j)
        EXPECT_EQ(plugin->getParameter(j), fromFile.values[j]) << j;
    EXPECT_EQ(encodePreset(programData(*plugin->getProgramRecord(5))), program5Before);

    // The preset bar hears the name first, then every parameter reaches the
    // host as begin, read-back, value, end.
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().what, "name:Loaded into 12");
    EXPECT_EQ(count("begin"), 26u);
    EXPECT_EQ(count("automate"), 52u);
    EXPECT_EQ(count("end"), 26u);
    EXPECT_EQ(count("programs:0"), 0u);
}

TEST_F(Files, BankLoadReplacesAll24ProgramsAndSelectsProgram0)
{
    plugin->selectPreset(12);
    const Bytes file = distinctBank();
    writeFile(path("b.qdb"), file);
    ProgramData expected[24];
    ASSERT_EQ(decodeBank(file.data(), file.size(), expected), FileCheck::accepted);
    events.clear();

    ASSERT_EQ(loadBank(*plugin, path("b.qdb").c_str(), reporter), FileResult::done);

    EXPECT_EQ(plugin->getPresetIndex(), 0);
    for (int i = 0; i < 24; ++i)
    {
        EXPECT_EQ(name(i), expected[i].name);
        for (int j = 0; j < 26; ++j)
            EXPECT_EQ(value(i, j), expected[i].values[j]) << i << " " << j;
    }
    for (int j = 0; j < 22; ++j)
        EXPECT_EQ(plugin->getParameter(j), expected[0].values[j]) << j;
    // Menu first, then program 0 applied and reported.
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().what, "programs:0");
    EXPECT_EQ(count("begin"), 26u);
    EXPECT_EQ(count("display"), 1u);
}

TEST_F(Files, ValuesOutsideTheUnitRangeAreClamped)
{
    Bytes file = distinctPreset("Clamped");
    putFloat(file, 29 + 4 * 0, 2.0f);
    putFloat(file, 29 + 4 * 1, -0.5f);
    putFloat(file, 29 + 4 * 2, std::numeric_limits<float>::infinity());
    putFloat(file, 29 + 4 * 3, -std::numeric_limits<float>::infinity());
    putFloat(file, 29 + 4 * 5, 1e30f);
    writeFile(path("p.qdx"), file);
    ASSERT_EQ(loadPreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(value(0, 0), 1.0f);
    EXPECT_EQ(value(0, 1), 0.0f);
    EXPECT_EQ(value(0, 2), 1.0f);
    EXPECT_EQ(value(0, 3), 0.0f);
    EXPECT_EQ(value(0, 5), 1.0f);
    EXPECT_EQ(plugin->getParameter(kOutput), 1.0f);
    EXPECT_EQ(plugin->getParameter(kDrive), 0.0f);
}

// ---------------------------------------------------------------- bad files

TEST_F(Files, WrongMagicOrTypeGivesItsMessageAndChangesNothing)
{
    struct Case
    {
        const char* what;
        Bytes file;
        bool bankReader;
        const char* message;
    };
    Bytes swappedPairs = distinctPreset();
    std::memcpy(swappedPairs.data(), "DQvz", 4); // neither byte order of the identifier
    Bytes wrongCase = distinctBank();
    wrongCase[3] = 'q';
    Bytes presetType = distinctBank();
    presetType[4] = kPresetType;
    Bytes otherType = distinctPreset();
    otherType[4] = '7' + 1;
    const Case cases[] = {
        {"preset to the bank reader", distinctPreset(), true, "Not a bank file!"},
        {"bank to the preset reader", distinctBank(), false, "Not a preset file!"},
        {"bank with the preset type byte", presetType, true, "Not a bank file!"},
        {"unknown type byte", otherType, false, "Not a preset file!"},
        {"magic with swapped pairs", swappedPairs, false, "Invalid file format!"},
        {"magic with a wrong letter", wrongCase, true, "Invalid file format!"},
        {"text file", Bytes(200, 'x'), true, "Invalid file format!"},
    };
    plugin->selectPreset(6);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        writeFile(path("bad"), c.file);
        const State before = state();
        events.clear();
        reporter.messages.clear();
        const FileResult result = c.bankReader ? loadBank(*plugin, path("bad").c_str(), reporter)
                                               : loadPreset(*plugin, path("bad").c_str(), reporter);
        EXPECT_EQ(result, FileResult::rejected);
        ASSERT_EQ(reporter.messages.size(), 1u);
        EXPECT_EQ(reporter.messages[0].caption, "Error...");
        EXPECT_EQ(reporter.messages[0].text, c.message);
        EXPECT_TRUE(state() == before);
        EXPECT_TRUE(events.empty());
    }
}

TEST_F(Files, TruncatedFilesOfEveryLengthChangeNothing)
{
    struct Case
    {
        Bytes file;
        bool bankReader;
    };
    const Case cases[] = {{distinctPreset(), false}, {distinctBank(), true}, {distinctBank("QDzv"), true}};
    plugin->selectPreset(3);
    const State before = state();
    for (const Case& c : cases)
    {
        for (size_t length = 0; length < c.file.size(); ++length)
        {
            SCOPED_TRACE(length);
            writeFile(path("short"), Bytes(c.file.begin(), c.file.begin() + length));
            reporter.messages.clear();
            events.clear();
            const FileResult result = c.bankReader ? loadBank(*plugin, path("short").c_str(), reporter)
                                                   : loadPreset(*plugin, path("short").c_str(), reporter);
            ASSERT_EQ(result, FileResult::rejected);
            ASSERT_EQ(reporter.messages.size(), 1u);
            ASSERT_EQ(reporter.messages[0].text, "Invalid file format!");
            ASSERT_TRUE(events.empty());
            ASSERT_TRUE(state() == before);
        }
    }
    // Bytes after the layout are never read: a longer file loads.
    Bytes longer = distinctBank();
    longer.resize(longer.size() + 100, 0xee);
    writeFile(path("long"), longer);
    EXPECT_EQ(loadBank(*plugin, path("long").c_str(), reporter), FileResult::done);
    EXPECT_EQ(name(0), "Bank program 0");
}

TEST_F(Files, AValueThatIsNotANumberRejectsTheWholeFile)
{
    const uint32_t nans[] = {0x7fc00000u, 0x7f800001u, 0xffc00000u, 0xffffffffu};
    plugin->selectPreset(8);
    const State before = state();
    for (uint32_t bits : nans)
    {
        SCOPED_TRACE(bits);
        Bytes preset = distinctPreset();
        putBits(preset, 29 + 4 * 13, bits);
        Bytes bank = distinctBank();
        putBits(bank, 5 + 128 * 23 + 24 + 4 * 25, bits); // the very last value of the bank
        writeFile(path("p.qdx"), preset);
        writeFile(path("b.qdb"), bank);
        reporter.messages.clear();
        EXPECT_EQ(loadPreset(*plugin, path("p.qdx").c_str(), reporter), FileResult::rejected);
        EXPECT_EQ(loadBank(*plugin, path("b.qdb").c_str(), reporter), FileResult::rejected);
        ASSERT_EQ(reporter.messages.size(), 2u);
        EXPECT_EQ(reporter.messages[0].text, "Invalid file format!");
        EXPECT_EQ(reporter.messages[1].text, "Invalid file format!");
        EXPECT_TRUE(state() == before);
    }
}

TEST_F(Files, FilesThatCannotBeOpenedDoNothingAndSayNothing)
{
    const State before = state();
    EXPECT_EQ(loadPreset(*plugin, path("missing.qdx").c_str(), reporter), FileResult::cannotOpen);
    EXPECT_EQ(loadBank(*plugin, path("missing.qdb").c_str(), reporter), FileResult::cannotOpen);
    EXPECT_EQ(loadBank(*plugin, directory.c_str(), reporter), FileResult::cannotOpen);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(state() == before);
}

#if !defined(_WIN32)
// Files are read only when they can be opened for update, so a read-only
// file is left alone. Root may open any file for writing, so the check runs
// in a child process that has given up root for an ordinary user: there a
// file of mode 0444 really cannot be opened for update, while the same
// bytes in a file of mode 0666 load (the control).
TEST_F(Files, AFileThatCannotBeOpenedForUpdateIsNotRead)
{
    chmod(directory.c_str(), 0755);
    writeFile(path("readonly.qdx"), distinctPreset("Read only"));
    writeFile(path("writable.qdx"), distinctPreset("Writable"));
    chmod(path("readonly.qdx").c_str(), 0444);
    chmod(path("writable.qdx").c_str(), 0666);

    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        int code = 0;
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        if (FILE* probe = std::fopen(path("readonly.qdx").c_str(), "rb+"))
        {
            std::fclose(probe);
            _exit(11); // the environment cannot make a file read-only for us
        }
        RecordingFileErrorReporter childReporter;
        const State before = state();
        if (loadPreset(*plugin, path("readonly.qdx").c_str(), childReporter) != FileResult::cannotOpen)
            code |= 1;
        if (!(state() == before) || !childReporter.messages.empty())
            code |= 2;
        if (loadPreset(*plugin, path("writable.qdx").c_str(), childReporter) != FileResult::done ||
            name(0) != "Writable")
            code |= 4;
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 11)
        GTEST_SKIP() << "read-only files can be opened for update here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: read-only file was read, 2: state changed or message shown, "
                                         "4: writable file not read, 10: cannot drop privileges";
}

// Only regular files are read. A pipe would hold the reader forever and a
// device would hand it its data; both, and links to them, are turned away
// before a byte is read, like a missing file: nothing happens, nothing is
// shown. The loads run in a child that an alarm ends should one of them wait.
TEST_F(Files, PipesAndDevicesAreNotReadAndNeverWaitedFor)
{
    ASSERT_EQ(mkfifo(path("pipe.qdx").c_str(), 0666), 0);
    std::filesystem::create_symlink("pipe.qdx", path("to-pipe.qdb"));
    std::filesystem::create_symlink("/dev/zero", path("zeros.qdx"));

    const int result = runInChild([&] {
        int code = 0;
        RecordingFileErrorReporter childReporter;
        const State before = state();
        for (const char* name : {"pipe.qdx", "to-pipe.qdb", "zeros.qdx"})
        {
            if (loadPreset(*plugin, path(name).c_str(), childReporter) != FileResult::cannotOpen)
                code |= 1;
            if (loadBank(*plugin, path(name).c_str(), childReporter) != FileResult::cannotOpen)
                code |= 2;
        }
        if (!(state() == before) || !childReporter.messages.empty())
            code |= 4;
        return code;
    });
    EXPECT_EQ(result, 0) << "1: a preset was read, 2: a bank was read, 4: state changed or message shown, "
                            "114: a load waited on the pipe";
}

#endif

// ---------------------------------------------------------------- saving

namespace
{
// A disk that fills up after a number of bytes.
class FailingWriter : public FileByteWriter
{
public:
    explicit FailingWriter(size_t budget) : budget(budget) {}
    bool write(platform::ReplacementFile& file, const unsigned char* bytes, size_t size) override
    {
        const size_t now = size < budget ? size : budget;
        budget -= now;
        return file.write(bytes, now) && now == size;
    }

private:
    size_t budget;
};
} // namespace

class Saves : public Files
{
protected:
    void SetUp() override
    {
        Files::SetUp();
        ASSERT_EQ(saveBank(*plugin, path("good.qdb").c_str(), reporter), FileResult::done);
        good = readFile(path("good.qdb"));
        ASSERT_EQ(good.size(), 3077u);
        // What a save would write now differs from the file on disk.
        plugin->selectPreset(6);
        plugin->setParameter(kDrive, 0.9f);
        plugin->renamePreset("Edited since");
    }
    // Names in the test's folder, to show that no partial copy stays behind.
    std::vector<std::string> entries()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    Bytes good;
};

TEST_F(Saves, AWriterThatFailsPartWayLeavesTheOldFileAndSaysSo)
{
    for (size_t budget : {size_t(0), size_t(1), size_t(1000), size_t(3076)})
    {
        SCOPED_TRACE(budget);
        reporter.messages.clear();
        FailingWriter bank(budget);
        EXPECT_EQ(saveBank(*plugin, path("good.qdb").c_str(), reporter, &bank), FileResult::notSaved);
        FailingWriter preset(std::min(budget, size_t(132))); // a preset file is 133 bytes
        EXPECT_EQ(savePreset(*plugin, path("new.qdx").c_str(), reporter, &preset), FileResult::notSaved);
        EXPECT_EQ(readFile(path("good.qdb")), good);
        EXPECT_EQ(entries(), std::vector<std::string>{"good.qdb"});
        ASSERT_EQ(reporter.messages.size(), 2u);
        for (const auto& message : reporter.messages)
        {
            EXPECT_EQ(message.caption, "Error...");
            EXPECT_EQ(message.text, kSaveFailedMessage);
        }
    }
    // The same writer with room enough writes the whole file.
    FailingWriter roomy(3077);
    EXPECT_EQ(saveBank(*plugin, path("good.qdb").c_str(), reporter, &roomy), FileResult::done);
    EXPECT_EQ(readFile(path("good.qdb")), bankBytes(*plugin));
}

TEST_F(Saves, SavingIntoAMissingFolderOrOverAFolderSaysSo)
{
    const State before = state();
    EXPECT_EQ(saveBank(*plugin, path("no/such/dir.qdb").c_str(), reporter), FileResult::notSaved);
    EXPECT_EQ(savePreset(*plugin, directory.c_str(), reporter), FileResult::notSaved);
    EXPECT_EQ(reporter.messages.size(), 2u);
    EXPECT_TRUE(state() == before);
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_EQ(entries(), std::vector<std::string>{"good.qdb"});
}

#if defined(_WIN32)
// The Windows names of devices are no files: "NUL" is neither read nor
// replaced. A read-only file is not replaced either.
TEST_F(Saves, DevicesAndReadOnlyFilesAreNeitherReadNorReplaced)
{
    EXPECT_EQ(loadBank(*plugin, "NUL", reporter), FileResult::cannotOpen);
    EXPECT_EQ(loadPreset(*plugin, "NUL", reporter), FileResult::cannotOpen);
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(saveBank(*plugin, "NUL", reporter), FileResult::notSaved);
    ASSERT_EQ(_chmod(path("good.qdb").c_str(), _S_IREAD), 0);
    EXPECT_EQ(saveBank(*plugin, path("good.qdb").c_str(), reporter), FileResult::notSaved);
    _chmod(path("good.qdb").c_str(), _S_IREAD | _S_IWRITE);
    EXPECT_EQ(readFile(path("good.qdb")), good);
    EXPECT_EQ(entries(), std::vector<std::string>{"good.qdb"});
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(reporter.messages[1].text, kSaveFailedMessage);
}
#endif

#if !defined(_WIN32)
// Limits and permissions apply to a child process: a file-size limit (with
// SIGXFSZ ignored, the write fails as on a full disk) and, for a read-only
// folder, an ordinary user in place of root, who may write anywhere.
// Exit code: 1 wrong result, 2 no or wrong message, 10 setup failed.
TEST_F(Saves, FileSizeLimitsAndReadOnlyFoldersLeaveEveryFileAsItWas)
{
    auto inChild = [&](auto&& setup, auto&& save) {
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0)
        {
            if (!setup())
                _exit(10);
            RecordingFileErrorReporter childReporter;
            int code = save(childReporter) == FileResult::notSaved ? 0 : 1;
            if (childReporter.messages.size() != 1 || childReporter.messages[0].text != kSaveFailedMessage ||
                childReporter.messages[0].caption != std::string("Error..."))
                code |= 2;
            _exit(code);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
    };
    auto limitFileSize = [](rlim_t bytes) {
        return [bytes] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{bytes, bytes};
            return setrlimit(RLIMIT_FSIZE, &limit) == 0;
        };
    };

    // Writes capped at 1000 bytes: the 3077-byte bank cannot be replaced.
    EXPECT_EQ(inChild(limitFileSize(1000),
                      [&](FileErrorReporter& r) { return saveBank(*plugin, path("good.qdb").c_str(), r); }),
              0);
    EXPECT_EQ(readFile(path("good.qdb")), good);
    // No byte may be written at all: a new preset leaves no empty file behind.
    EXPECT_EQ(inChild(limitFileSize(0),
                      [&](FileErrorReporter& r) { return savePreset(*plugin, path("new.qdx").c_str(), r); }),
              0);
    EXPECT_EQ(entries(), std::vector<std::string>{"good.qdb"});

    // A folder the user may not write to, holding the bank.
    chmod(path("good.qdb").c_str(), 0644);
    chmod(directory.c_str(), 0555);
    const auto ordinaryUser = [] {
        return getuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
    };
    EXPECT_EQ(
        inChild(ordinaryUser, [&](FileErrorReporter& r) { return saveBank(*plugin, path("good.qdb").c_str(), r); }), 0);
    EXPECT_EQ(
        inChild(ordinaryUser, [&](FileErrorReporter& r) { return savePreset(*plugin, path("new.qdx").c_str(), r); }),
        0);
    chmod(directory.c_str(), 0755);
    EXPECT_EQ(readFile(path("good.qdb")), good);
    EXPECT_EQ(entries(), std::vector<std::string>{"good.qdb"});
}

namespace
{
// What a name in the folder is, without following a link.
mode_t kindOf(const std::string& file)
{
    struct stat info;
    return lstat(file.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}
} // namespace

// A save never puts a file where a device or a pipe is, nor through a link
// into one: it is refused with the message and the node stays as it was.
// The device is a node like /dev/full (1, 7) made in the test's folder, so
// that a faulty save could not take one of the machine's own.
TEST_F(Saves, DevicesAndPipesAreNeverReplacedByAFile)
{
    ASSERT_EQ(mkfifo(path("pipe.qdb").c_str(), 0666), 0);
    std::vector<std::string> nodes = {"pipe.qdb", "link-to-pipe.qdx"};
    std::filesystem::create_symlink("pipe.qdb", path("link-to-pipe.qdx"));
    if (mknod(path("full.qdb").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0)
        nodes.push_back("full.qdb");
    const std::vector<std::string> before = entries();
    for (const std::string& node : nodes)
    {
        SCOPED_TRACE(node);
        const mode_t kind = kindOf(path(node));
        reporter.messages.clear();
        EXPECT_EQ(saveBank(*plugin, path(node).c_str(), reporter), FileResult::notSaved);
        EXPECT_EQ(savePreset(*plugin, path(node).c_str(), reporter), FileResult::notSaved);
        ASSERT_EQ(reporter.messages.size(), 2u);
        for (const auto& message : reporter.messages)
        {
            EXPECT_EQ(message.caption, "Error...");
            EXPECT_EQ(message.text, kSaveFailedMessage);
        }
        EXPECT_EQ(kindOf(path(node)), kind);
    }
    EXPECT_EQ(kindOf(path("pipe.qdb")), (mode_t)S_IFIFO);
    EXPECT_EQ(entries(), before);
    std::string reason;
    EXPECT_FALSE(writeFileReplacing(path("pipe.qdb").c_str(), good, &reason));
    EXPECT_EQ(reason, "Not a regular file");
}

// A link that leads nowhere, round in a loop or to a missing file, is not
// replaced by a file (which would drop the link and write a file under a
// name the user never gave): refused, and every link stays as it was.
TEST_F(Saves, LinksThatLeadNowhereAreRefusedAndStayLinks)
{
    std::filesystem::create_symlink("b.qdb", path("a.qdb"));
    std::filesystem::create_symlink("a.qdb", path("b.qdb"));
    std::filesystem::create_symlink("missing.qdb", path("dangling.qdb"));
    const std::vector<std::string> before = entries();
    for (const char* link : {"a.qdb", "b.qdb", "dangling.qdb"})
    {
        SCOPED_TRACE(link);
        reporter.messages.clear();
        EXPECT_EQ(saveBank(*plugin, path(link).c_str(), reporter), FileResult::notSaved);
        ASSERT_EQ(reporter.messages.size(), 1u);
        EXPECT_EQ(reporter.messages[0].text, kSaveFailedMessage);
        EXPECT_TRUE(std::filesystem::is_symlink(path(link)));
    }
    EXPECT_EQ(std::filesystem::read_symlink(path("a.qdb")), "b.qdb");
    EXPECT_EQ(std::filesystem::read_symlink(path("dangling.qdb")), "missing.qdb");
    EXPECT_EQ(entries(), before);
    std::string reason;
    EXPECT_FALSE(writeFileReplacing(path("dangling.qdb").c_str(), good, &reason));
    EXPECT_EQ(reason, "The link points to a missing file");
}

// A file the user may not write is not replaced, even where the folder would
// let a new file take its place: the save says so, as opening the file for
// writing always did. The superuser may write any file, so the saves run in
// a child that has given up root for an ordinary user; a link to the file is
// refused the same way, and a writable file beside it is saved (the control).
TEST_F(Saves, AFileTheUserMayNotWriteIsNotReplaced)
{
    chmod(directory.c_str(), 0777);
    chmod(path("good.qdb").c_str(), 0444);
    std::filesystem::create_symlink("good.qdb", path("link.qdb"));
    writeFile(path("writable.qdx"), distinctPreset());
    chmod(path("writable.qdx").c_str(), 0666);
    const int result = runInChild(
        [&] {
            if (access(path("good.qdb").c_str(), W_OK) == 0)
                return 11; // the environment cannot make a file read-only for us
            int code = 0;
            RecordingFileErrorReporter childReporter;
            if (saveBank(*plugin, path("good.qdb").c_str(), childReporter) != FileResult::notSaved ||
                saveBank(*plugin, path("link.qdb").c_str(), childReporter) != FileResult::notSaved)
                code |= 1;
            if (childReporter.messages.size() != 2 || childReporter.messages[0].text != kSaveFailedMessage)
                code |= 2;
            if (savePreset(*plugin, path("writable.qdx").c_str(), childReporter) != FileResult::done)
                code |= 4;
            return code;
        },
        true);
    if (result == 11)
        GTEST_SKIP() << "read-only files can be written here";
    EXPECT_EQ(result, 0) << "1: read-only file replaced, 2: no or wrong message, 4: writable file not saved, "
                            "10: cannot drop privileges";
    EXPECT_EQ(readFile(path("good.qdb")), good);
    struct stat info;
    ASSERT_EQ(stat(path("good.qdb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
    EXPECT_EQ(readFile(path("writable.qdx")), presetBytes(*plugin));
    EXPECT_EQ(entries(), (std::vector<std::string>{"good.qdb", "link.qdb", "writable.qdx"}));
}

TEST_F(Saves, OddNamesLinksAndPermissionsSurviveASave)
{
    const std::string names[] = {"with spaces.qdx", "quote\"d 'name'.qdx",   "back\\slash.qdx",
                                 "Grüße – 音.qdx",  "-starts-with-dash.qdx", ".hidden.qdx"};
    for (const std::string& name : names)
    {
        SCOPED_TRACE(name);
        ASSERT_EQ(savePreset(*plugin, path(name).c_str(), reporter), FileResult::done);
        EXPECT_EQ(readFile(path(name)), presetBytes(*plugin));
    }
    std::vector<std::string> expected(std::begin(names), std::end(names));
    expected.push_back("good.qdb");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries(), expected);

    // Saving over a file keeps its permissions; saving through a link
    // replaces the file it points to and keeps the link.
    chmod(path("good.qdb").c_str(), 0600);
    std::filesystem::create_symlink("good.qdb", path("link.qdb"));
    ASSERT_EQ(saveBank(*plugin, path("link.qdb").c_str(), reporter), FileResult::done);
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.qdb")));
    EXPECT_EQ(readFile(path("good.qdb")), bankBytes(*plugin));
    struct stat info;
    ASSERT_EQ(stat(path("good.qdb").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(reporter.messages.empty());
}

// ---------------------------------------------------------------- the renderer

// The renderer reads and writes the same files through the plug-in's entry
// point alone. Its files must be byte for byte those of the plug-in after the
// same steps in the preset bar.
class RendererFiles : public Files
{
protected:
    void SetUp() override
    {
        Files::SetUp();
        const char* build = std::getenv("ZELVO_BUILD_DIR");
        renderer = build ? std::string(build) + "/qdx-render" : "";
        if (renderer.empty() || access(renderer.c_str(), X_OK) != 0)
            GTEST_SKIP() << "the renderer is not built";
    }
    // Runs the renderer in the test's folder; returns its exit status (124
    // when it had to be stopped after two minutes). runAs may put a command
    // such as setpriv before the renderer.
    int render(const std::string& arguments, const std::string& runAs = "")
    {
        // clang 14's leak checker crashes in its own tracer in a child of
        // this test, so the renderer runs without it here.
        const std::string command = "cd '" + directory + "' && ASAN_OPTIONS=detect_leaks=0 XDG_CONFIG_HOME='" +
                                    directory + "' timeout 120 " + runAs + " '" + renderer + "' " + arguments +
                                    " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errors()
    {
        const Bytes text = readFile(path("err.txt"));
        return std::string(text.begin(), text.end());
    }
    // Values a host can see: the unused parameters read 0 and the layout
    // marker 0.015, whatever a file held for them.
    static Bytes hostVisible(Bytes file)
    {
        for (size_t at = 5; at + 128 <= file.size(); at += 128)
        {
            for (int j = 23; j < 25; ++j)
                putFloat(file, at + 24 + 4 * j, 0.0f);
            putFloat(file, at + 24 + 4 * 25, 0.015f);
        }
        return file;
    }
    std::string renderer;
};

TEST_F(RendererFiles, WritesWhatThePluginWritesAfterTheSameSteps)
{
    ASSERT_EQ(render("--program 7 --set Drive=0.75 --save-preset p.qdx --save-bank b.qdb"), 0) << errors();
    plugin->selectPreset(7);
    plugin->setParameter(kDrive, 0.75f);
    EXPECT_EQ(readFile(path("p.qdx")), presetBytes(*plugin));
    EXPECT_EQ(readFile(path("b.qdb")), bankBytes(*plugin));
}

TEST_F(RendererFiles, LoadsBankAndPresetAsThePluginDoes)
{
    writeFile(path("in.qdb"), hostVisible(distinctBank()));
    writeFile(path("in.qdx"), hostVisible(distinctPreset("Preset for 5")));
    ASSERT_EQ(render("--bank-file in.qdb --program 'bank program 5' --preset-file in.qdx --save-preset p.qdx "
                     "--save-bank b.qdb --list-params"),
              0)
        << errors();
    ASSERT_EQ(loadBank(*plugin, path("in.qdb").c_str(), reporter), FileResult::done);
    plugin->selectPreset(5);
    ASSERT_EQ(loadPreset(*plugin, path("in.qdx").c_str(), reporter), FileResult::done);
    EXPECT_EQ(readFile(path("p.qdx")), presetBytes(*plugin));
    EXPECT_EQ(readFile(path("b.qdb")), bankBytes(*plugin));
    const Bytes listing = readFile(path("out.txt"));
    EXPECT_NE(std::string(listing.begin(), listing.end()).find("Program \"Preset for 5\""), std::string::npos);
}

// The renderer saves through the same code: under a file-size limit of 512
// bytes the good bank stays, the renderer says why and fails.
TEST_F(RendererFiles, AFailedSaveKeepsTheOldFileAndFails)
{
    writeFile(path("good.qdb"), distinctBank());
    const std::string command = "cd '" + directory +
                                "' && trap '' XFSZ && ulimit -f 1 && ASAN_OPTIONS=detect_leaks=0 "
                                "XDG_CONFIG_HOME='" +
                                directory + "' '" + renderer +
                                "' --program 3 --save-bank good.qdb --save-preset new.qdx 2>err.txt";
    const int status = std::system(("sh -c \"" + command + "\"").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_NE(errors().find("good.qdb: Could not save file! Nothing on disk was changed. (File too large)"),
              std::string::npos)
        << errors();
    EXPECT_EQ(readFile(path("good.qdb")), distinctBank());
    // The preset (133 bytes, within the limit) was written before the bank failed.
    EXPECT_EQ(readFile(path("new.qdx")).size(), 133u);
}

TEST_F(RendererFiles, RejectsBadFilesWithThePluginsMessages)
{
    Bytes truncated = distinctBank();
    truncated.resize(3000);
    writeFile(path("short.qdb"), truncated);
    writeFile(path("bank.qdb"), distinctBank());
    struct Case
    {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"--bank-file short.qdb --save-preset x.qdx", 1, "short.qdb: Invalid file format!"},
        {"--preset-file bank.qdb --save-preset x.qdx", 1, "bank.qdb: Not a preset file!"},
        {"--bank-file missing.qdb --save-preset x.qdx", 1, "missing.qdb: cannot be opened"},
        {"--bank-file bank.qdb --program 24 --save-preset x.qdx", 2, "unknown program"},
        {"--bank-file bank.qdb --save-preset no/such/folder.qdx", 1, "no/such/folder.qdx: Could not save file!"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(render(c.arguments), c.status);
        EXPECT_NE(errors().find(c.message), std::string::npos) << errors();
    }
    EXPECT_FALSE(std::filesystem::exists(path("x.qdx"))); // nothing is written after a rejected file
}

// Pipes, devices, links that lead nowhere and files the user may not write
// reach the renderer through the same code as the plug-in: each is refused
// with its reason and exit status 1, and the node stays what it was. A pipe
// given as a preset fails at once instead of holding the renderer forever.
TEST_F(RendererFiles, RefusesPipesDevicesDeadLinksAndReadOnlyFiles)
{
    ASSERT_EQ(mkfifo(path("pipe.qdb").c_str(), 0666), 0);
    std::filesystem::create_symlink("b.qdb", path("a.qdb"));
    std::filesystem::create_symlink("a.qdb", path("b.qdb"));
    const bool haveDevice = mknod(path("full.qdb").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    const std::string failed = ": Could not save file! Nothing on disk was changed. ";
    struct Case
    {
        std::string arguments;
        std::string message;
    };
    std::vector<Case> cases = {
        {"--program 5 --save-bank pipe.qdb", "pipe.qdb" + failed + "(Not a regular file)"},
        {"--program 5 --save-preset a.qdb", "a.qdb" + failed + "(Too many levels of symbolic links)"},
        {"--preset-file pipe.qdb --list-params", "pipe.qdb: cannot be opened"},
        {"--bank-file pipe.qdb --list-params", "pipe.qdb: cannot be opened"},
    };
    if (haveDevice)
        cases.push_back({"--program 5 --save-bank full.qdb", "full.qdb" + failed + "(Not a regular file)"});
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(render(c.arguments), 1);
        EXPECT_NE(errors().find(c.message), std::string::npos) << errors();
    }
    EXPECT_EQ(kindOf(path("pipe.qdb")), (mode_t)S_IFIFO);
    EXPECT_EQ(kindOf(path("a.qdb")), (mode_t)S_IFLNK);
    if (haveDevice)
    {
        EXPECT_EQ(kindOf(path("full.qdb")), (mode_t)S_IFCHR);
    }

    // A read-only bank in a folder anyone may write, saved by an ordinary user.
    if (getuid() != 0 || std::system("setpriv --version >/dev/null 2>&1") != 0)
        return;
    writeFile(path("ro.qdb"), distinctBank());
    chmod(path("ro.qdb").c_str(), 0444);
    chmod(directory.c_str(), 0777);
    EXPECT_EQ(render("--program 5 --save-bank ro.qdb", "setpriv --reuid=65534 --regid=65534 --clear-groups"), 1);
    EXPECT_NE(errors().find("ro.qdb" + failed + "(Permission denied)"), std::string::npos) << errors();
    EXPECT_EQ(readFile(path("ro.qdb")), distinctBank());
}

#endif
