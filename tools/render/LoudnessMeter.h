// Level and loudness of one stream, measured as it passes: sample peak, true
// peak, integrated loudness and loudness range (EBU R 128, by libebur128;
// the true peak by TruePeakMeter, the same interpolation made fast).
#pragma once

#include <cstdint>
#include <vector>

#include <ebur128.h>

#include "tools/render/TruePeakMeter.h"

struct LoudnessFigures
{
    double samplePeakDb;   // dBFS
    double truePeakDb;     // dBTP
    double integratedLufs; // LUFS
    double rangeLu;        // LU
};

class LoudnessMeter
{
public:
    LoudnessMeter(int channels, int sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    void add(const double* interleaved, int64_t frames);
    // Silence and streams too short to be gated read as -infinity.
    LoudnessFigures figures() const;

    // Several streams measured as one programme (an album): the loudness
    // and range of all their gated blocks together, the highest peaks.
    static LoudnessFigures combined(const std::vector<const LoudnessMeter*>& meters);

private:
    ebur128_state* state = nullptr;
    int channelCount;
    TruePeakMeter truePeak;
};
