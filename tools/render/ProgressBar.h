// A one-line progress bar on stderr, drawn only when stderr is a terminal so
// that logs and pipes get no carriage-return clutter.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class ProgressBar
{
public:
    ProgressBar(const std::string& label, int64_t total, bool wanted = true);
    ~ProgressBar();

    void update(int64_t done);
    // Draws 100 % and ends the line.
    void finish();

    static bool stderrIsTerminal();

private:
    void draw(int64_t done);

    std::string label;
    int64_t total;
    bool enabled;
    bool finished = false;
    int lastPercent = -1;
    std::chrono::steady_clock::time_point lastDraw;
};
