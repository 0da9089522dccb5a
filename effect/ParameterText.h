// What a host shows for a parameter: its name, its value as text and its
// unit label, all read from the parameter's row; and the way back, from a
// text in the parameter's own unit to its normalised value, for everything
// that takes values from people (the renderer's options, the hosts' text
// entry of the plug-in formats).
#pragma once

#include <cstdint>
#include <string>

#include "effect/ParameterTable.h"

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

// The display text of a normalised value, as parameterDisplayText writes it
// for the step the value gives: "9.030899" for Drive at 0.6875, "type C",
// "12L". Empty outside the rows and for rows without a display.
std::string parameterValueText(int32_t index, float value);

enum class ParameterTextError
{
    none,
    unknownParameter, // no row at the index
    noValue,          // the row holds nothing to set
    notANumber,       // no number where the row takes one
    unknownUnit,      // a number with a unit that is not the row's
    outOfRange,       // a number outside the row's range
    unknownStep,      // a text that names none of the row's steps
};

struct ParameterTextValue
{
    ParameterTextError error = ParameterTextError::none;
    float value = 0.0f;  // the normalised value, when there is no error
    std::string message; // otherwise what is wrong and what the row takes
    bool ok() const { return error == ParameterTextError::none; }
};

// Reads a value in the parameter's own unit: a number with or without the
// unit's symbol ("+3dB", "+3", "150ms", "50%"; "off" for the leveller), a
// step's text in any letter case ("type C", "16", "on"), AttShow's marks
// ("12L", "none"). What parameterValueText writes reads back as a value that
// writes the same text again. Numbers within 1/10000 of the range beyond its
// ends are taken as the ends (a text rounded outward); further out, or in
// another unit, the text is refused with a message that names the range in
// the unit. Never throws; any thread but the audio thread (it allocates).
ParameterTextValue parameterValueFromText(int32_t index, const std::string& text);

// What a row takes, as the messages say it: "-24.08dB to +24.08dB",
// "1ms to 1000ms", "0% to 100%", "hard, med or soft", "any of 1, 2 and L,
// or none". Empty for rows that hold nothing to set.
std::string parameterRangeText(int32_t index);

// The symbol a value in the unit is written with ("dB", "ms", "%"); "" for none.
const char* parameterUnitSymbol(ParameterUnit unit);

// The row of a parameter's name or symbol, in any letter case; -1 if none.
int32_t parameterIndexOf(const std::string& nameOrSymbol);
