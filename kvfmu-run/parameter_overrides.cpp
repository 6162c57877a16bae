#include "parameter_overrides.h"

#include "exit_codes.h"
#include "numbers.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const std::string parameterPrefix = "parameter.";

std::vector<std::string> physicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool continues(const std::string& line) {
    size_t backslashes = 0;
    for (auto it = line.rbegin(); it != line.rend() && *it == '\\'; ++it) ++backslashes;
    return backslashes % 2 == 1;
}

bool isBlankOrComment(const std::string& line) {
    size_t first = line.find_first_not_of(" \t\f");
    return first == std::string::npos || line[first] == '#' || line[first] == '!';
}

// The key of a property line with its escapes undone (\= \: \  and the like).
std::string keyOf(const std::string& line) {
    std::string key;
    size_t i = line.find_first_not_of(" \t\f");
    for (; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            key += line[++i];
        } else if (c == '=' || c == ':' || c == ' ' || c == '\t' || c == '\f') {
            break;
        } else {
            key += c;
        }
    }
    return key;
}

std::string escapedKey(const std::string& key) {
    std::string escaped;
    for (char c : key) {
        if (c == '=' || c == ':' || c == ' ' || c == '#' || c == '!' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

// Calls visit(name, first line, line count) for each parameter.<name> entry.
template <typename Visit>
void forEachParameter(const std::vector<std::string>& lines, Visit visit) {
    for (size_t i = 0; i < lines.size();) {
        size_t count = 1;
        if (!isBlankOrComment(lines[i])) {
            while (i + count - 1 < lines.size() - 1 && continues(lines[i + count - 1])) ++count;
            std::string key = keyOf(lines[i]);
            if (key.rfind(parameterPrefix, 0) == 0)
                visit(key.substr(parameterPrefix.size()), i, count);
        }
        i += count;
    }
}

std::string knownList(const std::vector<std::string>& names) {
    if (names.empty()) return "none";
    std::string list;
    for (const auto& name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

}  // namespace

std::vector<std::string> parameterNames(const std::string& properties) {
    std::vector<std::string> names;
    forEachParameter(physicalLines(properties),
                     [&](const std::string& name, size_t, size_t) { names.push_back(name); });
    return names;
}

std::string withParameterValues(const std::string& properties,
                                const std::vector<NamedValue>& values) {
    std::vector<std::string> lines = physicalLines(properties);
    const std::vector<std::string> known = parameterNames(properties);
    for (const auto& value : values) {
        if (std::find(known.begin(), known.end(), value.first) == known.end()) {
            throw RunError(ExitCode::unknownVariable,
                           "--param " + value.first + ": the model has no parameter " +
                               value.first + " (parameters: " + knownList(known) + ")");
        }
    }
    std::vector<bool> dropped(lines.size(), false);
    forEachParameter(lines, [&](const std::string& name, size_t first, size_t count) {
        for (const auto& [overridden, number] : values) {
            if (overridden != name) continue;
            lines[first] = parameterPrefix + escapedKey(name) + "=" + formatNumber(number);
            for (size_t k = 1; k < count; ++k) dropped[first + k] = true;
        }
    });
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!dropped[i]) text += lines[i] + "\n";
    }
    return text;
}

void overrideParameters(const std::filesystem::path& descriptor,
                        const std::vector<NamedValue>& values) {
    if (values.empty()) return;
    std::ifstream in(descriptor, std::ios::binary);
    if (!in) {
        throw RunError(
            ExitCode::unknownVariable,
            "--param " + values.front().first +
                ": the FMU has no resources/model.properties, so it takes no parameters");
    }
    std::ostringstream text;
    text << in.rdbuf();
    in.close();
    const std::string rewritten = withParameterValues(text.str(), values);
    std::ofstream out(descriptor, std::ios::binary | std::ios::trunc);
    out << rewritten;
    out.close();
    if (!out) throw RunError(ExitCode::internalError, "cannot rewrite " + descriptor.string());
}
