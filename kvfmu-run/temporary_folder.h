// A private folder under the system's temporary directory ($TMPDIR or /tmp) that is
// removed with everything in it when the object goes, however the run ends: normally, by
// an exception, or by a library that calls exit() (the Java VM, PLplot).
#pragma once

#include <filesystem>

// Removes every temporary folder still present; for exit paths that skip destructors and
// exit handlers.
void removeTemporaryFolders();
// The same from a signal handler: skipped if the interrupted code is creating or removing a
// folder at that moment.
void removeTemporaryFoldersFromSignal();

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
