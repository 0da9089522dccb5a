#include "tools/render/Mastering.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "effect/ParameterTable.h"
#include "tools/render/AudioFile.h"
#include "tools/render/DeliveryTargets.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/LoudnessSearch.h"
#include "tools/render/PluginHost.h"
#include "tools/render/PresetFileOptions.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderReport.h"
#include "tools/render/RenderSetup.h"
#include "tools/render/Renderer.h"

namespace
{
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// dB spans of the plug-in's gain parameters: Drive 2^(8(v - 0.5)),
// Output 2^(2(v - 1)).
constexpr double kDriveSpanDb = 48.16479930623699;
constexpr double kOutputSpanDb = 12.041199826559248;

// The plug-in's constructor reads the metering preferences from the
// registry store; instances are created one at a time.
std::mutex loadMutex;
// Lines from workers are printed whole.
std::mutex printMutex;

using Clock = std::chrono::steady_clock;

// Output buffers of passes, handed on from pass to pass: a fresh buffer of
// a long track costs more in page faults than the copy into it.
class BufferPool
{
public:
    PassAudio take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (free.empty())
            return {};
        PassAudio buffer = std::move(free.back());
        free.pop_back();
        return buffer;
    }
    void give(PassAudio&& buffer)
    {
        if (buffer.floats.capacity() == 0 && buffer.doubles.capacity() == 0)
            return;
        std::lock_guard<std::mutex> lock(mutex);
        free.push_back(std::move(buffer));
    }

private:
    std::mutex mutex;
    std::vector<PassAudio> free;
};
BufferPool bufferPool;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// "2.41 s (4.02 s CPU)": the processor time of all threads beside the wall
// time shows what a busy machine took away.
std::string timing(Clock::time_point since)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s (%.2f s CPU)", seconds(since), (double)std::clock() / CLOCKS_PER_SEC);
    return text;
}

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "qdx-render: error: %s\n", message.c_str());
    return status;
}

std::string number(double value, int decimals, bool sign = false)
{
    char text[32];
    if (std::isinf(value))
        std::snprintf(text, sizeof text, "%s", value < 0 ? "-inf" : "inf");
    else
        std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value);
    return text;
}

double parameterDb(PluginHost& host, const char* name, double span, double zeroAt)
{
    int index = host.findParameter(name);
    return index < 0 ? 0.0 : ((double)host.getParameter(index) - zeroAt) * span;
}

struct Track
{
    std::string inputPath, outputPath, name;
    int channels = 0, rate = 0;
    AudioFormat outputFormat;
    std::vector<double> input;
    std::unique_ptr<LoudnessMeter> inputMeter;
    LoudnessFigures inputFigures{};

    bool failed = false;
    std::string error;
    PassAudio output; // the pass that met the target
    std::unique_ptr<LoudnessMeter> outputMeter;
    LoudnessFigures outputFigures{};
    GainReductionReport gainReduction{{false, 0.0, 0.0}, ""};
    double expectedGain = 1.0;
    std::vector<std::string> notes;
    PassSettings settings;
    int passes = 0;
    std::string passLog;
};

struct PassResult
{
    bool ok = false;
    std::string error;
    PassAudio output;
    std::unique_ptr<LoudnessMeter> meter;
    LoudnessFigures figures{};
    GainReductionReport gainReduction{{false, 0.0, 0.0}, ""};
    double expectedGain = 1.0;
    std::vector<std::string> notes;
};

// What the program and --set say before any search, and whether the
// plug-in has a true-peak guard to switch on.
struct StartingPoint
{
    double driveDb = 0.0;
    double outputDb = 0.0;
    bool guarded = false;
};

void runInParallel(int workers, size_t jobs, const std::function<void(size_t)>& job)
{
    workers = (int)std::min<size_t>((size_t)std::max(1, workers), jobs);
    if (workers <= 1)
    {
        for (size_t i = 0; i < jobs; ++i)
            job(i);
        return;
    }
    std::atomic<size_t> next{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < workers; ++w)
        threads.emplace_back([&] {
            for (size_t i = next++; i < jobs; i = next++)
                job(i);
        });
    for (std::thread& t : threads)
        t.join();
}

