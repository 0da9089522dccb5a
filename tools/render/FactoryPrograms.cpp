#include "tools/render/FactoryPrograms.h"

#include <cctype>

#include "effect/ParameterTable.h"
#include "tools/render/PluginHost.h"

static_assert(kFactoryProgramCount == kFactoryPresetCount && kProgramValueCount == kNumParams,
              "the factory table holds one value per parameter for each program");

namespace
{
std::string lowercase(std::string text)
{
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}
} // namespace

int findFactoryProgram(const std::string& nameOrNumber)
{
    if (!nameOrNumber.empty() && nameOrNumber.size() <= 3 &&
        nameOrNumber.find_first_not_of("0123456789") == std::string::npos)
    {
        int number = std::stoi(nameOrNumber);
        return number < kFactoryProgramCount ? number : -1;
    }
    for (int i = 0; i < kFactoryProgramCount; ++i)
        if (lowercase(kFactoryPresets[i].name) == lowercase(nameOrNumber))
            return i;
    return -1;
}

void applyFactoryProgram(PluginHost& host, int index)
{
    // The table holds decimal constants; a program carries them as floats.
    float values[kProgramValueCount];
    for (int i = 0; i < kProgramValueCount; ++i)
        values[i] = (float)kFactoryPresets[index].values[i];
    host.applyProgram(kFactoryPresets[index].name, values, kProgramValueCount);
}
