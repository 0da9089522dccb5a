// The metering settings a user can make the default for new instances: six
// 32-bit step indices in the settings store, written in this order.
#pragma once

#include "effect/ParameterTable.h"

class EditorConnection;

namespace meteringpreferences
{

constexpr const char* kKeyPath = "SOFTWARE\\Korvane\\QDXzelvo\\PREFS";
constexpr const char* kErrorCaption = "Error...";
constexpr const char* kKeyError = "Could not create registry key for storing metering preferences!";
constexpr const char* kValueError = "Could not create registry value for storing metering preferences!";

struct Preference
{
    const char* name;
    int parameter;
    int states;
};
constexpr Preference preference(const char* name, ParamId index) { return {name, index, kParameterTable[index].steps}; }
constexpr Preference kPreferences[6] = {
    preference("Metering_Scale", kScale),    preference("Metering_Type", kMeterType),
    preference("Metering_Zoom", kAttZoom),   preference("Metering_AttShow", kAttShow),
    preference("Metering_Recon", kMeterOvs), preference("Metering_Post", kPostMeter),
};

// Writes the effect's six current settings; a failure is shown in a message
// box and reported as false.
bool store(EditorConnection& effect);

} // namespace meteringpreferences
