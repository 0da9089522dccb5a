// The effect's own 24 programs: program 0 ("Current") is the working copy
// that always holds the live values; 1 to 23 are the factory presets. Every
// parameter change is mirrored into the selected program and program 0.
#pragma once

#include <atomic>

#include "host/AudioEffectX.h"
#include "presets/CProgram.h"

class PresetSystemListener;

constexpr int kProgramCount = 24;

class CPresetSystemEffect : public AudioEffectX
{
public:
    CPresetSystemEffect(audioMasterCallback audioMaster);
    ~CPresetSystemEffect() override;

    void setParameter(VstInt32 index, float value) override;
    VstInt32 getProgram() override { return 0; }
    void setProgram(VstInt32) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    virtual int getPresetIndex() { return currentPreset; }
    // Rename from the host side; the preset bar is told.
    virtual void setPresetName(const char* name);
    // Rename from the preset bar; the host is asked to refresh.
    virtual void renamePreset(const char* name);
    // Makes program index current and applies its 26 values, reporting each
    // to the host.
    virtual void selectPreset(int index);
    virtual void storeMemoA();
    virtual void storeMemoB();
    virtual void recallMemoA();
    virtual void recallMemoB();
    virtual void setParameterNotified(VstInt32 index, float value);
    virtual void loadFactoryPresets();

    CProgram* getProgramRecord(int index);
    void setPresetSystemListener(PresetSystemListener* newListener) { listener = newListener; }
    PresetSystemListener* getPresetSystemListener() { return listener; }

protected:
    void storeMemo(const char* keyPath);
    void recallMemo(const char* keyPath);

    CProgram* programs = nullptr;
    // Read by host threads while the editor's thread selects a program: as
    // atomic words a reader sees the old or the new value, never a torn one.
    std::atomic<int> currentPreset{0};
    std::atomic<bool> applyingPreset{false};
    PresetSystemListener* listener = nullptr;
};
