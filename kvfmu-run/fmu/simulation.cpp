#include "simulation.h"

#include "exit_codes.h"
#include "numbers.h"

#include <chrono>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

namespace {

// The instance, freed on every way out unless the FMU reported a fatal error (after which
// FMI allows no further call).
class Instance {
public:
    Instance(const FmuFunctions& fmu, fmi2Component component) : fmu_(fmu), component_(component) {}
    ~Instance() {
        if (component_ && !fatal_) fmu_.fmi2FreeInstance(component_);
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    fmi2Component get() const { return component_; }
    void markFatal() { fatal_ = true; }

private:
    const FmuFunctions& fmu_;
    fmi2Component component_;
    bool fatal_ = false;
};

// Turns a failed status into RunError(fmuCallFailed) with the FMU's error messages; `call`
// describes the call, only then. Warnings pass: the logger has shown them.
template <typename Describe>
void check(fmi2Status status, const Describe& call, Instance& instance, FmuLog& log) {
    if (status == fmi2OK || status == fmi2Warning) {
        if (!log.errors.empty()) log.errors.clear();
        return;
    }
    const std::string errors = takeErrors(log);
    if (status == fmi2Fatal) instance.markFatal();
    std::string message = std::string(call()) + " returned fmi2" + statusName(status);
    if (status == fmi2Discard || status == fmi2Pending) {
        message += " (the FMU could not complete it)";
    }
    if (!errors.empty()) message += ": " + errors;
    throw RunError(ExitCode::fmuCallFailed, message);
}

std::vector<fmi2ValueReference> valueReferencesOf(
    const std::vector<const ModelVariable*>& variables) {
    std::vector<fmi2ValueReference> references;
    for (const ModelVariable* variable : variables) references.push_back(variable->valueReference);
    return references;
}

}  // namespace

namespace {

constexpr double exactIntegerLimit = 9007199254740992.0;  // 2^53

// The shortest decimal of the value as digits × 10^exponent; false when it has more digits
// than a double holds exactly. Locale-independent: the Java VM may have set the C locale
// from the environment.
bool decimalParts(double value, double& digits, int& exponent) {
    const std::string text = formatNumber(value);
    std::string mantissa = text;
    exponent = 0;
    const size_t e = text.find('e');
    if (e != std::string::npos) {
        mantissa = text.substr(0, e);
        const char* first = text.data() + e + 1;
        if (*first == '+') ++first;
        if (std::from_chars(first, text.data() + text.size(), exponent).ec != std::errc())
            return false;
    }
    const size_t point = mantissa.find('.');
    if (point != std::string::npos) {
        exponent -= static_cast<int>(mantissa.size() - point - 1);
        mantissa.erase(point, 1);
    }
    const std::optional<double> number = parseNumber(mantissa);
    if (!number) return false;
    digits = *number;
    return std::fabs(digits) < exactIntegerLimit;
}

}  // namespace

StepGrid::StepGrid(double startTime, double stopTime, double stepSize)
    : start(startTime), stop(stopTime), step(stepSize), steps(0) {
    const double span = stop - start;
    // A step that would end within a millionth of a step before stop ends at stop.
    if (span > 0 && step > 0) steps = static_cast<long long>(std::ceil(span / step - 1e-6));

    double startDigits = 0, stepDigits = 0;
    int startExponent = 0, stepExponent = 0;
    if (!decimalParts(start, startDigits, startExponent) ||
        !decimalParts(step, stepDigits, stepExponent)) {
        return;
    }
    // Both in units of 10^-decimals, decimals in 0..22 so that the scale is exact.
    const int decimals = std::max({0, -startExponent, -stepExponent});
    if (decimals > 22 || startExponent + decimals > 15 || stepExponent + decimals > 15) return;
    const double startUnits = startDigits * std::pow(10.0, startExponent + decimals);
    const double stepUnits = stepDigits * std::pow(10.0, stepExponent + decimals);
    if (std::fabs(startUnits) + static_cast<double>(steps) * stepUnits >= exactIntegerLimit) return;
    startUnits_ = startUnits;
    stepUnits_ = stepUnits;
    scale_ = std::pow(10.0, decimals);
}

double StepGrid::at(long long k) const {
    if (k >= steps) return stop;
    if (scale_ > 0) {
        // Exact integers divided by an exact power of ten: the nearest double.
        return (startUnits_ + static_cast<double>(k) * stepUnits_) / scale_;
    }
    return start + static_cast<double>(k) * step;
}

SimulationResult simulate(const FmuFunctions& fmu, const ModelDescription& model,
                          const InputPlan& inputs, const SimulationSettings& settings, FmuLog& log,
                          const RowSink& onRow, const StepObserver& onStep,
                          const volatile std::sig_atomic_t& stopRequested) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point began = Clock::now();
    const std::vector<fmi2ValueReference> outputReferences =
        valueReferencesOf(model.withCausality(Causality::output));
    const StepGrid grid(settings.startTime, settings.stopTime, settings.stepSize);

