#include "tools/render/LoudnessSearch.h"

#include <algorithm>
#include <cstdio>

#include "tools/render/ParameterGains.h"

const double LoudnessSearch::kDriveMinDb = lowestGainDb(kDrive);
const double LoudnessSearch::kDriveMaxDb = highestGainDb(kDrive);
const double LoudnessSearch::kOutputMinDb = lowestGainDb(kOutput);
const double LoudnessSearch::kOutputMaxDb = highestGainDb(kOutput);

namespace
{
// Added to a measured true-peak overshoot: the dither and the pass-to-pass
// change of the limiting move the peak by a few thousandths of a dB.
constexpr double kOvershootSafetyDb = 0.02;
// The overshoot expected before anything is measured, with only the
// plug-in's half-sample detector (Oversample) between the samples.
constexpr double kUnguardedOvershootGuessDb = 0.5;
// How much of the peaks' excess over full scale the limiter is expected
// to take out of the loudness, for a first pass on its own and for the
// second of a first pair; only guesses, the passes correct them.
constexpr double kFirstLimitingShare = 0.1;
constexpr double kSecondLimitingShare = 0.4;

std::string decibels(double value, const char* unit)
{
    char text[48];
    std::snprintf(text, sizeof text, "%+.2f %s", value, unit);
    return text;
}
} // namespace

LoudnessSearch::LoudnessSearch(const SearchTargets& targets, double startDriveDb, double startOutputDb, bool guarded,
                               const LoudnessFigures& input)
    : targets(targets),
      startDrive(startDriveDb),
      startOutput(startOutputDb),
      guarded(guarded),
      input(input)
{
    if (!(targets.hasLoudness() || targets.hasTruePeak()))
        return;
    if (std::isinf(input.samplePeakDb))
        fail("the input is silent: there is nothing to bring to the target");
    else if (targets.hasLoudness() && std::isinf(input.integratedLufs))
        fail("the input has no integrated loudness to start from (it needs at least 0.4 s above -70 LUFS)");
    else
        checkTruePeakLimit();
}

void LoudnessSearch::checkTruePeakLimit()
{
    if (targets.hasTruePeak() && std::min(targets.truePeak, kOutputMaxDb) < kOutputMinDb)
        fail("a true-peak limit of " + decibels(targets.truePeak, "dBTP") + " is below the Output range (" +
             decibels(kOutputMinDb, "dB") + ")");
}

void LoudnessSearch::retarget(const SearchTargets& moved)
{
    if (currentState == State::failed)
        return;
    targets = moved;
    currentState = State::searching;
    best = -1;
    firstPass = done.size();
    checkTruePeakLimit();
}

void LoudnessSearch::fail(const std::string& text)
{
    currentState = State::failed;
    failureText = text;
}

bool LoudnessSearch::meets(const LoudnessFigures& figures, double toleranceLu) const
{
    if (targets.hasLoudness() && !(std::fabs(figures.integratedLufs - targets.loudness) <= toleranceLu))
        return false;
    return !targets.hasTruePeak() || figures.truePeakDb <= targets.truePeak;
}

double LoudnessSearch::ceilingFor() const
{
    if (!targets.hasTruePeak())
        return startOutput;
    // The largest overshoot seen so far: it grows with the Drive, and a
    // ceiling a little too low costs only a little Drive.
    double overshoot = guarded ? 0.0 : kUnguardedOvershootGuessDb;
    if (!points.empty())
    {
        overshoot = 0.0;
        for (const Point& p : points)
            overshoot = std::max(overshoot, p.overshoot);
    }
    double margin = overshoot > 0.0 ? overshoot + kOvershootSafetyDb : 0.0;
    return std::min(targets.truePeak, kOutputMaxDb) - margin;
}

PassSettings LoudnessSearch::settingsFor(double gain) const
{
    PassSettings s;
    s.gainDb = gain;
    s.ceilingDb = ceilingFor();
    s.driveDb = std::max(gain, kDriveMinDb);
    s.outputDb = s.ceilingDb + std::min(0.0, gain - kDriveMinDb);
    return s;
}

