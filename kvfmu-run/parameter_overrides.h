// Parameter values for one run: rewrites the parameter.<name> lines of the model
// descriptor (resources/model.properties, java.util.Properties syntax) in the unpacked copy.
#pragma once

#include "input_plan.h"

#include <filesystem>
#include <string>
#include <vector>

// The names of the parameter.<name> keys in the descriptor text, in file order.
std::vector<std::string> parameterNames(const std::string& properties);

// The descriptor text with each overridden parameter's line replaced by
// "parameter.<name>=<value>". Throws RunError(unknownVariable) for a name without a line.
std::string withParameterValues(const std::string& properties,
                                const std::vector<NamedValue>& values);

// Applies the overrides to the file; nothing happens when there are none. Throws
// RunError(unknownVariable) also when the FMU has no descriptor.
void overrideParameters(const std::filesystem::path& descriptor,
                        const std::vector<NamedValue>& values);
