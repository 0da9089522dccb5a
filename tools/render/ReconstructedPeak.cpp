#include "tools/render/ReconstructedPeak.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <thread>

namespace
{
constexpr double kPi = 3.141592653589793;
// Points per sample found exactly, and 16x points per 4x point.
constexpr int kCoarse = 4;
constexpr int kFinePerCoarse = ReconstructedPeak::kFactor / kCoarse;
// The interpolator from the 4x grid: taps on either side, and the Kaiser
// window's shape. Its error on content up to an eighth of the 4x rate is
// 5e-7 of full scale.
constexpr int kHalfTaps = 12;
constexpr double kKaiserBeta = 14.0;
// 4x points a frame of the grid extends beyond the segment on either side:
// room for the interpolator around the segment's first and last intervals.
constexpr int64_t kGridMargin = 4;
// No peak of a signal band-limited to half the rate lies between two
// points of its 4x grid that are both below this share of its largest:
// within a quarter sample of a maximum the signal falls by at most
// (pi/8)^2/2 = 0.0771 of the peak (Bernstein's bound on the curvature).
constexpr double kRefineShare = 0.92;

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

double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k)
    {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

// The windowed sin(x)/x for the value a quarter, a half and three quarters
// of the way from 4x point j to j + 1, from points j - kHalfTaps + 1 to
// j + kHalfTaps; each normalised to a gain of 1 at zero frequency.
using Kernel = std::array<double, 2 * kHalfTaps>;
std::array<Kernel, kFinePerCoarse - 1> makeKernels()
{
    std::array<Kernel, kFinePerCoarse - 1> kernels{};
    for (int q = 1; q < kFinePerCoarse; ++q)
    {
        const double d = double(q) / kFinePerCoarse;
        double sum = 0.0;
        for (int i = 0; i < 2 * kHalfTaps; ++i)
        {
            const double t = d - double(i - kHalfTaps + 1), x = t / kHalfTaps;
            const double window = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - x * x))) / besselI0(kKaiserBeta);
            const double sinc = std::sin(kPi * t) / (kPi * t);
            kernels[size_t(q - 1)][size_t(i)] = sinc * window;
            sum += sinc * window;
        }
        for (double& tap : kernels[size_t(q - 1)])
            tap /= sum;
    }
    return kernels;
}

const std::array<Kernel, kFinePerCoarse - 1>& kernels()
{
    static const std::array<Kernel, kFinePerCoarse - 1> table = makeKernels();
    return table;
}
} // namespace

ReconstructedPeak::ReconstructedPeak(int channels, int threads)
    : channelCount(std::max(1, channels)),
      threadCount(std::max(1, threads)),
      pending(size_t(channelCount), std::vector<double>(size_t(kContext), 0.0)),
      workers(1)
{}

void ReconstructedPeak::add(const double* interleaved, int64_t frames)
{
    if (finished || frames <= 0)
        return;
    for (int c = 0; c < channelCount; ++c)
    {
        std::vector<double>& channel = pending[size_t(c)];
        const size_t at = channel.size();
        channel.resize(at + size_t(frames));
        for (int64_t i = 0; i < frames; ++i)
            channel[at + size_t(i)] = interleaved[i * channelCount + c];
    }
    // A segment is measured once the context after it has arrived too. A
    // whole file may come in one call: its segments are shared out among the
    // threads (each its own scratch), and what is done with goes in one go.
    const int64_t ready = (int64_t(pending[0].size()) - 2 * kContext) / kSegment;
    if (ready <= 0)
        return;
    prepare(kSegment + 2 * kContext);
    const int threads = (int)std::min<int64_t>(threadCount, ready);
    workers.resize(size_t(std::max<size_t>(workers.size(), size_t(threads))));
    for (Worker& w : workers)
        w.coarseLargest = workers[0].coarseLargest;
    auto measure = [&](int t) {
        for (int64_t i = t; i < ready; i += threads)
            measureSegment(workers[size_t(t)], i * kSegment, kSegment, kSegment + 2 * kContext);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(measure, t);
    measure(0);
    for (std::thread& helper : helpers)
        helper.join();
    for (Worker& w : workers)
    {
        workers[0].largest = std::max(workers[0].largest, w.largest);
        workers[0].coarseLargest = std::max(workers[0].coarseLargest, w.coarseLargest);
    }
    measuredAny = true;
    for (std::vector<double>& channel : pending)
        channel.erase(channel.begin(), channel.begin() + ready * kSegment);
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
            prepare(powerOfTwoAtLeast(frames + 2 * margin));
            measureSegment(workers[0], 0, frames, preparedSize);
            for (std::vector<double>& channel : pending)
                channel.erase(channel.begin(), channel.begin() + frames);
            left -= frames;
        }
    }
    return workers[0].largest;
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
    const int64_t n = transformSize;
    twiddles.resize(size_t(std::max<int64_t>(1, n - 1)));
    for (int64_t h = 1; h < n; h *= 2)
        for (int64_t k = 0; k < h; ++k)
            twiddles[size_t(h - 1 + k)] = std::polar(1.0, -kPi * double(k) / double(h));
    // Bin k (signed) of the signal delayed by -q/4 of a sample is turned by
    // 2 pi k q / (4 N); the bin at half the rate, shared by both signs, by the
    // mean of the two turns (kept apart: a real cosine). Stored in the
    // bit-reversed order the forward transform leaves the bins in.
    for (int q = 1; q < kCoarse; ++q)
        quarterTurns[q - 1].resize(size_t(n));
    for (int64_t i = 0, k = 0; i < n; ++i)
    {
        const int64_t signedBin = k <= n / 2 ? k : k - n;
        for (int q = 1; q < kCoarse; ++q)
            quarterTurns[q - 1][size_t(i)] =
                std::polar(1.0, 2.0 * kPi * double(signedBin) * q / (double(kCoarse) * double(n)));
        if (k == n / 2)
            halfRateBin = i;
        // k runs through the bit reversals of i.
        int64_t bit = n >> 1;
        for (; k & bit; bit >>= 1)
            k ^= bit;
        k ^= bit;
    }
}