double LoudnessSearch::predictDrive(int count, double& hedge) const
{
    const double wanted = targets.loudness - ceilingFor();
    if (points.empty())
    {
        // Unlimited, the loudness follows the gain dB for dB, and limiting
        // (and the leveller) only take loudness away: the plain gain is a
        // lower bound, and a second pass tries for a share of whatever the
        // peaks would exceed full scale by.
        double gain = wanted - input.integratedLufs;
        double excess = std::max(0.0, input.truePeakDb + gain);
        if (count < 2)
            return gain + kFirstLimitingShare * excess;
        hedge = std::max(0.3, kSecondLimitingShare * excess);
        return gain;
    }
    std::vector<Point> sorted = points;
    std::sort(sorted.begin(), sorted.end(), [](const Point& a, const Point& b) { return a.drive < b.drive; });
    const Point* below = nullptr;
    const Point* above = nullptr;
    for (const Point& p : sorted)
    {
        if (p.loudness < wanted)
            below = &p; // the highest gain still short of the target
        else if (!above)
            above = &p; // the lowest gain past it
    }
    const Point* a = below;
    const Point* b = above;
    if (!a || !b)
    {
        // All on one side: the two nearest the target, or one point and a
        // slope that flattens with the limiting already seen there.
        std::sort(sorted.begin(), sorted.end(), [&](const Point& p, const Point& q) {
            return std::fabs(p.loudness - wanted) < std::fabs(q.loudness - wanted);
        });
        a = &sorted[0];
        b = sorted.size() > 1 ? &sorted[1] : nullptr;
    }
    double slope;
    if (b && std::fabs(b->drive - a->drive) > 1e-6)
        slope = (b->loudness - a->loudness) / (b->drive - a->drive);
    else
    {
        double lost = input.integratedLufs + a->drive - a->loudness;
        slope = lost > 3.0 ? 0.4 : lost > 1.0 ? 0.6 : 0.85;
    }
    slope = std::clamp(slope, 0.05, 1.0);
    const double gain = a->drive + (wanted - a->loudness) / slope;
    // The curve flattens: a chord between two points around the target
    // lies under it and predicts too much gain; carried beyond the points
    // it lies over it and predicts too little. The second pass of a round
    // goes the way the error is expected.
    const bool between = below && above;
    const double nearest = std::fabs(gain - a->drive) < (b ? std::fabs(gain - b->drive) : 1e300) ? a->drive : b->drive;
    double step = std::clamp(0.3 * std::fabs(gain - nearest), 0.03, 1.0);
    hedge = between ? -step : (b ? step : (gain >= nearest ? step : -step));
    return gain;
}

std::vector<PassSettings> LoudnessSearch::nextPasses(int count)
{
    std::vector<PassSettings> next;
    if (currentState != State::searching)
        return next;
    if ((int)(done.size() - firstPass) >= kMaximumPasses)
    {
        if (best >= 0 && meets(done[(size_t)best].figures, kToleranceLu))
            currentState = State::met;
        else
            fail("no setting met the target within " + std::to_string(kMaximumPasses) + " passes");
        return next;
    }
    if (!targets.hasLoudness())
    {
        next.push_back(settingsFor(startDrive));
        if (next[0].outputDb < kOutputMinDb)
            fail("the true-peak limit needs an Output below its range (" + decibels(kOutputMinDb, "dB") + ")");
        return currentState == State::searching ? next : std::vector<PassSettings>{};
    }

    double hedge = 0.0;
    double gain = predictDrive(count, hedge);
    const bool atTop =
        std::any_of(points.begin(), points.end(), [](const Point& p) { return p.drive >= kDriveMaxDb - 1e-6; });
    if (gain > kDriveMaxDb)
    {
        if (atTop)
        {
            fail("reaching " + decibels(targets.loudness, "LUFS") + " needs more than the full Drive (" +
                 decibels(kDriveMaxDb, "dB") + ")");
            return next;
        }
        gain = kDriveMaxDb;
    }
    std::vector<double> gains{gain};
    if (count >= 2 && hedge != 0.0)
        gains.push_back(std::min(gain + hedge, kDriveMaxDb));
    for (double g : gains)
    {
        if ((int)next.size() >= count)
            break;
        PassSettings s = settingsFor(g);
        if (s.outputDb < kOutputMinDb)
        {
            if (next.empty())
                fail("reaching " + decibels(targets.loudness, "LUFS") +
                     " needs less than the lowest Drive and Output (" + decibels(kDriveMinDb, "dB") + ", " +
                     decibels(kOutputMinDb, "dB") + ")");
            break;
        }
        bool repeated = std::any_of(next.begin(), next.end(),
                                    [&](const PassSettings& n) { return std::fabs(n.gainDb - g) < 1e-4; });
        if (!repeated)
            next.push_back(s);
    }
    return next;
}

bool LoudnessSearch::record(const PassSettings& settings, const LoudnessFigures& figures)
{
    done.push_back({settings, figures});
    const int index = (int)done.size() - 1;
    if (currentState != State::searching)
        return false;
    if (!targets.hasLoudness() && !targets.hasTruePeak())
    {
        best = index;
        currentState = State::met;
        return true;
    }
    if (targets.hasLoudness() && std::isinf(figures.integratedLufs))
    {
        fail("the output has no measurable loudness");
        return false;
    }
    points.push_back(
        {settings.gainDb, figures.integratedLufs - settings.ceilingDb, figures.truePeakDb - settings.outputDb});

    auto error = [&](const LoudnessFigures& f) {
        double e = targets.hasLoudness() ? std::fabs(f.integratedLufs - targets.loudness) : 0.0;
        // A true peak over the limit disqualifies a pass before any
        // loudness error does.
        if (targets.hasTruePeak() && f.truePeakDb > targets.truePeak)
            e += 1000.0;
        return e;
    };
    if (best < 0 || error(figures) < error(done[(size_t)best].figures))
        best = index;
    if (meets(figures, kAimLu))
    {
        best = index;
        currentState = State::met;
        return true;
    }
    if (targets.hasLoudness() && settings.driveDb >= kDriveMaxDb - 1e-6 &&
        figures.integratedLufs < targets.loudness - kToleranceLu)
    {
        char reached[64];
        std::snprintf(reached, sizeof reached, "%.1f LUFS", figures.integratedLufs);
        fail("reaching " + decibels(targets.loudness, "LUFS") + " needs more than the full Drive (" +
             decibels(kDriveMaxDb, "dB") + "), which gives " + reached);
    }
    return false;
}
