// kvfmu-run's batch mode over the test FMU: many runs, one process, one Java VM.
#include "run_runner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string fmu = TEST_FMU;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) all.push_back(line);
    return all;
}

// The cells of a summary row (no quoted cells with commas in the rows compared).
std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> all;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) all.push_back(cell);
    if (!line.empty() && line.back() == ',') all.push_back("");
    return all;
}

TEST(RunnerBatch, EachRunEqualsTheSingleRunBitForBit) {
    Scratch scratch;
    scratch.write("in.csv", "time,u\n0,1\n0.5,3\n0.5,-1\n1,2\n");
    scratch.write("runs.csv", "run,gain,initial\nfirst,2,0\nsecond,0.3,1.1\nthird,7,-2.5\n");
    const std::vector<std::string> common = {"-i", "in.csv", "--stop", "1.3", "--step", "0.1"};
    std::vector<std::string> batch = {fmu, "--runs", "runs.csv", "--output-dir", "out", "-q"};
    batch.insert(batch.end(), common.begin(), common.end());
    RunnerResult result = runRunner(scratch, batch);
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});

    const std::vector<std::vector<std::string>> singles = {
        {"-p", "gain=2", "-p", "initial=0"},
        {"-p", "gain=0.3", "-p", "initial=1.1"},
        {"-p", "gain=7", "-p", "initial=-2.5"}};
    const std::vector<std::string> ids = {"first", "second", "third"};
    const std::vector<std::string> summary = lines(scratch.read("out/summary.csv"));
    ASSERT_EQ(summary.size(), 4u) << scratch.read("out/summary.csv");
    EXPECT_EQ(summary[0], "run,gain,initial,status,error,wall_seconds,y1,y2");
    for (size_t i = 0; i < ids.size(); ++i) {
        std::vector<std::string> single = {fmu, "-o", ids[i] + ".csv", "-q"};
        single.insert(single.end(), common.begin(), common.end());
        single.insert(single.end(), singles[i].begin(), singles[i].end());
        RunnerResult alone = runRunner(scratch, single);
        ASSERT_EQ(alone.exitCode, code(ExitCode::ok)) << alone.err;
        const std::string expected = scratch.read(ids[i] + ".csv");
        EXPECT_EQ(scratch.read("out/" + ids[i] + ".csv"), expected) << ids[i];

        const std::vector<std::vector<double>> rows = csvRows(expected);
        const std::vector<std::string> row = cells(summary[i + 1]);
        ASSERT_EQ(row.size(), 8u) << summary[i + 1];
        EXPECT_EQ(row[0], ids[i]);
        EXPECT_EQ(row[3], "ok");
        EXPECT_EQ(row[4], "");
        EXPECT_GT(std::stod(row[5]), 0.0);
        EXPECT_EQ(std::stod(row[6]), rows.back()[1]) << "final y1 of " << ids[i];
        EXPECT_EQ(std::stod(row[7]), rows.back()[2]) << "final y2 of " << ids[i];
    }
}

