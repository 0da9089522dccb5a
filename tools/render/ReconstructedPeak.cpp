#include "tools/render/ReconstructedPeak.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
constexpr double kPi = 3.141592653589793;

int64_t powerOfTwoAtLeast(int64_t n)
{
    int64_t p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// The largest magnitude near grid point m, given its neighbours l and r one
// grid step away: the vertex of the parabola through the three where m is a
// local maximum of the magnitude (the vertex then lies within half a step).
double refined(double l, double m, double r)
{
    const double a = 0.5 * (l + r) - m, b = 0.5 * (r - l);
    if (std::fabs(m) >= std::fabs(l) && std::fabs(m) >= std::fabs(r) && a * m < 0.0)
        return std::fabs(m - b * b / (4.0 * a));
    return std::fabs(m);
}
} // namespace

ReconstructedPeak::ReconstructedPeak(int channels)
    : channelCount(std::max(1, channels)),
      pending(size_t(channelCount), std::vector<double>(size_t(kContext), 0.0))
{}

void ReconstructedPeak::add(const double* interleaved, int64_t frames)
{
    if (finished || frames <= 0)
        return;
    for (int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channelCount; ++c)
            pending[size_t(c)].push_back(interleaved[i * channelCount + c]);
    // A segment is measured once the context after it has arrived too.
    while (int64_t(pending[0].size()) >= kContext + kSegment + kContext)
    {
        measureSegment(kSegment, kSegment + 2 * kContext);
        measuredAny = true;
        for (std::vector<double>& channel : pending)
            channel.erase(channel.begin(), channel.begin() + kSegment);
    }
}

double ReconstructedPeak::peak()
{
    if (!finished)
    {
        finished = true;
        int64_t left = int64_t(pending[0].size()) - kContext;
        while (left > 0)
        {
            const int64_t frames = std::min(left, kSegment);
            // Silence lies beyond the signal's ends, so a last segment (or a
            // signal measured whole) needs only enough of it that the
            // transform's wrap-around brings no far end near: as much as the
            // segment's own length, up to the context of a longer signal.
            const int64_t margin = measuredAny ? kContext : std::min(kContext, std::max<int64_t>(frames, 1024));
            measureSegment(frames, powerOfTwoAtLeast(frames + 2 * margin));
            for (std::vector<double>& channel : pending)
                channel.erase(channel.begin(), channel.begin() + frames);
            left -= frames;
        }
    }
    return largest;
}

double ReconstructedPeak::peakDb()
{
    const double p = peak();
    return p > 0.0 ? 20.0 * std::log10(p) : -std::numeric_limits<double>::infinity();
}

void ReconstructedPeak::prepare(int64_t transformSize)
{
    if (preparedSize == transformSize)
        return;
    preparedSize = transformSize;
    twiddles.resize(size_t(transformSize / 2));
    for (int64_t j = 0; j < transformSize / 2; ++j)
        twiddles[size_t(j)] = std::polar(1.0, -2.0 * kPi * double(j) / double(transformSize));
    spectrum.assign(size_t(transformSize), {});
    steps.assign(size_t(transformSize), {});
    turns.assign(size_t(transformSize), {});
    for (std::vector<std::complex<double>>& p : phases)
        p.assign(size_t(transformSize), {});
}

void ReconstructedPeak::transform(std::vector<std::complex<double>>& data, bool inverse) const
{
    const int64_t n = int64_t(data.size());
    for (int64_t i = 1, j = 0; i < n; ++i)
    {
        int64_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(data[size_t(i)], data[size_t(j)]);
    }
    for (int64_t length = 2; length <= n; length *= 2)
    {
        const int64_t half = length / 2, stride = n / length;
        for (int64_t start = 0; start < n; start += length)
            for (int64_t k = 0; k < half; ++k)
            {
                std::complex<double> w = twiddles[size_t(k * stride)];
                if (inverse)
                    w = std::conj(w);
                const std::complex<double> a = data[size_t(start + k)], b = data[size_t(start + k + half)] * w;
                data[size_t(start + k)] = a + b;
                data[size_t(start + k + half)] = a - b;
            }
    }
}

// The segment is the `frames` frames after kContext frames of pending; the
// transform of transformSize frames takes them with what surrounds them.
// Two channels go through one complex transform (one as the real part, one
// as the imaginary part): a fractional delay is a real filter, so it keeps
// them apart.
void ReconstructedPeak::measureSegment(int64_t frames, int64_t transformSize)
{
    prepare(transformSize);
    const int64_t before = (transformSize - frames) / 2;
    const int64_t first = kContext - before; // index in pending of transform point 0
    const int64_t available = int64_t(pending[0].size());
    const double scale = 1.0 / double(transformSize);
    for (int c = 0; c < channelCount; c += 2)
    {
        const bool paired = c + 1 < channelCount;
        for (int64_t i = 0; i < transformSize; ++i)
        {
            const int64_t at = first + i;
            const bool inside = at >= 0 && at < available;
            spectrum[size_t(i)] = {inside ? pending[size_t(c)][size_t(at)] : 0.0,
                                   inside && paired ? pending[size_t(c + 1)][size_t(at)] : 0.0};
        }
        transform(spectrum, false);
        // Phase r of the grid is the signal delayed by -r/16 of a sample:
        // bin k (signed) turned by 2 pi k r / (16 N); the bin at half the
        // rate, shared by both signs, by the mean of the two turns. Phases
        // -1 and 16 give the neighbours of phases 0 and 15.
        for (int64_t k = 0; k < transformSize; ++k)
        {
            const int64_t signedBin = k <= transformSize / 2 ? k : k - transformSize;
            steps[size_t(k)] = std::polar(1.0, 2.0 * kPi * double(signedBin) / (double(kFactor) * transformSize));
            turns[size_t(k)] = std::conj(steps[size_t(k)]);
        }
        for (int r = -1; r <= kFactor; ++r)
        {
            std::vector<std::complex<double>>& out = phases[size_t((r + 3) % 3)];
            for (int64_t k = 0; k < transformSize; ++k)
            {
                out[size_t(k)] = spectrum[size_t(k)] * turns[size_t(k)];
                turns[size_t(k)] *= steps[size_t(k)];
            }
            out[size_t(transformSize / 2)] = spectrum[size_t(transformSize / 2)] * std::cos(kPi * r / kFactor);
            transform(out, true);
            if (r < 1)
                continue;
            // Phase r - 1 now has both neighbours.
            const std::vector<std::complex<double>>& l = phases[size_t((r + 1) % 3)];
            const std::vector<std::complex<double>>& m = phases[size_t((r + 2) % 3)];
            for (int64_t i = before; i < before + frames; ++i)
            {
                const std::complex<double> a = l[size_t(i)] * scale, b = m[size_t(i)] * scale,
                                           d = out[size_t(i)] * scale;
                largest =
                    std::max({largest, refined(a.real(), b.real(), d.real()), refined(a.imag(), b.imag(), d.imag())});
            }
        }
    }
}
