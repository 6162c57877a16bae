// A small FMI 2.0 importer that knows nothing of kvfmu: it unpacks a .fmu (libzip), reads
// modelDescription.xml (pugixml), loads binaries/linux64/<modelIdentifier>.so as hosts do
// (local symbols) and runs co-simulations with the recording logger and the counting
// allocator of tests/support/host.h.
#pragma once

#include "fmi2_functions.h"
#include "loaded_library.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct ImportedVariable {
    std::string name;
    std::string causality;
    std::string variability;
    fmi2ValueReference valueReference;
    std::optional<double> start;  // the Real element's start attribute, when it has one
};

struct UnpackedFmu {
    std::filesystem::path folder;
    std::string modelIdentifier;
    std::string guid;
    std::vector<ImportedVariable> variables;

    std::vector<fmi2ValueReference> outputs() const;
    // The variables of a causality ("input", "parameter", ...), in the description's order.
    std::vector<ImportedVariable> withCausality(const std::string& causality) const;
    const ImportedVariable& variable(const std::string& name) const;  // throws if unknown
    fmi2ValueReference reference(const std::string& name) const;  // fails the test if unknown
    std::filesystem::path binary() const;
    std::string resourceUri() const;
};

// Unpacks the archive into the folder, which must not exist yet.
UnpackedFmu unpackFmu(const std::filesystem::path& archive, const std::filesystem::path& folder);

using FmuBinaryFunctions = LoadedFmu;

// The binary (the FMU's own, or the one given in its place) loaded as a host loads it; fails
// the test when it cannot be loaded or lacks an FMI function.
FmuBinaryFunctions loadFmuBinary(const std::filesystem::path& binary);
void unloadFmuBinary(FmuBinaryFunctions& binary);

// One instance stepped by the host: rows of time and outputs, the first right after
// initialization, as kvfmu-run writes them.
class HostedInstance {
public:
    HostedInstance(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu, const std::string& name);
    ~HostedInstance();
    HostedInstance(const HostedInstance&) = delete;
    HostedInstance& operator=(const HostedInstance&) = delete;

    bool instantiated() const { return component_ != nullptr; }
    fmi2Component component() const { return component_; }
    void set(const std::string& input, double value);
    fmi2Status trySet(const std::string& variable, double value);
    double get(const std::string& variable);
    void initialize(double start, double stop);
    // initialize() in its two halves, for what a host does in initialization mode.
    void enterInitialization(double start, double stop);
    // Initialization mode without a new fmi2SetupExperiment, after fmi2Reset: the last
    // set-up holds, with its start time.
    void enterInitializationAsSetUpBefore();
    void exitInitialization();
    void step(double h);
    fmi2Status tryStep(double h);  // a failed step puts the instance in its error state
    void terminate();
    // fmi2Reset: the instance is back to where fmi2Instantiate left it, and its rows are
    // cleared for the next run.
    void reset();
    void free();
    const std::vector<std::vector<double>>& rows() const { return rows_; }

private:
    void readRow();

    const FmuBinaryFunctions& binary_;
    const UnpackedFmu& fmu_;
    fmi2CallbackFunctions callbacks_;
    fmi2Component component_ = nullptr;
    bool initialized_ = false;  // whether fmi2Terminate is due before fmi2FreeInstance
    double time_ = 0;
    long steps_ = 0;
    double start_ = 0;
    std::vector<std::vector<double>> rows_;
};

// A whole co-simulation from 0 to stop in steps of h on one instance.
std::vector<std::vector<double>> simulate(const FmuBinaryFunctions& binary, const UnpackedFmu& fmu,
                                          const std::string& name, double stop, double h,
                                          const std::vector<std::pair<std::string, double>>& inputs = {});
