// Parameter values for one run (-p, the runs file), checked against the parameters of the
// model description and set with fmi2SetReal before initialization.
#pragma once

#include "input_plan.h"
#include "exit_codes.h"
#include "model_description.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ParameterValue {
    std::string name;
    std::uint32_t valueReference = 0;
    double value = 0;
};

// The named parameters with their value references. Throws RunError(unknownVariable) for a
// name that is no Real parameter of the model (`where` names the origin in the message,
// e.g. "--param"), with a request to pack the FMU again when it declares no parameters but
// its resources/model.properties has some (packed before parameters were FMI variables).
std::vector<ParameterValue> parameterValuesFor(const ModelDescription& model,
                                               const std::vector<NamedValue>& values,
                                               const std::filesystem::path& resources,
                                               const std::string& where);

// Whether the FMU was packed before parameters were FMI variables: no parameters in its
// model description, but some in its resources/model.properties.
bool packedBeforeParameterVariables(const ModelDescription& model,
                                    const std::filesystem::path& resources);

// The refusal of a parameter name (given at `where`, e.g. "--param gain") of an FMU packed
// before parameters were FMI variables: a request to pack it again.
RunError packAgainToSetParameters(const std::string& where);

// The names of the parameter.<name> keys in a model.properties text, in file order.
std::vector<std::string> parameterNames(const std::string& properties);

// The Real parameters of the model, in the model description's order.
std::vector<const ModelVariable*> parametersOf(const ModelDescription& model);
