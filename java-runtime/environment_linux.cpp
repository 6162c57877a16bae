#include "environment.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

std::optional<fs::path> environmentPath(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return fs::path(value);
}

std::vector<fs::path> searchPath() {
    std::vector<fs::path> folders;
    const char* value = std::getenv("PATH");
    std::istringstream entries(value ? value : "");
    for (std::string entry; std::getline(entries, entry, ':');)
        folders.emplace_back(entry.empty() ? "." : entry);  // an empty entry is the current folder
    return folders;
}

const char* javaLauncherName() { return "java"; }

fs::path resolveLinks(const fs::path& file) {
    std::error_code error;
    fs::path resolved = fs::canonical(file, error);
    return error ? file : resolved;
}
