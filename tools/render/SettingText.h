// A --set value as people write it: in the parameter's own unit ("+3dB",
// "150ms", "50%"), as a step's text ("type C", "16"), or as the normalised
// number 0..1 that scripts have always passed. The conversion itself is the
// plug-in's (effect/ParameterText.h), so the renderer reads exactly what the
// editor and the hosts' text entry read.
#pragma once

#include <string>

struct ParameterSetting;

// Reads VALUE for the parameter NAME (name or symbol, any letter case).
// A step's text wins over a number (AttShow's mark "1"); then a bare number
// from 0 to 1 is the normalised value; a bare number outside 0..1 on a row
// with a unit is refused, because "Drive=3" could mean 3 dB or a mistyped
// normalised value, and the two differ by 20 dB. False with a message that
// names the range otherwise. A name the table does not know is left to the
// plug-in (its own names decide) when the value is normalised.
bool readSetting(const std::string& name, const std::string& value, ParameterSetting& setting, std::string& error);

// The text of a normalised value that --set reads back as the same value:
// the display text with the unit's symbol ("9.030899dB", "100.0000%"),
// or the step's text. Empty for rows that hold nothing to set.
std::string settingText(int index, float value);
