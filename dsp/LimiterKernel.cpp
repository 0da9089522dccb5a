// Per block: the constants every sample reads, then the sample loop of the
// block's shape on the chosen instruction set (LimiterKernelLoop.h).
#include "dsp/LimiterKernelLoop.h"

#include <cstdint>
#include <type_traits>

using namespace kernel;

namespace
{
// Float samples to doubles: exact.
void widen(const float* from, double* to, int count)
{
    int i = 0;
#ifdef ZELVO_PAIR_SSE2
    for (; i + 4 <= count; i += 4)
    {
        const __m128 f = _mm_loadu_ps(from + i);
        _mm_storeu_pd(to + i, _mm_cvtps_pd(f));
        _mm_storeu_pd(to + i + 2, _mm_cvtps_pd(_mm_movehl_ps(f, f)));
    }
#endif
    for (; i < count; ++i)
        to[i] = from[i];
}

// Doubles to float samples, each rounded as storeSamples rounds it.
void narrow(const double* from, float* to, int count)
{
    int i = 0;
#ifdef ZELVO_PAIR_SSE2
    for (; i + 4 <= count; i += 4)
        _mm_storeu_ps(to + i,
                      _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(from + i)), _mm_cvtpd_ps(_mm_loadu_pd(from + i + 2))));
#endif
    for (; i < count; ++i)
        to[i] = float(from[i]);
}

#ifdef ZELVO_WIDE_SIMD
// The same four samples per conversion, for processors with AVX2.
ZELVO_TARGET_AVX2 void widenAvx2(const float* from, double* to, int count)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        _mm256_storeu_pd(to + i, _mm256_cvtps_pd(_mm_loadu_ps(from + i)));
        _mm256_storeu_pd(to + i + 4, _mm256_cvtps_pd(_mm_loadu_ps(from + i + 4)));
    }
    for (; i < count; ++i)
        to[i] = from[i];
}

ZELVO_TARGET_AVX2 void narrowAvx2(const double* from, float* to, int count)
{
    int i = 0;
    for (; i + 8 <= count; i += 8)
    {
        _mm_storeu_ps(to + i, _mm256_cvtpd_ps(_mm256_loadu_pd(from + i)));
        _mm_storeu_ps(to + i + 4, _mm256_cvtpd_ps(_mm256_loadu_pd(from + i + 4)));
    }
    for (; i < count; ++i)
        to[i] = float(from[i]);
}
#endif

bool overlap(const float* a, const float* b, int count)
{
    const uintptr_t x = reinterpret_cast<uintptr_t>(a), y = reinterpret_cast<uintptr_t>(b);
    return x < y + count * sizeof(float) && y < x + count * sizeof(float);
}
} // namespace

template <typename Sample>
void LimiterEngine::runKernel(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int frames)
{
    if (frames <= 0)
        return;
    FloatingPointMode mode;

    const KernelSettings& k = settings;
    BlockConstants block;
    block.kappa = k.kappa;
    block.mu = k.mu;
    block.driveTarget = k.driveTarget;
    // AutoOut compensates the drive target, not the smoothed drive.
    block.outputTarget = k.autoOut ? 1.0 / block.driveTarget : k.outputGain.get();
    const double transient = k.transientAmount;
    block.transient = Pair(transient);
    block.sustain = Pair(1.0 - transient);
    block.link = k.link;
    block.unlinked = 1.0 - block.link;
    block.threshold = k.levellerThreshold;
    block.levellerBypassed = k.levellerBypassed;
    block.powerOn = k.powerTarget > 0.5;
    const int shown = k.attShow;
    block.showRelease = shown & 1;
    block.showTransient = shown & 2;
    block.showLeveller = shown & 4;
    // "pre": the input meter follows the drive in force at the block start.
    block.meterGain = Pair(k.postMeter ? 1.0 : drive);
    const FollowerCoefficients& coefficients = settings.followers.take();
    for (int i = 0; i < kFollowerCount; ++i)
    {
        block.release[i] = Pair(coefficients.release[i]);
        block.attackXorRelease[i] = differenceBits(Pair(coefficients.attack[i]), block.release[i]);
    }
    block.noiseShaping = k.noiseShaping;
    const bool guarded = k.truePeakGuard != 0;
    if (guarded)
    {
        const double error =
            k.quantize ? TruePeakGuard::requantizerHeadroom(Requantizer::scaleForBits(k.bits), block.noiseShaping)
                       : 0.0;
        block.guardScale = Pair(TruePeakGuard::detectorScale(output, block.outputTarget, error));
    }

    BlockState state;
    state.g = drive;
    state.h = output;
    state.e = envelope;

    meters.beginBlock(k.meterRms);
    requantizer.beginBlock(Requantizer::scaleForBits(k.bits), k.fade, k.autoblack != 0, block.noiseShaping);

    const unsigned shape = (k.detectorOrder ? kSecondOrder : 0) |
                           (guarded        ? kGuard
                            : k.oversample ? kTruePeak
                                           : 0) |
                           (k.meterOvs ? kOversampledMeter : 0) | (k.quantize ? kQuantize : 0);
    const Loop loop = pickLoop(simd, shape);
    if constexpr (std::is_same_v<Sample, double>)
        (this->*loop)(block, state, inL, inR, outL, outR, frames);
    else
    {
        // Through the double loop a chunk at a time, converted inside the
        // block's floating-point mode as the loop's own loads and stores
        // would be. All of a chunk is read before any of it is written, as
        // each sample's input is read before its output is written: the
        // in-place and the mono hosts' shared buffers come out the same.
        FloatEdges& edges = *floatEdges.get();
        void (*toDouble)(const float*, double*, int) = widen;
        void (*toFloat)(const double*, float*, int) = narrow;
#ifdef ZELVO_WIDE_SIMD
        if (simd != SimdLevel::Sse2)
        {
            toDouble = widenAvx2;
            toFloat = narrowAvx2;
        }
#endif
        for (int at = 0; at < frames; at += FloatEdges::kChunk)
        {
            const int count = std::min(FloatEdges::kChunk, frames - at);
            toDouble(inL + at, edges.inL, count);
            toDouble(inR + at, edges.inR, count);
            (this->*loop)(block, state, edges.inL, edges.inR, edges.outL, edges.outR, count);
            // A mono host's single buffer keeps the left result, as
            // storeSamples leaves it; buffers that overlap otherwise get
            // the samples in storeSamples' order.
            if (outL == outR)
                toFloat(edges.outL, outL + at, count);
            else if (!overlap(outL + at, outR + at, count))
            {
                toFloat(edges.outR, outR + at, count);
                toFloat(edges.outL, outL + at, count);
            }
            else
            {
                for (int i = 0; i < count; ++i)
                    storeSamples(Pair(edges.outL[i], edges.outR[i]), outL + at + i, outR + at + i);
            }
        }
    }

    drive = state.g;
    output = state.h;
    envelope = state.e;
    meters.endBlock();
}

LimiterEngine::Loop LimiterEngine::pickLoop(SimdLevel level, unsigned shape)
{
    if (level == SimdLevel::Avx512)
        return avx512Loop(shape);
    return level == SimdLevel::Avx2 ? avx2Loop(shape) : sse2Loop(shape);
}

void LimiterEngine::process(const float* inL, const float* inR, float* outL, float* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}

void LimiterEngine::process(const double* inL, const double* inR, double* outL, double* outR, int frames)
{
    runKernel(inL, inR, outL, outR, frames);
}