bool loadConfigured(PluginHost& host, const MasteringSession& s, int channels, int rate, std::string& error)
{
    {
        std::lock_guard<std::mutex> lock(loadMutex);
        if (!loadPlugin(host, s.options, s.argv0, channels == 1, error))
            return false;
    }
    if (s.options.useDouble && !host.canProcessDouble())
    {
        error = "the plug-in offers no 64-bit processing (--double)";
        return false;
    }
    host.setSampleRate((float)rate);
    host.setBlockSize(s.options.blockSize);
    return applySettings(host, s.options, s.program, error);
}

// The settings of a delivery on top of the program: the Output is the
// ceiling (so no automatic output gain), the true peak held by the guard
// or, without one, by the half-sample detector and a measured margin.
void applyDelivery(PluginHost& host, const RenderOptions& options, const PassSettings& pass,
                   std::vector<std::string>& notes)
{
    if (parameterText(host, kParameterTable[kAutoOut].name) == "on")
    {
        host.setParameter(host.findParameter(kParameterTable[kAutoOut].name), 0.0f);
        notes.push_back("AutoOut switched off: the Output gain is the ceiling");
    }
    if (!std::isnan(options.truePeak))
    {
        int guard = host.findParameter(kParameterTable[kTruePeakGuard].name);
        if (guard >= 0)
        {
            host.setParameter(guard, 1.0f);
            notes.push_back("true peak held by the plug-in's TP Guard");
        }
        else
        {
            host.setParameter(host.findParameter(kParameterTable[kOversample].name), 1.0f);
            notes.push_back("true peak: no TP Guard in this plug-in; Oversample on and the ceiling lowered by "
                            "the measured overshoot");
        }
    }
    host.setParameter(host.findParameter(kParameterTable[kDrive].name), (float)(pass.driveDb / kDriveSpanDb + 0.5));
    host.setParameter(host.findParameter(kParameterTable[kOutput].name), (float)(1.0 + pass.outputDb / kOutputSpanDb));
}

// One full pass of the plug-in over the track in memory.
void runPass(const MasteringSession& s, const Track& track, const PassSettings* pass, PassResult& result)
{
    // Instances are closed one at a time too, as they were created.
    std::unique_ptr<PluginHost, void (*)(PluginHost*)> instance(new PluginHost, [](PluginHost* h) {
        std::lock_guard<std::mutex> lock(loadMutex);
        delete h;
    });
    PluginHost& host = *instance;
    if (!loadConfigured(host, s, track.channels, track.rate, result.error))
        return;
    std::string wordLength = configureWordLength(host, s.options, integerBitsOfFormat(track.outputFormat));
    if (!wordLength.empty())
        result.notes.push_back("word length " + wordLength);
    if (pass)
        applyDelivery(host, s.options, *pass, result.notes);
    result.gainReduction = gainReductionSetup(host, result.expectedGain);

    MemorySource source(track.input, track.channels);
    // Floats hold the 32-bit callback's output exactly, also rounded to a
    // grid of 24 bits or fewer; a 32-bit grid or the 64-bit callback need doubles.
    const int bits = integerBitsOfFormat(track.outputFormat);
    MemorySink sink(track.channels, bits, s.options.useDouble || bits > 24, bufferPool.take(),
                    (int64_t)track.input.size() / track.channels);
    result.meter = std::make_unique<LoudnessMeter>(track.channels, track.rate);
    RenderSettings settings{s.options.align, s.options.useDouble, s.options.blockSize, false};
    RenderMeters meters{nullptr, result.meter.get(), nullptr};
    if (!renderFrames(host, source, sink, settings, meters, result.error))
        return;
    result.figures = result.meter->figures();
    result.output = std::move(sink.audio);
    result.ok = true;
}

// Reads the input into memory and measures it; picks the output format.
// libsndfile keeps the message of a failed open in one global place.
std::mutex openMutex;

bool readTrack(Track& track, const RenderOptions& options)
{
    AudioFileReader reader;
    {
        std::lock_guard<std::mutex> lock(openMutex);
        if (!reader.open(track.inputPath, track.error))
            return false;
    }
    if (!checkInput(reader, track.inputPath, track.error))
        return false;
    track.channels = reader.channels();
    track.rate = reader.sampleRate();
    std::string note;
    if (!chooseOutputFormat(reader.format(), track.outputPath, options.bits, track.channels, track.rate,
                            track.outputFormat, note, track.error))
        return false;
    if (!note.empty())
        warn(note);
    track.input.reserve((size_t)(reader.frames() * track.channels));
    if (!readWholeFile(reader, track.input, track.error))
        return false;
    track.inputMeter = std::make_unique<LoudnessMeter>(track.channels, track.rate);
    track.inputMeter->add(track.input.data(), (int64_t)track.input.size() / track.channels);
    track.inputFigures = track.inputMeter->figures();
    return true;
}