TEST(RunnerBatch, ConstantInputColumnsAndAFailedRunInTheMiddle) {
    Scratch scratch;
    scratch.write("runs.csv",
                  "u,run,gain,fail_at\n"
                  "1,ok1,2,1e300\n"
                  "1,zero_gain,0,1e300\n"      // initialization fails
                  "2,step_fails,1,0.5\n"       // a step fails after rows
                  "\"3\",ok2,1,1e300\n");
    RunnerResult result = runRunner(
        scratch, {fmu, "--runs", "runs.csv", "--output-dir", "out", "--stop", "1", "--step", "0.25"});
    EXPECT_EQ(result.exitCode, code(ExitCode::batchRunsFailed)) << result.err;
    EXPECT_TRUE(contains(result.err, "kvfmu-run: error: 2 of 4 runs failed (see out/summary.csv)"))
        << result.err;
    EXPECT_TRUE(contains(result.err, "run zero_gain: failed: fmi2ExitInitializationMode returned"))
        << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});

    const std::vector<std::string> summary = lines(scratch.read("out/summary.csv"));
    ASSERT_EQ(summary.size(), 5u);
    EXPECT_EQ(summary[0], "run,u,gain,fail_at,status,error,wall_seconds,y1,y2");
    const std::vector<std::tuple<std::string, std::string, std::string>> expected = {
        {"ok1,1,2,1e+300,ok,,", "1", "2"},
        {"zero_gain,1,0,1e+300,failed,fmi2ExitInitializationMode returned fmi2Error: "
         "fmi2ExitInitializationMode: gain must not be 0,",
         "", ""},
        {"step_fails,2,1,0.5,failed,fmi2DoStep from t=0.5 over 0.25 s returned fmi2Error: Error: "
         "integrator stopped at t=0.5: fail_at is 0.5,",
         "", ""},
        {"ok2,3,1,1e+300,ok,,", "3", "3"},
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        const auto& [front, y1, y2] = expected[i];
        EXPECT_EQ(summary[i + 1].substr(0, front.size()), front);
        const std::vector<std::string> row = cells(summary[i + 1]);
        ASSERT_EQ(row.size(), 9u) << summary[i + 1];
        EXPECT_EQ(row[7], y1) << summary[i + 1];
        EXPECT_EQ(row[8], y2) << summary[i + 1];
    }
    // The failed step's run keeps its rows and says where it stopped.
    const std::vector<std::string> failed = lines(scratch.read("out/step_fails.csv"));
    ASSERT_EQ(failed.size(), 5u);
    EXPECT_EQ(failed[3], "0.5,1,2");
    EXPECT_TRUE(contains(failed[4], "# the run stopped after t = 0.5: fmi2DoStep")) << failed[4];
    EXPECT_EQ(lines(scratch.read("out/ok2.csv")).back(), "1,3,3");
}

TEST(RunnerBatch, ARunThatExceedsItsTimeoutEndsTheProcessWithItsCode) {
    Scratch scratch;
    scratch.write("runs.csv", "run,hang_at\nfine,1e300\nhangs,0.5\nnever,1e300\n");
    RunnerResult result =
        runRunner(scratch, {fmu, "--runs", "runs.csv", "--output-dir", "out", "--stop", "1",
                            "--step", "0.25", "--run-timeout", "3", "-q"});
    EXPECT_EQ(result.exitCode, code(ExitCode::runTimedOut)) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "kvfmu-run: error: run hangs exceeded --run-timeout 3 s and was "
                         "abandoned; the runs after it were not started"))
        << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
    const std::vector<std::string> summary = lines(scratch.read("out/summary.csv"));
    ASSERT_EQ(summary.size(), 3u);
    EXPECT_EQ(summary[1].substr(0, 13), "fine,1e+300,o");
    EXPECT_EQ(summary[2].substr(0, 43), "hangs,0.5,failed,run hangs exceeded --run-t");
    const std::vector<std::string> hung = lines(scratch.read("out/hangs.csv"));
    ASSERT_EQ(hung.size(), 5u);
    EXPECT_EQ(hung[3], "0.5,0.25,1");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("out/never.csv")));
}

TEST(RunnerBatch, JavaCodeEndingTheProcessIsRecordedAsTheRunsFailure) {
    Scratch scratch;
    scratch.write("runs.csv", "run,exit_at\nfine,1e300\nexits,0.5\nnever,1e300\n");
    RunnerResult result = runRunner(scratch, {fmu, "--runs", "runs.csv", "--output-dir", "out",
                                              "--stop", "1", "--step", "0.25", "-q"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuCallFailed)) << result.err;
    EXPECT_TRUE(contains(result.err, "the Java VM ended the process with status 3")) << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
    const std::vector<std::string> summary = lines(scratch.read("out/summary.csv"));
    ASSERT_EQ(summary.size(), 3u);
    const std::string failed = "exits,0.5,failed,the process was ended (see the error message),";
    EXPECT_EQ(summary[2].substr(0, failed.size()), failed);
    EXPECT_EQ(csvRows(scratch.read("out/exits.csv")).size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(scratch.file("out/never.csv")));
}

