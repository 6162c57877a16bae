#include "check.h"

#include "exit_codes.h"
#include "numbers.h"
#include "run_preparation.h"
#include "runs_columns.h"
#include "runs_table.h"

#include <cstdio>
#include <iostream>

void checkRun(const RunOptions& options) {
    const FmuSession session(options.fmu);
    const ModelDescription& model = session.model();
    const RunPreparation prepared = prepareRun(options, session);
    std::string what;
    if (options.runsFile.empty()) {
        plotSetupFor(options, model);
        what = "the run";
    } else {
        const RunsTable runs = options.runsFile == "-"
                                   ? parseRunsTable(std::cin, "standard input")
                                   : readRunsTable(options.runsFile);
        const std::string header = runs.origin + ":" + std::to_string(runs.headerLine);
        runsColumns(runs.columns, header, model, session.resources(), options.inputValues,
                    options.parameterValues, prepared.inputs.table);
        what = std::to_string(runs.runs.size()) + " runs";
    }
    session.binary();
    if (!options.quiet) {
        const Experiment& experiment = prepared.experiment;
        std::fprintf(stderr, "%s: %s from t = %s to %s s in steps of %s s can start\n",
                     model.modelName.c_str(), what.c_str(),
                     formatNumber(experiment.start).c_str(), formatNumber(experiment.stop).c_str(),
                     formatNumber(experiment.step).c_str());
    }
}
