// The older parameter layout: index 25 below 0.01 marks values written
// before the layout gained the Quantize, Autoblack, MeterType and metering
// switches. Such values are converted once, wherever they enter: a host's
// parameter restore, a preset or bank file.
#pragma once

#include "effect/ParameterTable.h"

constexpr float kCurrentLayoutMark = 0.015f; // what index 25 holds for the current layout

bool isLegacyLayoutMark(float marker);

// Rewrites the values of the older layout in place (Bits had four steps with
// 0 = requantizer off; Scale had four with 0 = peak metering) and marks them
// as current. The others stay as they are.
void convertLegacyLayout(float (&values)[kNumParams]);

// The indices the conversion rewrites, in the order they are applied, the
// marker not included.
constexpr ParamId kLegacyConvertedParameters[] = {kAutoblack, kQuantize,  kBits,      kAttShow,
                                                  kAttZoom,   kPostMeter, kMeterType, kScale};
