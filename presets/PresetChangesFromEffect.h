// From the effect to the editor: what the preset bar of an open editor
// wants to hear from the effect's preset system, a new program name and the
// programs changed by a file. (The other way, from the controls up to the
// editor, goes through CPresetSystemListener.)
#pragma once

class PresetChangesFromEffect
{
public:
    virtual ~PresetChangesFromEffect() {}
    // The selected program was renamed (host rename, memory recall, preset
    // load): show name in the name field, as menu entry 0 and as the menu
    // entry of the selected program.
    virtual void presetNameChanged(const char* name) = 0;
    // Every program name may have changed (bank load): take all 24 names into
    // the menu again, make selectedIndex the current entry and show its name.
    // The effect selects that program right after.
    virtual void programsChanged(int selectedIndex) { (void)selectedIndex; }
};
