#include "csv_output.h"

#include "exit_codes.h"
#include "numbers.h"

#include <unistd.h>

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
    if (file == "-") {
        out_ = stdout;
    } else {
        replaced_ = std::make_unique<ReplacedFile>(file);
        const int descriptor = replaced_->takeDescriptor();
        out_ = fdopen(descriptor, "w");
        if (!out_) {
            ::close(descriptor);
            throw RunError(ExitCode::outputNotWritable,
                           file.string() + ": cannot write the output file: " + std::strerror(errno));
        }
    }
    std::string header = "time";
    for (const auto& column : columns) header += "," + csvCell(column);
    std::fprintf(out_, "%s\n", header.c_str());
    unflushed_ = true;
}

CsvWriter::~CsvWriter() {
    if (out_ && out_ != stdout) std::fclose(out_);
}

void CsvWriter::writeRow(double time, const std::vector<double>& values) {
    row_.clear();
    appendNumber(row_, time);
    for (double value : values) {
        row_ += ',';
        appendNumber(row_, value);
    }
    row_ += '\n';
    std::fwrite(row_.data(), 1, row_.size(), out_);
    unflushed_ = true;
    flushIfDue();
}

void CsvWriter::writeNote(const std::string& text) {
    std::string line = "# ";
    for (char c : text) line += c == '\n' || c == '\r' ? ' ' : c;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), out_);
    unflushed_ = true;
}

void CsvWriter::flushIfDue() {
    if (!out_ || !unflushed_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastFlush_ >= std::chrono::seconds(1)) flush();
}

void CsvWriter::flush() {
    std::fflush(out_);
    unflushed_ = false;
    lastFlush_ = std::chrono::steady_clock::now();
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
    if (replaced_) replaced_->commit();
}
