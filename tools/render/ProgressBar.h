// A one-line progress bar on stderr: the frames done of a pass, an encoding
// or a decoding, and the time left. Drawn only where the session shows
// progress (stderr is a terminal, or --progress), so that logs and pipes
// get no carriage-return clutter.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

class ProgressBar
{
public:
    // `shown` false makes every call a no-op.
    ProgressBar(const std::string& label, int64_t totalFrames, bool shown);
    ~ProgressBar();

    void update(int64_t framesDone);
    // Draws 100 % and ends the line.
    void finish();

    static bool stderrIsTerminal();

private:
    void draw(int64_t framesDone);

    std::string label;
    int64_t total;
    bool enabled;
    bool finished = false;
    int lastPercent = -1;
    std::chrono::steady_clock::time_point started, lastDraw;
};

// The frames of passes that run side by side, drawn as one bar: any worker
// adds its frames, and whichever finds the bar free draws it.
class SharedProgress
{
public:
    SharedProgress(const std::string& label, int64_t totalFrames, bool shown) : bar(label, totalFrames, shown) {}
    void add(int64_t frames)
    {
        const int64_t now = done += frames;
        if (drawing.try_lock())
        {
            bar.update(now);
            drawing.unlock();
        }
    }
    void finish() { bar.finish(); }

private:
    std::atomic<int64_t> done{0};
    std::mutex drawing;
    ProgressBar bar;
};
