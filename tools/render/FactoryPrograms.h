// The plug-in's factory programs as the renderer offers them: looked up by
// name or number, applied through the host like any stored program.
#pragma once

#include <string>

#include "presets/FactoryPresets.h"

class PluginHost;

constexpr int kFactoryProgramCount = (int)(sizeof kFactoryPresets / sizeof kFactoryPresets[0]);
constexpr int kProgramValueCount = (int)(sizeof kFactoryPresets[0].values / sizeof kFactoryPresets[0].values[0]);

// The program named `nameOrNumber` (case-insensitive) or numbered so
// (0 to 23); -1 when there is none.
int findFactoryProgram(const std::string& nameOrNumber);

// Applies factory program `index` to the instance: its 26 values and name.
void applyFactoryProgram(PluginHost& host, int index);
