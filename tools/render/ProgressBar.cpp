#include "tools/render/ProgressBar.h"

#include <algorithm>
#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace
{
constexpr int kBarWidth = 20;
// Redraws faster than this would only cost terminal time.
constexpr std::chrono::milliseconds kRedrawInterval(100);
// Before this much time has passed the pace says too little to predict from.
constexpr double kFirstEstimateSeconds = 0.1;
} // namespace

ProgressBar::ProgressBar(const std::string& label, int64_t totalFrames, bool shown)
    : label(label),
      total(totalFrames),
      enabled(shown),
      started(std::chrono::steady_clock::now())
{}

ProgressBar::~ProgressBar()
{
    // A bar left unfinished (an error) must not swallow the next message.
    if (enabled && !finished && lastPercent >= 0)
        std::fputc('\n', stderr);
}

bool ProgressBar::stderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

void ProgressBar::update(int64_t framesDone)
{
    if (!enabled || finished)
        return;
    int percent = total > 0 ? (int)(framesDone * 100 / total) : 100;
    auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent || (lastPercent >= 0 && now - lastDraw < kRedrawInterval))
        return;
    lastDraw = now;
    lastPercent = percent;
    draw(framesDone);
}

void ProgressBar::finish()
{
    if (!enabled || finished)
        return;
    draw(total);
    std::fputc('\n', stderr);
    finished = true;
}

void ProgressBar::draw(int64_t framesDone)
{
    framesDone = std::min(framesDone, total);
    int percent = total > 0 ? (int)(framesDone * 100 / total) : 100;
    int filled = percent * kBarWidth / 100;
    std::string bar(filled, '#');
    bar.append(kBarWidth - filled, '-');
    // The time left, from the pace so far, once there is a pace to go by;
    // spaces clear what a longer earlier line left behind.
    char left[32] = "";
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (framesDone > 0 && framesDone < total && elapsed > kFirstEstimateSeconds)
        std::snprintf(left, sizeof left, ", %.0f s left", elapsed * (double)(total - framesDone) / (double)framesDone);
    std::fprintf(stderr, "\r%s [%s] %3d%% %lld/%lld frames%-14s", label.c_str(), bar.c_str(), percent,
                 (long long)framesDone, (long long)total, left);
    std::fflush(stderr);
}
