#include "batch.h"

#include "batch_summary.h"
#include "exit_codes.h"
#include "experiment.h"
#include "fmu_session.h"
#include "interrupts.h"
#include "numbers.h"
#include "run_parameters.h"
#include "replaced_file.h"
#include "run_record.h"
#include "runs_table.h"
#include "simulation.h"

#include <algorithm>
#include <cstdio>

namespace fs = std::filesystem;

namespace {

// Where each column of the runs file goes: a constant input or a parameter.
struct ColumnUse {
    bool input = false;
};

bool givenIn(const std::vector<NamedValue>& values, const std::string& name) {
    for (const auto& value : values) {
        if (value.first == name) return true;
    }
    return false;
}

std::vector<ColumnUse> columnUses(const RunsTable& runs, const ModelDescription& model,
                                  const fs::path& resources, const RunOptions& options,
                                  const InputTable& inputTable) {
    std::vector<ColumnUse> uses;
    for (const std::string& column : runs.columns) {
        const ModelVariable* variable = model.find(column);
        const bool input = variable && variable->causality == "input";
        const bool parameter = variable && variable->causality == "parameter";
        if (!input && !parameter) {
            if (packedBeforeParameterVariables(model, resources)) {
                throw RunError(ExitCode::unknownVariable,
                               runs.origin + ":1: column " + column +
                                   ": the FMU declares no parameters in its model description: "
                                   "it was packed by an earlier kvfmu-pack; pack it again to set "
                                   "its parameters");
            }
            throw RunError(ExitCode::unknownVariable,
                           runs.origin + ":1: column " + column +
                               " is neither an input nor a parameter of the model (inputs: " +
                               nameList(model.withCausality("input")) + "; parameters: " +
                               nameList(parametersOf(model)) + ")");
        }
        const bool elsewhere =
            input ? givenIn(options.inputValues, column) ||
                        std::find(inputTable.names.begin(), inputTable.names.end(), column) !=
                            inputTable.names.end()
                  : givenIn(options.parameterValues, column);
        if (elsewhere) {
            throw RunError(ExitCode::usage, runs.origin + ":1: column " + column + ": " +
                                                (input ? "input " : "parameter ") + column +
                                                " is also given on the command line or in the "
                                                "input file");
        }
        uses.push_back({input});
    }
    return uses;
}

}  // namespace

void runBatch(const RunOptions& options) {
    FmuSession session(options.fmu);
    const ModelDescription& model = session.model();
    const Experiment experiment = experimentFor(options, model.defaultExperiment);
    const RunsTable runs = readRunsTable(options.runsFile);

    InputTable inputTable;
    if (!options.inputFile.empty()) inputTable = readInputTable(options.inputFile);
    // Checks the inputs given for every run once, before any run.
    makeInputPlan(model, inputTable, options.inputValues);

    const std::vector<ColumnUse> uses =
        columnUses(runs, model, session.resources(), options, inputTable);
    const std::vector<ParameterValue> commonParameters = parameterValuesFor(
        model, options.parameterValues, session.resources(), "--param");

    std::vector<std::string> outputs;
    for (const ModelVariable* output : model.withCausality("output")) outputs.push_back(output->name);
    const fs::path folder = options.outputDir;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) {
        throw RunError(ExitCode::outputNotWritable,
                       folder.string() + ": cannot create the output folder" +
                           (error ? ": " + error.message() : std::string()));
    }
    ReplacedFile{folder / "summary.csv"};  // the folder takes files
    BatchSummary summary(folder / "summary.csv", runs.columns, outputs);

    session.load(options.vmOptions);

    SimulationSettings settings;
    settings.startTime = experiment.start;
    settings.stopTime = experiment.stop;
    settings.stepSize = experiment.step;
    settings.resourceUri = session.resourceUri();
    settings.logFmiCalls = options.logFmiCalls;

    size_t failures = 0;
    for (const RunsTable::Run& run : runs.runs) {
        std::vector<NamedValue> constants = options.inputValues;
        std::vector<NamedValue> parameterValues;
        for (size_t i = 0; i < runs.columns.size(); ++i) {
            (uses[i].input ? constants : parameterValues).push_back({runs.columns[i], run.values[i]});
        }
        const InputPlan inputs = makeInputPlan(model, inputTable, constants);
        std::vector<ParameterValue> parameters = commonParameters;
        for (const ParameterValue& value : parameterValuesFor(model, parameterValues,
                                                              session.resources(), "--param")) {
            parameters.push_back(value);
        }
        settings.parameterReferences.clear();
        settings.parameterValues.clear();
        for (const ParameterValue& parameter : parameters) {
            settings.parameterReferences.push_back(parameter.valueReference);
            settings.parameterValues.push_back(parameter.value);
        }

        auto onEnd = [&](const RunEnd& end) {
            summary.add(run, end);
            if (!end.ok) ++failures;
            if (!options.quiet) {
                std::fprintf(stderr, "run %s: %s (%.3f s)\n", run.id.c_str(),
                             end.ok ? "ok" : ("failed: " + end.error).c_str(), end.wallSeconds);
            }
        };
        RunRecord record(folder / (run.id + ".csv"), outputs, std::nullopt, onEnd);
        FmuLog log;
        log.level = options.logLevel;
        nameVariables(log, model);
        std::vector<double> noInputs;
        auto onRow = [&](double time, const std::vector<double>& outputValues) {
            record.row(time, outputValues, noInputs);
        };
        auto onStep = [](double, long long) {};
        const RunWatch watch([&record](const std::string& reason) { record.abandon(reason); },
                             [&record] { record.flushIfDue(); }, options.runTimeout,
                             "run " + run.id + " exceeded --run-timeout " +
                                 formatNumber(options.runTimeout) +
                                 " s and was abandoned; the runs after it were not started");
        try {
            simulate(session.functions(), model, inputs, settings, log, onRow, onStep,
                     stopRequested());
        } catch (const RunError& failure) {
            record.stopped(failure.what());
            if (failure.code() != ExitCode::fmuCallFailed) throw;
            continue;
        }
        record.complete();
    }
    if (failures > 0) {
        throw RunError(ExitCode::batchRunsFailed,
                       std::to_string(failures) + " of " + std::to_string(runs.runs.size()) +
                           " runs failed (see " + (folder / "summary.csv").string() + ")");
    }
    if (!options.quiet) {
        std::fprintf(stderr, "%zu runs ok; summary: %s\n", runs.runs.size(),
                     (folder / "summary.csv").string().c_str());
    }
}
