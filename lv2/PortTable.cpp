#include "lv2/PortTable.h"

#include <cmath>
#include <cstring>

namespace lv2port
{

const ControlPort kControls[kControlCount] = {
    {"output", Unit::decibel, false},
    {"drive", Unit::decibel, false},
    {"transient", Unit::milliseconds, false},
    {"release", Unit::milliseconds, true},
    {"trans_shape", Unit::none, false},
    {"link", Unit::percent, false},
    {"oversample", Unit::none, false},
    {"detector_order", Unit::none, false},
    {"power", Unit::none, false},
    {"scale", Unit::none, false},
    {"bits", Unit::none, false},
    {"noise_shape", Unit::none, false},
    {"calibrate", Unit::none, false},
    {"leveller", Unit::decibel, false},
    {"meter_ovs", Unit::none, false},
    {"auto_out", Unit::none, false},
    {"quantize", Unit::none, false},
    {"autoblack", Unit::none, false},
    {"meter_type", Unit::none, false},
    {"att_zoom", Unit::none, false},
    {"att_show", Unit::none, false},
    {"post_meter", Unit::none, false},
    {"tp_guard", Unit::none, false},
};

namespace
{
// 20 log10(2): decibels per doubling.
constexpr double kDecibelsPerOctave = 6.020599913279624;
constexpr double kReleaseExponent = 0.82030212;
constexpr double kTransientScale = 1.4142136;

// The display of AttShow at step 0 is empty; a menu entry needs a word.
const char* const kTraceMasks[] = {"none", "1", "2", "12", "L", "1L", "2L", "12L"};

bool inRange(int index)
{
    return index >= 0 && index < kControlCount;
}

double clampUnit(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

// The engineering value of a continuous parameter: the curves of the effect.
double engineering(int index, double v)
{
    switch (index)
    {
    case kOutput:
    case kLeveller: return 20.0 * std::log10(std::pow(2.0, (v - 1.0) * 2.0));
    case kDrive: return 20.0 * std::log10(std::pow(2.0, (v - 0.5) * 8.0));
    case kTransient:
    {
        const double scaled = v * kTransientScale;
        return scaled * scaled * 0.25;
    }
    case kRelease: return std::pow(10.0, std::pow(v, kReleaseExponent) * 3.0);
    case kLink: return v * 100.0;
    default: return v;
    }
}

double inverseEngineering(int index, double x)
{
    switch (index)
    {
    case kOutput:
    case kLeveller: return 1.0 + x / (2.0 * kDecibelsPerOctave);
    case kDrive: return 0.5 + x / (8.0 * kDecibelsPerOctave);
    case kTransient: return x > 0.0 ? std::sqrt(x * 4.0) / kTransientScale : 0.0;
    case kRelease: return x > 1.0 ? std::pow(std::log10(x) / 3.0, 1.0 / kReleaseExponent) : 0.0;
    case kLink: return x / 100.0;
    default: return x;
    }
}
} // namespace

bool isStepped(int index)
{
    return inRange(index) && kParameterTable[index].steps > 0;
}

bool isToggle(int index)
{
    if (!isStepped(index) || kParameterTable[index].steps != 2 || !kParameterTable[index].stepTexts)
        return false;
    const char* const* texts = kParameterTable[index].stepTexts;
    return std::strcmp(texts[0], "off") == 0 && std::strcmp(texts[1], "on") == 0;
}

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

const char* stepText(int index, int step)
{
    if (!isStepped(index) || step < 0 || step >= kParameterTable[index].steps)
        return "";
    if (index == kAttShow)
        return kTraceMasks[step];
    return kParameterTable[index].stepTexts ? kParameterTable[index].stepTexts[step] : "";
}

} // namespace lv2port
