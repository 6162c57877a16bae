// The runner's small pieces: numbers, URIs, entry names, parameter lines, input plans,
// the step grid, the progress line and the plot's point reduction.
#include "archive.h"
#include "batch_summary.h"
#include "exit_codes.h"
#include "file_uri.h"
#include "fmu_logger.h"
#include "input_plan.h"
#include "numbers.h"
#include "options.h"
#include "run_parameters.h"
#include "plot.h"
#include "progress.h"
#include "simulation.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <zip.h>

#include <cmath>
#include <filesystem>

namespace {

template <typename Call>
ExitCode codeOf(Call call) {
    try {
        call();
    } catch (const RunError& error) {
        return error.code();
    }
    return ExitCode::ok;
}

TEST(Numbers, ParseOnlyWholeFiniteNumbers) {
    EXPECT_EQ(parseNumber(" 1.5e3 "), 1500.0);
    EXPECT_EQ(parseNumber("+2"), 2.0);
    EXPECT_EQ(parseNumber("-0.25"), -0.25);
    for (const char* bad : {"", " ", "1x", "x1", "1,5", "inf", "nan", "1e999", "++1", "0x10"}) {
        EXPECT_FALSE(parseNumber(bad)) << bad;
    }
}

TEST(Numbers, TooSmallToRepresentReadsAsZeroOrSubnormal) {
    EXPECT_EQ(parseNumber("1e-400"), 0.0);
    EXPECT_TRUE(std::signbit(*parseNumber("-1e-400")));
    EXPECT_EQ(parseNumber("4.9406564584124654e-324"), 4.9406564584124654e-324);  // smallest
    EXPECT_EQ(parseNumber("2e-324"), 0.0);  // below half the smallest: rounds to 0
    EXPECT_EQ(parseNumber("3e-324"), 4.9406564584124654e-324);
    EXPECT_EQ(parseNumber("1e-310"), 1e-310);
    EXPECT_FALSE(parseNumber("1e400"));
    EXPECT_FALSE(parseNumber("1e-400x"));
}

TEST(Numbers, FormatRoundTripsExactly) {
    for (double value : {0.1, 1.0 / 3.0, -2.5e-300, 1e21, 123456789.125}) {
        EXPECT_EQ(parseNumber(formatNumber(value)), value);
    }
    EXPECT_EQ(formatNumber(0.1), "0.1");
    EXPECT_EQ(formatNumber(2), "2");
}

TEST(Options, NamedValuesNeedNameAndFiniteNumber) {
    EXPECT_EQ(parseNamedValue("u=-1.5", "--set"), (NamedValue{"u", -1.5}));
    EXPECT_EQ(codeOf([] { parseNamedValue("u", "--set"); }), ExitCode::usage);
    EXPECT_EQ(codeOf([] { parseNamedValue("=1", "--set"); }), ExitCode::usage);
    EXPECT_EQ(codeOf([] { parseNamedValue("u=one", "--set"); }), ExitCode::badNumber);
}

TEST(FileUri, PercentEncodesAllButUnreservedCharacters) {
    EXPECT_EQ(fileUri("/tmp/kvfmu-run.a1_~/resources"), "file:///tmp/kvfmu-run.a1_~/resources");
    EXPECT_EQ(fileUri("/tmp/a b%c#d?e"), "file:///tmp/a%20b%25c%23d%3Fe");
    EXPECT_EQ(fileUri("/tmp/\xC3\xA4"), "file:///tmp/%C3%A4");  // UTF-8 bytes one by one
}

TEST(Archive, UnpackedSizeIsCapped) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("kvfmu-run-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string content(600, 'x');
    // A zip archive with two stored entries of 600 bytes each, made by libzip.
    int error = 0;
    zip_t* zip = zip_open((folder / "a.zip").c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_TRUE(zip);
    for (const char* name : {"one", "two"}) {
        zip_source_t* source = zip_source_buffer(zip, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(zip, name, source, 0), 0);
    }
    ASSERT_EQ(zip_close(zip), 0);
    EXPECT_EQ(codeOf([&] { extractArchive(folder / "a.zip", folder / "small", 1000); }),
              ExitCode::corruptArchive);
    EXPECT_FALSE(std::filesystem::exists(folder / "small" / "one"));
    EXPECT_EQ(codeOf([&] { extractArchive(folder / "a.zip", folder / "large", 1200); }),
              ExitCode::ok);
    EXPECT_EQ(std::filesystem::file_size(folder / "large" / "two"), 600u);
    std::filesystem::remove_all(folder);
}

TEST(Archive, EntryNamesMustStayInside) {
    EXPECT_TRUE(isSafeEntryName("binaries/linux64/libkvfmu.so"));
    EXPECT_TRUE(isSafeEntryName("resources/"));
    EXPECT_TRUE(isSafeEntryName("a..b"));
    for (const char* bad : {"../evil", "a/../../evil", "/etc/passwd", "a\\..\\b", ""}) {
        EXPECT_FALSE(isSafeEntryName(bad)) << bad;
    }
}

TEST(ParameterOverrides, NamesOfTheParameterKeysInModelProperties) {
    const std::string properties =
        "model.class=com.example.Lag\n"
        "# parameter.K=5 in a comment stays\n"
        "parameter.K=1\n"
        "parameter.T = 2\\\n"
        "   0\n"
        "parameter.with\\ blank:3\n";
    EXPECT_EQ(parameterNames(properties), (std::vector<std::string>{"K", "T", "with blank"}));
}

ModelDescription parameterModel() {
    ModelDescription model;
    model.variables = {{"y", 0, Causality::output, Variability::continuous, "Real", {}, "", ""},
                       {"u", 1, Causality::input, Variability::continuous, "Real", {}, "", ""},
                       {"K", 2, Causality::parameter, Variability::fixed, "Real", 1.0, "", ""},
                       {"T", 3, Causality::parameter, Variability::tunable, "Real", 2.0, "s", ""},
                       {"n", 4, Causality::parameter, Variability::fixed, "Integer", {}, "", ""}};
    return model;
}

TEST(ParameterOverrides, NamesBecomeValueReferencesOfRealParameters) {
    const std::vector<ParameterValue> values =
        parameterValuesFor(parameterModel(), {{"T", 0.5}, {"K", -1}}, "/nonexistent", "--param");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].valueReference, 3u);
    EXPECT_EQ(values[0].value, 0.5);
    EXPECT_EQ(values[1].valueReference, 2u);
    for (const char* name : {"u", "y", "n", "k"}) {
        try {
            parameterValuesFor(parameterModel(), {{name, 1}}, "/nonexistent", "--param");
            ADD_FAILURE() << name;
        } catch (const RunError& error) {
            EXPECT_EQ(error.code(), ExitCode::unknownVariable);
            EXPECT_EQ(std::string(error.what()), std::string("--param ") + name +
                                                     ": the model has no parameter " + name +
                                                     " (parameters: K, T)");
        }
    }
}

