// What a host shows for a parameter: its name, its value as text and its
// unit label, all read from the parameter's row.
#pragma once

#include <cstdint>

// The longest name, "DetectorOrder", with its terminator.
constexpr int kParameterNameBytes = 14;
// Value texts: at most 12 characters and a terminator.
constexpr int kParameterDisplayChars = 12;

// Each writes nothing for an index outside 0..25, so a host that hands a
// stale buffer keeps what it held.
void parameterNameText(int32_t index, char* text);
// value is the normalised value as stored (unclamped), step its step index.
// Writes nothing for rows without a display or a step outside the texts.
void parameterDisplayText(int32_t index, float value, int32_t step, char* text);
void parameterLabelText(int32_t index, char* text);
