// The factory set: program 0 "Current" and the 23 presets.
#pragma once

struct FactoryPreset
{
    const char* name;
    double values[26];
};

constexpr int kFactoryPresetCount = 24;
extern const FactoryPreset kFactoryPresets[kFactoryPresetCount];
