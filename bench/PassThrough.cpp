// The cheapest possible stereo VST 2.4 effect: it copies its inputs to its
// outputs. Timed in the same run as the limiters, it gives the cost of the
// host loop and the call itself, so that what remains is the plug-ins' own.
#include <cstring>

#include "host/VstInterface.h"

namespace
{
VstIntPtr VSTCALLBACK dispatcher(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == effClose)
        delete effect;
    return opcode == effGetVstVersion ? kVstVersion : 0;
}

void VSTCALLBACK copyThrough(AEffect*, float** inputs, float** outputs, VstInt32 frames)
{
    for (int channel = 0; channel < 2; ++channel)
        if (outputs[channel] != inputs[channel])
            std::memcpy(outputs[channel], inputs[channel], sizeof(float) * (size_t)frames);
}

void VSTCALLBACK setParameter(AEffect*, VstInt32, float) {}
float VSTCALLBACK getParameter(AEffect*, VstInt32) { return 0.0f; }
} // namespace

extern "C"
#if defined(_WIN32)
    __declspec(dllexport)
#else
    __attribute__((visibility("default")))
#endif
        AEffect* VSTPluginMain(audioMasterCallback)
{
    AEffect* effect = new AEffect();
    effect->magic = kEffectMagic;
    effect->dispatcher = dispatcher;
    effect->setParameter = setParameter;
    effect->getParameter = getParameter;
    effect->numPrograms = 1;
    effect->numInputs = 2;
    effect->numOutputs = 2;
    effect->flags = effFlagsCanReplacing;
    effect->processReplacing = copyThrough;
    effect->uniqueID = vstFourCharCode('Q', 'p', 't', 'h');
    effect->version = 1;
    return effect;
}
