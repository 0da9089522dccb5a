#include "tools/render/SettingText.h"

#include <cctype>

#include "effect/ParameterTable.h"
#include "effect/ParameterText.h"
#include "tools/render/Numbers.h"
#include "tools/render/RenderOptions.h"

bool readSetting(const std::string& name, const std::string& value, ParameterSetting& setting, std::string& error)
{
    setting.name = name;
    double number = 0.0;
    const bool bare = parseNumber(value, number);
    const bool normalised = bare && number >= 0.0 && number <= 1.0;
    const int index = parameterIndexOf(name);
    if (index < 0)
    {
        if (normalised)
        {
            setting.value = (float)number;
            return true;
        }
        error = "unknown parameter \"" + name + "\" (see --list-params)";
        return false;
    }
    const ParameterInfo& row = kParameterTable[index];
    ParameterTextValue read = parameterValueFromText(index, value);
    if (row.steps > 0 && read.ok())
    {
        setting.value = read.value;
        return true;
    }
    if (normalised)
    {
        setting.value = (float)number;
        return true;
    }
    if (bare && row.unit != ParameterUnit::none)
    {
        error = "--set " + name + "=" + value + ": a number without a unit is a normalised number from 0 to 1; " +
                row.name + " takes " + parameterRangeText(index) + " with its unit";
        return false;
    }
    if (!read.ok())
    {
        error = "--set " + name + "=" + value + ": " + read.message + " (or a normalised number from 0 to 1)";
        return false;
    }
    setting.value = read.value;
    return true;
}

std::string settingText(int index, float value)
{
    if (index < 0 || index >= kNumParams || !isHostVisible(index))
        return "";
    const ParameterInfo& row = kParameterTable[index];
    std::string text = parameterValueText(index, value);
    // Numbers carry their unit, so that they are not read as normalised;
    // words ("off" for the leveller) stand alone.
    const bool number = !text.empty() && (std::isdigit((unsigned char)text[0]) || text[0] == '-' || text[0] == '+');
    if (row.steps == 0 && number)
        text += parameterUnitSymbol(row.unit);
    return text;
}
