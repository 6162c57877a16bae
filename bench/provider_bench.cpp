// What the VM provider costs a host: the first fmi2Instantiate of a process, which starts
// the Java VM (a process per measurement); a step through the provider against the same
// step through libkvfmu called directly; and a step on a host thread the VM did not know
// before against one on the VM's own thread. The model is the built-in FirstOrderLag,
// unpacked by the build; steps are paired in alternating blocks, and the medians compared.
#include "fmi2_functions.h"
#include "host.h"
#include "kvfmu_guid.h"
#include "loaded_library.h"

#include <benchmark/benchmark.h>
#include <jni.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
const std::string fmuFolder = KVFMU_BENCH_UNPACKED_FMU;

// Every FMI function of the library at the path, or the program ends.
LoadedFmu load(const std::string& path) {
    LoadedFmu f = openFmu(path.c_str());
    const std::string missing = f.handle ? missingFmi2Functions(f) : f.error;
    if (!missing.empty()) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), missing.c_str());
        std::exit(1);
    }
    return f;
}

std::string fmuGuid() {
    std::ifstream description(fmuFolder + "/modelDescription.xml");
    std::stringstream text;
    text << description.rdbuf();
    std::smatch match;
    const std::string xml = text.str();
    std::regex_search(xml, match, std::regex("guid=\"([^\"]+)\""));
    return match[1];
}

const fmi2CallbackFunctions callbacks = hostCallbacks();
const std::string resources = "file://" + fmuFolder + "/resources";

fmi2Component ready(const LoadedFmu& f, const char* name, const char* guid) {
    fmi2Component c =
        f.fmi2Instantiate(name, fmi2CoSimulation, guid, resources.c_str(), &callbacks, 0, 0);
    if (!c) {
        std::fprintf(stderr, "fmi2Instantiate failed\n");
        std::exit(1);
    }
    f.fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0);
    f.fmi2EnterInitializationMode(c);
    f.fmi2ExitInitializationMode(c);
    return c;
}

// A host's step: set the input, step, read the output.
struct Stepper {
    const LoadedFmu& f;
    fmi2Component c;
    double time = 0;

    void step() {
        static const fmi2ValueReference u = 2, y = 0;
        const fmi2Real input = 1.0;
        fmi2Real output = 0;
        if (f.fmi2SetReal(c, &u, 1, &input) != fmi2OK ||
            f.fmi2DoStep(c, time, 0.001, 0) != fmi2OK ||
            f.fmi2GetReal(c, &y, 1, &output) != fmi2OK) {
            std::fprintf(stderr, "step failed\n");
            std::exit(1);
        }
        time += 0.001;
    }

    // Seconds per step over a block.
    double block(int steps) {
        const auto begin = Clock::now();
        for (int i = 0; i < steps; ++i) step();
        return std::chrono::duration<double>(Clock::now() - begin).count() / steps;
    }
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void startVmInProcess() {
    std::string error;
    LibraryHandle jvm = loadLibraryForGood(KVFMU_BENCH_JDK "/lib/server/libjvm.so", true, error);
    auto create = reinterpret_cast<jint(JNICALL*)(JavaVM**, void**, void*)>(
        jvm ? librarySymbol(jvm, "JNI_CreateJavaVM") : nullptr);
    std::string classPath = "-Djava.class.path=" + fmuFolder + "/resources/kvbridge.jar";
    std::vector<JavaVMOption> options = {{classPath.data(), nullptr},
                                         {const_cast<char*>("-Xrs"), nullptr},
                                         {const_cast<char*>("-XX:-UsePerfData"), nullptr}};
    JavaVMInitArgs arguments{JNI_VERSION_1_8, static_cast<jint>(options.size()), options.data(), JNI_FALSE};
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (!create || create(&vm, &env, &arguments) != JNI_OK) {
        std::fprintf(stderr, "cannot create the Java VM\n");
        std::exit(1);
    }
}

// --- The first fmi2Instantiate, which starts the VM: one child process per measurement --

int firstInstantiateChild() {
    const auto begin = Clock::now();
    const LoadedFmu provider = load(fmuFolder + "/binaries/linux64/FirstOrderLag.so");
    const std::string guid = fmuGuid();
    fmi2Component c = provider.fmi2Instantiate("first", fmi2CoSimulation, guid.c_str(),
                                               resources.c_str(), &callbacks, 0, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    if (!c) return 1;
    std::printf("%.9f\n", seconds);
    std::fflush(stdout);
    _exit(0);  // the VM stays to the end of the process; no need to wait for its shutdown
}

void firstInstantiate(benchmark::State& state) {
    for (auto _ : state) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) state.SkipWithError("no pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        char self[] = "/proc/self/exe";
        char mode[] = "--first-instantiate";
        char* argv[] = {self, mode, nullptr};
        setenv("JAVA_HOME", KVFMU_BENCH_JDK, 1);
        pid_t child = 0;
        posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        char text[64] = {};
        const ssize_t got = read(pipeEnds[0], text, sizeof text - 1);
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the child could not instantiate");
            break;
        }
        state.SetIterationTime(std::strtod(text, nullptr));
    }
}
BENCHMARK(firstInstantiate)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// --- Steps: the provider against libkvfmu directly, the same VM and library -------------

