#include "provider_setup.h"

#include "dynamic_library.h"
#include "facade_access.h"
#include "fork_guard.h"
#include "java_runtime.h"
#include "java_vm_library.h"
#include "process_vm.h"
#include "thread_attachment.h"

#include <atomic>
#include <mutex>
#include <optional>

namespace fs = std::filesystem;

namespace {

void anchor() {}

// Taken when the provider is loaded: a host may load it by a relative path and then change
// its working folder.
const fs::path providerFolder =
    libraryFileOf(reinterpret_cast<const void*>(&anchor)).parent_path();

fs::path resourcesFolder() {
    return (providerFolder / ".." / ".." / "resources").lexically_normal();
}

std::mutex setupLock;  // guards everything below but the atomics
std::optional<ProviderSettings> settings;
std::atomic<const ProviderSettings*> settingsReady{nullptr};
JavaVM* processVm = nullptr;
std::string vmStartFailure;  // a VM cannot be created twice: the first failure stays
bool libraryLoaded = false;
bool facadeLoadable = false;
LibraryFunctions library;
std::atomic<const LibraryFunctions*> libraryReady{nullptr};

// The instantiation that starts the VM, for the VM's exit hook and its text.
struct VmStart {
    const fmi2CallbackFunctions* functions = nullptr;
    fmi2String instanceName = nullptr;
};
VmStart vmStart;

// The VM ends the process when it fails in certain ways while it starts (a heap too small
// for it, for example), calling this hook first: the host's log learns why.
void JNICALL vmExits(jint status) {
    if (!vmStart.functions) return;
    vmStart.functions->logger(vmStart.functions->componentEnvironment, vmStart.instanceName,
                              fmi2Fatal, "error",
                              "fmi2Instantiate: the Java VM failed to start and ends the process "
                              "with status %d (its message is logged before)",
                              static_cast<int>(status));
}

// What the VM prints while it starts reaches the host's log: a host without a console
// would lose it.
void vmText(const std::string& line) {
    if (!vmStart.functions) return;
    vmStart.functions->logger(vmStart.functions->componentEnvironment, vmStart.instanceName,
                              fmi2Warning, "warning", "fmi2Instantiate: the Java VM says: %s",
                              line.c_str());
}

void useVm(JavaVM* vm) {
    processVm = vm;
    noteVmProcess();
    useVmForThreads(vm);
}

// The VM already in the process, or one started from the Java runtime found on the machine.
bool findOrStartVm(const fmi2CallbackFunctions* functions, fmi2String instanceName,
                   std::string& failure) {
    if (!vmStartFailure.empty()) {
        failure = vmStartFailure;
        return false;
    }
    VmRequest request;
    request.classPath = jarFilesIn(resourcesFolder());
    request.options = settings->vmOptions;
    request.exitHook = &vmExits;
    request.vmText = &vmText;
    vmStart = {functions, instanceName};
    const ProcessVm vm = findOrStartJavaVm(request);
    vmStart = {};
    for (const std::string& warning : vm.warnings)
        functions->logger(functions->componentEnvironment, instanceName, fmi2Warning, "warning",
                          "fmi2Instantiate: %s", warning.c_str());
    if (!vm.vm) {
        // A VM cannot be created twice in a process: a failed start stays the answer.
        if (vm.startFailed) vmStartFailure = vm.failure;
        failure = vm.failure;
        return false;
    }
    useVm(vm.vm);
    if (vm.started) {
        detachCallingThreadAtEnd();
        return true;
    }
    knowCallingThread();
    JNIEnv* env = callingThreadEnv();
    const std::string tooOld = env ? tooOldVmProblem(env) : std::string();
    if (!tooOld.empty()) {
        vmStartFailure = tooOld;
        failure = tooOld;
        return false;
    }
    return true;
}

std::vector<fs::path> facadeJarFiles() {
    std::vector<fs::path> jars;
    for (const std::string& name : settings->facadeJars) jars.push_back(resourcesFolder() / name);
    return jars;
}

}  // namespace

const ProviderSettings* providerSettings(std::string& failure) {
    if (const ProviderSettings* ready = settingsReady.load(std::memory_order_acquire)) return ready;
    const std::lock_guard<std::mutex> lock(setupLock);
    if (!settings) {
        const fs::path file = resourcesFolder() / providerSettingsFile;
        const SettingsReading reading = readProviderSettings(file);
        if (!reading.problems.empty()) {
            failure = damagedSettingsMessage(file, reading.problems);
            return nullptr;
        }
        settings = reading.settings;
        settingsReady.store(&*settings, std::memory_order_release);
    }
    return &*settings;
}

const LibraryFunctions* prepareProvider(const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure) {
    if (forkedSinceVm()) {
        failure = forkedSinceVmMessage();
        return nullptr;
    }
    if (const LibraryFunctions* ready = libraryReady.load(std::memory_order_acquire)) {
        knowCallingThread();
        return ready;
    }
    if (!providerSettings(failure)) return nullptr;
    const std::lock_guard<std::mutex> lock(setupLock);
    // Threads attached by the provider are detached by its code when they end, and the VM
    // cannot be unloaded: the provider stays loaded however often the host unloads the FMU.
    pinLibraryOf(reinterpret_cast<const void*>(&anchor));
    if (!processVm && !findOrStartVm(functions, instanceName, failure)) return nullptr;
    knowCallingThread();
    if (!libraryLoaded) {
        if (!loadLibraryFunctions(providerFolder, library, failure)) return nullptr;
        libraryLoaded = true;
    }
    if (!facadeLoadable) {
        JNIEnv* env = callingThreadEnv();
        if (!env) {
            failure = "the calling thread cannot be attached to the Java VM";
            return nullptr;
        }
        if (!makeFacadeLoadable(processVm, env, facadeJarFiles(), failure)) return nullptr;
        facadeLoadable = true;
    }
    libraryReady.store(&library, std::memory_order_release);
    return &library;
}

const LibraryFunctions* readyLibrary() { return libraryReady.load(std::memory_order_acquire); }
