#include "csv_output.h"

#include "exit_codes.h"
#include "numbers.h"

#include <cerrno>
#include <cstring>

std::string csvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string cell = "\"";
    for (char c : text) {
        if (c == '"') cell += '"';
        cell += c;
    }
    return cell + "\"";
}

CsvWriter::CsvWriter(const std::filesystem::path& file, const std::vector<std::string>& columns)
    : file_(file) {
    out_ = file == "-" ? stdout : std::fopen(file.c_str(), "w");
    if (!out_) {
        throw RunError(ExitCode::outputNotWritable,
                       file.string() + ": cannot write the output file: " + std::strerror(errno));
    }
    std::string header = "time";
    for (const auto& column : columns) header += "," + csvCell(column);
    std::fprintf(out_, "%s\n", header.c_str());
}

CsvWriter::~CsvWriter() {
    if (out_ && out_ != stdout) std::fclose(out_);
}

void CsvWriter::writeRow(double time, const std::vector<double>& values) {
    std::string row = formatNumber(time);
    for (double value : values) row += "," + formatNumber(value);
    row += '\n';
    std::fwrite(row.data(), 1, row.size(), out_);
}

void CsvWriter::close() {
    if (!out_) return;
    const bool failed = std::fflush(out_) != 0 || std::ferror(out_) != 0;
    const int closed = out_ == stdout ? 0 : std::fclose(out_);
    out_ = nullptr;
    if (failed || closed != 0) {
        throw RunError(ExitCode::outputNotWritable,
                       file_.string() + ": the output file was not fully written");
    }
}
