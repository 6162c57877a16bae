// One co-simulation run of an FMU: instantiate, set up, initialize, step from start to
// stop, terminate and free.
#pragma once

#include "fmu_binary.h"
#include "fmu_logger.h"
#include "input_plan.h"
#include "model_description.h"
#include "run_parameters.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SimulationSettings {
    double startTime = 0;
    double stopTime = 1;
    double stepSize = 0.01;
    std::string resourceUri;  // file: URI of the unpacked resources folder
    bool logFmiCalls = false;
    // Set with fmi2SetReal right after instantiation, before set-up and initialization.
    std::vector<ParameterValue> parameters;
};

struct SimulationResult {
    long long steps = 0;
    double wallSeconds = 0;  // from instantiation to the end of the last step
    double stepSeconds = 0;  // in the step loop (set inputs, step, get outputs)
    std::vector<double> finalOutputs;  // the last row's outputs
};

// The communication points from start to stop: start + k·step for k = 0..steps, the last
// one exactly stop (a last step shorter than `step` when step does not divide the span).
// When start and step are short decimals (0.3, 1e-4), each point is the double nearest to
// the decimal start + k·step (0.9, not 3 × 0.3 = 0.8999999999999999).
struct StepGrid {
    StepGrid(double start, double stop, double step);
    double at(long long k) const;
    double start;
    double stop;
    double step;
    long long steps;

private:
    // start = startUnits / scale and step = stepUnits / scale, exact integers; scale 0
    // when there is no such decimal grid.
    double startUnits_ = 0;
    double stepUnits_ = 0;
    double scale_ = 0;
};

// Called with each row of outputs: after initialization, then after each step.
using RowSink = std::function<void(double time, const std::vector<double>& outputs)>;
// Called after each step with the time reached and the number of steps so far.
using StepObserver = std::function<void(double time, long long steps)>;

// Runs the FMU to the end. Throws RunError(fmuCallFailed) with the FMU's own message when
// a call fails, RunError(interrupted) when `stopRequested` becomes non-zero; the rows
// handed out until then stay handed out.
SimulationResult simulate(const FmuFunctions& fmu, const ModelDescription& model,
                          const InputPlan& inputs, const SimulationSettings& settings, FmuLog& log,
                          const RowSink& onRow, const StepObserver& onStep,
                          const volatile std::sig_atomic_t& stopRequested);
