// qdx-render: masters audio files from the shell with the QDX Zelvo plug-in.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "effect/ParameterTable.h"
#include "tools/render/AudioFile.h"
#include "tools/render/Benchmark.h"
#include "tools/render/DemoSignal.h"
#include "tools/render/FactoryPrograms.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/Mastering.h"
#include "tools/render/DeliveryTargets.h"
#include "tools/render/PluginHost.h"
#include "tools/render/PresetFileOptions.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderReport.h"
#include "tools/render/RenderSetup.h"
#include "tools/render/Renderer.h"

namespace
{
constexpr int kExitFailure = 1; // a file or the plug-in failed
constexpr int kExitUsage = 2;   // the command line asked for something that does not exist

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "qdx-render: error: %s\n", message.c_str());
    return status;
}

// "demo-master.wav" -> "demo-master-input.wav": the generated input sits
// beside the master and sorts next to it.
std::string demoInputPathFor(const std::string& outputPath)
{
    size_t slash = outputPath.find_last_of("/\\");
    size_t dot = outputPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        dot = outputPath.size();
    return outputPath.substr(0, dot) + "-input" + outputPath.substr(dot);
}

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
        std::printf("%3d  %-22s %9s dB %9s ms %9s dB\n", i, kFactoryPresets[i].name,
                    parameterText(host, kParameterTable[kDrive].name).c_str(),
                    parameterText(host, kParameterTable[kRelease].name).c_str(),
                    parameterText(host, kParameterTable[kLeveller].name).c_str());
    }
    return 0;
}

