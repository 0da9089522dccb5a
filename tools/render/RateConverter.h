// Sample-rate conversion before mastering (--rate), so that limiting, true
// peak, loudness and dither all happen at the delivery rate. libsoxr at its
// very high quality: a linear-phase filter with a passband to 95 % of the
// lower Nyquist frequency and more than 170 dB of rejection.
#pragma once

#include <string>
#include <vector>

// Interleaved doubles from `fromRate` to `toRate`; the length follows the
// ratio, with the filter's delay taken out.
bool convertRate(const std::vector<double>& input, int channels, int fromRate, int toRate, std::vector<double>& output,
                 std::string& error);