namespace
{
// One stage of half-length h: `butterfly(a, b, w)` on every pair of points
// h apart, a and b each a real and an imaginary part, w the pair's twiddle.
template <typename Butterfly>
void stage(double* d, int64_t n, int64_t h, const std::complex<double>* w, Butterfly butterfly)
{
    for (int64_t start = 0; start < n; start += 2 * h)
    {
        double* a = d + 2 * start;
        double* b = a + 2 * h;
        for (int64_t k = 0; k < h; ++k)
            butterfly(a + 2 * k, b + 2 * k, w[k].real(), w[k].imag());
    }
}
} // namespace

// Plain arithmetic in both: std::complex's product guards against
// infinities and NaN at a cost these loops cannot afford. Neither reorders:
// the bins stay in bit-reversed order between the two, which spares the
// permutation's scattered reads of an array larger than the cache.
void ReconstructedPeak::forwardToReversed(std::vector<std::complex<double>>& data) const
{
    const int64_t n = int64_t(data.size());
    for (int64_t h = n / 2; h >= 1; h /= 2)
        stage(reinterpret_cast<double*>(data.data()), n, h, twiddles.data() + (h - 1),
              [](double* a, double* b, double wr, double wi) {
                  const double dr = a[0] - b[0], di = a[1] - b[1];
                  a[0] += b[0];
                  a[1] += b[1];
                  b[0] = dr * wr - di * wi;
                  b[1] = dr * wi + di * wr;
              });
}

void ReconstructedPeak::forwardFromReversed(std::vector<std::complex<double>>& data) const
{
    const int64_t n = int64_t(data.size());
    for (int64_t h = 1; h < n; h *= 2)
        stage(reinterpret_cast<double*>(data.data()), n, h, twiddles.data() + (h - 1),
              [](double* a, double* b, double wr, double wi) {
                  const double br = b[0] * wr - b[1] * wi, bi = b[0] * wi + b[1] * wr;
                  b[0] = a[0] - br;
                  b[1] = a[1] - bi;
                  a[0] += br;
                  a[1] += bi;
              });
}

