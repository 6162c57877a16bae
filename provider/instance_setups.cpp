#include "instance_setups.h"

#include <map>
#include <mutex>

namespace {

// Instances may be made, set up and freed on different threads at once.
std::mutex setupsLock;
std::map<fmi2Component, InstanceSetup> setups;

}  // namespace

void rememberInstance(fmi2Component component, std::shared_ptr<const ProviderSettings> settings) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    setups[component] = {std::move(settings), std::nullopt};
}

void rememberExperiment(fmi2Component component, const ExperimentSetup& setup) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    const auto found = setups.find(component);
    if (found != setups.end()) found->second.experiment = setup;
}

std::optional<InstanceSetup> instanceSetup(fmi2Component component) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    const auto found = setups.find(component);
    if (found == setups.end()) return std::nullopt;
    return found->second;
}

void forgetInstance(fmi2Component component) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    setups.erase(component);
}
