// The text the renderer prints: what it is about to do, and the measurements
// of input and output afterwards.
#pragma once

#include <cstdio>
#include <string>

#include "tools/render/Benchmark.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/LoudnessMeter.h"

struct GainReductionReport
{
    GainReductionFigures figures;
    std::string unavailableReason; // set when no estimate applies (power off, calibration on)
};

void printLoudnessReport(std::FILE* out, const LoudnessFigures& input, const LoudnessFigures& output,
                         const GainReductionReport& gainReduction);

void printBenchmarkReport(std::FILE* out, const BenchmarkFigures& figures, int sampleRate, int channels, int blockSize,
                          bool useDouble);
