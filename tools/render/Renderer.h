// Streams a file through the plug-in block by block: reads, processes,
// lines the output up with the input, writes, and feeds the meters.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

class AudioFileReader;
class AudioFileWriter;
class GainReductionEstimator;
class LoudnessMeter;
class PluginHost;
class ReconstructedPeak;
class SharedProgress;

struct RenderSettings
{
    bool align = true;      // drop the latency at the start, flush it at the end
    bool useDouble = false; // the 64-bit callback
    int blockSize = 512;
    bool showProgress = false;          // a bar on stderr; off for passes that run side by side
    SharedProgress* progress = nullptr; // the bar of passes that run side by side, if any
};

// Where the frames of a render come from and go to: a file, or memory for
// the passes of a search, which read the input once and write nothing until
// the settings are found.
class FrameSource
{
public:
    virtual ~FrameSource() = default;
    virtual int channels() const = 0;
    virtual int64_t frames() const = 0;
    // Up to `count` interleaved frames; 0 at the end, -1 with `error` set.
    virtual int64_t read(double* interleaved, int64_t count, std::string& error) = 0;
};

class FrameSink
{
public:
    virtual ~FrameSink() = default;
    virtual bool write(const double* interleaved, int64_t count, std::string& error) = 0;
};

// A whole file held in memory as interleaved doubles, read from the start
// by each pass through its own cursor.
class MemorySource : public FrameSource
{
public:
    MemorySource(const std::vector<double>& samples, int channels) : samples(samples), channelCount(channels) {}
    int channels() const override { return channelCount; }
    int64_t frames() const override { return (int64_t)samples.size() / channelCount; }
    int64_t read(double* interleaved, int64_t count, std::string& error) override;

private:
    const std::vector<double>& samples;
    int channelCount;
    int64_t position = 0;
};

// A rendered stream held in memory: as floats where that loses nothing
// (the 32-bit callback's output, on a grid of 24 bits or coarser), which
// halves what a long track takes and the time spent moving it; else as
// doubles.
struct PassAudio
{
    int channels = 2;
    bool asDoubles = false;
    std::vector<float> floats;
    std::vector<double> doubles;

    int64_t frames() const { return (int64_t)(asDoubles ? doubles.size() : floats.size()) / channels; }
    // Hands consecutive stretches to `use(firstFrame, interleaved, frames)`.
    template <typename Use>
    void forEachStretch(Use use) const
    {
        constexpr int64_t kStretch = 8192;
        std::vector<double> buffer(asDoubles ? 0 : (size_t)(kStretch * channels));
        for (int64_t first = 0; first < frames(); first += kStretch)
        {
            const int64_t n = std::min<int64_t>(kStretch, frames() - first);
            const size_t at = (size_t)(first * channels);
            if (asDoubles)
                use(first, doubles.data() + at, n);
            else
            {
                std::copy(floats.begin() + (long)at, floats.begin() + (long)(at + (size_t)(n * channels)),
                          buffer.begin());
                use(first, buffer.data(), n);
            }
        }
    }
};

// Collects the output in memory. With `integerBits` set it rounds each
// sample to that grid, as the file writer will, so that what is measured
// is exactly what lands in the file.
class MemorySink : public FrameSink
{
public:
    // `reuse` lends its storage, already touched, to this pass.
    MemorySink(int channels, int integerBits, bool asDoubles, PassAudio&& reuse, int64_t expectedFrames);
    bool write(const double* interleaved, int64_t count, std::string& error) override;
    PassAudio audio;

private:
    int integerBits;
    std::vector<float> scratchFloats;
    std::vector<double> scratchDoubles;
};

struct RenderMeters
{
    LoudnessMeter* input;
    LoudnessMeter* output;
    GainReductionEstimator* gainReduction;      // may be null
    ReconstructedPeak* reconstructed = nullptr; // the output's true peak by ideal reconstruction; may be null
};

// Processes all of `reader` into `writer` with the instance as configured
// (sample rate, parameters); starts and stops its processing. Mono files use
// only the left input and output. Returns false with a message on an I/O error.
bool renderFile(PluginHost& host, AudioFileReader& reader, AudioFileWriter& writer, const RenderSettings& settings,
                const RenderMeters& meters, std::string& error);
bool renderFrames(PluginHost& host, FrameSource& source, FrameSink& sink, const RenderSettings& settings,
                  const RenderMeters& meters, std::string& error);
