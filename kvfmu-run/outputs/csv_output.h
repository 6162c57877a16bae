// The result file: a header "time,<output>,..." and one row per communication point, each
// number in the shortest form that reads back exactly.
#pragma once

#include "replaced_file.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CsvWriter {
public:
    // "-" is standard output; a file is written beside the target and renamed into place by
    // close(). Throws RunError(outputNotWritable).
    CsvWriter(const std::filesystem::path& file, const std::vector<std::string>& columns);
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    // Rows reach the file at least once a second (see flushIfDue) and at close().
    void writeRow(double time, const std::vector<double>& values);
    // A comment line "# text" (line breaks become blanks).
    void writeNote(const std::string& text);
    // Hands what was written so far to the file when the last flush is a second old.
    void flushIfDue();
    // Flushes, closes and puts the file in place; throws RunError(outputNotWritable) when
    // something was not written.
    void close();

private:
    void flush();

    std::filesystem::path file_;
    std::unique_ptr<ReplacedFile> replaced_;
    std::FILE* out_ = nullptr;
    std::string row_;  // reused for every row
    bool unflushed_ = false;
    std::chrono::steady_clock::time_point lastFlush_ = std::chrono::steady_clock::now();
};

// A CSV cell for the text: as it is, or in double quotes when it holds a comma, a quote or
// a line break.
std::string csvCell(const std::string& text);
