// Throughput of instances stepped in parallel, one per host thread, against the working test
// facade with a server step of about 50 µs of arithmetic; and the single-thread step cycle
// of this library paired with that of an earlier build (KVFMU_BENCH_BASELINE).
//
// parallelSteps/threads:N/serialized:S — N instances on N host threads (attached to the VM
// beforehand, as the threads of a Java host's pool are), 2000 step cycles each; reports the
// steps per second of all threads together.
// serialized:1 puts one process-wide lock around every call into the library, which is what
// a library that holds one lock for the whole of each exported call gives.
//
// pairedStepCycle — alternating blocks of step cycles through the two libraries on the VM's
// own thread; reports the median time per cycle of each and their ratio (this / earlier).
#include "java_host.h"
#include "kvfmu_guid.h"
#include "loaded_library.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

const LoadedFmu& fmu() { return loadedFmu(KVFMU_SHARED_LIBRARY); }
constexpr int maxThreads = 4;
constexpr long stepWorkMicros = 50;

void silentLogger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String, fmi2String, ...) {}
void* zeroedAllocate(size_t count, size_t size) { return std::calloc(count ? count : 1, size ? size : 1); }
const fmi2CallbackFunctions callbacks = {silentLogger, zeroedAllocate, std::free, nullptr, nullptr};

fmi2Component ready(const LoadedFmu& lib, const std::string& name) {
    fmi2Component c =
        lib.fmi2Instantiate(name.c_str(), fmi2CoSimulation, kvfmuGuid, "", &callbacks, 0, 0);
    if (!c) return nullptr;
    lib.fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0);
    lib.fmi2EnterInitializationMode(c);
    lib.fmi2ExitInitializationMode(c);
    return c;
}

// The facade's step work for every step from now on.
void setStepWork(long micros) {
    JNIEnv* env = mainThreadEnv();
    jclass facade = env->FindClass("com/korvan/kvbridge/KorvanSim");
    jmethodID set = facade ? env->GetStaticMethodID(facade, "setStepWork", "(J)V") : nullptr;
    if (set) env->CallStaticVoidMethod(facade, set, static_cast<jlong>(micros));
    if (env->ExceptionCheck()) env->ExceptionClear();
    if (facade) env->DeleteLocalRef(facade);
}

// Set inputs, step, read outputs, each call under the lock when one is given.
bool stepCycle(const LoadedFmu& lib, fmi2Component c, long n, std::recursive_mutex* lock) {
    static const fmi2ValueReference in[] = {4, 5};
    static const fmi2ValueReference out[] = {0, 1, 2, 3};
    const fmi2Real inputs[] = {static_cast<double>(n), 0.5};
    fmi2Real outputs[4];
    const auto call = [lock](auto f) {
        if (!lock) return f();
        const std::lock_guard<std::recursive_mutex> guard(*lock);
        return f();
    };
    return call([&] { return lib.fmi2SetReal(c, in, 2, inputs); }) == fmi2OK &&
           call([&] {
               return lib.fmi2DoStep(c, 0.01 * static_cast<double>(n), 0.01, 0);
           }) == fmi2OK &&
           call([&] { return lib.fmi2GetReal(c, out, 4, outputs); }) == fmi2OK;
}

std::vector<fmi2Component> parallelInstances;
std::recursive_mutex everyCall;
using Clock = std::chrono::steady_clock;

