// Streams a file through the plug-in block by block: reads, processes,
// lines the output up with the input, writes, and feeds the meters.
#pragma once

#include <string>

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
