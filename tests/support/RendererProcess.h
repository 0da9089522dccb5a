// Running the built qdx-render as a child process, as a user does from a
// shell, with its output and exit status captured.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace renderertest
{
inline std::string buildDirectory()
{
    const char* dir = std::getenv("ZELVO_BUILD_DIR");
    return dir && *dir ? dir : ".";
}

inline std::string shellQuoted(const std::string& word)
{
    std::string result = "'";
    for (char c : word)
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool exists(const std::string& path)
{
    struct stat s;
    return stat(path.c_str(), &s) == 0;
}

struct RunResult
{
    int status;
    std::string out, err;
};

// Runs the renderer with `args`; its standard output and error go through
// files in `scratchDir`. The renderer is a child of the test: clang 14's leak
// checker crashes in its own tracer there (not in the renderer), so leaks are
// left to the direct host tests and the soak.
inline RunResult runRenderer(const std::vector<std::string>& args, const std::string& scratchDir,
                             const std::string& workingDirectory = "")
{
    std::string command;
    if (!workingDirectory.empty())
        command = "cd " + shellQuoted(workingDirectory) + " && ";
    command += "ASAN_OPTIONS=detect_leaks=0 " + shellQuoted(buildDirectory() + "/qdx-render");
    for (const std::string& a : args)
        command += " " + shellQuoted(a);
    const std::string out = scratchDir + "/stdout.txt", err = scratchDir + "/stderr.txt";
    command += " >" + shellQuoted(out) + " 2>" + shellQuoted(err) + " </dev/null";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}
} // namespace renderertest
