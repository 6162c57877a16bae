// The FMU's shared library for this platform and the FMI 2.0 functions the runner calls.
#pragma once

#include "fmi2_functions.h"

#include <filesystem>
#include <string>

struct FmuFunctions {
    decltype(&fmi2GetVersion) getVersion = nullptr;
    decltype(&fmi2SetDebugLogging) setDebugLogging = nullptr;
    decltype(&fmi2Instantiate) instantiate = nullptr;
    decltype(&fmi2FreeInstance) freeInstance = nullptr;
    decltype(&fmi2SetupExperiment) setupExperiment = nullptr;
    decltype(&fmi2EnterInitializationMode) enterInitializationMode = nullptr;
    decltype(&fmi2ExitInitializationMode) exitInitializationMode = nullptr;
    decltype(&fmi2Terminate) terminate = nullptr;
    decltype(&fmi2GetReal) getReal = nullptr;
    decltype(&fmi2SetReal) setReal = nullptr;
    decltype(&fmi2DoStep) doStep = nullptr;
};

// binaries/linux64/<modelIdentifier>.so under the unpacked FMU. Throws RunError(noBinary)
// when it is not there, naming the platforms the FMU has.
std::filesystem::path binaryPath(const std::filesystem::path& unpacked,
                                 const std::string& modelIdentifier);

// The loaded library; unloaded when the object goes.
class FmuBinary {
public:
    // Throws RunError(binaryNotLoadable) when dlopen fails or a function is missing.
    explicit FmuBinary(const std::filesystem::path& library);
    ~FmuBinary();
    FmuBinary(const FmuBinary&) = delete;
    FmuBinary& operator=(const FmuBinary&) = delete;

    const FmuFunctions& functions() const { return functions_; }

private:
    void* handle_ = nullptr;
    FmuFunctions functions_;
};
