#include "resource_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The temporary folder of this process, removed again at exit.
struct TemporaryRoot {
    fs::path path;
    TemporaryRoot() {
        std::string pattern = (fs::temp_directory_path() / "kvfmu resources XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            path = pattern;
        } else {
            std::perror("mkdtemp");
        }
    }
    ~TemporaryRoot() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

const fs::path& root() {
    static const TemporaryRoot made;
    return made.path;
}

std::string fileUri(const fs::path& folder) {
    std::string uri = "file://";
    for (char c : folder.string()) {
        if (c == ' ') {
            uri += "%20";
        } else {
            uri += c;
        }
    }
    return uri;
}

}  // namespace

std::string resourceFolderUri(const std::string& name, const std::vector<std::string>& lines,
                              const std::vector<std::string>& files) {
    const fs::path folder = root() / name;
    fs::create_directories(folder);
    std::ofstream descriptor(folder / "model.properties");
    for (const std::string& line : lines) descriptor << line << '\n';
    for (const std::string& file : files) {
        fs::copy_file(file, folder / fs::path(file).filename(),
                      fs::copy_options::overwrite_existing);
    }
    return fileUri(folder);
}
