// Finding a Java runtime of version 17 or later whose VM library can be loaded: JAVA_HOME,
// then `java` on PATH (its links resolved), then the platform's usual places.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

constexpr int minimumJavaVersion = 17;

struct JavaRuntime {
    std::filesystem::path home;
    std::filesystem::path vmLibrary;  // lib/server/libjvm.so, bin\server\jvm.dll
    std::string version;              // as its release file gives it, e.g. "17.0.15"
    std::string foundThrough;         // e.g. "JAVA_HOME", "java on PATH"
};

// What a folder holds: a usable runtime, or why not (e.g. "Java 11.0.2, older than 17").
struct HomeCheck {
    std::optional<JavaRuntime> runtime;
    std::string problem;
};
HomeCheck checkJavaHome(const std::filesystem::path& home);
// The problems of folders that are no runtime at all.
extern const char* const noSuchFolder;
extern const char* const notARuntime;

// The major version of a release file's JAVA_VERSION ("1.8.0_392" -> 8, "17.0.15" -> 17);
// 0 when it is not a version.
int javaMajorVersion(const std::string& version);

// Where a search looks after JAVA_HOME and PATH, in order: folders that are runtimes, then
// folders whose subfolders are runtimes (the newest of these is taken).
struct UsualPlaces {
    std::vector<std::filesystem::path> homes;
    std::vector<std::filesystem::path> parents;
};
// The platform's usual places. The shipped build knows the real ones; test builds are
// given theirs at compile time.
UsualPlaces usualJavaPlaces();

struct RuntimeSearch {
    std::optional<JavaRuntime> runtime;
    std::vector<std::string> looked;  // each place looked at, with what was wrong there
    // A JAVA_HOME that is set but was passed over, with what is wrong with it, e.g.
    // "JAVA_HOME=/opt/java (no such folder)"; empty otherwise.
    std::string passedOverJavaHome;
};
RuntimeSearch findJavaRuntime(const UsualPlaces& places);

// "no Java 17+ runtime found: set JAVA_HOME to ... (looked in: ...)".
std::string noRuntimeMessage(const RuntimeSearch& search);

// "Java 17.0.15 at /usr/lib/jvm/java-17-openjdk-amd64, found through JAVA_HOME"
std::string runtimeDescription(const JavaRuntime& runtime);

// The warning when a runtime was found but JAVA_HOME, which is set, was passed over; empty
// otherwise.
std::string passedOverJavaHomeWarning(const RuntimeSearch& search);

// A path as UTF-8 text for messages.
std::string pathText(const std::filesystem::path& path);
