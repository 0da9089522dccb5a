#include "tools/render/Numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

bool parseNumber(const std::string& text, double& number)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(number);
}

std::string formatNumber(double value, int decimals, bool sign)
{
    char text[32];
    if (std::isinf(value))
        std::snprintf(text, sizeof text, "%s", value < 0 ? "-inf" : "inf");
    else
        std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    return text;
}
