#include "tools/render/RenderSetup.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <climits>
#include <unistd.h>
#endif

#include "effect/ParameterTable.h"
#include "effect/ParameterText.h"
#include "tools/render/AudioFile.h"
#include "tools/render/FactoryPrograms.h"
#include "tools/render/Messages.h"
#include "tools/render/Numbers.h"
#include "tools/render/PluginHost.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderResult.h"
#include "tools/render/SettingText.h"

namespace
{
// The rates the plug-in processes at; outside them it falls back to 44100 Hz.
constexpr int kLowestRate = 5000;
constexpr int kHighestRate = 200000;

#if defined(_WIN32)
const char* const kPluginFileName = "QDXZelvo.dll";
#else
const char* const kPluginFileName = "QDXZelvo.so";
#endif

std::string directoryOf(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The plug-in beside this program: the renderer and the library are built
// and installed into one folder.
std::string defaultPluginPath(const char* argv0)
{
    std::string self = argv0 ? argv0 : "";
#if !defined(_WIN32)
    char resolved[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
    if (length > 0)
        self.assign(resolved, (size_t)length);
#endif
    return directoryOf(self) + "/" + kPluginFileName;
}
} // namespace

bool applySettings(PluginHost& host, const RenderOptions& options, int program, std::string& error)
{
    if (program >= 0)
        applyFactoryProgram(host, program);
    applyPresetFiles(host, options);
    for (const ParameterSetting& setting : options.settings)
    {
        int index = host.findParameter(setting.name);
        if (index < 0)
        {
            error = "unknown parameter \"" + setting.name + "\" (see --list-params)";
            return false;
        }
        host.setParameter(index, setting.value);
    }
    return true;
}

bool loadPlugin(PluginHost& host, const RenderOptions& options, const char* argv0, bool mono, std::string& error)
{
    std::string path = options.pluginPath.empty() ? defaultPluginPath(argv0) : options.pluginPath;
    return host.load(path, mono, error);
}

std::vector<ParameterValue> parameterValues(PluginHost& host)
{
    std::vector<ParameterValue> values;
    for (int i = 0; i < host.numParams(); ++i)
        // Rows that hold nothing a user sets are not settings.
        if (i >= kNumParams || !(kParameterTable[i].hints & kHintHidden))
            values.push_back({host.parameterName(i), host.getParameter(i), host.parameterDisplay(i),
                              i < kNumParams ? parameterUnitSymbol(kParameterTable[i].unit) : host.parameterLabel(i),
                              settingText(i, host.getParameter(i)),
                              i < kNumParams && kParameterTable[i].steps == 0
                                  ? parameterUnitValue(i, host.getParameter(i))
                                  : std::nan("")});
    return values;
}

std::string parameterText(PluginHost& host, const char* name)
{
    int index = host.findParameter(name);
    return index < 0 ? "" : host.parameterDisplay(index);
}

GainReductionReport gainReductionSetup(PluginHost& host, double& expectedGain)
{
    GainReductionReport report{{false, 0.0, 0.0}, ""};
    if (parameterText(host, kParameterTable[kPower].name) == "off")
        report.unavailableReason = "power is off (latency-compensated bypass)";
    else if (parameterText(host, kParameterTable[kCalibrate].name) != "off")
        report.unavailableReason = "the calibration generator is on";
    std::string drive = parameterText(host, kParameterTable[kDrive].name),
                output = parameterText(host, kParameterTable[kOutput].name);
    // Read as far as the number goes: the texts may carry more after it.
    char* end = nullptr;
    double driveDb = std::strtod(drive.c_str(), &end);
    bool driveRead = end && end != drive.c_str();
    double outputDb = std::strtod(output.c_str(), &end);
    bool outputRead = end && end != output.c_str();
    if (report.unavailableReason.empty() && (!driveRead || !outputRead))
        report.unavailableReason = "the plug-in's Drive and Output texts could not be read";
    double outputGain = parameterText(host, kParameterTable[kAutoOut].name) == "on" ? -driveDb : outputDb;
    expectedGain = std::pow(10.0, (driveDb + outputGain) / 20.0);
    if (parameterText(host, kParameterTable[kTruePeakGuard].name) == "on")
        report.compareFrames = GainReductionEstimator::kLowPassedCompareFrames;
    return report;
}

bool checkInput(const AudioFileReader& reader, const std::string& path, std::string& error)
{
    const int channels = reader.channels();
    if (channels < 1 || channels > 2)
    {
        error = path + " has " + std::to_string(channels) + " channels; only mono and stereo files can be processed";
        return false;
    }
    return true;
}

bool checkRate(const AudioFileReader& reader, const std::string& path, bool processed, std::string& error)
{
    return checkRate(reader.sampleRate(), path, processed, error);
}

bool checkRate(int rate, const std::string& path, bool processed, std::string& error)
{
    if (rate >= kLowestRate && rate <= kHighestRate)
        return true;
    const std::string range = std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) + " Hz";
    if (processed)
    {
        error = "the sample rate " + std::to_string(rate) + " Hz of " + path + " is outside what the plug-in serves (" +
                range + "); convert the file to a rate in that range first";
        return false;
    }
    warn("the sample rate " + std::to_string(rate) + " Hz of " + path + " is outside " + range +
         "; the plug-in is switched off (Power off), so the samples pass unchanged");
    return true;
}

std::vector<std::string> inputWarnings(const AudioFileReader& reader, const std::string& path)
{
    std::vector<std::string> warnings;
    const double rate = reader.sampleRate();
    if (reader.nonFiniteSamples() > 0)
        warnings.push_back(path + " holds " + std::to_string(reader.nonFiniteSamples()) +
                           " samples that are not numbers (NaN or infinity), the first at frame " +
                           std::to_string(reader.firstNonFiniteFrame()) + " (" +
                           formatNumber((double)reader.firstNonFiniteFrame() / rate, 3) +
                           " s); they were read as silence");
    if (reader.framesRead() < reader.frames())
        warnings.push_back(path + ": its header promises " + std::to_string(reader.frames()) + " frames (" +
                           formatNumber((double)reader.frames() / rate, 3) + " s) but the file holds " +
                           std::to_string(reader.framesRead()) + " (" +
                           formatNumber((double)reader.framesRead() / rate, 3) +
                           " s); the file is cut short and only what it holds was processed");
    return warnings;
}

std::string configureWordLength(PluginHost& host, const RenderOptions& options, int fileBits)
{
    if (fileBits != 8 && fileBits != 16 && fileBits != 24)
        return "";
    if (parameterText(host, kParameterTable[kPower].name) != "on")
        return "";
    const int quantize = host.findParameter(kParameterTable[kQuantize].name),
              bits = host.findParameter(kParameterTable[kBits].name);
    if (quantize < 0 || bits < 0)
        return "";
    for (const ParameterSetting& setting : options.settings)
        if (host.findParameter(setting.name) == quantize)
            return "";
    // Step centres of the two stepped parameters: Quantize off/on, Bits 8/16/24.
    host.setParameter(quantize, 0.75f);
    host.setParameter(bits, fileBits == 8 ? 1.0f / 6.0f : fileBits == 16 ? 0.5f : 5.0f / 6.0f);
    return std::to_string(fileBits) + " bits by the plug-in's requantizer, noise shaping " +
           parameterText(host, kParameterTable[kNoiseShape].name);
}

AudioMetadata deliveryMetadata(const AudioFileReader& reader, const RenderOptions& options)
{
    AudioMetadata metadata = reader.metadata();
    for (const auto& tag : options.tags)
        metadata.set(tag.first, tag.second);
    return metadata;
}

bool readWholeFile(AudioFileReader& reader, std::vector<double>& samples, std::string& error, ProgressBar* progress)
{
    std::vector<double> block(65536 * (size_t)reader.channels());
    for (;;)
    {
        int64_t got = reader.read(block.data(), 65536, error);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        samples.insert(samples.end(), block.begin(), block.begin() + got * reader.channels());
        if (progress)
            progress->update((int64_t)samples.size() / reader.channels());
    }
}
