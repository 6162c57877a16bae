#include "batch.h"

#include "batch_summary.h"
#include "exit_codes.h"
#include "interrupts.h"
#include "numbers.h"
#include "replaced_file.h"
#include "run_preparation.h"
#include "runs_columns.h"
#include "runs_table.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The runs: all of a file's, read and checked before the first starts, or those arriving
// on standard input, each started as soon as its line is there.
class RunsSource {
public:
    explicit RunsSource(const std::string& runsFile) {
        if (runsFile == "-") {
            stream_.emplace(std::cin, "standard input");
            columns_ = stream_->columns();
            header_ = stream_->origin() + ":" + std::to_string(stream_->headerLine());
        } else {
            table_ = readRunsTable(runsFile);
            columns_ = table_->columns;
            header_ = table_->origin + ":" + std::to_string(table_->headerLine);
        }
    }

    bool streamed() const { return stream_.has_value(); }
    const std::vector<std::string>& columns() const { return columns_; }
    // The header row, "file:line", for messages.
    const std::string& header() const { return header_; }

    // The next run, or nothing when there are no more. Throws RunError for a malformed line
    // of the stream, and RunError(interrupted) when an interrupt ended the wait for one.
    std::optional<RunsTable::Run> next() {
        if (table_) {
            if (index_ == table_->runs.size()) return std::nullopt;
            return table_->runs[index_++];
        }
        std::optional<RunsTable::Run> run = stream_->next();
        if (!run && stopRequested()) {
            throw RunError(ExitCode::interrupted,
                           "interrupted while waiting for a run on standard input");
        }
        return run;
    }

private:
    std::optional<RunsTable> table_;
    std::optional<RunsReader> stream_;
    std::vector<std::string> columns_;
    std::string header_;
    size_t index_ = 0;
};

// The inputs and parameters of one run: those of every run with the run's own values.
void addRunValues(const FmuSession& session, const RunOptions& options,
                  const RunPreparation& prepared, const std::vector<RunsColumn>& columns,
                  const RunsTable::Run& run, InputPlan& inputs,
                  std::vector<ParameterValue>& parameters) {
    std::vector<NamedValue> constants = options.inputValues;
    std::vector<NamedValue> parameterValues;
    for (size_t i = 0; i < columns.size(); ++i) {
        (columns[i].input ? constants : parameterValues).push_back({columns[i].name, run.values[i]});
    }
    inputs = makeInputPlan(session.model(), prepared.inputs.table, constants);
    parameters = prepared.parameters;
    for (ParameterValue& value : parameterValuesFor(session.model(), parameterValues,
                                                    session.resources(), "--param")) {
        parameters.push_back(std::move(value));
    }
}

fs::path outputFolder(const std::string& name) {
    const fs::path folder = name;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) {
        throw RunError(ExitCode::outputNotWritable,
                       folder.string() + ": cannot create the output folder" +
                           (error ? ": " + error.message() : std::string()));
    }
    ReplacedFile{folder / "summary.csv"};  // the folder takes files
    return folder;
}

}  // namespace

void runBatch(const RunOptions& options) {
    FmuSession session(options.fmu);
    const ModelDescription& model = session.model();
    const RunPreparation prepared = prepareRun(options, session);
    RunsSource runs(options.runsFile);
    const std::vector<RunsColumn> columns =
        runsColumns(runs.columns(), runs.header(), model, session.resources(),
                    options.inputValues, options.parameterValues, prepared.inputs.table);

    const std::vector<std::string> outputs = outputNames(model);
    const fs::path folder = outputFolder(options.outputDir);
    // A stream's reader sees each summary row on standard output as the run ends.
    BatchSummary summary(folder / "summary.csv", runs.columns(), outputs,
                         runs.streamed() ? stdout : nullptr);

    // Many short runs: the VM's optimizing compiler would spend more processor time than it
    // saves, and its threads compete with the other runners of a sweep for the cores. Its
    // quick compiler alone is faster up to about a million steps of a built-in model (a
    // --vm-option=-XX:TieredStopAtLevel=4 brings the optimizing one back). The serial
    // collector takes a fifth less processor time than the default one on such runs.
    session.load(options.vmOptions, {"-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC"});

    size_t count = 0;
    size_t failures = 0;
    InputPlan inputs;
    std::vector<ParameterValue> parameters;
    while (std::optional<RunsTable::Run> next = runs.next()) {
        const RunsTable::Run& run = *next;
        ++count;
        addRunValues(session, options, prepared, columns, run, inputs, parameters);
        auto onEnd = [&](const RunEnd& end) {
            summary.add(run, end);
            if (!end.ok) ++failures;
            if (!options.quiet) {
                std::fprintf(stderr, "run %s: %s (%.3f s)\n", run.id.c_str(),
                             end.ok ? "ok" : ("failed: " + end.error).c_str(), end.wallSeconds);
            }
        };
        RunRecord record(folder / (run.id + ".csv"), outputs, std::nullopt, onEnd);
        RunHooks hooks;
        hooks.timeoutReason = "run " + run.id + " exceeded --run-timeout " +
                              formatNumber(options.runTimeout) +
                              " s and was abandoned; the runs after it were not started";
        try {
            performRun(session, options, prepared.experiment, inputs, parameters, record, hooks);
        } catch (const RunError& failure) {
            if (failure.code() != ExitCode::fmuCallFailed) throw;
        }
    }
    if (failures > 0) {
        throw RunError(ExitCode::batchRunsFailed,
                       std::to_string(failures) + " of " + std::to_string(count) +
                           " runs failed (see " + (folder / "summary.csv").string() + ")");
    }
    if (!options.quiet) {
        std::fprintf(stderr, "%zu runs ok; summary: %s\n", count,
                     (folder / "summary.csv").string().c_str());
    }
}
