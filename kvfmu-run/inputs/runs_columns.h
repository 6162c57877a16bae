// Where each column of a runs table goes: a constant input or a parameter of the model.
#pragma once

#include "csv_input.h"
#include "input_plan.h"
#include "model_description.h"

#include <filesystem>
#include <string>
#include <vector>

struct RunsColumn {
    std::string name;
    bool input = false;  // else a parameter
};

// `header` names the runs table's header row in messages ("runs.csv:1"). Throws RunError: unknownVariable for a column that is neither an input
// nor a parameter; usage for an input also given by --set or the input file, or a
// parameter also given by --param.
std::vector<RunsColumn> runsColumns(const std::vector<std::string>& columns,
                                    const std::string& header, const ModelDescription& model,
                                    const std::filesystem::path& resources,
                                    const std::vector<NamedValue>& inputValues,
                                    const std::vector<NamedValue>& parameterValues,
                                    const InputTable& inputTable);
