#include "fmu_session.h"

#include "archive.h"
#include "file_uri.h"
#include "java_vm.h"

namespace fs = std::filesystem;

FmuSession::FmuSession(const fs::path& fmu) {
    unpacked_ = folder_.path() / "fmu";
    extractArchive(fmu, unpacked_);
    model_ = readModelDescription(unpacked_ / "modelDescription.xml");
    resources_ = unpacked_ / "resources";
    resourceUri_ = fileUri(fs::absolute(resources_));
}

fs::path FmuSession::binary() const {
    return binaryPath(unpacked_, model_.modelIdentifier);
}

void FmuSession::load(const std::vector<std::string>& vmOptions,
                      const std::vector<std::string>& runnerDefaults) {
    const fs::path library = binary();
    startJavaVm(jarsIn(resources_), vmOptions, runnerDefaults);
    binary_ = std::make_unique<FmuBinary>(library);
}
