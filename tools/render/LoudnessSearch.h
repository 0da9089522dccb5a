// The search for the Drive and Output ceiling that meet a loudness and a
// true-peak target. It only plans passes and reads their measurements; the
// passes themselves run the whole plug-in (Mastering.cpp).
//
// The Output gain is a plain gain after the limiter, so one pass at Drive x
// tells the loudness and the true-peak overshoot for every Output at that
// Drive: loudness - ceiling and truePeak - output depend on x alone. The
// Drive is then found on a one-dimensional, rising, flattening curve: each
// pass predicts from the measured points (a secant through the nearest
// two, or a slope guess from the first), since limiting is not linear.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tools/render/LoudnessMeter.h"

struct SearchTargets
{
    double loudness = NAN; // LUFS, NAN: none
    double truePeak = NAN; // dBTP, NAN: none
    bool hasLoudness() const { return !std::isnan(loudness); }
    bool hasTruePeak() const { return !std::isnan(truePeak); }
};

// What one pass sets: Drive and Output in dB. The search moves one gain:
// the Drive while it is in range, below its range the Output as well.
struct PassSettings
{
    double driveDb = 0.0;
    double outputDb = 0.0;
    double gainDb = 0.0;    // the searched gain: Drive, continued below its range
    double ceilingDb = 0.0; // the Output without the part that continues the Drive
};

struct SearchPass
{
    PassSettings settings;
    LoudnessFigures figures;
};

class LoudnessSearch
{
public:
    // The plug-in's Drive and Output ranges in dB, from its parameter rows.
    static const double kDriveMinDb;
    static const double kDriveMaxDb;
    static const double kOutputMinDb;
    static const double kOutputMaxDb;
    // A pass this close to the loudness target is taken; the limit after
    // that many passes is the promise of ±0.1 LU.
    static constexpr double kAimLu = 0.05;
    static constexpr double kToleranceLu = 0.1;
    static constexpr int kMaximumPasses = 10;

    // `startDriveDb` and `startOutputDb` are the program's values; `guarded`
    // says the plug-in's true-peak guard is on, so that no overshoot is
    // expected before the first measurement. `input` is the input's figures.
    LoudnessSearch(const SearchTargets& targets, double startDriveDb, double startOutputDb, bool guarded,
                   const LoudnessFigures& input);

    enum class State
    {
        searching,
        met,
        failed,
    };
    State state() const { return currentState; }
    // Why the search failed: a sentence for the user.
    const std::string& failure() const { return failureText; }

    // Up to `count` settings to try next (fewer when fewer are useful).
    std::vector<PassSettings> nextPasses(int count);
    // Records a finished pass; returns true when it meets the targets.
    bool record(const PassSettings& settings, const LoudnessFigures& figures);
    // The pass that met the targets (or came closest).
    int bestPass() const { return best; }
    const std::vector<SearchPass>& passes() const { return done; }
    // Whether a pass's figures meet the targets within `toleranceLu`.
    bool meets(const LoudnessFigures& figures, double toleranceLu) const;
    const SearchTargets& aims() const { return targets; }
    // Moves the targets and searches on. What the passes measured holds
    // for any target (see above), so a search that met one target finds a
    // nearby one in a pass or two: an encoder's change of the loudness or
    // the peaks is made up for by aiming past it. Each retarget allows
    // another kMaximumPasses.
    void retarget(const SearchTargets& moved);

private:
    struct Point
    {
        double drive;     // dB, as set
        double loudness;  // LUFS minus the ceiling part of the Output
        double overshoot; // true peak minus the Output, dB
    };
    PassSettings settingsFor(double drive) const;
    double ceilingFor() const;
    // The gain to try next, and how far from it a second pass should go.
    double predictDrive(int count, double& hedge) const;
    void fail(const std::string& text);
    void checkTruePeakLimit();

    SearchTargets targets;
    double startDrive, startOutput;
    bool guarded;
    LoudnessFigures input;
    std::vector<Point> points;
    std::vector<SearchPass> done;
    State currentState = State::searching;
    std::string failureText;
    int best = -1;
    size_t firstPass = 0; // of the passes towards the present targets
};
