// What the provider sets up once per process on the first fmi2Instantiate that needs it:
// the FMU's settings, the Java VM (the one running in the process, or one it starts), the
// library, and a facade the VM can load.
#pragma once

#include "library_functions.h"
#include "provider_settings.h"

#include <string>

// The FMU's settings from resources/provider.conf beside the provider's folder; null with
// the reason when they cannot be read.
const ProviderSettings* providerSettings(std::string& failure);

// Makes the process ready for an instance and attaches the calling thread; the library's
// functions, or null with the reason. The host's callbacks receive the VM's last words
// should it end the process while it starts.
const LibraryFunctions* prepareProvider(const fmi2CallbackFunctions* functions,
                                        fmi2String instanceName, std::string& failure);

// The library once prepareProvider has succeeded; null before.
const LibraryFunctions* readyLibrary();
