// The four file operations of the preset bar, on the effect's programs:
// writing and reading a bank (all 24 programs) and a preset (the selected
// program). The editor runs them after its file dialog, with the path the
// user chose; messages about rejected files go to the reporter it gives, and
// the preset bar hears about changed names through the effect's
// PresetChangesFromEffect listener.
//
// A file is checked completely before any program is touched: a rejected
// file changes nothing.
#pragma once

#include <cstddef>
#include <vector>

#include "presets/PresetFileFormat.h"

class CPresetSystemEffect;
class CProgram;
class FileErrorReporter;

namespace presetfile
{

class FileByteWriter;

enum class FileResult
{
    done,
    cannotOpen, // missing, read-only, locked: nothing happens and nothing is shown
    rejected,   // the reporter has been given the message; nothing changed
    notSaved,   // the reporter has been given kSaveFailedMessage; the file on disk is as it was
};

// A save that cannot complete leaves any existing file unchanged and creates none.
FileResult saveBank(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter,
                    FileByteWriter* writer = nullptr);
FileResult savePreset(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter,
                      FileByteWriter* writer = nullptr);
// Replaces all 24 programs, tells the listener (programsChanged (0)) and
// selects program 0, which applies it and reports every parameter to the host.
FileResult loadBank(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter);
// Replaces the selected program, tells the listener (presetNameChanged) and
// selects that program again, so program 0 ends up equal to it.
FileResult loadPreset(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter);

// The same loads from bytes already in memory (fuzzing, tools).
FileResult loadBankBytes(CPresetSystemEffect& effect, const unsigned char* bytes, size_t size,
                         FileErrorReporter& reporter);
FileResult loadPresetBytes(CPresetSystemEffect& effect, const unsigned char* bytes, size_t size,
                           FileErrorReporter& reporter);

// The files the two saves write, as bytes.
std::vector<unsigned char> bankBytes(CPresetSystemEffect& effect);
std::vector<unsigned char> presetBytes(CPresetSystemEffect& effect);

ProgramData programData(const CProgram& program);
void storeProgram(const ProgramData& data, CProgram& program);

} // namespace presetfile
