#include "run_record.h"

#include "exit_codes.h"
#include "numbers.h"

#include <unistd.h>

#include <cstdio>

RunRecord::RunRecord(const std::filesystem::path& csv, const std::vector<std::string>& columns,
                     std::optional<PlotSetup> plot, std::function<void(const RunEnd&)> onEnd)
    : csv_(csv, columns), plot_(std::move(plot)), onEnd_(std::move(onEnd)) {
    if (plot_) plotValues_.resize(plot_->panels.size());
}

void RunRecord::row(double time, const std::vector<double>& outputs,
                    const std::vector<double>& inputs) {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (finished_) return;
    csv_.writeRow(time, outputs);
    lastOutputs_ = outputs;
    lastTime_ = time;
    hasRows_ = true;
    if (!plot_) return;
    times_.push_back(time);
    for (size_t i = 0; i < plot_->panels.size(); ++i) {
        const PlotSetup::Panel& panel = plot_->panels[i];
        const std::vector<double>& values = panel.input ? inputs : outputs;
        plotValues_[i].push_back(panel.index < values.size() ? values[panel.index] : 0.0);
    }
}

void RunRecord::flushIfDue() {
    std::unique_lock<std::timed_mutex> lock(mutex_, std::try_to_lock);
    if (lock && !finished_) csv_.flushIfDue();
}

void RunRecord::complete() {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (finished_) return;
    csv_.close();
    drawPlot("");
    finish(true, "");
}

void RunRecord::stopped(const std::string& error) {
    std::lock_guard<std::timed_mutex> lock(mutex_);
    if (finished_) return;
    const std::string where =
        hasRows_ ? "after t = " + formatNumber(lastTime_) : "before its first row";
    try {
        csv_.writeNote("the run stopped " + where + ": " + error);
        csv_.close();
    } catch (const RunError& failure) {
        std::fprintf(stderr, "kvfmu-run: error: %s\n", failure.what());
    }
    try {
        drawPlot("stopped " + where);
    } catch (const RunError& failure) {
        std::fprintf(stderr, "kvfmu-run: error: %s\n", failure.what());
    }
    finish(false, error);
}

void RunRecord::abandon(const std::string& reason) {
    // The run's own thread holds the lock only briefly; an exit path inside the lock (PLplot
    // ending the process while drawing) must not wait for itself.
    std::unique_lock<std::timed_mutex> lock(mutex_, std::chrono::seconds(2));
    if (!lock || finished_) return;
    lock.unlock();
    stopped(reason);
}

void RunRecord::finish(bool ok, const std::string& error) {
    finished_ = true;
    if (!onEnd_) return;
    RunEnd end;
    end.ok = ok;
    end.error = error;
    end.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    if (ok) end.finalOutputs = lastOutputs_;
    onEnd_(end);
}

void RunRecord::drawPlot(const std::string& stopNote) {
    if (!plot_) return;
    std::vector<PlotSeries> series;
    for (size_t i = 0; i < plot_->panels.size(); ++i) {
        series.push_back({plot_->panels[i].name, plot_->panels[i].unit, plotValues_[i]});
    }
    const std::string title = stopNote.empty() ? plot_->title : plot_->title + " (" + stopNote + ")";
    ReplacedFile file(plot_->file);
    ::close(file.takeDescriptor());  // PLplot opens the file by its name
    writePlot(plot_->file, file.partial(), title, times_, series);
    file.commit();
    plot_.reset();
}
