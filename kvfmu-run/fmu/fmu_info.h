// What `kvfmu-run --info` prints about an FMU before anyone runs it: name, description,
// GUID, default experiment and a table of its variables.
#pragma once

#include "model_description.h"

#include <string>

std::string describeFmu(const ModelDescription& model);
