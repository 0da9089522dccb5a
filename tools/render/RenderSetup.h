// The steps every render shares, whether of one file, a batch or a search:
// finding and loading the plug-in, applying the program and the --set
// values, checking and reading the input.
#pragma once

#include <string>
#include <vector>

#include "tools/render/RenderReport.h"

class AudioFileReader;
struct AudioMetadata;
struct ParameterValue;
class PluginHost;
class ProgressBar;
struct RenderOptions;

bool loadPlugin(PluginHost& host, const RenderOptions& options, const char* argv0, bool mono, std::string& error);

// Program first, then the single settings in command-line order.
bool applySettings(PluginHost& host, const RenderOptions& options, int program, std::string& error);

// The name, value, display text and label of every parameter a user
// sets, for the report.
std::vector<ParameterValue> parameterValues(PluginHost& host);

// The display text of the parameter with this name; empty when there is none.
std::string parameterText(PluginHost& host, const char* name);

// The gain the plug-in applies where it does not limit, from its own
// display texts: Drive times Output, or unity with automatic output gain.
GainReductionReport gainReductionSetup(PluginHost& host, double& expectedGain);

// Mono and stereo map onto the plug-in's pins; more channels do not.
bool checkInput(const AudioFileReader& reader, const std::string& path, std::string& error);

// The plug-in serves 5000 to 200000 Hz; outside them it would run with its
// 44100 Hz settings, and loudness and peaks measured there mean nothing, so
// such a file is refused. Bypassed (`processed` false, Power off) the
// samples pass unchanged and a warning is enough.
bool checkRate(const AudioFileReader& reader, const std::string& path, bool processed, std::string& error);
bool checkRate(int rate, const std::string& path, bool processed, std::string& error);

// What reading the whole input found wrong: samples that are not numbers
// (read as silence), and a header that promised more frames than the file
// holds. One sentence each, for warnings and the report.
std::vector<std::string> inputWarnings(const AudioFileReader& reader, const std::string& path);

// Makes the plug-in's requantizer produce the output file's word length
// (8, 16 or 24 bits), with the dither and noise shaping of the program, so
// that the file writer has nothing left to round. Leaves the instance alone
// when it bypasses (Power off), when the file holds 32-bit or float samples,
// or when the command line sets Quantize itself. Returns a line for the
// report, empty when nothing was changed.
std::string configureWordLength(PluginHost& host, const RenderOptions& options, int fileBits);

// The input's tags with --tag on top: what the output carries.
AudioMetadata deliveryMetadata(const AudioFileReader& reader, const RenderOptions& options);

bool readWholeFile(AudioFileReader& reader, std::vector<double>& samples, std::string& error,
                   ProgressBar* progress = nullptr);
