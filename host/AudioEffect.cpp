#include "host/AudioEffect.h"

#include <cstring>

#include "host/AEffEditor.h"
#include "effect/NumberText.h"

namespace
{
AudioEffect* effectOf(AEffect* e) { return e ? static_cast<AudioEffect*>(e->object) : nullptr; }

VstIntPtr VSTCALLBACK dispatchEffect(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = effectOf(e);
    if (!effect)
        return 0;
    if (opcode == effClose)
    {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VSTCALLBACK processAccumulating(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->process(inputs, outputs, frames);
}

void VSTCALLBACK processReplacingForwarder(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processReplacing(inputs, outputs, frames);
}

void VSTCALLBACK processDoubleForwarder(AEffect* e, double** inputs, double** outputs, VstInt32 frames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processDoubleReplacing(inputs, outputs, frames);
}

void VSTCALLBACK setParameterForwarder(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = effectOf(e))
        effect->setParameter(index, value);
}

float VSTCALLBACK getParameterForwarder(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}
} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster),
      numPrograms(numPrograms),
      numParams(numParams)
{
    // The record is complete before anything can call the host: hosts may
    // call back into the dispatcher while the effect is still being built.
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processAccumulating;
    cEffect.setParameter = setParameterForwarder;
    cEffect.getParameter = getParameterForwarder;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = vstFourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingForwarder;
    cEffect.processDoubleReplacing = processDoubleForwarder;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms)
            setProgram((VstInt32)value);
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (ptr)
            setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr)
            getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr)
            getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr)
            getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr)
            getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize((VstInt32)value); return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        if (editor && ptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        // The editor lives inside the host's window; without one there is nowhere to open it.
        return editor && ptr && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify: return kEffectIdentify;
    case effGetChunk: return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk: return ptr ? setChunk(ptr, (VstInt32)value, index != 0) : 0;
    default: return 0;
    }
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion()
{
    if (!audioMaster)
        return 1;
    VstInt32 version = (VstInt32)callHost(audioMasterVersion);
    return version == 0 ? 1 : version;
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

bool AudioEffect::isInputConnected(VstInt32 input) { return callHost(audioMasterPinConnected, input, 0) == 0; }

bool AudioEffect::isOutputConnected(VstInt32 output) { return callHost(audioMasterPinConnected, output, 1) == 0; }

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    if (editor)
        cEffect.flags |= effFlagsHasEditor;
    else
        cEffect.flags &= ~effFlagsHasEditor;
}

void AudioEffect::canProcessReplacing(bool state)
{
    if (state)
        cEffect.flags |= effFlagsCanReplacing;
    else
        cEffect.flags &= ~effFlagsCanReplacing;
}

void AudioEffect::canDoubleReplacing(bool state)
{
    if (state)
        cEffect.flags |= effFlagsCanDoubleReplacing;
    else
        cEffect.flags &= ~effFlagsCanDoubleReplacing;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) { dbText(value, text, maxLen); }

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) { numberText(value, text, maxLen); }

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) { integerText(value, text, maxLen); }
