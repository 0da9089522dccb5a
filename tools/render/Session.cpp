#include "tools/render/Session.h"

#include "tools/render/Messages.h"
#include "tools/render/PluginHost.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderSetup.h"

Session::Session(const RenderOptions& options, const char* argv0, int program)
    : options(options),
      argv0(argv0),
      program(program),
      text(options.reportPath == "-" ? stderr : stdout),
      showsProgress(options.progress || ProgressBar::stderrIsTerminal())
{}

int Session::failRun(int status, const std::string& code, const std::string& message)
{
    run.errorCode = code;
    run.error = message;
    return fail(status, message);
}

int Session::failFile(FileResult& file, int status, const std::string& code, const std::string& message)
{
    file.failed = true;
    file.errorCode = code;
    file.error = message;
    return fail(status, message);
}

void Session::InstanceCloser::operator()(PluginHost* host) const
{
    std::lock_guard<std::mutex> held(*lock);
    delete host;
}

bool Session::loadPlugin(PluginHost& host, bool mono, std::string& error)
{
    std::lock_guard<std::mutex> lock(instanceMutex);
    return ::loadPlugin(host, options, argv0, mono, error);
}

Session::Instance Session::newInstance() { return Instance(new PluginHost, InstanceCloser{&instanceMutex}); }

bool Session::loadConfigured(PluginHost& host, int channels, int rate, std::string& error)
{
    if (!loadPlugin(host, channels == 1, error))
        return false;
    if (options.useDouble && !host.canProcessDouble())
    {
        error = "the plug-in offers no 64-bit processing (--double)";
        return false;
    }
    host.setSampleRate((float)rate);
    host.setBlockSize(options.blockSize);
    return applySettings(host, options, program, error);
}