void takePass(Track& track, PassResult& result, const PassSettings& settings)
{
    bufferPool.give(std::move(track.output));
    track.output = std::move(result.output);
    track.outputMeter = std::move(result.meter);
    track.outputFigures = result.figures;
    track.gainReduction = result.gainReduction;
    track.expectedGain = result.expectedGain;
    track.notes = result.notes;
    track.settings = settings;
}

bool writeTrack(Track& track)
{
    if (track.gainReduction.unavailableReason.empty())
    {
        GainReductionEstimator estimator(track.channels, track.expectedGain);
        track.output.forEachStretch([&](int64_t first, const double* frames, int64_t count) {
            estimator.add(track.input.data() + first * track.channels, frames, count);
        });
        track.gainReduction.figures = estimator.figures();
    }
    AudioFileWriter writer;
    {
        std::lock_guard<std::mutex> lock(openMutex);
        if (!writer.create(track.outputPath, track.rate, track.channels, track.outputFormat, track.error))
            return false;
    }
    bool written = true;
    track.output.forEachStretch([&](int64_t, const double* frames, int64_t count) {
        written = written && writer.write(frames, count, track.error);
    });
    return written && writer.close(track.error);
}

std::string passLine(int number_, const PassSettings& settings, const LoudnessFigures& figures)
{
    char line[160];
    std::snprintf(line, sizeof line, "Pass %d   Drive %7s dB  Output %6s dB  ->  %7s LUFS %7s dBTP", number_,
                  number(settings.driveDb, 2, true).c_str(), number(settings.outputDb, 2, true).c_str(),
                  number(figures.integratedLufs, 2).c_str(), number(figures.truePeakDb, 2).c_str());
    return line;
}

SearchTargets targetsOf(const RenderOptions& options)
{
    SearchTargets targets;
    targets.loudness = options.loudness;
    targets.truePeak = options.truePeak;
    return targets;
}

std::string describeTargets(const RenderOptions& options)
{
    std::string text;
    if (!std::isnan(options.loudness))
        text += number(options.loudness, 1) + " LUFS";
    if (!std::isnan(options.truePeak))
        text += (text.empty() ? "" : ", ") + std::string("true peak <= ") + number(options.truePeak, 1) + " dBTP";
    if (text.empty())
        text = "none (the settings as given)";
    if (!options.target.empty())
        text += " (" + options.target + ")";
    return text;
}

bool probe(const MasteringSession& s, StartingPoint& start, std::string& error)
{
    PluginHost host;
    if (!loadConfigured(host, s, 2, 44100, error))
        return false;
    start.driveDb = parameterDb(host, kParameterTable[kDrive].name, kDriveSpanDb, 0.5);
    start.outputDb = parameterDb(host, kParameterTable[kOutput].name, kOutputSpanDb, 1.0);
    start.guarded = !std::isnan(s.options.truePeak) && host.findParameter(kParameterTable[kTruePeakGuard].name) >= 0;
    return true;
}

// The search over one track with `workers` passes at a time. `onPass`
// hears of each pass in order. Leaves the result in the track.
bool searchTrack(const MasteringSession& s, const StartingPoint& start, Track& track, int workers,
                 const std::function<void(int, const PassSettings&, const LoudnessFigures&)>& onPass)
{
    const bool searching = searchesTarget(s.options);
    LoudnessSearch search(targetsOf(s.options), start.driveDb, start.outputDb, start.guarded, track.inputFigures);
    for (;;)
    {
        std::vector<PassSettings> next = search.nextPasses(searching ? workers : 1);
        if (next.empty())
            break;
        std::vector<PassResult> results(next.size());
        runInParallel(workers, next.size(),
                      [&](size_t i) { runPass(s, track, searching ? &next[i] : nullptr, results[i]); });
        for (size_t i = 0; i < next.size(); ++i)
        {
            if (!results[i].ok)
            {
                track.error = results[i].error;
                return false;
            }
            search.record(next[i], results[i].figures);
            ++track.passes;
            onPass(track.passes, next[i], results[i].figures);
            if (search.bestPass() == (int)search.passes().size() - 1)
                takePass(track, results[i], next[i]);
            bufferPool.give(std::move(results[i].output));
        }
    }
    if (search.state() != LoudnessSearch::State::met)
    {
        track.error = "cannot meet the target: " + search.failure();
        bufferPool.give(std::move(track.output));
        return false;
    }
    return true;
}

