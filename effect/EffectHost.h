// What the effect core needs from the plug-in format around it. The core
// knows no format: a VST2 or LV2 adapter implements this and turns each call
// into its format's own. Every call may come from any thread the core itself
// was called on (a host thread, the editor's thread, or, for the connection
// queries, the audio thread); an adapter forwards and never blocks.
#pragma once

class EffectHost
{
public:
    virtual ~EffectHost() {}

    // The effect changed a parameter of its own accord (a program selected,
    // a memory recalled, an edit in its editor): the host records the value
    // as automation.
    virtual void automate(int index, float value) = 0;
    // A user's gesture on one parameter begins and ends: the host groups the
    // automation between the two.
    virtual void editBegins(int index) = 0;
    virtual void editEnds(int index) = 0;

    // A parameter has a new value, whatever its source (the host included):
    // the format's editor, if one is attached, shows it.
    virtual void parameterChanged(int index, float value) = 0;
    // The processing delay in samples changed (or is first known).
    virtual void latencyChanged(int samples) = 0;
    // Program names or many values changed at once: the host reads its
    // lists and texts again.
    virtual void displayChanged() = 0;

    // Whether the host feeds the input (reads the output) of this channel.
    // Asked from the audio thread on every block; an unconnected right
    // channel makes the effect run on the left one alone.
    virtual bool inputConnected(int channel)
    {
        (void)channel;
        return true;
    }
    virtual bool outputConnected(int channel)
    {
        (void)channel;
        return true;
    }
};
