#include "effect/ParameterTable.h"

namespace
{
const char* const kOffOn[] = {"off", "on"};
const char* const kShapes[] = {"hard", "med", "soft"};
const char* const kOrders[] = {"I", "II"};
const char* const kScales[] = {"K-12", "K-14", "K-20"};
const char* const kBitTexts[] = {"8", "16", "24"};
const char* const kNoiseShapes[] = {"off", "type A", "type B", "type C"};
const char* const kCalibrations[] = {"off", "left", "l+r uncor", "right"};
const char* const kMeterTypes[] = {"peak", "k-system"};
const char* const kZooms[] = {"24dB", "12dB"};
const char* const kPrePost[] = {"pre", "post"};
} // namespace

const ParameterInfo kParameterTable[kNumParams] = {
    {"Output", 0, nullptr, "dB"},
    {"Drive", 0, nullptr, "dB"},
    {"Transient", 0, nullptr, "ms"},
    {"Release", 0, nullptr, "ms"},
    {"TransShape", 3, kShapes, nullptr},
    {"L/R Link", 0, nullptr, nullptr},
    {"Oversample", 2, kOffOn, nullptr},
    {"DetectorOrder", 2, kOrders, nullptr},
    {"Power", 2, kOffOn, nullptr},
    {"Scale", 3, kScales, nullptr},
    {"Bits", 3, kBitTexts, nullptr},
    {"NoiseShape", 4, kNoiseShapes, nullptr},
    {"Calibrate", 4, kCalibrations, nullptr},
    {"Leveller", 0, nullptr, "dB"},
    {"MeterOvs", 2, kOffOn, nullptr},
    {"AutoOut", 2, kOffOn, nullptr},
    {"Quantize", 2, kOffOn, nullptr},
    {"Autoblack", 2, kOffOn, nullptr},
    {"MeterType", 2, kMeterTypes, nullptr},
    {"AttZoom", 2, kZooms, nullptr},
    {"AttShow", 8, nullptr, nullptr},
    {"PostMeter", 2, kPrePost, nullptr},
    {"TP Guard", 2, kOffOn, nullptr},
    {"dummy", 0, nullptr, nullptr},
    {"dummy", 0, nullptr, nullptr},
    {"resvd-vid", 0, nullptr, nullptr},
};

int32_t stepIndex(float v, int32_t n)
{
    float scaled = v * (float)n;
    // Comparisons first: converting a NaN or a huge float to an integer is undefined.
    if (!(scaled >= 0.0f))
        return 0;
    if (scaled >= (float)n)
        return n - 1;
    int32_t i = (int32_t)scaled;
    return i >= n ? n - 1 : i;
}

float stepValue(int32_t i, int32_t n)
{
    return (float)i / (float)n + 0.5f / (float)n;
}
