// Keys between the window seam and the VST 2.4 interface: hosts hand the
// editor VST key codes, and the toolkit's views still take them.
#pragma once

#include "host/VstInterface.h"
#include "platform/Key.h"

// Keys without a VST key code arrive as their character alone; codes no key
// has arrive as KeyName::none.
VstKeyCode toVstKeyCode(const platform::Key& key);
platform::Key fromVstKeyCode(const VstKeyCode& code);
