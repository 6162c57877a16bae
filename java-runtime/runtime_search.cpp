// The order in which a Java runtime is looked for, and what is said when none is found.
#include "environment.h"
#include "java_runtime.h"

#include <algorithm>

namespace {

// The first java launcher on PATH, as the shell would run it.
std::optional<FilePath> javaOnPath() {
    for (const FilePath& folder : searchPath()) {
        const FilePath launcher = folder / javaLauncherName();
        if (isRegularFile(launcher)) return launcher;
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
    bool tryHome(const FilePath& home, const std::string& through, const std::string& label) {
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
    bool tryParent(const FilePath& parent) {
        const std::vector<FilePath> children = folderEntries(parent);
        if (children.empty()) {
            result.looked.push_back(pathText(parent / "*") +
                                    (isDirectory(parent) ? " (empty)" : " (no such folder)"));
            return false;
        }
        std::optional<JavaRuntime> best;
        const size_t noted = result.looked.size();
        for (const FilePath& child : children) {
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
        const FilePath resolved = resolveLinks(*launcher);
        std::string label = "java on PATH: " + pathText(*launcher);
        if (resolved != *launcher) label += " -> " + pathText(resolved);
        const FilePath home = resolved.parent().parent();  // <home>/bin/java
        if (search.tryHome(home, "java on PATH", label)) return search.result;
    } else {
        search.result.looked.push_back(std::string(javaLauncherName()) + " on PATH (not found)");
    }
    for (const FilePath& home : places.homes) {
        if (search.tryHome(home, pathText(home), pathText(home))) return search.result;
    }
    for (const FilePath& parent : places.parents) {
        if (search.tryParent(parent)) return search.result;
    }
    return search.result;
}

RuntimeSearch findJavaRuntimeFor(const FilePath& resources, const UsualPlaces& places) {
    if (resources.empty()) return findJavaRuntime(places);
#ifdef _WIN32
    const FilePath bundled = resources / "runtime" / "win64";
#else
    const FilePath bundled = resources / "runtime" / "linux64";
#endif
    HomeCheck check = checkJavaHome(bundled);
    if (check.runtime) {
        check.runtime->foundThrough = "the FMU's own runtime";
#ifndef _WIN32
        // Hosts unpack FMUs without the files' permissions, so the runtime's helper for
        // starting processes (lib/jspawnhelper) is no program any more: Java code of the
        // model starts its processes the way that needs no helper.
        check.runtime->vmOptions = {"-Djdk.lang.Process.launchMechanism=VFORK"};
#endif
        RuntimeSearch found;
        found.runtime = check.runtime;
        return found;
    }
    RuntimeSearch search = findJavaRuntime(places);
    if (check.problem != noSuchFolder)
        search.looked.insert(search.looked.begin(), "the FMU's runtime " + pathText(bundled) + " (" +
                                                        check.problem + ")");
    return search;
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