void printSettings(std::FILE* out, const Track& track, bool searched)
{
    if (searched)
        std::fprintf(out, "  settings: Drive %s dB, Output %s dB\n", number(track.settings.driveDb, 2, true).c_str(),
                     number(track.settings.outputDb, 2, true).c_str());
    for (const std::string& note : track.notes)
        std::fprintf(out, "  %s\n", note.c_str());
}

bool savePresetAfterSearch(const MasteringSession& s, const Track& track)
{
    if (!s.options.presetFiles.saves())
        return true;
    PluginHost host;
    std::string error;
    if (!loadConfigured(host, s, track.channels, track.rate, error))
        return fail(kExitFailure, error) == 0;
    configureWordLength(host, s.options, integerBitsOfFormat(track.outputFormat));
    std::vector<std::string> notes;
    if (searchesTarget(s.options))
        applyDelivery(host, s.options, track.settings, notes);
    return savePresetFiles(host, s.options);
}

std::string baseName(const std::string& path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withExtension(const std::string& name, const std::string& extension)
{
    if (extension.empty())
        return name;
    size_t dot = name.rfind('.');
    return (dot == std::string::npos || dot == 0 ? name : name.substr(0, dot)) + "." + extension;
}

void printSummary(const std::vector<Track>& tracks)
{
    std::printf("\n%-28s %-7s %8s %8s %8s %6s %8s %8s %7s\n", "file", "status", "LUFS", "dBTP", "peak", "LRA", "Drive",
                "Output", "passes");
    for (const Track& t : tracks)
    {
        std::string name = t.name.size() > 28 ? t.name.substr(0, 25) + "..." : t.name;
        if (t.failed)
        {
            std::printf("%-28s %-7s %s\n", name.c_str(), "FAILED", t.error.c_str());
            continue;
        }
        const LoudnessFigures& f = t.outputFigures;
        std::printf("%-28s %-7s %8s %8s %8s %6s %8s %8s %7d\n", name.c_str(), "ok", number(f.integratedLufs, 2).c_str(),
                    number(f.truePeakDb, 2).c_str(), number(f.samplePeakDb, 2).c_str(), number(f.rangeLu, 1).c_str(),
                    number(t.settings.driveDb, 2, true).c_str(), number(t.settings.outputDb, 2, true).c_str(),
                    t.passes);
    }
}

int workerCount(const RenderOptions& options)
{
    if (options.jobs > 0)
        return options.jobs;
    unsigned cores = std::thread::hardware_concurrency();
    return cores ? (int)cores : 1;
}

int masterAlbum(const MasteringSession& s, const StartingPoint& start, std::vector<Track>& tracks, int workers,
                Clock::time_point began)
{
    std::vector<Track*> album;
    for (Track& t : tracks)
        if (!t.failed)
            album.push_back(&t);
    if (album.empty())
    {
        printSummary(tracks);
        return fail(kExitFailure, "no track of the album could be read");
    }
    std::vector<const LoudnessMeter*> inputMeters;
    for (Track* t : album)
        inputMeters.push_back(t->inputMeter.get());
    const LoudnessFigures albumInput = LoudnessMeter::combined(inputMeters);
    std::printf("Album    %zu tracks, %s LUFS, %s dBTP\n", album.size(), number(albumInput.integratedLufs, 2).c_str(),
                number(albumInput.truePeakDb, 2).c_str());

    LoudnessSearch search(targetsOf(s.options), start.driveDb, start.outputDb, start.guarded, albumInput);
    // Tracks fill the workers; spare workers try a second setting.
    const int perRound = std::max(1, std::min(2, workers / (int)album.size()));
    LoudnessFigures albumOutput{};
    int passes = 0;
    for (;;)
    {
        std::vector<PassSettings> next = search.nextPasses(perRound);
        if (next.empty())
            break;
        std::vector<PassResult> results(next.size() * album.size());
        runInParallel(workers, results.size(),
                      [&](size_t i) { runPass(s, *album[i % album.size()], &next[i / album.size()], results[i]); });
        for (size_t c = 0; c < next.size(); ++c)
        {
            std::vector<const LoudnessMeter*> meters;
            for (size_t t = 0; t < album.size(); ++t)
            {
                PassResult& r = results[c * album.size() + t];
                if (!r.ok)
                    return fail(kExitFailure, album[t]->name + ": " + r.error);
                meters.push_back(r.meter.get());
            }
            LoudnessFigures figures = LoudnessMeter::combined(meters);
            search.record(next[c], figures);
            std::printf("%s\n", passLine(++passes, next[c], figures).c_str());
            std::fflush(stdout);
            if (search.bestPass() == (int)search.passes().size() - 1)
            {
                albumOutput = figures;
                for (size_t t = 0; t < album.size(); ++t)
                {
                    takePass(*album[t], results[c * album.size() + t], next[c]);
                    album[t]->passes = passes;
                }
            }
        }
        for (PassResult& r : results)
            bufferPool.give(std::move(r.output));
    }
    if (search.state() != LoudnessSearch::State::met)
    {
        for (Track* t : album)
            bufferPool.give(std::move(t->output));
        return fail(kExitFailure,
                    "cannot meet the target for the album: " + search.failure() + "; no file was written");
    }
    bool allWritten = true;
    for (Track* t : album)
        if (!writeTrack(*t))
        {
            t->failed = true;
            allWritten = false;
            fail(kExitFailure, t->error);
        }
    std::printf("\nAlbum    %s LUFS, true peak %s dBTP, range %s LU\n", number(albumOutput.integratedLufs, 2).c_str(),
                number(albumOutput.truePeakDb, 2).c_str(), number(albumOutput.rangeLu, 1).c_str());
    printSettings(stdout, *album[0], true);
    printSummary(tracks);
    std::printf("Done     %zu tracks, %d passes each, %s with %d workers\n", album.size(), passes,
                timing(began).c_str(), workers);
    bool saved = savePresetAfterSearch(s, *album[0]);
    bool anyFailed = std::any_of(tracks.begin(), tracks.end(), [](const Track& t) { return t.failed; });
    return allWritten && saved && !anyFailed ? 0 : kExitFailure;
}
} // namespace

