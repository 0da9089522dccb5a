#include "tools/render/AudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#define unlink _unlink
#else
#include <unistd.h>
#endif

namespace
{
// The partial files being written, for the interrupt handler: it may read
// only what lives outside any object and can touch no lock, so the paths
// sit in fixed slots that writers claim and clear atomically. A writer that
// finds no free slot still works; only an interrupt would leave its file.
constexpr int kPartialSlots = 512;
std::atomic<const char*> partialFiles[kPartialSlots];

int rememberPartial(const char* path)
{
    for (int i = 0; i < kPartialSlots; ++i)
    {
        const char* empty = nullptr;
        if (partialFiles[i].compare_exchange_strong(empty, path))
            return i;
    }
    return -1;
}

extern "C" void removePartialFiles(int signalNumber)
{
    for (std::atomic<const char*>& slot : partialFiles)
        if (const char* path = slot.load())
            unlink(path);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

// Bits of an integer PCM sample type, 0 for every other type.
int integerBitsOf(int subtype)
{
    switch (subtype)
    {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: return 8;
    case SF_FORMAT_PCM_16: return 16;
    case SF_FORMAT_PCM_24: return 24;
    case SF_FORMAT_PCM_32: return 32;
    default: return 0;
    }
}

std::string lowercase(std::string text)
{
    for (char& c : text)
        c = (char)std::tolower((unsigned char)c);
    return text;
}

std::string extensionOf(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    return lowercase(path.substr(dot + 1));
}

// The container libsndfile associates with an extension, 0 when none.
int majorForExtension(const std::string& extension)
{
    if (extension.empty())
        return 0;
    if (extension == "aif" || extension == "aifc")
        return SF_FORMAT_AIFF;
    if (extension == "wave")
        return SF_FORMAT_WAV;
    if (extension == "oga" || extension == "ogg" || extension == "opus")
        return SF_FORMAT_OGG;
    if (extension == "mp3")
        return SF_FORMAT_MPEG;
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int i = 0; i < count; ++i)
    {
        SF_FORMAT_INFO info{};
        info.format = i;
        sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info);
        if (info.extension && extension == info.extension)
            return info.format & SF_FORMAT_TYPEMASK;
    }
    return 0;
}

// The codec an encoded delivery's extension names; 0 for the others.
int codecForExtension(const std::string& extension)
{
    if (extension == "oga" || extension == "ogg")
        return SF_FORMAT_VORBIS;
    if (extension == "opus")
        return SF_FORMAT_OPUS;
    if (extension == "mp3")
        return SF_FORMAT_MPEG_LAYER_III;
    return 0;
}

std::string subtypeName(int subtype)
{
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    return "sample type " + std::to_string(subtype);
}

std::string majorName(int major)
{
    SF_FORMAT_INFO info{};
    info.format = major;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
        return info.name;
    return "format " + std::to_string(major);
}

bool formatIsValid(int code, int channels, int sampleRate)
{
    SF_INFO info{};
    info.format = code;
    info.channels = channels;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}
} // namespace

int requiredRateFor(const std::string& outputPath)
{
    return codecForExtension(extensionOf(outputPath)) == SF_FORMAT_OPUS ? 48000 : 0;
}

namespace
{
struct TagName
{
    const char* name;
    int type;
};
const TagName kTagNames[] = {
    {"title", SF_STR_TITLE},     {"artist", SF_STR_ARTIST}, {"album", SF_STR_ALBUM},
    {"comment", SF_STR_COMMENT}, {"date", SF_STR_DATE},
};
} // namespace

bool AudioMetadata::set(const std::string& name, const std::string& text)
{
    for (const TagName& tag : kTagNames)
        if (lowercase(name) == tag.name)
        {
            for (auto& entry : strings)
                if (entry.first == tag.type)
                {
                    entry.second = text;
                    return true;
                }
            strings.emplace_back(tag.type, text);
            return true;
        }
    return false;
}

AudioMetadata AudioFileReader::metadata() const
{
    AudioMetadata metadata;
    for (const TagName& tag : kTagNames)
        if (const char* text = sf_get_string(file, tag.type))
            metadata.strings.emplace_back(tag.type, text);
    SF_BROADCAST_INFO info{};
    if (sf_command(file, SFC_GET_BROADCAST_INFO, &info, sizeof info) == SF_TRUE)
    {
        const unsigned char* bytes = (const unsigned char*)&info;
        metadata.broadcast.assign(bytes, bytes + sizeof info);
    }
    return metadata;
}

void AudioFileWriter::setMetadata(const AudioMetadata& metadata)
{
    if (!file)
        return;
    if (metadata.broadcast.size() == sizeof(SF_BROADCAST_INFO))
    {
        SF_BROADCAST_INFO info;
        std::memcpy(&info, metadata.broadcast.data(), sizeof info);
        sf_command(file, SFC_SET_BROADCAST_INFO, &info, sizeof info);
    }
    for (const auto& entry : metadata.strings)
        sf_set_string(file, entry.first, entry.second.c_str());
}

