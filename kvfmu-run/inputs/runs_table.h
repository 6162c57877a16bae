// The runs of a batch: a CSV file with a header row, a column "run" (the run id) and one
// column per parameter or constant input, one row per run.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct RunsTable {
    std::vector<std::string> columns;  // besides run, in file order
    struct Run {
        std::string id;
        std::vector<double> values;  // one per column
    };
    std::vector<Run> runs;
    std::string origin;  // the file name, for messages
    int headerLine = 1;  // the header row's line number, for messages
};

// Reads a runs table a line at a time: the header on construction, then one run per call,
// so that a run can start as soon as its line has arrived. Errors name origin:line.
class RunsReader {
public:
    // Reads up to the header row. Throws RunError: inputUnreadable (nothing but blank
    // lines), inputMalformed (a column name empty or repeated), runsInvalid (no run column).
    RunsReader(std::istream& in, std::string origin);

    const std::vector<std::string>& columns() const { return columns_; }
    const std::string& origin() const { return origin_; }
    int lineNumber() const { return lineNumber_; }
    int headerLine() const { return headerLine_; }

    // The next run, or nothing at the end of the input. Throws RunError: inputNotNumeric,
    // inputMalformed (wrong number of cells), runsInvalid (a run id that is no file name or
    // repeats an earlier one, also in another case).
    std::optional<RunsTable::Run> next();

private:
    std::istream& in_;
    std::string origin_;
    int lineNumber_ = 0;
    int headerLine_ = 0;
    std::vector<std::string> header_;
    std::vector<std::string> columns_;
    size_t runPosition_ = 0;
    std::set<std::string> ids_;  // in lower case: result files must differ on any file system
};

// The whole table. Throws RunError with file:line in the message: what RunsReader throws,
// inputUnreadable (cannot open) and runsInvalid (no runs).
RunsTable readRunsTable(const std::filesystem::path& file);
RunsTable parseRunsTable(std::istream& in, const std::string& origin);

// A run id names its result file DIR/<run>.csv on any system: letters, digits, '.', '_' and
// '-', beginning with a letter or digit, not "summary" (in any case).
bool isUsableRunId(const std::string& id);