ModelDescription twoInputModel() {
    ModelDescription model;
    model.variables = {{"y", 0, Causality::output, Variability::continuous, "Real", {}, "", ""},
                       {"a", 2, Causality::input, Variability::continuous, "Real", 4.0, "", ""},
                       {"b", 3, Causality::input, Variability::continuous, "Real", {}, "", ""}};
    return model;
}

TEST(InputPlan, FileColumnsThenSetValuesThenStartValues) {
    InputTable table;
    table.names = {"b"};
    table.times = {0, 1};
    table.columns = {{0, 10}};
    InputPlan plan = makeInputPlan(twoInputModel(), table, {});
    std::vector<double> values;
    plan.valuesAt(0.5, values);
    EXPECT_EQ(plan.valueReferences, (std::vector<std::uint32_t>{2, 3}));
    EXPECT_EQ(values, (std::vector<double>{4, 5}));

    plan = makeInputPlan(twoInputModel(), table, {{"a", -1}});
    plan.valuesAt(2, values);
    EXPECT_EQ(values, (std::vector<double>{-1, 10}));

    plan = makeInputPlan(twoInputModel(), InputTable{}, {});
    plan.valuesAt(0, values);
    EXPECT_EQ(values, (std::vector<double>{4, 0}));  // no start value: 0
}

