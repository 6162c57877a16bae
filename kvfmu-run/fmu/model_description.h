// What the runner needs from an FMU's modelDescription.xml.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// A variable's causality and variability as modelDescription.xml gives them.
enum class Causality { parameter, calculatedParameter, input, output, local, independent };
enum class Variability { constant, fixed, tunable, discrete, continuous };

// Their names in modelDescription.xml ("calculatedParameter", "tunable", ...).
const char* causalityName(Causality causality);
const char* variabilityName(Variability variability);

struct ModelVariable {
    std::string name;
    std::uint32_t valueReference = 0;
    Causality causality = Causality::local;
    Variability variability = Variability::continuous;
    std::string type;         // "Real", "Integer", "Boolean", "String" or "Enumeration"
    std::optional<double> start;
    std::string unit;
    std::string description;
};

struct DefaultExperiment {
    std::optional<double> startTime;
    std::optional<double> stopTime;
    std::optional<double> stepSize;
};

struct ModelDescription {
    std::string fmiVersion;
    std::string modelName;
    std::string guid;
    std::string modelIdentifier;  // of the CoSimulation element
    std::string generationTool;
    std::string description;
    DefaultExperiment defaultExperiment;
    std::vector<ModelVariable> variables;

    std::vector<const ModelVariable*> withCausality(Causality causality) const;
    const ModelVariable* find(const std::string& name) const;
};

// Reads and checks the file. Throws RunError: noModelDescription when it does not exist,
// invalidModelDescription when it is no well-formed model description or lacks a required
// attribute or has an unknown causality or variability, notFmi2CoSimulation when it is not FMI 2.0 or not co-simulation, or when an
// input or output is not of type Real.
ModelDescription readModelDescription(const std::filesystem::path& file);

// The same for XML text; `origin` names it in messages.
ModelDescription parseModelDescription(const std::string& xml, const std::string& origin);
