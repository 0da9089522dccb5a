#include "effect/ExposedParameters.h"

#include <cctype>
#include <initializer_list>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "effect/ParameterText.h"

namespace exposed
{

namespace
{
// The text without leading and trailing blanks, in buffer (at most size - 1
// characters); false when it does not fit.
bool trimmed(const char* text, char* buffer, size_t size)
{
    while (*text && std::isspace((unsigned char)*text))
        ++text;
    size_t length = std::strlen(text);
    while (length > 0 && std::isspace((unsigned char)text[length - 1]))
        --length;
    if (length >= size)
        return false;
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
    return true;
}

bool sameText(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::tolower((unsigned char)*a) != std::tolower((unsigned char)*b))
            return false;
    return *a == *b;
}

bool parseStep(const ParameterInfo& row, const char* text, float& value)
{
    if (row.display == ParameterDisplay::bitMarks)
    {
        int marks = 0;
        if (!sameText(text, "none"))
            for (const char* c = text; *c; ++c)
            {
                const int bit = *c == '1' ? 1 : (*c == '2' ? 2 : ((*c == 'L' || *c == 'l') ? 4 : 0));
                if (bit == 0 || (marks & bit))
                    return false;
                marks |= bit;
            }
        value = stepValue(marks, row.steps);
        return true;
    }
    for (int step = 0; step < row.steps; ++step)
        if (sameText(text, row.stepTexts[step]))
        {
            value = stepValue(step, row.steps);
            return true;
        }
    return false;
}

// The number at the start of text and what follows it, which may only be
// the row's unit label.
bool parseNumber(const ParameterInfo& row, const char* text, double& number)
{
    if (row.display == ParameterDisplay::decibels && std::strncmp(text, "-oo", 3) == 0)
    {
        number = -HUGE_VAL;
        text += 3;
    }
    else
    {
        char* end = nullptr;
        number = std::strtod(text, &end);
        if (end == text || !std::isfinite(number))
            return false;
        text = end;
    }
    while (*text && std::isspace((unsigned char)*text))
        ++text;
    return *text == 0 || (row.label && sameText(text, row.label));
}
} // namespace

int steps(int64_t row) { return isExposed(row) ? kParameterTable[row].steps : 0; }

void displayText(int64_t row, float normalised, char* text)
{
    text[0] = 0;
    if (row < 0 || row >= kNumParams)
        return;
    const int n = kParameterTable[row].steps;
    parameterDisplayText((int32_t)row, normalised, n > 0 ? stepIndex(normalised, n) : 0, text);
}

const char* label(int64_t row)
{
    return isExposed(row) && kParameterTable[row].label ? kParameterTable[row].label : "";
}

bool parseText(int64_t row, const char* text, float& value)
{
    if (!isExposed(row) || !text)
        return false;
    const ParameterInfo& info = kParameterTable[row];
    char typed[64];
    if (!trimmed(text, typed, sizeof typed))
        return false;
    if (info.steps > 0)
        return parseStep(info, typed, value);

    double number = 0.0;
    if (!parseNumber(info, typed, number))
        return false;
    const double engineering = info.display == ParameterDisplay::decibels ? std::pow(10.0, number / 20.0) : number;
    const double normalised = curveNormalised(info.curve, engineering);
    const float estimate = (float)normalised;

    // The display truncates digits: a neighbour of the estimate may be the
    // value whose text is exactly the number typed.
    char shown[kTextBytes];
    displayText(row, estimate, shown);
    char typedNumber[64];
    std::strcpy(typedNumber, typed);
    if (char* space = std::strchr(typedNumber, ' '))
        *space = 0;
    if (std::strcmp(shown, typedNumber) != 0)
    {
        float below = estimate;
        float above = estimate;
        for (int i = 0; i < 64; ++i)
        {
            below = std::nextafter(below, 0.0f);
            above = std::nextafter(above, 1.0f);
            for (float candidate : {above, below})
            {
                displayText(row, candidate, shown);
                if (candidate >= 0.0f && candidate <= 1.0f && std::strcmp(shown, typedNumber) == 0)
                {
                    value = candidate;
                    return true;
                }
            }
        }
    }
    value = estimate;
    return true;
}

} // namespace exposed
