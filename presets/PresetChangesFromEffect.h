// From the effect to the editor: what the preset bar of an open editor
// wants to hear from the effect's preset system, a new program name, the
// programs changed by a file, and a program made current by any path. (The
// other way, from the controls up to the editor, goes through
// CPresetSystemListener.)
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
    // Program index has just been made current and applied, by whatever
    // path: the bar, a file, a host's preset menu, a restored session (which
    // may have renamed every program). Any thread.
    virtual void presetSelected(int index) { (void)index; }
};
