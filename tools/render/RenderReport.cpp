#include "tools/render/RenderReport.h"

#include <algorithm>
#include <cmath>

#include "tools/render/Messages.h"
#include "tools/render/Numbers.h"
#include "tools/render/RenderResult.h"

namespace
{
void printStreamLine(std::FILE* out, const char* name, const LoudnessFigures& f)
{
    std::fprintf(out, "  %-8s %12s dBFS %10s dBTP %10s LUFS %8s LU\n", name, formatNumber(f.samplePeakDb, 2).c_str(),
                 formatNumber(f.truePeakDb, 2).c_str(), formatNumber(f.integratedLufs, 1).c_str(),
                 formatNumber(f.rangeLu, 1).c_str());
}

// "2.41 s (4.02 s CPU)": the processor time of all threads beside the wall
// time shows what a busy machine took away.
std::string timing(const RunResult& run)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f s (%.2f s CPU)", run.wallSeconds, run.cpuSeconds);
    return text;
}

void printSettings(std::FILE* out, const FileResult& file)
{
    std::fprintf(out, "  settings: Drive %s dB, Output %s dB\n", formatNumber(file.settings.driveDb, 2, true).c_str(),
                 formatNumber(file.settings.outputDb, 2, true).c_str());
    for (const std::string& note : file.notes)
        std::fprintf(out, "  %s\n", note.c_str());
    for (const EncodingTry& e : file.encodings)
        std::fprintf(out, "  encoding %d: Drive %s dB, Output %s dB -> decoded %s LUFS, %s dBTP\n", e.number,
                     formatNumber(e.driveDb, 2, true).c_str(), formatNumber(e.outputDb, 2, true).c_str(),
                     formatNumber(e.decoded.integratedLufs, 2).c_str(), formatNumber(e.decoded.truePeakDb, 2).c_str());
}

const char* layout(int channels) { return channels == 2 ? "stereo" : "mono"; }
} // namespace

// The table's true peak is BS.1770's; the written file read back through an
// ideal reconstruction is what a converter's long filters or a decoder show.
void printReconstructedPeak(std::FILE* out, const FileResult& file)
{
    if (!std::isnan(file.reconstructedPeakDb))
        std::fprintf(out, "  true peak by ideal reconstruction: output %s dBTP (the table's is BS.1770)\n",
                     formatNumber(file.reconstructedPeakDb, 2).c_str());
}

void printLoudnessReport(std::FILE* out, const LoudnessFigures& input, const LoudnessFigures& output,
                         const GainReductionReport& gainReduction)
{
    std::fprintf(out, "\n  %-8s %17s %15s %15s %11s\n", "", "sample peak", "true peak", "integrated", "range");
    printStreamLine(out, "input", input);
    printStreamLine(out, "output", output);
    std::fprintf(out, "  gain reduction (estimate): ");
    if (!gainReduction.unavailableReason.empty())
        std::fprintf(out, "none, %s\n", gainReduction.unavailableReason.c_str());
    else if (!gainReduction.figures.measured)
        std::fprintf(out, "not measured, no sample above -30 dBFS\n");
    else
        std::fprintf(out, "deepest %s dB, average %s dB\n", formatNumber(gainReduction.figures.deepestDb, 2).c_str(),
                     formatNumber(gainReduction.figures.averageDb, 2).c_str());
}

void printBenchmarkReport(std::FILE* out, const BenchmarkFigures& f, int sampleRate, int channels, int blockSize,
                          bool useDouble)
{
    std::fprintf(out, "Benchmark: %lld frames at %d Hz, %s, blocks of %d, %s callback, %d passes\n",
                 (long long)f.framesPerPass, sampleRate, layout(channels), blockSize, useDouble ? "64-bit" : "32-bit",
                 f.passes);
    std::fprintf(out, "  %.1f ns per %s frame (median pass), %.1f ns (best pass)\n", f.medianNsPerFrame,
                 layout(channels), f.bestNsPerFrame);
    std::fprintf(out, "  real-time factor %.1fx\n", f.realTimeFactor);
}

void printRenderHeader(std::FILE* out, const FileResult& file, bool useDouble, bool align)
{
    std::fprintf(out, "Input    %s: %s, %d Hz, %s, %.3f s\n", printable(file.inputPath).c_str(),
                 file.inputFormat.c_str(), file.rate, layout(file.channels), file.seconds);
    std::fprintf(out, "Program  \"%s\": Drive %s dB, Output %s dB, Power %s%s\n", printable(file.program).c_str(),
                 file.drive.c_str(), file.output.c_str(), file.power.c_str(), useDouble ? ", 64-bit processing" : "");
    std::fprintf(out, "Latency  %d samples, %s\n", file.latency, align ? "compensated" : "kept (--no-align)");
    std::fprintf(out, "Output   %s: %s\n", printable(file.outputPath).c_str(), file.outputFormat.c_str());
    if (!file.wordLength.empty())
        std::fprintf(out, "Words    %s\n", file.wordLength.c_str());
}

