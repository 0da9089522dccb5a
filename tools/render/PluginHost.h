// The renderer's VST 2.4 host: loads the plug-in library, creates one
// instance through VSTPluginMain and drives it only through the AEffect
// record, as any host would.
#pragma once

#include <string>

#include "host/VstInterface.h"

class PluginHost
{
public:
    PluginHost() = default;
    ~PluginHost();
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads the library and creates the instance. `monoInput` makes the host
    // answer the right input and output pins as unconnected, which is how a
    // mono track is offered to a stereo effect.
    bool load(const std::string& libraryPath, bool monoInput, std::string& error);

    int numParams() const { return effect->numParams; }
    bool canProcessDouble() const { return (effect->flags & effFlagsCanDoubleReplacing) != 0; }
    std::string effectName();

    std::string parameterName(int index);
    std::string parameterDisplay(int index);
    std::string parameterLabel(int index);
    float getParameter(int index);
    void setParameter(int index, float value);
    // The index of the parameter with this name (case-insensitive), -1 if none.
    int findParameter(const std::string& name);

    // Sets a whole program as a host restores one: every value through
    // setParameter in index order (the last index, the layout marker, last),
    // then the name through effSetProgramName.
    void applyProgram(const std::string& name, const float* values, int count);
    std::string programName();

    void setSampleRate(float rate);
    void setBlockSize(int frames);
    int latency() const { return effect->initialDelay; }

    // Clears the processing state so that the first block starts from the
    // settings now in force, then switches processing on.
    void startProcessing();
    void stopProcessing();

    void process(float** inputs, float** outputs, int frames);
    void process(double** inputs, double** outputs, int frames);

private:
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                              void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr);
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
    std::string text(VstInt32 opcode, VstInt32 index);

    void* library = nullptr;
    AEffect* effect = nullptr;
    bool mono = false;
    bool processing = false;
    float sampleRate = 44100.0f;
    int blockSize = 512;
};
