#include "tools/soak/SoakSignal.h"

#include <cmath>

namespace soak
{

namespace
{
constexpr double kTwoPi = 6.283185307179586;
const double kFrequencies[3] = {55.0, 440.0, 3520.0}; // Hz
} // namespace

SoakSignal::SoakSignal(double sampleRate, uint32_t seed) : rate(sampleRate), state(seed ? seed : 1) {}

double SoakSignal::noise()
{
    // xorshift32: cheap and enough for a test signal.
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return (double)state / 2147483648.0 - 1.0;
}

void SoakSignal::fill(double* left, double* right, int frames)
{
    for (int i = 0; i < frames; ++i)
    {
        // The level swells from -30 dBFS to +12 dBFS and back every 40 s.
        const double swell = 0.5 - 0.5 * std::cos(kTwoPi * time / 40.0);
        const double gain = std::pow(10.0, (-30.0 + 42.0 * swell) / 20.0);
        double tones = 0.0;
        for (int k = 0; k < 3; ++k)
        {
            phase[k] += kTwoPi * kFrequencies[k] / rate;
            if (phase[k] > kTwoPi)
                phase[k] -= kTwoPi;
            tones += std::sin(phase[k]) / 3.0;
        }
        const double n = 0.2 * noise();
        const bool click = std::fmod(time, 2.5) < 1.0 / rate; // one sample every 2.5 s
        left[i] = click ? 1.0 : gain * (tones + n);
        right[i] = click ? -1.0 : gain * (0.8 * tones - n);
        time += 1.0 / rate;
    }
}

} // namespace soak
