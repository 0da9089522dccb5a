// The soak's programme material, generated so that an hour needs no files:
// a few tones under a slow level swell up to +12 dBFS (deep limiting), noise,
// and a full-scale click now and then. Deterministic from its seed.
#pragma once

#include <cstdint>

namespace soak
{

class SoakSignal
{
public:
    explicit SoakSignal(double sampleRate, uint32_t seed = 12345);
    // Fills one block of left and right samples.
    void fill(double* left, double* right, int frames);

private:
    double noise();

    double rate;
    double time = 0.0;
    double phase[3] = {0.0, 0.0, 0.0};
    uint32_t state;
};

} // namespace soak
