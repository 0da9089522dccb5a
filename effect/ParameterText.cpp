#include "effect/ParameterText.h"

#include "effect/ParameterTable.h"
#include "effect/NumberText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
const ParameterInfo* row(int32_t index) { return index >= 0 && index < kNumParams ? &kParameterTable[index] : nullptr; }
} // namespace

const char* parameterUnitSymbol(ParameterUnit unit)
{
    switch (unit)
    {
    case ParameterUnit::decibel: return "dB";
    case ParameterUnit::milliseconds: return "ms";
    case ParameterUnit::percent: return "%";
    case ParameterUnit::none: break;
    }
    return "";
}

void parameterNameText(int32_t index, char* text)
{
    if (const ParameterInfo* info = row(index))
        copyText(text, info->name, kParameterNameBytes - 1);
}

void parameterDisplayText(int32_t index, float value, int32_t step, char* text)
{
    const ParameterInfo* info = row(index);
    if (!info)
        return;
    switch (info->display)
    {
    case ParameterDisplay::decibels:
        dbText((float)curveValue(info->curve, value), text, kParameterDisplayChars);
        return;
    case ParameterDisplay::number:
        numberText((float)curveValue(info->curve, value), text, kParameterDisplayChars);
        return;
    case ParameterDisplay::stepText:
        if (step >= 0 && step < info->steps)
            copyText(text, info->stepTexts[step], kParameterDisplayChars);
        return;
    case ParameterDisplay::bitMarks:
    {
        char marks[4] = {0};
        int n = 0;
        if (step & 1)
            marks[n++] = '1';
        if (step & 2)
            marks[n++] = '2';
        if (step & 4)
            marks[n++] = 'L';
        copyText(text, marks, kParameterDisplayChars);
        return;
    }
    case ParameterDisplay::none: return;
    }
}

void parameterLabelText(int32_t index, char* text)
{
    const ParameterInfo* info = row(index);
    if (info && info->label)
        copyText(text, info->label, kParameterDisplayChars);
}

namespace
{
std::string trimmed(const std::string& text)
{
    const char* space = " \t\r\n";
    const size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool sameLetters(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; b[i] && i < a.size(); ++i)
        if (std::tolower((unsigned char)a[i]) != std::tolower((unsigned char)b[i]))
            return false;
    return i == a.size() && !b[i];
}

// A finite decimal number at the start of text, read the same in every
// locale (a host may have set one with a decimal comma); the rest of the
// text goes to rest. False if none is there.
bool leadingNumber(const std::string& text, double& number, std::string& rest)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    const bool plus = begin != end && *begin == '+';
    const auto read = std::from_chars(begin + (plus ? 1 : 0), end, number);
    if (read.ec != std::errc() || !std::isfinite(number) || (plus && begin + 1 != end && begin[1] == '-'))
        return false;
    rest.assign(read.ptr, end);
    return true;
}

// A range end as the messages write it: at most two decimals, a "+" on
// positive gains.
std::string endText(const ParameterInfo& row, double x)
{
    char text[32];
    std::snprintf(text, sizeof text, row.unit == ParameterUnit::decibel && x > 0.0 ? "%+.2f" : "%.2f", x);
    std::string s = text;
    while (s.back() == '0')
        s.pop_back();
    if (s.back() == '.')
        s.pop_back();
    if (s == "-0")
        s = "0";
    return s + parameterUnitSymbol(row.unit);
}

ParameterTextValue refused(ParameterTextError error, const ParameterInfo& row, const std::string& what)
{
    ParameterTextValue result;
    result.error = error;
    result.message = std::string(row.name) + " takes " + parameterRangeText(row.index) + ", not \"" + what + "\"";
    return result;
}

ParameterTextValue accepted(float value)
{
    ParameterTextValue result;
    result.value = value;
    return result;
}

ParameterTextValue stepFromText(const ParameterInfo& row, const std::string& text)
{
    if (row.display == ParameterDisplay::bitMarks)
    {
        if (text.empty() || sameLetters(text, "none"))
            return accepted(stepValue(0, row.steps));
        const char marks[] = {'1', '2', 'l'};
        int mask = 0;
        for (char c : text)
        {
            int bit = 0;
            while (bit < 3 && marks[bit] != std::tolower((unsigned char)c))
                ++bit;
            if (bit == 3 || (mask & (1 << bit)))
                return refused(ParameterTextError::unknownStep, row, text);
            mask |= 1 << bit;
        }
        return accepted(stepValue(mask, row.steps));
    }
    for (int step = 0; step < row.steps; ++step)
        if (sameLetters(text, row.stepTexts[step]))
            return accepted(stepValue(step, row.steps));
    return refused(ParameterTextError::unknownStep, row, text);
}

