// An FMU packed from a variable list with the scriptable test facade in place of
// kvbridge.jar, unpacked by the build: the Java VM runs with the unpacked facade jar on its
// class path, and the test drives the unpacked libkvfmu.so by what modelDescription.xml
// says (GUID, value references, start values), as an FMI importer does.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <dlfcn.h>

#include <map>
#include <string>
#include <vector>

namespace {

const std::string unpacked = KVFMU_UNPACKED_FMU;

struct Variable {
    std::string name;
    std::string causality;
    fmi2ValueReference valueReference;
    bool hasStart;
    double start;
};

struct Description {
    std::string guid;
    std::string modelIdentifier;
    std::vector<Variable> variables;

    std::vector<const Variable*> with(const std::string& causality) const {
        std::vector<const Variable*> found;
        for (const Variable& v : variables) {
            if (v.causality == causality) found.push_back(&v);
        }
        return found;
    }
};

Description readDescription() {
    Description d;
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_file((unpacked + "/modelDescription.xml").c_str());
    EXPECT_TRUE(parsed) << parsed.description();
    const pugi::xml_node root = doc.child("fmiModelDescription");
    d.guid = root.attribute("guid").value();
    d.modelIdentifier = root.child("CoSimulation").attribute("modelIdentifier").value();
    for (pugi::xml_node v : root.child("ModelVariables").children("ScalarVariable")) {
        const pugi::xml_node real = v.child("Real");
        d.variables.push_back({v.attribute("name").value(), v.attribute("causality").value(),
                               v.attribute("valueReference").as_uint(),
                               !real.attribute("start").empty(), real.attribute("start").as_double()});
    }
    return d;
}

// The FMI functions of the unpacked binary that a co-simulation run needs.
struct Binary {
    void* handle = nullptr;
    decltype(&fmi2Instantiate) instantiate = nullptr;
    decltype(&fmi2SetupExperiment) setupExperiment = nullptr;
    decltype(&fmi2EnterInitializationMode) enterInitializationMode = nullptr;
    decltype(&fmi2ExitInitializationMode) exitInitializationMode = nullptr;
    decltype(&fmi2SetReal) setReal = nullptr;
    decltype(&fmi2GetReal) getReal = nullptr;
    decltype(&fmi2DoStep) doStep = nullptr;
    decltype(&fmi2Terminate) terminate = nullptr;
    decltype(&fmi2FreeInstance) freeInstance = nullptr;

    template <typename F>
    void bind(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(handle, name));
        EXPECT_NE(function, nullptr) << name;
    }
};

Binary loadBinary(const std::string& modelIdentifier) {
    Binary b;
    const std::string path = unpacked + "/binaries/linux64/" + modelIdentifier + ".so";
    b.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(b.handle, nullptr) << dlerror();
    if (!b.handle) return b;
    b.bind(b.instantiate, "fmi2Instantiate");
    b.bind(b.setupExperiment, "fmi2SetupExperiment");
    b.bind(b.enterInitializationMode, "fmi2EnterInitializationMode");
    b.bind(b.exitInitializationMode, "fmi2ExitInitializationMode");
    b.bind(b.setReal, "fmi2SetReal");
    b.bind(b.getReal, "fmi2GetReal");
    b.bind(b.doStep, "fmi2DoStep");
    b.bind(b.terminate, "fmi2Terminate");
    b.bind(b.freeInstance, "fmi2FreeInstance");
    return b;
}

std::vector<std::string> callsOf(const std::string& method) {
    std::vector<std::string> found;
    for (const std::string& call : facadeCalls()) {
        if (call.rfind(method + "(", 0) == 0) found.push_back(call);
    }
    return found;
}

TEST(VariableListFmu, DescriptionHasTheLibraryLayout) {
    const Description d = readDescription();
    EXPECT_EQ(d.guid, "{BA0A9140-44D0-41C3-AAA7-C152C647039F}");
    EXPECT_EQ(d.modelIdentifier, "libkvfmu");
    std::vector<std::string> layout;
    for (const Variable& v : d.variables) {
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
    const Description d = readDescription();
    const auto outputs = d.with("output");
    const auto copies = d.with("local");
    const auto inputs = d.with("input");
    ASSERT_EQ(outputs.size(), 2u);
    ASSERT_EQ(inputs.size(), 3u);
    const Binary fmu = loadBinary(d.modelIdentifier);
    ASSERT_NE(fmu.freeInstance, nullptr);

    resetTestHost();
    scriptReset();
    scriptLayout(std::to_string(d.variables.size()).c_str(),
                 std::to_string(outputs.size()).c_str(), std::to_string(inputs.size()).c_str());
    scriptData({300.5, 1.25});
    const fmi2CallbackFunctions callbacks = hostCallbacks();
    const std::string resources = "file://" + unpacked + "/resources";
    fmi2Component c = fmu.instantiate("plant", fmi2CoSimulation, d.guid.c_str(),
                                      resources.c_str(), &callbacks, fmi2False, fmi2False);
    ASSERT_NE(c, nullptr) << (testHost().log.empty() ? "" : testHost().log.back().text);
    EXPECT_EQ(callsOf("doInstantiate"),
              std::vector<std::string>{"doInstantiate(plant," + resources + ")"});

    for (const Variable* input : inputs) {
        ASSERT_EQ(fmu.setReal(c, &input->valueReference, 1, &input->start), fmi2OK);
    }
    ASSERT_EQ(fmu.setupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 1.0), fmi2OK);
    ASSERT_EQ(fmu.enterInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.exitInitializationMode(c), fmi2OK);

    const fmi2ValueReference heat = inputs[0]->valueReference;
    for (int step = 0; step < 4; ++step) {
        const fmi2Real heatFlow = 100.0 + step;
        ASSERT_EQ(fmu.setReal(c, &heat, 1, &heatFlow), fmi2OK);
        ASSERT_EQ(fmu.doStep(c, step * 0.25, 0.25, fmi2True), fmi2OK);
        for (size_t i = 0; i < outputs.size(); ++i) {
            fmi2Real value = 0, copy = 0;
            ASSERT_EQ(fmu.getReal(c, &outputs[i]->valueReference, 1, &value), fmi2OK);
            ASSERT_EQ(fmu.getReal(c, &copies[i]->valueReference, 1, &copy), fmi2OK);
            EXPECT_EQ(value, i == 0 ? 300.5 : 1.25);
            EXPECT_EQ(copy, value);
        }
    }
    const auto steps = callsOf("doStepModel");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps.front(), "doStepModel(plant,0.0,0.25,[100.0, 0.5, 293.15])");
    EXPECT_EQ(steps.back(), "doStepModel(plant,0.75,0.25,[103.0, 0.5, 293.15])");
    EXPECT_EQ(callsOf("setReal").front(), "setReal(plant,4,120.0)");

    EXPECT_EQ(fmu.terminate(c), fmi2OK);
    fmu.freeInstance(c);
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_TRUE(testHost().log.empty()) << testHost().log.front().text;
}

}  // namespace
