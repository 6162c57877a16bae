// The library in a process that has loaded the Java VM library but runs no VM: the set-up
// fails with an empty LastError, and the other bridge operations fail without a Java call.
#include "facade.h"
#include "java_vm.h"
#include "server_exchange.h"
#include "trace_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(NoJavaVm, SetUpFailsWithAnEmptyLastError) {
    LastError = "left over";
    const int32_t before = counter;
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    EXPECT_EQ(LastError, "");
    EXPECT_EQ(counter, before + 1);
    const auto& trace = recordedTrace();
    EXPECT_TRUE(std::any_of(trace.begin(), trace.end(), [&](const TraceLine& line) {
        return line.text == "counter: " + std::to_string(before + 1);
    }));
}

TEST(NoJavaVm, BridgeOperationsFailQuietly) {
    EXPECT_FALSE(doInstantiate("inst", "file:///res"));
    double reals[4] = {1, 2, 3, 4};
    FmuInstance comp{};
    comp.realValues = reals;
    comp.realValuesLength = 4;
    comp.instanceName = const_cast<char*>("inst");
    comp.serverKey = comp.instanceName;
    comp.state = modelInitializationMode;
    int32_t count = 0;
    EXPECT_FALSE(getNumberOfReals("inst", count));
    EXPECT_EQ(stepModel(&comp, 1.0), fmi2Error);
    calculateValues(&comp);
    EXPECT_FALSE(j_doSetupExperiment("inst", 0.0, false, 0.0));
    EXPECT_FALSE(j_doInitializeModel("inst"));
    EXPECT_EQ(j_getLasterror(), "");
    j_doTerminate("inst");
    j_doFreeInstance("inst");
    EXPECT_EQ(reals[0], 1.0);
    EXPECT_EQ(reals[3], 4.0);
}

}  // namespace
