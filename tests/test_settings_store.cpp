// The settings store on Linux: one file per key under $XDG_CONFIG_HOME,
// values of three types, damaged lines costing only themselves, and keys
// replaced whole so that readers never see a torn key.
// (On Windows the store is the registry itself; there is nothing of ours to test.)
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <atomic>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "editor/MeteringPreferences.h"
#include "effect/Plugin.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "tests/support/TestHost.h"

using platform::RegistryKey;

namespace
{
const char* const kKey = "SOFTWARE\\Korvane\\QDXzelvo\\StoreTest";

class SettingsStore : public ::testing::Test
{
protected:
    void SetUp() override { root = useTemporarySettingsStore("store"); }
    std::string keyFile() const { return root + "/Korvane/QDXzelvo/StoreTest.key"; }
    std::string fileText()
    {
        std::ifstream in(keyFile());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void writeKeyFile(const std::string& text)
    {
        std::system(("mkdir -p '" + root + "/Korvane/QDXzelvo'").c_str());
        std::ofstream(keyFile()) << text;
    }
    std::vector<std::string> filesInKeyDirectory()
    {
        std::vector<std::string> names;
        if (DIR* d = opendir((root + "/Korvane/QDXzelvo").c_str()))
        {
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.')
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
    std::string root;
};

std::vector<unsigned char> binary(RegistryKey& key, const char* name, bool* ok = nullptr)
{
    std::vector<unsigned char> data(64);
    uint32_t size = (uint32_t)data.size();
    const bool found = key.queryBinary(name, data.data(), &size);
    if (ok)
        *ok = found;
    data.resize(found ? size : 0);
    return data;
}

std::string text(RegistryKey& key, const char* name, uint32_t capacity = 256)
{
    std::vector<char> buffer(capacity, '#');
    if (!key.queryString(name, buffer.data(), capacity))
        return "<none>";
    return buffer.data();
}
} // namespace

TEST_F(SettingsStore, ValuesOfAllThreeTypesSurviveClosingAndReopening)
{
    const std::vector<unsigned char> awkward = {0x00, 0xff, '\n', '\t', '\\', 0x7f, 'a'};
    const std::string awkwardText = "tab\there, line\nbreak, back\\slash, \x01 and \xe9t\xe9";
    {
        RegistryKey key;
        ASSERT_TRUE(key.create(kKey));
        EXPECT_TRUE(key.setBinary("bytes", awkward.data(), (uint32_t)awkward.size()));
        EXPECT_TRUE(key.setBinary("empty", nullptr, 0));
        EXPECT_TRUE(key.setString("text", awkwardText.c_str()));
        EXPECT_TRUE(key.setString("name with\ttab", "x"));
        EXPECT_TRUE(key.setDword("zero", 0));
        EXPECT_TRUE(key.setDword("all ones", 0xffffffffu));
    }
    ASSERT_EQ(filesInKeyDirectory(), std::vector<std::string>{"StoreTest.key"});

    RegistryKey key;
    ASSERT_TRUE(key.open(kKey));
    bool ok = false;
    EXPECT_EQ(binary(key, "bytes", &ok), awkward);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(binary(key, "empty", &ok).empty());
    EXPECT_TRUE(ok);
    EXPECT_EQ(text(key, "text"), awkwardText);
    EXPECT_EQ(text(key, "name with\ttab"), "x");
    uint32_t d = 7;
    EXPECT_TRUE(key.queryDword("zero", &d));
    EXPECT_EQ(d, 0u);
    EXPECT_TRUE(key.queryDword("all ones", &d));
    EXPECT_EQ(d, 0xffffffffu);
    // A key opened for reading takes no writes.
    EXPECT_FALSE(key.setDword("zero", 1));
}

TEST_F(SettingsStore, MissingKeysNamesAndTypesAnswerFalse)
{
    RegistryKey key;
    EXPECT_FALSE(key.open(kKey));
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(key.open("SOFTWARE\\Korvane\\..\\..\\etc\\passwd"));
    EXPECT_FALSE(key.create("SOFTWARE\\Korvane\\..\\escape"));
    {
        RegistryKey writer;
        ASSERT_TRUE(writer.create(kKey));
        writer.setBinary("four", "\x01\x02\x03\x04", 4);
        writer.setString("s", "a longer text");
        writer.setDword("d", 5);
    }
    ASSERT_TRUE(key.open(kKey));
    bool ok = true;
    binary(key, "absent", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(text(key, "four"), "<none>"); // binary is not a string
    uint32_t d = 0;
    EXPECT_FALSE(key.queryDword("s", &d));
    binary(key, "d", &ok);
    EXPECT_FALSE(ok);

    // Too small a buffer: refused, and told the size needed.
    unsigned char two[2];
    uint32_t size = sizeof two;
    EXPECT_FALSE(key.queryBinary("four", two, &size));
    EXPECT_EQ(size, 4u);
    // Strings are cut to the capacity and always terminated.
    EXPECT_EQ(text(key, "s", 5), "a lo");
    EXPECT_EQ(text(key, "s", 1), "");
}

TEST_F(SettingsStore, DamagedLinesCostOnlyThemselves)
{
    writeKeyFile("# written by hand\n"
                 "binary\tgood binary\t0a0b\n"
                 "binary\todd digits\t0a0\n"
                 "binary\tnot hex\tzz\n"
                 "string\tgood string\tfine\n"
                 "string\tbad escape\tx\\q\n"
                 "string\tcut escape\tx\\\n"
                 "string\tsigned hex escape\tx\\x-1\n"
                 "string\tspaced hex escape\tx\\x 1\n"
                 "dword\tgood dword\t42\n"
                 "dword\ttoo big\t4294967296\n"
                 "dword\tnot a number\t12abc\n"
                 "dword\tempty\t\n"
                 "float\tunknown type\t1.0\n"
                 "no tabs at all\n"
                 "binary\tonly one tab\n"
                 "\n"
                 "string\tlast line without newline\tend");
    RegistryKey key;
    ASSERT_TRUE(key.open(kKey));
    EXPECT_EQ(binary(key, "good binary"), (std::vector<unsigned char>{0x0a, 0x0b}));
    EXPECT_EQ(text(key, "good string"), "fine");
    EXPECT_EQ(text(key, "last line without newline"), "end");
    uint32_t d = 0;
    EXPECT_TRUE(key.queryDword("good dword", &d));
    EXPECT_EQ(d, 42u);

    bool ok = true;
    for (const char* damaged : {"odd digits", "not hex"})
    {
        binary(key, damaged, &ok);
        EXPECT_FALSE(ok) << damaged;
    }
    EXPECT_EQ(text(key, "bad escape"), "<none>");
    EXPECT_EQ(text(key, "cut escape"), "<none>");
    EXPECT_EQ(text(key, "signed hex escape"), "<none>");
    EXPECT_EQ(text(key, "spaced hex escape"), "<none>");
    for (const char* damaged : {"too big", "not a number", "empty"})
        EXPECT_FALSE(key.queryDword(damaged, &d)) << damaged;
    EXPECT_EQ(text(key, "unknown type"), "<none>");
}

TEST_F(SettingsStore, CreatingKeepsOtherValuesAndReplacesTheFileWhole)
{
    {
        RegistryKey key;
        ASSERT_TRUE(key.create(kKey));
        key.setDword("kept", 1);
        key.setDword("changed", 1);
    }
    {
        RegistryKey key;
        ASSERT_TRUE(key.create(kKey));
        key.setDword("changed", 2);
        // Nothing reaches the file before the key is closed.
        RegistryKey reader;
        ASSERT_TRUE(reader.open(kKey));
        uint32_t d = 0;
        EXPECT_TRUE(reader.queryDword("changed", &d));
        EXPECT_EQ(d, 1u);
    }
    RegistryKey key;
    ASSERT_TRUE(key.open(kKey));
    uint32_t d = 0;
    EXPECT_TRUE(key.queryDword("kept", &d));
    EXPECT_EQ(d, 1u);
    EXPECT_TRUE(key.queryDword("changed", &d));
    EXPECT_EQ(d, 2u);
    EXPECT_EQ(filesInKeyDirectory(), std::vector<std::string>{"StoreTest.key"}); // no temporary left behind
}

// Writers replace a key of many values over and over, each generation
// holding one number in every value; a reader must always find one
// generation whole, never values of two.
TEST_F(SettingsStore, ReadersNeverSeeATornKey)
{
    constexpr int kValues = 300;
    auto writeGeneration = [](uint32_t generation) {
        RegistryKey key;
        if (!key.create(kKey))
            return;
        for (int i = 0; i < kValues; ++i)
            key.setDword(("value " + std::to_string(i)).c_str(), generation);
        key.setString("padding", std::string(2000 + generation % 7 * 300, 'p').c_str());
    };
    writeGeneration(0);

    std::atomic<bool> writing{true};
    std::atomic<int> torn{0}, reads{0};
    std::thread reader([&] {
        while (writing)
        {
            RegistryKey key;
            if (!key.open(kKey))
            {
                ++torn; // the key must exist at every moment once written
                continue;
            }
            uint32_t first = 0, d = 0;
            if (!key.queryDword("value 0", &first))
                ++torn;
            for (int i = 1; i < kValues; ++i)
                if (!key.queryDword(("value " + std::to_string(i)).c_str(), &d) || d != first)
                {
                    ++torn;
                    break;
                }
            ++reads;
        }
    });
    std::thread w1([&] {
        for (uint32_t g = 1; g < 200; g += 2)
            writeGeneration(g);
    });
    std::thread w2([&] {
        for (uint32_t g = 2; g < 200; g += 2)
            writeGeneration(g);
    });
    w1.join();
    w2.join();
    writing = false;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_EQ(filesInKeyDirectory(), std::vector<std::string>{"StoreTest.key"});
}

// A store that cannot be written must say so where its callers look: the
// metering preferences show their "Could not create registry value..."
// message, and a memory stored there leaves the memory that was there.
// Root may write into any folder, so the writes run in a child process that
// has become an ordinary user. Exit code: bits for each broken promise.
TEST_F(SettingsStore, AReadOnlyFolderIsReportedAndKeepsWhatItHeld)
{
    {
        Plugin plugin(nullptr);
        plugin.selectPreset(4);
        plugin.storeMemoA();
    }
    const std::string folder = root + "/Korvane/QDXzelvo";
    const std::string memo = folder + "/MemoA.key";
    std::ifstream before(memo);
    const std::string memoryBefore((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    ASSERT_NE(memoryBefore.find("Limiter Hard"), std::string::npos);
    chmod(memo.c_str(), 0644);
    chmod(folder.c_str(), 0555);
    chmod(root.c_str(), 0755);

    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(10);
        std::vector<std::string> messages;
        platform::setMessageBoxRecorder(
            [&](const char* caption, const char* text) { messages.push_back(std::string(caption) + "|" + text); });
        int code = 0;
        Plugin plugin(nullptr);
        plugin.selectPreset(9);
        if (meteringpreferences::store(plugin))
            code |= 1;
        if (messages != std::vector<std::string>{std::string("Error...|") + meteringpreferences::kValueError})
            code |= 2;
        plugin.storeMemoA();
        _exit(code);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod(folder.c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: store reported success, 2: no or another message, 10: no ordinary user";
    std::ifstream after(memo);
    const std::string memoryAfter((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>());
    EXPECT_EQ(memoryAfter, memoryBefore);
    EXPECT_EQ(filesInKeyDirectory(), std::vector<std::string>{"MemoA.key"});
}

// A relative XDG_CONFIG_HOME is not a settings folder (the base-directory
// rules): the store stays in ~/.config whatever the current directory is.
TEST_F(SettingsStore, ARelativeConfigHomeIsIgnored)
{
    const std::string home = root + "/home";
    const std::string first = root + "/first";
    const std::string second = root + "/second";
    for (const std::string& d : {home, first, second})
        mkdir(d.c_str(), 0755);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::string savedConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);

    ASSERT_EQ(chdir(first.c_str()), 0);
    {
        RegistryKey key;
        ASSERT_TRUE(key.create(kKey));
        key.setDword("stored", 7);
        EXPECT_TRUE(key.close());
    }
    ASSERT_EQ(chdir(second.c_str()), 0);
    uint32_t d = 0;
    RegistryKey key;
    const bool found = key.open(kKey) && key.queryDword("stored", &d);

    ASSERT_EQ(chdir(cwd), 0);
    setenv("HOME", savedHome.c_str(), 1);
    setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    EXPECT_TRUE(found);
    EXPECT_EQ(d, 7u);
    struct stat info;
    EXPECT_EQ(stat((home + "/.config/Korvane/QDXzelvo/StoreTest.key").c_str(), &info), 0);
    EXPECT_NE(stat((first + "/relative").c_str(), &info), 0);
}

#endif
