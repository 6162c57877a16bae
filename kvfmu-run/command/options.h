// The runner's command line.
#pragma once

#include "fmu_logger.h"
#include "input_plan.h"

#include <optional>
#include <string>
#include <vector>

struct RunOptions {
    std::string fmu;
    std::optional<double> startTime;
    std::optional<double> stopTime;
    std::optional<double> stepSize;
    std::string inputFile;
    std::vector<NamedValue> inputValues;      // --set
    std::vector<NamedValue> parameterValues;  // --param
    std::string outputFile = "-";             // standard output unless --output
    std::string plotFile;
    bool logFmiCalls = false;
    LogLevel logLevel = LogLevel::info;
    bool quiet = false;
    std::vector<std::string> vmOptions;
    std::string runsFile;               // batch mode: --runs, "-" for standard input
    std::string outputDir;              // batch mode: --output-dir
    double runTimeout = 0;              // seconds; 0: none
    std::vector<std::string> plotVariables;
    bool info = false;                  // --info: describe the FMU, run nothing
    bool check = false;                 // --check: check everything, run nothing
    bool endWithParent = false;         // --end-with-parent
};

// Parses the command line. Answers nothing when --help or --version was shown (exit 0).
// Throws RunError: usage for an unknown option, a missing value or a malformed name=value;
// badNumber for a number that is malformed or not finite.
std::optional<RunOptions> parseCommandLine(int argc, const char* const* argv);

// "name=value" with a finite number; `option` names the option in messages.
NamedValue parseNamedValue(const std::string& text, const std::string& option);
