// The preset bar at the bottom of the editor, worked by a user through XTest:
// the program menu, previous/next, the A/B memories, and the bank and preset
// files through the system's file dialog (a stand-in for zenity on the PATH
// answers with fixed file names and records what it was asked).
#include "tests/EditorHarness.h"

#include "presets/FactoryPresets.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace
{

constexpr int kBarY = 454;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

long fileSize(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

class PresetBarTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (HasFatalFailure())
            return;
        // The file dialog's stand-in: logs its arguments, answers the path in
        // "answer" (exit 0), or cancels (exit 1) when the answer is empty.
        bin = settings + "/bin";
        files = settings + "/files";
        mkdir(bin.c_str(), 0755);
        mkdir(files.c_str(), 0755);
        const std::string script = bin + "/zenity";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "dir=$(dirname \"$0\")\n"
                                 "for a in \"$@\"; do echo \"$a\"; done >> \"$dir/log\"\n"
                                 "echo ---- >> \"$dir/log\"\n"
                                 "answer=$(cat \"$dir/answer\")\n"
                                 "[ -z \"$answer\" ] && exit 1\n"
                                 "echo \"$answer\"\n";
        chmod(script.c_str(), 0755);
        answer("");
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
        char cwd[4096];
        savedDirectory = getcwd(cwd, sizeof cwd) ? cwd : "/";
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        setenv("PATH", savedPath.c_str(), 1);
        if (!savedDirectory.empty() && chdir(savedDirectory.c_str()) != 0)
            ADD_FAILURE() << "cannot return to " << savedDirectory;
    }
    void answer(const std::string& path) { std::ofstream(bin + "/answer") << path << "\n"; }
    std::string dialogLog() { return readAll(bin + "/log"); }
    void clearLog() { std::ofstream(bin + "/log", std::ios::trunc); }
    void clickBar(int x, unsigned button = 1)
    {
        act([&](User& user) { user.click(x, kBarY, button); });
    }

    std::string bin;
    std::string files;
    std::string savedPath;
    std::string savedDirectory;
};

} // namespace

TEST_F(PresetBarTest, MenuChoiceSelectsTheProgramAndNamesIt)
{
    ASSERT_TRUE(openEditor());
    host->clearCalls();
    act([](User& user) {
        user.click(319, kBarY);
        user.pause(300);
        for (int i = 0; i < 5; ++i) // program 0, then past the separator to programs 1..4
            user.key(XK_Down);
        user.key(XK_Return);
    });
    EXPECT_EQ(host->programName(), "Limiter Hard");
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_FLOAT_EQ(host->getParameter(i), static_cast<float>(kFactoryPresets[4].values[i])) << "parameter " << i;
    EXPECT_GE(host->countCalls(audioMasterAutomate), 26u);

    // The next program from there is program 5.
    clickBar(356);
    EXPECT_EQ(host->programName(), kFactoryPresets[5].name);
}

TEST_F(PresetBarTest, PreviousAndNextStopAtTheFirstAndLastProgram)
{
    ASSERT_TRUE(openEditor());
    host->clearCalls();
    clickBar(340); // previous at program 0: program 0 again, applied again
    EXPECT_EQ(host->programName(), "Current");
    EXPECT_GE(host->countCalls(audioMasterAutomate), 26u);

    act([](User& user) {
        for (int i = 0; i < 25; ++i)
            user.click(356, kBarY);
    });
    EXPECT_EQ(host->programName(), kFactoryPresets[23].name);
    host->clearCalls();
    clickBar(356);
    EXPECT_EQ(host->programName(), kFactoryPresets[23].name);
    EXPECT_GE(host->countCalls(audioMasterAutomate), 26u) << "program 23 is applied again";
    clickBar(340);
    EXPECT_EQ(host->programName(), kFactoryPresets[22].name);

    // Hovering shows the half under the pointer; leaving the bar clears it.
    act([](User& user) { user.move(340, kBarY); }, 80);
    Screenshot shot = screenshot();
    auto switchPicture = [&](const Screenshot& s, int picture) {
        for (int y = 447; y < 461; ++y)
            for (int x = 332; x < 364; ++x)
                if (s.at(x, y) != skinPixel(997, x - 332, y - 447 + picture * 14))
                    return false;
        return true;
    };
    EXPECT_TRUE(switchPicture(shot, 1));
    act([](User& user) { user.move(360, kBarY); }, 80);
    EXPECT_TRUE(switchPicture(screenshot(), 2));
    act([](User& user) { user.move(260, 200); }, 80);
    EXPECT_TRUE(switchPicture(screenshot(), 0));
}

TEST_F(PresetBarTest, MemoryAStoresAndRecallsTheLiveSetting)
{
    ASSERT_TRUE(openEditor());
    host->setParameter(kDrive, 0.7f);
    host->setParameter(kRelease, 0.3f);
    clickBar(389); // store A
    host->setParameter(kDrive, 0.2f);
    host->setParameter(kRelease, 0.9f);
    clickBar(422); // recall A
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.7f);
    EXPECT_FLOAT_EQ(host->getParameter(kRelease), 0.3f);
    // B is a memory of its own.
    host->setParameter(kDrive, 0.4f);
    clickBar(453); // store B
    clickBar(422);
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.7f);
    clickBar(487); // recall B
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.4f);
}

