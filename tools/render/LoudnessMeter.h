// Level and loudness of one stream, measured as it passes: sample peak, true
// peak, integrated loudness and loudness range (EBU R 128, by libebur128).
#pragma once

#include <cstdint>

#include <ebur128.h>

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

private:
    ebur128_state* state = nullptr;
    int channelCount;
};
