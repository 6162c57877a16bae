#include "run_preparation.h"

#include "exit_codes.h"
#include "fmu_logger.h"
#include "interrupts.h"
#include "numbers.h"
#include "plot.h"

RunPreparation prepareRun(const RunOptions& options, const FmuSession& session) {
    const ModelDescription& model = session.model();
    RunPreparation prepared;
    prepared.experiment = experimentFor(options, model.defaultExperiment);
    InputTable table;
    if (!options.inputFile.empty()) table = readInputTable(options.inputFile);
    prepared.inputs = makeInputPlan(model, std::move(table), options.inputValues);
    prepared.parameters =
        parameterValuesFor(model, options.parameterValues, session.resources(), "--param");
    return prepared;
}

SimulationResult performRun(const FmuSession& session, const RunOptions& options,
                            const Experiment& experiment, const InputPlan& inputs,
                            const std::vector<ParameterValue>& parameters, RunRecord& record,
                            const RunHooks& hooks) {
    const ModelDescription& model = session.model();
    FmuLog log;
    log.level = options.logLevel;
    log.beforeMessage = hooks.beforeMessage;
    nameVariables(log, model);

    SimulationSettings settings;
    settings.startTime = experiment.start;
    settings.stopTime = experiment.stop;
    settings.stepSize = experiment.step;
    settings.resourceUri = session.resourceUri();
    settings.logFmiCalls = options.logFmiCalls;
    settings.parameters = parameters;

    std::vector<double> inputValues;
    auto onRow = [&](double time, const std::vector<double>& outputs) {
        if (hooks.recordInputs) inputs.valuesAt(time, inputValues);
        record.row(time, outputs, inputValues);
    };
    const RunWatch watch([&record](const std::string& reason) { record.abandon(reason); },
                         [&record] { record.flushIfDue(); }, options.runTimeout,
                         hooks.timeoutReason);
    SimulationResult result;
    try {
        result = simulate(session.functions(), model, inputs, settings, log, onRow, hooks.onStep,
                          stopRequested());
    } catch (const RunError& error) {
        hooks.beforeEnd();
        record.stopped(error.what());
        throw;
    }
    hooks.beforeEnd();
    record.complete();
    return result;
}

std::optional<PlotSetup> plotSetupFor(const RunOptions& options, const ModelDescription& model) {
    if (options.plotFile.empty()) return std::nullopt;
    plotDeviceFor(options.plotFile);
    const std::vector<const ModelVariable*> outputs = model.withCausality(Causality::output);
    const std::vector<const ModelVariable*> inputs = model.withCausality(Causality::input);
    PlotSetup setup;
    setup.file = options.plotFile;
    setup.title = model.modelName;
    auto add = [&](const std::vector<const ModelVariable*>& variables, bool input,
                   const std::string& name) {
        for (size_t i = 0; i < variables.size(); ++i) {
            if (name.empty() || variables[i]->name == name) {
                setup.panels.push_back({input, i, variables[i]->name, variables[i]->unit});
                if (!name.empty()) return true;
            }
        }
        return false;
    };
    if (options.plotVariables.empty()) {
        add(outputs, false, "");
        add(inputs, true, "");
    }
    for (const std::string& name : options.plotVariables) {
        if (!add(outputs, false, name) && !add(inputs, true, name)) {
            throw RunError(ExitCode::unknownVariable,
                           "--plot-variables " + name + ": the model has no output or input " +
                               name + " (outputs: " + nameList(outputs) +
                               "; inputs: " + nameList(inputs) + ")");
        }
    }
    return setup;
}

std::vector<std::string> outputNames(const ModelDescription& model) {
    std::vector<std::string> names;
    for (const ModelVariable* output : model.withCausality(Causality::output)) names.push_back(output->name);
    return names;
}
