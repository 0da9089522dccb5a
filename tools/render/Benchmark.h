// --bench: times the plug-in's audio callback on audio held in memory, so
// that only the plug-in call is measured, never file access.
#pragma once

#include <cstdint>
#include <vector>

class PluginHost;

struct BenchmarkFigures
{
    int passes;
    int64_t framesPerPass;
    double bestNsPerFrame;
    double medianNsPerFrame;
    double realTimeFactor; // audio seconds per processing second, from the median pass
};

// Processes `interleaved` (1 or 2 channels) in blocks of `blockSize` frames,
// repeated for at least 3 passes and about 2 s of processing, each pass from
// a reset instance.
BenchmarkFigures runBenchmark(PluginHost& host, const std::vector<double>& interleaved, int channels, int sampleRate,
                              int blockSize, bool useDouble);
