// The runner's exit codes, one per kind of failure, and the error that carries one.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

enum class ExitCode : int {
    ok = 0,
    usage = 2,
    badNumber = 3,
    fmuMissing = 10,
    notZip = 11,
    corruptArchive = 12,
    noModelDescription = 13,
    invalidModelDescription = 14,
    notFmi2CoSimulation = 15,
    noBinary = 16,
    unknownVariable = 17,
    inputUnreadable = 20,
    inputNoTimeColumn = 21,
    inputTimeNotMonotonic = 22,
    inputNotNumeric = 23,
    inputMalformed = 24,
    runsInvalid = 25,
    javaVmFailed = 30,
    binaryNotLoadable = 31,
    fmuCallFailed = 40,
    batchRunsFailed = 41,
    outputNotWritable = 50,
    plotFormatUnsupported = 51,
    runTimedOut = 60,
    internalError = 70,
    interrupted = 130,
};

// Every code with a one-line meaning, in ascending order (for --help and the README).
const std::vector<std::pair<ExitCode, std::string>>& exitCodeMeanings();

// A failure that ends the run with its exit code; what() is the message for the user.
class RunError : public std::runtime_error {
public:
    RunError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};
