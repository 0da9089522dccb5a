// The one listener of every control of the editor's panel and preset bar:
// value changes, plus the operations that some controls call directly (the
// file buttons, the previous/next switch, the metering-preference buttons,
// the mode selector and the meters).
#pragma once

#include "gui/ccontrollistener.h"

class CPresetSystemListener : public VSTGUI::CControlListener
{
public:
    // The preset bar's operations.
    virtual void loadBank() = 0;
    virtual void saveBank() = 0;
    virtual void loadPreset() = 0;
    virtual void savePreset() = 0;
    virtual void stepPreset(bool next) = 0;

    // The panel's operations.
    virtual void storeMeteringPreferences() = 0;
    virtual void automateMeterScale(int scale) = 0;
    virtual void automateMeterType(int type) = 0;
    virtual void resetMeters() = 0;
};
