// kvfmu-run over the packed built-in models, against their analytic solutions.
#include "run_runner.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string fmuOf(const std::string& model) {
    return std::string(BUILTIN_FMU_DIR) + "/" + model + ".fmu";
}

// Runs the model to out.csv and answers its rows; the run must succeed and leave nothing.
std::vector<std::vector<double>> simulate(const Scratch& scratch, const std::string& model,
                                          std::vector<std::string> options,
                                          std::string* header = nullptr) {
    options.insert(options.begin(), fmuOf(model));
    options.insert(options.end(), {"-o", "out.csv", "--quiet"});
    RunnerResult result = runRunner(scratch, options);
    EXPECT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
    return csvRows(scratch.read("out.csv"), header);
}

TEST(BuiltinModels, FirstOrderLagStepResponse) {
    Scratch scratch;
    const double K = 3, T = 0.5, u = 2;
    std::string header;
    auto rows = simulate(
        scratch, "FirstOrderLag",
        {"--set", "u=2", "-p", "K=3", "-p", "T=0.5", "--stop", "3", "--step", "0.1"}, &header);
    EXPECT_EQ(header, "time,y");
    ASSERT_EQ(rows.size(), 31u);
    EXPECT_EQ(rows[0][1], 0.0);  // y0
    for (const auto& row : rows) {
        const double t = row[0];
        EXPECT_NEAR(row[1], K * u * (1 - std::exp(-t / T)), 1e-9) << "t=" << t;
    }
}

TEST(BuiltinModels, FirstOrderLagFromAnInitialValueWithAnInputRamp) {
    Scratch scratch;
    // u is held at 1 from t = 0, the lag starts at y0 = 4: y = 1 + 3 e^(-t/T) with T = 2.
    scratch.write("in.csv", "time,u\n0,1\n100,1\n");
    auto rows = simulate(scratch, "FirstOrderLag",
                         {"-i", "in.csv", "-p", "T=2", "-p", "y0=4", "--stop", "5"});
    ASSERT_EQ(rows.size(), 501u);  // default step 0.01
    for (const auto& row : rows)
        EXPECT_NEAR(row[1], 1 + 3 * std::exp(-row[0] / 2), 1e-9) << "t=" << row[0];
}

TEST(BuiltinModels, MassSpringDamperUnderConstantForce) {
    Scratch scratch;
    // m x'' + c x' + k x = F with m = 1, c = 0.4, k = 4, x(0) = 0.1, v(0) = 0, F = 2.
    const double m = 1, c = 0.4, k = 4, F = 2, x0 = 0.1;
    const double rest = F / k;
    const double omega = std::sqrt(k / m), zeta = c / (2 * std::sqrt(k * m));
    const double omegaD = omega * std::sqrt(1 - zeta * zeta), decay = zeta * omega;
    const double a = x0 - rest, b = decay * a / omegaD;
    std::string header;
    auto rows = simulate(scratch, "MassSpringDamper",
                         {"--set", "F=2", "--stop", "10", "--step", "0.05"}, &header);
    EXPECT_EQ(header, "time,x,v");
    ASSERT_EQ(rows.size(), 201u);
    for (const auto& row : rows) {
        const double t = row[0], e = std::exp(-decay * t);
        const double x = rest + e * (a * std::cos(omegaD * t) + b * std::sin(omegaD * t));
        const double v = e * ((b * omegaD - decay * a) * std::cos(omegaD * t) -
                              (a * omegaD + decay * b) * std::sin(omegaD * t));
        EXPECT_NEAR(row[1], x, 1e-8) << "t=" << t;
        EXPECT_NEAR(row[2], v, 1e-8) << "t=" << t;
    }
}

TEST(BuiltinModels, WaterTankSettlesWhereInflowMeetsOutflow) {
    Scratch scratch;
    // Inflow 0.02 m3/s, valve half open, Kv = 0.05: the level settles at (0.02 / 0.025)^2.
    const double settled = std::pow(0.02 / (0.05 * 0.5), 2);
    auto rows = simulate(scratch, "WaterTank", {"--stop", "3000", "--step", "10"});
    ASSERT_EQ(rows.size(), 301u);
    EXPECT_EQ(rows[0][1], 1.0);  // h0
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LE(rows[i][1], rows[i - 1][1]) << "the level falls towards " << settled;
        EXPECT_NEAR(rows[i][2], 0.05 * 0.5 * std::sqrt(rows[i][1]), 1e-12)
            << "outflow at the level";
    }
    EXPECT_NEAR(rows.back()[1], settled, 1e-6);

    rows = simulate(scratch, "WaterTank", {"-p", "h0=" + std::to_string(settled), "--stop", "100"});
    for (const auto& row : rows) EXPECT_NEAR(row[1], settled, 1e-12) << "t=" << row[0];
}

TEST(BuiltinModels, TheDemoRunsWithItsInputFile) {
    Scratch scratch;
    RunnerResult result = runRunner(scratch, {fmuOf("MassSpringDamper"), "-i", DEMO_INPUT, "-o",
                                              "demo.csv", "--plot", "demo.svg"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(csvRows(scratch.read("demo.csv")).size(), 1001u);
    EXPECT_NE(scratch.read("demo.svg").find("</svg>"), std::string::npos);
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

TEST(BuiltinModels, ABatchOfStepResponsesMatchesTheAnalyticSolution) {
    Scratch scratch;
    // y(t) = K u (1 - e^(-t/T)) from y0 = 0, for a few time constants and inputs.
    scratch.write("runs.csv", "run,T,u\nfast,0.2,1\nslow,2,1\nnegative,0.5,-3\n");
    RunnerResult result =
        runRunner(scratch, {fmuOf("FirstOrderLag"), "--runs", "runs.csv", "--output-dir", "out",
                            "-p", "K=2", "--stop", "1", "--step", "0.01", "-q"});
    ASSERT_EQ(result.exitCode, code(ExitCode::ok)) << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
    const std::vector<std::tuple<std::string, double, double>> runs = {
        {"fast", 0.2, 1}, {"slow", 2, 1}, {"negative", 0.5, -3}};
    for (const auto& [id, T, u] : runs) {
        const auto rows = csvRows(scratch.read("out/" + id + ".csv"));
        ASSERT_EQ(rows.size(), 101u) << id;
        for (const auto& row : rows)
            EXPECT_NEAR(row[1], 2 * u * (1 - std::exp(-row[0] / T)), 1e-9) << id << " t=" << row[0];
    }
    const auto summary = scratch.read("out/summary.csv");
    EXPECT_EQ(summary.substr(0, summary.find('\n')), "run,T,u,status,error,wall_seconds,y");
}

TEST(BuiltinModels, ModelParametersAreCheckedByName) {
    Scratch scratch;
    RunnerResult result = runRunner(scratch, {fmuOf("FirstOrderLag"), "-p", "tau=1"});
    EXPECT_EQ(result.exitCode, code(ExitCode::unknownVariable));
    EXPECT_NE(result.err.find("--param tau: the model has no parameter tau (parameters: K, T, y0"),
              std::string::npos)
        << result.err;
    result = runRunner(scratch, {fmuOf("FirstOrderLag"), "-p", "T=-1", "-o", "out.csv"});
    EXPECT_EQ(result.exitCode, code(ExitCode::fmuCallFailed));
    EXPECT_NE(result.err.find("fmi2ExitInitializationMode returned fmi2Error"), std::string::npos)
        << result.err;
    EXPECT_EQ(scratch.leftovers(), std::vector<std::string>{});
}

}  // namespace
