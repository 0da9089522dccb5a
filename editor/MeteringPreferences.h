// The metering settings a user can make the default for new instances: six
// 32-bit step indices in the settings store, written in this order.
#pragma once

class EditorConnection;

namespace meteringpreferences {

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
constexpr Preference kPreferences[6] = {
    {"Metering_Scale", 9, 3},   {"Metering_Type", 18, 2}, {"Metering_Zoom", 19, 2},
    {"Metering_AttShow", 20, 8}, {"Metering_Recon", 14, 2}, {"Metering_Post", 21, 2},
};

// Writes the effect's six current settings; a failure is shown in a message
// box and reported as false.
bool store(EditorConnection& effect);

} // namespace meteringpreferences