// The segment is the `frames` frames after kContext frames of pending; the
// transform of transformSize frames takes them with what surrounds them.
// Two channels go through one complex transform (one as the real part, one
// as the imaginary part): a fractional delay is a real filter, so it keeps
// them apart.
void ReconstructedPeak::measureSegment(Worker& worker, int64_t start, int64_t frames, int64_t transformSize) const
{
    const int64_t n = transformSize;
    const int64_t before = (n - frames) / 2;
    const int64_t first = start + kContext - before; // index in pending of transform point 0
    const int64_t available = int64_t(pending[0].size());
    const double scale = 1.0 / double(n);
    const int64_t gridFrames = frames + 2 * kGridMargin;
    std::vector<std::complex<double>>& spectrum = worker.spectrum;
    std::vector<std::complex<double>>& work = worker.work;
    std::vector<std::complex<double>>& grid = worker.grid;
    spectrum.resize(size_t(n));
    work.resize(size_t(n));
    grid.resize(size_t(gridFrames * kCoarse));
    for (int c = 0; c < channelCount; c += 2)
    {
        const bool paired = c + 1 < channelCount;
        auto sample = [&](int64_t i) {
            const int64_t at = first + i;
            const bool inside = at >= 0 && at < available;
            return std::complex<double>(inside ? pending[size_t(c)][size_t(at)] : 0.0,
                                        inside && paired ? pending[size_t(c + 1)][size_t(at)] : 0.0);
        };
        for (int64_t i = 0; i < n; ++i)
            spectrum[size_t(i)] = sample(i);
        forwardToReversed(spectrum);
        // Grid frame f is transform point before - kGridMargin + f; its
        // first 4x point is the sample itself.
        const int64_t gridStart = before - kGridMargin;
        for (int64_t f = 0; f < gridFrames; ++f)
            grid[size_t(f * kCoarse)] = sample(gridStart + f);
        // The inverse transform as the forward one of the conjugate; its
        // output conjugated again when it is stored.
        for (int q = 1; q < kCoarse; ++q)
        {
            const std::vector<std::complex<double>>& turns = quarterTurns[q - 1];
            for (int64_t k = 0; k < n; ++k)
            {
                // conj(s t), in plain arithmetic (see the transforms).
                const double sr = spectrum[size_t(k)].real(), si = spectrum[size_t(k)].imag();
                const double tr = turns[size_t(k)].real(), ti = turns[size_t(k)].imag();
                work[size_t(k)] = {sr * tr - si * ti, -(sr * ti + si * tr)};
            }
            work[size_t(halfRateBin)] = std::conj(spectrum[size_t(halfRateBin)]) * std::cos(kPi * q / kCoarse);
            forwardFromReversed(work);
            for (int64_t f = 0; f < gridFrames; ++f)
            {
                const std::complex<double> v = work[size_t(gridStart + f)];
                grid[size_t(f * kCoarse + q)] = {v.real() * scale, -v.imag() * scale};
            }
        }

        // The segment's own 4x intervals: from its first point to the next
        // segment's first.
        const int64_t from = kGridMargin * kCoarse, to = (kGridMargin + frames) * kCoarse;
        for (int64_t j = from; j < to; ++j)
            worker.coarseLargest =
                std::max({worker.coarseLargest, std::fabs(grid[size_t(j)].real()), std::fabs(grid[size_t(j)].imag())});
        worker.largest = std::max(worker.largest, worker.coarseLargest);
        const double floor = kRefineShare * worker.coarseLargest;
        auto high = [&](int64_t j) {
            return std::max(std::fabs(grid[size_t(j)].real()), std::fabs(grid[size_t(j)].imag())) >= floor;
        };
        for (int64_t j = from; j < to;)
        {
            if (!high(j) && !high(j + 1))
            {
                ++j;
                continue;
            }
            int64_t last = j;
            while (last + 1 < to && (high(last + 1) || high(last + 2)))
                ++last;
            refineStretch(worker, j, last);
            j = last + 1;
        }
    }
}

// The 16x points from a quarter of a 4x step before point `first` to a
// quarter after point `last + 1`, and the peak of each local maximum among
// them.
void ReconstructedPeak::refineStretch(Worker& worker, int64_t first, int64_t last)
{
    const std::vector<std::complex<double>>& grid = worker.grid;
    std::vector<std::complex<double>>& fine = worker.fine;
    const auto& taps = kernels();
    auto between = [&](int64_t j, int q) {
        const Kernel& kernel = taps[size_t(q - 1)];
        std::complex<double> sum;
        const std::complex<double>* g = grid.data() + (j - kHalfTaps + 1);
        for (int i = 0; i < 2 * kHalfTaps; ++i)
            sum += g[i] * kernel[size_t(i)];
        return sum;
    };
    fine.clear();
    fine.push_back(between(first - 1, kFinePerCoarse - 1));
    for (int64_t j = first; j <= last; ++j)
    {
        fine.push_back(grid[size_t(j)]);
        for (int q = 1; q < kFinePerCoarse; ++q)
            fine.push_back(between(j, q));
    }
    fine.push_back(grid[size_t(last + 1)]);
    fine.push_back(between(last + 1, 1));
    for (size_t i = 1; i + 1 < fine.size(); ++i)
        worker.largest = std::max({worker.largest, refined(fine[i - 1].real(), fine[i].real(), fine[i + 1].real()),
                                   refined(fine[i - 1].imag(), fine[i].imag(), fine[i + 1].imag())});
}
