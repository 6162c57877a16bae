// The plot of a run's variables over time, drawn by PLplot into an SVG (or PNG) file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct PlotSeries {
    std::string name;
    std::string unit;
    std::vector<double> values;  // one per time
};

// The PLplot device for the file's extension: "svg" for .svg; for .png the installed
// PLplot's PNG device if it has one. Throws RunError(plotFormatUnsupported) otherwise.
std::string plotDeviceFor(const std::filesystem::path& file);

// Throws RunError(outputNotWritable) when the file cannot be created (checked before a
// run so that no simulation is lost to a bad path).
void checkPlotWritable(const std::filesystem::path& file);

// Draws each series in a panel of its own, stacked over a shared time axis, its y-axis
// labelled with the name and unit; into `writeTo`, in the format of `target`'s extension.
void writePlot(const std::filesystem::path& target, const std::filesystem::path& writeTo,
               const std::string& title, const std::vector<double>& times,
               const std::vector<PlotSeries>& series);

// At most about `maxPoints` points that keep the curve's shape: the first and last point,
// and per bucket of consecutive points the lowest and the highest in their time order.
// Curves with few points come back unchanged.
void reduceForPlot(const std::vector<double>& times, const std::vector<double>& values,
                   size_t maxPoints, std::vector<double>& keptTimes,
                   std::vector<double>& keptValues);

// A panel's axis label: "name [unit]", or the name alone without a unit.
std::string legendText(const PlotSeries& series);