TEST(RunnerBatch, BadRunsFilesAreRefusedBeforeAnyRun) {
    Scratch scratch;
    const std::vector<std::tuple<std::string, std::vector<std::string>, ExitCode, std::string>>
        cases = {
        {"gain\n2\n", {}, ExitCode::runsInvalid, "runs.csv:1: no run column"},
        {"run,gain\na,2\nA,3\n", {}, ExitCode::runsInvalid, "runs.csv:3: run id \"A\" repeats"},
        {"run,gain\n../a,2\n", {}, ExitCode::runsInvalid, "runs.csv:2: run id \"../a\" is no file name"},
        {"run,gain\nsummary,2\n", {}, ExitCode::runsInvalid, "run id \"summary\" is no file name"},
        {"run,gain\n", {}, ExitCode::runsInvalid, "runs.csv:1: no runs after the header"},
        {"run,gain\na,fast\n", {}, ExitCode::inputNotNumeric, "runs.csv:2: column gain: \"fast\" is not a number"},
        {"run,gain\na,2,3\n", {}, ExitCode::inputMalformed, "runs.csv:2: 3 cells, but the header has 2"},
        {"run,K\na,2\n", {}, ExitCode::unknownVariable, "runs.csv:1: column K is neither an input nor a parameter"},
        {"run,y1\na,2\n", {}, ExitCode::unknownVariable, "column y1 is neither an input nor a parameter"},
        {"run,u\na,2\n", {"--set", "u=1"}, ExitCode::usage, "runs.csv:1: column u: input u is also given"},
        {"run,gain\na,2\n", {"-p", "gain=1"}, ExitCode::usage, "parameter gain is also given"},
        {"run,gain\na,2\n", {"-o", "x.csv"}, ExitCode::usage, "--output goes with a single run"},
        {"run,gain\na,2\n", {"--plot", "x.svg"}, ExitCode::usage, "--plot goes with a single run"},
        {"run,gain\na,2\n", {"--run-timeout", "0"}, ExitCode::badNumber, "--run-timeout: must be positive"},
        {"run,gain\na,2\n", {"--vm-option=-Xnonsense"}, ExitCode::javaVmFailed, "the Java VM cannot start"},
    };
    std::filesystem::create_directories(scratch.file("out"));
    scratch.write("out/summary.csv", "an earlier batch's summary\n");
    for (const auto& [text, extra, exitCode, message] : cases) {
        scratch.write("runs.csv", text);
        std::vector<std::string> arguments = {fmu, "--runs", "runs.csv", "--output-dir", "out"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        RunnerResult result = runRunner(scratch, arguments);
        EXPECT_EQ(result.exitCode, code(exitCode)) << text;
        EXPECT_TRUE(contains(result.err, "kvfmu-run: error: ")) << result.err;
        EXPECT_TRUE(contains(result.err, message)) << result.err;
        EXPECT_FALSE(std::filesystem::exists(scratch.file("out/a.csv"))) << text;
        EXPECT_EQ(scratch.read("out/summary.csv"), "an earlier batch's summary\n") << text;
    }
    RunnerResult result = runRunner(scratch, {fmu, "--runs", "runs.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::usage));
    EXPECT_TRUE(contains(result.err, "--runs needs --output-dir")) << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

TEST(RunnerBatch, RunsOnStandardInputAreAnsweredOneAtATime) {
    Scratch scratch;
    PipedRunner runner = startPipedRunner(
        scratch, {fmu, "--runs", "-", "--output-dir", "out", "--stop", "1", "--step", "0.25", "-q"});
    sendTo(runner, "run,gain\n");
    EXPECT_EQ(lineFrom(runner), "run,gain,status,error,wall_seconds,y1,y2");
    // Each row comes back before the next line is sent: the run started on its line alone.
    std::vector<std::string> rows;
    for (const std::string line : {"first,2", "second,0", "third,4"}) {
        sendTo(runner, line + "\n");
        const std::optional<std::string> row = lineFrom(runner);
        ASSERT_TRUE(row) << "no answer to " << line;
        EXPECT_EQ(row->substr(0, row->find(',')), line.substr(0, line.find(',')));
        rows.push_back(*row);
    }
    EXPECT_TRUE(contains(rows[1], ",failed,fmi2ExitInitializationMode returned")) << rows[1];
    sendTo(runner, "fourth,fast\n");
    RunnerResult result = finishPipedRunner(scratch, runner);
    EXPECT_EQ(result.exitCode, code(ExitCode::inputNotNumeric)) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "kvfmu-run: error: standard input:5: column gain: \"fast\" is not a number"))
        << result.err;
    EXPECT_EQ(result.out, "");
    const std::vector<std::string> summary = lines(scratch.read("out/summary.csv"));
    ASSERT_EQ(summary.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(summary[i + 1], rows[i]);
    EXPECT_EQ(csvRows(scratch.read("out/third.csv")).back(), (std::vector<double>{1, 0.5, 2}));
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});

    // The end of the input ends the process with batch mode's exit code.
    runner = startPipedRunner(scratch, {fmu, "--runs", "-", "--output-dir", "out", "-q"});
    sendTo(runner, "run,gain\nonly,0\n");
    result = finishPipedRunner(scratch, runner);
    EXPECT_EQ(result.exitCode, code(ExitCode::batchRunsFailed)) << result.err;
    EXPECT_TRUE(contains(result.out, "\nonly,0,failed,")) << result.out;
}

TEST(RunnerCheck, RefusesWhatTheRunWouldWithoutRunningOrWriting) {
    Scratch scratch;
    scratch.write("in.csv", "time,u\n0,1\n1,2\n");
    scratch.write("cell.csv", "time,u\n0,1\n1,abc\n");
    scratch.write("column.csv", "time,K\n0,1\n");
    scratch.write("runs.csv", "run,gain\na,1\nb,2\n");
    scratch.write("both.csv", "\nrun,u\na,1\n");  // the header on line 2
    scratch.write("case.csv", "run,gain\nRun1,1\nrun1,2\n");
    const std::vector<std::tuple<std::vector<std::string>, ExitCode, std::string>> cases = {
        {{"--start", "2", "--stop", "1"}, ExitCode::badNumber, "the stop time 1 is before the start time 2"},
        {{"--step", "-1"}, ExitCode::badNumber, "the step size must be positive, not -1"},
        {{"-i", "cell.csv"}, ExitCode::inputNotNumeric, "cell.csv:3: column u: \"abc\" is not a number"},
        {{"-i", "column.csv"}, ExitCode::unknownVariable, "column.csv:1: column K is no input of the model"},
        {{"-i", "in.csv", "--runs", "both.csv"}, ExitCode::usage, "both.csv:2: column u: input u is also given"},
        {{"--runs", "case.csv"}, ExitCode::runsInvalid, "case.csv:3: run id \"run1\" repeats"},
        {{"--runs", "runs.csv", "-p", "K=1"}, ExitCode::unknownVariable, "--param K: the model has no parameter K"},
        // No Java VM is started: an option it would refuse passes.
        {{"-i", "in.csv", "--runs", "runs.csv", "--output-dir", "out", "--vm-option=-Xnonsense"},
         ExitCode::ok, "Integrator: 2 runs from t = 0 to 2 s in steps of 0.01 s can start"},
        {{"-p", "gain=3", "-o", "out.csv", "--plot", "out.svg"}, ExitCode::ok, "Integrator: the run from"},
    };
    const auto before = std::filesystem::directory_iterator(scratch.path());
    const size_t files = static_cast<size_t>(std::distance(before, {}));
    for (const auto& [extra, exitCode, message] : cases) {
        std::vector<std::string> arguments = {fmu, "--check"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        RunnerResult result = runRunner(scratch, arguments);
        EXPECT_EQ(result.exitCode, code(exitCode)) << message << "\n" << result.err;
        EXPECT_TRUE(contains(result.err, message)) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(contains(result.err, "runner facade")) << result.err;
        EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
    }
    // Nothing but the runner's own output files was added.
    const auto after = std::filesystem::directory_iterator(scratch.path());
    EXPECT_EQ(static_cast<size_t>(std::distance(after, {})), files + 2);
}

}  // namespace
