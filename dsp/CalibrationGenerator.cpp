#include "dsp/CalibrationGenerator.h"

#include <cmath>

double CalibrationGenerator::levelForScale(int scaleStep)
{
    return scaleStep <= 0 ? 2.5118864315 : scaleStep == 1 ? 2.0 : 1.0;
}

void CalibrationGenerator::reset()
{
    counter = 0;
    for (int r = 0; r < 2 * kRows; ++r)
        rowsLeft[r] = rowsRight[r] = 0.0;
    sumLeft = sumRight = 0.0;
}

// Row 0 changes on odd counts, row r when the count has r trailing zero
// bits; counts divisible by 256 renew row 7.
int CalibrationGenerator::nextRow()
{
    uint32_t c = counter | (1u << (kRows - 1));
    int row = 0;
    while (!(c & 1u))
    {
        c >>= 1;
        ++row;
    }
    return row;
}

template <typename Sample>
void CalibrationGenerator::process(Sample* outL, Sample* outR, int frames, int channels, int scaleStep,
                                   DitherGenerator& random, MeterMeasurement& meters)
{
    // Nine uniform values of variance 1/3 each: dividing by sqrt(3) gives unit
    // variance, 0.1 / sqrt(2) puts that at -20 dB on the sine-referenced scale.
    const double sqrt2 = double(std::sqrt(2.0f));
    const double k = levelForScale(scaleStep);
    for (int n = 0; n < frames; ++n)
    {
        const int row = nextRow();
        double left = 0.0, right = 0.0;
        if (channels == kBothUncorrelated)
        {
            double rowLeft = random.next();
            double rowRight = random.next();
            sumLeft = sumLeft - rowsLeft[row] + rowLeft;
            rowsLeft[row] = rowLeft;
            sumRight = sumRight - rowsRight[row] + rowRight;
            rowsRight[row] = rowRight;
            double whiteLeft = random.next();
            double whiteRight = random.next();
            ++counter;
            left = (whiteLeft + sumLeft) * 0.1 / sqrt2 / 1.73205081 * k;
            right = (whiteRight + sumRight) * 0.1 / sqrt2 / 1.73205081 * k;
        }
        else
        {
            // One channel: the left rows serve either side.
            double rowValue = random.next();
            sumLeft = sumLeft - rowsLeft[row] + rowValue;
            rowsLeft[row] = rowValue;
            double white = random.next();
            ++counter;
            double noise = (white + sumLeft) * 0.1 / sqrt2 / 1.73205081 * k;
            (channels == kRight ? right : left) = noise;
        }
        if (outR)
            outR[n] = Sample(right);
        outL[n] = Sample(left);
        meters.measureCalibration(Pair(left, right));
    }
}

template void CalibrationGenerator::process<float>(float*, float*, int, int, int, DitherGenerator&, MeterMeasurement&);
template void CalibrationGenerator::process<double>(double*, double*, int, int, int, DitherGenerator&,
                                                    MeterMeasurement&);
