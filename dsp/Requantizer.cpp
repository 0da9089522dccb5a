#include "dsp/Requantizer.h"

Requantizer::Requantizer() : errors(2 * 2 * kTaps), coefficients(2 * kTaps) {}

void Requantizer::reset()
{
    clearHistory();
    position = 0;
    fade = kFadeAfterReset;
}

void Requantizer::clearHistory() { errors.clear(); }

void Requantizer::inspectShaping(const double* shaping)
{
    shapingSeen = shaping;
    shapingIsZero = true;
    for (int k = 0; k < kTaps; ++k)
    {
        const double c = shaping ? shaping[k] : 0.0;
        coefficients[2 * k] = coefficients[2 * k + 1] = c;
        if (c != 0.0)
            shapingIsZero = false;
    }
}
