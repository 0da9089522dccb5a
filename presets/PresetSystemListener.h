// What the preset bar of an open editor wants to hear from the effect's
// preset system: a new program name, and the programs changed by a file.
#pragma once

class PresetSystemListener
{
public:
    virtual ~PresetSystemListener() {}
    // The selected program was renamed (host rename, memory recall, preset load).
    virtual void presetNameChanged(const char* name) = 0;
    // Every program name may have changed (bank load); the selection is index.
    virtual void programsChanged(int selectedIndex) { (void)selectedIndex; }
};
