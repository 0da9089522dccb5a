#include "tools/render/ProgressBar.h"

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
constexpr int kBarWidth = 40;
// Redraws faster than this would only cost terminal time.
constexpr std::chrono::milliseconds kRedrawInterval(100);
} // namespace

ProgressBar::ProgressBar(const std::string& label, int64_t total, bool wanted)
    : label(label),
      total(total),
      enabled(wanted && stderrIsTerminal()),
      started(std::chrono::steady_clock::now())
{}

ProgressBar::~ProgressBar()
{
    // A bar left unfinished (an error) must not swallow the next message.
    if (enabled && !finished && lastPercent >= 0)
        std::fputc('\n', stderr);
}

bool ProgressBar::stderrIsTerminal() { return isatty(fileno(stderr)) != 0; }

void ProgressBar::update(int64_t done)
{
    if (!enabled || finished)
        return;
    int percent = total > 0 ? (int)(done * 100 / total) : 100;
    auto now = std::chrono::steady_clock::now();
    if (percent == lastPercent || (lastPercent >= 0 && now - lastDraw < kRedrawInterval))
        return;
    lastDraw = now;
    lastPercent = percent;
    draw(done);
}

void ProgressBar::finish()
{
    if (!enabled || finished)
        return;
    draw(total);
    std::fputc('\n', stderr);
    finished = true;
}

void ProgressBar::draw(int64_t done)
{
    int percent = total > 0 ? (int)(done * 100 / total) : 100;
    if (percent > 100)
        percent = 100;
    int filled = percent * kBarWidth / 100;
    std::string bar(filled, '#');
    bar.append(kBarWidth - filled, '-');
    // The time left, from the pace so far, once there is a pace to go by;
    // spaces clear what a longer earlier line left behind.
    char left[32] = "";
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (percent > 0 && percent < 100 && elapsed > 0.5)
        std::snprintf(left, sizeof left, "  %.0f s left", elapsed * (100 - percent) / percent);
    std::fprintf(stderr, "\r%s [%s] %3d%%%-14s", label.c_str(), bar.c_str(), percent, left);
    std::fflush(stderr);
}
