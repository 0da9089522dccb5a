// The parameters as the newer plug-in formats (VST3, CLAP) show them: every
// row a user sets, the reserved and hidden rows kept inside the effect. A
// parameter's identifier is its row index, so automation a host saved keeps
// its meaning when rows are added. Values here are the effect's normalised
// values; each adapter maps them to its format's own range.
#pragma once

#include <cstdint>

#include "effect/ParameterTable.h"

namespace exposed
{

// Rows 0 to 22; the dummies and the layout marker are not shown.
constexpr int kCount = kTruePeakGuard + 1;

constexpr bool isExposed(int64_t row)
{
    return row >= 0 && row < kNumParams && !(kParameterTable[row].hints & kHintHidden);
}

// The steps of a stepped row, 0 for a continuous one (or a row not shown).
int steps(int64_t row);

// The text a VST 2.4 host's parameter display shows for the row at this
// value, without the unit label; "" where it shows nothing. text holds at
// least kTextBytes.
constexpr int kTextBytes = 16;
void displayText(int64_t row, float normalised, char* text);

// The unit label ("dB", "ms") or "".
const char* label(int64_t row);

// The normalised value a typed text stands for: a step's text, AttShow's
// marks ("1", "2L", "none"), or a number in the row's display unit with or
// without its label. Of the values near the result, one whose display text
// is the typed number is preferred, so that a displayed text reads back as
// the value that showed it. False, and value untouched, for anything else.
bool parseText(int64_t row, const char* text, float& value);

} // namespace exposed
