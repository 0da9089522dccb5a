// The Linux file dialogs through the desktop's tool: a stand-in zenity on the
// PATH answers with a chosen name and an answer to the overwrite question,
// and logs what it was asked. The preset bar's save and load go through it
// as the user's clicks would, with the editor's remembered folder.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "editor/Editor.h"
#include "effect/Plugin.h"
#include "host/VstEffect.h"
#include "platform/FileDialog.h"
#include "presets/CPresetSystemEditor.h"
#include "tests/support/TestHost.h"

namespace
{

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

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

class FileDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        useTemporarySettingsStore("file-dialogs");
        static std::atomic<int> serial{0};
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        root = (std::filesystem::temp_directory_path() /
                ("zelvo-dialogs-" + std::to_string(now) + "-" + std::to_string(serial++)))
                   .string();
        bin = root + "/bin";
        files = root + "/files";
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(files);
        // The file selection answers the name in "answer" (exit 1, a cancel,
        // when it is empty); the question answers the exit status in "replace".
        const std::string script = bin + "/zenity";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "dir=$(dirname \"$0\")\n"
                                 "for a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"$dir/log\"\n"
                                 "echo ---- >> \"$dir/log\"\n"
                                 "if [ \"$1\" = --question ]; then exit $(cat \"$dir/replace\"); fi\n"
                                 "answer=$(cat \"$dir/answer\")\n"
                                 "[ -z \"$answer\" ] && exit 1\n"
                                 "printf '%s\\n' \"$answer\"\n";
        chmod(script.c_str(), 0755);
        replaceAnswer(1);
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
        setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
        savedDirectory = std::filesystem::current_path().string();
    }
    void TearDown() override
    {
        setenv("PATH", savedPath.c_str(), 1);
        std::error_code ignored;
        std::filesystem::current_path(savedDirectory, ignored);
        std::filesystem::remove_all(root, ignored);
    }
    void answer(const std::string& path) { std::ofstream(bin + "/answer") << path << "\n"; }
    void replaceAnswer(int status) { std::ofstream(bin + "/replace") << status << "\n"; }
    std::string dialogLog() { return readAll(bin + "/log"); }

    static platform::FileDialogRequest presetSave()
    {
        platform::FileDialogRequest request;
        request.save = true;
        request.title = "Save preset as...";
        request.types = {{"All Files", "*.*"}, {"QDX Presets", "*.qdx"}};
        request.selectedType = 1;
        request.defaultExtension = "qdx";
        request.overwritePrompt = true;
        return request;
    }

    std::string root, bin, files, savedPath, savedDirectory;
};

TEST_F(FileDialogs, SavesAddTheDefaultExtensionAndAskBeforeReplacingTheFileItLeadsTo)
{
    std::string path;
    answer(files + "/master");
    ASSERT_TRUE(platform::runFileDialog(presetSave(), path));
    EXPECT_EQ(path, files + "/master.qdx");

    // A name with an extension of its own, and an open dialog, stay as chosen.
    answer(files + "/master.old");
    ASSERT_TRUE(platform::runFileDialog(presetSave(), path));
    EXPECT_EQ(path, files + "/master.old");
    platform::FileDialogRequest open = presetSave();
    open.save = false;
    answer(files + "/master");
    ASSERT_TRUE(platform::runFileDialog(open, path));
    EXPECT_EQ(path, files + "/master");

    // The tool confirmed "master"; "master.qdx" exists: the user is asked.
    std::ofstream(files + "/master.qdx") << "kept";
    answer(files + "/master");
    replaceAnswer(1);
    path.clear();
    EXPECT_FALSE(platform::runFileDialog(presetSave(), path));
    EXPECT_NE(dialogLog().find("master.qdx already exists. Replace it?"), std::string::npos) << dialogLog();
    replaceAnswer(0);
    ASSERT_TRUE(platform::runFileDialog(presetSave(), path));
    EXPECT_EQ(path, files + "/master.qdx");
}

TEST_F(FileDialogs, TheDialogReturnsInAHostThatIgnoresChildSignals)
{
    // In a child process, so a dialog that never returns cannot hang the run.
    answer(files + "/quiet");
    int result[2];
    ASSERT_EQ(pipe(result), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        signal(SIGCHLD, SIG_IGN);
        std::string path;
        const bool chosen = platform::runFileDialog(presetSave(), path);
        const std::string reply = (chosen ? "chosen " : "cancelled ") + path;
        if (write(result[1], reply.data(), reply.size()) < 0)
            _exit(2);
        _exit(0);
    }
    close(result[1]);
    pollfd wait{result[0], POLLIN, 0};
    const int ready = poll(&wait, 1, 10000);
    char buffer[4096] = {0};
    const ssize_t count = ready > 0 ? read(result[0], buffer, sizeof buffer - 1) : -1;
    close(result[0]);
    if (ready <= 0)
        kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_GT(ready, 0) << "the dialog call did not return within 10 s";
    ASSERT_GT(count, 0);
    EXPECT_EQ(std::string(buffer), "chosen " + files + "/quiet.qdx");
}

TEST_F(FileDialogs, APresetNamedWithABackslashIsSavedLoadedAndKeepsTheFolder)
{
    VstEffect* vst = new VstEffect(quietHost);
    Plugin* plugin = &vst->getCore();
    auto* editor = static_cast<CPresetSystemEditor*>(vst->getEditorView());
    ASSERT_NE(editor, nullptr);

    plugin->setParameter(kRelease, 0.25f);
    answer(files + "/live\\take");
    editor->savePreset();
    EXPECT_EQ(fileSize(files + "/live\\take.qdx"), 133);
    EXPECT_EQ(std::string(editor->getLastDirectory()), files + "/");
    EXPECT_EQ(std::string(editor->getPresetFileName()), "live\\take.qdx");

    plugin->setParameter(kRelease, 0.75f);
    answer(files + "/live\\take.qdx");
    editor->loadPreset();
    EXPECT_FLOAT_EQ(plugin->getParameter(kRelease), 0.25f);
    // The next dialog opens in the folder and proposes the name.
    EXPECT_NE(dialogLog().find("--filename=" + files + "/live\\take.qdx"), std::string::npos) << dialogLog();
    delete vst;
}
} // namespace
