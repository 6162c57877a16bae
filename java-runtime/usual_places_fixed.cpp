// Usual places given at compile time, for test builds that must not find the machine's own
// runtimes: KVFMU_USUAL_JAVA_HOMES and KVFMU_USUAL_JAVA_PARENTS, each a list separated by '|'.
#include "java_runtime.h"

#include "text_parts.h"

namespace {

std::vector<FilePath> split(const std::string& list) {
    std::vector<FilePath> paths;
    for (const std::string& entry : textParts(list, '|'))
        if (!entry.empty()) paths.emplace_back(entry);
    return paths;
}

}  // namespace

UsualPlaces usualJavaPlaces() {
    return {split(KVFMU_USUAL_JAVA_HOMES), split(KVFMU_USUAL_JAVA_PARENTS)};
}
