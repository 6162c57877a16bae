#include "experiment_setups.h"

#include <map>
#include <mutex>

namespace {

// Instances may be set up and freed on different threads at once.
std::mutex setupsLock;
std::map<fmi2Component, ExperimentSetup> setups;

}  // namespace

void rememberSetup(fmi2Component component, const ExperimentSetup& setup) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    setups[component] = setup;
}

std::optional<ExperimentSetup> lastSetup(fmi2Component component) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    const auto found = setups.find(component);
    if (found == setups.end()) return std::nullopt;
    return found->second;
}

void forgetSetup(fmi2Component component) {
    const std::lock_guard<std::mutex> lock(setupsLock);
    setups.erase(component);
}