// Seconds from the first thread's start to the last one's end of `cycles` cycles on each of
// `threads` threads, each attached to the VM before it starts.
double parallelRun(int threads, long cycles, std::recursive_mutex* lock, long& n, bool& failed) {
    std::vector<Clock::time_point> starts(threads), ends(threads);
    std::vector<std::thread> running;
    std::vector<char> ok(threads, 1);
    for (int k = 0; k < threads; ++k) {
        running.emplace_back([&, k, first = n] {
            JNIEnv* env = nullptr;
            testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr);
            starts[k] = Clock::now();
            for (long i = 1; i <= cycles; ++i)
                if (!stepCycle(fmu(), parallelInstances[k], first + i, lock)) ok[k] = 0;
            ends[k] = Clock::now();
            testJavaVm()->DetachCurrentThread();
        });
    }
    for (std::thread& t : running) t.join();
    n += cycles;
    failed = std::count(ok.begin(), ok.end(), 0) > 0;
    const std::chrono::duration<double> took =
        *std::max_element(ends.begin(), ends.end()) - *std::min_element(starts.begin(), starts.end());
    return took.count();
}

void parallelSteps(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    std::recursive_mutex* lock = state.range(1) ? &everyCall : nullptr;
    constexpr long cycles = 2000;
    long n = 0, steps = 0;
    double seconds = 0;
    for (auto _ : state) {
        bool failed = false;
        const double took = parallelRun(threads, cycles, lock, n, failed);
        if (failed) state.SkipWithError("step failed");
        state.SetIterationTime(took);
        seconds += took;
        steps += threads * cycles;
    }
    state.counters["steps_per_s"] = static_cast<double>(steps) / seconds;
}
BENCHMARK(parallelSteps)
    ->ArgNames({"threads", "serialized"})
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

#ifdef KVFMU_BASELINE_LIBRARY
double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Seconds per cycle of one block of cycles.
double timedBlock(const LoadedFmu& lib, fmi2Component c, long& n, int cycles) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i) stepCycle(lib, c, ++n, nullptr);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count() / cycles;
}

void pairedStepCycle(benchmark::State& state) {
    const LoadedFmu before = openFmu(KVFMU_BASELINE_LIBRARY);
    if (!before.handle) {
        state.SkipWithError("earlier library not loaded");
        return;
    }
    fmi2Component oldC = ready(before, "earlier");
    fmi2Component newC = ready(fmu(), "this");
    constexpr int pairs = 40, cycles = 2000;
    long oldN = 0, newN = 0;
    std::vector<double> oldTimes, newTimes;
    for (auto _ : state) {
        for (int p = 0; p < pairs; ++p) {
            // Alternate which goes first, so that a drift of the machine falls on both.
            if (p % 2 == 0) {
                oldTimes.push_back(timedBlock(before, oldC, oldN, cycles));
                newTimes.push_back(timedBlock(fmu(), newC, newN, cycles));
            } else {
                newTimes.push_back(timedBlock(fmu(), newC, newN, cycles));
                oldTimes.push_back(timedBlock(before, oldC, oldN, cycles));
            }
        }
    }
    const double oldMedian = medianOf(oldTimes), newMedian = medianOf(newTimes);
    state.counters["earlier_us"] = oldMedian * 1e6;
    state.counters["this_us"] = newMedian * 1e6;
    state.counters["ratio"] = newMedian / oldMedian;
    before.fmi2FreeInstance(oldC);
    fmu().fmi2FreeInstance(newC);
}
#endif

}  // namespace

int main(int argc, char** argv) {
    if (!startJavaVm()) return 1;
    benchmark::Initialize(&argc, argv);
    if (!fmu().handle) return 1;
    for (int k = 0; k < maxThreads; ++k)
        parallelInstances.push_back(ready(fmu(), "parallel" + std::to_string(k)));
    setStepWork(stepWorkMicros);
#ifdef KVFMU_BASELINE_LIBRARY
    benchmark::RegisterBenchmark("pairedStepCycle", [](benchmark::State& state) {
        setStepWork(0);
        pairedStepCycle(state);
        setStepWork(stepWorkMicros);
    })->Iterations(1)->Unit(benchmark::kMicrosecond);
#endif
    std::printf("cores: %u\n", std::thread::hardware_concurrency());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (fmi2Component c : parallelInstances) fmu().fmi2FreeInstance(c);
    return 0;
}
