// The FMU's shared library for this platform and the FMI 2.0 functions the runner calls.
#pragma once

#include "fmi2_function_table.h"

#include <filesystem>
#include <string>

using FmuFunctions = Fmi2FunctionTable;

// binaries/linux64/<modelIdentifier>.so under the unpacked FMU. Throws RunError(noBinary)
// when it is not there, naming the platforms the FMU has.
std::filesystem::path binaryPath(const std::filesystem::path& unpacked,
                                 const std::string& modelIdentifier);

// The loaded library; unloaded when the object goes.
class FmuBinary {
public:
    // Throws RunError(binaryNotLoadable) when it cannot be loaded or a function the runner calls
    // is missing.
    explicit FmuBinary(const std::filesystem::path& library);
    ~FmuBinary();
    FmuBinary(const FmuBinary&) = delete;
    FmuBinary& operator=(const FmuBinary&) = delete;

    const FmuFunctions& functions() const { return functions_; }

private:
    void* handle_ = nullptr;
    FmuFunctions functions_;
};
