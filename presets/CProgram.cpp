#include "presets/CProgram.h"

#include <cstring>

#include "effect/ParameterTable.h"

static_assert(kProgramParameterCount == kNumParams, "a program holds one value per parameter");

CProgram::CProgram()
{
    setName("init");
    for (int i = 0; i < kProgramParameterCount; ++i)
        values[i] = kParameterTable[i].defaultValue;
}

void CProgram::setName(const char* text)
{
    std::memset(nameBytes, 0, sizeof nameBytes);
    if (!text)
        return;
    for (int i = 0; i < kProgramNameLength && text[i]; ++i)
        nameBytes[i] = text[i];
}

void CProgram::getName(char* out) const
{
    if (out)
        std::memcpy(out, nameBytes, sizeof nameBytes);
}

void CProgram::setParameter(int index, float value)
{
    if (index < 0 || index >= kProgramParameterCount || value != value)
        return;
    if (value < 0.0f)
        value = 0.0f;
    else if (value > 1.0f)
        value = 1.0f;
    values[index] = value;
}

float CProgram::getParameter(int index) const
{
    if (index < 0 || index >= kProgramParameterCount)
        return -1.0f;
    return values[index];
}
