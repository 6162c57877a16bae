// kvfmu-run as a user runs it, over the test FMU (y1 = initial + integral of u dt,
// y2 = gain * u, parameters in resources/model.properties). Every run checks that the
// runner's temporary directory is empty afterwards.
#include "run_runner.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const std::string fmu = TEST_FMU;

// Runs the runner and checks that it left nothing in its temporary directory.
RunnerResult run(const Scratch& scratch, const std::vector<std::string>& arguments) {
    RunnerResult result = runRunner(scratch, arguments);
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{}) << "left behind";
    return result;
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string svgTexts(const std::string& svg);

TEST(RunnerRun, ConstantInputMatchesTheIntegral) {
    Scratch scratch;
    RunnerResult result =
        run(scratch, {fmu, "--set", "u=3", "--stop", "1", "--step", "0.1", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    std::string header;
    auto rows = csvRows(scratch.read("out.csv"), &header);
    EXPECT_EQ(header, "time,y1,y2");
    ASSERT_EQ(rows.size(), 11u);
    // Row 0 holds the outputs right after initialization.
    EXPECT_EQ(rows[0], (std::vector<double>{0, 0, 6}));
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_NEAR(rows[k][0], 0.1 * k, 1e-15);
        EXPECT_NEAR(rows[k][1], 3 * rows[k][0], 1e-12) << "row " << k;
        EXPECT_EQ(rows[k][2], 6);
    }
    EXPECT_EQ(rows.back()[0], 1.0);  // the last row is exactly at stop
    EXPECT_TRUE(result.out.empty());
    EXPECT_TRUE(contains(result.err,
                         "Integrator: simulated t = 0 to 1 s in 10 steps of 0.1 s\n  wall time "))
        << result.err;
    EXPECT_TRUE(contains(result.err, " \u00b5s per step\n")) << result.err;
    EXPECT_TRUE(contains(result.err, "  final outputs: y1 = 2.99999") ||
                contains(result.err, "  final outputs: y1 = 3"))
        << result.err;
    EXPECT_TRUE(contains(result.err, ", y2 = 6 m/s\n")) << result.err;
    EXPECT_TRUE(contains(result.err, "results: out.csv")) << result.err;
    EXPECT_FALSE(contains(result.err, "\r")) << "no progress bar when stderr is no terminal";
}

TEST(RunnerRun, DefaultsComeFromTheModelDescriptionAndCsvGoesToStandardOutput) {
    Scratch scratch;
    RunnerResult result = run(scratch, {fmu, "--quiet"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(result.err, "runner facade: instance Integrator created\n");  // Java's System.out
    std::string header;
    auto rows = csvRows(result.out, &header);
    EXPECT_EQ(header, "time,y1,y2");
    ASSERT_EQ(rows.size(), 201u);  // DefaultExperiment 0..2 s in steps of 0.01 s
    EXPECT_EQ(rows.back()[0], 2.0);
    EXPECT_NEAR(rows.back()[1], 1.0, 1e-12);  // u at its start value 0.5
    EXPECT_EQ(rows.back()[2], 1.0);
}

TEST(RunnerRun, InputFileIsInterpolatedAndHeld) {
    Scratch scratch;
    // Held at 1 before t=0.5, linear to 3 at t=1.5, held at 3 after.
    scratch.write("in.csv", "time,u\n0.5,1\n1.5,3\n");
    RunnerResult result =
        run(scratch, {fmu, "-i", "in.csv", "--stop", "2", "--step", "0.25", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    auto rows = csvRows(scratch.read("out.csv"));
    ASSERT_EQ(rows.size(), 9u);
    auto u = [](double t) { return t <= 0.5 ? 1.0 : t >= 1.5 ? 3.0 : 1.0 + 2.0 * (t - 0.5); };
    double integral = 0;
    EXPECT_EQ(rows[0][2], 2 * u(0));  // initial row: input at the start time
    for (size_t k = 1; k < rows.size(); ++k) {
        const double stepStart = 0.25 * (k - 1);
        integral += u(stepStart) * 0.25;  // each step holds the input of its start
        EXPECT_NEAR(rows[k][1], integral, 1e-12) << "row " << k;
        EXPECT_NEAR(rows[k][2], 2 * u(stepStart), 1e-12) << "row " << k;
    }
}

TEST(RunnerRun, InputJumpsLandOnTheirGridPoint) {
    // The jump happens at a grid point: the step from there integrates the new value.
    const std::vector<std::tuple<std::string, std::string, std::string, int>> grids = {
        {"0.3", "0.9", "3", 3}, {"0.03", "0.09", "0.3", 3}, {"0.03", "0.57", "3", 19}};
    for (const auto& [step, jump, stop, jumpIndex] : grids) {
        Scratch scratch;
        scratch.write("in.csv", "time,u\n0,0\n" + jump + ",0\n" + jump + ",1\n");
        RunnerResult result =
            run(scratch, {fmu, "-i", "in.csv", "--step", step, "--stop", stop, "-o", "out.csv"});
        ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
        const std::string csv = scratch.read("out.csv");
        auto rows = csvRows(csv);
        const auto jumpRow = static_cast<size_t>(jumpIndex);
        ASSERT_GT(rows.size(), jumpRow + 1);
        // y2 = gain * u of the step that ended at the row: 0 up to the jump, 2 right after.
        EXPECT_EQ(rows[jumpRow][2], 0) << "step " << step;
        EXPECT_EQ(rows[jumpRow + 1][2], 2) << "step " << step;
        EXPECT_EQ(rows[jumpRow + 1][1], std::stod(step)) << "one step of u = 1, step " << step;
        EXPECT_TRUE(contains(csv, "\n" + jump + ",0,0\n")) << csv;  // the intended grid time
    }
}

TEST(RunnerRun, ParametersAreOverriddenForTheRun) {
    Scratch scratch;
    RunnerResult result =
        run(scratch, {fmu, "--set", "u=1", "--param", "gain=5", "-p", "initial=10", "--stop", "1",
                      "--step", "0.5", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    auto rows = csvRows(scratch.read("out.csv"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], (std::vector<double>{0, 10, 5}));
    EXPECT_EQ(rows[2], (std::vector<double>{1, 11, 5}));
}

TEST(RunnerRun, FailingStepShowsTheFmuMessageAndKeepsTheRowsBeforeIt) {
    Scratch scratch;
    RunnerResult result =
        run(scratch, {fmu, "--param", "fail_at=0.5", "--step", "0.1", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuCallFailed));
    EXPECT_TRUE(
        contains(result.err, "[Error][logError] Integrator: Error: integrator stopped at t=0.5"))
        << result.err;
    EXPECT_TRUE(contains(result.err,
                         "kvfmu-run: error: fmi2DoStep from t=0.5 over 0.1 s returned "
                         "fmi2Error: Error: integrator stopped at t=0.5"))
        << result.err;
    const std::string csv = scratch.read("out.csv");
    auto rows = csvRows(csv);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows.back()[0], 0.5);
    EXPECT_TRUE(contains(csv, "\n# the run stopped after t = 0.5: fmi2DoStep from t=0.5 over 0.1 s "
                              "returned fmi2Error: Error: integrator stopped at t=0.5"))
        << csv;
}

TEST(RunnerRun, FailingInitializationShowsTheFmuMessageAndWritesNoRow) {
    Scratch scratch;
    RunnerResult result = run(scratch, {fmu, "--param", "gain=0", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuCallFailed));
    EXPECT_TRUE(contains(result.err,
                         "kvfmu-run: error: fmi2ExitInitializationMode returned fmi2Error: "
                         "fmi2ExitInitializationMode: gain must not be 0"))
        << result.err;
    EXPECT_EQ(scratch.read("out.csv"),
              "time,y1,y2\n# the run stopped before its first row: fmi2ExitInitializationMode "
              "returned fmi2Error: fmi2ExitInitializationMode: gain must not be 0\n");
}

TEST(RunnerRun, FmiCallsAreLoggedOnRequest) {
    Scratch scratch;
    RunnerResult result = run(
        scratch, {fmu, "--log-fmi-calls", "--stop", "0.02", "-p", "gain=3", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_TRUE(contains(result.err, "[OK][logFmiCall] Integrator: fmi2DoStep")) << result.err;
    // The FMU's variable references are shown as the variables' names.
    EXPECT_TRUE(contains(result.err, "Integrator: fmi2SetReal: gain = 3\n")) << result.err;
    EXPECT_TRUE(contains(result.err, "Integrator: fmi2SetReal: u = 0.5\n")) << result.err;
    EXPECT_TRUE(contains(result.err, "Integrator: fmi2GetReal: y2 = 1.5\n")) << result.err;

    result = run(scratch, {fmu, "--log-fmi-calls", "--log-level", "warning", "--stop", "0.02", "-o",
                           "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_FALSE(contains(result.err, "[OK]")) << result.err;
}

TEST(RunnerRun, AnInputIsSetOnlyWhenItsValueChanges) {
    Scratch scratch;
    scratch.write("steps.csv", "time,u\n0,1\n0.5,1\n0.5,3\n1,3\n");
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{}, {"0.5"}},
        {{"--set", "u=2"}, {"2"}},
        {{"-i", "steps.csv"}, {"1", "3"}},
    };
    for (const auto& [extra, expected] : cases) {
        std::vector<std::string> arguments = {fmu,    "--log-fmi-calls", "--stop", "1",
                                              "--step", "0.25",          "-o",     "out.csv"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        RunnerResult result = run(scratch, arguments);
        ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
        std::vector<std::string> sets;
        std::istringstream lines(result.err);
        const std::string call = "Integrator: fmi2SetReal: u = ";
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find(call);
            if (at != std::string::npos) sets.push_back(line.substr(at + call.size()));
        }
        EXPECT_EQ(sets, expected) << result.err;
    }
}

TEST(RunnerRun, InfoDescribesTheFmuAndRunsNothing) {
    Scratch scratch;
    RunnerResult result = run(scratch, {"--info", fmu});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(result.err, "") << "no Java VM, no instance";
    for (const char* line :
         {"Model:       Integrator\n",
          "Description: Test model: y1 = initial + integral of u, y2 = gain * u\n",
          "GUID:        {BA0A9140-44D0-41C3-AAA7-C152C647039F}\n",
          "Experiment:  start 0 s, stop 2 s, step 0.01 s\n", "Variables (10):\n",
          "  name     causality  variability  type  unit  start   description\n",
          "  y1       output     continuous   Real  m     -       integral of u\n",
          "  u        input      continuous   Real  m/s   0.5     rate\n",
          "  gain     parameter  tunable      Real  s-1   2       factor from u to y2\n",
          "  fail_at  parameter  fixed        Real  s     1e+300  a step that would pass this time "
          "fails\n"}) {
        EXPECT_TRUE(contains(result.out, line)) << line << " not in\n" << result.out;
    }
    result = run(scratch, {"--info", "missing.fmu"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuMissing));
    EXPECT_TRUE(contains(result.err, "kvfmu-run: error: missing.fmu: no such file")) << result.err;
}

TEST(RunnerRun, ProgressBarOnATerminalOnly) {
    if (!std::filesystem::exists("/usr/bin/script")) GTEST_SKIP() << "no script(1) for a terminal";
    Scratch scratch;
    RunnerResult result = runRunner(scratch, {fmu, "--stop", "1", "-o", "out.csv"}, true);
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.out;
    EXPECT_TRUE(contains(result.out, "\r[")) << result.out;  // script(1) puts stderr on stdout
    EXPECT_TRUE(contains(result.out, "%  t = ")) << result.out;
    EXPECT_TRUE(contains(result.out, "Integrator: simulated t = 0 to 1 s in 100 steps"))
        << result.out;

    result = runRunner(scratch, {fmu, "--stop", "1", "-o", "out.csv", "--quiet"}, true);
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.out;
    EXPECT_FALSE(contains(result.out, "\r[")) << result.out;  // the terminal ends lines with \r\n
    EXPECT_FALSE(contains(result.out, "simulated")) << result.out;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

// The texts of an SVG file, as PLplot writes them.
std::string svgTexts(const std::string& svg) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(svg.c_str())) << "the plot is no well-formed XML";
    EXPECT_STREQ(document.document_element().name(), "svg");
    std::string texts;
    for (pugi::xpath_node text : document.select_nodes("//*[local-name()='text']")) {
        texts += text.node().child_value();
        for (pugi::xml_node part : text.node().children()) texts += part.child_value();
        texts += "|";
    }
    return texts;
}

// The panels of an SVG plot, top to bottom: the y-axis label of each (PLplot draws one
// rotated text per label), and how often "time [s]" appears.
struct PlotLayout {
    std::vector<std::string> panels;
    int timeLabels = 0;
    std::string texts;
};

PlotLayout plotLayout(const std::string& svg) {
    PlotLayout layout;
    layout.texts = svgTexts(svg);
    std::istringstream texts(layout.texts);
    for (std::string text; std::getline(texts, text, '|');) {
        if (text == "time [s]") ++layout.timeLabels;
        for (const char* label : {"y1 [m]", "y2 [m/s]", "u [m/s]"}) {
            if (text == label) layout.panels.push_back(text);
        }
    }
    return layout;
}

TEST(RunnerRun, PlotHasAPanelPerOutputAndInputOverASharedTimeAxis) {
    Scratch scratch;
    RunnerResult result = run(scratch, {fmu, "--set", "u=1", "--plot", "out.svg", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_TRUE(contains(result.err, "plot: out.svg")) << result.err;
    PlotLayout layout = plotLayout(scratch.read("out.svg"));
    EXPECT_EQ(layout.panels, (std::vector<std::string>{"y1 [m]", "y2 [m/s]", "u [m/s]"}))
        << layout.texts;
    EXPECT_EQ(layout.timeLabels, 1) << layout.texts;
    EXPECT_TRUE(contains(layout.texts, "Integrator|")) << layout.texts;

    // --plot-variables chooses the panels and their order.
    result = run(scratch, {fmu, "--plot", "out.svg", "--plot-variables", "u,y2", "-o", "out.csv"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    layout = plotLayout(scratch.read("out.svg"));
    EXPECT_EQ(layout.panels, (std::vector<std::string>{"u [m/s]", "y2 [m/s]"})) << layout.texts;
    EXPECT_EQ(layout.timeLabels, 1) << layout.texts;
}

TEST(RunnerRun, PngPlotOrClearRefusal) {
    Scratch scratch;
    RunnerResult result = run(scratch, {fmu, "--plot", "out.png", "-o", "out.csv"});
    if (result.exitCode == code(ExitCode::ok)) {
        EXPECT_EQ(scratch.read("out.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
    } else {
        EXPECT_EQ(result.exitCode, code(ExitCode::plotFormatUnsupported));
        EXPECT_TRUE(contains(result.err, "has no PNG device")) << result.err;
        EXPECT_FALSE(std::filesystem::exists(scratch.file("out.csv"))) << "refused before the run";
    }
}

// Waits until the runner has handed `rows` rows to its partial output file.
void waitForRows(const Scratch& scratch, size_t rows) {
    for (int i = 0; i < 300 && csvRows(partialText(scratch, "out.csv")).size() < rows; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

TEST(RunnerRun, InterruptStopsTheRunAndCleansUp) {
    Scratch scratch;
    pid_t child = startRunner(scratch, {fmu, "--stop", "1e6", "--step", "1e-3", "-o", "out.csv"});
    waitForRows(scratch, 2);  // the loop runs
    kill(child, SIGINT);
    RunnerResult result = waitForRunner(scratch, child);
    EXPECT_EQ(result.exitCode, code(ExitCode::interrupted)) << result.err;
    EXPECT_TRUE(contains(result.err, "interrupted at t=")) << result.err;
    EXPECT_TRUE(contains(result.err,
                         "kvfmu-run: interrupted: the run stops at the next communication point "
                         "(a second Ctrl-C abandons the step in progress)"))
        << result.err;
    EXPECT_GE(csvRows(scratch.read("out.csv")).size(), 2u);
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

TEST(RunnerRun, JavaCodeEndingTheProcessIsAFailedCallAndCleansUp) {
    Scratch scratch;
    RunnerResult result = run(scratch, {fmu, "-p", "exit_at=0.5", "--step", "0.1", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuCallFailed));
    EXPECT_TRUE(contains(result.err, "kvfmu-run: error: the Java VM ended the process with status 3"))
        << result.err;
    const std::string csv = scratch.read("out.csv");
    EXPECT_EQ(csvRows(csv).size(), 6u) << "the rows before it are kept";
    EXPECT_TRUE(contains(csv, "\n# the run stopped after t = 0.5: the process was ended")) << csv;
}

TEST(RunnerRun, SecondInterruptEndsAStepThatHangsAndKeepsTheRows) {
    Scratch scratch;
    pid_t child = startRunner(scratch, {fmu, "-p", "hang_at=0.5", "--step", "0.1", "-o",
                                        "out.csv", "--plot", "out.svg"});
    // The rows before the step that hangs reach the file within a second or so.
    waitForRows(scratch, 6);
    ASSERT_EQ(csvRows(partialText(scratch, "out.csv")).size(), 6u);
    kill(child, SIGINT);
    // The first interrupt says at once what happens and what a second one does.
    for (int i = 0; i < 100 && !contains(scratch.read("runner.err"), "a second Ctrl-C"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(contains(scratch.read("runner.err"),
                         "kvfmu-run: interrupted: the run stops at the next communication point "
                         "(a second Ctrl-C abandons the step in progress)"));
    kill(child, SIGINT);
    RunnerResult result = waitForRunner(scratch, child);
    EXPECT_EQ(result.exitCode, code(ExitCode::interrupted)) << result.err;
    EXPECT_TRUE(contains(result.err, "kvfmu-run: error: interrupted twice: ending now")) << result.err;
    const std::string csv = scratch.read("out.csv");
    EXPECT_EQ(csvRows(csv).size(), 6u) << csv;
    EXPECT_TRUE(contains(csv, "\n# the run stopped after t = 0.5: interrupted twice")) << csv;
    EXPECT_TRUE(contains(svgTexts(scratch.read("out.svg")), "stopped after t = 0.5"));
    EXPECT_EQ(partialText(scratch, "out.csv"), "");
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

// After each way a run can fail, an output file that existed is replaced by a valid partial
// result or left as it was: never emptied.
TEST(RunnerRun, FailedRunsReplaceEarlierResultsWithTheirPartialResults) {
    const std::string oldCsv = "time,y1,y2\n0,1,2\n";
    const std::string oldPlot = "<svg xmlns=\"http://www.w3.org/2000/svg\"><text>old</text></svg>";
    struct Case {
        std::vector<std::string> arguments;
        ExitCode exitCode;
        size_t rows;
        std::string stopped;
    };
    const std::vector<Case> cases = {
        {{"-p", "gain=0"}, ExitCode::fmuCallFailed, 0, "stopped before its first row"},
        {{"-p", "fail_at=0.5"}, ExitCode::fmuCallFailed, 6, "stopped after t = 0.5"},
        {{"-p", "exit_at=0.3"}, ExitCode::fmuCallFailed, 4, "stopped after t = 0.3"},
        {{"--stop", "-1"}, ExitCode::badNumber, 0, ""},  // refused before the run: the files stay
    };
    for (const Case& failure : cases) {
        Scratch scratch;
        scratch.write("keep.csv", oldCsv);
        scratch.write("keep.svg", oldPlot);
        std::vector<std::string> arguments = {fmu, "--step", "0.1", "-o", "keep.csv", "--plot",
                                              "keep.svg"};
        arguments.insert(arguments.end(), failure.arguments.begin(), failure.arguments.end());
        RunnerResult result = run(scratch, arguments);
        EXPECT_EQ(result.exitCode, code(failure.exitCode)) << result.err;
        const std::string csv = scratch.read("keep.csv");
        const std::string plot = scratch.read("keep.svg");
        if (failure.stopped.empty()) {
            EXPECT_EQ(csv, oldCsv);
            EXPECT_EQ(plot, oldPlot);
            continue;
        }
        std::string header;
        EXPECT_EQ(csvRows(csv, &header).size(), failure.rows) << csv;
        EXPECT_EQ(header, "time,y1,y2");
        EXPECT_TRUE(contains(csv, "\n# the run " + failure.stopped + ": ")) << csv;
        EXPECT_TRUE(contains(svgTexts(plot), "Integrator (" + failure.stopped + ")")) << plot;
        EXPECT_EQ(partialText(scratch, "keep.csv"), "");
        EXPECT_EQ(partialText(scratch, "keep.svg"), "");
    }
}

// Each bad input: its exit code and a message naming the problem.
struct BadRun {
    int exitCode;
    std::string message;
};

BadRun badRun(const Scratch& scratch, const std::vector<std::string>& arguments) {
    RunnerResult result = run(scratch, arguments);
    EXPECT_TRUE(contains(result.err, "kvfmu-run: error: ")) << result.err;
    return {result.exitCode, result.err};
}

// Expects the run to fail with the exit code and a message that contains the text.
void expectRefused(const Scratch& scratch, const std::vector<std::string>& arguments,
                   ExitCode exitCode, const std::string& message) {
    BadRun bad = badRun(scratch, arguments);
    EXPECT_EQ(bad.exitCode, code(exitCode)) << message;
    EXPECT_TRUE(contains(bad.message, message)) << bad.message;
}

TEST(RunnerBadInput, FmuFileProblems) {
    Scratch scratch;
    expectRefused(scratch, {"missing.fmu"}, ExitCode::fmuMissing, "missing.fmu: no such file");

    scratch.write("text.fmu", "this is no zip archive\n");
    expectRefused(scratch, {"text.fmu"}, ExitCode::notZip, "text.fmu: not a zip archive");

    std::ifstream in(fmu, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    scratch.write("cut.fmu", bytes.substr(0, bytes.size() / 2));
    expectRefused(scratch, {"cut.fmu"}, ExitCode::corruptArchive, "damaged zip archive");
}

TEST(RunnerBadInput, ModelDescriptionProblems) {
    Scratch scratch;
    const std::string description = readEntry(fmu, "modelDescription.xml");
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = description;
        text.replace(text.find(from), from.size(), to);
        return text;
    };

    makeVariant(fmu, scratch.file("none.fmu"), {{"modelDescription.xml", std::nullopt}});
    expectRefused(scratch, {"none.fmu"}, ExitCode::noModelDescription, "no modelDescription.xml");

    makeVariant(fmu, scratch.file("broken.fmu"),
                {{"modelDescription.xml", description.substr(0, 400)}});
    expectRefused(scratch, {"broken.fmu"}, ExitCode::invalidModelDescription, "modelDescription.xml: not well-formed XML");

    makeVariant(fmu, scratch.file("fmi1.fmu"),
                {{"modelDescription.xml", replaced("fmiVersion=\"2.0\"", "fmiVersion=\"1.0\"")}});
    expectRefused(scratch, {"fmi1.fmu"}, ExitCode::notFmi2CoSimulation, "FMI 2.0 is needed");

    makeVariant(fmu, scratch.file("me.fmu"),
                {{"modelDescription.xml", replaced("<CoSimulation", "<ModelExchange")}});
    expectRefused(scratch, {"me.fmu"}, ExitCode::notFmi2CoSimulation, "not a co-simulation FMU");
}

TEST(RunnerBadInput, ArchiveContentProblems) {
    Scratch scratch;
    makeVariant(fmu, scratch.file("windows.fmu"),
                {{"binaries/linux64/libkvfmu.so", std::nullopt},
                 {"binaries/linux64/", std::nullopt},
                 {"binaries/win64/libkvfmu.dll", "MZ"}});
    expectRefused(scratch, {"windows.fmu"}, ExitCode::noBinary,
                  "no binary for this platform: binaries/linux64/libkvfmu.so is missing "
                  "(platforms in the FMU: win64)");

    makeVariant(fmu, scratch.file("escape.fmu"), {{"../escaped.txt", "x"}});
    expectRefused(scratch, {"escape.fmu"}, ExitCode::corruptArchive,
                  "entry name leads outside the archive: ../escaped.txt");
    EXPECT_FALSE(std::filesystem::exists(scratch.temporary().parent_path() / "escaped.txt"));

    makeVariant(fmu, scratch.file("bad_binary.fmu"), {{"binaries/linux64/libkvfmu.so", "not ELF"}});
    expectRefused(scratch, {"bad_binary.fmu"}, ExitCode::binaryNotLoadable, "cannot load the FMU's binary");

    makeVariant(fmu, scratch.file("no_facade.fmu"), {{"resources/kvbridge.jar", std::nullopt}});
    expectRefused(scratch, {"no_facade.fmu"}, ExitCode::fmuCallFailed,
                  "kvfmu-run: error: fmi2Instantiate failed: fmi2Instantiate: Process error; "
                  "Cannot find Java classes");
}

// The test FMU's entries, for archives written by hand.
std::vector<ZipEntry> testFmuEntries() {
    std::vector<ZipEntry> entries;
    for (const char* name : {"modelDescription.xml", "binaries/linux64/libkvfmu.so",
                             "resources/kvbridge.jar", "resources/model.properties"}) {
        entries.push_back({name, readEntry(fmu, name)});
    }
    return entries;
}

TEST(RunnerBadInput, ArchivesThatCannotBeUnpackedFaithfully) {
    Scratch scratch;
    const std::vector<std::tuple<std::string, std::vector<ZipEntry>, std::string>> cases = {
        {"clash.fmu", {{"resources/model.properties/x", "y"}},
         "entries resources/model.properties and resources/model.properties/x: "
         "resources/model.properties is a file and a folder"},
        {"clash2.fmu", {{"binaries", "a file named like the folder"}},
         "entries binaries and binaries/linux64/libkvfmu.so: binaries is a file and a folder"},
        {"twice.fmu", {{"resources/model.properties", "parameter.gain=5\n"}},
         "entry resources/model.properties appears twice"},
        {"twice2.fmu", {{"./resources//model.properties", "parameter.gain=5\n"}},
         "entry ./resources//model.properties appears twice"},
        {"huge.fmu",
         {{"resources/a.bin", "x", 0x60000000u},
          {"resources/b.bin", "x", 0x60000000u}},
         "unpacks to more than 2 GiB"},
    };
    for (const auto& [name, extra, message] : cases) {
        std::vector<ZipEntry> entries = testFmuEntries();
        entries.insert(entries.end(), extra.begin(), extra.end());
        writeZip(scratch.file(name), entries);
        expectRefused(scratch, {name, "-o", "out.csv"}, ExitCode::corruptArchive, message);
        EXPECT_FALSE(std::filesystem::exists(scratch.file("out.csv"))) << name;
    }
    writeZip(scratch.file("plain.fmu"), testFmuEntries());  // the writer itself is sound
    RunnerResult result = run(scratch, {"plain.fmu", "-q", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
}

TEST(RunnerBadInput, UnknownNames) {
    Scratch scratch;
    expectRefused(scratch, {fmu, "--set", "y1=1"}, ExitCode::unknownVariable,
                  "--set y1 is an output, not an input (inputs: u)");
    expectRefused(scratch, {fmu, "--set", "gain=1"}, ExitCode::unknownVariable,
                  "--set gain is a parameter, not an input (inputs: u)");
    expectRefused(scratch, {fmu, "--set", "K=1"}, ExitCode::unknownVariable, "--set K: the model has no input K (inputs: u)");
    expectRefused(scratch, {fmu, "--param", "u=1"}, ExitCode::unknownVariable,
                  "--param u: the model has no parameter u (parameters: gain, initial, fail_at, "
                  "hang_at, exit_at)");

    scratch.write("in.csv", "time,u,w\n0,1,2\n");
    expectRefused(scratch, {fmu, "-i", "in.csv"}, ExitCode::unknownVariable,
                  "in.csv:1: column w is no input of the model (inputs: u)");

    expectRefused(scratch, {fmu, "--param", "K=1"}, ExitCode::unknownVariable,
                  "--param K: the model has no parameter K (parameters: gain, initial, fail_at, hang_at, exit_at)");
}

TEST(RunnerBadInput, ParametersOfAnFmuPackedBeforeTheyWereVariables) {
    Scratch scratch;
    std::string description = readEntry(fmu, "modelDescription.xml");
    const size_t first = description.find("    <!-- 6 -->");
    const size_t last = description.find("  </ModelVariables>");
    description.erase(first, last - first);
    makeVariant(fmu, scratch.file("old.fmu"),
                {{"modelDescription.xml", description},
                 {"resources/model.properties", "parameter.gain=2\nparameter.initial=0\n"}});
    const std::string request =
        "the FMU declares no parameters in its model description: it was packed by an earlier "
        "kvfmu-pack; pack it again to set its parameters";
    expectRefused(scratch, {"old.fmu", "-p", "gain=3"}, ExitCode::unknownVariable, "--param gain: " + request);
    scratch.write("runs.csv", "run,gain\na,3\n");
    expectRefused(scratch, {"old.fmu", "--runs", "runs.csv", "--output-dir", "out"}, ExitCode::unknownVariable,
                  "runs.csv:1: column gain: " + request);
    RunnerResult result = run(scratch, {"old.fmu", "-q", "--stop", "1", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::ok)) << "it still runs with its packed values: " << result.err;
}

TEST(RunnerBadInput, MalformedInputFiles) {
    Scratch scratch;
    const std::vector<std::tuple<std::string, ExitCode, std::string>> cases = {
        {"t,u\n0,1\n", ExitCode::inputNoTimeColumn, "in.csv:1: no time column"},
        {"time,u\n0,1\n2,1\n1,1\n", ExitCode::inputTimeNotMonotonic, "in.csv:4: time 1 is before the previous row's time 2"},
        {"time,u\n0,1\n1,one\n", ExitCode::inputNotNumeric, "in.csv:3: column u: \"one\" is not a number"},
        {"time,u\n0,1\n1\n", ExitCode::inputMalformed, "in.csv:3: 1 cells, but the header has 2"},
        {"", ExitCode::inputUnreadable, "in.csv: empty file"},
    };
    for (const auto& [text, exitCode, message] : cases) {
        scratch.write("in.csv", text);
        expectRefused(scratch, {fmu, "-i", "in.csv"}, exitCode, message);
    }
    expectRefused(scratch, {fmu, "-i", "absent.csv"}, ExitCode::inputUnreadable, "absent.csv: cannot open the input file");
}

TEST(RunnerBadInput, BadNumbersAndUsage) {
    Scratch scratch;
    const std::vector<std::tuple<std::vector<std::string>, ExitCode, std::string>> cases = {
        {{fmu, "--stop", "ten"}, ExitCode::badNumber, "--stop: \"ten\" is not a finite number"},
        {{fmu, "--step", "1e999"}, ExitCode::badNumber, "--step: \"1e999\" is not a finite number"},
        {{fmu, "--set", "u=fast"}, ExitCode::badNumber, "--set u: \"fast\" is not a finite number"},
        {{fmu, "--param", "gain=nan"}, ExitCode::badNumber, "--param gain: \"nan\" is not a finite number"},
        {{fmu, "--start", "5", "--stop", "1"}, ExitCode::badNumber, "the stop time 1 is before the start time 5"},
        {{fmu, "--start", "1", "--stop", "1"}, ExitCode::badNumber, "the stop time 1 must be after the start time 1"},
        {{fmu, "--start", "5"},
         ExitCode::badNumber,
         "the stop time 2 (the FMU's DefaultExperiment; give --stop) is before"},
        {{fmu, "--step", "0"}, ExitCode::badNumber, "the step size must be positive, not 0"},
        {{fmu, "--set", "u"}, ExitCode::usage, "--set u: name=value expected"},
        {{fmu, "--no-such-option"}, ExitCode::usage, "--no-such-option"},
        {{fmu, "--log-level", "loud"}, ExitCode::usage, "loud"},
        {{}, ExitCode::usage, "fmu is required"},
    };
    for (const auto& [arguments, exitCode, message] : cases)
        expectRefused(scratch, arguments, exitCode, message);
}

TEST(RunnerBadInput, JavaVmThatCannotStart) {
    Scratch scratch;
    expectRefused(scratch, {fmu, "--vm-option=-Xnonsense", "-o", "out.csv"}, ExitCode::javaVmFailed,
                  "the Java VM cannot start");
    // This one makes the VM end the process during its start, past the runner's clean-up.
    expectRefused(scratch, {fmu, "--vm-option=-Xmx1k", "-o", "out.csv"}, ExitCode::javaVmFailed,
                  "Too small maximum heap");
    expectRefused(scratch, {fmu, "--vm-option=-Xmx1k", "-o", "out.csv"}, ExitCode::javaVmFailed,
                  "kvfmu-run: error: the Java VM cannot start");
}

TEST(RunnerRun, MissingFoldersOfTheOutputsAreCreated) {
    Scratch scratch;
    RunnerResult result =
        run(scratch, {fmu, "-q", "-o", "new/dir/out.csv", "--plot", "other/dir/out.svg"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(csvRows(scratch.read("new/dir/out.csv")).size(), 201u);
    EXPECT_TRUE(contains(scratch.read("other/dir/out.svg"), "<svg"));
}

TEST(RunnerBadInput, UnwritableOutputs) {
    Scratch scratch;
    scratch.write("file", "a file, not a folder");
    expectRefused(scratch, {fmu, "-o", "file/out.csv"}, ExitCode::outputNotWritable,
                  "file/out.csv: cannot write the output file: cannot create the folder file");
    expectRefused(scratch, {fmu, "-o", "out.csv", "--plot", "file/out.svg"}, ExitCode::outputNotWritable,
                  "file/out.svg: cannot write the plot file");
    expectRefused(scratch, {fmu, "-o", "out.csv", "--plot", "out.gif"}, ExitCode::plotFormatUnsupported,
                  "unknown plot format \".gif\"");
    expectRefused(scratch, {fmu, "-o", "out.csv", "--plot", "out.svg", "--plot-variables", "y1,K"},
                  ExitCode::unknownVariable, "--plot-variables K: the model has no output or input K (outputs: y1, y2; "
                      "inputs: u)");
    expectRefused(scratch, {fmu, "-o", "out.csv", "--plot-variables", "y1"}, ExitCode::usage,
                  "--plot-variables goes with --plot");
    EXPECT_FALSE(std::filesystem::exists(scratch.file("out.svg")));
}

}  // namespace
