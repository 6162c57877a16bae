#include "model_description.h"

#include "exit_codes.h"
#include "numbers.h"

#include <pugixml.hpp>

#include <array>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

[[noreturn]] void invalid(const std::string& origin, const std::string& what) {
    throw RunError(ExitCode::invalidModelDescription, origin + ": " + what);
}

std::optional<double> optionalNumber(const pugi::xml_node& node, const char* attribute,
                                     const std::string& origin) {
    pugi::xml_attribute value = node.attribute(attribute);
    if (!value) return std::nullopt;
    std::optional<double> number = parseNumber(value.value());
    if (!number) {
        invalid(origin, std::string("<") + node.name() + "> " + attribute + "=\"" + value.value() +
                            "\" is not a number");
    }
    return number;
}

std::string requiredText(const pugi::xml_node& node, const char* attribute,
                         const std::string& origin) {
    pugi::xml_attribute value = node.attribute(attribute);
    if (!value || !*value.value()) {
        invalid(origin, std::string("<") + node.name() + "> lacks the attribute " + attribute);
    }
    return value.value();
}

std::uint32_t valueReferenceOf(const pugi::xml_node& variable, const std::string& name,
                               const std::string& origin) {
    std::string text = requiredText(variable, "valueReference", origin);
    std::optional<double> number = parseNumber(text);
    if (!number || *number < 0 || *number > std::numeric_limits<std::uint32_t>::max() ||
        *number != static_cast<double>(static_cast<std::uint32_t>(*number))) {
        invalid(origin, "variable " + name + ": valueReference \"" + text +
                            "\" is not an unsigned 32-bit integer");
    }
    return static_cast<std::uint32_t>(*number);
}

// The unit of a Real, given directly or through its declared type.
std::string unitOf(const pugi::xml_node& real, const pugi::xml_node& root) {
    if (pugi::xml_attribute unit = real.attribute("unit")) return unit.value();
    if (pugi::xml_attribute declared = real.attribute("declaredType")) {
        pugi::xml_node type = root.child("TypeDefinitions")
                                  .find_child_by_attribute("SimpleType", "name", declared.value());
        return type.child("Real").attribute("unit").value();
    }
    return {};
}

constexpr std::array<std::pair<Causality, const char*>, 6> causalities = {{
    {Causality::parameter, "parameter"},
    {Causality::calculatedParameter, "calculatedParameter"},
    {Causality::input, "input"},
    {Causality::output, "output"},
    {Causality::local, "local"},
    {Causality::independent, "independent"},
}};
constexpr std::array<std::pair<Variability, const char*>, 5> variabilities = {{
    {Variability::constant, "constant"},
    {Variability::fixed, "fixed"},
    {Variability::tunable, "tunable"},
    {Variability::discrete, "discrete"},
    {Variability::continuous, "continuous"},
}};

// The value of the attribute among the names, the default when it is absent.
template <typename Value, size_t count>
Value namedValue(const pugi::xml_node& scalar, const char* attribute,
                 const std::array<std::pair<Value, const char*>, count>& names, Value otherwise,
                 const std::string& variable, const std::string& origin) {
    const pugi::xml_attribute given = scalar.attribute(attribute);
    if (!given) return otherwise;
    for (const auto& [value, name] : names) {
        if (std::strcmp(given.value(), name) == 0) return value;
    }
    invalid(origin, "variable " + variable + ": " + attribute + " \"" + given.value() +
                        "\" is none of FMI 2.0's");
}

