#include "tools/render/Renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/render/AudioFile.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/PluginHost.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/ReconstructedPeak.h"

namespace
{
// The plug-in's output frame k belongs to input frame k - latency. The
// history keeps the input frames that are still waiting for their output.
class InputHistory
{
public:
    InputHistory(int channels, int64_t capacityFrames)
        : channels(channels),
          capacity(capacityFrames),
          frames((size_t)(capacityFrames * channels), 0.0)
    {}
    void store(int64_t frame, const double* interleaved)
    {
        std::copy(interleaved, interleaved + channels, &frames[(size_t)((frame % capacity) * channels)]);
    }
    const double* at(int64_t frame) const { return &frames[(size_t)((frame % capacity) * channels)]; }

private:
    int channels;
    int64_t capacity;
    std::vector<double> frames;
};

template <typename Sample>
class BlockProcessor
{
public:
    BlockProcessor(PluginHost& host, int channels, int blockSize)
        : host(host),
          channels(channels),
          inLeft(blockSize),
          inRight(blockSize),
          outLeft(blockSize),
          outRight(blockSize)
    {}

    // One plug-in call: interleaved doubles in, interleaved doubles out.
    void process(const double* in, double* out, int frames)
    {
        for (int f = 0; f < frames; ++f)
        {
            inLeft[f] = (Sample)in[f * channels];
            inRight[f] = (Sample)in[f * channels + channels - 1];
        }
        // Outputs the plug-in leaves untouched (the 64-bit callback while
        // the calibration generator is on) come out silent.
        std::fill(outLeft.begin(), outLeft.begin() + frames, Sample(0));
        std::fill(outRight.begin(), outRight.begin() + frames, Sample(0));
        // A mono file: the host reports the right pins unconnected, and the
        // right buffers alias the left input so that a plug-in that ignores
        // the pins still processes the left channel.
        Sample* inputs[2] = {inLeft.data(), channels == 2 ? inRight.data() : inLeft.data()};
        Sample* outputs[2] = {outLeft.data(), outRight.data()};
        host.process(inputs, outputs, frames);
        for (int f = 0; f < frames; ++f)
        {
            out[f * channels] = (double)outLeft[f];
            if (channels == 2)
                out[f * channels + 1] = (double)outRight[f];
        }
    }

private:
    PluginHost& host;
    int channels;
    std::vector<Sample> inLeft, inRight, outLeft, outRight;
};

class FileSource : public FrameSource
{
public:
    explicit FileSource(AudioFileReader& reader) : reader(reader) {}
    int channels() const override { return reader.channels(); }
    int64_t frames() const override { return reader.frames(); }
    int64_t read(double* interleaved, int64_t count, std::string& error) override
    {
        return reader.read(interleaved, count, error);
    }

private:
    AudioFileReader& reader;
};

class FileSink : public FrameSink
{
public:
    explicit FileSink(AudioFileWriter& writer) : writer(writer) {}
    bool write(const double* interleaved, int64_t count, std::string& error) override
    {
        return writer.write(interleaved, count, error);
    }

private:
    AudioFileWriter& writer;
};

template <typename Sample>
bool renderWith(PluginHost& host, FrameSource& reader, FrameSink& writer, const RenderSettings& settings,
                const RenderMeters& meters, std::string& error)
{
    const int channels = reader.channels();
    const int block = settings.blockSize;
    const int64_t latency = std::max(0, host.latency());
    BlockProcessor<Sample> processor(host, channels, block);
    // Only the gain-reduction estimate pairs input with output frames.
    InputHistory history(channels, meters.gainReduction ? latency + block : 1);
    std::vector<double> in((size_t)block * channels), out((size_t)block * channels);

    ProgressBar progress("Rendering", reader.frames(), settings.showProgress);
    host.startProcessing();
    int64_t fed = 0;        // frames given to the plug-in, file and flush
    int64_t fileFrames = 0; // frames read from the file
    int64_t flushLeft = latency;
    bool inFlush = false;
    for (;;)
    {
        int frames = 0;
        if (!inFlush)
        {
            int64_t got = reader.read(in.data(), block, error);
            if (got < 0)
                return false;
            frames = (int)got;
            if (frames == 0)
                inFlush = true;
            else
            {
                fileFrames += frames;
                if (meters.input)
                    meters.input->add(in.data(), frames);
            }
        }
        if (inFlush)
        {
            // The latency's worth of silence pushes the last input frames out.
            if (flushLeft == 0)
                break;
            frames = (int)std::min<int64_t>(block, flushLeft);
            flushLeft -= frames;
            std::fill(in.begin(), in.begin() + (size_t)frames * channels, 0.0);
        }

        if (meters.gainReduction)
            for (int f = 0; f < frames; ++f)
                history.store(fed + f, &in[(size_t)f * channels]);
        processor.process(in.data(), out.data(), frames);

        // Output frame k = fed + f pairs with input frame k - latency.
        int firstKept = 0, lastKept = frames; // the written range [firstKept, lastKept)
        if (settings.align)
            firstKept = (int)std::clamp<int64_t>(latency - fed, 0, frames);
        else if (inFlush)
            lastKept = 0;
        if (meters.gainReduction)
            for (int f = (int)std::clamp<int64_t>(latency - fed, 0, frames); f < frames; ++f)
                meters.gainReduction->add(history.at(fed + f - latency), &out[(size_t)f * channels], 1);
        if (lastKept > firstKept)
        {
            const double* kept = &out[(size_t)firstKept * channels];
            if (!writer.write(kept, lastKept - firstKept, error))
                return false;
            if (meters.output)
                meters.output->add(kept, lastKept - firstKept);
            if (meters.reconstructed)
                meters.reconstructed->add(kept, lastKept - firstKept);
        }
        fed += frames;
        progress.update(fileFrames);
        if (settings.progress && !inFlush)
            settings.progress->add(frames);
    }
    host.stopProcessing();
    progress.finish();
    return true;
}
} // namespace

