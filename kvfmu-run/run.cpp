#include "run.h"

#include "batch.h"
#include "exit_codes.h"
#include "experiment.h"
#include "fmu_info.h"
#include "fmu_session.h"
#include "interrupts.h"
#include "numbers.h"
#include "run_parameters.h"
#include "plot.h"
#include "progress.h"
#include "run_record.h"
#include "simulation.h"

#include <cstdio>

namespace fs = std::filesystem;

namespace {

// What the summary shows.
struct Outcome {
    Experiment experiment;
    SimulationResult result;
    std::vector<double> finalOutputs;
};

std::optional<PlotSetup> plotSetupFor(const RunOptions& options, const ModelDescription& model) {
    if (options.plotFile.empty()) return std::nullopt;
    plotDeviceFor(options.plotFile);
    const std::vector<const ModelVariable*> outputs = model.withCausality("output");
    const std::vector<const ModelVariable*> inputs = model.withCausality("input");
    PlotSetup setup;
    setup.file = options.plotFile;
    setup.title = model.modelName;
    auto add = [&](const std::vector<const ModelVariable*>& variables, bool input,
                   const std::string& name) {
        for (size_t i = 0; i < variables.size(); ++i) {
            if (name.empty() || variables[i]->name == name) {
                setup.panels.push_back({input, i, variables[i]->name, variables[i]->unit});
                if (!name.empty()) return true;
            }
        }
        return false;
    };
    if (options.plotVariables.empty()) {
        add(outputs, false, "");
        add(inputs, true, "");
    }
    for (const std::string& name : options.plotVariables) {
        if (!add(outputs, false, name) && !add(inputs, true, name)) {
            throw RunError(ExitCode::unknownVariable,
                           "--plot-variables " + name + ": the model has no output or input " +
                               name + " (outputs: " + nameList(outputs) +
                               "; inputs: " + nameList(inputs) + ")");
        }
    }
    checkPlotWritable(options.plotFile);
    return setup;
}

void printSummary(const RunOptions& options, const ModelDescription& model,
                  const Outcome& outcome) {
    const long long steps = outcome.result.steps;
    std::fprintf(stderr, "%s: simulated t = %s to %s s in %lld steps of %s s\n",
                 model.modelName.c_str(), formatNumber(outcome.experiment.start).c_str(),
                 formatNumber(outcome.experiment.stop).c_str(), steps,
                 formatNumber(outcome.experiment.step).c_str());
    std::fprintf(stderr, "  wall time %.3f s from instantiation to termination",
                 outcome.result.wallSeconds);
    if (steps > 0)
        std::fprintf(stderr, ", %.1f \u00b5s per step", 1e6 * outcome.result.stepSeconds / steps);
    std::fprintf(stderr, "\n  final outputs:");
    const std::vector<const ModelVariable*> outputs = model.withCausality("output");
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

void runOne(const RunOptions& options) {
    FmuSession session(options.fmu);
    const ModelDescription& model = session.model();
    Outcome outcome;
    outcome.experiment = experimentFor(options, model.defaultExperiment);

    InputTable table;
    if (!options.inputFile.empty()) table = readInputTable(options.inputFile);
    const InputPlan inputs = makeInputPlan(model, std::move(table), options.inputValues);
    const std::vector<ParameterValue> parameters = parameterValuesFor(
        model, options.parameterValues, session.resources(), "--param");

    std::vector<std::string> columns;
    for (const ModelVariable* output : model.withCausality("output")) columns.push_back(output->name);
    std::optional<PlotSetup> plot = plotSetupFor(options, model);
    RunRecord record(options.outputFile, columns, std::move(plot), nullptr);

    session.load(options.vmOptions);

    ProgressBar progress(outcome.experiment.start, outcome.experiment.stop,
                         progressWanted(options.quiet));
    FmuLog log;
    log.level = options.logLevel;
    log.beforeMessage = [&progress] { progress.clear(); };
    nameVariables(log, model);

    SimulationSettings settings;
    settings.startTime = outcome.experiment.start;
    settings.stopTime = outcome.experiment.stop;
    settings.stepSize = outcome.experiment.step;
    settings.resourceUri = session.resourceUri();
    settings.logFmiCalls = options.logFmiCalls;
    for (const ParameterValue& parameter : parameters) {
        settings.parameterReferences.push_back(parameter.valueReference);
        settings.parameterValues.push_back(parameter.value);
    }

    std::vector<double> inputValues;
    auto onRow = [&](double time, const std::vector<double>& values) {
        inputs.valuesAt(time, inputValues);
        record.row(time, values, inputValues);
        outcome.finalOutputs = values;
    };
    auto onStep = [&](double time, long long steps) { progress.update(time, steps); };
    const RunWatch watch([&record](const std::string& reason) { record.abandon(reason); },
                         [&record] { record.flushIfDue(); }, options.runTimeout,
                         "the run exceeded --run-timeout " + formatNumber(options.runTimeout) +
                             " s and was abandoned");
    try {
        outcome.result = simulate(session.functions(), model, inputs, settings, log, onRow, onStep,
                                  stopRequested());
    } catch (const RunError& error) {
        progress.finish();
        record.stopped(error.what());
        throw;
    }
    progress.finish();
    record.complete();
    if (!options.quiet) printSummary(options, model, outcome);
}

}  // namespace

void run(const RunOptions& options) {
    if (options.info) {
        const FmuSession session(options.fmu);
        std::fputs(describeFmu(session.model()).c_str(), stdout);
        return;
    }
    if (!options.runsFile.empty()) {
        runBatch(options);
        return;
    }
    runOne(options);
}
