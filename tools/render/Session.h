// One run of qdx-render: the options, the program they resolve to, and what
// the run's jobs share (the locks around the plug-in's construction and
// libsndfile's opening of files, the pass buffers). Every mode takes one.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "tools/render/PassBufferPool.h"
#include "tools/render/RenderResult.h"

class PluginHost;
struct RenderOptions;

class Session
{
public:
    Session(const RenderOptions& options, const char* argv0, int program);

    const RenderOptions& options;
    const char* const argv0;
    const int program; // factory program to apply, -1 for none
    // Where the text report goes: standard output, or standard error when
    // the JSON report takes standard output.
    std::FILE* const text;
    // Progress lines on standard error: on a terminal, or with --progress.
    const bool showsProgress;
    // What the run found, for the reports.
    RunResult run;

    // Prints the error and records it as what ended the run, or as the
    // failure of one file. Return `status`.
    int failRun(int status, const std::string& code, const std::string& message);
    int failFile(FileResult& file, int status, const std::string& code, const std::string& message);

    // Loads the plug-in (mono pins for a mono file). The plug-in's
    // constructor reads the metering preferences from its registry store,
    // so instances are created, and closed, one at a time.
    bool loadPlugin(PluginHost& host, bool mono, std::string& error);
    struct InstanceCloser
    {
        std::mutex* lock;
        void operator()(PluginHost* host) const;
    };
    using Instance = std::unique_ptr<PluginHost, InstanceCloser>;
    Instance newInstance();
    // Loaded, at the rate and block size, with the program and --set applied.
    bool loadConfigured(PluginHost& host, int channels, int rate, std::string& error);

    // libsndfile keeps the message of a failed open in one global place.
    std::mutex openMutex;
    // Lines from workers are printed whole.
    std::mutex printMutex;
    PassBufferPool buffers;

private:
    std::mutex instanceMutex;
};