std::string describeFormat(const AudioFormat& format)
{
    return majorName(format.major) + ", " + subtypeName(format.subtype);
}

AudioFormat wave24BitFormat()
{
    AudioFormat format;
    format.major = SF_FORMAT_WAV;
    format.subtype = SF_FORMAT_PCM_24;
    return format;
}

AudioFileReader::~AudioFileReader()
{
    if (file)
        sf_close(file);
}

bool AudioFileReader::open(const std::string& path, std::string& error)
{
    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
    {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    channelCount = info.channels;
    rate = info.samplerate;
    frameCount = info.frames;
    fileFormat.major = info.format & SF_FORMAT_TYPEMASK;
    fileFormat.subtype = info.format & SF_FORMAT_SUBMASK;
    integerBits = integerBitsOf(fileFormat.subtype);
    if (rate <= 0)
    {
        error = "cannot read " + path + ": it gives no sample rate";
        return false;
    }
    return true;
}

int64_t AudioFileReader::read(double* interleaved, int64_t frames, std::string& error)
{
    sf_count_t got = 0;
    if (integerBits)
    {
        // Integers arrive left-justified in 32 bits; 2^-31 is exact for every
        // sample of 32 bits or fewer.
        integerBuffer.resize((size_t)(frames * channelCount));
        got = sf_readf_int(file, integerBuffer.data(), frames);
        const double scale = 1.0 / 2147483648.0;
        for (sf_count_t i = 0; i < got * channelCount; ++i)
            interleaved[i] = integerBuffer[(size_t)i] * scale;
    }
    else
    {
        got = sf_readf_double(file, interleaved, frames);
        // The plug-in and the meters would take an infinity as a peak that
        // silences or outweighs the whole file; the count goes in the report.
        for (sf_count_t i = 0; i < got * channelCount; ++i)
            if (!std::isfinite(interleaved[i]))
            {
                if (nonFinite++ == 0)
                    firstNonFinite = delivered + i / channelCount;
                interleaved[i] = 0.0;
            }
    }
    if (got < frames && sf_error(file) != SF_ERR_NO_ERROR)
    {
        error = std::string("read error: ") + sf_strerror(file);
        return -1;
    }
    delivered += got;
    return got;
}

AudioFileWriter::~AudioFileWriter() { abandon(); }

// The output goes in place by a rename, which would put a regular file where
// a device, a pipe or a socket was (as the superuser, even over /dev/null):
// a name that is taken by anything but a regular file (links followed) is
// refused, and nothing there is touched.
bool outputNameIsFree(const std::string& path, std::string& error)
{
    struct stat existing;
    if (stat(path.c_str(), &existing) != 0)
        return true;
    if (S_ISREG(existing.st_mode))
        return true;
    error = "cannot write " + path + ": " +
            (S_ISDIR(existing.st_mode) ? "it is a folder" : "it is not a regular file (a device, a pipe or a socket)");
    return false;
}

bool AudioFileWriter::create(const std::string& path, int sampleRate, int channels, const AudioFormat& format,
                             std::string& error)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = format.code();
    if (!outputNameIsFree(path, error))
        return false;
    finalPath = path;
    partialPath = path + ".part";
    partialSlot = rememberPartial(partialPath.c_str());
    file = sf_open(partialPath.c_str(), SFM_WRITE, &info);
    if (!file)
    {
        // sf_open may have created the file before failing (a full disk).
        error = "cannot write " + path + ": " + sf_strerror(nullptr);
        std::remove(partialPath.c_str());
        forgetPartial();
        return false;
    }
    // A PEAK chunk carries the time it was written: the same render would
    // never give the same bytes twice.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    // Encoders take their quality (and FLAC its compression level) as 0..1
    // before the first sample.
    double quality = std::isnan(format.quality) ? kDefaultEncodingQuality : format.quality;
    if (isEncoded(format))
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    else if (format.major == SF_FORMAT_FLAC && !std::isnan(format.quality))
        sf_command(file, SFC_SET_COMPRESSION_LEVEL, &quality, sizeof quality);
    channelCount = channels;
    integerBits = integerBitsOf(format.subtype);
    return true;
}

bool AudioFileWriter::write(const double* interleaved, int64_t frames, std::string& error)
{
    sf_count_t written = 0;
    if (integerBits)
    {
        // Round to the file's grid and saturate, then left-justify.
        const double full = std::ldexp(1.0, integerBits - 1);
        const int shift = 32 - integerBits;
        integerBuffer.resize((size_t)(frames * channelCount));
        for (int64_t i = 0; i < frames * channelCount; ++i)
        {
            double q = std::nearbyint(interleaved[i] * full);
            q = std::clamp(q, -full, full - 1.0);
            integerBuffer[(size_t)i] = (int32_t)((int64_t)q * ((int64_t)1 << shift));
        }
        written = sf_writef_int(file, integerBuffer.data(), frames);
    }
    else
        written = sf_writef_double(file, interleaved, frames);
    if (written != frames)
    {
        error = "cannot write " + finalPath + ": " + sf_strerror(file);
        return false;
    }
    return true;
}

