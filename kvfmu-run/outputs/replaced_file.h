// A result file written beside its target under a temporary name and renamed into place when
// complete: the target is its old self or whole and new, never half written or empty. The
// partial file is removed when the object goes uncommitted, at exit and on a signal.
#pragma once

#include <filesystem>

class ReplacedFile {
public:
    // Creates the partial file, and missing folders on the way to the target. Throws
    // RunError(outputNotWritable).
    explicit ReplacedFile(const std::filesystem::path& target);
    ~ReplacedFile();
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

    const std::filesystem::path& target() const { return target_; }
    const std::filesystem::path& partial() const { return partial_; }
    // The partial file's descriptor, open for writing; taken over by the caller.
    int takeDescriptor();
    // Renames the partial file into place. Throws RunError(outputNotWritable).
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path partial_;
    int descriptor_ = -1;
    bool committed_ = false;
};

// Creates the folders on the way to `file` that are missing. Throws
// RunError(outputNotWritable) naming `what` ("output file", "plot file").
void createParentFolders(const std::filesystem::path& file, const std::string& what);
