#include "runs_table.h"

#include "csv_input.h"
#include "exit_codes.h"
#include "numbers.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <utility>

namespace {

[[noreturn]] void fail(ExitCode code, const std::string& origin, int line,
                       const std::string& what) {
    throw RunError(code, origin + ":" + std::to_string(line) + ": " + what);
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool blank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

}  // namespace

bool isUsableRunId(const std::string& id) {
    if (id.empty() || !std::isalnum(static_cast<unsigned char>(id.front()))) return false;
    for (unsigned char c : id) {
        if (!std::isalnum(c) && c != '.' && c != '_' && c != '-') return false;
    }
    return lowered(id) != "summary" && id.size() <= 200;
}

RunsReader::RunsReader(std::istream& in, std::string origin)
    : in_(in), origin_(std::move(origin)) {
    std::string line;
    while (header_.empty() && std::getline(in_, line)) {
        ++lineNumber_;
        if (lineNumber_ == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // BOM
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!blank(line)) header_ = splitCsvCells(line, origin_, lineNumber_);
    }
    if (header_.empty()) {
        throw RunError(ExitCode::inputUnreadable,
                       origin_ + ": empty file (a header row with a run column is needed)");
    }
    std::optional<size_t> runPosition;
    for (size_t i = 0; i < header_.size(); ++i) {
        if (header_[i] == "run") {
            if (runPosition) fail(ExitCode::inputMalformed, origin_, lineNumber_, "two run columns");
            runPosition = i;
            continue;
        }
        if (header_[i].empty()) {
            fail(ExitCode::inputMalformed, origin_, lineNumber_,
                 "column " + std::to_string(i + 1) + " has no name");
        }
        if (std::find(columns_.begin(), columns_.end(), header_[i]) != columns_.end()) {
            fail(ExitCode::inputMalformed, origin_, lineNumber_,
                 "column " + header_[i] + " appears twice");
        }
        columns_.push_back(header_[i]);
    }
    if (!runPosition) fail(ExitCode::runsInvalid, origin_, lineNumber_, "no run column (the run ids)");
    runPosition_ = *runPosition;
    headerLine_ = lineNumber_;
}

std::optional<RunsTable::Run> RunsReader::next() {
    std::string line;
    while (std::getline(in_, line)) {
        ++lineNumber_;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (blank(line)) continue;
        const std::vector<std::string> cells = splitCsvCells(line, origin_, lineNumber_);
        if (cells.size() != header_.size()) {
            fail(ExitCode::inputMalformed, origin_, lineNumber_,
                 std::to_string(cells.size()) + " cells, but the header has " +
                     std::to_string(header_.size()));
        }
        RunsTable::Run run;
        run.id = cells[runPosition_];
        if (!isUsableRunId(run.id)) {
            fail(ExitCode::runsInvalid, origin_, lineNumber_,
                 "run id \"" + run.id +
                     "\" is no file name: letters, digits, '.', '_' or '-', beginning with a "
                     "letter or digit, and not \"summary\"");
        }
        if (!ids_.insert(lowered(run.id)).second) {
            fail(ExitCode::runsInvalid, origin_, lineNumber_, "run id \"" + run.id + "\" repeats");
        }
        for (size_t i = 0; i < header_.size(); ++i) {
            if (i == runPosition_) continue;
            std::optional<double> value = parseNumber(cells[i]);
            if (!value) {
                fail(ExitCode::inputNotNumeric, origin_, lineNumber_,
                     "column " + header_[i] + ": \"" + cells[i] + "\" is not a number");
            }
            run.values.push_back(*value);
        }
        return run;
    }
    return std::nullopt;
}

RunsTable parseRunsTable(std::istream& in, const std::string& origin) {
    RunsReader reader(in, origin);
    RunsTable table;
    table.origin = origin;
    table.columns = reader.columns();
    table.headerLine = reader.headerLine();
    while (std::optional<RunsTable::Run> run = reader.next()) table.runs.push_back(std::move(*run));
    if (table.runs.empty()) {
        fail(ExitCode::runsInvalid, origin, reader.lineNumber(), "no runs after the header");
    }
    return table;
}

RunsTable readRunsTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw RunError(ExitCode::inputUnreadable, file.string() + ": cannot open the runs file");
    return parseRunsTable(in, file.string());
}
