// The plug-in's gain parameters (Drive, Output) in dB, converted through the
// curves of the parameter rows, so that the renderer's search and the
// plug-in cannot disagree on what a normalised value means.
#pragma once

#include "effect/ParameterTable.h"

// The gain in dB of a normalised value of a gain row.
double gainDbOf(ParamId parameter, double normalised);
// The normalised value that gives `db` (clamped to the row's range).
float normalisedOfGainDb(ParamId parameter, double db);
// The row's lowest and highest gain in dB.
double lowestGainDb(ParamId parameter);
double highestGainDb(ParamId parameter);
