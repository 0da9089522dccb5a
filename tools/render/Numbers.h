// Numbers on the command line and in the report: one parser and one
// formatter, so that every option reads numbers alike and every figure
// prints alike.
#pragma once

#include <string>

// A whole finite decimal number and nothing after it.
bool parseNumber(const std::string& text, double& number);

// "-1.23", "+2.50" with `sign`, "-inf" for silence, "inf".
std::string formatNumber(double value, int decimals, bool sign = false);
