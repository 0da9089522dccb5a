#include "tools/render/DemoSignal.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5;              // seconds per beat at 120 BPM
constexpr double kSixteenth = kBeat / 4.0; // seconds

// xorshift32: small, fast and the same everywhere.
class NoiseSource
{
public:
    explicit NoiseSource(uint32_t seed) : state(seed ? seed : 1) {}
    double next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state / 2147483648.0 - 1.0;
    }

private:
    uint32_t state;
};

struct Stereo
{
    std::vector<double>& samples;
    int frames;
    void add(int frame, double left, double right)
    {
        if (frame >= 0 && frame < frames)
        {
            samples[2 * frame] += left;
            samples[2 * frame + 1] += right;
        }
    }
};

int frameAt(double seconds) { return (int)std::lround(seconds * DemoSignal::kSampleRate); }

// Kick: a sine falling from 150 Hz to 48 Hz with a short click.
void addKick(Stereo& out, double start, double level)
{
    const double rate = DemoSignal::kSampleRate;
    double phase = 0.0;
    const int length = frameAt(0.45);
    const int first = frameAt(start);
    for (int n = 0; n < length; ++n)
    {
        double t = n / rate;
        double frequency = 48.0 + 102.0 * std::exp(-t / 0.03);
        phase += 2.0 * kPi * frequency / rate;
        double body = std::sin(phase) * std::exp(-t / 0.16);
        double click = n < 90 ? 0.5 * std::exp(-n / 20.0) : 0.0;
        double v = level * (body + click);
        out.add(first + n, v, v);
    }
}

// Snare: a 190 Hz tone and bright noise.
void addSnare(Stereo& out, double start, double level, NoiseSource& noise)
{
    const double rate = DemoSignal::kSampleRate;
    const int length = frameAt(0.3);
    const int first = frameAt(start);
    double previous = 0.0;
    for (int n = 0; n < length; ++n)
    {
        double t = n / rate;
        double white = noise.next();
        double bright = white - 0.6 * previous; // tilts the noise upwards
        previous = white;
        double tone = std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t / 0.05);
        double v = level * (0.55 * tone + 0.6 * bright * std::exp(-t / 0.07));
        out.add(first + n, v, v * 0.95);
    }
}

// Hi-hat: high-passed noise with a short decay, a little to the right.
void addHat(Stereo& out, double start, double level, double decay, NoiseSource& noise)
{
    const double rate = DemoSignal::kSampleRate;
    const int length = frameAt(decay * 6.0);
    const int first = frameAt(start);
    double previous = 0.0;
    for (int n = 0; n < length; ++n)
    {
        double white = noise.next();
        double high = white - previous;
        previous = white;
        double v = level * 0.5 * high * std::exp(-(n / rate) / decay);
        out.add(first + n, v * 0.8, v);
    }
}

// A band-limited sawtooth by its first harmonics.
double saw(double phase, int harmonics)
{
    double v = 0.0;
    for (int k = 1; k <= harmonics; ++k)
        v += std::sin(k * phase) / k;
    return v * (2.0 / kPi);
}

// Bass: one note, a sawtooth with a plucked envelope.
void addBassNote(Stereo& out, double start, double duration, double frequency, double level)
{
    const double rate = DemoSignal::kSampleRate;
    const int length = frameAt(duration);
    const int first = frameAt(start);
    for (int n = 0; n < length; ++n)
    {
        double t = n / rate;
        double attack = std::min(1.0, t / 0.004);
        double release = std::min(1.0, (duration - t) / 0.01);
        double envelope = attack * release * (0.55 + 0.45 * std::exp(-t / 0.12));
        double v = level * envelope * saw(2.0 * kPi * frequency * t, 8);
        out.add(first + n, v, v);
    }
}

// Chord: three voices, detuned between left and right, slow attack.
void addChord(Stereo& out, double start, double duration, const double (&frequencies)[3], double level)
{
    const double rate = DemoSignal::kSampleRate;
    const int length = frameAt(duration);
    const int first = frameAt(start);
    for (int n = 0; n < length; ++n)
    {
        double t = n / rate;
        double envelope = std::min(1.0, t / 0.08) * std::min(1.0, (duration - t) / 0.1);
        double left = 0.0, right = 0.0;
        for (double f : frequencies)
        {
            left += saw(2.0 * kPi * f * 0.998 * t, 5);
            right += saw(2.0 * kPi * f * 1.002 * t, 5);
        }
        out.add(first + n, level * envelope * left, level * envelope * right);
    }
}
} // namespace

std::vector<double> generateDemoSignal(uint32_t seed)
{
    const int frames = frameAt(DemoSignal::kSeconds);
    std::vector<double> samples(2 * (size_t)frames, 0.0);
    Stereo out{samples, frames};
    NoiseSource noise(seed);

    // A minor, F, C, G: one chord per bar of four beats.
    const double roots[4] = {55.0, 43.6535, 65.4064, 48.9994};
    const double chords[4][3] = {
        {220.0, 261.626, 329.628}, {174.614, 220.0, 261.626}, {196.0, 261.626, 329.628}, {196.0, 246.942, 293.665}};
    // Bass rhythm over one bar in sixteenths: position and octave.
    const int bassSteps[][2] = {{0, 1}, {3, 1}, {6, 2}, {8, 1}, {10, 1}, {11, 2}, {14, 1}};

    const double bar = 4.0 * kBeat;
    const int bars = (int)(DemoSignal::kSeconds / bar);
    for (int b = 0; b < bars; ++b)
    {
        double barStart = b * bar;
        addChord(out, barStart, bar, chords[b % 4], 0.045);
        for (const auto& step : bassSteps)
            addBassNote(out, barStart + step[0] * kSixteenth, 1.8 * kSixteenth, roots[b % 4] * step[1], 0.30);
        addKick(out, barStart, 0.9);
        addKick(out, barStart + 2.0 * kBeat, 0.9);
        if (b % 2 == 1)
            addKick(out, barStart + 2.5 * kBeat, 0.7);
        addSnare(out, barStart + kBeat, 0.75, noise);
        addSnare(out, barStart + 3.0 * kBeat, 0.8, noise);
        for (int s = 0; s < 16; ++s)
        {
            bool open = s % 4 == 2;
            double accent = s % 2 == 0 ? 0.32 : 0.2;
            addHat(out, barStart + s * kSixteenth, accent, open ? 0.06 : 0.012, noise);
        }
    }

    double peak = 0.0;
    for (double v : samples)
        peak = std::max(peak, std::fabs(v));
    if (peak > 0.0)
        for (double& v : samples)
            v *= DemoSignal::kPeak / peak;
    return samples;
}
