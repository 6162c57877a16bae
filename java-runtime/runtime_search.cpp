// The order in which a Java runtime is looked for, and what is said when none is found.
#include "environment.h"
#include "java_runtime.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

// The first java launcher on PATH, as the shell would run it.
std::optional<fs::path> javaOnPath() {
    for (const fs::path& folder : searchPath()) {
        const fs::path launcher = folder / javaLauncherName();
        if (isFile(launcher)) return launcher;
    }
    return std::nullopt;
}

// Version numbers compared number by number: 17.0.9 before 17.0.15.
bool newer(const std::string& a, const std::string& b) {
    auto numbers = [](const std::string& version) {
        std::vector<long> parts;
        long value = -1;
        for (char c : version + ".") {
            if (c >= '0' && c <= '9') {
                value = (value < 0 ? 0 : value) * 10 + (c - '0');
                if (value > 1000000) value = 1000000;
            } else if (value >= 0) {
                parts.push_back(value);
                value = -1;
            }
        }
        return parts;
    };
    return numbers(a) > numbers(b);
}

class Search {
public:
    RuntimeSearch result;

    // Takes the folder when it is a usable runtime; notes why not otherwise.
    bool tryHome(const fs::path& home, const std::string& through, const std::string& label) {
        HomeCheck check = checkJavaHome(home);
        if (!check.runtime) {
            result.looked.push_back(label + " (" + check.problem + ")");
            return false;
        }
        check.runtime->foundThrough = through;
        result.runtime = check.runtime;
        return true;
    }

    // The newest usable runtime among the subfolders.
    bool tryParent(const fs::path& parent) {
        std::error_code error;
        std::vector<fs::path> children;
        for (fs::directory_iterator it(parent, error), end; !error && it != end; it.increment(error))
            children.push_back(it->path());
        if (children.empty()) {
            result.looked.push_back(pathText(parent / "*") +
                                    (fs::is_directory(parent, error) ? " (empty)" : " (no such folder)"));
            return false;
        }
        std::sort(children.begin(), children.end());
        std::optional<JavaRuntime> best;
        const size_t noted = result.looked.size();
        for (const fs::path& child : children) {
            HomeCheck check = checkJavaHome(child);
            if (check.runtime) {
                if (!best || newer(check.runtime->version, best->version)) best = check.runtime;
            } else if (check.problem != notARuntime && check.problem != noSuchFolder) {
                result.looked.push_back(pathText(child) + " (" + check.problem + ")");
            }
        }
        if (!best && result.looked.size() == noted)
            result.looked.push_back(pathText(parent / "*") + " (no Java runtime)");
        if (!best) return false;
        best->foundThrough = pathText(parent / "*");
        result.runtime = best;
        return true;
    }
};

}  // namespace

RuntimeSearch findJavaRuntime(const UsualPlaces& places) {
    Search search;
    if (const auto home = environmentPath("JAVA_HOME")) {
        if (search.tryHome(*home, "JAVA_HOME", "JAVA_HOME=" + pathText(*home))) return search.result;
        search.result.passedOverJavaHome = search.result.looked.back();
    } else {
        search.result.looked.push_back("JAVA_HOME (not set)");
    }
    if (const auto launcher = javaOnPath()) {
        const fs::path resolved = resolveLinks(*launcher);
        std::string label = "java on PATH: " + pathText(*launcher);
        if (resolved != *launcher) label += " -> " + pathText(resolved);
        const fs::path home = resolved.parent_path().parent_path();  // <home>/bin/java
        if (search.tryHome(home, "java on PATH", label)) return search.result;
    } else {
        search.result.looked.push_back(std::string(javaLauncherName()) + " on PATH (not found)");
    }
    for (const fs::path& home : places.homes) {
        if (search.tryHome(home, pathText(home), pathText(home))) return search.result;
    }
    for (const fs::path& parent : places.parents) {
        if (search.tryParent(parent)) return search.result;
    }
    return search.result;
}

std::string noRuntimeMessage(const RuntimeSearch& search) {
    std::string message = "no Java " + std::to_string(minimumJavaVersion) +
                          "+ runtime found: set JAVA_HOME to a JDK or JRE of version " +
                          std::to_string(minimumJavaVersion) + " or later";
#ifndef _WIN32
    message += " (on Debian: apt-get install openjdk-17-jre-headless)";
#endif
    message += " (looked in: ";
    for (size_t i = 0; i < search.looked.size(); ++i)
        message += (i ? "; " : "") + search.looked[i];
    return message + ")";
}

std::string runtimeDescription(const JavaRuntime& runtime) {
    return "Java " + runtime.version + " at " + pathText(runtime.home) + ", found through " +
           runtime.foundThrough;
}

std::string passedOverJavaHomeWarning(const RuntimeSearch& search) {
    if (!search.runtime || search.passedOverJavaHome.empty()) return {};
    return search.passedOverJavaHome + " is not a usable Java runtime and was passed over; using " +
           runtimeDescription(*search.runtime) + " instead (set JAVA_HOME to a runtime of version " +
           std::to_string(minimumJavaVersion) + " or later, or unset it)";
}
