#include "run_parameters.h"

#include "exit_codes.h"
#include "numbers.h"

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

}  // namespace

RunError packAgainToSetParameters(const std::string& where) {
    return RunError(ExitCode::unknownVariable,
                    where + ": the FMU declares no parameters in its model description: it was "
                            "packed by an earlier kvfmu-pack; pack it again to set its parameters");
}

std::vector<std::string> parameterNames(const std::string& properties) {
    std::vector<std::string> names;
    forEachParameter(physicalLines(properties),
                     [&](const std::string& name, size_t, size_t) { names.push_back(name); });
    return names;
}

std::vector<const ModelVariable*> parametersOf(const ModelDescription& model) {
    std::vector<const ModelVariable*> parameters;
    for (const ModelVariable* variable : model.withCausality(Causality::parameter)) {
        if (variable->type == "Real") parameters.push_back(variable);
    }
    return parameters;
}

bool packedBeforeParameterVariables(const ModelDescription& model,
                                    const std::filesystem::path& resources) {
    if (!parametersOf(model).empty()) return false;
    std::ifstream in(resources / "model.properties", std::ios::binary);
    std::ostringstream properties;
    properties << in.rdbuf();
    return !parameterNames(properties.str()).empty();
}

std::vector<ParameterValue> parameterValuesFor(const ModelDescription& model,
                                               const std::vector<NamedValue>& values,
                                               const std::filesystem::path& resources,
                                               const std::string& where) {
    const std::vector<const ModelVariable*> parameters = parametersOf(model);
    std::vector<ParameterValue> found;
    for (const auto& [name, value] : values) {
        const ModelVariable* parameter = nullptr;
        for (const ModelVariable* candidate : parameters) {
            if (candidate->name == name) parameter = candidate;
        }
        if (parameter) {
            found.push_back({name, parameter->valueReference, value});
            continue;
        }
        if (packedBeforeParameterVariables(model, resources)) {
            throw packAgainToSetParameters(where + " " + name);
        }
        throw RunError(ExitCode::unknownVariable, where + " " + name +
                                                      ": the model has no parameter " + name +
                                                      " (parameters: " + nameList(parameters) +
                                                      ")");
    }
    return found;
}
