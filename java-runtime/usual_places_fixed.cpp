// Usual places given at compile time, for test builds that must not find the machine's own
// runtimes: KVFMU_USUAL_JAVA_HOMES and KVFMU_USUAL_JAVA_PARENTS, each a list separated by '|'.
#include "java_runtime.h"

#include <sstream>
#include <string>

namespace {

std::vector<std::filesystem::path> split(const std::string& list) {
    std::vector<std::filesystem::path> paths;
    std::istringstream entries(list);
    for (std::string entry; std::getline(entries, entry, '|');)
        if (!entry.empty()) paths.emplace_back(entry);
    return paths;
}

}  // namespace

UsualPlaces usualJavaPlaces() {
    return {split(KVFMU_USUAL_JAVA_HOMES), split(KVFMU_USUAL_JAVA_PARENTS)};
}
