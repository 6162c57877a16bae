#include "csv_input.h"

#include "exit_codes.h"
#include "numbers.h"

#include <algorithm>
#include <cctype>
#include <fstream>

namespace {

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool isTimeName(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower == "time";
}

// The next line without its line end; false at the end of the input.
bool nextLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

[[noreturn]] void fail(ExitCode code, const std::string& origin, int line,
                       const std::string& what) {
    throw RunError(code, origin + ":" + std::to_string(line) + ": " + what);
}

}  // namespace

std::vector<std::string> splitCsvCells(const std::string& line, const std::string& origin,
                                       int lineNumber) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;     // inside quotes
    bool wasQuoted = false;  // the cell's quotes are closed
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == ',') {
            cells.push_back(wasQuoted ? cell : trimmed(cell));
            cell.clear();
            wasQuoted = false;
        } else if (wasQuoted) {
            if (c != ' ' && c != '\t') {
                fail(ExitCode::inputMalformed, origin, lineNumber,
                     "cell " + std::to_string(cells.size() + 1) + ": text after the closing quote");
            }
        } else if (c == '"' && trimmed(cell).empty()) {
            quoted = wasQuoted = true;
            cell.clear();
        } else {
            cell += c;
        }
    }
    if (quoted) {
        fail(ExitCode::inputMalformed, origin, lineNumber,
             "cell " + std::to_string(cells.size() + 1) + ": the quote is not closed");
    }
    cells.push_back(wasQuoted ? cell : trimmed(cell));
    return cells;
}

InputTable parseInputTable(std::istream& in, const std::string& origin) {
    InputTable table;
    table.origin = origin;
    std::string line;
    int lineNumber = 0;
    bool haveHeader = false;
    while (!haveHeader && nextLine(in, line)) {
        ++lineNumber;
        if (lineNumber == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);  // BOM
        haveHeader = !trimmed(line).empty();
    }
    if (!haveHeader) {
        throw RunError(ExitCode::inputUnreadable, origin + ": empty file (a header row is needed)");
    }

    const std::vector<std::string> header = splitCsvCells(line, origin, lineNumber);
    int timePosition = -1;
    for (size_t i = 0; i < header.size(); ++i) {
        if (isTimeName(header[i])) {
            if (timePosition >= 0)
                fail(ExitCode::inputMalformed, origin, lineNumber, "two time columns");
            timePosition = static_cast<int>(i);
            continue;
        }
        if (header[i].empty()) {
            fail(ExitCode::inputMalformed, origin, lineNumber,
                 "column " + std::to_string(i + 1) + " has no name");
        }
        if (std::find(table.names.begin(), table.names.end(), header[i]) != table.names.end()) {
            fail(ExitCode::inputMalformed, origin, lineNumber,
                 "column " + header[i] + " appears twice");
        }
        table.names.push_back(header[i]);
        table.headerPositions.push_back(static_cast<int>(i));
    }
    if (timePosition < 0) {
        fail(ExitCode::inputNoTimeColumn, origin, lineNumber,
             "no time column (the header needs a column named time)");
    }
    table.columns.resize(table.names.size());

    while (nextLine(in, line)) {
        ++lineNumber;
        if (trimmed(line).empty()) continue;
        const std::vector<std::string> cells = splitCsvCells(line, origin, lineNumber);
        if (cells.size() != header.size()) {
            fail(ExitCode::inputMalformed, origin, lineNumber,
                 std::to_string(cells.size()) + " cells, but the header has " +
                     std::to_string(header.size()));
        }
        auto numberIn = [&](size_t position) {
            std::optional<double> value = parseNumber(cells[position]);
            if (!value) {
                fail(
                    ExitCode::inputNotNumeric, origin, lineNumber,
                    "column " + header[position] + ": \"" + cells[position] + "\" is not a number");
            }
            return *value;
        };
        const double time = numberIn(static_cast<size_t>(timePosition));
        if (!table.times.empty() && time < table.times.back()) {
            fail(ExitCode::inputTimeNotMonotonic, origin, lineNumber,
                 "time " + formatNumber(time) + " is before the previous row's time " +
                     formatNumber(table.times.back()));
        }
        table.times.push_back(time);
        for (size_t i = 0; i < table.names.size(); ++i) {
            table.columns[i].push_back(numberIn(static_cast<size_t>(table.headerPositions[i])));
        }
    }
    if (table.times.empty()) {
        fail(ExitCode::inputMalformed, origin, lineNumber, "no data rows after the header");
    }
    return table;
}

InputTable readInputTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw RunError(ExitCode::inputUnreadable, file.string() + ": cannot open the input file");
    return parseInputTable(in, file.string());
}
