// Texts that cross between the host and the real server in both directions: characters
// beyond U+FFFF (which JNI's own byte interface would mangle) and bytes that are no UTF-8.
#include "kvbridge_host.h"

namespace {

// U+1F642 and U+00E9 in UTF-8.
const std::string smile = "\xF0\x9F\x99\x82";
const std::string eAcute = "\xC3\xA9";

TEST_F(KvbridgeHost, TextsBeyondTheBasicPlaneCrossBothWays) {
    // The server echoes the resource location it was given in its error text.
    const std::string missing = "file:///srv/models/" + smile + "/resources";
    EXPECT_EQ(instantiate(("Tank " + smile).c_str(), missing), nullptr);
    EXPECT_TRUE(logged("Resource folder /srv/models/" + smile + "/resources (from " + missing +
                       ")"))
        << logText();

    // And the instance's name, which is its key, in the reason of a failed step.
    const std::string name = "Tank " + smile + " " + eAcute;
    const fmi2ValueReference u = 2;
    fmi2Component c = ready(name.c_str(), lagUri, {u}, {1.0});
    ASSERT_NE(c, nullptr);
    testHost().log.clear();
    EXPECT_EQ(fmu().fmi2DoStep(c, 1.0, 0.5, fmi2True), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].instanceName, name);
    EXPECT_EQ(testHost().log[0].text.rfind("Error: Instance " + name + ": the step starts at", 0),
              0u)
        << logText();
    fmu().fmi2FreeInstance(c);
}

TEST_F(KvbridgeHost, NamesOfEveryLengthCrossWhole) {
    const fmi2ValueReference u = 2;
    for (const size_t length : {1, 63, 64, 65, 300}) {
        const std::string name(length, 'n');
        SCOPED_TRACE(length);
        testHost().log.clear();
        fmi2Component c = ready(name.c_str(), lagUri, {u}, {1.0});
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(fmu().fmi2DoStep(c, 1.0, 0.5, fmi2True), fmi2Error);
        ASSERT_EQ(testHost().log.size(), 1u);
        EXPECT_EQ(testHost().log[0].text.rfind("Error: Instance " + name + ": the step", 0), 0u)
            << logText();
        fmu().fmi2FreeInstance(c);
    }
}

TEST_F(KvbridgeHost, BytesThatAreNoUtf8ArriveAsReplacementCharacters) {
    const std::string name = "bad \xFF\xC3 end";  // a stray byte, a sequence cut short
    const fmi2ValueReference u = 2;
    fmi2Component c = ready(name.c_str(), lagUri, {u}, {1.0});
    ASSERT_NE(c, nullptr);
    testHost().log.clear();
    EXPECT_EQ(fmu().fmi2DoStep(c, 1.0, 0.5, fmi2True), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].instanceName, name);  // the host's own bytes
    const std::string replaced = "bad \xEF\xBF\xBD\xEF\xBF\xBD end";
    EXPECT_EQ(testHost().log[0].text.rfind("Error: Instance " + replaced + ": the step starts", 0),
              0u)
        << logText();
    fmu().fmi2FreeInstance(c);
}

}  // namespace
