// Finding a Java runtime of version 17 or later whose VM library can be loaded: JAVA_HOME,
// then `java` on PATH (its links resolved), then the platform's usual places.
#pragma once

#include "file_path.h"

#include <optional>
#include <string>
#include <vector>

constexpr int minimumJavaVersion = 17;

struct JavaRuntime {
    FilePath home;
    FilePath vmLibrary;  // lib/server/libjvm.so, bin\server\jvm.dll
    std::string version;              // as its release file gives it, e.g. "17.0.15"
    std::string foundThrough;         // e.g. "JAVA_HOME", "java on PATH"
    // Options a VM of this runtime needs, before any other.
    std::vector<std::string> vmOptions;
};

// What a folder holds: a usable runtime, or why not (e.g. "Java 11.0.2, older than 17").
struct HomeCheck {
    std::optional<JavaRuntime> runtime;
    std::string problem;
};
HomeCheck checkJavaHome(const FilePath& home);
// The problems of folders that are no runtime at all.
extern const char* const noSuchFolder;
extern const char* const notARuntime;

// The major version of a release file's JAVA_VERSION ("1.8.0_392" -> 8, "17.0.15" -> 17);
// 0 when it is not a version.
int javaMajorVersion(const std::string& version);

// Where a search looks after JAVA_HOME and PATH, in order: folders that are runtimes, then
// folders whose subfolders are runtimes (the newest of these is taken).
struct UsualPlaces {
    std::vector<FilePath> homes;
    std::vector<FilePath> parents;
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

// The FMU's own runtime (resources/runtime/linux64 or win64, packed by kvfmu-pack
// --bundle-runtime) when it has a usable one; else the search above, which then also names
// what was wrong with the FMU's. No resources folder: the search above.
RuntimeSearch findJavaRuntimeFor(const FilePath& resources, const UsualPlaces& places);

// "no Java 17+ runtime found: set JAVA_HOME to ... (looked in: ...)".
std::string noRuntimeMessage(const RuntimeSearch& search);

// "Java 17.0.15 at /usr/lib/jvm/java-17-openjdk-amd64, found through JAVA_HOME"
std::string runtimeDescription(const JavaRuntime& runtime);

// The warning when a runtime was found but JAVA_HOME, which is set, was passed over; empty
// otherwise.
std::string passedOverJavaHomeWarning(const RuntimeSearch& search);

