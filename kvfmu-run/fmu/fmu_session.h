// An FMU opened for runs: unpacked into a private temporary folder, its model description
// read; then the Java VM started with the FMU's jars and its binary loaded, once for all
// runs of the process.
#pragma once

#include "fmu_binary.h"
#include "model_description.h"
#include "temporary_folder.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class FmuSession {
public:
    // Unpacks the FMU and reads its model description. Throws RunError.
    explicit FmuSession(const std::filesystem::path& fmu);

    // The binary for this platform. Throws RunError(noBinary) when the FMU has none.
    std::filesystem::path binary() const;
    // Starts (or finds) the Java VM with these options (see startJavaVm) and loads the
    // binary. Throws RunError.
    void load(const std::vector<std::string>& vmOptions,
              const std::vector<std::string>& runnerDefaults = {});

    const ModelDescription& model() const { return model_; }
    const std::filesystem::path& resources() const { return resources_; }
    // The file: URI of the resources folder, handed to fmi2Instantiate.
    const std::string& resourceUri() const { return resourceUri_; }
    const FmuFunctions& functions() const { return binary_->functions(); }

private:
    TemporaryFolder folder_;
    std::filesystem::path unpacked_;
    std::filesystem::path resources_;
    std::string resourceUri_;
    ModelDescription model_;
    std::unique_ptr<FmuBinary> binary_;
};
