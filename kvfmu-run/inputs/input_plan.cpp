#include "input_plan.h"

#include "exit_codes.h"
#include "interpolation.h"

#include <algorithm>
#include <cmath>

namespace {

// A time within a few units in the last place of a row's time is that row's time: a step
// time computed with rounding still takes a jump at its grid point.
double snappedToRow(const std::vector<double>& times, double time) {
    auto next = std::lower_bound(times.begin(), times.end(), time);
    const double tolerance =
        4 * (std::nextafter(std::fabs(time), INFINITY) - std::fabs(time));
    if (next != times.end() && *next - time <= tolerance) return *next;
    if (next != times.begin() && time - *(next - 1) <= tolerance) return *(next - 1);
    return time;
}

}  // namespace

void InputPlan::valuesAt(double time, std::vector<double>& values) const {
    values.resize(sources.size());
    if (!table.times.empty()) time = snappedToRow(table.times, time);
    for (size_t i = 0; i < sources.size(); ++i) {
        const Source& source = sources[i];
        values[i] =
            source.column < 0
                ? source.constant
                : interpolate(table.times, table.columns[static_cast<size_t>(source.column)], time);
    }
}

bool InputPlan::constant() const {
    return std::all_of(sources.begin(), sources.end(),
                       [](const Source& source) { return source.column < 0; });
}

std::string nameList(const std::vector<const ModelVariable*>& variables) {
    if (variables.empty()) return "none";
    std::string list;
    for (const ModelVariable* variable : variables) {
        if (!list.empty()) list += ", ";
        list += variable->name;
    }
    return list;
}

namespace {

int indexOf(const std::vector<const ModelVariable*>& inputs, const std::string& name) {
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (inputs[i]->name == name) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

InputPlan makeInputPlan(const ModelDescription& model, InputTable table,
                        const std::vector<NamedValue>& constants) {
    const std::vector<const ModelVariable*> inputs = model.withCausality(Causality::input);
    InputPlan plan;
    for (const ModelVariable* input : inputs) {
        plan.valueReferences.push_back(input->valueReference);
        plan.sources.push_back({-1, input->start.value_or(0.0)});
    }

    std::vector<bool> given(inputs.size(), false);
    for (size_t column = 0; column < table.names.size(); ++column) {
        int input = indexOf(inputs, table.names[column]);
        if (input < 0) {
            throw RunError(ExitCode::unknownVariable,
                           table.origin + ":1: column " + table.names[column] +
                               " is no input of the model (inputs: " + nameList(inputs) + ")");
        }
        plan.sources[static_cast<size_t>(input)].column = static_cast<int>(column);
        given[static_cast<size_t>(input)] = true;
    }
    for (const auto& [name, value] : constants) {
        int input = indexOf(inputs, name);
        if (input < 0) {
            const ModelVariable* other = model.find(name);
            const std::string causality = other ? causalityName(other->causality) : "";
            const bool vowel = other && std::string("aeiou").find(causality[0]) != std::string::npos;
            const std::string what = other ? std::string(vowel ? " is an " : " is a ") +
                                                 causality + ", not an input"
                                           : ": the model has no input " + name;
            throw RunError(ExitCode::unknownVariable,
                           "--set " + name + what + " (inputs: " + nameList(inputs) + ")");
        }
        if (given[static_cast<size_t>(input)]) {
            throw RunError(ExitCode::usage, "--set " + name + ": input " + name +
                                                " is already given (by the input file or --set)");
        }
        plan.sources[static_cast<size_t>(input)] = {-1, value};
        given[static_cast<size_t>(input)] = true;
    }
    plan.table = std::move(table);
    return plan;
}
