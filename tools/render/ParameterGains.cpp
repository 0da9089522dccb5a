#include "tools/render/ParameterGains.h"

#include <cmath>

double gainDbOf(ParamId parameter, double normalised)
{
    return 20.0 * std::log10(curveValue(kParameterTable[parameter].curve, normalised));
}

float normalisedOfGainDb(ParamId parameter, double db)
{
    return (float)curveNormalised(kParameterTable[parameter].curve, std::pow(10.0, db / 20.0));
}

double lowestGainDb(ParamId parameter) { return gainDbOf(parameter, 0.0); }

double highestGainDb(ParamId parameter) { return gainDbOf(parameter, 1.0); }
