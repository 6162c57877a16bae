// What one run leaves: its CSV rows (and plot), finished whichever way the run ends, by the
// thread that ends it: the run's own at the end or on a failure, or the watcher that
// abandons a run that hangs or takes too long.
#pragma once

#include "csv_output.h"
#include "plot.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Which variables the plot draws: each an output (index into the row's outputs) or an input
// (index into the row's inputs), one panel each.
struct PlotSetup {
    std::filesystem::path file;
    std::string title;
    struct Panel {
        bool input = false;
        size_t index = 0;
        std::string name;
        std::string unit;
    };
    std::vector<Panel> panels;
};

// How a run ended, for the summary.
struct RunEnd {
    bool ok = false;
    std::string error;  // empty when ok
    double wallSeconds = 0;
    std::vector<double> finalOutputs;  // the last row's outputs, empty before the first row
};

class RunRecord {
public:
    // Opens the CSV (see CsvWriter). `onEnd` is told once how the run ended, from the thread
    // that ends it.
    RunRecord(const std::filesystem::path& csv, const std::vector<std::string>& columns,
              std::optional<PlotSetup> plot, std::function<void(const RunEnd&)> onEnd);

    void row(double time, const std::vector<double>& outputs, const std::vector<double>& inputs);
    // The run reached its stop time: puts the files in place.
    void complete();
    // The run stopped early with `error`: keeps the rows so far, notes where it stopped, and
    // puts the files in place. Plot errors are reported on stderr; the run's error counts.
    void stopped(const std::string& error);
    // The same from another thread while the run's own thread may be stuck in a step.
    void abandon(const std::string& reason);
    // Hands the rows written so far to the file, at least once a second.
    void flushIfDue();

private:
    void finish(bool ok, const std::string& error);
    void drawPlot(const std::string& stopNote);

    std::timed_mutex mutex_;
    CsvWriter csv_;
    std::optional<PlotSetup> plot_;
    std::function<void(const RunEnd&)> onEnd_;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
    std::vector<double> times_;
    std::vector<std::vector<double>> plotValues_;  // one per panel
    std::vector<double> lastOutputs_;
    double lastTime_ = 0;
    bool hasRows_ = false;
    bool finished_ = false;
};
