#include "host/VstEffect.h"

#include "editor/Editor.h"
#include "effect/NumberText.h"
#include "effect/ParameterTable.h"
#include "host/AEffGUIEditor.h"

VstEffect::VstEffect(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 1, kNumParams),
      core(describeRecord()),
      view(std::make_unique<Editor>(core))
{
    // The host's editor opcodes reach the editor, which talks to the core;
    // it registers itself as this effect's editor.
    new AEffGUIEditor(this, *view);
}

VstEffect::~VstEffect()
{
    // The editor reads the core; it goes first, its binding before it.
    delete editor;
    setEditor(nullptr);
    view.reset();
}

EffectHost* VstEffect::describeRecord()
{
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(vstFourCharCode('Q', 'D', 'z', 'v'));
    canProcessReplacing(true);
    canDoubleReplacing(true);
    return this;
}

void VstEffect::setParameter(VstInt32 index, float value) { core.setParameter(index, value); }

float VstEffect::getParameter(VstInt32 index) { return core.getParameter(index); }

void VstEffect::getParameterName(VstInt32 index, char* text) { core.getParameterName(index, text); }

void VstEffect::getParameterDisplay(VstInt32 index, char* text) { core.getParameterDisplay(index, text); }

void VstEffect::getParameterLabel(VstInt32 index, char* text) { core.getParameterLabel(index, text); }

void VstEffect::setSampleRate(float newRate)
{
    // The rate is kept by the core, under its processing lock; the base
    // class's unguarded copy would be written by concurrent host threads.
    core.setSampleRate(newRate);
}

void VstEffect::suspend() { core.suspend(); }

void VstEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    core.processReplacing(inputs, outputs, sampleFrames);
}

void VstEffect::processDoubleReplacing(double** inputs, double** outputs, VstInt32 sampleFrames)
{
    core.processDoubleReplacing(inputs, outputs, sampleFrames);
}

void VstEffect::setProgramName(char* name) { core.setPresetName(name); }

void VstEffect::getProgramName(char* name) { core.getProgramName(name); }

bool VstEffect::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text)
{
    return core.getProgramNameIndexed(category, index, text);
}

bool VstEffect::getEffectName(char* name)
{
    copyText(name, "QDX Zelvo", kVstMaxEffectNameLen);
    return true;
}

bool VstEffect::getVendorString(char* text)
{
    copyText(text, "korvane.com", kVstMaxVendorStrLen);
    return true;
}

bool VstEffect::getProductString(char* text)
{
    copyText(text, "Full band precision limiter", kVstMaxProductStrLen);
    return true;
}

void VstEffect::automate(int index, float value) { callHost(audioMasterAutomate, index, 0, nullptr, value); }

void VstEffect::editBegins(int index) { AudioEffectX::beginEdit(index); }

void VstEffect::editEnds(int index) { AudioEffectX::endEdit(index); }

void VstEffect::parameterChanged(int index, float value)
{
    if (editor)
        editor->setParameter(index, value);
}

void VstEffect::latencyChanged(int samples) { setInitialDelay(samples); }

void VstEffect::displayChanged() { updateDisplay(); }

bool VstEffect::inputConnected(int channel) { return isInputConnected(channel); }

bool VstEffect::outputConnected(int channel) { return isOutputConnected(channel); }
