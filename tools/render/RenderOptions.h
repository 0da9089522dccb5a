// Command-line options of qdx-render. Every option is one row of a table
// (name, argument, help text, how it is stored), so a new option is one row
// and one field.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "tools/render/PresetFileOptions.h"

enum class OutputBits
{
    followInput,
    pcm16,
    pcm24,
    pcm32,
    float32,
};

// One --set NAME=VALUE: a parameter by its name and the normalised value
// its text gave.
struct ParameterSetting
{
    std::string name;
    float value = 0.0f;
};

struct RenderOptions
{
    std::vector<std::string> positional; // INPUT OUTPUT, [OUTPUT] with --demo, or INPUT... with --out-dir
    std::string pluginPath;              // empty: the plug-in beside the renderer
    std::string program;                 // factory program by name or number; empty: none
    std::vector<ParameterSetting> settings;
    OutputBits bits = OutputBits::followInput;
    int blockSize = 512;
    double quality = NAN; // --quality / 10: the encoder's 0..1; NaN for its default
    int rate = 0;         // --rate: the delivery rate the input is converted to; 0: the input's
    bool align = true;
    bool useDouble = false;
    bool demo = false;
    bool bench = false;
    bool analyse = false;  // measure (and with a target search) without writing
    bool progress = false; // progress lines also when standard error is not a terminal
    bool listPrograms = false;
    bool listParams = false;
    bool help = false;
    // Delivery: searched Drive and Output ceiling. NAN where not asked for;
    // --target fills what --loudness and --true-peak leave open.
    double loudness = NAN;
    double truePeak = NAN;
    std::string target;
    bool listTargets = false;
    std::string outDir;            // several inputs, each mastered into this folder
    std::string format;            // container for --out-dir: wav, aiff, flac; empty: as the input
    int jobs = 0;                  // parallel workers; 0: one per core
    bool album = false;            // one set of settings for all inputs
    PresetFileOptions presetFiles; // --preset-file, --bank-file, --save-preset, --save-bank
    std::vector<std::pair<std::string, std::string>> tags; // --tag NAME=VALUE, in order
    std::string reportPath;                                // --report: the JSON report's file, "-" for standard output
};

// The default output of --demo, and the program it masters with unless
// --program says otherwise.
extern const char* const kDemoDefaultOutput;
extern const char* const kDemoDefaultProgram;

// Parses argv[1..]. On a malformed command line returns false and sets error
// to a message naming the offending argument.
bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& options, std::string& error);

// Checks the positional arguments against the mode (render, demo, bench,
// listing). Returns false with a message when they do not fit.
bool checkPositionalArguments(const RenderOptions& options, std::string& error);

// Applies --target to the loudness and true-peak fields the command line
// left open. Returns false with a message for an unknown target name.
bool resolveDeliveryTarget(RenderOptions& options, std::string& error);

// True when the renderer searches settings for a loudness or true-peak target.
bool searchesTarget(const RenderOptions& options);

// The full --help text, generated from the option table.
std::string renderHelpText();
