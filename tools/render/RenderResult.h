// What a run found, file by file: filled while the jobs run and read by the
// report afterwards (text now; every figure a script needs is here), so
// that no number is printed that is not also kept.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/LoudnessMeter.h"
#include "tools/render/LoudnessSearch.h"
#include "tools/render/RenderReport.h"

struct PassRecord
{
    int number = 0;
    PassSettings settings;
    LoudnessFigures figures{};
};

// An encoded delivery as decoded after one encoding, with the Drive and
// ceiling it was rendered with.
struct EncodingTry
{
    int number = 0;
    double driveDb = 0.0, outputDb = 0.0;
    LoudnessFigures decoded{};
    double reconstructedPeakDb = NAN; // the decoded file's, by ideal reconstruction
};

// One parameter as the file was rendered with it.
struct ParameterValue
{
    std::string name;
    double value = 0.0; // normalised
    std::string display;
    std::string unit;       // the row's unit symbol ("%" for L/R Link, whose host label is empty)
    std::string setting;    // the value as --set takes it back: "+3dB", "type C"
    double unitValue = 0.0; // in the row's unit; NaN for stepped rows
};

struct FileResult
{
    std::string inputPath, outputPath, name;
    std::string inputFormat, outputFormat; // described for people
    int channels = 0, rate = 0;
    int inputRate = 0;  // before --rate converted it; else the rate
    int outputBits = 0; // of integer samples; 0 for floating point or not known
    double seconds = 0.0;

    // The plug-in as set up for a plain render.
    std::string program, drive, output, power;
    int latency = 0;
    std::string wordLength;
    std::vector<ParameterValue> parameters;

    LoudnessFigures input{}, result{};
    // The written file's true peak by ideal reconstruction (dBTP), beside
    // result's BS.1770 reading; NAN where no file was written and read back.
    double reconstructedPeakDb = NAN;
    GainReductionReport gainReduction{{false, 0.0, 0.0}, ""};

    // A search: the settings found, each pass and the notes on the settings.
    bool searched = false;
    PassSettings settings;
    std::vector<PassRecord> passes;
    int passTaken = 0; // the number of the pass whose output is the file
    std::vector<std::string> notes;
    std::vector<std::string> warnings;
    // An encoded delivery: each encoding decoded and measured; the last is the file.
    std::vector<EncodingTry> encodings;

    bool failed = false;
    std::string errorCode; // stable, for scripts: see the README
    std::string error;
    double wallSeconds = 0.0;
};

struct RunResult
{
    std::string mode;             // render, master, batch, album
    int status = 0;               // the exit status
    std::string errorCode, error; // what ended the run, when not one file's failure
    std::string targetName;
    double loudnessTarget = NAN, truePeakTarget = NAN;
    std::string targets; // described for people
    std::vector<FileResult> files;
    bool album = false;
    LoudnessFigures albumInput{}, albumResult{};
    int workers = 1; // at most this many passes ran at once
    int passesPerTrack = 0;
    double wallSeconds = 0.0, cpuSeconds = 0.0;
};
