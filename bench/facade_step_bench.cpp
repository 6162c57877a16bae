// Cost of the host's step cycle through the library (set four inputs, step, read two
// outputs and their copies) against a facade given at build time: the real facade of
// kvbridge.jar with a model that computes nothing, or a facade that does nothing. The
// difference is what the facade and the embedded server add per cycle.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"
#include "kvfmu_guid.h"

#include <benchmark/benchmark.h>

namespace {

const fmi2CallbackFunctions callbacks = hostCallbacks();

fmi2Component readyInstance(const char* name) {
    fmi2Component c =
        fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid, KVFMU_BENCH_RESOURCES, &callbacks, 0, 0);
    if (!c) return nullptr;
    fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0);
    fmi2EnterInitializationMode(c);
    fmi2ExitInitializationMode(c);
    return c;
}

void stepCycle(benchmark::State& state) {
    fmi2Component c = readyInstance("bench");
    if (!c) {
        state.SkipWithError("instantiation failed");
        return;
    }
    static const fmi2ValueReference in[] = {4, 5, 6, 7};
    static const fmi2ValueReference out[] = {0, 1, 2, 3};
    const double stepSize = 1.0 / 1024;  // exact in binary: the time stays exact
    double time = 0;
    for (auto _ : state) {
        const fmi2Real inputs[] = {time, time, time, time};
        fmi2Real outputs[4];
        if (fmi2SetReal(c, in, 4, inputs) != fmi2OK ||
            fmi2DoStep(c, time, stepSize, fmi2True) != fmi2OK ||
            fmi2GetReal(c, out, 4, outputs) != fmi2OK) {
            state.SkipWithError("step cycle failed");
            break;
        }
        time += stepSize;
    }
    fmi2FreeInstance(c);
}
BENCHMARK(stepCycle);

}  // namespace

int main(int argc, char** argv) {
    // A host's VM runs the full tiered JIT; the test VMs stop at its first tier to start
    // quickly. KVFMU_TEST_JVM_OPTIONS=-XX:TieredStopAtLevel=1 measures that case.
    if (!startJavaVm({"-XX:TieredStopAtLevel=4"})) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