int listParams(PluginHost& host)
{
    std::printf("Program \"%s\"\n%3s  %-14s %8s  %s\n", host.programName().c_str(), "#", "parameter", "value",
                "display");
    for (int i = 0; i < host.numParams(); ++i)
    {
        std::string label = host.parameterLabel(i);
        std::printf("%3d  %-14s %8.6f  %s%s%s\n", i, host.parameterName(i).c_str(), host.getParameter(i),
                    host.parameterDisplay(i).c_str(), label.empty() ? "" : " ", label.c_str());
    }
    return 0;
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

struct Session
{
    const RenderOptions& options;
    const char* argv0;
    int program;
};

int benchmark(const Session& s)
{
    std::vector<double> samples;
    int channels = 2, rate = DemoSignal::kSampleRate;
    std::string error;
    if (s.options.demo)
        samples = generateDemoSignal();
    else
    {
        AudioFileReader reader;
        if (!reader.open(s.options.positional[0], error) || !checkInput(reader, s.options.positional[0], error))
            return fail(kExitFailure, error);
        channels = reader.channels();
        rate = reader.sampleRate();
        if (!readWholeFile(reader, samples, error))
            return fail(kExitFailure, error);
    }
    PluginHost host;
    if (!loadPlugin(host, s.options, s.argv0, channels == 1, error))
        return fail(kExitFailure, error);
    host.setSampleRate((float)rate);
    host.setBlockSize(s.options.blockSize);
    if (!applySettings(host, s.options, s.program, error))
        return fail(kExitUsage, error);
    if (!savePresetFiles(host, s.options))
        return kExitFailure;
    BenchmarkFigures figures = runBenchmark(host, samples, channels, rate, s.options.blockSize, s.options.useDouble);
    printBenchmarkReport(stdout, figures, rate, channels, s.options.blockSize, s.options.useDouble);
    return 0;
}

int render(const Session& s, const std::string& inputPath, const std::string& outputPath)
{
    const RenderOptions& options = s.options;
    std::string error;
    if (sameFile(inputPath, outputPath))
        return fail(kExitUsage, "OUTPUT is the INPUT file; choose another name (" + outputPath + ")");
    AudioFileReader reader;
    if (!reader.open(inputPath, error) || !checkInput(reader, inputPath, error))
        return fail(kExitFailure, error);
    const int channels = reader.channels(), rate = reader.sampleRate();

    PluginHost host;
    if (!loadPlugin(host, options, s.argv0, channels == 1, error))
        return fail(kExitFailure, error);
    if (options.useDouble && !host.canProcessDouble())
        return fail(kExitFailure, "the plug-in offers no 64-bit processing (--double)");
    // The latency depends on the rate class, so it is read after the rate is set.
    host.setSampleRate((float)rate);
    host.setBlockSize(options.blockSize);
    if (!applySettings(host, options, s.program, error))
        return fail(kExitUsage, error);
    if (!savePresetFiles(host, options))
        return kExitFailure;

    if (options.useDouble && parameterText(host, kParameterTable[kCalibrate].name) != "off")
        warn("the calibration generator runs only in the 32-bit callback; with --double the output is silent");

    AudioFormat format;
    std::string note;
    if (!chooseOutputFormat(reader.format(), outputPath, options.bits, channels, rate, format, note, error))
        return fail(kExitUsage, error);
    if (!note.empty())
        warn(note);
    const std::string wordLength = configureWordLength(host, options, integerBitsOfFormat(format));

    std::printf("Input    %s: %s, %d Hz, %s, %.3f s\n", inputPath.c_str(), describeFormat(reader.format()).c_str(),
                rate, channels == 2 ? "stereo" : "mono", (double)reader.frames() / rate);
    std::printf("Program  \"%s\": Drive %s dB, Output %s dB, Power %s%s\n", host.programName().c_str(),
                parameterText(host, kParameterTable[kDrive].name).c_str(),
                parameterText(host, kParameterTable[kOutput].name).c_str(),
                parameterText(host, kParameterTable[kPower].name).c_str(),
                options.useDouble ? ", 64-bit processing" : "");
    std::printf("Latency  %d samples, %s\n", host.latency(), options.align ? "compensated" : "kept (--no-align)");
    std::printf("Output   %s: %s\n", outputPath.c_str(), describeFormat(format).c_str());
    if (!wordLength.empty())
        std::printf("Words    %s\n", wordLength.c_str());
    std::fflush(stdout);

    double expectedGain = 1.0;
    GainReductionReport gainReduction = gainReductionSetup(host, expectedGain);
    LoudnessMeter inputMeter(channels, rate), outputMeter(channels, rate);
    GainReductionEstimator estimator(channels, expectedGain);
    AudioFileWriter writer;
    if (!writer.create(outputPath, rate, channels, format, error))
        return fail(kExitFailure, error);
    RenderSettings settings{options.align, options.useDouble, options.blockSize};
    RenderMeters meters{&inputMeter, &outputMeter, gainReduction.unavailableReason.empty() ? &estimator : nullptr};
    if (!renderFile(host, reader, writer, settings, meters, error) || !writer.close(error))
        return fail(kExitFailure, error);
    gainReduction.figures = estimator.figures();
    printLoudnessReport(stdout, inputMeter.figures(), outputMeter.figures(), gainReduction);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(argc, argv, options, error) || !resolveDeliveryTarget(options, error) ||
        !checkPositionalArguments(options, error))
        return fail(kExitUsage, error);
    if (options.help)
    {
        std::fputs(renderHelpText().c_str(), stdout);
        return 0;
    }
    if (options.listTargets)
    {
        printDeliveryTargets(stdout);
        return 0;
    }
    if (int status = loadPresetFiles(options))
        return status;
    int program = -1;
    if (!resolveProgram(options, program, error))
        return fail(kExitUsage, error);
    Session session{options, argv[0], program};
    MasteringSession mastering{options, argv[0], program};
    if (!options.outDir.empty())
        return masterBatch(mastering);

    const bool onlySaving = options.positional.empty() && !options.demo && !options.bench;
    if (options.listPrograms || options.listParams || onlySaving)
    {
        PluginHost host;
        if (!loadPlugin(host, options, argv[0], false, error))
            return fail(kExitFailure, error);
        if (options.listPrograms)
            return listPrograms(host);
        if (!applySettings(host, options, program, error))
            return fail(kExitUsage, error);
        if (!savePresetFiles(host, options))
            return kExitFailure;
        return options.listParams ? listParams(host) : 0;
    }
    if (options.bench)
        return benchmark(session);
    if (options.demo)
    {
        std::string outputPath = options.positional.empty() ? kDemoDefaultOutput : options.positional[0];
        std::string inputPath = demoInputPathFor(outputPath);
        if (!writeDemoInput(inputPath, error))
            return fail(kExitFailure, error);
        std::printf("Demo     wrote the generated input to %s\n", inputPath.c_str());
        if (searchesTarget(options))
            return masterFile(mastering, inputPath, outputPath);
        return render(session, inputPath, outputPath);
    }
    if (searchesTarget(options))
        return masterFile(mastering, options.positional[0], options.positional[1]);
    return render(session, options.positional[0], options.positional[1]);
}
