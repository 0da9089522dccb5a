// The display texts hosts show for parameter values. Digits are truncated,
// never rounded, and follow single-precision inputs, so the texts match what
// mastering engineers have read from this limiter for years.
#pragma once

#include <cstdint>

// Number text of x: at most 8 characters (sign and decimal point included),
// e.g. 50 -> "50.00000", 0.125 -> "0.125000". Writes nothing when x is too
// large to fit. text receives at most maxLen characters plus the terminator.
void numberText(float x, char* text, int32_t maxLen);

// "-oo" for a linear amplitude a <= 0, else the number text of 20 log10(a).
void dbText(float a, char* text, int32_t maxLen);

// Decimal digits, "-" for negatives, "Huge!" from 100000000 up.
void integerText(int32_t value, char* text, int32_t maxLen);

// Copies at most maxLen characters of source and always terminates.
void copyText(char* destination, const char* source, int32_t maxLen);
