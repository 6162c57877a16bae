#include "runs_columns.h"

#include "exit_codes.h"
#include "run_parameters.h"

#include <algorithm>

namespace {

bool givenIn(const std::vector<NamedValue>& values, const std::string& name) {
    return std::any_of(values.begin(), values.end(),
                       [&](const NamedValue& value) { return value.first == name; });
}

}  // namespace

std::vector<RunsColumn> runsColumns(const std::vector<std::string>& columns,
                                    const std::string& header, const ModelDescription& model,
                                    const std::filesystem::path& resources,
                                    const std::vector<NamedValue>& inputValues,
                                    const std::vector<NamedValue>& parameterValues,
                                    const InputTable& inputTable) {
    std::vector<RunsColumn> uses;
    for (const std::string& column : columns) {
        const ModelVariable* variable = model.find(column);
        const bool input = variable && variable->causality == Causality::input;
        const bool parameter = variable && variable->causality == Causality::parameter;
        if (!input && !parameter) {
            if (packedBeforeParameterVariables(model, resources)) {
                throw packAgainToSetParameters(header + ": column " + column);
            }
            throw RunError(ExitCode::unknownVariable,
                           header + ": column " + column +
                               " is neither an input nor a parameter of the model (inputs: " +
                               nameList(model.withCausality(Causality::input)) + "; parameters: " +
                               nameList(parametersOf(model)) + ")");
        }
        const bool elsewhere =
            input ? givenIn(inputValues, column) ||
                        std::find(inputTable.names.begin(), inputTable.names.end(), column) !=
                            inputTable.names.end()
                  : givenIn(parameterValues, column);
        if (elsewhere) {
            throw RunError(ExitCode::usage, header + ": column " + column + ": " +
                                                (input ? "input " : "parameter ") + column +
                                                " is also given on the command line or in the "
                                                "input file");
        }
        uses.push_back({column, input});
    }
    return uses;
}
