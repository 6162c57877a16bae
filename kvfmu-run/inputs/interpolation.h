// Input values over time from the rows of an input table.
#pragma once

#include <vector>

// The value at `time` of the piecewise linear function through (times[i], values[i]):
// before the first row the first value, after the last row the last value. `times` is
// non-decreasing and as long as `values`, at least one row; where a time repeats, the
// function jumps and takes the later row's value from that time on.
double interpolate(const std::vector<double>& times, const std::vector<double>& values,
                   double time);
