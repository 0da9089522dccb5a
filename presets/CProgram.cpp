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

CProgram::CProgram(const CProgram& other) { *this = other; }

CProgram& CProgram::operator=(const CProgram& other)
{
    if (this == &other)
        return *this;
    for (int i = 0; i < kProgramParameterCount; ++i)
        values[i] = other.values[i].get();
    setName(other.name());
    return *this;
}

void CProgram::setName(const char* text)
{
    char copy[kProgramNameLength + 1] = {};
    if (text)
        for (int i = 0; i < kProgramNameLength && text[i]; ++i)
            copy[i] = text[i];
    std::lock_guard<std::mutex> lock(nameMutex);
    std::memcpy(nameBytes, copy, sizeof nameBytes);
}

void CProgram::getName(char* out) const
{
    if (!out)
        return;
    std::lock_guard<std::mutex> lock(nameMutex);
    std::memcpy(out, nameBytes, sizeof nameBytes);
}

ProgramName CProgram::name() const
{
    ProgramName copy;
    getName(copy.bytes);
    return copy;
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
