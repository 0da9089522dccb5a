#include "tools/render/Benchmark.h"

#include <algorithm>
#include <chrono>

#include "tools/render/PluginHost.h"

namespace
{
constexpr int kMinimumPasses = 3;
constexpr int kMaximumPasses = 50;
constexpr double kTargetSeconds = 2.0;

template <typename Sample>
double timePass(PluginHost& host, std::vector<Sample>& left, std::vector<Sample>& right, int channels, int blockSize)
{
    const int64_t frames = (int64_t)left.size();
    std::vector<Sample> outLeft(blockSize), outRight(blockSize);
    host.startProcessing();
    auto start = std::chrono::steady_clock::now();
    for (int64_t at = 0; at < frames; at += blockSize)
    {
        int n = (int)std::min<int64_t>(blockSize, frames - at);
        Sample* inputs[2] = {left.data() + at, (channels == 2 ? right.data() : left.data()) + at};
        Sample* outputs[2] = {outLeft.data(), outRight.data()};
        host.process(inputs, outputs, n);
    }
    auto stop = std::chrono::steady_clock::now();
    host.stopProcessing();
    return std::chrono::duration<double>(stop - start).count();
}

template <typename Sample>
BenchmarkFigures benchmarkWith(PluginHost& host, const std::vector<double>& interleaved, int channels, int sampleRate,
                               int blockSize)
{
    const int64_t frames = (int64_t)interleaved.size() / channels;
    std::vector<Sample> left((size_t)frames), right(channels == 2 ? (size_t)frames : 0);
    for (int64_t f = 0; f < frames; ++f)
    {
        left[(size_t)f] = (Sample)interleaved[(size_t)(f * channels)];
        if (channels == 2)
            right[(size_t)f] = (Sample)interleaved[(size_t)(f * channels + 1)];
    }
    std::vector<double> seconds;
    double total = 0.0;
    while ((int)seconds.size() < kMinimumPasses || (total < kTargetSeconds && (int)seconds.size() < kMaximumPasses))
    {
        seconds.push_back(timePass(host, left, right, channels, blockSize));
        total += seconds.back();
    }
    std::sort(seconds.begin(), seconds.end());
    double median = seconds[seconds.size() / 2];
    BenchmarkFigures figures{};
    figures.passes = (int)seconds.size();
    figures.framesPerPass = frames;
    if (frames > 0)
    {
        figures.bestNsPerFrame = seconds.front() * 1e9 / (double)frames;
        figures.medianNsPerFrame = median * 1e9 / (double)frames;
        figures.realTimeFactor = median > 0.0 ? ((double)frames / sampleRate) / median : 0.0;
    }
    return figures;
}
} // namespace

BenchmarkFigures runBenchmark(PluginHost& host, const std::vector<double>& interleaved, int channels, int sampleRate,
                              int blockSize, bool useDouble)
{
    if (useDouble)
        return benchmarkWith<double>(host, interleaved, channels, sampleRate, blockSize);
    return benchmarkWith<float>(host, interleaved, channels, sampleRate, blockSize);
}
