// Pink noise for calibrating monitors: eight rows of held uniform values
// (row r renewed every 2^(r+1) samples) plus one white value, whose sum has a
// spectrum falling at about 3 dB per octave. Scaled to read -20 dB on the
// sine-referenced RMS meter, lifted to the reference mark of the K-scale.
#pragma once

#include <cstdint>

#include "dsp/DitherGenerator.h"
#include "dsp/MeterMeasurement.h"

class CalibrationGenerator
{
public:
    enum Channels
    {
        kOff = 0,
        kLeft = 1,
        kBothUncorrelated = 2,
        kRight = 3
    };
    static constexpr int kRows = 8;

    // Level factor for the Scale step: K-12 +8 dB, K-14 +6 dB, K-20 0 dB.
    static double levelForScale(int scaleStep);

    void reset();

    // One block of noise into outL, and into outR unless it is null (right
    // output not connected). Advances the shared random source and feeds the
    // meters; the limiter's state is left alone.
    // Both precisions write the same noise sequence (float or double samples).
    template <typename Sample>
    void process(Sample* outL, Sample* outR, int frames, int channels, int scaleStep, DitherGenerator& random,
                 MeterMeasurement& meters);

private:
    int nextRow();

    uint32_t counter = 0;
    double rowsLeft[2 * kRows] = {};
    double rowsRight[2 * kRows] = {};
    double sumLeft = 0.0;
    double sumRight = 0.0;
};
