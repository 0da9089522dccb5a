#include "lv2/PortTable.h"

#include <cmath>
#include <cstring>

#include "effect/ParameterText.h"

namespace lv2port
{

const char* const kSymbols[kControlCount] = {
    "output",   "drive",     "transient",  "release",     "trans_shape", "link",       "oversample", "detector_order",
    "power",    "scale",     "bits",       "noise_shape", "calibrate",   "leveller",   "meter_ovs",  "auto_out",
    "quantize", "autoblack", "meter_type", "att_zoom",    "att_show",    "post_meter", "tp_guard",
};

namespace
{
bool inRange(int index) { return index >= 0 && index < kControlCount; }

double clampUnit(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }

// Gains show in decibels on the ports, as in the host's parameter texts.
bool inDecibels(int index) { return kParameterTable[index].display == ParameterDisplay::decibels; }

double engineering(int index, double v)
{
    const double e = curveValue(kParameterTable[index].curve, v);
    return inDecibels(index) ? 20.0 * std::log10(e) : e;
}

double inverseEngineering(int index, double x)
{
    const double e = inDecibels(index) ? std::pow(10.0, x / 20.0) : x;
    return curveNormalised(kParameterTable[index].curve, e);
}
} // namespace

Unit unit(int index)
{
    if (!inRange(index))
        return Unit::none;
    const ParameterInfo& row = kParameterTable[index];
    if (row.curve == ParameterCurve::percent)
        return Unit::percent;
    if (row.label && std::strcmp(row.label, "dB") == 0)
        return Unit::decibel;
    if (row.label && std::strcmp(row.label, "ms") == 0)
        return Unit::milliseconds;
    return Unit::none;
}

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
    if (isStepped(index))
        return (float)stepIndex(normalised, kParameterTable[index].steps);
    if (normalised != normalised)
        return normalised;
    return (float)engineering(index, clampUnit(normalised));
}

float toNormalised(int index, float portValue)
{
    if (!inRange(index) || portValue != portValue)
        return portValue != portValue ? portValue : 0.0f;
    if (isStepped(index))
    {
        const int n = kParameterTable[index].steps;
        const float rounded = std::nearbyint(portValue < 0.0f ? 0.0f : (portValue > (float)n ? (float)n : portValue));
        int step = (int)rounded;
        step = step < 0 ? 0 : (step >= n ? n - 1 : step);
        return stepValue(step, n);
    }
    // The ends of the range are the ends of the parameter, exactly.
    if (portValue <= minimum(index))
        return 0.0f;
    if (portValue >= maximum(index))
        return 1.0f;
    const float estimate = (float)clampUnit(inverseEngineering(index, (double)portValue));
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
