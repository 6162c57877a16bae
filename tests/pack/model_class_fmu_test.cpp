// An FMU packed from a model class in a jar of its own (the test model Lag, with two
// parameters set at packing), unpacked by the build and run as an FMI importer runs it:
// the Java VM has every resources/*.jar on its class path, the unpacked libkvfmu.so talks
// to the real facade and server of kvbridge.jar, which read resources/model.properties.
#include "fmi2_functions.h"
#include "host.h"
#include "java_host.h"
#include "unpacked_fmu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

const std::string unpacked = KVFMU_UNPACKED_FMU;

class ModelClassFmu : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(fmu.fmi2FreeInstance, nullptr);
        resetTestHost();
    }

    fmi2Component instantiate(const char* name, const std::string& resources) {
        return fmu.fmi2Instantiate(name, fmi2CoSimulation, description.guid.c_str(),
                                   resources.c_str(), &callbacks, fmi2False, fmi2False);
    }

    double read(fmi2Component c, const FmuVariable* variable) {
        fmi2Real value = -1;
        EXPECT_EQ(fmu.fmi2GetReal(c, &variable->valueReference, 1, &value), fmi2OK);
        return value;
    }

    static std::string lastMessage() {
        return testHost().log.empty() ? "(none)" : testHost().log.back().text;
    }

    const FmuDescription description = readDescription(unpacked);
    const LoadedFmu fmu = loadBinary(unpacked, description.modelIdentifier);
    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

// Lag: y' = (u - y) / T by explicit Euler steps, packed with T = 0.5 and y0 = 0.25;
// sum = y + u feeds the input through.
TEST_F(ModelClassFmu, RunsTheModelFromItsJarWithThePackedParameters) {
    const auto outputs = description.with("output");
    const auto inputs = description.with("input");
    ASSERT_EQ(outputs.size(), 2u);
    ASSERT_EQ(inputs.size(), 2u);
    fmi2Component c = instantiate("lag", resourceLocation(unpacked));
    ASSERT_NE(c, nullptr) << lastMessage();
    for (const FmuVariable* input : inputs) {
        ASSERT_EQ(fmu.fmi2SetReal(c, &input->valueReference, 1, &input->start), fmi2OK);
    }
    ASSERT_EQ(fmu.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 1.0), fmi2OK);
    ASSERT_EQ(fmu.fmi2EnterInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.fmi2ExitInitializationMode(c), fmi2OK) << lastMessage();

    const double u = inputs[0]->start;
    double y = 0.25;
    EXPECT_EQ(read(c, outputs[0]), y);
    EXPECT_EQ(read(c, outputs[1]), y + u);
    const double h = 0.1;
    for (int step = 0; step < 10; ++step) {
        ASSERT_EQ(fmu.fmi2DoStep(c, step * h, h, fmi2True), fmi2OK) << lastMessage();
        y += h * (u - y) / 0.5;
        EXPECT_DOUBLE_EQ(read(c, outputs[0]), y) << "step " << step;
        EXPECT_DOUBLE_EQ(read(c, outputs[1]), y + u);
    }
    EXPECT_EQ(fmu.fmi2Terminate(c), fmi2OK);
    fmu.fmi2FreeInstance(c);
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_TRUE(testHost().log.empty()) << lastMessage();
}

// The parameters are variables after the inputs, with the packed values as start values;
// values the host sets before initialization run the model as packed values would.
TEST_F(ModelClassFmu, ParametersSetByTheHostTakeThePlaceOfThePackedValues) {
    const auto parameters = description.with("parameter");
    ASSERT_EQ(parameters.size(), 2u);
    EXPECT_EQ(parameters[0]->name, "T");
    EXPECT_EQ(parameters[0]->start, 0.5);
    EXPECT_EQ(parameters[1]->name, "y0");
    EXPECT_EQ(parameters[1]->start, 0.25);
    const auto inputs = description.with("input");
    const FmuVariable* sum = description.with("output")[1];
    fmi2Component c = instantiate("tuned", resourceLocation(unpacked));
    ASSERT_NE(c, nullptr) << lastMessage();
    const fmi2ValueReference refs[] = {inputs[0]->valueReference, parameters[0]->valueReference,
                                       parameters[1]->valueReference};
    const double values[] = {2.0, 0.8, -0.5};
    ASSERT_EQ(fmu.fmi2SetReal(c, refs, 3, values), fmi2OK);
    ASSERT_EQ(fmu.fmi2SetupExperiment(c, fmi2False, 0.0, 0.0, fmi2True, 1.0), fmi2OK);
    ASSERT_EQ(fmu.fmi2EnterInitializationMode(c), fmi2OK);
    ASSERT_EQ(fmu.fmi2ExitInitializationMode(c), fmi2OK) << lastMessage();
    double y = -0.5;
    EXPECT_EQ(read(c, sum), y + 2.0);
    for (int step = 0; step < 10; ++step) {
        ASSERT_EQ(fmu.fmi2DoStep(c, step * 0.1, 0.1, fmi2True), fmi2OK) << lastMessage();
        y += 0.1 * (2.0 - y) / 0.8;
        EXPECT_DOUBLE_EQ(read(c, sum), y + 2.0) << "step " << step;
    }
    EXPECT_EQ(fmu.fmi2Terminate(c), fmi2OK);
    fmu.fmi2FreeInstance(c);
    EXPECT_TRUE(testHost().log.empty()) << lastMessage();
}

// A descriptor whose declared counts differ from the model's: the server refuses the
// instance and the host hears why.
TEST_F(ModelClassFmu, CountsThatDifferFromTheDescriptionAreRefused) {
    namespace fs = std::filesystem;
    const fs::path copy = fs::path(KVFMU_SCRATCH_FOLDER) / "counts";
    fs::remove_all(copy);
    fs::create_directories(copy);
    fs::copy(fs::path(unpacked) / "resources", copy / "resources", fs::copy_options::recursive);
    const fs::path descriptor = copy / "resources" / "model.properties";
    std::stringstream text;
    text << std::ifstream(descriptor).rdbuf();
    std::string properties = text.str();
    const std::string declared = "model.outputs=2";
    ASSERT_NE(properties.find(declared), std::string::npos) << properties;
    properties.replace(properties.find(declared), declared.size(), "model.outputs=3");
    std::ofstream(descriptor, std::ios::trunc) << properties;

    EXPECT_EQ(instantiate("miscounted", resourceLocation(copy.string())), nullptr);
    ASSERT_FALSE(testHost().log.empty());
    EXPECT_EQ(testHost().log.back().status, fmi2Error);
    EXPECT_NE(lastMessage().find("model.properties"), std::string::npos) << lastMessage();
    EXPECT_NE(lastMessage().find("declares 3"), std::string::npos) << lastMessage();
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

}  // namespace
