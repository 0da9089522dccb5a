// The plug-in as a VST 2.4 host sees it: the AEffect record, the opcodes and
// the host callback around the format-neutral effect core it owns. It turns
// the host's calls into the core's and the core's reports (automation, edit
// gestures, latency, display refreshes, parameter changes for the editor)
// into host callbacks, and creates the editor, which talks to the core.
#pragma once

#include "effect/EffectHost.h"
#include "effect/Plugin.h"
#include "host/AudioEffectX.h"

#include <memory>

class Editor;

class VstEffect : public AudioEffectX, private EffectHost
{
public:
    explicit VstEffect(audioMasterCallback audioMaster);
    ~VstEffect() override;

    Plugin& getCore() { return core; }
    // The editor itself, behind the VST 2.4 editor the host talks to.
    Editor* getEditorView() const { return view.get(); }

    // Any host thread (scanners call from several), and the editor's thread
    // through the core's automated changes; the audio thread for automation.
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // Any host thread.
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* text) override;

    // Any host thread; waits for a running block.
    void setSampleRate(float newRate) override;
    // Any host thread, the audio thread among them.
    void suspend() override;
    void resume() override {}

    // The audio thread.
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames) override;

    // Any host thread. Hosts see one program, which always carries the name of
    // the program selected in the editor's preset bar; the 24 programs stay
    // the effect's own.
    VstInt32 getProgram() override { return 0; }
    void setProgram(VstInt32) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // Any host thread.
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstPlugCategory getPlugCategory() override { return kPlugCategMastering; }

private:
    // The core's reports, on the thread of the call that caused them.
    void automate(int index, float value) override;
    void editBegins(int index) override;
    void editEnds(int index) override;
    void parameterChanged(int index, float value) override;
    void latencyChanged(int samples) override;
    void displayChanged() override;
    bool inputConnected(int channel) override;
    bool outputConnected(int channel) override;

    // Set up the record before the core exists: hosts call back into the
    // dispatcher while the core builds itself.
    EffectHost* describeRecord();

    Plugin core;
    std::unique_ptr<Editor> view;
};
