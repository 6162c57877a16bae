#include "plot.h"

#include "exit_codes.h"
#include "replaced_file.h"

#include <plplot.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr size_t plotPointsPerSeries = 4000;

bool hasFileDevice(const std::string& name) {
    const char* menus[128];
    const char* names[128];
    const char** menuList = menus;
    const char** nameList = names;
    int count = 128;
    plgFileDevs(&menuList, &nameList, &count);
    for (int i = 0; i < count; ++i) {
        if (name == nameList[i]) return true;
    }
    return false;
}

// PLplot reads '#' as the start of an escape sequence; "##" is a plain '#'.
std::string plotText(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        escaped += c;
        if (c == '#') escaped += '#';
    }
    return escaped;
}

void valueRange(const std::vector<PlotSeries>& series, double& low, double& high) {
    low = INFINITY;
    high = -INFINITY;
    for (const auto& one : series) {
        for (double value : one.values) {
            if (!std::isfinite(value)) continue;
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    if (low > high) low = 0, high = 1;  // nothing finite to show
    const double margin = high > low ? 0.05 * (high - low) : std::max(1.0, std::fabs(low) * 0.1);
    low -= margin;
    high += margin;
}

// Colour map 0: white background, black frame and text, the curves' colours, light grey
// for the grid.
void setColours() {
    static const int rgb[][3] = {{255, 255, 255}, {0, 0, 0},       {31, 119, 180},  {214, 39, 40},
                                 {44, 160, 44},   {255, 127, 14},  {148, 103, 189}, {140, 86, 75},
                                 {227, 119, 194}, {127, 127, 127}, {188, 189, 34},  {23, 190, 207},
                                 {215, 215, 215}};
    const int count = static_cast<int>(std::size(rgb));
    plscmap0n(count);
    for (int i = 0; i < count; ++i) plscol0(i, rgb[i][0], rgb[i][1], rgb[i][2]);
}

// PLplot ends the process on an error of its own (a file it cannot write after all); the
// status this answers is the one the process exits with.
int plplotExitStatus(const char*) {
    return static_cast<int>(ExitCode::outputNotWritable);
}

constexpr int gridColour = 12;

int curveColour(size_t index) {
    return 2 + static_cast<int>(index % 10);
}

}  // namespace

std::string plotDeviceFor(const fs::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".svg") return "svg";
    if (extension == ".png") {
        for (const char* device : {"pngcairo", "png", "pngqt"}) {
            if (hasFileDevice(device)) return device;
        }
        throw RunError(ExitCode::plotFormatUnsupported,
                       file.string() +
                           ": the installed PLplot has no PNG device (install "
                           "plplot-driver-cairo for one); write .svg instead");
    }
    throw RunError(ExitCode::plotFormatUnsupported, file.string() + ": unknown plot format \"" +
                                                        extension + "\" (use .svg or .png)");
}

void checkPlotWritable(const fs::path& file) {
    createParentFolders(file, "plot file");
    ReplacedFile probe(file);  // a file beside it can be made; the plot itself is not touched
}

std::string legendText(const PlotSeries& series) {
    return series.unit.empty() ? series.name : series.name + " [" + series.unit + "]";
}

void reduceForPlot(const std::vector<double>& times, const std::vector<double>& values,
                   size_t maxPoints, std::vector<double>& keptTimes,
                   std::vector<double>& keptValues) {
    keptTimes.clear();
    keptValues.clear();
    const size_t count = std::min(times.size(), values.size());
    if (count <= maxPoints || maxPoints < 4) {
        keptTimes.assign(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(count));
        keptValues.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count));
        return;
    }
    auto keep = [&](size_t i) {
        keptTimes.push_back(times[i]);
        keptValues.push_back(values[i]);
    };
    keep(0);
    const size_t buckets = (maxPoints - 2) / 2;
    const size_t inner = count - 2;
    for (size_t b = 0; b < buckets; ++b) {
        const size_t first = 1 + b * inner / buckets;
        const size_t last = 1 + (b + 1) * inner / buckets;  // exclusive
        if (first >= last) continue;
        size_t low = first, high = first;
        for (size_t i = first; i < last; ++i) {
            if (values[i] < values[low]) low = i;
            if (values[i] > values[high]) high = i;
        }
        keep(std::min(low, high));
        if (low != high) keep(std::max(low, high));
    }
    keep(count - 1);
}

void writePlot(const fs::path& target, const fs::path& file, const std::string& title,
               const std::vector<double>& times, const std::vector<PlotSeries>& series) {
    const std::string device = plotDeviceFor(target);
    const size_t panels = std::max<size_t>(series.size(), 1);
    // Pixels: a fixed band for the title and the time axis, a fixed height per panel.
    const double top = 50, bottom = 60, panelHeight = 190, gap = 14;
    const double height = top + bottom + panels * panelHeight + (panels - 1) * gap;

    plsexit(plplotExitStatus);
    plsdev(device.c_str());
    plsfnam(file.c_str());
    plspage(0, 0, 1000, static_cast<PLINT>(height), 0, 0);
    setColours();
    plinit();
    pladv(0);
    plschr(0, 0.9);

    double start = times.empty() ? 0 : times.front();
    double stop = times.empty() ? 1 : times.back();
    if (stop <= start) stop = start + 1;
    std::vector<double> x, y;
    for (size_t i = 0; i < panels; ++i) {
        const double upper = 1 - (top + i * (panelHeight + gap)) / height;
        const double lower = upper - panelHeight / height;
        plvpor(0.12, 0.97, lower, upper);
        double low = 0, high = 1;
        const std::vector<PlotSeries> one =
            i < series.size() ? std::vector<PlotSeries>{series[i]} : std::vector<PlotSeries>{};
        valueRange(one, low, high);
        plwind(start, stop, low, high);
        plcol0(gridColour);
        plbox("g", 0, 0, "g", 0, 0);
        plcol0(1);
        // The time axis is shared: numbers and its label under the last panel only.
        const bool last = i + 1 == panels;
        plbox(last ? "bcnst" : "bcst", 0, 0, "bcnstv", 0, 0);
        if (i < series.size()) {
            plmtex("l", 6.5, 0.5, 0.5, plotText(legendText(series[i])).c_str());
            reduceForPlot(times, series[i].values, plotPointsPerSeries, x, y);
            plcol0(curveColour(i));
            plwidth(2);
            plline(static_cast<PLINT>(x.size()), x.data(), y.data());
            plwidth(1);
            plcol0(1);
        }
        if (i == 0) plmtex("t", 1.5, 0.5, 0.5, plotText(title).c_str());
        if (last) plmtex("b", 3.2, 0.5, 0.5, "time [s]");
    }
    plend();
}
