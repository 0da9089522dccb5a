// The effect base object: owns the AEffect record handed to the host, the
// host callback and the attached editor, and turns the basic opcodes into
// virtual operations.
#pragma once

#include "host/VstInterface.h"

class AEffEditor;

class AudioEffect
{
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();

    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}

    virtual void setSampleRate(float newRate) { sampleRate = newRate; }
    virtual void setBlockSize(VstInt32 newSize) { blockSize = newSize; }
    float getSampleRate() const { return sampleRate; }
    VstInt32 getBlockSize() const { return blockSize; }

    virtual void process(float**, float**, VstInt32) {}
    virtual void processReplacing(float**, float**, VstInt32) {}
    virtual void processDoubleReplacing(double**, double**, VstInt32) {}

    virtual void setParameter(VstInt32, float) {}
    virtual float getParameter(VstInt32) { return 0.0f; }
    // Runs setParameter, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(VstInt32 index, float value);

    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgram(VstInt32 program) { curProgram = program; }
    virtual void setProgramName(char*) {}
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(VstInt32, char*) {}
    virtual void getParameterDisplay(VstInt32, char*) {}
    virtual void getParameterName(VstInt32, char*) {}
    virtual VstInt32 getChunk(void**, bool) { return 0; }
    virtual VstInt32 setChunk(void*, VstInt32, bool) { return 0; }

    // Host-callback operations; each answers a neutral result without a host.
    virtual VstInt32 getMasterVersion();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    AEffect* getAeffect() { return &cEffect; }
    audioMasterCallback getAudioMaster() const { return audioMaster; }
    // Attaching sets effFlagsHasEditor, detaching (null) clears it.
    virtual void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() { return editor; }

    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
    void canProcessReplacing(bool state);
    void canDoubleReplacing(bool state);

    // Display texts: see effect/NumberText.h for the exact rules.
    void dB2string(float value, char* text, VstInt32 maxLen);
    void float2string(float value, char* text, VstInt32 maxLen);
    void int2string(VstInt32 value, char* text, VstInt32 maxLen);

protected:
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;
};
