// An FMU packed from a variable list with the scriptable test facade in place of
// kvbridge.jar, unpacked by the build: the Java VM runs with the unpacked facade jar on its
// class path, and the test drives the unpacked libkvfmu.so by what modelDescription.xml
// says (GUID, value references, start values), as an FMI importer does.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"
#include "kvfmu_guid.h"
#include "unpacked_fmu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string unpacked = KVFMU_UNPACKED_FMU;

std::vector<std::string> callsOf(const std::string& method) {
    std::vector<std::string> found;
    for (const std::string& call : facadeCalls()) {
        if (call.rfind(method + "(", 0) == 0) found.push_back(call);
    }
    return found;
}

TEST(VariableListFmu, DescriptionHasTheLibraryLayout) {
    const FmuDescription d = readDescription(unpacked);
    EXPECT_EQ(d.guid.size(), 38u) << d.guid;
    EXPECT_NE(d.guid, kvfmuGuid);
    EXPECT_EQ(d.modelIdentifier, "ScriptedPlant");
    std::vector<std::string> layout;
    for (const FmuVariable& v : d.variables) {
        layout.push_back(v.name + ":" + std::to_string(v.valueReference) + ":" + v.causality +
                         (v.hasStart ? "=" + std::to_string(v.start) : ""));
    }
    EXPECT_EQ(layout, (std::vector<std::string>{
                          "temperature:0:output", "level:1:output", "temperature_copy:2:local",
                          "level_copy:3:local", "heat:4:input=120.000000",
                          "inflow:5:input=0.500000", "setpoint:6:input=293.150000"}));
}

// A host's run: inputs at their start values, initialization, steps with one input
// changed, outputs and their copies read by the value references of the description.
TEST(VariableListFmu, RunsThroughTheUnpackedBinaryAndFacade) {
    const FmuDescription d = readDescription(unpacked);
    const auto outputs = d.with("output");
    const auto copies = d.with("local");
    const auto inputs = d.with("input");
    ASSERT_EQ(outputs.size(), 2u);
    ASSERT_EQ(inputs.size(), 3u);
    const LoadedFmu fmu = loadBinary(unpacked, d.modelIdentifier);
    ASSERT_NE(fmu.fmi2FreeInstance, nullptr);

    resetTestHost();
    scriptReset();
    scriptLayout(std::to_string(d.variables.size()).c_str(),
                 std::to_string(outputs.size()).c_str(), std::to_string(inputs.size()).c_str());
    scriptData({300.5, 1.25});
    const fmi2CallbackFunctions callbacks = hostCallbacks();
    const std::string resources = resourceLocation(unpacked);
    fmi2Component c = fmu.fmi2Instantiate("plant", fmi2CoSimulation, d.guid.c_str(),
                                          resources.c_str(), &callbacks, fmi2False, fmi2False);
    ASSERT_NE(c, nullptr) << (testHost().log.empty() ? "" : testHost().log.back().text);
    EXPECT_EQ(callsOf("doInstantiate"),
              std::vector<std::string>{"doInstantiate(plant," + resources + ")"});

    for (const FmuVariable* input : inputs) {
        ASSERT_EQ(fmu.fmi2SetReal(c, &input->valueReference, 1, &input->start), fmi2OK);
    }
    ASSERT_EQ(fmu.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 1.0), fmi2OK);
    ASSERT_EQ(fmu.fmi2EnterInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.fmi2ExitInitializationMode(c), fmi2OK);

    const fmi2ValueReference heat = inputs[0]->valueReference;
    for (int step = 0; step < 4; ++step) {
        const fmi2Real heatFlow = 100.0 + step;
        ASSERT_EQ(fmu.fmi2SetReal(c, &heat, 1, &heatFlow), fmi2OK);
        ASSERT_EQ(fmu.fmi2DoStep(c, step * 0.25, 0.25, fmi2True), fmi2OK);
        for (size_t i = 0; i < outputs.size(); ++i) {
            fmi2Real value = 0, copy = 0;
            ASSERT_EQ(fmu.fmi2GetReal(c, &outputs[i]->valueReference, 1, &value), fmi2OK);
            ASSERT_EQ(fmu.fmi2GetReal(c, &copies[i]->valueReference, 1, &copy), fmi2OK);
            EXPECT_EQ(value, i == 0 ? 300.5 : 1.25);
            EXPECT_EQ(copy, value);
        }
    }
    const auto steps = callsOf("doStepModel");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps.front(), "doStepModel(plant,0.0,0.25,[100.0, 0.5, 293.15])");
    EXPECT_EQ(steps.back(), "doStepModel(plant,0.75,0.25,[103.0, 0.5, 293.15])");
    EXPECT_EQ(callsOf("setReal").front(), "setReal(plant,4,120.0)");

    EXPECT_EQ(fmu.fmi2Terminate(c), fmi2OK);
    fmu.fmi2FreeInstance(c);
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_TRUE(testHost().log.empty()) << testHost().log.front().text;
}

}  // namespace

namespace {

// The FMU's provider gives the inputs their start values at instantiation and again after a
// reset, before the host sets anything, and after a reset hands the server the last set-up.
TEST(VariableListFmu, StartValuesAreSetAtInstantiationAndAfterReset) {
    const FmuDescription d = readDescription(unpacked);
    const LoadedFmu fmu = loadBinary(unpacked, d.modelIdentifier);
    ASSERT_NE(fmu.fmi2Reset, nullptr);
    resetTestHost();
    scriptReset();
    scriptLayout(std::to_string(d.variables.size()).c_str(), "2", "3");
    scriptData({300.5, 1.25});
    const fmi2CallbackFunctions callbacks = hostCallbacks();
    const std::string resources = resourceLocation(unpacked);
    fmi2Component c = fmu.fmi2Instantiate("resettable", fmi2CoSimulation, d.guid.c_str(),
                                          resources.c_str(), &callbacks, fmi2False, fmi2False);
    ASSERT_NE(c, nullptr) << (testHost().log.empty() ? "" : testHost().log.back().text);
    const std::vector<std::string> starts = {"setReal(resettable,4,120.0)",
                                             "setReal(resettable,5,0.5)",
                                             "setReal(resettable,6,293.15)"};
    EXPECT_EQ(callsOf("setReal"), starts);

    const fmi2ValueReference heat = 4;
    const fmi2Real changed = 80;
    ASSERT_EQ(fmu.fmi2SetReal(c, &heat, 1, &changed), fmi2OK);
    ASSERT_EQ(fmu.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 10.0), fmi2OK);
    ASSERT_EQ(fmu.fmi2EnterInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.fmi2ExitInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.fmi2DoStep(c, 0.0, 0.5, fmi2True), fmi2OK);
    scriptReset();
    scriptLayout(std::to_string(d.variables.size()).c_str(), "2", "3");
    scriptData({300.5, 1.25});
    ASSERT_EQ(fmu.fmi2Reset(c), fmi2OK);
    EXPECT_EQ(callsOf("setReal"), starts);
    // and the last experiment set-up again: the server begins a new run
    EXPECT_EQ(callsOf("doSetupExperiment"), std::vector<std::string>{"doSetupExperiment(resettable,0.0,true,10.0)"});
    fmu.fmi2FreeInstance(c);
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_TRUE(testHost().log.empty()) << testHost().log.front().text;
}

}  // namespace
