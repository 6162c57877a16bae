// Reading an input file: CSV with a header row, a time column and one column per input.
#pragma once

#include <filesystem>
#include <istream>
#include <string>
#include <vector>

struct InputTable {
    std::vector<std::string> names;            // the input columns, without the time column
    std::vector<int> headerPositions;          // their cell index in the header (for messages)
    std::vector<double> times;                 // non-decreasing
    std::vector<std::vector<double>> columns;  // columns[i][row] belongs to names[i]
    std::string origin;                        // the file name, for messages
};

// Throws RunError with file:line in the message: inputUnreadable (cannot open, empty),
// inputNoTimeColumn, inputTimeNotMonotonic (a time before the previous row's),
// inputNotNumeric (a cell that is not a finite number), inputMalformed (a row with another
// number of cells than the header, a repeated or empty column name, no data row).
InputTable readInputTable(const std::filesystem::path& file);
InputTable parseInputTable(std::istream& in, const std::string& origin);

// The cells of one CSV line: separated by commas, optionally in double quotes ("" inside
// quotes is one quote), blanks around cells dropped. Throws RunError(inputMalformed) with
// "origin:line: " in front for text after a closing quote and for a quote left open.
std::vector<std::string> splitCsvCells(const std::string& line, const std::string& origin,
                                       int lineNumber);
