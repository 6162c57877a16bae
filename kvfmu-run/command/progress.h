// A one-line progress bar on the terminal (stderr): simulated time, percent done, steps per
// second and the time left. Redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

// The line for a run from `start` to `stop` that has reached `time` after `steps` steps and
// `elapsedSeconds` of wall time, fitted to `width` columns.
std::string formatProgressLine(double start, double stop, double time, long long steps,
                               double elapsedSeconds, int width);

class ProgressBar {
public:
    // Shows nothing unless `enabled` (the caller decides: a terminal, no --quiet).
    ProgressBar(double start, double stop, bool enabled, std::FILE* out = stderr);

    void update(double time, long long steps);
    // Wipes the bar's line so that another message can be printed; the next update redraws it.
    void clear();
    // Wipes the bar for good.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    double start_;
    double stop_;
    bool enabled_;
    std::FILE* out_;
    Clock::time_point began_ = Clock::now();
    Clock::time_point lastDrawn_{};
    bool shown_ = false;
};

// Whether the progress bar belongs on stderr: it is a terminal and --quiet was not given.
bool progressWanted(bool quiet);
