#include "lv2/PortTable.h"

#include <cmath>

#include "effect/ParameterText.h"

namespace lv2port
{

namespace
{
bool inRange(int index) { return index >= 0 && index < kControlCount; }
} // namespace

Unit unit(int index) { return inRange(index) ? kParameterTable[index].unit : Unit::none; }

bool isLogarithmic(int index) { return inRange(index) && kParameterTable[index].curve == ParameterCurve::releaseMs; }

bool isStepped(int index) { return inRange(index) && kParameterTable[index].steps > 0; }

bool isToggle(int index) { return inRange(index) && (kParameterTable[index].hints & kHintToggle) != 0; }

float minimum(int index)
{
    if (!inRange(index))
        return 0.0f;
    return isStepped(index) ? 0.0f : toPortValue(index, 0.0f);
}

float maximum(int index)
{
    if (!inRange(index))
        return 0.0f;
    return isStepped(index) ? (float)(kParameterTable[index].steps - 1) : toPortValue(index, 1.0f);
}

float toPortValue(int index, float normalised)
{
    if (!inRange(index))
        return 0.0f;
    if (!isStepped(index) && normalised != normalised)
        return normalised;
    return (float)parameterUnitValue(index, normalised);
}

float toNormalised(int index, float portValue)
{
    if (!inRange(index) || portValue != portValue)
        return portValue != portValue ? portValue : 0.0f;
    if (isStepped(index))
        return (float)parameterNormalised(index, portValue);
    // The ends of the range are the ends of the parameter, exactly.
    if (portValue <= minimum(index))
        return 0.0f;
    if (portValue >= maximum(index))
        return 1.0f;
    const float estimate = (float)parameterNormalised(index, (double)portValue);
    // The curves lose digits one way or the other; a neighbour of the
    // estimate may be the value that shows as exactly this port value.
    const float candidates[] = {estimate, std::nextafter(estimate, 0.0f), std::nextafter(estimate, 1.0f)};
    for (float candidate : candidates)
        if (candidate >= 0.0f && candidate <= 1.0f && toPortValue(index, candidate) == portValue)
            return candidate;
    return estimate;
}

std::string stepText(int index, int step)
{
    if (!isStepped(index) || step < 0 || step >= kParameterTable[index].steps)
        return "";
    // The host's display text of the step's centre.
    char text[kParameterDisplayChars + 1] = {0};
    parameterDisplayText(index, stepValue(step, kParameterTable[index].steps), step, text);
    // A menu entry needs a word where the display is empty (AttShow 0).
    return text[0] ? text : "none";
}

} // namespace lv2port
