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
#include <thread>
#include <vector>

#include "effect/ParameterTable.h"
#include "tools/render/AudioFile.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/JobPlan.h"
#include "tools/render/LoudnessMeter.h"
#include "tools/render/LoudnessSearch.h"
#include "tools/render/Messages.h"
#include "tools/render/Numbers.h"
#include "tools/render/ParameterGains.h"
#include "tools/render/PluginHost.h"
#include "tools/render/PresetFileOptions.h"
#include "tools/render/ProgressBar.h"
#include "tools/render/RateConverter.h"
#include "tools/render/ReadBack.h"
#include "tools/render/RenderOptions.h"
#include "tools/render/RenderReport.h"
#include "tools/render/RenderResult.h"
#include "tools/render/RenderSetup.h"
#include "tools/render/Renderer.h"
#include "tools/render/Session.h"

namespace
{
using Clock = std::chrono::steady_clock;

// A search plans this many passes a round whatever the number of workers:
// the passes, and so the settings found and the bytes written, are the
// same on every machine, with any --jobs, alone or in a batch. Spare
// workers run a round's passes side by side.
constexpr int kPassesPerRound = 2;

double seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double cpuSeconds() { return (double)std::clock() / CLOCKS_PER_SEC; }

// A file on its way through the search: its audio and meters beside what
// the report will say of it.
struct Track
{
    FileResult report;
    AudioFormat outputFormat;
    std::vector<double> input;
    std::unique_ptr<LoudnessMeter> inputMeter;
    PassAudio output; // the pass that met the target
    std::unique_ptr<LoudnessMeter> outputMeter;
    double expectedGain = 1.0;
    AudioMetadata metadata;
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

// What the program and --set say before any search, whether the plug-in
// has a true-peak guard to switch on, and whether it is switched on at all.
struct StartingPoint
{
    double driveDb = 0.0;
    double outputDb = 0.0;
    bool guarded = false;
    bool powered = true;
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

int workerCount(const RenderOptions& options)
{
    if (options.jobs > 0)
        return options.jobs;
    unsigned cores = std::thread::hardware_concurrency();
    return cores ? (int)cores : 1;
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
    host.setParameter(host.findParameter(kParameterTable[kDrive].name), normalisedOfGainDb(kDrive, pass.driveDb));
    host.setParameter(host.findParameter(kParameterTable[kOutput].name), normalisedOfGainDb(kOutput, pass.outputDb));
}

// One full pass of the plug-in over the track in memory.
void runPass(Session& s, const Track& track, const PassSettings* pass, PassResult& result, SharedProgress* progress)
{
    Session::Instance instance = s.newInstance();
    PluginHost& host = *instance;
    if (!s.loadConfigured(host, track.report.channels, track.report.rate, result.error))
        return;
    std::string wordLength = configureWordLength(host, s.options, integerBitsOfFormat(track.outputFormat));
    if (!wordLength.empty())
        result.notes.push_back("word length " + wordLength);
    if (pass)
        applyDelivery(host, s.options, *pass, result.notes);
    result.gainReduction = gainReductionSetup(host, result.expectedGain);

    MemorySource source(track.input, track.report.channels);
    // Floats hold the 32-bit callback's output exactly, also rounded to a
    // grid of 24 bits or fewer; a 32-bit grid or the 64-bit callback need doubles.
    const int bits = integerBitsOfFormat(track.outputFormat);
    MemorySink sink(track.report.channels, bits, s.options.useDouble || bits > 24, s.buffers.take(),
                    (int64_t)track.input.size() / track.report.channels);
    result.meter = std::make_unique<LoudnessMeter>(track.report.channels, track.report.rate);
    RenderSettings settings{s.options.align, s.options.useDouble, s.options.blockSize, false, progress};
    RenderMeters meters{nullptr, result.meter.get(), nullptr};
    if (!renderFrames(host, source, sink, settings, meters, result.error))
        return;
    result.figures = result.meter->figures();
    result.output = std::move(sink.audio);
    result.ok = true;
}

// Reads the input into memory and measures it; picks the output format.
bool readTrack(Session& s, const StartingPoint& start, Track& track)
{
    FileResult& report = track.report;
    AudioFileReader reader;
    report.errorCode = "input-unreadable";
    {
        std::lock_guard<std::mutex> lock(s.openMutex);
        if (!reader.open(report.inputPath, report.error))
            return false;
    }
    report.errorCode = "input-unsupported";
    if (!checkInput(reader, report.inputPath, report.error))
        return false;
    report.channels = reader.channels();
    report.inputRate = reader.sampleRate();
    // Opus carries 48 kHz only: without --rate its input is converted there,
    // as a delivery to it needs, and the report says so.
    const int requiredRate = requiredRateFor(report.outputPath);
    report.rate = s.options.rate ? s.options.rate : requiredRate ? requiredRate : report.inputRate;
    report.inputFormat = describeFormat(reader.format());
    if (!checkRate(report.rate, report.inputPath, start.powered, report.error))
        return false;
    std::string note;
    report.errorCode = "output-format";
    if (!chooseOutputFormat(reader.format(), report.outputPath, s.options.bits, report.channels, report.rate,
                            track.outputFormat, note, report.error))
        return false;
    track.outputFormat.quality = s.options.quality;
    if (!note.empty())
        warn(note);
    report.outputFormat = describeFormat(track.outputFormat);
    report.outputBits = integerBitsOfFormat(track.outputFormat);
    track.metadata = deliveryMetadata(reader, s.options);
    track.input.reserve((size_t)(reader.frames() * report.channels));
    report.errorCode = "input-unreadable";
    if (!readWholeFile(reader, track.input, report.error))
        return false;
    if (report.rate != report.inputRate)
    {
        std::vector<double> converted;
        if (!convertRate(track.input, report.channels, report.inputRate, report.rate, converted, report.error))
            return false;
        track.input.swap(converted);
    }
    report.errorCode.clear();
    for (const std::string& warning : inputWarnings(reader, report.inputPath))
    {
        warn(warning);
        report.warnings.push_back(warning);
    }
    report.seconds = (double)track.input.size() / report.channels / report.rate;
    track.inputMeter = std::make_unique<LoudnessMeter>(report.channels, report.rate);
    track.inputMeter->add(track.input.data(), (int64_t)track.input.size() / report.channels);
    report.input = track.inputMeter->figures();
    return true;
}

void takePass(Session& s, Track& track, PassResult& result, const PassSettings& settings)
{
    s.buffers.give(std::move(track.output));
    track.output = std::move(result.output);
    track.outputMeter = std::move(result.meter);
    track.report.result = result.figures;
    track.report.gainReduction = result.gainReduction;
    track.expectedGain = result.expectedGain;
    track.report.notes = result.notes;
    track.report.settings = settings;
}

// Writes (encodes) the pass taken to the output file.
bool writeFile(Session& s, Track& track, const std::string& label, bool showProgress)
{
    FileResult& report = track.report;
    if (report.gainReduction.unavailableReason.empty())
    {
        GainReductionEstimator estimator(report.channels, track.expectedGain, report.gainReduction.compareFrames);
        track.output.forEachStretch([&](int64_t first, const double* frames, int64_t count) {
            estimator.add(track.input.data() + first * report.channels, frames, count);
        });
        report.gainReduction.figures = estimator.figures();
    }
    AudioFileWriter writer;
    report.errorCode = "output-unwritable";
    {
        std::lock_guard<std::mutex> lock(s.openMutex);
        if (!writer.create(report.outputPath, report.rate, report.channels, track.outputFormat, report.error))
            return false;
    }
    writer.setMetadata(track.metadata);
    bool written = true;
    ProgressBar progress(label, track.output.frames(), showProgress && s.showsProgress);
    track.output.forEachStretch([&](int64_t first, const double* frames, int64_t count) {
        written = written && writer.write(frames, count, report.error);
        progress.update(first + count);
    });
    if (!written || !writer.close(report.error))
        return false;
    progress.finish();
    report.errorCode.clear();
    return true;
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
        text += formatNumber(options.loudness, 1) + " LUFS";
    if (!std::isnan(options.truePeak))
        text += (text.empty() ? "" : ", ") + std::string("true peak <= ") + formatNumber(options.truePeak, 1) + " dBTP";
    if (text.empty())
        text = "none (the settings as given)";
    if (!options.target.empty())
        text += " (" + options.target + ")";
    return text;
}

// Reads the starting point from an instance set up as the passes will be.
// Returns the exit status: a target with the plug-in switched off is a
// command line that cannot be served.
int probe(Session& s, StartingPoint& start)
{
    PluginHost host;
    std::string error;
    if (!s.loadConfigured(host, 2, 44100, error))
        return error.find("unknown parameter") == 0 ? s.failRun(kExitUsage, "usage", error)
                                                    : s.failRun(kExitFailure, "plugin", error);
    start.driveDb = gainDbOf(kDrive, host.getParameter(host.findParameter(kParameterTable[kDrive].name)));
    start.outputDb = gainDbOf(kOutput, host.getParameter(host.findParameter(kParameterTable[kOutput].name)));
    start.guarded = !std::isnan(s.options.truePeak) && host.findParameter(kParameterTable[kTruePeakGuard].name) >= 0;
    start.powered = parameterText(host, kParameterTable[kPower].name) != "off";
    if (!start.powered && searchesTarget(s.options))
        return s.failRun(kExitUsage, "usage",
                         "Power is off: the plug-in is switched off and passes the input through unchanged, so no "
                         "target can be searched; leave Power on for a target");
    return kExitSuccess;
}

// A search over tracks that share one set of settings: how it runs and how
// it ended. The search itself is kept, so that a delivery can aim again from
// what the passes measured.
struct SearchOutcome
{
    explicit SearchOutcome(const LoudnessSearch& search) : search(search) {}
    LoudnessSearch search;
    std::vector<Track*> tracks;
    int workers = 1;
    bool showProgress = false;
    std::function<void(const PassRecord&)> onPass;
    std::function<void(const std::string&)> onAim; // a delivery aims again; may be empty