ModelVariable readVariable(const pugi::xml_node& scalar, const pugi::xml_node& root,
                           const std::string& origin) {
    ModelVariable variable;
    variable.name = requiredText(scalar, "name", origin);
    variable.valueReference = valueReferenceOf(scalar, variable.name, origin);
    variable.causality = namedValue(scalar, "causality", causalities, Causality::local,
                                    variable.name, origin);
    variable.variability = namedValue(scalar, "variability", variabilities,
                                      Variability::continuous, variable.name, origin);
    variable.description = scalar.attribute("description").value();
    for (const char* type : {"Real", "Integer", "Boolean", "String", "Enumeration"}) {
        if (pugi::xml_node element = scalar.child(type)) {
            variable.type = type;
            if (variable.type == "Real") {
                variable.start = optionalNumber(element, "start", origin);
                variable.unit = unitOf(element, root);
            }
            break;
        }
    }
    if (variable.type.empty())
        invalid(origin, "variable " + variable.name + " has no type element");
    if ((variable.causality == Causality::input || variable.causality == Causality::output) &&
        variable.type != "Real") {
        throw RunError(ExitCode::notFmi2CoSimulation,
                       origin + ": " + causalityName(variable.causality) + " " + variable.name + " is of type " +
                           variable.type + "; this runner exchanges Real inputs and outputs only");
    }
    return variable;
}

}  // namespace

const char* causalityName(Causality causality) {
    for (const auto& [value, name] : causalities) {
        if (value == causality) return name;
    }
    return "?";
}

const char* variabilityName(Variability variability) {
    for (const auto& [value, name] : variabilities) {
        if (value == variability) return name;
    }
    return "?";
}

std::vector<const ModelVariable*> ModelDescription::withCausality(Causality causality) const {
    std::vector<const ModelVariable*> found;
    for (const auto& variable : variables) {
        if (variable.causality == causality) found.push_back(&variable);
    }
    return found;
}

const ModelVariable* ModelDescription::find(const std::string& name) const {
    for (const auto& variable : variables) {
        if (variable.name == name) return &variable;
    }
    return nullptr;
}

ModelDescription parseModelDescription(const std::string& xml, const std::string& origin) {
    pugi::xml_document document;
    pugi::xml_parse_result parsed = document.load_buffer(xml.data(), xml.size());
    if (!parsed) {
        invalid(origin, std::string("not well-formed XML (") + parsed.description() + " at byte " +
                            std::to_string(parsed.offset) + ")");
    }
    pugi::xml_node root = document.document_element();
    if (std::string(root.name()) != "fmiModelDescription") {
        invalid(origin, std::string("the root element is <") + root.name() +
                            ">, not <fmiModelDescription>");
    }

    ModelDescription model;
    model.fmiVersion = root.attribute("fmiVersion").value();
    if (model.fmiVersion != "2.0") {
        throw RunError(ExitCode::notFmi2CoSimulation,
                       origin + ": fmiVersion is \"" + model.fmiVersion + "\"; FMI 2.0 is needed");
    }
    pugi::xml_node coSimulation = root.child("CoSimulation");
    if (!coSimulation) {
        throw RunError(ExitCode::notFmi2CoSimulation,
                       origin + ": no <CoSimulation> element; this is not a co-simulation FMU");
    }
    model.modelIdentifier = requiredText(coSimulation, "modelIdentifier", origin);
    model.modelName = requiredText(root, "modelName", origin);
    model.guid = requiredText(root, "guid", origin);
    model.generationTool = root.attribute("generationTool").value();
    model.description = root.attribute("description").value();

    if (pugi::xml_node experiment = root.child("DefaultExperiment")) {
        model.defaultExperiment.startTime = optionalNumber(experiment, "startTime", origin);
        model.defaultExperiment.stopTime = optionalNumber(experiment, "stopTime", origin);
        model.defaultExperiment.stepSize = optionalNumber(experiment, "stepSize", origin);
    }

    pugi::xml_node variables = root.child("ModelVariables");
    if (!variables) invalid(origin, "no <ModelVariables> element");
    for (pugi::xml_node scalar : variables.children("ScalarVariable")) {
        model.variables.push_back(readVariable(scalar, root, origin));
    }
    return model;
}

ModelDescription readModelDescription(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw RunError(ExitCode::noModelDescription,
                       "the FMU holds no modelDescription.xml at its top level");
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseModelDescription(text.str(), "modelDescription.xml");
}
