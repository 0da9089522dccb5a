// The LV2 face of the host parameters 0 to 22: one control input port per
// parameter, at the parameter's own index, in engineering values (dB, ms,
// per cent, step numbers), and the conversion between a port value and the
// parameter's normalised value both ways, through the parameter rows'
// curves. The audio ports and the latency output follow the controls.
#pragma once

#include <string>

#include "effect/ParameterTable.h"

namespace lv2port
{

constexpr int kControlCount = kTruePeakGuard + 1;

enum PortIndex
{
    kInputLeft = kControlCount,
    kInputRight,
    kOutputLeft,
    kOutputRight,
    kLatency,
    kPortCount
};

enum class Unit
{
    none,
    decibel,
    milliseconds,
    percent
};

// The port symbols. Hosts save port values by symbol in their sessions and
// presets: never change them.
extern const char* const kSymbols[kControlCount];

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
