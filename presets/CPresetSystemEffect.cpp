#include "presets/CPresetSystemEffect.h"

#include <cstring>

#include "effect/EffectHost.h"
#include "presets/FactoryPresets.h"
#include "presets/PresetFileFormat.h"
#include "presets/PresetFileOperations.h"
#include "presets/PresetChangesFromEffect.h"

static_assert(kProgramCount == kFactoryPresetCount && kProgramCount == presetfile::kBankProgramCount,
              "every program has a factory row and a record in a bank file");

CPresetSystemEffect::CPresetSystemEffect(EffectHost* host) : host(host)
{
    programs = new CProgram[kProgramCount];
    loadFactoryPresets();
}

CPresetSystemEffect::~CPresetSystemEffect()
{
    delete[] programs;
    programs = nullptr;
}

CProgram* CPresetSystemEffect::getProgramRecord(int index)
{
    if (!programs || index < 0 || index >= kProgramCount)
        return nullptr;
    return &programs[index];
}

void CPresetSystemEffect::setParameter(int index, float value)
{
    if (!programs || (unsigned)index >= (unsigned)kProgramParameterCount || applyingPreset)
        return;
    programs[currentPreset].setParameter(index, value);
    programs[0].setParameter(index, value);
}

void CPresetSystemEffect::getProgramName(char* name)
{
    if (programs)
        programs[0].getName(name);
    else
        *name = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(int, int index, char* text)
{
    if (!programs || index != 0)
        return false;
    programs[0].getName(text);
    return true;
}

void CPresetSystemEffect::setPresetName(const char* name)
{
    if (!programs || !name)
        return;
    char cut[kProgramNameLength + 1] = {0};
    std::strncpy(cut, name, kProgramNameLength);
    programs[currentPreset].setName(cut);
    programs[0].setName(cut);
    if (listener)
        listener->presetNameChanged(cut);
}

void CPresetSystemEffect::renamePreset(const char* name)
{
    // No text is no new name; it must not blank the program.
    if (!programs || !name)
        return;
    programs[currentPreset].setName(name);
    programs[0].setName(name);
    updateDisplay();
}

void CPresetSystemEffect::selectPreset(int index)
{
    // Callers pass 0..23; anything else would address memory that is not a program.
    if (!programs || index < 0 || index >= kProgramCount)
        return;
    applyingPreset = true;
    currentPreset = index;
    CProgram& selected = programs[index];
    for (int i = 0; i < kProgramParameterCount; ++i)
    {
        setParameterNotified(i, selected.getParameter(i));
        programs[0].setParameter(i, selected.getParameter(i));
    }
    char name[kProgramNameLength + 1];
    selected.getName(name);
    programs[0].setName(name);
    applyingPreset = false;
    updateDisplay();
    if (listener)
        listener->presetSelected(index);
}

void CPresetSystemEffect::setParameterNotified(int index, float value)
{
    setParameter(index, value);
    if (host)
    {
        // Hosts may set parameters from inside these notifications (scanners
        // do, even during construction). Those are the host's own changes:
        // they are mirrored into the programs like any other, or program 0
        // would no longer hold the live values once the selection ends.
        const bool applying = applyingPreset;
        applyingPreset = false;
        host->editBegins(index);
        host->automate(index, getParameter(index));
        host->automate(index, value);
        host->editEnds(index);
        applyingPreset = applying;
    }
}

void CPresetSystemEffect::loadFactoryPresets()
{
    if (!programs)
        return;
    for (int i = 0; i < kProgramCount; ++i)
    {
        programs[i].setName(kFactoryPresets[i].name);
        for (int j = 0; j < kProgramParameterCount; ++j)
            programs[i].setParameter(j, (float)kFactoryPresets[i].values[j]);
    }
}

void CPresetSystemEffect::getPresetName(int index, char* name)
{
    if (!name)
        return;
    if (CProgram* program = getProgramRecord(index))
        program->getName(name);
    else
        *name = 0;
}

void CPresetSystemEffect::setParameterAutomated(int index, float value)
{
    setParameter(index, value);
    if (host)
        host->automate(index, value);
}

void CPresetSystemEffect::beginEdit(int index)
{
    if (host)
        host->editBegins(index);
}

void CPresetSystemEffect::endEdit(int index)
{
    if (host)
        host->editEnds(index);
}

void CPresetSystemEffect::updateDisplay()
{
    if (host)
        host->displayChanged();
}

void CPresetSystemEffect::loadBankFile(const char* path, FileErrorReporter& reporter)
{
    presetfile::loadBank(*this, path, reporter);
}

void CPresetSystemEffect::saveBankFile(const char* path, FileErrorReporter& reporter)
{
    presetfile::saveBank(*this, path, reporter);
}

void CPresetSystemEffect::loadPresetFile(const char* path, FileErrorReporter& reporter)
{
    presetfile::loadPreset(*this, path, reporter);
}

void CPresetSystemEffect::savePresetFile(const char* path, FileErrorReporter& reporter)
{
    presetfile::savePreset(*this, path, reporter);
}
