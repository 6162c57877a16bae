#include "batch_summary.h"

#include "csv_output.h"
#include "exit_codes.h"
#include "numbers.h"

#include <cerrno>
#include <charconv>
#include <cstring>

std::string summaryRow(const RunsTable::Run& run, const RunEnd& end, size_t outputCount) {
    std::string row = run.id;
    for (double value : run.values) row += "," + formatNumber(value);
    std::string error;
    for (char c : end.error) error += c == '\n' || c == '\r' ? ' ' : c;
    // Not printf: the Java VM may have set the C locale's decimal separator.
    char seconds[64];
    const auto written = std::to_chars(seconds, seconds + sizeof seconds, end.wallSeconds,
                                       std::chars_format::fixed, 6);
    row += std::string(end.ok ? ",ok," : ",failed,") + csvCell(error) + "," +
           std::string(seconds, written.ptr);
    for (size_t i = 0; i < outputCount; ++i) {
        row += ",";
        if (end.ok && i < end.finalOutputs.size()) row += formatNumber(end.finalOutputs[i]);
    }
    return row;
}

BatchSummary::BatchSummary(const std::filesystem::path& file,
                           const std::vector<std::string>& columns,
                           const std::vector<std::string>& outputs, std::FILE* echo)
    : file_(file), echo_(echo), header_("run"), outputCount_(outputs.size()) {
    for (const auto& column : columns) header_ += "," + csvCell(column);
    header_ += ",status,error,wall_seconds";
    for (const auto& output : outputs) header_ += "," + csvCell(output);
    this->echo(header_);
}

BatchSummary::~BatchSummary() {
    if (out_) std::fclose(out_);
}

void BatchSummary::add(const RunsTable::Run& run, const RunEnd& end) {
    const std::string row = summaryRow(run, end, outputCount_);
    write(row);
    echo(row);
}

void BatchSummary::echo(const std::string& line) {
    if (!echo_) return;
    std::fprintf(echo_, "%s\n", line.c_str());
    if (std::fflush(echo_) != 0) {
        throw RunError(ExitCode::outputNotWritable,
                       std::string("standard output: cannot write the summary row: ") +
                           std::strerror(errno));
    }
}

void BatchSummary::write(const std::string& line) {
    if (!out_) {
        out_ = std::fopen(file_.c_str(), "w");
        if (!out_) {
            throw RunError(ExitCode::outputNotWritable,
                           file_.string() + ": cannot write the summary: " + std::strerror(errno));
        }
        std::fprintf(out_, "%s\n", header_.c_str());
    }
    std::fprintf(out_, "%s\n", line.c_str());
    if (std::fflush(out_) != 0) {
        throw RunError(ExitCode::outputNotWritable,
                       file_.string() + ": cannot write the summary: " + std::strerror(errno));
    }
}
