// DIR/summary.csv of a batch: a row per run, appended and flushed as the run ends, so that a
// process that is killed keeps the finished runs. The file is made when the first run ends:
// a batch refused before that leaves an earlier summary as it was.
#pragma once

#include "run_record.h"
#include "runs_table.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

class BatchSummary {
public:
    // The columns: run, each column of the runs file, status, error, wall_seconds, then each
    // output's final value. With `echo`, the header goes there at once and each row after it
    // is in the file, each flushed. Throws RunError(outputNotWritable) for the echo.
    BatchSummary(const std::filesystem::path& file, const std::vector<std::string>& columns,
                 const std::vector<std::string>& outputs, std::FILE* echo = nullptr);
    ~BatchSummary();
    BatchSummary(const BatchSummary&) = delete;
    BatchSummary& operator=(const BatchSummary&) = delete;

    // Throws RunError(outputNotWritable).
    void add(const RunsTable::Run& run, const RunEnd& end);

private:
    void write(const std::string& line);
    void echo(const std::string& line);

    std::filesystem::path file_;
    std::FILE* echo_ = nullptr;
    std::string header_;
    size_t outputCount_ = 0;
    std::FILE* out_ = nullptr;
};

// The summary row of a run: its id and values, ok or failed, the error on one line, the wall
// seconds to the microsecond, and the final outputs (empty cells for a failed run).
std::string summaryRow(const RunsTable::Run& run, const RunEnd& end, size_t outputCount);
