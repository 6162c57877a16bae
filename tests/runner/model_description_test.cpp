#include "exit_codes.h"
#include "model_description.h"

#include <gtest/gtest.h>

namespace {

std::string description(const std::string& rootAttributes, const std::string& body) {
    return "<?xml version=\"1.0\"?><fmiModelDescription " + rootAttributes + ">" + body +
           "</fmiModelDescription>";
}

const std::string fmi2 = "fmiVersion=\"2.0\" modelName=\"Lag\" guid=\"{G}\"";
const std::string coSimulation = "<CoSimulation modelIdentifier=\"libkvfmu\"/>";

ExitCode codeOf(const std::string& xml, std::string* message = nullptr) {
    try {
        parseModelDescription(xml, "modelDescription.xml");
    } catch (const RunError& error) {
        if (message) *message = error.what();
        return error.code();
    }
    return ExitCode::ok;
}

TEST(ModelDescription, ReadsVariablesExperimentAndIdentity) {
    const std::string xml = description(
        fmi2 + " generationTool=\"kvfmu-pack 6.1.0\"",
        coSimulation +
            "<TypeDefinitions><SimpleType name=\"Speed\"><Real "
            "unit=\"m/s\"/></SimpleType></TypeDefinitions>"
            "<DefaultExperiment startTime=\"1\" stopTime=\"11\"/>"
            "<ModelVariables>"
            "<ScalarVariable name=\"y\" valueReference=\"0\" causality=\"output\" "
            "description=\"lagged\">"
            "<Real unit=\"m\"/></ScalarVariable>"
            "<ScalarVariable name=\"y_copy\" valueReference=\"1\"><Real/></ScalarVariable>"
            "<ScalarVariable name=\"u\" valueReference=\"2\" causality=\"input\">"
            "<Real declaredType=\"Speed\" start=\"1.5\"/></ScalarVariable>"
            "</ModelVariables>");
    ModelDescription model = parseModelDescription(xml, "md");
    EXPECT_EQ(model.modelName, "Lag");
    EXPECT_EQ(model.guid, "{G}");
    EXPECT_EQ(model.modelIdentifier, "libkvfmu");
    EXPECT_EQ(model.generationTool, "kvfmu-pack 6.1.0");
    EXPECT_EQ(model.defaultExperiment.startTime, 1.0);
    EXPECT_EQ(model.defaultExperiment.stopTime, 11.0);
    EXPECT_FALSE(model.defaultExperiment.stepSize);
    ASSERT_EQ(model.variables.size(), 3u);
    EXPECT_EQ(model.variables[1].causality, Causality::local);
    const ModelVariable* u = model.find("u");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->valueReference, 2u);
    EXPECT_EQ(u->start, 1.5);
    EXPECT_EQ(u->unit, "m/s");
    ASSERT_EQ(model.withCausality(Causality::output).size(), 1u);
    EXPECT_EQ(model.withCausality(Causality::output)[0]->description, "lagged");
    EXPECT_EQ(model.withCausality(Causality::output)[0]->unit, "m");
}

TEST(ModelDescription, RefusesWhatIsNotFmi2CoSimulation) {
    std::string message;
    EXPECT_EQ(codeOf(description("fmiVersion=\"1.0\" modelName=\"a\" guid=\"g\"", coSimulation),
                     &message),
              ExitCode::notFmi2CoSimulation);
    EXPECT_EQ(message, "modelDescription.xml: fmiVersion is \"1.0\"; FMI 2.0 is needed");
    EXPECT_EQ(codeOf(description(fmi2, "<ModelExchange modelIdentifier=\"x\"/><ModelVariables/>"),
                     &message),
              ExitCode::notFmi2CoSimulation);
    EXPECT_NE(message.find("not a co-simulation FMU"), std::string::npos);
    EXPECT_EQ(codeOf(description(
                  fmi2, coSimulation +
                            "<ModelVariables><ScalarVariable name=\"n\" valueReference=\"0\" "
                            "causality=\"output\"><Integer/></ScalarVariable></ModelVariables>")),
              ExitCode::notFmi2CoSimulation);
}

TEST(ModelDescription, RefusesMalformedDescriptions) {
    std::string message;
    EXPECT_EQ(codeOf("<fmiModelDescription fmiVersion=\"2.0\"", &message),
              ExitCode::invalidModelDescription);
    EXPECT_NE(message.find("not well-formed XML"), std::string::npos);
    EXPECT_EQ(codeOf(""), ExitCode::invalidModelDescription);
    EXPECT_EQ(codeOf("<other/>"), ExitCode::invalidModelDescription);
    EXPECT_EQ(codeOf(description("fmiVersion=\"2.0\" modelName=\"a\"",
                                 coSimulation + "<ModelVariables/>"),
                     &message),
              ExitCode::invalidModelDescription);
    EXPECT_EQ(message, "modelDescription.xml: <fmiModelDescription> lacks the attribute guid");
    EXPECT_EQ(codeOf(description(
                  fmi2, coSimulation + "<DefaultExperiment stopTime=\"ten\"/><ModelVariables/>")),
              ExitCode::invalidModelDescription);
    EXPECT_EQ(
        codeOf(description(
            fmi2, coSimulation + "<ModelVariables><ScalarVariable name=\"y\" valueReference=\"-1\">"
                                 "<Real/></ScalarVariable></ModelVariables>")),
        ExitCode::invalidModelDescription);
    EXPECT_EQ(codeOf(description(fmi2, coSimulation)), ExitCode::invalidModelDescription);
    EXPECT_EQ(codeOf(description(fmi2, coSimulation +
                                           "<ModelVariables><ScalarVariable name=\"y\" "
                                           "valueReference=\"0\" causality=\"outptu\"><Real/>"
                                           "</ScalarVariable></ModelVariables>"),
                     &message),
              ExitCode::invalidModelDescription);
    EXPECT_EQ(message,
              "modelDescription.xml: variable y: causality \"outptu\" is none of FMI 2.0's");
}

TEST(ModelDescription, MissingFileHasItsOwnCode) {
    try {
        readModelDescription("/nonexistent/modelDescription.xml");
        FAIL();
    } catch (const RunError& error) {
        EXPECT_EQ(error.code(), ExitCode::noModelDescription);
    }
}

}  // namespace