int64_t MemorySource::read(double* interleaved, int64_t count, std::string&)
{
    const int64_t n = std::min(count, frames() - position);
    std::copy(samples.begin() + (size_t)(position * channelCount),
              samples.begin() + (size_t)((position + n) * channelCount), interleaved);
    position += n;
    return n;
}

MemorySink::MemorySink(int channels, int integerBits, bool asDoubles, PassAudio&& reuse, int64_t expectedFrames)
    : audio(std::move(reuse)),
      integerBits(integerBits)
{
    audio.channels = channels;
    audio.asDoubles = asDoubles;
    audio.floats.clear();
    audio.doubles.clear();
    if (asDoubles)
        audio.doubles.reserve((size_t)(expectedFrames * channels));
    else
        audio.floats.reserve((size_t)(expectedFrames * channels));
}

bool MemorySink::write(const double* interleaved, int64_t count, std::string&)
{
    const size_t n = (size_t)(count * audio.channels);
    // The writer's grid (roundToIntegerGrid), with its scale worked out once.
    const double full = integerBits ? std::ldexp(1.0, integerBits - 1) : 1.0;
    auto onGrid = [&](double sample) {
        return integerBits ? std::clamp(std::nearbyint(sample * full), -full, full - 1.0) / full : sample;
    };
    // Converted into a scratch block, then appended: growing the stored
    // vector element by element would first fill it with zeros.
    if (audio.asDoubles)
    {
        scratchDoubles.resize(n);
        for (size_t i = 0; i < n; ++i)
            scratchDoubles[i] = onGrid(interleaved[i]);
        audio.doubles.insert(audio.doubles.end(), scratchDoubles.begin(), scratchDoubles.end());
    }
    else
    {
        scratchFloats.resize(n);
        for (size_t i = 0; i < n; ++i)
            scratchFloats[i] = (float)onGrid(interleaved[i]);
        audio.floats.insert(audio.floats.end(), scratchFloats.begin(), scratchFloats.end());
    }
    return true;
}

bool renderFrames(PluginHost& host, FrameSource& source, FrameSink& sink, const RenderSettings& settings,
                  const RenderMeters& meters, std::string& error)
{
    if (settings.useDouble)
        return renderWith<double>(host, source, sink, settings, meters, error);
    return renderWith<float>(host, source, sink, settings, meters, error);
}

bool renderFile(PluginHost& host, AudioFileReader& reader, AudioFileWriter& writer, const RenderSettings& settings,
                const RenderMeters& meters, std::string& error)
{
    FileSource source(reader);
    FileSink sink(writer);
    return renderFrames(host, source, sink, settings, meters, error);
}
