// Audio files through libsndfile, always as interleaved doubles.
//
// Integer PCM is converted by this class, not by libsndfile: libsndfile
// reads 16-bit samples as s / 32768 but writes floats back as x * 32767, so
// a file would not survive a round trip sample for sample. Here both
// directions use 2^(bits-1), which keeps integer samples exact and matches
// the grid of the plug-in's own requantizer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/render/RenderOptions.h"

struct sf_private_tag;

// A libsndfile format code: container (major) and sample type (subtype).
struct AudioFormat
{
    int major = 0;
    int subtype = 0;
    // The encoder's quality, or FLAC's compression level, 0..1 (--quality
    // divided by 10); NaN for the default.
    double quality = NAN;
    int code() const { return major | subtype; }
};

std::string describeFormat(const AudioFormat& format);

// The tags a delivery keeps from its input: title, artist, album, comment and
// date strings, and a WAV file's broadcast extension chunk. Stored where the
// output's container can hold them.
struct AudioMetadata
{
    std::vector<std::pair<int, std::string>> strings; // libsndfile string type, text
    std::vector<unsigned char> broadcast;             // the chunk's bytes; empty: none

    // Sets or replaces one string, by its name (title, artist, album,
    // comment, date). Returns false for another name.
    bool set(const std::string& name, const std::string& text);
};
// WAV with 24-bit samples: what the demo input is written as.
AudioFormat wave24BitFormat();

class AudioFileReader
{
public:
    AudioFileReader() = default;
    ~AudioFileReader();
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    bool open(const std::string& path, std::string& error);
    int channels() const { return channelCount; }
    int sampleRate() const { return rate; }
    int64_t frames() const { return frameCount; }
    const AudioFormat& format() const { return fileFormat; }
    AudioMetadata metadata() const;

    // Reads up to `frames` frames into `interleaved`; returns the number read
    // (0 at the end). A read error sets `error` and returns -1. Samples that
    // are not numbers (NaN, infinity) arrive as 0 and are counted.
    int64_t read(double* interleaved, int64_t frames, std::string& error);

    // What the reads so far have delivered and found.
    int64_t framesRead() const { return delivered; }
    int64_t nonFiniteSamples() const { return nonFinite; }
    int64_t firstNonFiniteFrame() const { return firstNonFinite; }

private:
    sf_private_tag* file = nullptr;
    int channelCount = 0;
    int rate = 0;
    int64_t frameCount = 0;
    AudioFormat fileFormat;
    int integerBits = 0; // bits of integer PCM, 0 for anything else
    std::vector<int32_t> integerBuffer;
    int64_t delivered = 0;
    int64_t nonFinite = 0;
    int64_t firstNonFinite = -1;
};

// Writes to PATH.part and renames it to PATH on close(), so a failed render
// leaves neither a truncated file nor a damaged earlier one. The partial
// file is removed on every failure, and on SIGINT or SIGTERM once
// removePartialFilesOnInterrupt() has been called.
class AudioFileWriter
{
public:
    AudioFileWriter() = default;
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    bool create(const std::string& path, int sampleRate, int channels, const AudioFormat& format, std::string& error);
    // Before the first write. What the container cannot hold is left out.
    void setMetadata(const AudioMetadata& metadata);
    bool write(const double* interleaved, int64_t frames, std::string& error);
    bool close(std::string& error);
    // Closes and deletes the partial file.
    void abandon();

private:
    void forgetPartial();

    sf_private_tag* file = nullptr;
    std::string finalPath, partialPath;
    int partialSlot = -1; // in the list the interrupt handler removes
    int channelCount = 0;
    int integerBits = 0;
    std::vector<int32_t> integerBuffer;
};

// Installs the SIGINT and SIGTERM handler that removes the partial files
// of the writers still open, then ends the program as the signal would.
void removePartialFilesOnInterrupt();

// Empty error when OUTPUT's name is free for the written file: nothing is
// there yet, or a regular file that the new one replaces.
bool outputNameIsFree(const std::string& path, std::string& error);

// Whether OUTPUT can be written: its partial file is created and removed
// again, so that a missing or read-only folder is found before any work.
bool checkWritable(const std::string& path, std::string& error);

// The container for OUTPUT from its extension, or the input's when there is
// no extension; an extension libsndfile does not write is refused, so that
// no file carries another format under a wrong name; the sample type from --bits or the input's. When the
// input's sample type does not fit the container (float into FLAC) the
// nearest one is taken and `note` says so. Returns false with a message when
// no valid format results (an unknown extension, an explicit --bits the
// container cannot hold).
bool chooseOutputFormat(const AudioFormat& input, const std::string& outputPath, OutputBits bits, int channels,
                        int sampleRate, AudioFormat& output, std::string& note, std::string& error);

// A sample rounded to the grid of `bits`-bit integers and saturated, as the
// writer stores it; integer samples of that grid pass unchanged.
inline double roundToIntegerGrid(double sample, int bits)
{
    const double full = std::ldexp(1.0, bits - 1);
    return std::clamp(std::nearbyint(sample * full), -full, full - 1.0) / full;
}

// Vorbis, Opus and MP3: what is decoded differs from what was written.
bool isEncoded(const AudioFormat& format);

// The one rate a delivery's format allows (48000 for Opus), else 0: the
// input is converted to it when --rate does not name one.
int requiredRateFor(const std::string& outputPath);

// The lossy encoders' quality when --quality is not given: high enough
// that a delivery sounds as its master.
constexpr double kDefaultEncodingQuality = 0.8;

// Bits of the output's integer sample type (8, 16, 24, 32), 0 for float.
int integerBitsOfFormat(const AudioFormat& format);

// True when both paths name the same existing file.
bool sameFile(const std::string& a, const std::string& b);
