// One folder checked as a Java runtime: its release file tells the version, and the VM
// library must be where runtimes of version 9 and later keep it.
#include "java_runtime.h"

#include <cctype>
#include <fstream>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const fs::path vmLibraryInHome = fs::path("bin") / "server" / "jvm.dll";
#else
const fs::path vmLibraryInHome = fs::path("lib") / "server" / "libjvm.so";
#endif

// JAVA_VERSION="17.0.15" of the release file; empty when there is none.
std::string releaseVersion(const fs::path& home) {
    std::ifstream release(home / "release");
    const std::string key = "JAVA_VERSION=";
    for (std::string line; std::getline(release, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

}  // namespace

const char* const noSuchFolder = "no such folder";
const char* const notARuntime = "not a Java runtime: it has no release file";

int javaMajorVersion(const std::string& version) {
    auto number = [&version](size_t& at) {
        int value = 0;
        bool digits = false;
        for (; at < version.size() && std::isdigit(static_cast<unsigned char>(version[at])); ++at) {
            if (value > 100000) return -1;
            value = value * 10 + (version[at] - '0');
            digits = true;
        }
        return digits ? value : -1;
    };
    size_t at = 0;
    int major = number(at);
    if (major == 1 && at < version.size() && version[at] == '.') {
        ++at;
        major = number(at);  // 1.8.0_392 is Java 8
    }
    return major < 0 ? 0 : major;
}

HomeCheck checkJavaHome(const fs::path& home) {
    std::error_code error;
    if (!fs::is_directory(home, error)) return {std::nullopt, noSuchFolder};
    const std::string version = releaseVersion(home);
    if (version.empty()) return {std::nullopt, notARuntime};
    const int major = javaMajorVersion(version);
    if (major < minimumJavaVersion) {
        return {std::nullopt, "Java " + version + ", older than " +
                                  std::to_string(minimumJavaVersion)};
    }
    const fs::path library = home / vmLibraryInHome;
    if (!fs::is_regular_file(library, error)) {
        return {std::nullopt, "Java " + version + " without " + pathText(vmLibraryInHome)};
    }
    return {JavaRuntime{home, library, version, {}}, {}};
}

std::string pathText(const fs::path& path) {
#ifdef _WIN32
    return path.u8string();
#else
    return path.string();
#endif
}
