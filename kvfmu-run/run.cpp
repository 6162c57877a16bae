#include "run.h"

#include "archive.h"
#include "csv_output.h"
#include "exit_codes.h"
#include "file_uri.h"
#include "fmu_binary.h"
#include "java_vm.h"
#include "model_description.h"
#include "numbers.h"
#include "parameter_overrides.h"
#include "plot.h"
#include "progress.h"
#include "provider_start_values.h"
#include "simulation.h"
#include "temporary_folder.h"

#include <algorithm>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

struct Experiment {
    double start;
    double stop;
    double step;
};

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
    experiment.step = options.stepSize.value_or(
        defaults.stepSize.value_or((experiment.stop - experiment.start) / 500.0));
    if (!(experiment.step > 0) && experiment.stop > experiment.start) {
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

// What the run hands to the summary and the plot.
struct Outcome {
    ModelDescription model;
    Experiment experiment{};
    SimulationResult result;
    std::vector<double> times;  // kept for the plot only
    std::vector<PlotSeries> series;
    std::vector<double> finalOutputs;
};

void simulateFmu(const RunOptions& options, const volatile std::sig_atomic_t& stopRequested,
                 Outcome& outcome) {
    TemporaryFolder folder;
    const fs::path unpacked = folder.path() / "fmu";
    extractArchive(options.fmu, unpacked);
    outcome.model = readModelDescription(unpacked / "modelDescription.xml");
    const ModelDescription& model = outcome.model;
    outcome.experiment = experimentFor(options, model.defaultExperiment);

    InputTable table;
    if (!options.inputFile.empty()) table = readInputTable(options.inputFile);
    const InputPlan inputs = makeInputPlan(model, std::move(table), options.inputValues);

    const fs::path resources = unpacked / "resources";
    overrideParameters(resources / "model.properties", options.parameterValues);
    overrideProviderStartValues(resources, model, options.parameterValues);
    const fs::path library = binaryPath(unpacked, model.modelIdentifier);

    std::vector<std::string> columns;
    for (const ModelVariable* output : model.withCausality("output")) {
        columns.push_back(output->name);
        outcome.series.push_back({output->name, output->unit, {}});
    }
    const bool keepForPlot = !options.plotFile.empty();
    if (keepForPlot) {
        plotDeviceFor(options.plotFile);
        checkPlotWritable(options.plotFile);
    }
    CsvWriter csv(options.outputFile, columns);

    startJavaVm(jarsIn(resources), options.vmOptions);
    FmuBinary binary(library);

    ProgressBar progress(outcome.experiment.start, outcome.experiment.stop,
                         progressWanted(options.quiet));
    FmuLog log;
    log.level = options.logLevel;
    log.beforeMessage = [&progress] { progress.clear(); };

    SimulationSettings settings;
    settings.startTime = outcome.experiment.start;
    settings.stopTime = outcome.experiment.stop;
    settings.stepSize = outcome.experiment.step;
    settings.resourceUri = fileUri(fs::absolute(resources));
    settings.logFmiCalls = options.logFmiCalls;

    auto onRow = [&](double time, const std::vector<double>& values) {
        csv.writeRow(time, values);
        outcome.finalOutputs = values;
        if (!keepForPlot) return;
        outcome.times.push_back(time);
        for (size_t i = 0; i < values.size(); ++i) outcome.series[i].values.push_back(values[i]);
    };
    auto onStep = [&](double time, long long steps) { progress.update(time, steps); };
    try {
        outcome.result = simulate(binary.functions(), model, inputs, settings, log, onRow, onStep,
                                  stopRequested);
    } catch (const RunError&) {
        progress.finish();
        try {
            csv.close();  // keep the rows computed before the failure
        } catch (const RunError&) {
        }
        throw;
    }
    progress.finish();
    csv.close();
}

void printSummary(const RunOptions& options, const Outcome& outcome) {
    const long long steps = outcome.result.steps;
    std::fprintf(stderr, "%s: simulated t = %s to %s s in %lld steps of %s s\n",
                 outcome.model.modelName.c_str(), formatNumber(outcome.experiment.start).c_str(),
                 formatNumber(outcome.experiment.stop).c_str(), steps,
                 formatNumber(outcome.experiment.step).c_str());
    std::fprintf(stderr, "  wall time %.3f s from instantiation to termination",
                 outcome.result.wallSeconds);
    if (steps > 0)
        std::fprintf(stderr, ", %.1f \u00b5s per step", 1e6 * outcome.result.stepSeconds / steps);
    std::fprintf(stderr, "\n  final outputs:");
    const std::vector<const ModelVariable*> outputs = outcome.model.withCausality("output");
    for (size_t i = 0; i < outputs.size() && i < outcome.finalOutputs.size(); ++i) {
        const ModelVariable& output = *outputs[i];
        std::fprintf(stderr, "%s %s = %s%s%s", i == 0 ? "" : ",", output.name.c_str(),
                     formatNumber(outcome.finalOutputs[i]).c_str(), output.unit.empty() ? "" : " ",
                     output.unit.c_str());
    }
    std::fprintf(stderr, "\n");
    if (options.outputFile != "-")
        std::fprintf(stderr, "  results: %s\n", options.outputFile.c_str());
    if (!options.plotFile.empty()) std::fprintf(stderr, "  plot: %s\n", options.plotFile.c_str());
}

}  // namespace

void run(const RunOptions& options, const volatile std::sig_atomic_t& stopRequested) {
    Outcome outcome;
    simulateFmu(options, stopRequested, outcome);  // the temporary folder is gone after it
    if (!options.plotFile.empty()) {
        writePlot(options.plotFile, outcome.model.modelName, outcome.times, outcome.series);
    }
    if (!options.quiet) printSummary(options, outcome);
}
