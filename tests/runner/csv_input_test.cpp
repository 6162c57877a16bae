#include "csv_input.h"
#include "exit_codes.h"
#include "interpolation.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

InputTable parse(const std::string& text) {
    std::istringstream in(text);
    return parseInputTable(in, "in.csv");
}

// The exit code and message of a table that fails to parse.
std::pair<ExitCode, std::string> failure(const std::string& text) {
    try {
        parse(text);
    } catch (const RunError& error) {
        return {error.code(), error.what()};
    }
    ADD_FAILURE() << "parsed without error: " << text;
    return {ExitCode::ok, ""};
}

TEST(CsvInput, ReadsTimeAndInputColumnsInAnyOrder) {
    InputTable table = parse("u, Time ,\"v, quoted\"\r\n1,0,10\n\n2,0.5,20\n3,1.5e0,30\n");
    EXPECT_EQ(table.names, (std::vector<std::string>{"u", "v, quoted"}));
    EXPECT_EQ(table.times, (std::vector<double>{0, 0.5, 1.5}));
    EXPECT_EQ(table.columns[0], (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(table.columns[1], (std::vector<double>{10, 20, 30}));
}

TEST(CsvInput, BlanksAroundQuotedCellsAreDropped) {
    InputTable table = parse("time, \"u\" \n \"0\" ,\"1\"\t\n");
    EXPECT_EQ(table.names, (std::vector<std::string>{"u"}));
    EXPECT_EQ(table.columns[0], (std::vector<double>{1}));
}

TEST(CsvInput, AcceptsByteOrderMarkAndRepeatedTimes) {
    InputTable table = parse("\xEF\xBB\xBFtime,u\n0,0\n1,0\n1,5\n");
    EXPECT_EQ(table.times, (std::vector<double>{0, 1, 1}));
}

TEST(CsvInput, EachMalformationHasItsCodeAndLine) {
    // Input, exit code, and the whole message where it matters.
    const std::vector<std::tuple<std::string, ExitCode, std::string>> cases = {
        {"t,u\n0,1\n", ExitCode::inputNoTimeColumn,
         "in.csv:1: no time column (the header needs a column named time)"},
        {"time,u\n0,1\n2,1\n1,1\n", ExitCode::inputTimeNotMonotonic,
         "in.csv:4: time 1 is before the previous row's time 2"},
        {"time,u\n0,1\n1,abc\n", ExitCode::inputNotNumeric,
         "in.csv:3: column u: \"abc\" is not a number"},
        {"time,u\n0,\n", ExitCode::inputNotNumeric, ""},
        {"time,u\n0,nan\n", ExitCode::inputNotNumeric, ""},
        {"time,u\n0,1,2\n", ExitCode::inputMalformed, "in.csv:2: 3 cells, but the header has 2"},
        {"time,u,u\n0,1,2\n", ExitCode::inputMalformed, "in.csv:1: column u appears twice"},
        {"time,u\n", ExitCode::inputMalformed, "in.csv:1: no data rows after the header"},
        {"\n\n", ExitCode::inputUnreadable, "in.csv: empty file (a header row is needed)"},
        {"time,\"u\"x\n0,1\n", ExitCode::inputMalformed,
         "in.csv:1: cell 2: text after the closing quote"},
        {"time,u\n0,\"1\" 2\n", ExitCode::inputMalformed,
         "in.csv:2: cell 2: text after the closing quote"},
        {"time,u\n0,\"1\n1,2\n", ExitCode::inputMalformed, "in.csv:2: cell 2: the quote is not closed"},
        {"time,\"u\n0,1\n", ExitCode::inputMalformed, "in.csv:1: cell 2: the quote is not closed"},
    };
    for (const auto& [text, code, message] : cases) {
        auto [actualCode, actualMessage] = failure(text);
        EXPECT_EQ(actualCode, code) << text;
        if (!message.empty()) {
            EXPECT_EQ(actualMessage, message);
        }
    }
}

TEST(CsvInput, MissingFileIsUnreadable) {
    try {
        readInputTable("/nonexistent/in.csv");
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.code(), ExitCode::inputUnreadable);
    }
}

TEST(Interpolation, LinearBetweenRowsHeldOutside) {
    const std::vector<double> times{1, 2, 4};
    const std::vector<double> values{10, 20, 0};
    EXPECT_EQ(interpolate(times, values, 0), 10);  // before the first row
    EXPECT_EQ(interpolate(times, values, 1), 10);
    EXPECT_EQ(interpolate(times, values, 1.5), 15);
    EXPECT_EQ(interpolate(times, values, 3), 10);
    EXPECT_EQ(interpolate(times, values, 4), 0);
    EXPECT_EQ(interpolate(times, values, 100), 0);  // after the last row
    EXPECT_EQ(interpolate({0}, {7}, 3), 7);
}

TEST(Interpolation, RepeatedTimeIsAStep) {
    const std::vector<double> times{0, 1, 1, 2};
    const std::vector<double> values{0, 0, 5, 5};
    EXPECT_EQ(interpolate(times, values, 0.999), 0);
    EXPECT_EQ(interpolate(times, values, 1), 5);
    EXPECT_EQ(interpolate(times, values, 1.5), 5);
}

}  // namespace
