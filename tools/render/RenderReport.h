// The text the renderer prints, all of it read from the result records
// (RenderResult.h): what it is about to do, each pass of a search, and the
// measurements of input and output afterwards.
#pragma once

#include <cstdio>
#include <string>

#include "tools/render/Benchmark.h"
#include "tools/render/GainReductionEstimator.h"
#include "tools/render/LoudnessMeter.h"

struct FileResult;
struct PassRecord;
struct RunResult;

struct GainReductionReport
{
    GainReductionFigures figures;
    std::string unavailableReason; // set when no estimate applies (power off, calibration on)
    // With TP Guard on the output is low-passed, so single samples no longer
    // follow the input's: the estimate compares short stretches' peaks.
    int compareFrames = 1;
};

// The output's true peak by ideal reconstruction, when it was measured.
void printReconstructedPeak(std::FILE* out, const FileResult& file);
void printLoudnessReport(std::FILE* out, const LoudnessFigures& input, const LoudnessFigures& output,
                         const GainReductionReport& gainReduction);

void printBenchmarkReport(std::FILE* out, const BenchmarkFigures& figures, int sampleRate, int channels, int blockSize,
                          bool useDouble);

// A plain render: the input, the plug-in's settings, latency and output.
void printRenderHeader(std::FILE* out, const FileResult& file, bool useDouble, bool align);

// A search of one file: before, each pass, and after.
void printSearchHeader(std::FILE* out, const FileResult& file, const std::string& targets);
std::string passLine(const PassRecord& pass);
void printSearchEnd(std::FILE* out, const RunResult& run);

// --analyse: a file's levels, and the settings a search found.
void printAnalysedInput(std::FILE* out, const FileResult& file);
void printAnalysedSearch(std::FILE* out, const FileResult& file);

// Batches and albums.
void printBatchHeader(std::FILE* out, const RunResult& run, size_t files, const std::string& folder);
void printAlbumInput(std::FILE* out, size_t tracks, const LoudnessFigures& input);
void printAlbumEnd(std::FILE* out, const RunResult& run, const FileResult& first);
void printSummary(std::FILE* out, const RunResult& run);
void printBatchEnd(std::FILE* out, const RunResult& run);
