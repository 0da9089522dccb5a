#include "presets/CPresetSystemEffect.h"

#include <cstring>

#include "presets/FactoryPresets.h"
#include "presets/PresetFileFormat.h"
#include "presets/PresetSystemListener.h"

static_assert(kProgramCount == kFactoryPresetCount && kProgramCount == presetfile::kBankProgramCount,
              "every program has a factory row and a record in a bank file");

CPresetSystemEffect::CPresetSystemEffect(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kProgramParameterCount)
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

void CPresetSystemEffect::setParameter(VstInt32 index, float value)
{
    if (!programs || (unsigned)index >= (unsigned)kProgramParameterCount || applyingPreset)
        return;
    programs[currentPreset].setParameter(index, value);
    programs[0].setParameter(index, value);
}

void CPresetSystemEffect::setProgramName(char* name)
{
    setPresetName(name);
}

void CPresetSystemEffect::getProgramName(char* name)
{
    if (programs)
        programs[0].getName(name);
    else
        *name = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
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
}

void CPresetSystemEffect::setParameterNotified(VstInt32 index, float value)
{
    setParameter(index, value);
    if (audioMaster)
    {
        // Hosts may set parameters from inside these notifications (scanners
        // do, even during construction). Those are the host's own changes:
        // they are mirrored into the programs like any other, or program 0
        // would no longer hold the live values once the selection ends.
        const bool applying = applyingPreset;
        applyingPreset = false;
        beginEdit(index);
        callHost(audioMasterAutomate, index, 0, nullptr, getParameter(index));
        callHost(audioMasterAutomate, index, 0, nullptr, value);
        endEdit(index);
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
