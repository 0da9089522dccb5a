// Command-line options of qdx-render. Every option is one row of a table
// (name, argument, help text, how it is stored), so a new option is one row
// and one field.
#pragma once

#include <string>
#include <vector>

#include "tools/render/PresetFileOptions.h"

enum class OutputBits
{
    followInput,
    pcm16,
    pcm24,
    float32,
};

// One --set NAME=VALUE: a parameter by its name and a normalised value.
struct ParameterSetting
{
    std::string name;
    float value = 0.0f;
};

struct RenderOptions
{
    std::vector<std::string> positional; // INPUT OUTPUT, or [OUTPUT] with --demo
    std::string pluginPath;              // empty: the plug-in beside the renderer
    std::string program;                 // factory program by name or number; empty: none
    std::vector<ParameterSetting> settings;
    OutputBits bits = OutputBits::followInput;
    int blockSize = 512;
    bool align = true;
    bool useDouble = false;
    bool demo = false;
    bool bench = false;
    bool listPrograms = false;
    bool listParams = false;
    bool help = false;
    PresetFileOptions presetFiles; // --preset-file, --bank-file, --save-preset, --save-bank
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

// The full --help text, generated from the option table.
std::string renderHelpText();
