// kvfmu-run's simulation loop against a bare host loop of the same FMI calls, on the
// built-in FirstOrderLag (no input file: its input keeps its start value). Each pair of
// runs from instantiation to fmi2FreeInstance is measured in alternating order in one
// process with one Java VM, and the medians per step are compared:
//   bare     fmi2DoStep + fmi2GetReal per step;
//   set_all  the same with fmi2SetReal of the input before every step;
//   runner   kvfmu-run's run (settings, log, watch, inputs, the result CSV written to a file).
#include "fmu_session.h"
#include "input_plan.h"
#include "run_preparation.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double stepSize = 1e-4;
constexpr int pairs = 7;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

FmuSession& session() {
    static FmuSession* opened = [] {
        setenv("JAVA_HOME", KVFMU_BENCH_JDK, 0);
        auto* lag = new FmuSession(KVFMU_BENCH_FMU);
        lag->load({});
        return lag;
    }();
    return *opened;
}

void ok(fmi2Status status) {
    if (status != fmi2OK) {
        std::fprintf(stderr, "an FMI call failed\n");
        std::exit(1);
    }
}

void logNothing(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}

// Seconds for a run of `steps` steps made by hand, as a minimal host makes it.
double bareRun(long long steps, bool setInputEveryStep) {
    const FmuSession& lag = session();
    const FmuFunctions& fmu = lag.functions();
    const ModelDescription& model = lag.model();
    const fmi2ValueReference y = model.withCausality(Causality::output).front()->valueReference;
    const fmi2ValueReference u = model.withCausality(Causality::input).front()->valueReference;
    fmi2CallbackFunctions callbacks{logNothing, std::calloc, std::free, nullptr, nullptr};
    const Clock::time_point began = Clock::now();
    fmi2Component c =
        fmu.fmi2Instantiate(model.modelName.c_str(), fmi2CoSimulation, model.guid.c_str(),
                            lag.resourceUri().c_str(), &callbacks, fmi2False, fmi2False);
    if (!c) ok(fmi2Error);
    const double input = 0;
    double output = 0;
    ok(fmu.fmi2SetupExperiment(c, fmi2False, 0, 0, fmi2True, steps * stepSize));
    ok(fmu.fmi2EnterInitializationMode(c));
    ok(fmu.fmi2SetReal(c, &u, 1, &input));
    ok(fmu.fmi2ExitInitializationMode(c));
    ok(fmu.fmi2GetReal(c, &y, 1, &output));
    for (long long k = 0; k < steps; ++k) {
        if (setInputEveryStep) ok(fmu.fmi2SetReal(c, &u, 1, &input));
        ok(fmu.fmi2DoStep(c, k * stepSize, stepSize, fmi2True));
        ok(fmu.fmi2GetReal(c, &y, 1, &output));
    }
    benchmark::DoNotOptimize(output);
    ok(fmu.fmi2Terminate(c));
    fmu.fmi2FreeInstance(c);
    return std::chrono::duration<double>(Clock::now() - began).count();
}

// Seconds for the same run made by kvfmu-run.
double runnerRun(long long steps) {
    const FmuSession& lag = session();
    RunOptions options;
    options.fmu = KVFMU_BENCH_FMU;
    options.logLevel = LogLevel::warning;
    const Experiment experiment{0, steps * stepSize, stepSize};
    const InputPlan inputs = makeInputPlan(lag.model(), {}, {});
    const std::filesystem::path csv = std::filesystem::temp_directory_path() / "run_loop_bench.csv";
    const Clock::time_point began = Clock::now();
    RunRecord record(csv, outputNames(lag.model()), std::nullopt, nullptr);
    const SimulationResult result =
        performRun(lag, options, experiment, inputs, {}, record, RunHooks{});
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    std::filesystem::remove(csv);
    if (result.steps != steps) ok(fmi2Error);
    return seconds;
}

void runnerAgainstBareLoop(benchmark::State& state) {
    const long long steps = state.range(0);
    for (auto _ : state) {
        std::vector<double> bare, setAll, runner;
        bareRun(steps / 10, false);  // warm-up
        runnerRun(steps / 10);
        for (int i = 0; i < pairs; ++i) {
            // Alternating order, so that neither side always runs on a warmer machine.
            if (i % 2 == 0) runner.push_back(runnerRun(steps));
            bare.push_back(bareRun(steps, false));
            setAll.push_back(bareRun(steps, true));
            if (i % 2 == 1) runner.push_back(runnerRun(steps));
        }
        const double perStep = 1e6 / static_cast<double>(steps);
        state.counters["bare_us"] = perStep * median(bare);
        state.counters["set_all_us"] = perStep * median(setAll);
        state.counters["runner_us"] = perStep * median(runner);
        state.counters["ratio"] = median(runner) / median(bare);
    }
}
// 100,000 steps of 1e-4 s; the short one keeps the benchmark working under CTest.
BENCHMARK(runnerAgainstBareLoop)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(runnerAgainstBareLoop)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
