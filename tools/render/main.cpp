// qdx-render: masters audio files from the shell with the QDX Zelvo plug-in.
// A run goes options -> job plan -> passes -> report: the command line is
// parsed and checked whole, the plan names every file before any audio is
// read, the jobs run, and the report is printed from what they recorded.
#include <cstdio>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "effect/ParameterText.h"
#include "tools/render/AudioFile.h"
#include "tools/render/Benchmark.h"
#include "tools/render/DeliveryTargets.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/FactoryPrograms.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/JsonReport.h"
#include "tools/render/JobPlan.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/Mastering.h"
#include "tools/render/Messages.h"
#include "tools/render/PluginHost.h"
#include "tools/render/PresetFileOptions.h"
#include "tools/render/ReadBack.h"
#include "tools/render/ReconstructedPeak.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderReport.h"
#include "tools/render/RenderResult.h"
#include "tools/render/RenderSetup.h"
#include "tools/render/SettingText.h"
#include "tools/render/Renderer.h"
#include "tools/render/Session.h"

namespace
{
// The program to apply: --program, else the demo's default; -1 for none.
bool resolveProgram(const RenderOptions& options, int& program, std::string& error)
{
    if (options.presetFiles.loads())
        return true; // the files' programs answer --program (PresetFileOptions)
    std::string wanted = options.program;
    if (wanted.empty() && options.demo)
        wanted = kDemoDefaultProgram;
    program = wanted.empty() ? -1 : findFactoryProgram(wanted);
    if (!wanted.empty() && program < 0)
    {
        error = "unknown program \"" + wanted + "\" (see --list-programs)";
        return false;
    }
    return true;
}

int listPrograms(PluginHost& host)
{
    std::printf("%3s  %-22s %12s %12s %12s\n", "#", "program", "Drive", "Release", "Leveller");
    for (int i = 0; i < kFactoryProgramCount; ++i)
    {
        applyFactoryProgram(host, i);
        std::printf("%3d  %-22s %9s dB %9s ms %9s dB\n", i, printable(kFactoryPresets[i].name).c_str(),
                    parameterText(host, kParameterTable[kDrive].name).c_str(),
                    parameterText(host, kParameterTable[kRelease].name).c_str(),
                    parameterText(host, kParameterTable[kLeveller].name).c_str());
    }
    return kExitSuccess;
}

int listParams(PluginHost& host)
{
    std::printf("Program \"%s\"\n%3s  %-14s %8s  %-16s %-12s %s\n", printable(host.programName()).c_str(), "#",
                "parameter", "value", "display", "--set as", "range");
    for (int i = 0; i < host.numParams(); ++i)
    {
        std::string label = host.parameterLabel(i);
        std::string display = host.parameterDisplay(i) + (label.empty() ? "" : " ") + label;
        std::printf("%3d  %-14s %8.6f  %-16s %-12s %s\n", i, printable(host.parameterName(i)).c_str(),
                    host.getParameter(i), printable(display).c_str(),
                    printable(settingText(i, host.getParameter(i))).c_str(), parameterRangeText(i).c_str());
    }
    return kExitSuccess;
}

// Listings and saving only: one instance, no audio.
int withoutAudio(Session& s, JobMode mode)
{
    PluginHost host;
    std::string error;
    if (!s.loadPlugin(host, false, error))
        return fail(kExitFailure, error);
    if (mode == JobMode::listPrograms)
        return listPrograms(host);
    if (!applySettings(host, s.options, s.program, error))
        return fail(kExitUsage, error);
    if (!savePresetFiles(host, s.options))
        return kExitFailure;
    return mode == JobMode::listParams ? listParams(host) : kExitSuccess;
}

bool writeDemoInput(const std::string& path, std::string& error)
{
    std::vector<double> signal = generateDemoSignal();
    AudioFormat wav;
    std::string note;
    if (!chooseOutputFormat(wave24BitFormat(), path, OutputBits::followInput, 2, DemoSignal::kSampleRate, wav, note,
                            error))
        return false;
    AudioFileWriter writer;
    if (!writer.create(path, DemoSignal::kSampleRate, 2, wav, error) ||
        !writer.write(signal.data(), (int64_t)signal.size() / 2, error))
        return false;
    return writer.close(error);
}

int benchmark(Session& s, const JobPlan& plan)
{
    std::vector<double> samples;
    int channels = 2, rate = DemoSignal::kSampleRate;
    std::string error;
    if (plan.demo)
        samples = generateDemoSignal();
    else
    {
        const std::string& path = plan.jobs[0].inputPath;
        AudioFileReader reader;
        if (!reader.open(path, error) || !checkInput(reader, path, error) || !checkRate(reader, path, true, error))
            return fail(kExitFailure, error);
        channels = reader.channels();
        rate = reader.sampleRate();
        if (!readWholeFile(reader, samples, error))
            return fail(kExitFailure, error);
    }
    PluginHost host;
    if (!s.loadPlugin(host, channels == 1, error))
        return fail(kExitFailure, error);
    host.setSampleRate((float)rate);
    host.setBlockSize(s.options.blockSize);
    if (!applySettings(host, s.options, s.program, error))
        return fail(kExitUsage, error);
    if (!savePresetFiles(host, s.options))
        return kExitFailure;
    BenchmarkFigures figures = runBenchmark(host, samples, channels, rate, s.options.blockSize, s.options.useDouble);
    printBenchmarkReport(stdout, figures, rate, channels, s.options.blockSize, s.options.useDouble);
    return kExitSuccess;
}

// INPUT to OUTPUT with the settings as given, streamed block by block.
int render(Session& s, const Job& job)
{
    const RenderOptions& options = s.options;
    s.run.mode = "render";
    s.run.files.emplace_back();
    FileResult& file = s.run.files.back();
    file.inputPath = job.inputPath;
    file.outputPath = job.outputPath;
    std::string error;
    if (sameFile(job.inputPath, job.outputPath))
        return s.failFile(file, kExitUsage, "usage",
                          "OUTPUT is the INPUT file; choose another name (" + job.outputPath + ")");
    AudioFileReader reader;
    if (!reader.open(job.inputPath, error))
        return s.failFile(file, kExitFailure, "input-unreadable", error);
    if (!checkInput(reader, job.inputPath, error))
        return s.failFile(file, kExitFailure, "input-unsupported", error);
    file.channels = reader.channels();
    file.rate = reader.sampleRate();
    file.inputFormat = describeFormat(reader.format());
    file.seconds = (double)reader.frames() / file.rate;

    PluginHost host;
    if (!s.loadPlugin(host, file.channels == 1, error))
        return s.failFile(file, kExitFailure, "plugin", error);
    if (options.useDouble && !host.canProcessDouble())
        return s.failFile(file, kExitFailure, "plugin", "the plug-in offers no 64-bit processing (--double)");
    // The latency depends on the rate class, so it is read after the rate is set.
    host.setSampleRate((float)file.rate);
    host.setBlockSize(options.blockSize);
    if (!applySettings(host, options, s.program, error))
        return s.failFile(file, kExitUsage, "usage", error);
    if (!checkRate(reader, job.inputPath, parameterText(host, kParameterTable[kPower].name) != "off", error))
        return s.failFile(file, kExitFailure, "input-unsupported", error);
    if (!savePresetFiles(host, options))
        return s.failFile(file, kExitFailure, "preset-file", "the preset or bank file could not be written");

    if (options.useDouble && parameterText(host, kParameterTable[kCalibrate].name) != "off")
        warn("the calibration generator runs only in the 32-bit callback; with --double the output is silent");

    AudioFormat format;
    std::string note;
    if (!chooseOutputFormat(reader.format(), job.outputPath, options.bits, file.channels, file.rate, format, note,
                            error))
        return s.failFile(file, kExitUsage, "output-format", error);
    format.quality = options.quality;
    if (!note.empty())
        warn(note);
    file.outputFormat = describeFormat(format);
    file.outputBits = integerBitsOfFormat(format);
    file.wordLength = configureWordLength(host, options, file.outputBits);
    file.program = host.programName();
    file.drive = parameterText(host, kParameterTable[kDrive].name);
    file.output = parameterText(host, kParameterTable[kOutput].name);
    file.power = parameterText(host, kParameterTable[kPower].name);
    file.latency = host.latency();
    file.parameters = parameterValues(host);
    printRenderHeader(s.text, file, options.useDouble, options.align);
    std::fflush(s.text);

    double expectedGain = 1.0;
    file.gainReduction = gainReductionSetup(host, expectedGain);
    LoudnessMeter inputMeter(file.channels, file.rate), outputMeter(file.channels, file.rate);
    GainReductionEstimator estimator(file.channels, expectedGain, file.gainReduction.compareFrames);
    AudioFileWriter writer;
    if (!writer.create(job.outputPath, file.rate, file.channels, format, error))
        return s.failFile(file, kExitFailure, "output-unwritable", error);
    writer.setMetadata(deliveryMetadata(reader, options));
    RenderSettings settings{options.align, options.useDouble, options.blockSize, s.showsProgress};
    ReconstructedPeak ideal(file.channels);
    RenderMeters meters{&inputMeter, &outputMeter, file.gainReduction.unavailableReason.empty() ? &estimator : nullptr,
                        &ideal};
    if (!renderFile(host, reader, writer, settings, meters, error))
        return s.failFile(file, kExitFailure, "input-unreadable", error);
    if (!writer.close(error))
        return s.failFile(file, kExitFailure, "output-unwritable", error);
    for (const std::string& warning : inputWarnings(reader, job.inputPath))
    {
        warn(warning);
        file.warnings.push_back(warning);
    }
    file.gainReduction.figures = estimator.figures();
    file.input = inputMeter.figures();
    file.result = outputMeter.figures();
    file.reconstructedPeakDb = ideal.peakDb();
    // An encoder changes levels and peaks: an encoded file is reported as decoded.
    if (isEncoded(format))
    {
        ReadBack read;
        if (!readBack(job.outputPath, s.openMutex, true, 1, "Decoding", s.showsProgress, read, error))
            return s.failFile(file, kExitFailure, "output-unreadable", error);
        file.result = read.meter->figures();
        file.reconstructedPeakDb = read.reconstructedPeakDb;
    }
    printLoudnessReport(s.text, file.input, file.result, file.gainReduction);
    printReconstructedPeak(s.text, file);
    return kExitSuccess;
}

// A run that ends before any job: the message, and a report that says so
// when one was asked for. An empty message was printed already.
int endEarly(const RenderOptions& options, int status, const std::string& code, const std::string& message)
{
    if (!message.empty())
        fail(status, message);
    if (options.reportPath.empty())
        return status;
    RunResult run;
    run.status = status;
    run.errorCode = code;
    run.error = message.empty() ? "see the messages on standard error" : message;
    std::string error;
    if (!writeJsonReport(options.reportPath, run, error))
        return fail(kExitFailure, error);
    return status;
}

int run(Session& session, const JobPlan& plan)
{
    switch (plan.mode)
    {
    case JobMode::help:
    case JobMode::listTargets: break;
    case JobMode::listPrograms:
    case JobMode::listParams:
    case JobMode::saveOnly: return withoutAudio(session, plan.mode);
    case JobMode::bench: return benchmark(session, plan);
    case JobMode::batch: return masterBatch(session, plan);
    case JobMode::analyse: return analyseFiles(session, plan);
    case JobMode::render:
    case JobMode::master:
    {
        const Job& job = plan.jobs[0];
        std::string error;
        if (plan.demo)
        {
            if (!writeDemoInput(job.inputPath, error))
                return session.failRun(kExitFailure, "output-unwritable", error);
            std::fprintf(session.text, "Demo     wrote the generated input to %s\n", printable(job.inputPath).c_str());
        }
        if (plan.mode == JobMode::master)
            return masterFile(session, job.inputPath, job.outputPath);
        return render(session, job);
    }
    }
    return kExitSuccess;
}
} // namespace

int main(int argc, char** argv)
{
    RenderOptions options;
    JobPlan plan;
    std::string error;
    if (!parseRenderOptions(argc, argv, options, error) || !resolveDeliveryTarget(options, error) ||
        !checkPositionalArguments(options, error) || !planJobs(options, plan, error))
        return endEarly(options, kExitUsage, "usage", error);
    if (plan.mode == JobMode::help)
    {
        std::fputs(renderHelpText().c_str(), stdout);
        return kExitSuccess;
    }
    if (plan.mode == JobMode::listTargets)
    {
        printDeliveryTargets(stdout);
        return kExitSuccess;
    }
    removePartialFilesOnInterrupt();
    if (int status = loadPresetFiles(options))
        return endEarly(options, status, status == kExitUsage ? "usage" : "preset-file", "");
    int program = -1;
    if (!resolveProgram(options, program, error))
        return endEarly(options, kExitUsage, "usage", error);
    Session session(options, argv[0], program);
    session.run.status = run(session, plan);
    if (!options.reportPath.empty() && plan.mode != JobMode::bench && !session.run.mode.empty() &&
        !writeJsonReport(options.reportPath, session.run, error))
        return fail(kExitFailure, error);
    return session.run.status;
}
