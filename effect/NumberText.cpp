#include "effect/NumberText.h"

#include <cmath>
#include <cstring>

void copyText(char* destination, const char* source, int32_t maxLen)
{
    if (!destination || maxLen < 0)
        return;
    int32_t i = 0;
    for (; source && source[i] && i < maxLen; ++i)
        destination[i] = source[i];
    destination[i] = 0;
}

void numberText(float x, char* text, int32_t maxLen)
{
    const bool negative = x < 0;
    double d = std::fabs((double)x);
    int c = negative ? 1 : 0;
    // NaN compares false everywhere: refuse it with the too-large texts.
    if (!(d <= (negative ? 9999999.0 : 99999999.0)))
        return;

    char digits[40];
    char* s = digits + sizeof(digits) - 1;
    *s-- = 0;
    *s-- = '.';
    ++c;
    double integer = std::floor(d);
    *s-- = (char)('0' + (int)std::fmod(integer, 10.0));
    integer /= 10.0;
    ++c;
    while (integer >= 1.0 && c < 8)
    {
        *s-- = (char)('0' + (int)std::fmod(integer, 10.0));
        integer /= 10.0;
        ++c;
    }
    if (negative)
        *s-- = '-';

    char result[40];
    std::strcpy(result, s + 1);

    if (c < 8)
    {
        double mantissa = std::fmod(d, 1.0) * std::pow(10.0, 8 - c);
        char fraction[16];
        char* f = fraction + sizeof(fraction) - 1;
        *f-- = 0;
        for (; c < 8; ++c)
        {
            if (mantissa <= 0)
                *f-- = '0';
            else
            {
                *f-- = (char)('0' + (int)std::fmod(mantissa, 10.0));
                mantissa /= 10.0;
            }
        }
        std::strcat(result, f + 1);
    }
    copyText(text, result, maxLen);
}

void dbText(float a, char* text, int32_t maxLen)
{
    if (a <= 0)
        copyText(text, "-oo", maxLen);
    else
        numberText((float)(20.0 * std::log10((double)a)), text, maxLen);
}

void integerText(int32_t value, char* text, int32_t maxLen)
{
    if (value >= 100000000)
    {
        copyText(text, "Huge!", maxLen);
        return;
    }
    char digits[16];
    char* s = digits + sizeof(digits) - 1;
    *s = 0;
    // Work in 64 bits so that the most negative value has a magnitude.
    int64_t magnitude = value < 0 ? -(int64_t)value : (int64_t)value;
    do
    {
        *--s = (char)('0' + (int)(magnitude % 10));
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        *--s = '-';
    copyText(text, s, maxLen);
}
