#include "runs_table.h"

#include "csv_input.h"
#include "exit_codes.h"
#include "numbers.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

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

RunsTable parseRunsTable(std::istream& in, const std::string& origin) {
    RunsTable table;
    table.origin = origin;
    std::string line;
    int lineNumber = 0;
    std::vector<std::string> header;
    while (header.empty() && std::getline(in, line)) {
        ++lineNumber;
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // BOM
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!blank(line)) header = splitCsvCells(line, origin, lineNumber);
    }
    if (header.empty()) {
        throw RunError(ExitCode::inputUnreadable,
                       origin + ": empty file (a header row with a run column is needed)");
    }
    int runPosition = -1;
    for (size_t i = 0; i < header.size(); ++i) {
        if (header[i] == "run") {
            if (runPosition >= 0) fail(ExitCode::inputMalformed, origin, lineNumber, "two run columns");
            runPosition = static_cast<int>(i);
            continue;
        }
        if (header[i].empty()) {
            fail(ExitCode::inputMalformed, origin, lineNumber,
                 "column " + std::to_string(i + 1) + " has no name");
        }
        if (std::find(table.columns.begin(), table.columns.end(), header[i]) !=
            table.columns.end()) {
            fail(ExitCode::inputMalformed, origin, lineNumber, "column " + header[i] + " appears twice");
        }
        table.columns.push_back(header[i]);
    }
    if (runPosition < 0) {
        fail(ExitCode::runsInvalid, origin, lineNumber, "no run column (the run ids)");
    }

    std::set<std::string> ids;  // in lower case: result files must differ on any file system
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (blank(line)) continue;
        const std::vector<std::string> cells = splitCsvCells(line, origin, lineNumber);
        if (cells.size() != header.size()) {
            fail(ExitCode::inputMalformed, origin, lineNumber,
                 std::to_string(cells.size()) + " cells, but the header has " +
                     std::to_string(header.size()));
        }
        RunsTable::Run run;
        run.id = cells[static_cast<size_t>(runPosition)];
        if (!isUsableRunId(run.id)) {
            fail(ExitCode::runsInvalid, origin, lineNumber,
                 "run id \"" + run.id +
                     "\" is no file name: letters, digits, '.', '_' or '-', beginning with a "
                     "letter or digit, and not \"summary\"");
        }
        if (!ids.insert(lowered(run.id)).second) {
            fail(ExitCode::runsInvalid, origin, lineNumber, "run id \"" + run.id + "\" repeats");
        }
        for (size_t i = 0; i < header.size(); ++i) {
            if (static_cast<int>(i) == runPosition) continue;
            std::optional<double> value = parseNumber(cells[i]);
            if (!value) {
                fail(ExitCode::inputNotNumeric, origin, lineNumber,
                     "column " + header[i] + ": \"" + cells[i] + "\" is not a number");
            }
            run.values.push_back(*value);
        }
        table.runs.push_back(std::move(run));
    }
    if (table.runs.empty()) fail(ExitCode::runsInvalid, origin, lineNumber, "no runs after the header");
    return table;
}

RunsTable readRunsTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw RunError(ExitCode::inputUnreadable, file.string() + ": cannot open the runs file");
    return parseRunsTable(in, file.string());
}
