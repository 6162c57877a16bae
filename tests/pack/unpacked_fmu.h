// An unpacked FMU as an FMI importer sees it: what modelDescription.xml says (read with
// pugixml) and the FMI functions of its Linux binary (loaded as a host loads it).
#pragma once

#include "fmi2_functions.h"
#include "loaded_library.h"

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

// binaries/linux64/<modelIdentifier>.so of the folder; fails the current test when it cannot
// be loaded or lacks an FMI function.
LoadedFmu loadBinary(const std::string& unpackedFolder, const std::string& modelIdentifier);

// The folder's resources as the file: URI a host passes to fmi2Instantiate.
std::string resourceLocation(const std::string& unpackedFolder);
