// Word-length reduction to 8, 16 or 24 bits: triangular dither, error-feedback
// noise shaping with up to 12 taps, and an optional fade of the output to
// digital silence while the signal is silent.
#pragma once

#include <algorithm>
#include <atomic>
#include <cmath>

#include "dsp/AlignedBuffer.h"
#include "dsp/DitherGenerator.h"
#include "dsp/Pair.h"
#include "dsp/SimdAvx2.h"
#include "dsp/SimdLevel.h"

class Requantizer
{
public:
    static constexpr int kTaps = 12;
    // The fade gain after a reset: practically silent until a signal arrives.
    static constexpr double kFadeAfterReset = 1e-20;
    // Below this level a sample counts as silence for the fade.
    static constexpr double kSilence = 1e-8;

    Requantizer();

    // Error history and its position cleared, fade gain to 1e-20.
    void reset();
    // Error history cleared; the position stays (every sample-rate call).
    void clearHistory();
    // The position of the most recent error back to 0 (the history stays).
    void resetPosition() { position = 0; }
    // The same from another thread, while blocks may run: the next block
    // starts at position 0.
    void requestPositionReset() { positionResetRequested.store(true, std::memory_order_release); }

    // Quantizer scale q = 2^7, 2^15 or 2^23 for Bits steps 0, 1, 2.
    static double scaleForBits(int bitsStep) { return bitsStep <= 0 ? 128.0 : bitsStep == 1 ? 32768.0 : 8388608.0; }

    // Per-block constants: scale q, fade coefficient (one pole, 10 ms), and
    // whether silence fades the output, and the shaping table in use now.
    void beginBlock(double q, double fadeCoefficient, bool autoblack, const double* shaping)
    {
        if (positionResetRequested.load(std::memory_order_relaxed) &&
            positionResetRequested.exchange(false, std::memory_order_acquire))
            position = 0;
        inspectShaping(shaping);
        scale = Pair(q);
        inverseScale = Pair(1.0 / q);
        // Two steps inside what the 32-bit conversion holds, dither and the
        // +q offset included.
        inputLimit = Pair(2147483648.0 / q - 2.0);
        inputFloor = Pair(0.0) - inputLimit;
        fadeStep = fadeCoefficient;
        fadeOnSilence = autoblack;
    }

    // The state that changes every sample, taken into a sample loop and
    // handed back at its end. Each sample's error feeds the next sample's
    // shaping: held in a register, the newest error skips the round trip
    // through memory on that chain, which is the longest of the sample path.
    struct Running
    {
        Pair newestError;
        int position;
        double fade;
    };
    Running running() const { return {Pair::load(errors.get() + 2 * (position + kTaps)), position, fade}; }
    void keep(const Running& state)
    {
        position = state.position;
        fade = state.fade;
    }

    // One sample pair. shaping: the 12 coefficients in use, c_k weighting the
    // error of k + 1 samples ago; null or all zero means no shaping. The
    // dither: the sum of two uniform values per channel, in the generator's
    // order left, left, right, right.
    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair process(Pair r, const double* shaping, DitherGenerator& dither)
    {
        Running state = running();
        const Pair y = process<Isa>(state, r, shaping, dither);
        keep(state);
        return y;
    }

    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair process(Running& state, Pair r, const double* shaping, DitherGenerator& dither)
    {
        return process<Isa>(state, r, shaping, dither.triangular<Isa>());
    }

    // The same with the sample's triangular dither d already drawn.
    template <SimdLevel Isa = SimdLevel::Sse2>
    Pair process(Running& state, Pair r, const double* shaping, Pair d)
    {
        if (!fadeOnSilence || std::max(std::fabs(r.left()), std::fabs(r.right())) > kSilence)
        {
            state.fade = 1.0;
        }
        else
        {
            // The flush rounds the gain to steps of about 1.8e-46; at the
            // last step the decay rounds back up and would hold the gain
            // there for good. That is where the fade ends in exact silence.
            const double fade = state.fade;
            const double decayed = ((fade - fade * fadeStep) + 1e-30) - 1e-30;
            state.fade = decayed == fade ? 0.0 : decayed;
        }

        // history holds each error twice, at p and p + 12, so the newest
        // twelve are contiguous: newest at p + 12, oldest at p + 1. The sum
        // runs from the oldest error to the newest, so only its last step
        // waits for the error of the sample just before.
        double* history = errors.get();
        Pair shaped = r;
        if (shaping != shapingSeen)
            inspectShaping(shaping);
        if (!shapingIsZero)
        {
            const double* newest = history + 2 * (state.position + kTaps);
            const double* c = coefficients.get();
            Pair acc = Pair::load(c + 2 * (kTaps - 1)) * Pair::load(newest - 2 * (kTaps - 1));
            for (int k = kTaps - 2; k >= 1; --k)
                acc += Pair::load(c + 2 * k) * Pair::load(newest - 2 * k);
            acc += Pair::load(c) * state.newestError;
            shaped = r - acc;
        }

        // A value the conversion cannot hold would saturate it, and the error
        // fed back would then grow with every sample: the shaper's gain turns
        // one such sample into a lasting full-scale oscillation. Within the
        // limit the quantizer stays exact, its error below two steps, and
        // silence after an over-range sample is only shaped dither again. A
        // NaN comes out as the lower limit, so the history stays finite.
        shaped = min(max(shaped, inputFloor), inputLimit);

        // The +q offset keeps v non-negative for |shaped| <= 1, so the
        // truncation floors; the dither spans one step either way.
        // v then lies well inside the 32-bit range, where the wide paths
        // truncate with one rounding instruction to the same integers.
        Pair v = (shaped * scale + scale) + Pair(0.5) * d;
        Pair truncated;
#ifdef ZELVO_WIDE_SIMD
        if constexpr (Isa != SimdLevel::Sse2)
            truncated = avx2::truncateInRange(v);
        else
#endif
            truncated = truncateToInt32(v);
        Pair y = (truncated - scale) * inverseScale;

        if (++state.position >= kTaps)
            state.position = 0;
        // The quantizer's own error, so under two steps in magnitude: what
        // the shaper feeds back stays bounded whatever came in.
        Pair error = y - shaped;
        error.store(history + 2 * state.position);
        error.store(history + 2 * (state.position + kTaps));
        state.newestError = error;

        return y * Pair(state.fade);
    }

    double fadeGain() const { return fade; }

private:
    void inspectShaping(const double* shaping);

    AlignedBuffer<double> errors; // 24 pairs: the 12 errors, twice
    int position = 0;
    std::atomic<bool> positionResetRequested{false};
    double fade = kFadeAfterReset;

    Pair scale{32768.0};
    Pair inverseScale{1.0 / 32768.0};
    Pair inputLimit{2147483648.0 / 32768.0 - 2.0};
    Pair inputFloor{2.0 - 2147483648.0 / 32768.0};
    double fadeStep = 0.0;
    bool fadeOnSilence = false;

    const double* shapingSeen = nullptr;
    bool shapingIsZero = true;
    AlignedBuffer<double> coefficients; // the table in use, each value twice
};