ParameterTextValue numberFromText(const ParameterInfo& row, const std::string& text)
{
    if (row.field.topText && sameLetters(text, row.field.topText))
        return accepted(1.0f);
    double x = 0.0;
    std::string unit;
    if (!leadingNumber(text, x, unit))
        return refused(ParameterTextError::notANumber, row, text);
    unit = trimmed(unit);
    if (!unit.empty() && !sameLetters(unit, parameterUnitSymbol(row.unit)))
        return refused(ParameterTextError::unknownUnit, row, text);
    const ParameterRange& range = row.range;
    const double tolerance = 1e-4 * (range.maximum - range.minimum);
    if (x < range.minimum - tolerance || x > range.maximum + tolerance)
        return refused(ParameterTextError::outOfRange, row, text);
    x = x < range.minimum ? range.minimum : (x > range.maximum ? range.maximum : x);

    // The display texts truncate digits, so the curve's own answer may show
    // one digit off. Every curve rises and so do its texts: of all values,
    // the lowest one whose text reads at least this number is found by
    // halving (positive floats order as their bits), and taken if its text
    // reads exactly this number, which makes every text a host was shown
    // come back as a value that shows it again.
    auto shown = [&](float v) {
        double number = -HUGE_VAL;
        std::string after;
        leadingNumber(parameterValueText(row.index, v), number, after);
        return number;
    };
    const float estimate = (float)parameterNormalised(row.index, x);
    if (shown(estimate) == x)
        return accepted(estimate);
    auto fromBits = [](uint32_t bits) {
        float v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    };
    const float one = 1.0f;
    uint32_t low = 0, high = 0;
    std::memcpy(&high, &one, sizeof high);
    while (low < high)
    {
        const uint32_t middle = low + (high - low) / 2;
        if (shown(fromBits(middle)) < x)
            low = middle + 1;
        else
            high = middle;
    }
    if (shown(fromBits(low)) == x)
        return accepted(fromBits(low));
    return accepted(estimate);
}
} // namespace

std::string parameterValueText(int32_t index, float value)
{
    const ParameterInfo* info = row(index);
    if (!info)
        return "";
    char text[kParameterDisplayChars + 1] = {0};
    parameterDisplayText(index, value, info->steps > 0 ? stepIndex(value, info->steps) : 0, text);
    return text;
}

ParameterTextValue parameterValueFromText(int32_t index, const std::string& text)
{
    const ParameterInfo* info = row(index);
    if (!info)
    {
        ParameterTextValue result;
        result.error = ParameterTextError::unknownParameter;
        result.message = "there is no parameter " + std::to_string(index);
        return result;
    }
    if (!isHostVisible(index))
    {
        ParameterTextValue result;
        result.error = ParameterTextError::noValue;
        result.message = std::string(info->name) + " holds no value to set";
        return result;
    }
    const std::string t = trimmed(text);
    return info->steps > 0 ? stepFromText(*info, t) : numberFromText(*info, t);
}

std::string parameterRangeText(int32_t index)
{
    const ParameterInfo* info = row(index);
    if (!info || !isHostVisible(index))
        return "";
    if (info->display == ParameterDisplay::bitMarks)
        return "any of 1, 2 and L, or none";
    if (info->steps > 0)
    {
        std::string s;
        for (int step = 0; step < info->steps; ++step)
            s += std::string(step == 0 ? "" : (step + 1 == info->steps ? " or " : ", ")) + info->stepTexts[step];
        return s;
    }
    return endText(*info, info->range.minimum) + " to " + endText(*info, info->range.maximum);
}

int32_t parameterIndexOf(const std::string& nameOrSymbol)
{
    for (const ParameterInfo& info : kParameterTable)
        if (sameLetters(nameOrSymbol, info.name) || sameLetters(nameOrSymbol, info.symbol))
            return info.index;
    return -1;
}
