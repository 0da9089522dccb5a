// Extended (VST 2.x) opcodes and host-callback operations on top of the base
// object. Adds no data.
#pragma once

#include "host/AudioEffect.h"

class AudioEffectX : public AudioEffect
{
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
    // A generic effect has no names of its own: the product's adapter answers.
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
    virtual VstInt32 canDo(char*) { return 0; }
    virtual bool getParameterProperties(VstInt32 index, VstParameterProperties* p);

    // Host-callback operations used by the preset system and the toolkit.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool canHostDo(char* text);
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual bool updateDisplay();
};
