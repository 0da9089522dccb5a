// Everything the editor asks of the effect, and nothing of any plug-in
// format. The effect core implements it directly; an editor running apart
// from the core (an LV2 UI in its own process) implements it by sending
// parameter changes and receiving parameter, meter and latency updates.
// Parameter changes that reach the editor from elsewhere arrive through the
// editor's own setParameter; the rest (meters, latency, program names) it
// reads from here on its idle tick.
//
// Called on the editor's thread unless a comment says otherwise.
#pragma once

class FileErrorReporter;
class PresetChangesFromEffect;

class EditorConnection
{
public:
    virtual ~EditorConnection() {}

    // Normalised values 0..1 by parameter index; 0 outside the parameters.
    virtual float getParameter(int index) = 0;
    // A user's edit in the editor: applied, then reported to the host as
    // automation. Between beginEdit and endEdit when it is part of a drag.
    virtual void setParameterAutomated(int index, float value) = 0;
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;

    // Ten linear values: input peak L/R, output peak L/R, input level L/R,
    // output level L/R, held gain reduction L/R. Restarts the peak holds.
    virtual void getMeterSnapshot(float* values) = 0;
    // The processing delay in samples at the current rate.
    virtual int getLatency() const = 0;

    // The programs: 24 of them, program 0 the live working copy.
    virtual int getPresetIndex() = 0;
    // Copies the name of program index with its terminator into name (at
    // least 25 bytes); an empty text outside the programs.
    virtual void getPresetName(int index, char* name) = 0;
    virtual void selectPreset(int index) = 0;
    // A rename typed into the editor's name field.
    virtual void renamePreset(const char* name) = 0;
    virtual void storeMemoA() = 0;
    virtual void storeMemoB() = 0;
    virtual void recallMemoA() = 0;
    virtual void recallMemoB() = 0;

    // The preset bar's file operations on a path the user chose; rejected
    // files and failed saves go to reporter, and nothing changes then.
    virtual void loadBankFile(const char* path, FileErrorReporter& reporter) = 0;
    virtual void saveBankFile(const char* path, FileErrorReporter& reporter) = 0;
    virtual void loadPresetFile(const char* path, FileErrorReporter& reporter) = 0;
    virtual void savePresetFile(const char* path, FileErrorReporter& reporter) = 0;

    // The preset bar listens for renames and bank loads, which may come from
    // any thread; null detaches it.
    virtual void setPresetSystemListener(PresetChangesFromEffect* listener) = 0;
    virtual PresetChangesFromEffect* getPresetSystemListener() = 0;
};
