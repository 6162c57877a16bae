// A private folder under the system's temporary directory ($TMPDIR or /tmp) that is
// removed with everything in it when the object goes, however the run ends: normally, by
// an exception, or by a library that calls exit() (the Java VM, PLplot).
#pragma once

#include <filesystem>

// Removes every registered path still present; for exit paths that skip destructors and
// exit handlers. Runs the final words first, once.
void removeTemporaryFolders();
// What removeTemporaryFolders does first (finishing the active run's result files).
void setFinalWords(void (*finalWords)());
// The same from a signal handler: only async-signal-safe calls (no allocation, no lock).
void removeTemporaryFoldersFromSignal();

// Registers a path (a folder or a file) to be removed at exit or on a signal, until it is
// released. Paths too long for the registry are not registered; false then.
bool registerTemporaryPath(const std::filesystem::path& path);
void releaseTemporaryPath(const std::filesystem::path& path);

class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
