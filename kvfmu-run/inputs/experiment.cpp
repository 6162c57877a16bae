#include "experiment.h"

#include "exit_codes.h"
#include "numbers.h"

#include <algorithm>

Experiment experimentFor(const RunOptions& options, const DefaultExperiment& defaults) {
    Experiment experiment;
    experiment.start = options.startTime.value_or(defaults.startTime.value_or(0.0));
    experiment.stop = options.stopTime.value_or(defaults.stopTime.value_or(experiment.start + 1.0));
    if (experiment.stop < experiment.start) {
        const bool defaultStop = !options.stopTime && defaults.stopTime;
        throw RunError(ExitCode::badNumber,
                       "the stop time " + formatNumber(experiment.stop) +
                           (defaultStop ? " (the FMU's DefaultExperiment; give --stop)" : "") +
                           " is before the start time " + formatNumber(experiment.start));
    }
    if (experiment.stop == experiment.start) {
        throw RunError(ExitCode::badNumber, "the stop time " + formatNumber(experiment.stop) +
                                                " must be after the start time " +
                                                formatNumber(experiment.start));
    }
    experiment.step = options.stepSize.value_or(
        defaults.stepSize.value_or((experiment.stop - experiment.start) / 500.0));
    if (!(experiment.step > 0)) {
        throw RunError(ExitCode::badNumber,
                       "the step size must be positive, not " + formatNumber(experiment.step));
    }
    const double steps = (experiment.stop - experiment.start) / std::max(experiment.step, 1e-300);
    if (steps > 1e10) {
        throw RunError(ExitCode::badNumber, "the step size " + formatNumber(experiment.step) +
                                                " makes more than 10^10 steps");
    }
    return experiment;
}
