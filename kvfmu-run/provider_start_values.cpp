#include "provider_start_values.h"

#include "provider_settings.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string exactText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

std::string withStartValues(const std::string& settings, const ModelDescription& model,
                            const std::vector<NamedValue>& values) {
    std::istringstream lines(settings);
    std::string result;
    for (std::string line; std::getline(lines, line);) {
        for (const auto& [name, value] : values) {
            for (const ModelVariable& variable : model.variables) {
                if (variable.name != name || variable.causality != "parameter") continue;
                const std::string key = "start " + std::to_string(variable.valueReference) + " ";
                if (line.rfind(key, 0) == 0) line = key + exactText(value);
            }
        }
        result += line + "\n";
    }
    return result;
}

void overrideProviderStartValues(const fs::path& resources, const ModelDescription& model,
                                 const std::vector<NamedValue>& values) {
    const fs::path file = resources / providerSettingsFile;
    std::ifstream in(file, std::ios::binary);
    if (!in || values.empty()) return;
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    std::ofstream(file, std::ios::binary | std::ios::trunc) << withStartValues(text.str(), model, values);
}
