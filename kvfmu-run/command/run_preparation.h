// The one way a run is prepared and carried out, for a single run, each run of a batch and
// --check alike: what the command line asks is checked against the FMU before anything
// starts; then the simulation runs with its settings, parameters, the FMU's log and the
// watch for interrupts and --run-timeout around it, and its record is finished whichever
// way it ends.
#pragma once

#include "experiment.h"
#include "fmu_session.h"
#include "input_plan.h"
#include "options.h"
#include "run_parameters.h"
#include "run_record.h"
#include "simulation.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What every run of the process shares, checked before the Java VM starts.
struct RunPreparation {
    Experiment experiment;
    InputPlan inputs;                        // --input and --set
    std::vector<ParameterValue> parameters;  // --param
};

// Checks start, stop and step, the input file, --set and --param against the FMU.
// Throws RunError.
RunPreparation prepareRun(const RunOptions& options, const FmuSession& session);

// What the plot of a single run draws (--plot, --plot-variables), or nothing without --plot.
// Throws RunError: plotFormatUnsupported, unknownVariable. Does not touch the file.
std::optional<PlotSetup> plotSetupFor(const RunOptions& options, const ModelDescription& model);

// What the caller adds around one run.
struct RunHooks {
    std::function<void()> beforeMessage;  // before the FMU's log writes (the progress bar)
    StepObserver onStep = [](double, long long) {};
    std::function<void()> beforeEnd = [] {};  // before the record is finished
    bool recordInputs = false;                // the record's rows carry the inputs (plot)
    std::string timeoutReason;                // when --run-timeout abandons the run
};

// Runs the loaded FMU from start to stop into the record and finishes it. Throws what
// simulate() throws, after the record has been finished with the error.
SimulationResult performRun(const FmuSession& session, const RunOptions& options,
                            const Experiment& experiment, const InputPlan& inputs,
                            const std::vector<ParameterValue>& parameters, RunRecord& record,
                            const RunHooks& hooks);

// The names of the model's outputs, the columns of each result file.
std::vector<std::string> outputNames(const ModelDescription& model);
