#include "provider_setup.h"

#include "dynamic_library.h"
#include "facade_access.h"
#include "facade_origin.h"
#include "fork_guard.h"
#include "java_runtime.h"
#include "java_vm_library.h"
#include "process_vm.h"
#include "resource_location.h"
#include "thread_attachment.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <set>

namespace {

void anchor() {}

// Taken when the provider is loaded: a host may load it by a relative path and then change
// its working folder.
const FilePath providerFolder =
    libraryFileOf(reinterpret_cast<const void*>(&anchor)).parent();

FilePath resourcesFolder() {
    return (providerFolder / ".." / ".." / "resources").normal();
}

std::mutex setupLock;  // guards everything below but the atomic
JavaVM* processVm = nullptr;
std::string vmStartFailure;  // a VM cannot be created twice: the first failure stays
bool libraryLoaded = false;
bool facadeLoadable = false;
LibraryFunctions library;
std::atomic<const LibraryFunctions*> libraryReady{nullptr};
std::set<FilePath> servedFacadeJars;  // of FMUs the loaded facade serves

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

std::vector<FilePath> facadeJarFiles(const FmuSettings& fmu) {
    std::vector<FilePath> jars;
    for (const std::string& name : fmu.settings->facadeJars) jars.push_back(fmu.resources / name);
    return jars;
}

void useVm(JavaVM* vm) {
    processVm = vm;
    noteVmProcess();
    useVmForThreads(vm);
}

// The VM already in the process, or one started from the FMU's own Java runtime or the one
// found on the machine.
bool findOrStartVm(const FmuSettings& fmu, const fmi2CallbackFunctions* functions,
                   fmi2String instanceName, std::string& failure) {
    if (!vmStartFailure.empty()) {
        failure = vmStartFailure;
        return false;
    }
    // Only the facade jars go on the class path: the server loads each FMU's model classes
    // from that FMU's own resources in a class loader of their own, which asks the system
    // class loader first. So two versions of one model live side by side.
    VmRequest request;
    request.classPath = facadeJarFiles(fmu);
    request.fmuResources = fmu.resources;
    request.options = fmu.settings->vmOptions;
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

std::string versionText(const VersionRecord& record) {
    return std::to_string(record.values[0]) + "." + std::to_string(record.values[1]) + "." +
           std::to_string(record.values[2]);
}

// The library another FMU loaded serves this one when its version does.
bool loadedLibraryServes(std::string& failure) {
    const std::string ours = std::to_string(KVFMU_VERSION_MAJOR) + "." +
                             std::to_string(KVFMU_VERSION_MINOR) + "." +
                             std::to_string(KVFMU_VERSION_PATCH);
    const std::string loaded = versionText(*library.getver());
    if (versionServes(loaded, ours)) return true;
    failure = "this FMU brings libkvfmu " + ours + ", but this process has libkvfmu " + loaded +
              " loaded already, from " +
              pathText(libraryFileOf(reinterpret_cast<const void*>(library.getver))) +
              ", which cannot serve it (a process holds one libkvfmu): run this FMU in a "
              "process of its own, or pack the FMUs of one process with one kvfmu version";
    return false;
}

// Whether the facade the VM has loaded serves this FMU; the jars of FMUs found served are
// not looked at again.
bool facadeServes(const FmuSettings& fmu, std::string& failure) {
    const std::vector<FilePath> jars = facadeJarFiles(fmu);
    const std::lock_guard<std::mutex> lock(setupLock);
    if (servedFacadeJars.count(jars.front())) return true;
    JNIEnv* env = callingThreadEnv();
    if (!env) {
        failure = "the calling thread cannot be attached to the Java VM";
        return false;
    }
    if (!loadedFacadeServes(env, jars, failure)) return false;
    servedFacadeJars.insert(jars.front());
    return true;
}

// The VM, the library and a loadable facade, once per process (per copy of the provider).
const LibraryFunctions* prepareProcess(const FmuSettings& fmu,
                                       const fmi2CallbackFunctions* functions,
                                       fmi2String instanceName, std::string& failure) {
    const std::lock_guard<std::mutex> lock(setupLock);
    // Threads attached by the provider are detached by its code when they end, and the VM
    // cannot be unloaded: the provider stays loaded however often the host unloads the FMU.
    pinLibraryOf(reinterpret_cast<const void*>(&anchor));
    if (!processVm && !findOrStartVm(fmu, functions, instanceName, failure)) return nullptr;
    knowCallingThread();
    if (!libraryLoaded) {
        if (!loadLibraryFunctions(providerFolder, library, failure) ||
            !loadedLibraryServes(failure))
            return nullptr;
        libraryLoaded = true;
    }
    if (!facadeLoadable) {
        JNIEnv* env = callingThreadEnv();
        if (!env) {
            failure = "the calling thread cannot be attached to the Java VM";
            return nullptr;
        }
        if (!makeFacadeLoadable(processVm, env, facadeJarFiles(fmu), failure)) return nullptr;
        facadeLoadable = true;
    }
    libraryReady.store(&library, std::memory_order_release);
    return &library;
}

}  // namespace

std::optional<FmuSettings> fmuSettings(fmi2String resourceLocation, std::string& failure) {
    FilePath resources = resourcesFolder();
    if (const std::optional<FilePath> named = resourceFolderOf(resourceLocation)) {
        if (isRegularFile(*named / providerSettingsFile)) resources = *named;
    }
    const FilePath file = resources / providerSettingsFile;
    SettingsReading reading = readProviderSettings(file);
    if (!reading.problems.empty()) {
        failure = damagedSettingsMessage(file, reading.problems);
        return std::nullopt;
    }
    return FmuSettings{resources,
                       std::make_shared<const ProviderSettings>(std::move(reading.settings))};
}

const LibraryFunctions* prepareProvider(const FmuSettings& fmu,
                                        const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure) {
    if (forkedSinceVm()) {
        failure = forkedSinceVmMessage();
        return nullptr;
    }
    const LibraryFunctions* ready = libraryReady.load(std::memory_order_acquire);
    if (!ready) ready = prepareProcess(fmu, functions, instanceName, failure);
    if (!ready) return nullptr;
    knowCallingThread();
    return facadeServes(fmu, failure) ? ready : nullptr;
}

const LibraryFunctions* readyLibrary() { return libraryReady.load(std::memory_order_acquire); }