constexpr int blockSteps = 2000;
constexpr int blocks = 31;

void providerAgainstLibrary(benchmark::State& state) {
    const LoadedFmu library = load(KVFMU_BENCH_LIBRARY);
    const LoadedFmu provider = load(fmuFolder + "/binaries/linux64/FirstOrderLag.so");
    const std::string guid = fmuGuid();
    Stepper direct{library, ready(library, "direct", kvfmuGuid)};
    Stepper through{provider, ready(provider, "through", guid.c_str())};
    for (auto _ : state) {
        std::vector<double> directTimes, providerTimes;
        direct.block(blockSteps);  // warm-up
        through.block(blockSteps);
        for (int b = 0; b < blocks; ++b) {
            directTimes.push_back(direct.block(blockSteps));
            providerTimes.push_back(through.block(blockSteps));
        }
        state.counters["direct_us"] = 1e6 * median(directTimes);
        state.counters["provider_us"] = 1e6 * median(providerTimes);
        state.counters["ratio"] = median(providerTimes) / median(directTimes);
    }
    library.fmi2FreeInstance(direct.c);
    provider.fmi2FreeInstance(through.c);
}
BENCHMARK(providerAgainstLibrary)->Iterations(1)->Unit(benchmark::kSecond);

// --- Steps on a thread the VM did not know before, against the VM's own thread -----------

void newHostThreadAgainstVmThread(benchmark::State& state) {
    const LoadedFmu provider = load(fmuFolder + "/binaries/linux64/FirstOrderLag.so");
    const LoadedFmu library = load(KVFMU_BENCH_LIBRARY);
    const std::string guid = fmuGuid();
    Stepper onVmThread{provider, ready(provider, "vm-thread", guid.c_str())};
    for (auto _ : state) {
        std::vector<double> vmThread, hostThread, libraryOnHostThread;
        std::thread worker([&] {
            // This thread was never attached: the provider attaches it at its first call.
            Stepper onHostThread{provider, ready(provider, "host-thread", guid.c_str())};
            onHostThread.block(blockSteps);
            for (int b = 0; b < blocks; ++b) hostThread.push_back(onHostThread.block(blockSteps));
            provider.fmi2FreeInstance(onHostThread.c);
        });
        worker.join();
        onVmThread.block(blockSteps);
        for (int b = 0; b < blocks; ++b) vmThread.push_back(onVmThread.block(blockSteps));
        // For comparison, the library alone on a thread the VM does not know: it attaches
        // and detaches the thread around every operation (its instantiation needs a thread
        // the VM knows).
        Stepper direct{library, ready(library, "bare-thread", kvfmuGuid)};
        std::thread bare([&] {
            for (int b = 0; b < 3; ++b) libraryOnHostThread.push_back(direct.block(200));
        });
        bare.join();
        library.fmi2FreeInstance(direct.c);
        state.counters["vm_thread_us"] = 1e6 * median(vmThread);
        state.counters["host_thread_us"] = 1e6 * median(hostThread);
        state.counters["ratio"] = median(hostThread) / median(vmThread);
        state.counters["library_alone_host_thread_us"] = 1e6 * median(libraryOnHostThread);
    }
    provider.fmi2FreeInstance(onVmThread.c);
}
BENCHMARK(newHostThreadAgainstVmThread)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--first-instantiate") == 0) return firstInstantiateChild();
    benchmark::Initialize(&argc, argv);
    // The step benchmarks share one VM, started by the host as an application would.
    bool needsVm = true;
    for (int i = 1; i < argc; ++i)
        if (std::strstr(argv[i], "--benchmark_filter=firstInstantiate")) needsVm = false;
    if (needsVm) startVmInProcess();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
