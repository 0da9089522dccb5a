#include "dsp/Requantizer.h"

Requantizer::Requantizer() : errors(2 * 2 * kTaps) {}

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
    if (shaping)
        for (int k = 0; k < kTaps; ++k)
            if (shaping[k] != 0.0)
                shapingIsZero = false;
}
