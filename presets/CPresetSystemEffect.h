// The effect's own 24 programs: program 0 ("Current") is the working copy
// that always holds the live values; 1 to 23 are the factory presets. Every
// parameter change is mirrored into the selected program and program 0.
// Hosts see none of this directly: a format adapter shows them one program,
// named after the selected one, and the editor reaches the rest through its
// EditorConnection.
#pragma once

#include <atomic>

#include "effect/EditorConnection.h"
#include "presets/CProgram.h"

class EffectHost;
class PresetChangesFromEffect;

class CPresetSystemEffect : public EditorConnection
{
public:
    // host may be null: the effect then runs on its own and tells no one.
    explicit CPresetSystemEffect(EffectHost* host);
    ~CPresetSystemEffect() override;

    CPresetSystemEffect(const CPresetSystemEffect&) = delete;
    CPresetSystemEffect& operator=(const CPresetSystemEffect&) = delete;

    // Any host thread: mirrors the value into the selected program and
    // program 0 (outside 0..25 and while a program is being applied, nothing).
    virtual void setParameter(int index, float value);
    // The name of program 0, which is always the selected program's name;
    // name holds at least 25 bytes.
    void getProgramName(char* name);
    // Only index 0 has a name for hosts: false for any other.
    bool getProgramNameIndexed(int category, int index, char* text);

    int getPresetIndex() override { return currentPreset; }
    void getPresetName(int index, char* name) override;
    // Rename from the host side; the preset bar is told.
    virtual void setPresetName(const char* name);
    // Rename from the preset bar; the host is asked to refresh.
    void renamePreset(const char* name) override;
    // Makes program index current and applies its 26 values, reporting each
    // to the host.
    void selectPreset(int index) override;
    void storeMemoA() override;
    void storeMemoB() override;
    void recallMemoA() override;
    void recallMemoB() override;
    virtual void setParameterNotified(int index, float value);
    virtual void loadFactoryPresets();

    void setParameterAutomated(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;

    void loadBankFile(const char* path, FileErrorReporter& reporter) override;
    void saveBankFile(const char* path, FileErrorReporter& reporter) override;
    void loadPresetFile(const char* path, FileErrorReporter& reporter) override;
    void savePresetFile(const char* path, FileErrorReporter& reporter) override;

    CProgram* getProgramRecord(int index);
    void setPresetSystemListener(PresetChangesFromEffect* newListener) override { listener = newListener; }
    PresetChangesFromEffect* getPresetSystemListener() override { return listener; }
    EffectHost* getHost() const { return host; }

protected:
    void storeMemo(const char* keyPath);
    void recallMemo(const char* keyPath);
    void updateDisplay();

    EffectHost* const host;
    CProgram* programs = nullptr;
    // Read by host threads while the editor's thread selects a program: as
    // atomic words a reader sees the old or the new value, never a torn one.
    std::atomic<int> currentPreset{0};
    std::atomic<bool> applyingPreset{false};
    PresetChangesFromEffect* listener = nullptr;
};