    bool met = false;
    const Track* failedTrack = nullptr; // a pass failed on it, with `error`
    std::string error;                  // that pass's message, or why the target was not met
    LoudnessFigures figures{};          // of the pass taken, all tracks as one
    int passes = 0;
};

// The one pass loop: the settings for one track, or one set for an album,
// measured over all its tracks as one programme, until the search meets its
// targets or gives up. `onPass` hears of each pass in order; with
// `showProgress` a bar follows each round. Leaves the pass taken in each track.
void runSearch(Session& s, SearchOutcome& outcome)
{
    LoudnessSearch& search = outcome.search;
    const std::vector<Track*>& tracks = outcome.tracks;
    const bool searching = searchesTarget(s.options);
    const size_t n = tracks.size();
    outcome.met = false;
    for (;;)
    {
        std::vector<PassSettings> next = search.nextPasses(searching ? kPassesPerRound : 1);
        if (next.empty())
            break;
        std::vector<PassResult> results(next.size() * n);
        int64_t frames = 0;
        for (const Track* t : tracks)
            frames += (int64_t)t->input.size() / t->report.channels;
        const int first = outcome.passes + 1, last = outcome.passes + (int)next.size();
        const bool shown = outcome.showProgress && s.showsProgress;
        SharedProgress progress(first == last ? "Pass " + std::to_string(first)
                                              : "Passes " + std::to_string(first) + "-" + std::to_string(last),
                                frames * (int64_t)next.size(), shown);
        runInParallel(outcome.workers, results.size(), [&](size_t i) {
            runPass(s, *tracks[i % n], searching ? &next[i / n] : nullptr, results[i], shown ? &progress : nullptr);
        });
        progress.finish();
        for (size_t c = 0; c < next.size(); ++c)
        {
            std::vector<const LoudnessMeter*> meters;
            for (size_t t = 0; t < n; ++t)
            {
                PassResult& r = results[c * n + t];
                if (!r.ok)
                {
                    outcome.failedTrack = tracks[t];
                    outcome.error = r.error;
                    return;
                }
                meters.push_back(r.meter.get());
            }
            const LoudnessFigures figures = n == 1 ? results[c].figures : LoudnessMeter::combined(meters);
            search.record(next[c], figures);
            ++outcome.passes;
            for (size_t t = 0; t < n; ++t)
                tracks[t]->report.passes.push_back({outcome.passes, next[c], results[c * n + t].figures});
            outcome.onPass({outcome.passes, next[c], figures});
            if (search.bestPass() == (int)search.passes().size() - 1)
            {
                outcome.figures = figures;
                for (size_t t = 0; t < n; ++t)
                {
                    takePass(s, *tracks[t], results[c * n + t], next[c]);
                    tracks[t]->report.passTaken = outcome.passes;
                }
            }
        }
        for (PassResult& r : results)
            s.buffers.give(std::move(r.output));
    }
    if (search.state() != LoudnessSearch::State::met)
    {
        outcome.error = search.failure();
        for (Track* t : tracks)
            s.buffers.give(std::move(t->output));
        return;
    }
    outcome.met = true;
}

SearchOutcome searchSettings(Session& s, const StartingPoint& start, const std::vector<Track*>& tracks,
                             const LoudnessFigures& input, int workers, bool showProgress,
                             const std::function<void(const PassRecord&)>& onPass)
{
    SearchOutcome outcome(LoudnessSearch(targetsOf(s.options), start.driveDb, start.outputDb, start.guarded, input));
    outcome.tracks = tracks;
    outcome.workers = workers;
    outcome.showProgress = showProgress;
    outcome.onPass = onPass;
    runSearch(s, outcome);
    return outcome;
}

// Without a true-peak target nothing holds the output under full scale; the
// report must say so when it went over, by either measure.
void warnOfOverFullScale(FileResult& report)
{
    const double worst = std::max(report.result.truePeakDb, report.reconstructedPeakDb);
    if (!(worst > 0.0))
        return;
    const std::string warning = report.outputPath + " reaches " + formatNumber(worst, 2, true) +
                                " dBTP: over full scale, as no true-peak target was set";
    warn(warning);
    report.warnings.push_back(warning);
}

// Writes a track's pass taken and reads the file back: its true peak by
// ideal reconstruction, and an encoded file's levels as decoded, which
// replace the pass's and are kept as one more try in the report.
bool writeAndReadBack(Session& s, Track& track, int attempt, int threads, bool showProgress, bool named,
                      std::unique_ptr<LoudnessMeter>& meter)
{
    FileResult& report = track.report;
    const bool encoded = isEncoded(track.outputFormat);
    // An album's tracks go one after the other: each line names its file.
    const std::string file = named ? " " + printable(report.name) : "";
    const std::string number = " " + std::to_string(attempt) + file;
    if (!writeFile(s, track, encoded ? "Encoding" + number : "Writing" + file, showProgress))
        return false;
    EncodingTry tried;
    tried.number = attempt;
    tried.driveDb = report.settings.driveDb;
    tried.outputDb = report.settings.outputDb;
    report.errorCode = "output-unreadable";
    ReadBack read;
    if (!readBack(report.outputPath, s.openMutex, encoded, threads,
                  encoded ? "Decoding" + number : "Reading back" + file, showProgress && s.showsProgress, read,
                  report.error))
        return false;
    report.errorCode.clear();
    tried.reconstructedPeakDb = read.reconstructedPeakDb;
    meter = std::move(read.meter);
    report.reconstructedPeakDb = tried.reconstructedPeakDb;
    if (encoded)
    {
        tried.decoded = meter->figures();
        report.encodings.push_back(tried);
        report.result = tried.decoded;
    }
    return true;
}

// An encoder adds its own overshoot, and its low-pass takes loudness away
// with what lies above its band: a master that met the target may miss it
// once decoded. So every written file is read back (decoded) and measured
// as a listener receives it, by BS.1770 and by ideal reconstruction; a
// true-peak target must hold by both, and an encoded file's loudness by the
// tolerance of the search. On a miss the search aims past it and the files
// are rendered and written again: the loudness by what the encoder changed,
// the limit lower by the largest overshoot seen and a margin. An encoder's
// overshoot is no fixed amount: on a transient, Opus's decoded peak hardly
// follows the ceiling down until the limiting has changed the transient
// (the demo: -0.90, -0.76, -0.72, -0.85 dBTP at ceilings -1.00 to -1.76 dB,
// then -1.11 at -2.08). So the margin doubles
// with each miss, and where the peak followed the last move of the ceiling
// by less than it moved, the step is the miss over that share (at most
// twice the plain step). What the passes measured holds for the new aim, so
// each try takes a pass or two. An album is judged as one programme: its
// decoded tracks together for the loudness, each for the limit.
constexpr int kDeliveryTries = 8;
constexpr double kOvershootMarginDb = 0.02;
constexpr double kSmallestPeakShare = 0.25;

void failTracks(const std::vector<Track*>& tracks, const std::string& code, const std::string& message)
{
    for (Track* t : tracks)
    {
        t->report.failed = true;
        t->report.errorCode = code;
        t->report.error = message;
    }
}

// Writes the tracks of a search that met its targets, until what was written
// meets them too. `delivered` gets the written programme's levels (decoded).
// Returns false when a track failed; its report says why.
bool deliver(Session& s, SearchOutcome& outcome, LoudnessFigures& delivered)
{
    const double limit = s.options.truePeak, loudness = s.options.loudness;
    std::vector<Track*> live;
    for (Track* t : outcome.tracks)
        if (!t->report.failed)
            live.push_back(t);
    bool allWritten = true;
    double worstOvershoot = 0.0; // over the true-peak aim of the pass written
    double previousAim = NAN, previousPeak = NAN;
    for (int attempt = 1;; ++attempt)
    {
        std::vector<std::unique_ptr<LoudnessMeter>> decoded;
        double peak = -INFINITY;
        for (size_t i = 0; i < live.size();)
        {
            std::unique_ptr<LoudnessMeter> meter;
            if (!writeAndReadBack(s, *live[i], attempt, outcome.workers, outcome.showProgress, live.size() > 1, meter))
            {
                live[i]->report.failed = true;
                allWritten = false;
                live.erase(live.begin() + (long)i);
                continue;
            }
            const FileResult& r = live[i]->report;
            peak = std::max({peak, r.result.truePeakDb, r.reconstructedPeakDb});
            if (meter)
                decoded.push_back(std::move(meter));
            ++i;
        }
        if (live.empty())
            return false;
        // A file that is not encoded holds exactly what the pass measured.
        std::vector<const LoudnessMeter*> meters;
        for (const auto& m : decoded)
            meters.push_back(m.get());
        delivered = meters.empty() ? outcome.figures : LoudnessMeter::combined(meters);
        const bool peakMet = std::isnan(limit) || peak <= limit;
        const double loudnessOff = std::isnan(loudness) ? 0.0 : delivered.integratedLufs - loudness;
        const bool loudnessMet = std::fabs(loudnessOff) <= LoudnessSearch::kToleranceLu;
        if (peakMet && loudnessMet)
        {
            if (std::isnan(limit))
                for (Track* t : live)
                    warnOfOverFullScale(t->report);
            return allWritten;
        }
        const bool encoded = !meters.empty();
        if (attempt == kDeliveryTries)
        {
            failTracks(live, "target-unreachable",
                       live.front()->report.outputPath + (encoded ? ": decoded, it" : ": it") +
                           " misses the target after " + std::to_string(attempt) + " tries (" +
                           formatNumber(delivered.integratedLufs, 2) + " LUFS, " + formatNumber(peak, 2) + " dBTP)");
            return false;
        }
        SearchTargets aims = outcome.search.aims();
        const double aimWritten = aims.truePeak;
        if (!loudnessMet)
            aims.loudness = outcome.figures.integratedLufs - loudnessOff;
        if (!std::isnan(limit))
            worstOvershoot = std::max(worstOvershoot, peak - aims.truePeak);
        if (!peakMet)
        {
            const double margin = kOvershootMarginDb * (1 << (attempt - 1));
            double lowered = limit - worstOvershoot - margin;
            if (std::fabs(aims.truePeak - previousAim) > 1e-6)
            {
                const double share =
                    std::clamp((peak - previousPeak) / (aims.truePeak - previousAim), kSmallestPeakShare, 1.0);
                const double plainStep = aims.truePeak - lowered;
                lowered = aims.truePeak - std::max(plainStep, std::min((peak - limit + margin) / share, 2 * plainStep));
            }
            if (!encoded)
                for (Track* t : live)
                    t->report.warnings.push_back("true peak " + formatNumber(peak, 2) +
                                                 " dBTP by ideal reconstruction or BS.1770: rendered again with "
                                                 "the ceiling " +
                                                 formatNumber(aims.truePeak - lowered, 2) + " dB lower");
            aims.truePeak = lowered;
        }
        previousAim = aimWritten;
        previousPeak = peak;
        if (outcome.onAim)
            outcome.onAim((encoded ? "Decoded  " : "Written  ") + formatNumber(delivered.integratedLufs, 2) +
                          " LUFS, " + formatNumber(peak, 2) + " dBTP: searching again for " +
                          (aims.hasLoudness() ? formatNumber(aims.loudness, 2) + " LUFS" : std::string("the level")) +
                          (aims.hasTruePeak() ? ", " + formatNumber(aims.truePeak, 2) + " dBTP" : std::string()) +
                          " before " + (encoded ? "encoding" : "writing"));
        outcome.search.retarget(aims);
        runSearch(s, outcome);
        if (outcome.failedTrack)
        {
            failTracks(live, "plugin", outcome.error);
            return false;
        }
        if (!outcome.met)
        {
            failTracks(live, "target-unreachable",
                       std::string("cannot meet the target once ") + (encoded ? "decoded" : "written") + ": " +
                           outcome.error);
            return false;
        }
    }
}

// The settings the file was made with, read back from an instance set up
// as its pass was, for the report and for --save-preset / --save-bank.
bool finishSettings(Session& s, Track& track, bool save)
{
    if (!save && s.options.reportPath.empty())
        return true;
    PluginHost host;
    std::string error;
    if (!s.loadConfigured(host, track.report.channels, track.report.rate, error))
        return fail(kExitFailure, error) == 0;
    configureWordLength(host, s.options, integerBitsOfFormat(track.outputFormat));
    std::vector<std::string> notes;
    if (searchesTarget(s.options))
        applyDelivery(host, s.options, track.report.settings, notes);
    track.report.parameters = parameterValues(host);
    return !save || savePresetFiles(host, s.options);
}

void collect(RunResult& run, std::vector<Track>& tracks)
{
    for (Track& t : tracks)
        run.files.push_back(std::move(t.report));
}

void printPass(std::FILE* out, const PassRecord& pass)
{
    std::fprintf(out, "%s\n", passLine(pass).c_str());
    std::fflush(out);
}

void printLine(std::FILE* out, const std::string& line)
{
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

int masterAlbum(Session& s, const StartingPoint& start, std::vector<Track>& tracks, Clock::time_point began)
{
    RunResult& run = s.run;
    std::vector<Track*> album;
    for (Track& t : tracks)
        if (!t.report.failed)
            album.push_back(&t);
    if (album.empty())
    {
        collect(run, tracks);
        printSummary(s.text, run);
        return s.failRun(kExitFailure, "input-unreadable", "no track of the album could be read");
    }
    std::vector<const LoudnessMeter*> inputMeters;
    for (Track* t : album)
        inputMeters.push_back(t->inputMeter.get());
    run.albumInput = LoudnessMeter::combined(inputMeters);
    printAlbumInput(s.text, album.size(), run.albumInput);

    SearchOutcome outcome = searchSettings(s, start, album, run.albumInput, run.workers, true,
                                           [&](const PassRecord& p) { printPass(s.text, p); });
    outcome.onAim = [&](const std::string& line) {
        printLine(s.text, line);
    };
    if (!outcome.met)
    {
        const std::string message =
            outcome.failedTrack ? outcome.failedTrack->report.name + ": " + outcome.error
                                : "cannot meet the target for the album: " + outcome.error + "; no file was written";
        for (Track* t : album)
        {
            t->report.failed = true;
            t->report.errorCode = outcome.failedTrack ? "plugin" : "target-unreachable";
            t->report.error = message;
        }
        collect(run, tracks);
        return s.failRun(kExitFailure, outcome.failedTrack ? "plugin" : "target-unreachable", message);
    }
    for (Track* t : album)
        t->report.searched = true;
    const bool allWritten = deliver(s, outcome, run.albumResult);
    run.passesPerTrack = outcome.passes;
    for (Track* t : album)
        if (t->report.failed)
            fail(kExitFailure, t->report.name + ": " + t->report.error);
    bool saved = true;
    for (Track* t : album)
        saved = finishSettings(s, *t, t == album[0] && s.options.presetFiles.saves()) && saved;
    collect(run, tracks);
    run.wallSeconds = seconds(began);
    run.cpuSeconds = cpuSeconds();
    printAlbumEnd(s.text, run, *std::find_if(run.files.begin(), run.files.end(), [](const FileResult& f) {
                      return !f.passes.empty();
                  }));
    bool anyFailed = std::any_of(run.files.begin(), run.files.end(), [](const FileResult& f) { return f.failed; });
    return allWritten && saved && !anyFailed ? kExitSuccess : kExitFailure;
}

// The line of a batch once a file is done; the passes as LUFS/dBTP pairs.
void printFileDone(std::FILE* out, const FileResult& f, int done, size_t total)
{
    if (f.failed)
    {
        std::fprintf(out, "[%d/%zu] %s: FAILED: %s\n", done, total, printable(f.name).c_str(),
                     printable(f.error).c_str());
        return;
    }
    std::string log;
    for (const PassRecord& p : f.passes)
        log += (log.empty() ? "" : " ") + formatNumber(p.figures.integratedLufs, 2) + "/" +
               formatNumber(p.figures.truePeakDb, 2);
    const std::string encodings = f.encodings.empty() ? std::string()
                                  : f.encodings.size() == 1
                                      ? ", decoded"
                                      : ", decoded, " + std::to_string(f.encodings.size()) + " encodings";
    std::fprintf(out, "[%d/%zu] %s: passes %s (LUFS/dBTP) -> %s LUFS, %s dBTP%s, %.2f s\n", done, total,
                 printable(f.name).c_str(), log.c_str(), formatNumber(f.result.integratedLufs, 2).c_str(),
                 formatNumber(f.result.truePeakDb, 2).c_str(), encodings.c_str(), f.wallSeconds);
}

// One file's search, its output written: the file's whole job in a batch.
void masterTrack(Session& s, const StartingPoint& start, Track& t, int workers)
{
    FileResult& r = t.report;
    if (r.failed || !readTrack(s, start, t))
    {
        r.failed = true;
        return;
    }
    std::vector<Track*> one{&t};
    SearchOutcome outcome = searchSettings(s, start, one, r.input, workers, false, [](const PassRecord&) {});
    r.searched = true;
    if (outcome.failedTrack)
    {
        r.errorCode = "plugin";
        r.error = outcome.error;
    }
    else if (!outcome.met)
    {
        r.errorCode = "target-unreachable";
        r.error = "cannot meet the target: " + outcome.error;
    }
    LoudnessFigures delivered;
    r.failed = !outcome.met || !deliver(s, outcome, delivered);
}

void describeRun(Session& s, const char* mode)
{
    s.run.mode = mode;
    s.run.targets = describeTargets(s.options);
    s.run.targetName = s.options.target;
    s.run.loudnessTarget = s.options.loudness;
    s.run.truePeakTarget = s.options.truePeak;
}
} // namespace

int masterFile(Session& s, const std::string& inputPath, const std::string& outputPath)
{
    const Clock::time_point began = Clock::now();
    describeRun(s, "master");
    s.run.files.emplace_back();
    Track track;
    FileResult& file = s.run.files.back();
    file.inputPath = track.report.inputPath = inputPath;
    file.outputPath = track.report.outputPath = outputPath;
    if (sameFile(inputPath, outputPath))
        return s.failFile(file, kExitUsage, "usage",
                          "OUTPUT is the INPUT file; choose another name (" + outputPath + ")");
    StartingPoint start;
    if (int status = probe(s, start))
    {
        file.failed = true;
        file.errorCode = s.run.errorCode;
        file.error = s.run.error;
        return status;
    }
    if (!readTrack(s, start, track))
    {
        file = track.report;
        return s.failFile(file, kExitFailure, file.errorCode, track.report.error);
    }
    // A folder that cannot take the file is found before the passes, not after.
    std::string error;
    if (!checkWritable(outputPath, error))
    {
        file = track.report;
        return s.failFile(file, kExitFailure, "output-unwritable", error);
    }
    s.run.workers = std::min(workerCount(s.options), kPassesPerRound);
    printSearchHeader(s.text, track.report, s.run.targets);

    std::vector<Track*> one{&track};
    SearchOutcome outcome = searchSettings(s, start, one, track.report.input, s.run.workers, true,
                                           [&](const PassRecord& p) { printPass(s.text, p); });
    outcome.onAim = [&](const std::string& line) {
        printLine(s.text, line);
    };
    track.report.searched = true;
    if (outcome.failedTrack)
    {
        file = track.report;
        return s.failFile(file, kExitFailure, "plugin", inputPath + ": " + outcome.error + "; no output was written");
    }
    if (!outcome.met)
    {
        file = track.report;
        return s.failFile(file, kExitFailure, "target-unreachable",
                          inputPath + ": cannot meet the target: " + outcome.error + "; no output was written");
    }
    LoudnessFigures delivered;
    const bool written = deliver(s, outcome, delivered);
    s.run.passesPerTrack = outcome.passes;
    if (!written)
    {
        file = track.report;
        return s.failFile(file, kExitFailure, file.errorCode, track.report.error);
    }
    const bool saved = finishSettings(s, track, s.options.presetFiles.saves());
    s.run.wallSeconds = seconds(began);
    s.run.cpuSeconds = cpuSeconds();
    file = track.report;
    printSearchEnd(s.text, s.run);
    return saved ? kExitSuccess : kExitFailure;
}

int masterBatch(Session& s, const JobPlan& plan)
{
    const Clock::time_point began = Clock::now();
    const RenderOptions& options = s.options;
    describeRun(s, options.album ? "album" : "batch");
    if (mkdir(options.outDir.c_str(), 0777) != 0 && errno != EEXIST)
        return s.failRun(kExitFailure, "output-unwritable", "cannot create the folder " + options.outDir);
    StartingPoint start;
    if (int status = probe(s, start))
        return status;

    std::vector<Track> tracks(plan.jobs.size());
    for (size_t i = 0; i < tracks.size(); ++i)
    {
        FileResult& r = tracks[i].report;
        r.inputPath = plan.jobs[i].inputPath;
        r.outputPath = plan.jobs[i].outputPath;
        r.name = plan.jobs[i].name;
        if (sameFile(r.inputPath, r.outputPath))
        {
            r.error = "the output would overwrite the input";
            r.errorCode = "usage";
        }
        else if (!checkWritable(r.outputPath, r.error))
            r.errorCode = "output-unwritable";
        r.failed = !r.error.empty();
    }
    const int workers = workerCount(options);
    RunResult& run = s.run;
    run.album = options.album;
    // Files fill the workers; when there are fewer files than workers, a
    // file's passes of a round run side by side.
    const int files = (int)tracks.size();
    const int perFile = std::min(kPassesPerRound, std::max(1, workers / files));
    run.workers = options.album ? std::min(workers, files * kPassesPerRound)
                                : std::min(workers, std::min(workers, files) * perFile);
    printBatchHeader(s.text, run, tracks.size(), options.outDir);

    if (options.album)
    {
        runInParallel(workers, tracks.size(), [&](size_t i) {
            if (!tracks[i].report.failed && !readTrack(s, start, tracks[i]))
                tracks[i].report.failed = true;
        });
        for (const Track& t : tracks)
            if (t.report.failed)
                fail(kExitFailure, t.report.name + ": " + t.report.error);
        return masterAlbum(s, start, tracks, began);
    }

    std::atomic<int> finished{0};
    runInParallel(workers, tracks.size(), [&](size_t i) {
        Track& t = tracks[i];
        const Clock::time_point fileBegan = Clock::now();
        masterTrack(s, start, t, perFile);
        if (!t.report.failed)
            finishSettings(s, t, false);
        s.buffers.give(std::move(t.output));
        t.input.clear();
        t.input.shrink_to_fit();
        t.report.wallSeconds = seconds(fileBegan);
        std::lock_guard<std::mutex> lock(s.printMutex);
        printFileDone(s.text, t.report, ++finished, tracks.size());
        std::fflush(s.text);
    });
    const bool saved = tracks.size() != 1 || tracks[0].report.failed || !options.presetFiles.saves() ||
                       finishSettings(s, tracks[0], true);
    collect(run, tracks);
    run.wallSeconds = seconds(began);
    run.cpuSeconds = cpuSeconds();
    printSummary(s.text, run);
    printBatchEnd(s.text, run);
    const int failures =
        (int)std::count_if(run.files.begin(), run.files.end(), [](const FileResult& f) { return f.failed; });
    if (failures == files)
        return fail(kExitFailure, files == 1 ? std::string("the file failed; nothing was written")
                                             : "all " + std::to_string(files) + " files failed; nothing was written");
    if (failures)
        return fail(kExitFailure, std::to_string(failures) + " of " + std::to_string(files) +
                                      " files failed; the other " + std::to_string(files - failures) +
                                      (files - failures == 1 ? " was written" : " were written"));
    return saved ? kExitSuccess : kExitFailure;
}

int analyseFiles(Session& s, const JobPlan& plan)
{
    const Clock::time_point began = Clock::now();
    describeRun(s, "analyse");
    StartingPoint start;
    if (int status = probe(s, start))
        return status;
    const bool searching = searchesTarget(s.options);
    s.run.workers = searching ? std::min(workerCount(s.options), kPassesPerRound) : 1;
    if (searching)
        std::fprintf(s.text, "Target   %s\n", s.run.targets.c_str());
    int failures = 0;
    for (const Job& job : plan.jobs)
    {
        Track t;
        t.report.inputPath = job.inputPath;
        t.report.name = job.name;
        if (!readTrack(s, start, t))
        {
            ++failures;
            t.report.failed = true;
            fail(kExitFailure, t.report.error);
            s.run.files.push_back(std::move(t.report));
            continue;
        }
        printAnalysedInput(s.text, t.report);
        if (searching)
        {
            std::vector<Track*> one{&t};
            SearchOutcome outcome = searchSettings(s, start, one, t.report.input, s.run.workers, true,
                                                   [&](const PassRecord& p) { printPass(s.text, p); });
            t.report.searched = true;
            if (!outcome.met)
            {
                ++failures;
                t.report.failed = true;
                t.report.errorCode = outcome.failedTrack ? "plugin" : "target-unreachable";
                t.report.error = outcome.failedTrack ? outcome.error : "cannot meet the target: " + outcome.error;
                fail(kExitFailure, job.inputPath + ": " + t.report.error);
            }
            else
            {
                finishSettings(s, t, false);
                printAnalysedSearch(s.text, t.report);
            }
            s.buffers.give(std::move(t.output));
        }
        s.run.files.push_back(std::move(t.report));
    }
    s.run.wallSeconds = seconds(began);
    s.run.cpuSeconds = cpuSeconds();
    return failures ? kExitFailure : kExitSuccess;
}