TEST(InputPlan, UnknownOrDoublyGivenInputsAreRefused) {
    InputTable table;
    table.names = {"y"};
    table.origin = "in.csv";
    table.times = {0};
    table.columns = {{1}};
    try {
        makeInputPlan(twoInputModel(), table, {});
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.code(), ExitCode::unknownVariable);
        EXPECT_STREQ(error.what(), "in.csv:1: column y is no input of the model (inputs: a, b)");
    }
    EXPECT_EQ(codeOf([] {
                  makeInputPlan(twoInputModel(), {}, {{"c", 1}});
              }),
              ExitCode::unknownVariable);
    EXPECT_EQ(codeOf([] {
                  makeInputPlan(twoInputModel(), {}, {{"a", 1}, {"a", 2}});
              }),
              ExitCode::usage);
}

TEST(StepGrid, EndsExactlyAtStop) {
    StepGrid even(0, 1, 0.1);
    EXPECT_EQ(even.steps, 10);
    EXPECT_EQ(even.at(10), 1.0);
    StepGrid uneven(0, 1, 0.3);
    EXPECT_EQ(uneven.steps, 4);
    EXPECT_EQ(uneven.at(4), 1.0);
    EXPECT_EQ(StepGrid(2, 2, 0.1).steps, 0);
}

// The decimal k·step (+ start) read by the C library: the double the user means.
double decimalTime(long long startUnits, long long stepUnits, long long k, int decimals) {
    return std::stod(std::to_string(startUnits + k * stepUnits) + "e-" + std::to_string(decimals));
}

TEST(StepGrid, TimesAreTheIntendedDecimalGridTimes) {
    // start and step as texts with their value in units of 10^-decimals.
    const std::vector<std::tuple<double, double, long long, long long, int>> grids = {
        {0, 0.3, 0, 3, 1},       {0, 0.03, 0, 3, 2},     {0, 0.06, 0, 6, 2},
        {0, 0.009, 0, 9, 3},     {0, 0.1, 0, 1, 1},      {0.7, 0.3, 7, 3, 1},
        {-1.25, 0.05, -125, 5, 2}, {100, 1e-4, 1000000, 1, 4}, {0, 2.5, 0, 25, 1},
    };
    for (const auto& [start, step, startUnits, stepUnits, decimals] : grids) {
        const StepGrid grid(start, start + 1000 * step, step);
        for (long long k = 0; k < grid.steps; ++k) {
            ASSERT_EQ(grid.at(k), decimalTime(startUnits, stepUnits, k, decimals))
                << "start " << start << ", step " << step << ", k " << k;
        }
    }
    EXPECT_EQ(formatNumber(StepGrid(0, 1, 0.3).at(3)), "0.9");  // not 0.8999999999999999
    EXPECT_EQ(StepGrid(0, 1, 1.0 / 3).at(2), 2.0 / 3);  // no decimal grid: start + k·step
}

TEST(InputPlan, AStepTimeAFewUlpsFromARowTimeIsThatRowTime) {
    ModelDescription model = twoInputModel();
    InputTable table;
    table.names = {"a"};
    table.times = {0, 0.9, 0.9, 2};
    table.columns = {{0, 0, 1, 1}};  // a jump at 0.9
    const InputPlan plan = makeInputPlan(model, table, {});
    std::vector<double> values;
    const double justBelow = 3 * 0.3;  // 0.8999999999999999
    ASSERT_LT(justBelow, 0.9);
    plan.valuesAt(justBelow, values);
    EXPECT_EQ(values[0], 1);
    plan.valuesAt(std::nextafter(0.9, 1.0), values);
    EXPECT_EQ(values[0], 1);
    plan.valuesAt(0.8999, values);
    EXPECT_EQ(values[0], 0);
}

