// Cost of the host's per-step work through the library against the scripted test facade:
// set the inputs, step, read the outputs. Every call asks the server for its counts and
// looks its facade methods up again, so this is dominated by JNI round trips.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"
#include "kvfmu_guid.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace {

const fmi2CallbackFunctions callbacks = hostCallbacks();

// Outputs 0..1, their copy 2..3, inputs 4..7.
void scriptServer() {
    scriptReset();
    scriptLayout("8", "2", "4");
    scriptData({0.5, 1.5});
}

fmi2Component readyInstance(const char* name) {
    scriptServer();
    fmi2Component c = fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0);
    fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0);
    fmi2EnterInitializationMode(c);
    fmi2ExitInitializationMode(c);
    return c;
}

bool stepCycle(fmi2Component c, double time) {
    static const fmi2ValueReference in[] = {4, 5, 6, 7};
    static const fmi2ValueReference out[] = {0, 1, 2, 3};
    const fmi2Real inputs[] = {time, time, time, time};
    fmi2Real outputs[4];
    return fmi2SetReal(c, in, 4, inputs) == fmi2OK && fmi2DoStep(c, time, 0.01, 0) == fmi2OK &&
           fmi2GetReal(c, out, 4, outputs) == fmi2OK;
}

// The facade logs every call; keep its log from growing through the run.
void trimFacadeLog(int64_t iteration) {
    if (iteration % 4096 == 0) scriptServer();
}

// A host thread that is a Java thread already: no attach per call.
void stepOnJavaThread(benchmark::State& state) {
    fmi2Component c = readyInstance("bench");
    int64_t i = 0;
    for (auto _ : state) {
        if (!stepCycle(c, static_cast<double>(i) * 0.01)) state.SkipWithError("step failed");
        trimFacadeLog(++i);
    }
    fmi2FreeInstance(c);
}
BENCHMARK(stepOnJavaThread);

// A plain native host thread: every bridge operation attaches and detaches it.
void stepOnNativeThread(benchmark::State& state) {
    fmi2Component c = readyInstance("bench");
    std::thread worker([&] {
        int64_t i = 0;
        for (auto _ : state) {
            if (!stepCycle(c, static_cast<double>(i) * 0.01)) state.SkipWithError("step failed");
            ++i;
        }
    });
    worker.join();
    fmi2FreeInstance(c);
}
BENCHMARK(stepOnNativeThread)->Iterations(2000);

}  // namespace

int main(int argc, char** argv) {
    if (!startJavaVm()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
