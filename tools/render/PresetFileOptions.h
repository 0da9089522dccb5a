// Preset (.qdx) and bank (.qdb) files on the renderer's command line.
// --bank-file and --preset-file load settings before processing, read and
// checked by the plug-in's own reader, with its messages; --save-preset and
// --save-bank write the settings in effect in the plug-in's own layout.
//
// The renderer reaches the plug-in only through its entry point, so it keeps
// the 24 programs as the plug-in would hold them after the same steps in its
// preset bar (the factory set or the loaded bank; a preset lands in the
// selected program) and applies the selected one as a host restores a
// program: 26 setParameter calls, the layout marker last, then the name.
#pragma once

#include <string>

#include "presets/PresetFileFormat.h"

class PluginHost;
struct RenderOptions;

struct PresetFileOptions
{
    std::string presetFile;     // --preset-file
    std::string bankFile;       // --bank-file
    std::string savePresetFile; // --save-preset
    std::string saveBankFile;   // --save-bank

    bool loads() const { return !presetFile.empty() || !bankFile.empty(); }
    bool saves() const { return !savePresetFile.empty() || !saveBankFile.empty(); }

    // Filled by loadPresetFiles: the programs and the selected one (-1: none
    // chosen, the plug-in keeps its start-up program).
    presetfile::ProgramData programs[presetfile::kBankProgramCount];
    int selected = -1;
};

// Option handlers for the renderer's option table.
bool setPresetFileOption(RenderOptions& options, const std::string& argument, std::string& error);
bool setBankFileOption(RenderOptions& options, const std::string& argument, std::string& error);
bool setSavePresetOption(RenderOptions& options, const std::string& argument, std::string& error);
bool setSaveBankOption(RenderOptions& options, const std::string& argument, std::string& error);

// Reads and checks --bank-file, then resolves --program (a number 0 to 23, or
// a name among the bank's programs or the factory set), then reads
// --preset-file into the selected program. Prints its messages and returns
// the exit status: 0 on success, 1 for a file that cannot be read or is
// rejected, 2 for a program that does not exist.
int loadPresetFiles(RenderOptions& options);

// Applies the program the files selected; nothing without --bank-file or --preset-file.
void applyPresetFiles(PluginHost& host, const RenderOptions& options);

// Writes --save-preset and --save-bank from the settings in effect. Prints a
// message and returns false when a file cannot be written.
bool savePresetFiles(PluginHost& host, const RenderOptions& options);
