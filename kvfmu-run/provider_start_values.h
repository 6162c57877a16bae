// The start values an FMU's VM provider applies at instantiation (resources/provider.conf).
// A parameter value given for one run (-p) replaces the packed one there, as it does in the
// model descriptor, so that the provider does not set the packed value back.
#pragma once

#include "input_plan.h"
#include "model_description.h"

#include <filesystem>
#include <string>
#include <vector>

// The settings text with the start line of each named parameter set to the value.
std::string withStartValues(const std::string& settings, const ModelDescription& model,
                            const std::vector<NamedValue>& values);

// Applies the values to the unpacked FMU's provider.conf; an FMU without one (packed before
// the provider) is left alone.
void overrideProviderStartValues(const std::filesystem::path& resources,
                                 const ModelDescription& model,
                                 const std::vector<NamedValue>& values);
