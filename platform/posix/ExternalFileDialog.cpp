#include "platform/posix/ExternalFileDialog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform
{

namespace
{

bool findProgram(const char* name, std::string& path)
{
    const char* searchPath = std::getenv("PATH");
    std::string list = searchPath ? searchPath : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size())
    {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string candidate = list.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
        {
            path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The exit status of a program whose status the host took first: a host
// that ignores SIGCHLD (or reaps every child itself) leaves none to wait for.
constexpr int kStatusUnknown = -2;

// Runs the program with the arguments; its first output line, and its exit
// status. Spawned rather than forked by hand: in a host with other threads
// the child may do nothing but exec, so everything is prepared before.
int runCapture(const std::string& program, const std::vector<std::string>& arguments, std::string& output)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0)
    {
        close(pipeEnds[0]);
        return -1;
    }
    char buffer[512];
    for (;;)
    {
        const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
        if (count > 0)
            output.append(buffer, static_cast<size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    size_t newline = output.find('\n');
    if (newline != std::string::npos)
        output.resize(newline);
    if (waited < 0)
        return kStatusUnknown;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool fileExists(const std::string& path)
{
    struct stat info
    {};
    return stat(path.c_str(), &info) == 0;
}

// The extension the dialogs of the other systems add to a name typed
// without one.
std::string withDefaultExtension(const std::string& path, const std::string& extension)
{
    const size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (extension.empty() || name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + extension;
}

std::string startPath(const FileDialogRequest& request)
{
    std::string path = request.initialDirectory;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + request.initialName;
}

} // namespace

ExternalDialogResult runExternalFileDialog(const FileDialogRequest& request, std::string& path)
{
    std::string program;
    std::vector<std::string> arguments;
    int status = -1;
    std::string output;
    bool zenity = false;
    if (findProgram("zenity", program))
    {
        zenity = true;
        arguments = {"--file-selection", "--title=" + request.title, "--filename=" + startPath(request)};
        if (request.save)
        {
            arguments.push_back("--save");
            if (request.overwritePrompt)
                arguments.push_back("--confirm-overwrite");
        }
        // zenity selects the first filter: the requested one goes first.
        std::vector<FileType> types = request.types;
        if (request.selectedType > 0 && request.selectedType < static_cast<int>(types.size()))
            std::rotate(types.begin(), types.begin() + request.selectedType, types.end());
        for (const auto& type : types)
            arguments.push_back("--file-filter=" + type.name + " | " + (type.pattern == "*.*" ? "*" : type.pattern));
        status = runCapture(program, arguments, output);
    }
    else if (findProgram("kdialog", program))
    {
        std::string filter;
        for (const auto& type : request.types)
            filter += (filter.empty() ? "" : "\n") + (type.pattern == "*.*" ? std::string("*") : type.pattern) + "|" +
                      type.name;
        arguments = {request.save ? "--getsavefilename" : "--getopenfilename", startPath(request), filter, "--title",
                     request.title};
        status = runCapture(program, arguments, output);
    }
    else
    {
        return ExternalDialogResult::unavailable;
    }
    // A name without the status the host took is still the user's choice;
    // no name then is taken as a cancel rather than a second dialog.
    if ((status == 0 || status == kStatusUnknown) && !output.empty())
    {
        std::string chosen = request.save ? withDefaultExtension(output, request.defaultExtension) : output;
        // The tool asked about replacing the name as typed, not about the
        // file the extension leads to.
        if (request.save && request.overwritePrompt && chosen != output && fileExists(chosen))
        {
            const std::string question = chosen.substr(chosen.find_last_of('/') + 1) + " already exists. Replace it?";
            std::string answer;
            const int replace =
                zenity ? runCapture(program, {"--question", "--title=" + request.title, "--text=" + question}, answer)
                       : runCapture(program, {"--warningyesno", question, "--title", request.title}, answer);
            if (replace != 0)
                return ExternalDialogResult::cancelled;
        }
        path = chosen;
        return ExternalDialogResult::chosen;
    }
    if (status == kStatusUnknown)
        return ExternalDialogResult::cancelled;
    // Exit 1 is the tools' cancel; anything else means the tool itself failed.
    return status == 1 ? ExternalDialogResult::cancelled : ExternalDialogResult::unavailable;
}

} // namespace platform
