#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace {

std::string printed(const char* format, double a, double b = 0, double c = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

std::string duration(double seconds) {
    if (seconds < 60) return printed("%.0f s", seconds);
    if (seconds < 3600)
        return printed("%.0f min %02.0f s", std::floor(seconds / 60), std::fmod(seconds, 60));
    return printed("%.0f h %02.0f min", std::floor(seconds / 3600), std::fmod(seconds / 60, 60));
}

int terminalWidth(std::FILE* out) {
    winsize size{};
    if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

}  // namespace

std::string formatProgressLine(double start, double stop, double time, long long steps,
                               double elapsedSeconds, int width) {
    const double span = stop - start;
    const double fraction = span > 0 ? std::clamp((time - start) / span, 0.0, 1.0) : 1.0;
    std::string details =
        printed("  %5.1f%%  t = %.6g", fraction * 100, time) + printed(" / %.6g s", stop);
    // Rates from the first fraction of a second say little; they wait.
    const bool rateKnown = elapsedSeconds >= 0.25;
    if (rateKnown) details += printed("  %.0f steps/s", steps / elapsedSeconds);
    if (rateKnown && fraction > 0 && fraction < 1) {
        details += "  " + duration(elapsedSeconds * (1 - fraction) / fraction) + " left";
    }
    const int barWidth = std::clamp(width - 3 - static_cast<int>(details.size()), 0, 40);
    std::string line;
    if (barWidth >= 10) {
        const int filled = static_cast<int>(std::lround(fraction * barWidth));
        line = "[" + std::string(static_cast<size_t>(filled), '#') +
               std::string(static_cast<size_t>(barWidth - filled), '.') + "]";
    }
    line += details;
    if (static_cast<int>(line.size()) > width - 1)
        line.resize(static_cast<size_t>(std::max(width - 1, 0)));
    return line;
}

ProgressBar::ProgressBar(double start, double stop, bool enabled, std::FILE* out)
    : start_(start), stop_(stop), enabled_(enabled), out_(out) {}

void ProgressBar::update(double time, long long steps) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (shown_ && now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastDrawn_ = now;
    const double elapsed = std::chrono::duration<double>(now - began_).count();
    std::fprintf(
        out_, "\r%s\033[K",
        formatProgressLine(start_, stop_, time, steps, elapsed, terminalWidth(out_)).c_str());
    std::fflush(out_);
    shown_ = true;
}

void ProgressBar::clear() {
    if (!enabled_ || !shown_) return;
    std::fprintf(out_, "\r\033[K");
    std::fflush(out_);
    shown_ = false;
}

void ProgressBar::finish() {
    clear();
    enabled_ = false;
}

bool progressWanted(bool quiet) {
    return !quiet && isatty(STDERR_FILENO) == 1;
}
