// One folder checked as a Java runtime: its release file tells the version, and the VM
// library must be where runtimes of version 9 and later keep it, built for our processor.
#include "java_runtime.h"

#include "text_parts.h"

#include <cctype>

namespace {

#ifdef _WIN32
const FilePath vmLibraryInHome = FilePath("bin") / "server" / "jvm.dll";
#else
const FilePath vmLibraryInHome = FilePath("lib") / "server" / "libjvm.so";
#endif

// JAVA_VERSION="17.0.15" of the release file; empty when there is none.
std::string releaseVersion(const FilePath& home) {
    std::string release;
    if (!readFileBytes(home / "release", release)) return {};
    const std::string key = "JAVA_VERSION=";
    for (std::string line : textParts(release, '\n')) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

enum class Machine { unknown, x86, x86_64, arm, arm64, other };

#if defined(__x86_64__) || defined(_M_X64)
constexpr Machine ourMachine = Machine::x86_64;
#elif defined(__aarch64__) || defined(_M_ARM64)
constexpr Machine ourMachine = Machine::arm64;
#else
constexpr Machine ourMachine = Machine::unknown;
#endif

const char* machineName(Machine machine) {
    switch (machine) {
        case Machine::x86: return "32-bit x86";
        case Machine::x86_64: return "x86-64";
        case Machine::arm: return "32-bit ARM";
        case Machine::arm64: return "ARM64";
        default: return "another processor";
    }
}

unsigned little(const unsigned char* bytes, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The processor a library is built for, from its ELF or PE header; unknown when the file
// is neither (the loader then says what is wrong with it).
Machine libraryMachine(const FilePath& library) {
    std::string bytes;
    if (!readFileBytes(library, bytes, 64) || bytes.size() < 64) return Machine::unknown;
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data());
    if (header[0] == 0x7f && header[1] == 'E' && header[2] == 'L' && header[3] == 'F' && header[5] == 1) {
        switch (little(header + 18, 2)) {
            case 3: return Machine::x86;
            case 62: return Machine::x86_64;
            case 40: return Machine::arm;
            case 183: return Machine::arm64;
            default: return Machine::other;
        }
    }
    if (header[0] != 'M' || header[1] != 'Z') return Machine::unknown;
    const size_t peAt = little(header + 0x3c, 4);
    if (peAt > 64 * 1024 || !readFileBytes(library, bytes, peAt + 6) || bytes.size() < peAt + 6)
        return Machine::unknown;
    const auto* pe = reinterpret_cast<const unsigned char*>(bytes.data()) + peAt;
    if (pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) return Machine::unknown;
    switch (little(pe + 4, 2)) {
        case 0x14c: return Machine::x86;
        case 0x8664: return Machine::x86_64;
        case 0x1c0: case 0x1c4: return Machine::arm;
        case 0xaa64: return Machine::arm64;
        default: return Machine::other;
    }
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

HomeCheck checkJavaHome(const FilePath& home) {
    if (!isDirectory(home)) return {std::nullopt, noSuchFolder};
    const std::string version = releaseVersion(home);
    if (version.empty()) return {std::nullopt, notARuntime};
    const int major = javaMajorVersion(version);
    if (major < minimumJavaVersion) {
        return {std::nullopt, "Java " + version + ", older than " +
                                  std::to_string(minimumJavaVersion)};
    }
    const FilePath library = home / vmLibraryInHome;
    if (!isRegularFile(library)) {
        return {std::nullopt, "Java " + version + " without " + pathText(vmLibraryInHome)};
    }
    const Machine machine = libraryMachine(library);
    if (machine != Machine::unknown && ourMachine != Machine::unknown && machine != ourMachine) {
        return {std::nullopt, "Java " + version + " for " + machineName(machine) + ", not for " +
                                  machineName(ourMachine)};
    }
    return {JavaRuntime{home, library, version, {}, {}}, {}};
}
