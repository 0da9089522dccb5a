// The two snapshot memories, kept in the machine-wide settings store so that
// every instance in every host shares them.
#include <cstdio>
#include <cstring>

#include "effect/LegacyLayout.h"
#include "platform/Registry.h"
#include "presets/CPresetSystemEffect.h"

static_assert(kNumParams == kProgramParameterCount, "a memory holds every parameter");

namespace
{
const char* const kMemoAKey = "SOFTWARE\\Korvane\\QDXzelvo\\MemoA";
const char* const kMemoBKey = "SOFTWARE\\Korvane\\QDXzelvo\\MemoB";

void valueName(int index, char* name, size_t size) { std::snprintf(name, size, "param%3d", index); }
} // namespace

void CPresetSystemEffect::storeMemoA() { storeMemo(kMemoAKey); }

void CPresetSystemEffect::storeMemoB() { storeMemo(kMemoBKey); }

void CPresetSystemEffect::recallMemoA() { recallMemo(kMemoAKey); }

void CPresetSystemEffect::recallMemoB() { recallMemo(kMemoBKey); }

void CPresetSystemEffect::storeMemo(const char* keyPath)
{
    if (!programs)
        return;
    platform::RegistryKey key;
    if (!key.create(keyPath))
        return;
    for (int i = 0; i < kProgramParameterCount; ++i)
    {
        char name[16];
        valueName(i, name, sizeof name);
        float value = getParameter(i);
        unsigned char bytes[4];
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        for (int b = 0; b < 4; ++b)
            bytes[b] = (unsigned char)(bits >> (8 * b));
        key.setBinary(name, bytes, 4);
    }
    char presetName[kProgramNameLength + 1];
    programs[currentPreset].getName(presetName);
    key.setString("name", presetName);
    key.close();
}

void CPresetSystemEffect::recallMemo(const char* keyPath)
{
    if (!programs)
        return;
    platform::RegistryKey key;
    if (!key.open(keyPath))
        return;
    // The memory is read whole first and held to what a file load accepts:
    // values clamped to [0, 1] (infinities included) and the older layout
    // converted once, before anything reaches the parameters or the host.
    float values[kNumParams];
    bool present[kNumParams] = {};
    for (int i = 0; i < kProgramParameterCount; ++i)
    {
        values[i] = getParameter(i);
        char name[16];
        valueName(i, name, sizeof name);
        unsigned char bytes[4];
        uint32_t size = sizeof bytes;
        // A missing or malformed value leaves that parameter as it is.
        if (!key.queryBinary(name, bytes, &size) || size != 4)
            continue;
        uint32_t bits =
            (uint32_t)bytes[0] | ((uint32_t)bytes[1] << 8) | ((uint32_t)bytes[2] << 16) | ((uint32_t)bytes[3] << 24);
        float value;
        std::memcpy(&value, &bits, 4);
        if (value != value)
            continue;
        values[i] = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
        present[i] = true;
    }
    if (present[kLayoutMarker] && isLegacyLayoutMark(values[kLayoutMarker]))
    {
        convertLegacyLayout(values);
        for (ParamId converted : kLegacyConvertedParameters)
            present[converted] = true;
    }
    for (int i = 0; i < kProgramParameterCount; ++i)
        if (present[i])
            setParameterAutomated(i, values[i]);
    char presetName[64];
    if (key.queryString("name", presetName, sizeof presetName))
        setPresetName(presetName);
    updateDisplay();
    key.close();
}