int masterFile(const MasteringSession& s, const std::string& inputPath, const std::string& outputPath)
{
    const Clock::time_point began = Clock::now();
    if (sameFile(inputPath, outputPath))
        return fail(kExitUsage, "OUTPUT is the INPUT file; choose another name (" + outputPath + ")");
    StartingPoint start;
    std::string error;
    if (!probe(s, start, error))
        return fail(error.find("unknown parameter") == 0 ? kExitUsage : kExitFailure, error);
    Track track;
    track.inputPath = inputPath;
    track.outputPath = outputPath;
    if (!readTrack(track, s.options))
        return fail(kExitFailure, track.error);
    const int workers = workerCount(s.options);
    std::printf("Input    %s: %.3f s, %s, %s LUFS, %s dBTP\n", inputPath.c_str(),
                (double)track.input.size() / track.channels / track.rate, track.channels == 2 ? "stereo" : "mono",
                number(track.inputFigures.integratedLufs, 2).c_str(), number(track.inputFigures.truePeakDb, 2).c_str());
    std::printf("Target   %s\n", describeTargets(s.options).c_str());
    std::printf("Output   %s: %s\n", outputPath.c_str(), describeFormat(track.outputFormat).c_str());
    std::fflush(stdout);

    bool met = searchTrack(s, start, track, workers, [](int n, const PassSettings& p, const LoudnessFigures& f) {
        std::printf("%s\n", passLine(n, p, f).c_str());
        std::fflush(stdout);
    });
    if (!met)
        return fail(kExitFailure, inputPath + ": " + track.error + "; no output was written");
    if (!writeTrack(track))
        return fail(kExitFailure, track.error);
    printLoudnessReport(stdout, track.inputFigures, track.outputFigures, track.gainReduction);
    printSettings(stdout, track, true);
    std::printf("Done     %d passes, %s with %d workers\n", track.passes, timing(began).c_str(), workers);
    return savePresetAfterSearch(s, track) ? 0 : kExitFailure;
}

