// Ten seconds of the soak (tools/soak) in every test run: the built soak host
// plays 192 kHz audio through the built plug-in with the shipped automation
// script and must report no allocation in the audio callbacks, no memory
// growth and no sample beyond full scale. In the sanitizer build it runs with
// AddressSanitizer and LeakSanitizer too. The hour-long run is
// tools/soak/run-soak.sh.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace
{
std::string soakHost()
{
    const char* dir = std::getenv("ZELVO_BUILD_DIR");
    return std::string(dir && *dir ? dir : ".") + "/qdx-soak";
}

std::string sourceFile(const std::string& relative)
{
    std::string here = __FILE__; // .../tests/test_soak.cpp
    return here.substr(0, here.rfind("tests/")) + relative;
}

// Runs the soak host; answers its exit status and fills its output.
int runSoak(const std::string& arguments, std::string& output)
{
    const std::string log = ::testing::TempDir() + "zelvo-soak.log";
    const std::string command = "\"" + soakHost() + "\" " + arguments + " > \"" + log + "\" 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream file(log);
    std::stringstream text;
    text << file.rdbuf();
    output = text.str();
#if defined(_WIN32)
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

bool soakHostExists()
{
    std::ifstream file(soakHost());
    return (bool)file;
}
} // namespace

TEST(Soak, TenSecondsAt192kHzWithTheShippedAutomation)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the soak host reads /proc and runs on Linux";
#endif
    if (!soakHostExists())
        GTEST_SKIP() << "qdx-soak is not built here (tools switched off)";
    std::string output;
    const int status =
        runSoak("--seconds 10 --rate 192000 --script \"" + sourceFile("tools/soak/automation.txt") + "\"", output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("allocations in the audio callbacks: 0;"), std::string::npos) << output;
    EXPECT_NE(output.find("samples outside full scale or not finite: 0;"), std::string::npos) << output;
    EXPECT_NE(output.find("qdx-soak: passed"), std::string::npos) << output;
}

TEST(Soak, DoublePrecisionAndOddBlocksWithTheBuiltInAutomation)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the soak host reads /proc and runs on Linux";
#endif
    if (!soakHostExists())
        GTEST_SKIP() << "qdx-soak is not built here (tools switched off)";
    std::string output;
    EXPECT_EQ(runSoak("--seconds 4 --double --block 241", output), 0) << output;
}

TEST(Soak, AMalformedScriptIsRefusedWithItsLine)
{
#if defined(_WIN32)
    GTEST_SKIP() << "the soak host reads /proc and runs on Linux";
#endif
    if (!soakHostExists())
        GTEST_SKIP() << "qdx-soak is not built here (tools switched off)";
    const std::string script = ::testing::TempDir() + "zelvo-bad-automation.txt";
    std::ofstream(script) << "loop 10\n0 set Drive 0.5\n1 wobble Drive\n";
    std::string output;
    EXPECT_EQ(runSoak("--seconds 1 --script \"" + script + "\"", output), 2);
    EXPECT_NE(output.find("line 3"), std::string::npos) << output;
    std::ofstream(script) << "0 set NoSuchParameter 0.5\n";
    EXPECT_EQ(runSoak("--seconds 1 --script \"" + script + "\"", output), 2);
    EXPECT_NE(output.find("NoSuchParameter"), std::string::npos) << output;
}
