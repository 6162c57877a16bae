#include "exit_codes.h"

const std::vector<std::pair<ExitCode, std::string>>& exitCodeMeanings() {
    static const std::vector<std::pair<ExitCode, std::string>> meanings = {
        {ExitCode::ok, "the run completed"},
        {ExitCode::usage, "bad command line (unknown option, missing value, name=value expected)"},
        {ExitCode::badNumber, "a number in an option is malformed, not finite or out of range"},
        {ExitCode::fmuMissing, "the .fmu file is missing or cannot be read"},
        {ExitCode::notZip, "the .fmu file is not a zip archive"},
        {ExitCode::corruptArchive, "the .fmu archive is damaged, holds unsafe or repeated entry names, or unpacks to over 2 GiB"},
        {ExitCode::noModelDescription, "the .fmu holds no modelDescription.xml"},
        {ExitCode::invalidModelDescription, "modelDescription.xml is not valid"},
        {ExitCode::notFmi2CoSimulation, "the FMU is not an FMI 2.0 co-simulation FMU"},
        {ExitCode::noBinary, "the FMU holds no binary for this platform (linux64)"},
        {ExitCode::unknownVariable, "an unknown variable name (--set, --input, --param, --runs, --plot-variables)"},
        {ExitCode::inputUnreadable, "the input or runs CSV file cannot be read or is empty"},
        {ExitCode::inputNoTimeColumn, "the input CSV file has no time column"},
        {ExitCode::inputTimeNotMonotonic, "the time column of the input CSV file decreases"},
        {ExitCode::inputNotNumeric, "a cell of the input or runs CSV file is not a number"},
        {ExitCode::inputMalformed, "a row of the input or runs CSV file is malformed (cells, quotes)"},
        {ExitCode::runsInvalid,
         "the runs CSV file has no run column, or a run id is empty, repeated or no file name"},
        {ExitCode::javaVmFailed, "the Java VM cannot start"},
        {ExitCode::binaryNotLoadable, "the FMU's binary cannot be loaded or lacks an FMI function"},
        {ExitCode::fmuCallFailed, "an FMI call of the FMU failed (the FMU's message is shown)"},
        {ExitCode::batchRunsFailed, "batch mode: every run was done, but some failed (summary.csv)"},
        {ExitCode::outputNotWritable, "the output CSV or plot file cannot be written"},
        {ExitCode::plotFormatUnsupported, "the plot format is not offered by the installed PLplot"},
        {ExitCode::runTimedOut,
         "a run exceeded --run-timeout: recorded as failed, the runs after it not started"},
        {ExitCode::internalError, "an unexpected internal error"},
        {ExitCode::interrupted, "interrupted by a signal (SIGINT, SIGTERM, SIGHUP)"},
    };
    return meanings;
}
