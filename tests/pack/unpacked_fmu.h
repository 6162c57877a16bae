// An unpacked FMU as an FMI importer sees it: what modelDescription.xml says (read with
// pugixml) and the co-simulation functions of its Linux binary (loaded with dlopen).
#pragma once

#include "fmi2_functions.h"

#include <string>
#include <vector>

struct FmuVariable {
    std::string name;
    std::string causality;
    fmi2ValueReference valueReference;
    bool hasStart;
    double start;
};

struct FmuDescription {
    std::string guid;
    std::string modelIdentifier;
    std::vector<FmuVariable> variables;

    std::vector<const FmuVariable*> with(const std::string& causality) const;
};

// Fails the current test when the file cannot be parsed.
FmuDescription readDescription(const std::string& unpackedFolder);

struct FmuBinary {
    void* handle = nullptr;
    decltype(&fmi2Instantiate) instantiate = nullptr;
    decltype(&fmi2SetupExperiment) setupExperiment = nullptr;
    decltype(&fmi2EnterInitializationMode) enterInitializationMode = nullptr;
    decltype(&fmi2ExitInitializationMode) exitInitializationMode = nullptr;
    decltype(&fmi2SetReal) setReal = nullptr;
    decltype(&fmi2GetReal) getReal = nullptr;
    decltype(&fmi2DoStep) doStep = nullptr;
    decltype(&fmi2Terminate) terminate = nullptr;
    decltype(&fmi2FreeInstance) freeInstance = nullptr;
};

// binaries/linux64/<modelIdentifier>.so of the folder; fails the current test for a missing
// file or function (freeInstance is then null).
FmuBinary loadBinary(const std::string& unpackedFolder, const std::string& modelIdentifier);

// The folder's resources as the file: URI a host passes to fmi2Instantiate.
std::string resourceLocation(const std::string& unpackedFolder);
