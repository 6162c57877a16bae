#include "java_vm_library.h"

#include "dynamic_library.h"
#include "java_runtime.h"

#include <algorithm>

namespace {

#ifdef _WIN32
const char* const vmLibraryName = "jvm.dll";
const char classPathSeparator = ';';
#else
const char* const vmLibraryName = "libjvm.so";
const char classPathSeparator = ':';
#endif

std::optional<JavaVmLibrary> functionsOf(LibraryHandle handle) {
    JavaVmLibrary library;
    library.createdVms = reinterpret_cast<decltype(library.createdVms)>(
        librarySymbol(handle, "JNI_GetCreatedJavaVMs"));
    library.createVm =
        reinterpret_cast<decltype(library.createVm)>(librarySymbol(handle, "JNI_CreateJavaVM"));
    if (!library.createdVms) return std::nullopt;
    return library;
}

}  // namespace

std::optional<JavaVmLibrary> loadedVmLibrary() {
    LibraryHandle handle = loadedLibrary(vmLibraryName, true);
    return handle ? functionsOf(handle) : std::nullopt;
}

std::optional<JavaVmLibrary> loadVmLibrary(const FilePath& file, std::string& error) {
#ifdef _WIN32
    // jvm.dll needs the C runtime DLLs that the runtime keeps in its bin folder, where the
    // loader does not look for them, as its own launcher knows.
    const FilePath bin = file.parent().parent();
    for (const char* runtimeDll : {"vcruntime140.dll", "vcruntime140_1.dll", "msvcp140.dll"}) {
        std::string ignored;
        if (isRegularFile(bin / runtimeDll)) loadLibraryForGood(bin / runtimeDll, true, ignored);
    }
#endif
    LibraryHandle handle = loadLibraryForGood(file, true, error);
    if (!handle) return std::nullopt;
    std::optional<JavaVmLibrary> library = functionsOf(handle);
    if (!library || !library->createVm) {
        error = "it lacks the function JNI_CreateJavaVM";
        return std::nullopt;
    }
    return library;
}

JavaVM* runningVm(const JavaVmLibrary& library) {
    JavaVM* vm = nullptr;
    jsize count = 0;
    if (library.createdVms(&vm, 1, &count) != JNI_OK || count < 1) return nullptr;
    return vm;
}

std::vector<std::string> vmOptionsFor(const std::vector<std::string>& classPath,
                                      const std::vector<std::string>& options) {
    std::string classPathOption = "-Djava.class.path=";
    for (size_t i = 0; i < classPath.size(); ++i) {
        if (i > 0) classPathOption += classPathSeparator;
        classPathOption += classPath[i];
    }
    std::vector<std::string> all{classPathOption};
    all.insert(all.end(), options.begin(), options.end());
    all.push_back("-Xrs");
    all.push_back("-XX:-UsePerfData");
    return all;
}

jint createJavaVm(const JavaVmLibrary& library, const std::vector<std::string>& options,
                  const std::vector<JavaVMOption>& hooks, JavaVM** vm, JNIEnv** env) {
    if (!library.createVm) return JNI_ERR;
    std::vector<std::string> texts = options;
    std::vector<JavaVMOption> entries;
    for (std::string& text : texts) entries.push_back({text.data(), nullptr});
    // The hooks follow the first option (the class path) and come before any option the VM
    // may complain about, so that its complaint goes through them.
    entries.insert(entries.begin() + (entries.empty() ? 0 : 1), hooks.begin(), hooks.end());
    JavaVMInitArgs arguments{};
    arguments.version = JNI_VERSION_1_8;
    arguments.nOptions = static_cast<jint>(entries.size());
    arguments.options = entries.data();
    arguments.ignoreUnrecognized = JNI_FALSE;
    void* created = nullptr;
    const jint result = library.createVm(vm, &created, &arguments);
    *env = static_cast<JNIEnv*>(created);
    return result;
}

std::string jniErrorText(jint code) {
    switch (code) {
        case JNI_EDETACHED:
            return "thread detached from the VM";
        case JNI_EVERSION:
            return "JNI version not supported";
        case JNI_ENOMEM:
            return "not enough memory";
        case JNI_EEXIST:
            return "a Java VM already exists in this process";
        case JNI_EINVAL:
            return "invalid VM option";
        default:
            return "error " + std::to_string(code);
    }
}

std::vector<FilePath> jarFilesIn(const FilePath& folder) {
    std::vector<FilePath> jars;
    for (const FilePath& entry : folderEntries(folder)) {
        const std::string name = entry.fileName().text();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".jar") == 0 && isRegularFile(entry))
            jars.push_back(entry);
    }
    return jars;
}
