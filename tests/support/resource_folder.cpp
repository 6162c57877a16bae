#include "resource_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const fs::path& root() {
    static const fs::path made = [] {
        std::string pattern = (fs::temp_directory_path() / "kvfmu resources XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::perror("mkdtemp");
        return fs::path(pattern);
    }();
    return made;
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
