#include "dsp/BlockConvolver.h"

#include <cmath>

BlockConvolver::BlockConvolver()
    : frame(2 * 2 * kMaxWindow),
      overlap(2 * kMaxWindow),
      spectrum(2 * 2 * kMaxWindow),
      taps(kMaxWindow),
      history(2 * 2 * (2 * kMaxDirect + kMaxDirectRun)),
      reversedTaps(2 * kMaxDirect)
{
    prepareKernel(64);
}

void BlockConvolver::prepareKernel(int windowLength)
{
    n = windowLength;
    fft.prepare(n);

    // Sample points by repeated addition of the step, as the taps have always
    // been formed; with an even N no point lands on x = 0.
    const double minusPi = -3.141592653589793;
    const double step = 2.0 * 3.141592653589793 / (n - 1);
    double x = minusPi;
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
    {
        taps[i] = x == 0.0 ? 1.0 : std::sin(x) / x;
        sum += taps[i];
        x += step;
    }
    for (int i = 0; i < n; ++i)
        taps[i] /= sum;
    direct = n <= kMaxDirect && n % 8 == 0;
    if (direct)
        for (int i = 0; i < n; ++i)
            reversedTaps[2 * i] = reversedTaps[2 * i + 1] = taps[n - 1 - i];

    // The kernel frame: h' at times 0 .. N - 1, zero up to 2N.
    double* kernelFrame = frame.get();
    for (int i = 0; i < 4 * n; ++i)
        kernelFrame[i] = 0.0;
    for (int i = 0; i < n; ++i)
        kernelFrame[2 * i] = kernelFrame[2 * i + 1] = taps[i];
    fft.forward(kernelFrame, spectrum.get());

    // The round trip of the transforms gains 4 * 2N; undo it once here.
    const double scale = 1.0 / (4.0 * 2.0 * n);
    for (int i = 0; i < 4 * n; ++i)
        spectrum[i] *= scale;

    // The frame served as scratch; the indices are the caller's business
    // (a shape change resets them, a rate change keeps them).
    clearBuffers();
}

void BlockConvolver::reset()
{
    clearBuffers();
    writeIndex = 0;
    overlapIndex = 0;
    historyIndex = 0;
}

void BlockConvolver::clearBuffers()
{
    frame.clear();
    overlap.clear();
    history.clear();
}
