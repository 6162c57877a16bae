// What the provider sets up once per process on the first fmi2Instantiate that needs it:
// the FMU's settings, the Java VM (the one running in the process, or one it starts), the
// library, and a facade the VM can load.
#pragma once

#include "file_path.h"

#include "library_functions.h"
#include "provider_settings.h"

#include <memory>
#include <optional>
#include <string>

// An FMU's resources folder and its settings, resources/provider.conf.
struct FmuSettings {
    FilePath resources;
    std::shared_ptr<const ProviderSettings> settings;
};

// The settings of the FMU whose resources folder the host names at fmi2Instantiate, read
// anew each time (a host may unpack another version of the FMU into the same folder and
// load it again, getting this pinned provider); when the location names no folder with
// settings, those beside the provider's own folder. Nothing, with the reason, when they
// cannot be read.
std::optional<FmuSettings> fmuSettings(fmi2String resourceLocation, std::string& failure);

// Makes the process ready for an instance of the FMU and attaches the calling thread; the
// library's functions, or null with the reason (also when the library or facade loaded
// already cannot serve this FMU). The host's callbacks receive the VM's last words should it
// end the process while it starts.
const LibraryFunctions* prepareProvider(const FmuSettings& fmu,
                                        const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure);

// The library once prepareProvider has succeeded; null before.
const LibraryFunctions* readyLibrary();
