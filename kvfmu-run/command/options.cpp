#include "options.h"

#include "exit_codes.h"
#include "numbers.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

namespace {

std::string exitCodeHelp() {
    std::ostringstream text;
    text << "\nExit codes:\n";
    for (const auto& [code, meaning] : exitCodeMeanings()) {
        std::string number = std::to_string(static_cast<int>(code));
        text << "  " << number << std::string(5 - number.size(), ' ') << meaning << "\n";
    }
    return text.str();
}

std::optional<double> numberOption(const std::string& text, const std::string& option) {
    if (text.empty()) return std::nullopt;
    std::optional<double> number = parseNumber(text);
    if (!number) {
        throw RunError(ExitCode::badNumber, option + ": \"" + text + "\" is not a finite number");
    }
    return number;
}

}  // namespace

NamedValue parseNamedValue(const std::string& text, const std::string& option) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw RunError(ExitCode::usage, option + " " + text + ": name=value expected");
    }
    const std::string name = text.substr(0, equals);
    const std::string value = text.substr(equals + 1);
    std::optional<double> number = parseNumber(value);
    if (!number) {
        throw RunError(ExitCode::badNumber,
                       option + " " + name + ": \"" + value + "\" is not a finite number");
    }
    return {name, *number};
}

std::optional<RunOptions> parseCommandLine(int argc, const char* const* argv) {
    CLI::App app{
        "Runs an FMI 2.0 co-simulation FMU whose library needs a Java VM in the host "
        "process: unpacks it, starts the VM with the FMU's resources/*.jar on the class "
        "path, steps it from start to stop and writes its outputs as CSV (and a plot); "
        "with --runs, many runs with one VM.",
        "kvfmu-run"};
    app.set_version_flag("--version", std::string("kvfmu-run ") + KVFMU_VERSION);
    app.footer(exitCodeHelp());

    RunOptions options;
    std::string start, stop, step, runTimeout, logLevel = "info";
    std::vector<std::string> sets, params;
    app.add_option("fmu", options.fmu, "The .fmu file")->required()->type_name("FILE.fmu");
    app.add_option("--start", start,
                   "Start time in s (default: the FMU's DefaultExperiment, else 0)")
        ->type_name("SECONDS");
    app.add_option("--stop", stop,
                   "Stop time in s (default: the FMU's DefaultExperiment, else start + 1)")
        ->type_name("SECONDS");
    app.add_option("--step", step,
                   "Communication step size in s (default: the FMU's DefaultExperiment, else "
                   "(stop - start) / 500)")
        ->type_name("SECONDS");
    app.add_option("-i,--input", options.inputFile,
                   "CSV file with a time column and columns named after inputs; values are "
                   "interpolated linearly, held before the first and after the last row")
        ->type_name("FILE.csv");
    app.add_option("-s,--set", sets, "name=value: a constant value for an input (repeatable)")
        ->type_name("NAME=VALUE");
    app.add_option("-p,--param", params,
                   "name=value: a parameter value for this run, set with fmi2SetReal before "
                   "initialization (repeatable; the names are the FMU's parameters, see --info)")
        ->type_name("NAME=VALUE");
    app.add_option("-o,--output", options.outputFile, "Output CSV file (default: standard output)")
        ->type_name("FILE.csv");
    app.add_option("--plot", options.plotFile,
                   "Plot over time, one panel per output and input: .svg (or .png when "
                   "the installed PLplot has a PNG device)")
        ->type_name("FILE.svg");
    app.add_option("--plot-variables", options.plotVariables,
                   "The outputs and inputs the plot draws, one panel each, e.g. x,v,F "
                   "(default: every output, then every input)")
        ->delimiter(',')
        ->type_name("NAME,...");
    app.add_flag("--log-fmi-calls", options.logFmiCalls, "Have the FMU log every FMI call");
    app.add_option("--log-level", logLevel,
                   "Lowest status of FMU messages shown: info (all), warning, error, none")
        ->check(CLI::IsMember({"info", "warning", "error", "none"}))
        ->type_name("LEVEL");
    app.add_flag("--info", options.info,
                  "Describe the FMU (model, GUID, default experiment, every variable) and run "
                  "nothing");
    app.add_flag("--check", options.check,
                 "Check the options, the FMU, the input file and the runs file as a run or "
                 "batch would, and run nothing: exit code 0 when all is well, else the run's "
                 "(no Java VM is started, nothing is written)");
    app.add_flag("-q,--quiet", options.quiet, "No progress bar and no summary");
    app.add_option("--vm-option", options.vmOptions,
                   "An extra Java VM option, e.g. --vm-option=-Xmx512m (repeatable)")
        ->type_name("OPTION");

    app.add_option("--runs", options.runsFile,
                   "Batch mode: a CSV file with a run column (the run id) and columns of "
                   "parameter and constant input values, one row per run; needs --output-dir. "
                   "With -, the runs come on standard input, each run starting when its line "
                   "has arrived, and each run's summary row is written on standard output as "
                   "it ends (after the summary's header, once the runs header is read)")
        ->type_name("FILE.csv");
    app.add_flag("--end-with-parent", options.endWithParent,
                 "End as on SIGTERM when the process that started kvfmu-run ends, for a runner "
                 "that a longer-lived program feeds runs on standard input");
    app.add_option("--output-dir", options.outputDir,
                   "Batch mode: where each run's DIR/<run>.csv and DIR/summary.csv go")
        ->type_name("DIR");
    app.add_option("--run-timeout", runTimeout,
                   "Abandon a run that takes longer than this: it is recorded as failed and "
                   "the process ends with exit code 60")
        ->type_name("SECONDS");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return std::nullopt;
    } catch (const CLI::CallForVersion& version) {
        std::cout << version.what() << "\n";
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        throw RunError(ExitCode::usage,
                       std::string(error.what()) + "\nRun with --help for more information.");
    }

    options.startTime = numberOption(start, "--start");
    options.stopTime = numberOption(stop, "--stop");
    options.stepSize = numberOption(step, "--step");
    for (const auto& text : sets) options.inputValues.push_back(parseNamedValue(text, "--set"));
    for (const auto& text : params)
        options.parameterValues.push_back(parseNamedValue(text, "--param"));
    options.logLevel = *logLevelNamed(logLevel);
    if (std::optional<double> timeout = numberOption(runTimeout, "--run-timeout")) {
        if (!(*timeout > 0)) {
            throw RunError(ExitCode::badNumber, "--run-timeout: must be positive, not " + runTimeout);
        }
        options.runTimeout = *timeout;
    }
    const bool batch = !options.runsFile.empty();
    if (options.check && options.info) {
        throw RunError(ExitCode::usage, "--check and --info: one at a time");
    }
    // --check writes nothing: it needs no folder for a batch's results.
    if (!(options.check && batch) && batch != !options.outputDir.empty()) {
        throw RunError(ExitCode::usage, batch ? "--runs needs --output-dir"
                                              : "--output-dir goes with --runs (batch mode)");
    }
    if (batch && options.outputFile != "-") {
        throw RunError(ExitCode::usage,
                       "--output goes with a single run; batch mode writes DIR/<run>.csv");
    }
    if (!options.plotVariables.empty() && options.plotFile.empty()) {
        throw RunError(ExitCode::usage, "--plot-variables goes with --plot");
    }
    if (batch && !options.plotFile.empty()) {
        throw RunError(ExitCode::usage, "--plot goes with a single run, not with --runs");
    }
    return options;
}
