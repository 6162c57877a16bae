#include "interpolation.h"

#include <algorithm>

double interpolate(const std::vector<double>& times, const std::vector<double>& values,
                   double time) {
    auto after = std::upper_bound(times.begin(), times.end(), time);
    if (after == times.begin()) return values.front();
    if (after == times.end()) return values.back();
    size_t next = static_cast<size_t>(after - times.begin());
    size_t previous = next - 1;
    double fraction = (time - times[previous]) / (times[next] - times[previous]);
    return values[previous] + fraction * (values[next] - values[previous]);
}