TEST(FmuLog, VariableReferencesBecomeNames) {
    const std::map<std::pair<char, std::uint32_t>, std::string> names = {
        {{'r', 0}, "x"}, {{'r', 12}, "speed"}, {{'i', 12}, "count"}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"fmi2SetReal: #r12# = 4", "fmi2SetReal: speed = 4"},
        {"#r0# and #i12#, #r12#", "x and count, speed"},
        {"#r7# is unknown", "#r7# is unknown"},
        {"#b0# has no name", "#b0# has no name"},
        {"## and # and #r# and #r12 and #rx#", "## and # and #r# and #r12 and #rx#"},
        {"Integrator#2: #r0#", "Integrator#2: x"},
        {"#r99999999999999999999#", "#r99999999999999999999#"},
        {"ends with #", "ends with #"},
        {"", ""},
    };
    for (const auto& [message, expected] : cases) {
        EXPECT_EQ(withVariableNames(message, names), expected) << message;
    }
}

TEST(BatchSummary, RowsQuoteTheErrorOnOneLineAndLeaveAFailedRunsOutputsEmpty) {
    const RunsTable::Run run{"r1", {0.1, 1e300}};
    RunEnd ok;
    ok.ok = true;
    ok.wallSeconds = 0.25;
    ok.finalOutputs = {1.0 / 3, -2};
    EXPECT_EQ(summaryRow(run, ok, 2), "r1,0.1,1e+300,ok,,0.250000,0.3333333333333333,-2");
    RunEnd failed;
    failed.error = "fmi2DoStep failed: x, \"y\"\nand more";
    failed.wallSeconds = 1234.5678915;
    failed.finalOutputs = {1, 2};
    EXPECT_EQ(summaryRow(run, failed, 2),
              "r1,0.1,1e+300,failed,\"fmi2DoStep failed: x, \"\"y\"\" and more\",1234.567892,,");
}

TEST(Progress, LineShowsTimePercentRateAndTimeLeft) {
    const std::string line = formatProgressLine(0, 10, 2.5, 250, 1.0, 100);
    EXPECT_NE(line.find("25.0%"), std::string::npos) << line;
    EXPECT_NE(line.find("t = 2.5 / 10 s"), std::string::npos) << line;
    EXPECT_NE(line.find("250 steps/s"), std::string::npos) << line;
    EXPECT_NE(line.find("3 s left"), std::string::npos) << line;
    EXPECT_EQ(line.front(), '[');
    EXPECT_LE(formatProgressLine(0, 10, 2.5, 250, 1.0, 30).size(), 29u);  // fits a narrow terminal
    EXPECT_EQ(formatProgressLine(0, 10, 0.01, 1, 0.001, 100).find("left"), std::string::npos)
        << "no guess from the first milliseconds";
}

TEST(Plot, ReductionKeepsEndsAndExtremes) {
    std::vector<double> times, values;
    for (int i = 0; i <= 100000; ++i) {
        times.push_back(i);
        values.push_back(i == 54321 ? 1000.0 : std::sin(i * 1e-3));
    }
    std::vector<double> keptTimes, keptValues;
    reduceForPlot(times, values, 1000, keptTimes, keptValues);
    EXPECT_LE(keptTimes.size(), 1000u);
    EXPECT_EQ(keptTimes.front(), 0);
    EXPECT_EQ(keptTimes.back(), 100000);
    EXPECT_TRUE(std::is_sorted(keptTimes.begin(), keptTimes.end()));
    EXPECT_EQ(*std::max_element(keptValues.begin(), keptValues.end()), 1000.0);  // the spike stays

    reduceForPlot({0, 1, 2}, {3, 4, 5}, 1000, keptTimes, keptValues);
    EXPECT_EQ(keptValues, (std::vector<double>{3, 4, 5}));
    EXPECT_EQ(legendText({"y", "m", {}}), "y [m]");
    EXPECT_EQ(legendText({"y", "", {}}), "y");
}

TEST(Plot, UnknownFormatsAreRefused) {
    EXPECT_EQ(plotDeviceFor("a.SVG"), "svg");
    EXPECT_EQ(codeOf([] { plotDeviceFor("a.gif"); }), ExitCode::plotFormatUnsupported);
}

}  // namespace
