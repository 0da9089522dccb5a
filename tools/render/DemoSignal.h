// A generated test signal for --demo and --bench: two bars of drums, bass and
// chords, repeated, at 120 beats per minute. Deterministic: the same seed
// gives the same samples on every machine.
#pragma once

#include <cstdint>
#include <vector>

struct DemoSignal
{
    static constexpr int kSampleRate = 44100;
    static constexpr double kSeconds = 8.0;
    static constexpr uint32_t kSeed = 0x51447A76;
    // Peak of the mix: hot enough that any drive above 0 dB makes the
    // limiter work on the kick and snare.
    static constexpr double kPeak = 0.891; // -1 dBFS
};

// Interleaved stereo samples, kSeconds long at kSampleRate.
std::vector<double> generateDemoSignal(uint32_t seed = DemoSignal::kSeed);
