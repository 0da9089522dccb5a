// Streams a file through the plug-in block by block: reads, processes,
// lines the output up with the input, writes, and feeds the meters.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class AudioFileReader;
class AudioFileWriter;
class GainReductionEstimator;
class LoudnessMeter;
class PluginHost;

struct RenderSettings
{
    bool align = true;      // drop the latency at the start, flush it at the end
    bool useDouble = false; // the 64-bit callback
    int blockSize = 512;
    bool showProgress = true; // a bar on a terminal; off for passes that run side by side
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

// Collects the output in memory. With `integerBits` set it rounds each
// sample to that grid, as the file writer will, so that what is measured
// is exactly what lands in the file.
class MemorySink : public FrameSink
{
public:
    explicit MemorySink(int integerBits = 0) : integerBits(integerBits) {}
    bool write(const double* interleaved, int64_t count, std::string& error) override;
    std::vector<double> samples;
    int channels = 2;

private:
    int integerBits;
};

struct RenderMeters
{
    LoudnessMeter* input;
    LoudnessMeter* output;
    GainReductionEstimator* gainReduction; // may be null
};

// Processes all of `reader` into `writer` with the instance as configured
// (sample rate, parameters); starts and stops its processing. Mono files use
// only the left input and output. Returns false with a message on an I/O error.
bool renderFile(PluginHost& host, AudioFileReader& reader, AudioFileWriter& writer, const RenderSettings& settings,
                const RenderMeters& meters, std::string& error);
bool renderFrames(PluginHost& host, FrameSource& source, FrameSink& sink, const RenderSettings& settings,
                  const RenderMeters& meters, std::string& error);
