#include "run.h"

#include "batch.h"
#include "check.h"
#include "exit_codes.h"
#include "fmu_info.h"
#include "numbers.h"
#include "plot.h"
#include "progress.h"
#include "run_preparation.h"

#include <cstdio>

namespace fs = std::filesystem;

namespace {

void printSummary(const RunOptions& options, const ModelDescription& model,
                  const Experiment& experiment, const SimulationResult& result) {
    const long long steps = result.steps;
    std::fprintf(stderr, "%s: simulated t = %s to %s s in %lld steps of %s s\n",
                 model.modelName.c_str(), formatNumber(experiment.start).c_str(),
                 formatNumber(experiment.stop).c_str(), steps,
                 formatNumber(experiment.step).c_str());
    std::fprintf(stderr, "  wall time %.3f s from instantiation to termination",
                 result.wallSeconds);
    if (steps > 0)
        std::fprintf(stderr, ", %.1f \u00b5s per step", 1e6 * result.stepSeconds / steps);
    std::fprintf(stderr, "\n  final outputs:");
    const std::vector<const ModelVariable*> outputs = model.withCausality(Causality::output);
    for (size_t i = 0; i < outputs.size() && i < result.finalOutputs.size(); ++i) {
        const ModelVariable& output = *outputs[i];
        std::fprintf(stderr, "%s %s = %s%s%s", i == 0 ? "" : ",", output.name.c_str(),
                     formatNumber(result.finalOutputs[i]).c_str(), output.unit.empty() ? "" : " ",
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
    const RunPreparation prepared = prepareRun(options, session);
    std::optional<PlotSetup> plot = plotSetupFor(options, model);
    if (plot) checkPlotWritable(plot->file);
    RunRecord record(options.outputFile, outputNames(model), std::move(plot), nullptr);

    session.load(options.vmOptions);

    const Experiment& experiment = prepared.experiment;
    ProgressBar progress(experiment.start, experiment.stop, progressWanted(options.quiet));
    RunHooks hooks;
    hooks.beforeMessage = [&progress] { progress.clear(); };
    hooks.onStep = [&progress](double time, long long steps) { progress.update(time, steps); };
    hooks.beforeEnd = [&progress] { progress.finish(); };
    hooks.recordInputs = true;
    hooks.timeoutReason = "the run exceeded --run-timeout " + formatNumber(options.runTimeout) +
                          " s and was abandoned";
    const SimulationResult result = performRun(session, options, experiment, prepared.inputs,
                                               prepared.parameters, record, hooks);
    if (!options.quiet) printSummary(options, model, experiment, result);
}

}  // namespace

void run(const RunOptions& options) {
    if (options.info) {
        const FmuSession session(options.fmu);
        std::fputs(describeFmu(session.model()).c_str(), stdout);
        return;
    }
    if (options.check) {
        checkRun(options);
        return;
    }
    if (!options.runsFile.empty()) {
        runBatch(options);
        return;
    }
    runOne(options);
}