    fmi2CallbackFunctions callbacks = fmuCallbacks(log);
    fmi2Component component = fmu.fmi2Instantiate(
        model.modelName.c_str(), fmi2CoSimulation, model.guid.c_str(), settings.resourceUri.c_str(),
        &callbacks, fmi2False, settings.logFmiCalls ? fmi2True : fmi2False);
    if (!component) {
        const std::string errors = takeErrors(log);
        throw RunError(ExitCode::fmuCallFailed,
                       "fmi2Instantiate failed" + (errors.empty() ? std::string() : ": " + errors));
    }
    Instance instance(fmu, component);

    if (settings.logFmiCalls) {
        const char* categories[] = {"logFmiCall"};
        check(
            fmu.fmi2SetDebugLogging(component, fmi2True, 1, categories),
            [] { return "fmi2SetDebugLogging"; }, instance, log);
    }
    if (!settings.parameters.empty()) {
        std::vector<fmi2ValueReference> references;
        std::vector<double> values;
        for (const ParameterValue& parameter : settings.parameters) {
            references.push_back(parameter.valueReference);
            values.push_back(parameter.value);
        }
        check(
            fmu.fmi2SetReal(component, references.data(), references.size(), values.data()),
            [] { return "fmi2SetReal of the parameters"; }, instance, log);
    }
    check(
        fmu.fmi2SetupExperiment(component, fmi2False, 0.0, settings.startTime, fmi2True,
                                settings.stopTime),
        [] { return "fmi2SetupExperiment"; }, instance, log);
    check(
        fmu.fmi2EnterInitializationMode(component),
        [] { return "fmi2EnterInitializationMode"; }, instance, log);

    // Every input is set before initialization; after it, only an input whose value
    // differs from the one the FMU holds (FMI keeps a value until it is set again), and
    // none at all when every input is constant.
    const bool constantInputs = inputs.constant();
    std::vector<double> inputValues;
    std::vector<double> heldValues;
    std::vector<fmi2ValueReference> changedReferences;
    std::vector<double> changedValues;
    auto setInputs = [&](double time) {
        if (inputs.valueReferences.empty() || (!heldValues.empty() && constantInputs)) return;
        inputs.valuesAt(time, inputValues);
        changedReferences.clear();
        changedValues.clear();
        for (size_t i = 0; i < inputValues.size(); ++i) {
            if (heldValues.empty() ||
                std::memcmp(&inputValues[i], &heldValues[i], sizeof(double)) != 0) {
                changedReferences.push_back(inputs.valueReferences[i]);
                changedValues.push_back(inputValues[i]);
            }
        }
        if (changedReferences.empty()) return;
        check(
            fmu.fmi2SetReal(component, changedReferences.data(), changedReferences.size(),
                            changedValues.data()),
            [&] { return "fmi2SetReal at t=" + formatNumber(time); }, instance, log);
        heldValues = inputValues;
    };
    std::vector<double> outputs(outputReferences.size());
    auto readOutputs = [&](double time) {
        if (!outputReferences.empty()) {
            check(
                fmu.fmi2GetReal(component, outputReferences.data(), outputReferences.size(),
                                outputs.data()),
                [&] { return "fmi2GetReal at t=" + formatNumber(time); }, instance, log);
        }
        onRow(time, outputs);
    };

    setInputs(settings.startTime);
    check(
        fmu.fmi2ExitInitializationMode(component),
        [] { return "fmi2ExitInitializationMode"; }, instance, log);
    readOutputs(settings.startTime);

    SimulationResult result;
    const Clock::time_point loopBegan = Clock::now();
    for (long long k = 0; k < grid.steps; ++k) {
        const double time = grid.at(k);
        const double next = grid.at(k + 1);
        if (stopRequested) {
            throw RunError(ExitCode::interrupted, "interrupted at t=" + formatNumber(time) +
                                                      " after " + std::to_string(result.steps) +
                                                      " steps");
        }
        // The nominal step size, except for a shorter last step.
        const double step = k + 1 == grid.steps ? grid.stop - time : grid.step;
        setInputs(time);
        check(
            fmu.fmi2DoStep(component, time, step, fmi2True),
            [&] {
                return "fmi2DoStep from t=" + formatNumber(time) + " over " + formatNumber(step) +
                       " s";
            },
            instance, log);
        ++result.steps;
        readOutputs(next);
        onStep(next, result.steps);
    }
    result.stepSeconds = std::chrono::duration<double>(Clock::now() - loopBegan).count();
    check(
        fmu.fmi2Terminate(component), [] { return "fmi2Terminate"; }, instance, log);
    result.wallSeconds = std::chrono::duration<double>(Clock::now() - began).count();
    result.finalOutputs = std::move(outputs);
    return result;
}
