// The runs of a batch: a CSV file with a header row, a column "run" (the run id) and one
// column per parameter or constant input, one row per run.
#pragma once

#include <filesystem>
#include <istream>
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
};

// Throws RunError with file:line in the message: inputUnreadable (cannot open, empty),
// inputNotNumeric, inputMalformed (wrong number of cells, a column name empty or repeated),
// runsInvalid (no run column, no runs, a run id empty, repeated or no file name).
RunsTable readRunsTable(const std::filesystem::path& file);
RunsTable parseRunsTable(std::istream& in, const std::string& origin);

// A run id names its result file DIR/<run>.csv on any system: letters, digits, '.', '_' and
// '-', beginning with a letter or digit, not "summary" (in any case).
bool isUsableRunId(const std::string& id);
