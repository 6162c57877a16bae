#include "provider_setup.h"

#include "dynamic_library.h"
#include "facade_access.h"
#include "java_runtime.h"
#include "java_vm_library.h"
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

// The instantiation that starts the VM, for the VM's exit hook.
struct VmStart {
    const fmi2CallbackFunctions* functions = nullptr;
    fmi2String instanceName = nullptr;
    std::string description;
};
VmStart vmStart;

// The VM ends the process when it fails in certain ways while it starts (a heap too small
// for it, for example), calling this hook first: the host's log learns why.
void JNICALL vmExits(jint status) {
    if (!vmStart.functions) return;
    vmStart.functions->logger(vmStart.functions->componentEnvironment, vmStart.instanceName,
                              fmi2Fatal, "error",
                              "fmi2Instantiate: the Java VM (%s) failed to start and ends the "
                              "process with status %d",
                              vmStart.description.c_str(), static_cast<int>(status));
}

std::string optionList(const std::vector<std::string>& options) {
    std::string list;
    for (const std::string& option : options) list += (list.empty() ? "" : " ") + option;
    return list;
}

bool startVm(const JavaVmLibrary& vmLibrary, const std::string& what,
             const fmi2CallbackFunctions* functions, fmi2String instanceName,
             std::string& failure) {
    const std::vector<std::string> options =
        vmOptionsFor(jarFilesIn(resourcesFolder()), settings->vmOptions, {});
    vmStart = {functions, instanceName, what + ", VM options: " + optionList(options)};
    char exitHook[] = "exit";
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    const jint created = createJavaVm(vmLibrary, options,
                                      {{exitHook, reinterpret_cast<void*>(&vmExits)}}, &vm, &env);
    vmStart = {};
    if (created != JNI_OK || !vm) {
        vmStartFailure = "the Java VM (" + what + ") cannot start: " + jniErrorText(created) +
                         " (VM options: " + optionList(options) + ")";
        failure = vmStartFailure;
        return false;
    }
    processVm = vm;
    useVmForThreads(vm);
    detachCallingThreadAtEnd();
    return true;
}

// The VM already in the process, or one started from the FMU's own Java runtime or the one
// found on the machine.
bool findOrStartVm(const fmi2CallbackFunctions* functions, fmi2String instanceName,
                   std::string& failure) {
    if (!vmStartFailure.empty()) {
        failure = vmStartFailure;
        return false;
    }
    if (const std::optional<JavaVmLibrary> loaded = loadedVmLibrary()) {
        if (JavaVM* running = runningVm(*loaded)) {
            processVm = running;
            useVmForThreads(running);
            return true;
        }
        return startVm(*loaded, "the Java VM library already loaded in this process", functions,
                       instanceName, failure);
    }
    const RuntimeSearch search = findJavaRuntimeFor(resourcesFolder(), usualJavaPlaces());
    if (!search.runtime) {
        failure = noRuntimeMessage(search);
        return false;
    }
    const JavaRuntime& runtime = *search.runtime;
    const std::string what = "Java " + runtime.version + " at " + pathText(runtime.home) +
                             ", found through " + runtime.foundThrough;
    std::string error;
    const std::optional<JavaVmLibrary> vmLibrary = loadVmLibrary(runtime.vmLibrary, error);
    if (!vmLibrary) {
        failure = "cannot load the Java VM " + pathText(runtime.vmLibrary) + " (" + what + "): " + error;
        return false;
    }
    return startVm(*vmLibrary, what, functions, instanceName, failure);
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
            failure = "the FMU's settings " + pathText(file) + " are damaged or from another "
                      "version of kvfmu-pack (pack the FMU again): ";
            for (size_t i = 0; i < reading.problems.size(); ++i)
                failure += (i ? "; " : "") + reading.problems[i];
            return nullptr;
        }
        settings = reading.settings;
        settingsReady.store(&*settings, std::memory_order_release);
    }
    return &*settings;
}

const LibraryFunctions* prepareProvider(const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure) {
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