bool AudioFileWriter::close(std::string& error)
{
    if (!file)
        return false;
    int status = sf_close(file);
    file = nullptr;
    if (status != 0)
    {
        error = "cannot finish " + finalPath + ": " + sf_error_number(status);
        std::remove(partialPath.c_str());
        forgetPartial();
        return false;
    }
    if (std::rename(partialPath.c_str(), finalPath.c_str()) != 0)
    {
        error = "cannot rename " + partialPath + " to " + finalPath;
        std::remove(partialPath.c_str());
        forgetPartial();
        return false;
    }
    // Forgotten only after the rename, so that an interrupt in between
    // finds at worst a name that is gone.
    forgetPartial();
    return true;
}

void AudioFileWriter::abandon()
{
    if (!file)
        return;
    sf_close(file);
    file = nullptr;
    std::remove(partialPath.c_str());
    forgetPartial();
}

void AudioFileWriter::forgetPartial()
{
    if (partialSlot >= 0)
        partialFiles[partialSlot].store(nullptr);
    partialSlot = -1;
}

void removePartialFilesOnInterrupt()
{
    std::signal(SIGINT, removePartialFiles);
    std::signal(SIGTERM, removePartialFiles);
}

bool checkWritable(const std::string& path, std::string& error)
{
    if (!outputNameIsFree(path, error))
        return false;
    const std::string partial = path + ".part";
    std::FILE* probe = std::fopen(partial.c_str(), "wb");
    if (!probe)
    {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    std::remove(partial.c_str());
    return true;
}

bool chooseOutputFormat(const AudioFormat& input, const std::string& outputPath, OutputBits bits, int channels,
                        int sampleRate, AudioFormat& output, std::string& note, std::string& error)
{
    const std::string extension = extensionOf(outputPath);
    output.major = majorForExtension(extension);
    if (!extension.empty() && !output.major)
    {
        error = "qdx-render does not write ." + extension + " files (" + outputPath +
                "); name the output .wav, .aiff, .flac, .ogg, .opus, .mp3 or another extension of libsndfile";
        return false;
    }
    if (!output.major)
        output.major = input.major;
    if (int codec = codecForExtension(extension))
    {
        output.subtype = codec;
        if (bits != OutputBits::followInput)
        {
            error = subtypeName(codec) + " is an encoded format without a word length: leave out --bits (" +
                    outputPath + ")";
            return false;
        }
        if (codec == SF_FORMAT_OPUS && sampleRate != 48000)
        {
            error = "Opus is encoded at 48000 Hz only: add --rate 48000 (" + outputPath + ")";
            return false;
        }
        if (formatIsValid(output.code(), channels, sampleRate))
            return true;
        error = "this libsndfile cannot encode " + subtypeName(codec) + " at " + std::to_string(sampleRate) + " Hz (" +
                outputPath + ")";
        return false;
    }
    switch (bits)
    {
    case OutputBits::pcm16: output.subtype = SF_FORMAT_PCM_16; break;
    case OutputBits::pcm24: output.subtype = SF_FORMAT_PCM_24; break;
    case OutputBits::pcm32: output.subtype = SF_FORMAT_PCM_32; break;
    case OutputBits::float32: output.subtype = SF_FORMAT_FLOAT; break;
    case OutputBits::followInput: output.subtype = input.subtype; break;
    }
    if (formatIsValid(output.code(), channels, sampleRate))
        return true;
    if (bits != OutputBits::followInput)
    {
        error =
            majorName(output.major) + " cannot hold " + subtypeName(output.subtype) + " samples (" + outputPath + ")";
        return false;
    }
    // The input's sample type does not exist in this container: keep as much
    // resolution as the container allows.
    const int fallbacks[] = {SF_FORMAT_FLOAT, SF_FORMAT_PCM_24, SF_FORMAT_PCM_16, SF_FORMAT_VORBIS};
    const int wanted = output.subtype;
    for (int subtype : fallbacks)
    {
        output.subtype = subtype;
        if (formatIsValid(output.code(), channels, sampleRate))
        {
            note = majorName(output.major) + " cannot hold " + subtypeName(wanted) + " samples; writing " +
                   subtypeName(subtype);
            return true;
        }
    }
    error = "no sample type of " + majorName(output.major) + " can hold this audio (" + outputPath + ")";
    return false;
}

bool isEncoded(const AudioFormat& format)
{
    return format.subtype == SF_FORMAT_VORBIS || format.subtype == SF_FORMAT_OPUS ||
           format.subtype == SF_FORMAT_MPEG_LAYER_III;
}

int integerBitsOfFormat(const AudioFormat& format) { return integerBitsOf(format.subtype); }

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