int masterBatch(const MasteringSession& s)
{
    const Clock::time_point began = Clock::now();
    const RenderOptions& options = s.options;
    if (options.presetFiles.saves() && !options.album && options.positional.size() > 1)
        return fail(kExitUsage, "--save-preset or --save-bank with several files needs --album: each file is "
                                "mastered with settings of its own");
    if (mkdir(options.outDir.c_str(), 0777) != 0 && errno != EEXIST)
        return fail(kExitFailure, "cannot create the folder " + options.outDir);
    StartingPoint start;
    std::string error;
    if (!probe(s, start, error))
        return fail(error.find("unknown parameter") == 0 ? kExitUsage : kExitFailure, error);

    std::vector<Track> tracks(options.positional.size());
    for (size_t i = 0; i < tracks.size(); ++i)
    {
        Track& t = tracks[i];
        t.inputPath = options.positional[i];
        t.name = baseName(t.inputPath);
        t.outputPath = options.outDir + "/" + withExtension(t.name, options.format);
        for (size_t j = 0; j < i; ++j)
            if (tracks[j].outputPath == t.outputPath)
            {
                t.failed = true;
                t.error = "another input is also written to " + t.outputPath;
            }
        if (!t.failed && sameFile(t.inputPath, t.outputPath))
        {
            t.failed = true;
            t.error = "the output would overwrite the input";
        }
    }
    const int workers = workerCount(options);
    std::printf("Target   %s\n", describeTargets(options).c_str());
    std::printf("Batch    %zu files into %s, %d workers%s\n", tracks.size(), options.outDir.c_str(), workers,
                options.album ? ", as one album" : "");
    std::fflush(stdout);

    if (options.album)
    {
        runInParallel(workers, tracks.size(), [&](size_t i) {
            if (!tracks[i].failed && !readTrack(tracks[i], options))
                tracks[i].failed = true;
        });
        for (const Track& t : tracks)
            if (t.failed)
                fail(kExitFailure, t.name + ": " + t.error);
        return masterAlbum(s, start, tracks, workers, began);
    }

    // Files fill the workers; when there are fewer files than workers,
    // each file runs passes side by side.
    const int perFile = std::max(1, workers / (int)tracks.size());
    std::atomic<int> finished{0};
    runInParallel(workers, tracks.size(), [&](size_t i) {
        Track& t = tracks[i];
        const Clock::time_point start_ = Clock::now();
        if (!t.failed)
        {
            std::string log;
            t.failed = !readTrack(t, options) ||
                       !searchTrack(s, start, t, perFile,
                                    [&](int, const PassSettings&, const LoudnessFigures& f) {
                                        log += (log.empty() ? "" : " ") + number(f.integratedLufs, 2) + "/" +
                                               number(f.truePeakDb, 2);
                                    }) ||
                       !writeTrack(t);
            t.passLog = log;
            bufferPool.give(std::move(t.output));
            t.input.clear();
            t.input.shrink_to_fit();
        }
        std::lock_guard<std::mutex> lock(printMutex);
        int n = ++finished;
        if (t.failed)
            std::printf("[%d/%zu] %s: FAILED: %s\n", n, tracks.size(), t.name.c_str(), t.error.c_str());
        else
            std::printf("[%d/%zu] %s: passes %s (LUFS/dBTP) -> %s LUFS, %s dBTP, %.2f s\n", n, tracks.size(),
                        t.name.c_str(), t.passLog.c_str(), number(t.outputFigures.integratedLufs, 2).c_str(),
                        number(t.outputFigures.truePeakDb, 2).c_str(), seconds(start_));
        std::fflush(stdout);
    });
    printSummary(tracks);
    int failures = (int)std::count_if(tracks.begin(), tracks.end(), [](const Track& t) { return t.failed; });
    std::printf("Done     %zu files, %d failed, %s with %d workers\n", tracks.size(), failures, timing(began).c_str(),
                workers);
    if (failures)
        return fail(kExitFailure, std::to_string(failures) + " of " + std::to_string(tracks.size()) +
                                      " files failed; the others were written");
    if (tracks.size() == 1 && !savePresetAfterSearch(s, tracks[0]))
        return kExitFailure;
    return 0;
}
