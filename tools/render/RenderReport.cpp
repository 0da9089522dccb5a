#include "tools/render/RenderReport.h"

#include <cmath>

namespace
{
// "-1.23" or "-inf" (silence), in a fixed width.
std::string number(double value, int decimals)
{
    char text[32];
    if (std::isinf(value))
        std::snprintf(text, sizeof text, "%s", value < 0 ? "-inf" : "inf");
    else
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

void printStreamLine(std::FILE* out, const char* name, const LoudnessFigures& f)
{
    std::fprintf(out, "  %-8s %12s dBFS %10s dBTP %10s LUFS %8s LU\n", name, number(f.samplePeakDb, 2).c_str(),
                 number(f.truePeakDb, 2).c_str(), number(f.integratedLufs, 1).c_str(), number(f.rangeLu, 1).c_str());
}
} // namespace

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
        std::fprintf(out, "deepest %s dB, average %s dB\n", number(gainReduction.figures.deepestDb, 2).c_str(),
                     number(gainReduction.figures.averageDb, 2).c_str());
}

void printBenchmarkReport(std::FILE* out, const BenchmarkFigures& f, int sampleRate, int channels, int blockSize,
                          bool useDouble)
{
    std::fprintf(out, "Benchmark: %lld frames at %d Hz, %s, blocks of %d, %s callback, %d passes\n",
                 (long long)f.framesPerPass, sampleRate, channels == 2 ? "stereo" : "mono", blockSize,
                 useDouble ? "64-bit" : "32-bit", f.passes);
    std::fprintf(out, "  %.1f ns per %s frame (median pass), %.1f ns (best pass)\n", f.medianNsPerFrame,
                 channels == 2 ? "stereo" : "mono", f.bestNsPerFrame);
    std::fprintf(out, "  real-time factor %.1fx\n", f.realTimeFactor);
}
