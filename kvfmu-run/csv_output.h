// The result file: a header "time,<output>,..." and one row per communication point, each
// number in the shortest form that reads back exactly.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

class CsvWriter {
public:
    // Opens (creates or truncates) the file; "-" is standard output. Throws
    // RunError(outputNotWritable).
    CsvWriter(const std::filesystem::path& file, const std::vector<std::string>& columns);
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void writeRow(double time, const std::vector<double>& values);
    // Flushes and closes; throws RunError(outputNotWritable) when something was not written.
    void close();

private:
    std::filesystem::path file_;
    std::FILE* out_ = nullptr;
};

// A CSV cell for the text: as it is, or in double quotes when it holds a comma, a quote or
// a line break.
std::string csvCell(const std::string& text);
