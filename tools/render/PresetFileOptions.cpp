#include "tools/render/PresetFileOptions.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "presets/FileErrorReporter.h"
#include "presets/PresetFileAccess.h"
#include "tools/render/FactoryPrograms.h"
#include "tools/render/Messages.h"
#include "tools/render/PluginHost.h"
#include "tools/render/RenderOptions.h"

using namespace presetfile;

namespace
{
void printError(const std::string& message) { fail(kExitFailure, message); }

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

// At most 24 characters, always terminated.
void copyName(char* name, const char* text)
{
    std::memset(name, 0, kNameLength + 1);
    for (int i = 0; i < kNameLength && text[i]; ++i)
        name[i] = text[i];
}

// As a program stores it: cut to 24 characters, values clamped to [0, 1].
void storeProgram(ProgramData& program, const ProgramData& loaded)
{
    copyName(program.name, loaded.name);
    for (int j = 0; j < kValueCount; ++j)
    {
        const float v = loaded.values[j];
        program.values[j] = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    }
}

void loadFactorySet(PresetFileOptions& files)
{
    for (int i = 0; i < kBankProgramCount; ++i)
    {
        ProgramData factory;
        copyName(factory.name, kFactoryPresets[i].name);
        for (int j = 0; j < kValueCount; ++j)
            factory.values[j] = (float)kFactoryPresets[i].values[j];
        storeProgram(files.programs[i], factory);
    }
}

// Returns the exit status; the messages are the plug-in's, after the file's path.
int readFile(const std::string& path, size_t layoutSize, std::vector<unsigned char>& bytes)
{
    if (!readFileForUpdate(path.c_str(), layoutSize, bytes))
    {
        printError(path + ": cannot be opened for reading and writing (missing, read-only or locked)");
        return kExitFailure;
    }
    return 0;
}

int reject(const std::string& path, FileCheck check)
{
    StderrFileErrorReporter reporter("qdx-render: error: " + path);
    reporter.report(kMessageCaption, messageFor(check));
    return kExitFailure;
}

// A number 0 to 23, or a program name (case-insensitive) among the programs held.
int findProgram(const PresetFileOptions& files, const std::string& wanted)
{
    if (!wanted.empty() && wanted.size() <= 3 && wanted.find_first_not_of("0123456789") == std::string::npos)
    {
        const int number = std::stoi(wanted);
        return number < kBankProgramCount ? number : -1;
    }
    for (int i = 0; i < kBankProgramCount; ++i)
        if (lowercase(files.programs[i].name) == lowercase(wanted))
            return i;
    return -1;
}

ProgramData settingsInEffect(PluginHost& host)
{
    ProgramData program;
    copyName(program.name, host.programName().c_str());
    for (int j = 0; j < kValueCount; ++j)
        program.values[j] = host.getParameter(j);
    return program;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::string reason;
    if (writeFileReplacing(path.c_str(), bytes, &reason))
        return true;
    printError(path + ": " + kSaveFailedMessage + " (" + reason + ")");
    return false;
}
} // namespace

bool setPresetFileOption(RenderOptions& options, const std::string& argument, std::string&)
{
    options.presetFiles.presetFile = argument;
    return true;
}

bool setBankFileOption(RenderOptions& options, const std::string& argument, std::string&)
{
    options.presetFiles.bankFile = argument;
    return true;
}

bool setSavePresetOption(RenderOptions& options, const std::string& argument, std::string&)
{
    options.presetFiles.savePresetFile = argument;
    return true;
}

bool setSaveBankOption(RenderOptions& options, const std::string& argument, std::string&)
{
    options.presetFiles.saveBankFile = argument;
    return true;
}

int loadPresetFiles(RenderOptions& options)
{
    PresetFileOptions& files = options.presetFiles;
    if (!files.loads() && !files.saves())
        return 0;
    loadFactorySet(files);
    files.selected = -1;

    std::vector<unsigned char> bytes;
    if (!files.bankFile.empty())
    {
        if (int status = readFile(files.bankFile, kBankFileSize, bytes))
            return status;
        ProgramData bank[kBankProgramCount];
        const FileCheck check = decodeBank(bytes.data(), bytes.size(), bank);
        if (check != FileCheck::accepted)
            return reject(files.bankFile, check);
        for (int i = 0; i < kBankProgramCount; ++i)
            storeProgram(files.programs[i], bank[i]);
        files.selected = 0; // a loaded bank selects its program 0
    }

    // The program the preset bar would select: --program, else the demo's
    // default when nothing else chooses one.
    std::string wanted = options.program;
    if (wanted.empty() && options.demo && !files.loads())
        wanted = kDemoDefaultProgram;
    if (!wanted.empty())
    {
        files.selected = findProgram(files, wanted);
        if (files.selected < 0)
        {
            printError("unknown program \"" + wanted + "\"" +
                       (files.bankFile.empty() ? " (see --list-programs)" : " in " + files.bankFile));
            return kExitUsage;
        }
    }

    if (!files.presetFile.empty())
    {
        if (int status = readFile(files.presetFile, kPresetFileSize, bytes))
            return status;
        ProgramData preset;
        const FileCheck check = decodePreset(bytes.data(), bytes.size(), preset);
        if (check != FileCheck::accepted)
            return reject(files.presetFile, check);
        if (files.selected < 0)
            files.selected = 0;
        storeProgram(files.programs[files.selected], preset);
    }
    return 0;
}

void applyPresetFiles(PluginHost& host, const RenderOptions& options)
{
    const PresetFileOptions& files = options.presetFiles;
    if (!files.loads() || files.selected < 0)
        return;
    const ProgramData& program = files.programs[files.selected];
    host.applyProgram(program.name, program.values, kValueCount);
}

bool savePresetFiles(PluginHost& host, const RenderOptions& options)
{
    const PresetFileOptions& files = options.presetFiles;
    if (!files.saves())
        return true;
    const ProgramData inEffect = settingsInEffect(host);
    if (!files.savePresetFile.empty() && !writeFile(files.savePresetFile, encodePreset(inEffect)))
        return false;
    if (!files.saveBankFile.empty())
    {
        // The working copy (program 0) and the selected program both hold
        // what is in effect, as in the plug-in after the same edits.
        ProgramData bank[kBankProgramCount];
        for (int i = 0; i < kBankProgramCount; ++i)
            bank[i] = files.programs[i];
        bank[0] = inEffect;
        if (files.selected > 0)
            bank[files.selected] = inEffect;
        if (!writeFile(files.saveBankFile, encodeBank(bank)))
            return false;
    }
    return true;
}
