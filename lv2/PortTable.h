// The LV2 face of the host-visible parameters: one control input port per
// parameter, at the parameter's own index, with the symbol of its row, in
// its row's unit (dB, ms, per cent, step numbers), and the conversion between
// a port value and the parameter's normalised value both ways. The audio
// ports and the latency output follow the controls.
#pragma once

#include <array>
#include <string>

#include "effect/ParameterTable.h"

namespace lv2port
{

constexpr int kControlCount = kHostVisibleCount;

enum PortIndex
{
    kInputLeft = kControlCount,
    kInputRight,
    kOutputLeft,
    kOutputRight,
    kLatency,
    kPortCount
};

using Unit = ParameterUnit;

constexpr std::array<const char*, kControlCount> symbolsOfRows()
{
    std::array<const char*, kControlCount> symbols{};
    for (int i = 0; i < kControlCount; ++i)
        symbols[i] = kParameterTable[i].symbol;
    return symbols;
}
// The port symbols, the rows' own. Hosts save port values by symbol in their
// sessions and presets.
inline constexpr std::array<const char*, kControlCount> kSymbols = symbolsOfRows();

Unit unit(int index);
// Release spans three decades: hosts show it on a logarithmic scale.
bool isLogarithmic(int index);
// Stepped parameters show as their step number, 0 to steps - 1.
bool isStepped(int index);
// Two steps "off" and "on": a switch.
bool isToggle(int index);

float minimum(int index);
float maximum(int index);

// The port value that shows a normalised value. A stepped parameter shows its
// step; a continuous one its engineering value (gains in dB), rounded to
// single precision.
float toPortValue(int index, float normalised);
// The normalised value of a port value: a step is taken at its centre, a
// continuous value through the inverse curve, clamped to 0..1. Of the
// normalised values next to the result, the one that shows as exactly this
// port value is chosen, so that a value the plug-in wrote comes back as the
// same normalised value wherever single precision allows. NaN stays NaN.
float toNormalised(int index, float portValue);

// The text of one step as the host's parameter display writes it; for
// AttShow, whose display is empty at step 0, "none".
std::string stepText(int index, int step);

} // namespace lv2port
