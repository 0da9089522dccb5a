#include "presets/CProgram.h"

#include <cstring>

CProgram::CProgram()
{
    std::memset(values, 0, sizeof values);
    setName("init");
    values[0] = 1.0f;
    values[1] = 0.5f;
    values[2] = 0.2f;
    values[3] = 0.5f;
    values[4] = 0.33f;
    values[5] = 1.0f;
    values[8] = 1.0f;
    values[13] = 1.0f;
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
