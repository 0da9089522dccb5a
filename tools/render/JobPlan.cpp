#include "tools/render/JobPlan.h"

#include <cctype>

#include "tools/render/AudioFile.h"
#include "tools/render/RenderOptions.h"

namespace
{
// "demo-master.wav" -> "demo-master-input.wav": the generated input sits
// beside the master and sorts next to it. Beside an encoded delivery it is
// a WAV file: an input that went through a lossy encoder is no master.
std::string demoInputPathFor(const std::string& outputPath)
{
    size_t slash = outputPath.find_last_of("/\\");
    size_t dot = outputPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = outputPath.size();
    std::string extension = outputPath.substr(dot);
    for (char& c : extension)
        c = (char)std::tolower((unsigned char)c);
    bool encoded = false;
    for (const char* codec : {".ogg", ".oga", ".opus", ".mp3"})
        encoded = encoded || extension == codec;
    return outputPath.substr(0, dot) + "-input" + (encoded ? ".wav" : outputPath.substr(dot));
}

std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withExtension(const std::string& name, const std::string& extension)
{
    if (extension.empty())
        return name;
    size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "." + extension;
}
} // namespace

bool planJobs(const RenderOptions& options, JobPlan& plan, std::string& error)
{
    plan.demo = options.demo;
    if (options.help)
        plan.mode = JobMode::help;
    else if (options.listTargets)
        plan.mode = JobMode::listTargets;
    else if (options.listPrograms)
        plan.mode = JobMode::listPrograms;
    else if (options.listParams)
        plan.mode = JobMode::listParams;
    else if (options.analyse)
    {
        plan.mode = JobMode::analyse;
        for (const std::string& input : options.positional)
            plan.jobs.push_back({input, "", baseName(input)});
    }
    else if (!options.outDir.empty())
    {
        plan.mode = JobMode::batch;
        if (options.presetFiles.saves() && !options.album && options.positional.size() > 1)
        {
            error = "--save-preset or --save-bank with several files needs --album: each file is mastered with "
                    "settings of its own";
            return false;
        }
        for (const std::string& input : options.positional)
        {
            Job job{input, "", baseName(input)};
            job.outputPath = options.outDir + "/" + withExtension(job.name, options.format);
            for (const Job& earlier : plan.jobs)
                if (earlier.outputPath == job.outputPath)
                {
                    error = earlier.inputPath + " and " + input + " would both be written to " + job.outputPath +
                            "; rename one of them or master them into different folders";
                    return false;
                }
            plan.jobs.push_back(job);
        }
    }
    else if (options.positional.empty() && !options.demo && !options.bench)
        plan.mode = JobMode::saveOnly;
    else if (options.bench)
    {
        plan.mode = JobMode::bench;
        if (!options.demo)
            plan.jobs.push_back({options.positional[0], "", ""});
    }
    else
    {
        Job job;
        if (options.demo)
        {
            const std::string output = options.positional.empty() ? kDemoDefaultOutput : options.positional[0];
            job = {demoInputPathFor(output), output, ""};
        }
        else
            job = {options.positional[0], options.positional[1], ""};
        // A conversion needs the whole input in memory, as a search has it; an
        // Opus delivery may need one to 48 kHz.
        const bool converts = options.rate || requiredRateFor(job.outputPath);
        plan.mode = searchesTarget(options) || converts ? JobMode::master : JobMode::render;
        plan.jobs.push_back(job);
    }
    for (const Job& job : plan.jobs)
    {
        const int required = requiredRateFor(job.outputPath);
        if (options.rate && required && options.rate != required)
        {
            error = "Opus is encoded at " + std::to_string(required) + " Hz only: --rate " +
                    std::to_string(options.rate) + " cannot deliver " + job.outputPath;
            return false;
        }
    }
    return true;
}
