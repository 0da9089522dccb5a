// The factory set: program 0 "Current" and the 23 presets.
#pragma once

#include "effect/ParameterTable.h"

struct FactoryPreset
{
    const char* name;
    double values[kNumParams];
};

constexpr int kFactoryPresetCount = 24;
extern const FactoryPreset kFactoryPresets[kFactoryPresetCount];
