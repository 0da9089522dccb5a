#include "effect/ParameterText.h"

#include "effect/ParameterTable.h"
#include "host/NumberText.h"

namespace
{
const ParameterInfo* row(int32_t index) { return index >= 0 && index < kNumParams ? &kParameterTable[index] : nullptr; }
} // namespace

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
