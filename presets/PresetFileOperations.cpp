#include "presets/PresetFileOperations.h"

#include "effect/LegacyLayout.h"
#include "presets/CPresetSystemEffect.h"
#include "presets/FileErrorReporter.h"
#include "presets/PresetFileAccess.h"
#include "presets/PresetChangesFromEffect.h"

namespace presetfile
{

namespace
{
bool hasPrograms(CPresetSystemEffect& effect) { return effect.getProgramRecord(0) != nullptr; }

FileResult reject(FileCheck check, FileErrorReporter& reporter)
{
    reporter.report(kMessageCaption, messageFor(check));
    return FileResult::rejected;
}

static_assert(kNumParams == kValueCount, "a program holds every parameter");

// A program of the older layout is converted as it enters the program list,
// so that it is stored converted: selecting it again, or a host echoing its
// values, finds the current layout and converts nothing a second time.
void storeLoadedProgram(const ProgramData& data, CProgram& program)
{
    storeProgram(data, program);
    if (!isLegacyLayoutMark(program.getParameter(kLayoutMarker)))
        return;
    float values[kNumParams];
    for (int j = 0; j < kNumParams; ++j)
        values[j] = program.getParameter(j);
    convertLegacyLayout(values);
    for (int j = 0; j < kNumParams; ++j)
        program.setParameter(j, values[j]);
}

FileResult save(const std::vector<unsigned char>& bytes, const char* path, FileErrorReporter& reporter,
                FileByteWriter* writer)
{
    if (writeFileReplacing(path, bytes, nullptr, writer))
        return FileResult::done;
    reporter.report(kMessageCaption, kSaveFailedMessage);
    return FileResult::notSaved;
}
} // namespace

ProgramData programData(const CProgram& program)
{
    ProgramData data;
    program.getName(data.name);
    for (int j = 0; j < kValueCount; ++j)
        data.values[j] = program.getParameter(j);
    return data;
}

// Through the program's own setters, so names are cut and values clamped to [0, 1].
void storeProgram(const ProgramData& data, CProgram& program)
{
    program.setName(data.name);
    for (int j = 0; j < kValueCount; ++j)
        program.setParameter(j, data.values[j]);
}

std::vector<unsigned char> bankBytes(CPresetSystemEffect& effect)
{
    if (!hasPrograms(effect))
        return {};
    ProgramData programs[kBankProgramCount];
    for (int i = 0; i < kBankProgramCount; ++i)
        programs[i] = programData(*effect.getProgramRecord(i));
    return encodeBank(programs);
}

std::vector<unsigned char> presetBytes(CPresetSystemEffect& effect)
{
    CProgram* selected = effect.getProgramRecord(effect.getPresetIndex());
    if (!selected)
        return {};
    return encodePreset(programData(*selected));
}

FileResult saveBank(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter, FileByteWriter* writer)
{
    if (!hasPrograms(effect))
        return FileResult::cannotOpen;
    return save(bankBytes(effect), path, reporter, writer);
}

FileResult savePreset(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter,
                      FileByteWriter* writer)
{
    if (!effect.getProgramRecord(effect.getPresetIndex()))
        return FileResult::cannotOpen;
    return save(presetBytes(effect), path, reporter, writer);
}

FileResult loadBankBytes(CPresetSystemEffect& effect, const unsigned char* bytes, size_t size,
                         FileErrorReporter& reporter)
{
    if (!hasPrograms(effect))
        return FileResult::cannotOpen;
    ProgramData programs[kBankProgramCount];
    const FileCheck check = decodeBank(bytes, size, programs);
    if (check != FileCheck::accepted)
        return reject(check, reporter);
    for (int i = 0; i < kBankProgramCount; ++i)
        storeLoadedProgram(programs[i], *effect.getProgramRecord(i));
    if (PresetChangesFromEffect* listener = effect.getPresetSystemListener())
        listener->programsChanged(0);
    effect.selectPreset(0);
    return FileResult::done;
}

FileResult loadPresetBytes(CPresetSystemEffect& effect, const unsigned char* bytes, size_t size,
                           FileErrorReporter& reporter)
{
    // The program selected when the load began receives the file.
    const int index = effect.getPresetIndex();
    CProgram* target = effect.getProgramRecord(index);
    if (!target)
        return FileResult::cannotOpen;
    ProgramData program;
    const FileCheck check = decodePreset(bytes, size, program);
    if (check != FileCheck::accepted)
        return reject(check, reporter);
    storeLoadedProgram(program, *target);
    if (PresetChangesFromEffect* listener = effect.getPresetSystemListener())
        listener->presetNameChanged(target->name());
    effect.selectPreset(index);
    return FileResult::done;
}

FileResult loadBank(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter)
{
    std::vector<unsigned char> bytes;
    if (!hasPrograms(effect) || !readFileForUpdate(path, kBankFileSize, bytes))
        return FileResult::cannotOpen;
    return loadBankBytes(effect, bytes.data(), bytes.size(), reporter);
}

FileResult loadPreset(CPresetSystemEffect& effect, const char* path, FileErrorReporter& reporter)
{
    std::vector<unsigned char> bytes;
    if (!hasPrograms(effect) || !readFileForUpdate(path, kPresetFileSize, bytes))
        return FileResult::cannotOpen;
    return loadPresetBytes(effect, bytes.data(), bytes.size(), reporter);
}

} // namespace presetfile
