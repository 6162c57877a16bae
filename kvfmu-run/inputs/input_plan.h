// Where each input of the model takes its value from during a run: a column of the input
// file, a constant from --set, or its start value.
#pragma once

#include "csv_input.h"
#include "model_description.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct InputPlan {
    struct Source {
        int column = -1;      // index into table.columns, or -1 for the constant
        double constant = 0;  // --set value, start value, or 0
    };
    std::vector<std::uint32_t> valueReferences;  // one per input of the model
    std::vector<Source> sources;                 // same order
    InputTable table;                            // empty when no input file is used

    // The input values at `time`, in the order of valueReferences.
    void valuesAt(double time, std::vector<double>& values) const;
    // Whether every input keeps one value for the whole run (no column of the file used).
    bool constant() const;
};

using NamedValue = std::pair<std::string, double>;

// Throws RunError: unknownVariable for a --set name or input column that is no input of
// the model; usage when one input is given both ways or twice by --set.
InputPlan makeInputPlan(const ModelDescription& model, InputTable table,
                        const std::vector<NamedValue>& constants);

// "a, b, c" of the names of the variables (for messages), or "none".
std::string nameList(const std::vector<const ModelVariable*>& variables);