TEST_F(PresetBarTest, BankAndPresetFilesGoThroughTheFileDialog)
{
    ASSERT_TRUE(openEditor());
    host->setParameter(kDrive, 0.625f);

    // Save a bank: the dialog's title, type list (own type first), and options.
    answer(files + "/session.qdb");
    clearLog();
    clickBar(35);
    EXPECT_EQ(fileSize(files + "/session.qdb"), 3077);
    std::string log = dialogLog();
    EXPECT_NE(log.find("--title=Save bank as..."), std::string::npos) << log;
    EXPECT_NE(log.find("--save"), std::string::npos);
    EXPECT_NE(log.find("--confirm-overwrite"), std::string::npos);
    EXPECT_LT(log.find("--file-filter=QDX Banks | *.qdb"), log.find("--file-filter=All Files | *")) << log;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(cwd), files) << "the chosen directory becomes the current one";

    // Reopened, the editor proposes the same file in the same directory.
    closeEditor();
    ASSERT_TRUE(openEditor());
    host->setParameter(kDrive, 0.1f);
    clearLog();
    clickBar(88);
    log = dialogLog();
    EXPECT_NE(log.find("--title=Select bank to load..."), std::string::npos) << log;
    EXPECT_NE(log.find("--filename=" + files + "/session.qdb"), std::string::npos) << log;
    EXPECT_EQ(log.find("--save"), std::string::npos);
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), 0.625f);

    // A preset: the selected program alone.
    answer(files + "/one.qdx");
    host->setParameter(kRelease, 0.25f);
    clearLog();
    clickBar(115);
    EXPECT_EQ(fileSize(files + "/one.qdx"), 133);
    EXPECT_NE(dialogLog().find("--title=Save preset as..."), std::string::npos);
    EXPECT_NE(dialogLog().find("--file-filter=QDX Presets | *.qdx"), std::string::npos);
    host->setParameter(kRelease, 0.75f);
    clearLog();
    clickBar(178);
    EXPECT_NE(dialogLog().find("--title=Select preset to load..."), std::string::npos);
    EXPECT_FLOAT_EQ(host->getParameter(kRelease), 0.25f);

    // A cancelled dialog changes nothing.
    answer("");
    host->setParameter(kRelease, 0.5f);
    clickBar(178);
    EXPECT_FLOAT_EQ(host->getParameter(kRelease), 0.5f);
}

TEST_F(PresetBarTest, TypedNameIsCutTo24CharactersAndNamesTheProgram)
{
    ASSERT_TRUE(openEditor());
    clickBar(356); // program 1
    act([](User& user) {
        user.click(257, kBarY);
        user.pause(150);
        user.clearField();
        user.type("abcdefghijklmnopqrstuvwxyz1234");
        user.key(XK_Return);
    });
    EXPECT_EQ(host->programName(), "abcdefghijklmnopqrstuvwx");
    // The next and previous programs bring the new name back with program 1.
    clickBar(356);
    clickBar(340);
    EXPECT_EQ(host->programName(), "abcdefghijklmnopqrstuvwx");
}

// Program names are the user's: "-" and "-Tx" are names like any other, not
// a separator and a title, and the menu still maps its positions to the
// programs they show.
TEST_F(PresetBarTest, NamesThatLookLikeMenuMarkupAreShownAndChosenAsNames)
{
    ASSERT_TRUE(openEditor());
    answer(files + "/factory.qdb");
    clickBar(35);
    std::string bank = readAll(files + "/factory.qdb");
    ASSERT_EQ(bank.size(), 3077u);
    auto rename = [&bank](int program, const std::string& name) {
        std::string field = name;
        field.resize(24, '\0');
        bank.replace(5 + 128 * program, 24, field);
    };
    rename(1, "-");
    rename(2, "-Tx");
    rename(3, "-");
    std::ofstream(files + "/markup.qdb", std::ios::binary) << bank;
    answer(files + "/markup.qdb");
    clickBar(88);
    ASSERT_EQ(host->programName(), "Current");

    // The menu opens below the bar; its entries are 20 pixels high, the
    // separator 9: "Limiter Hard" (program 4, entry 5) spans 90 to 110.
    act([](User& user) {
        user.click(319, kBarY);
        user.pause(300);
        user.click(354, 461 + 100);
    });
    EXPECT_EQ(host->programName(), "Limiter Hard");
    for (int i = 0; i < kNumParams; ++i)
        EXPECT_FLOAT_EQ(host->getParameter(i), static_cast<float>(kFactoryPresets[4].values[i])) << "parameter " << i;

    // A typed name renames program 4 and nothing else.
    act([](User& user) {
        user.click(257, kBarY);
        user.pause(150);
        user.clearField();
        user.type("Renamed");
        user.key(XK_Return);
    });
    EXPECT_EQ(host->programName(), "Renamed");
    answer(files + "/after.qdb");
    clickBar(35);
    const std::string after = readAll(files + "/after.qdb");
    ASSERT_EQ(after.size(), 3077u);
    auto nameOf = [&after](int program) {
        return std::string(after.c_str() + 5 + 128 * program);
    };
    EXPECT_EQ(nameOf(0), "Renamed");
    EXPECT_EQ(nameOf(1), "-");
    EXPECT_EQ(nameOf(2), "-Tx");
    EXPECT_EQ(nameOf(3), "-");
    EXPECT_EQ(nameOf(4), "Renamed");
    EXPECT_EQ(nameOf(5), kFactoryPresets[5].name);

    // The menu still leads to the programs behind the odd names.
    act([](User& user) { // entry 3, program 2, spans 50 to 70
        user.click(319, kBarY);
        user.pause(300);
        user.click(354, 461 + 60);
    });
    EXPECT_EQ(host->programName(), "-Tx");
    EXPECT_FLOAT_EQ(host->getParameter(kDrive), static_cast<float>(kFactoryPresets[2].values[kDrive]));
}
