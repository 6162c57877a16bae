#include "fmu_binary.h"

#include "dynamic_library.h"
#include "exit_codes.h"

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

FmuBinary::FmuBinary(const fs::path& library) {
    std::string reason;
    handle_ = loadLibrary(library, reason);
    if (!handle_)
        throw RunError(ExitCode::binaryNotLoadable, "cannot load the FMU's binary: " + reason);
    functions_ = lookUpFmi2Functions(handle_, librarySymbol);
    // The functions the runner calls.
    for (const char* name :
         {"fmi2GetVersion", "fmi2SetDebugLogging", "fmi2Instantiate", "fmi2FreeInstance",
          "fmi2SetupExperiment", "fmi2EnterInitializationMode", "fmi2ExitInitializationMode",
          "fmi2Terminate", "fmi2GetReal", "fmi2SetReal", "fmi2DoStep"}) {
        if (!hasFmi2Function(functions_, name)) {
            unloadLibrary(handle_);
            throw RunError(ExitCode::binaryNotLoadable,
                           library.filename().string() + " does not export " + name);
        }
    }
}

FmuBinary::~FmuBinary() { unloadLibrary(handle_); }
