#include "fmu_binary.h"

#include "exit_codes.h"

#include <dlfcn.h>

#include <algorithm>
#include <vector>

namespace fs = std::filesystem;

fs::path binaryPath(const fs::path& unpacked, const std::string& modelIdentifier) {
    const fs::path library = unpacked / "binaries" / "linux64" / (modelIdentifier + ".so");
    std::error_code error;
    if (fs::is_regular_file(library, error)) return library;

    std::vector<std::string> platforms;
    for (const auto& entry : fs::directory_iterator(unpacked / "binaries", error)) {
        if (entry.is_directory()) platforms.push_back(entry.path().filename().string());
    }
    std::sort(platforms.begin(), platforms.end());
    std::string present;
    for (const auto& platform : platforms) present += (present.empty() ? "" : ", ") + platform;
    throw RunError(ExitCode::noBinary,
                   "the FMU has no binary for this platform: binaries/linux64/" + modelIdentifier +
                       ".so is missing (platforms in the FMU: " +
                       (present.empty() ? std::string("none") : present) + ")");
}

namespace {

template <typename Function>
void resolve(void* handle, const char* name, Function& function, const fs::path& library) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function) {
        throw RunError(ExitCode::binaryNotLoadable,
                       library.filename().string() + " does not export " + name);
    }
}

}  // namespace

FmuBinary::FmuBinary(const fs::path& library) {
    handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* reason = dlerror();
        throw RunError(
            ExitCode::binaryNotLoadable,
            "cannot load the FMU's binary: " + std::string(reason ? reason : "unknown reason"));
    }
    try {
        resolve(handle_, "fmi2GetVersion", functions_.getVersion, library);
        resolve(handle_, "fmi2SetDebugLogging", functions_.setDebugLogging, library);
        resolve(handle_, "fmi2Instantiate", functions_.instantiate, library);
        resolve(handle_, "fmi2FreeInstance", functions_.freeInstance, library);
        resolve(handle_, "fmi2SetupExperiment", functions_.setupExperiment, library);
        resolve(handle_, "fmi2EnterInitializationMode", functions_.enterInitializationMode,
                library);
        resolve(handle_, "fmi2ExitInitializationMode", functions_.exitInitializationMode, library);
        resolve(handle_, "fmi2Terminate", functions_.terminate, library);
        resolve(handle_, "fmi2GetReal", functions_.getReal, library);
        resolve(handle_, "fmi2SetReal", functions_.setReal, library);
        resolve(handle_, "fmi2DoStep", functions_.doStep, library);
    } catch (...) {
        dlclose(handle_);
        throw;
    }
}

FmuBinary::~FmuBinary() {
    dlclose(handle_);
}