void printSearchHeader(std::FILE* out, const FileResult& file, const std::string& targets)
{
    std::fprintf(out, "Input    %s: %.3f s, %s, %s LUFS, %s dBTP\n", printable(file.inputPath).c_str(), file.seconds,
                 layout(file.channels), formatNumber(file.input.integratedLufs, 2).c_str(),
                 formatNumber(file.input.truePeakDb, 2).c_str());
    if (file.inputRate != file.rate)
        std::fprintf(out, "Rate     %d Hz converted to %d Hz before mastering (libsoxr, very high quality)\n",
                     file.inputRate, file.rate);
    std::fprintf(out, "Target   %s\n", targets.c_str());
    std::fprintf(out, "Output   %s: %s\n", printable(file.outputPath).c_str(), file.outputFormat.c_str());
    std::fflush(out);
}

std::string passLine(const PassRecord& pass)
{
    char line[160];
    std::snprintf(
        line, sizeof line, "Pass %d   Drive %7s dB  Output %6s dB  ->  %7s LUFS %7s dBTP", pass.number,
        formatNumber(pass.settings.driveDb, 2, true).c_str(), formatNumber(pass.settings.outputDb, 2, true).c_str(),
        formatNumber(pass.figures.integratedLufs, 2).c_str(), formatNumber(pass.figures.truePeakDb, 2).c_str());
    return line;
}

void printSearchEnd(std::FILE* out, const RunResult& run)
{
    const FileResult& file = run.files.front();
    printLoudnessReport(out, file.input, file.result, file.gainReduction);
    printReconstructedPeak(out, file);
    printSettings(out, file);
    std::fprintf(out, "Done     %d passes, %s with %d workers\n", run.passesPerTrack, timing(run).c_str(), run.workers);
}

void printAnalysedInput(std::FILE* out, const FileResult& file)
{
    std::fprintf(out, "Input    %s: %s, %d Hz, %s, %.3f s\n", printable(file.inputPath).c_str(),
                 file.inputFormat.c_str(), file.rate, layout(file.channels), file.seconds);
    std::fprintf(out, "  %-8s %17s %15s %15s %11s\n", "", "sample peak", "true peak", "integrated", "range");
    printStreamLine(out, "levels", file.input);
    std::fflush(out);
}

void printAnalysedSearch(std::FILE* out, const FileResult& file)
{
    printSettings(out, file);
    printStreamLine(out, "would be", file.result);
    std::fprintf(out, "  (analysed only: nothing was written)\n");
    std::fflush(out);
}

void printBatchHeader(std::FILE* out, const RunResult& run, size_t files, const std::string& folder)
{
    std::fprintf(out, "Target   %s\n", run.targets.c_str());
    std::fprintf(out, "Batch    %zu files into %s, %d workers%s\n", files, printable(folder).c_str(), run.workers,
                 run.album ? ", as one album" : "");
    std::fflush(out);
}

void printAlbumInput(std::FILE* out, size_t tracks, const LoudnessFigures& input)
{
    std::fprintf(out, "Album    %zu tracks, %s LUFS, %s dBTP\n", tracks, formatNumber(input.integratedLufs, 2).c_str(),
                 formatNumber(input.truePeakDb, 2).c_str());
}

void printAlbumEnd(std::FILE* out, const RunResult& run, const FileResult& first)
{
    std::fprintf(out, "\nAlbum    %s LUFS, true peak %s dBTP, range %s LU\n",
                 formatNumber(run.albumResult.integratedLufs, 2).c_str(),
                 formatNumber(run.albumResult.truePeakDb, 2).c_str(), formatNumber(run.albumResult.rangeLu, 1).c_str());
    printSettings(out, first);
    printSummary(out, run);
    const size_t tracks = (size_t)std::count_if(run.files.begin(), run.files.end(),
                                                [](const FileResult& f) { return !f.passes.empty(); });
    std::fprintf(out, "Done     %zu tracks, %d passes each, %s with %d workers\n", tracks, run.passesPerTrack,
                 timing(run).c_str(), run.workers);
}

void printSummary(std::FILE* out, const RunResult& run)
{
    std::fprintf(out, "\n%-28s %-7s %8s %8s %8s %6s %8s %8s %7s\n", "file", "status", "LUFS", "dBTP", "peak", "LRA",
                 "Drive", "Output", "passes");
    for (const FileResult& f : run.files)
    {
        const std::string shown = printable(f.name);
        std::string name = shown.size() > 28 ? shown.substr(0, 25) + "..." : shown;
        if (f.failed)
        {
            std::fprintf(out, "%-28s %-7s %s\n", name.c_str(), "FAILED", printable(f.error).c_str());
            continue;
        }
        const LoudnessFigures& r = f.result;
        std::fprintf(out, "%-28s %-7s %8s %8s %8s %6s %8s %8s %7zu\n", name.c_str(), "ok",
                     formatNumber(r.integratedLufs, 2).c_str(), formatNumber(r.truePeakDb, 2).c_str(),
                     formatNumber(r.samplePeakDb, 2).c_str(), formatNumber(r.rangeLu, 1).c_str(),
                     formatNumber(f.settings.driveDb, 2, true).c_str(),
                     formatNumber(f.settings.outputDb, 2, true).c_str(),
                     // An album's tracks count up to the pass taken.
                     run.album ? (size_t)f.passTaken : f.passes.size());
    }
}

void printBatchEnd(std::FILE* out, const RunResult& run)
{
    const int failures =
        (int)std::count_if(run.files.begin(), run.files.end(), [](const FileResult& f) { return f.failed; });
    std::fprintf(out, "Done     %zu files, %d failed, %s with %d workers\n", run.files.size(), failures,
                 timing(run).c_str(), run.workers);
}
