#include "provider_setup.h"

#include "dynamic_library.h"
#include "facade_access.h"
#include "facade_origin.h"
#include "java_runtime.h"
#include "java_vm_library.h"
#include "resource_location.h"
#include "thread_attachment.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <set>

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

std::mutex setupLock;  // guards everything below but the atomic
JavaVM* processVm = nullptr;
std::string vmStartFailure;  // a VM cannot be created twice: the first failure stays
bool libraryLoaded = false;
bool facadeLoadable = false;
LibraryFunctions library;
std::atomic<const LibraryFunctions*> libraryReady{nullptr};
std::set<std::filesystem::path> servedFacadeJars;  // of FMUs the loaded facade serves

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

std::vector<fs::path> facadeJarFiles(const FmuSettings& fmu) {
    std::vector<fs::path> jars;
    for (const std::string& name : fmu.settings->facadeJars) jars.push_back(fmu.resources / name);
    return jars;
}

// Only the facade jars go on the class path: the server loads each FMU's model classes from
// that FMU's own resources in a class loader of their own, which asks the system class
// loader first. So two versions of one model live side by side.
bool startVm(const JavaVmLibrary& vmLibrary, const std::string& what, const FmuSettings& fmu,
             const fmi2CallbackFunctions* functions, fmi2String instanceName,
             std::string& failure) {
    const std::vector<std::string> options =
        vmOptionsFor(facadeJarFiles(fmu), fmu.settings->vmOptions, {});
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

// The VM already in the process, or one started from the Java runtime found on the machine.
bool findOrStartVm(const FmuSettings& fmu, const fmi2CallbackFunctions* functions,
                   fmi2String instanceName, std::string& failure) {
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
        return startVm(*loaded, "the Java VM library already loaded in this process", fmu,
                       functions, instanceName, failure);
    }
    const RuntimeSearch search = findJavaRuntime(usualJavaPlaces());
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
    return startVm(*vmLibrary, what, fmu, functions, instanceName, failure);
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
    const std::vector<fs::path> jars = facadeJarFiles(fmu);
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
    fs::path resources = resourcesFolder();
    if (const std::optional<fs::path> named = resourceFolderOf(resourceLocation)) {
        std::error_code error;
        if (fs::is_regular_file(*named / providerSettingsFile, error)) resources = *named;
    }
    const fs::path file = resources / providerSettingsFile;
    SettingsReading reading = readProviderSettings(file);
    if (!reading.problems.empty()) {
        failure = "the FMU's settings " + pathText(file) + " are damaged or from another "
                  "version of kvfmu-pack (pack the FMU again): ";
        for (size_t i = 0; i < reading.problems.size(); ++i)
            failure += (i ? "; " : "") + reading.problems[i];
        return std::nullopt;
    }
    return FmuSettings{resources,
                       std::make_shared<const ProviderSettings>(std::move(reading.settings))};
}

const LibraryFunctions* prepareProvider(const FmuSettings& fmu,
                                        const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure) {
    const LibraryFunctions* ready = libraryReady.load(std::memory_order_acquire);
    if (!ready) ready = prepareProcess(fmu, functions, instanceName, failure);
    if (!ready) return nullptr;
    knowCallingThread();
    return facadeServes(fmu, failure) ? ready : nullptr;
}

const LibraryFunctions* readyLibrary() { return libraryReady.load(std::memory_order_acquire); }

