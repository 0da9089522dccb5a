#include "platform/posix/ExternalFileDialog.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool findProgram(const char* name, std::string& path)
{
    const char* searchPath = std::getenv("PATH");
    std::string list = searchPath ? searchPath : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string candidate = list.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            path = candidate;
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Runs the program with the arguments; its first output line, and its exit status.
int runCapture(const std::string& program, const std::vector<std::string>& arguments, std::string& output)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return -1;
    }
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[512];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<size_t>(count));
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    size_t newline = output.find('\n');
    if (newline != std::string::npos)
        output.resize(newline);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    if (findProgram("zenity", program)) {
        arguments = {"--file-selection", "--title=" + request.title, "--filename=" + startPath(request)};
        if (request.save) {
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
    } else if (findProgram("kdialog", program)) {
        std::string filter;
        for (const auto& type : request.types)
            filter += (filter.empty() ? "" : "\n") + (type.pattern == "*.*" ? std::string("*") : type.pattern) + "|"
                      + type.name;
        arguments = {request.save ? "--getsavefilename" : "--getopenfilename", startPath(request), filter,
                     "--title", request.title};
        status = runCapture(program, arguments, output);
    } else {
        return ExternalDialogResult::unavailable;
    }
    if (status == 0 && !output.empty()) {
        path = output;
        return ExternalDialogResult::chosen;
    }
    // Exit 1 is the tools' cancel; anything else means the tool itself failed.
    return status == 1 ? ExternalDialogResult::cancelled : ExternalDialogResult::unavailable;
}

} // namespace platform
