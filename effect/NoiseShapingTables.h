// The error-feedback filters of the requantizer: types A, B and C for each
// of the six standard sample rates, plus the all-zero filter for "off".
#pragma once

#include "dsp/AlignedBuffer.h"

class NoiseShapingTables
{
public:
    static constexpr int kTaps = 12;
    static constexpr int kTypes = 3;
    static constexpr int kRates = 6;

    NoiseShapingTables();

    // Writes the constant coefficients (at construction and after every rate change).
    void fill();
    const double* zeroTable() const { return zero.get(); }
    // The table of type 1..3 for this integer rate, or null when the rate is
    // not one of 44100, 48000, 88200, 96000, 176400, 192000.
    const double* find(int type, int rate) const;

private:
    AlignedBuffer<double> tables;
    AlignedBuffer<double> zero;
};
