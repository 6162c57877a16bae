// The built-in models and a user's model through the shipped library and kvbridge.jar.
#include "kvbridge_host.h"

#include <thread>

namespace {

TEST_F(KvbridgeHost, FirstOrderLagRunsWithInitialOutputsAndTheirCopies) {
    const fmi2ValueReference u = 2;  // output y 0, its copy 1, input u 2
    fmi2Component c = ready("lag", lagUri, {u}, {1.0});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(read(c, {0, 1}), (std::vector<double>{0.3, 0.3}));
    const double one = 1.0;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(fmu().fmi2SetReal(c, &u, 1, &one), fmi2OK);
        ASSERT_EQ(fmu().fmi2DoStep(c, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        const auto y = read(c, {0, 1, 2});
        ASSERT_NEAR(y[0], lag((i + 1) * 0.01), 1e-10) << "step " << i;
        ASSERT_EQ(y[1], y[0]);
        ASSERT_EQ(y[2], 1.0);
    }
    finish(c);
    EXPECT_TRUE(testHost().log.empty()) << logText();
}

TEST_F(KvbridgeHost, MassSpringDamperFollowsItsUnderDampedSolution) {
    const fmi2ValueReference force = 4;  // x 0, v 1, copies 2 3, F 4
    fmi2Component c = ready("spring", springUri, {force}, {0.2});
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(read(c, {0, 1, 2, 3}), (std::vector<double>{0.1, -0.2, 0.1, -0.2}));
    // m = 1, c = 0.4, k = 4: x = 0.05 + exp(-0.2 t) (0.05 cos wt + b sin wt)
    const double sigma = 0.2, w = std::sqrt(4 - sigma * sigma), b = (-0.2 + sigma * 0.05) / w;
    double t = 0;
    for (double h : {0.01, 0.02, 0.005, 0.1, 0.013}) {  // variable step sizes
        for (int i = 0; i < 40; ++i, t += h) {
            ASSERT_EQ(fmu().fmi2DoStep(c, t, h, fmi2True), fmi2OK) << logText();
        }
        const double x = 0.05 + std::exp(-sigma * t) * (0.05 * std::cos(w * t) +
                                                       b * std::sin(w * t));
        EXPECT_NEAR(read(c, {0})[0], x, 1e-9) << "t = " << t;
    }
    finish(c);
}

TEST_F(KvbridgeHost, WaterTankDrainsAndItsModelExceptionBecomesAnError) {
    const std::vector<fmi2ValueReference> in{4, 5};  // level, outflow, copies, inflow, valve
    fmi2Component c = ready("tank", tankUri, in, {0.0, 1.0});
    ASSERT_NE(c, nullptr);
    for (int i = 0; i < 60; ++i) {
        ASSERT_EQ(fmu().fmi2DoStep(c, i, 1.0, fmi2True), fmi2OK) << logText();
    }
    const auto y = read(c, {0, 1});
    EXPECT_NEAR(y[0], 0.0625, 1e-10);  // sqrt(h) = 1 - 0.05 t / 4
    EXPECT_NEAR(y[1], 0.05 * 0.25, 1e-10);

    const double negative[] = {-0.1, 1.0};
    ASSERT_EQ(fmu().fmi2SetReal(c, in.data(), 2, negative), fmi2OK);
    EXPECT_EQ(fmu().fmi2DoStep(c, 60.0, 1.0, fmi2True), fmi2Error);
    const auto errors = logWithFormat("Error: %s");
    ASSERT_EQ(errors.size(), 1u) << logText();
    EXPECT_EQ(errors[0].status, fmi2Error);
    EXPECT_EQ(errors[0].text,
              "Error: Model WaterTank failed in the step from t = 60.0 over 1.0 s: inflow -0.1"
              " m3/s is negative: the tank has no pump to empty it through its inlet"
              " (IllegalArgumentException)");
    fmu().fmi2FreeInstance(c);
}

TEST_F(KvbridgeHost, TwoInstancesRunSideBySide) {
    const fmi2ValueReference u = 2, force = 4;
    fmi2Component lagC = ready("first", lagUri, {u}, {1.0});
    fmi2Component springC = ready("second", springUri, {force}, {0.0});
    ASSERT_NE(lagC, nullptr);
    ASSERT_NE(springC, nullptr);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(fmu().fmi2DoStep(lagC, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        ASSERT_EQ(fmu().fmi2DoStep(springC, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
    }
    EXPECT_NEAR(read(lagC, {0})[0], lag(1.0), 1e-10);
    EXPECT_EQ(read(springC, {0, 1}).size(), 2u);
    finish(lagC);
    // The second instance still runs after the first was freed.
    ASSERT_EQ(fmu().fmi2DoStep(springC, 1.0, 0.01, fmi2True), fmi2OK) << logText();
    finish(springC);
}

TEST_F(KvbridgeHost, TwoLiveInstancesOfOneNameEachGiveTheirOwnNumbers) {
    // Importers often name every instance after the model.
    const fmi2ValueReference u = 2;
    fmi2Component up = ready("lag", lagUri, {u}, {1.0});
    fmi2Component down = ready("lag", lagUri, {u}, {-0.5});
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(fmu().fmi2DoStep(up, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        ASSERT_EQ(fmu().fmi2DoStep(down, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        ASSERT_NEAR(read(up, {0})[0], lag((i + 1) * 0.01, 1.0), 1e-10) << "step " << i;
        ASSERT_NEAR(read(down, {0})[0], lag((i + 1) * 0.01, -0.5), 1e-10) << "step " << i;
    }
    // The server knows the second as an instance of its own; the host's logger hears the
    // name the host gave.
    EXPECT_EQ(fmu().fmi2DoStep(down, 5.0, 0.01, fmi2True), fmi2Error);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].instanceName, "lag");
    EXPECT_EQ(testHost().log[0].text.rfind("Error: Instance lag#2: the step starts at t = 5.0", 0),
              0u)
        << logText();
    finish(up);
    fmu().fmi2FreeInstance(down);
    // Both server-side instances are gone: the name is the key again.
    fmi2Component again = ready("lag", lagUri, {u}, {1.0});
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(fmu().fmi2DoStep(again, 1.0, 0.01, fmi2True), fmi2Error);
    EXPECT_TRUE(logged("Error: Instance lag: the step starts at t = 1.0")) << logText();
    fmu().fmi2FreeInstance(again);
}

TEST_F(KvbridgeHost, SetUpFailuresReachTheHostsLog) {
    EXPECT_EQ(instantiate("missing", "file:///no/such/folder"), nullptr);
    EXPECT_TRUE(logged("Resource folder /no/such/folder (from file:///no/such/folder) does not"
                       " exist"))
        << logText();
    const std::string typo = resourceFolderUri(
        "typo", {"model.class=com.korvan.kvbridge.models.FirstOrderLag", "model.outputs=1",
                 "model.inputs=1", "parameter.Tau=2"});
    EXPECT_EQ(instantiate("typo", typo), nullptr);
    EXPECT_TRUE(logged("model.properties sets unknown parameter Tau of model FirstOrderLag"))
        << logText();
}

TEST_F(KvbridgeHost, AStepThatSkipsTimeIsRefused) {
    const fmi2ValueReference u = 2;
    fmi2Component c = ready("gap", lagUri, {u}, {1.0});
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(fmu().fmi2DoStep(c, 0.0, 0.1, fmi2True), fmi2OK);
    EXPECT_EQ(fmu().fmi2DoStep(c, 0.2, 0.1, fmi2True), fmi2Error);
    EXPECT_TRUE(logged("the step starts at t = 0.2 but the last step ended at t = 0.1"))
        << logText();
    fmu().fmi2FreeInstance(c);
}

TEST_F(KvbridgeHost, ANativeHostThreadIsGivenItsOwnCallsReason) {
    // The library attaches this thread for each call and detaches it again. The server keeps
    // a failure's text for the Java thread of the failed call only, so the library asks for
    // it on that call's attachment: the host hears the step's own reason, never the text of
    // another instance or an earlier call.
    const std::vector<fmi2ValueReference> in{4, 5};
    fmi2Component other = ready("other", tankUri, in, {0.01, 0.5});
    fmi2Component c = ready("native", tankUri, in, {0.01, 0.5});
    ASSERT_NE(other, nullptr);
    ASSERT_NE(c, nullptr);
    const double negative[] = {-1.0, 0.5};
    ASSERT_EQ(fmu().fmi2SetReal(other, in.data(), 2, negative), fmi2OK);
    ASSERT_EQ(fmu().fmi2DoStep(other, 0.0, 1.0, fmi2True), fmi2Error);  // a reason on this thread
    const size_t before = testHost().log.size();
    fmi2Status first = fmi2Fatal, second = fmi2Fatal;
    std::thread host([&] {
        first = fmu().fmi2DoStep(c, 0.0, 1.0, fmi2True);
        const double shut[] = {0.01, 2.0};
        fmu().fmi2SetReal(c, in.data(), 2, shut);
        second = fmu().fmi2DoStep(c, 1.0, 1.0, fmi2True);
    });
    host.join();
    EXPECT_EQ(first, fmi2OK);
    EXPECT_EQ(second, fmi2Error);
    ASSERT_EQ(testHost().log.size(), before + 1) << logText();
    const LogRecord& error = testHost().log.back();
    EXPECT_EQ(error.format, "Error: %s");
    EXPECT_NE(error.text.find("valveOpening 2.0 is outside 0 to 1"), std::string::npos)
        << logText();
    fmu().fmi2FreeInstance(c);
    fmu().fmi2FreeInstance(other);
}

TEST_F(KvbridgeHost, ParametersSetBeforeInitializationRunAsThePackedValues) {
    // The lag's parameters follow its input: K 3, T 4, y0 5, internalStepSize 6.
    const std::string defaultsUri = resourceFolderUri(
        "lag-defaults", {"model.class=com.korvan.kvbridge.models.FirstOrderLag",
                         "model.outputs=1", "model.inputs=1"});
    fmi2Component packed = ready("packed", lagUri, {2}, {1.0});
    fmi2Component set = ready("set", defaultsUri, {2, 3, 4, 5}, {1.0, 2.0, 0.5, 0.3});
    ASSERT_NE(packed, nullptr);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(read(set, {0}), read(packed, {0}));
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(fmu().fmi2DoStep(packed, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        ASSERT_EQ(fmu().fmi2DoStep(set, i * 0.01, 0.01, fmi2True), fmi2OK) << logText();
        ASSERT_EQ(read(set, {0}), read(packed, {0})) << "step " << i;
    }
    EXPECT_NEAR(read(set, {0})[0], lag(1.0), 1e-10);
    finish(packed);
    finish(set);
}

TEST_F(KvbridgeHost, AFixedParameterSetDuringARunFailsTheNextStepNamingIt) {
    fmi2Component c = ready("fixed", lagUri, {2}, {1.0});
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(fmu().fmi2DoStep(c, 0.0, 0.01, fmi2True), fmi2OK) << logText();
    const fmi2ValueReference y0 = 5;
    const double value = 0.8;
    ASSERT_EQ(fmu().fmi2SetReal(c, &y0, 1, &value), fmi2OK);
    EXPECT_EQ(fmu().fmi2DoStep(c, 0.01, 0.01, fmi2True), fmi2Error);
    EXPECT_TRUE(logged("Error: Instance fixed: parameter y0 (value reference 5) is fixed and was"
                       " set to 0.8 during the run"))
        << logText();
    fmu().fmi2FreeInstance(c);
}

TEST_F(KvbridgeHost, AMillionStepsAddedUpByTheHostReachTheStopTime) {
    // t += 1e-4 a million times ends about 2e-9 s away from 100 s: no step is refused.
    fmi2Component c = ready("long", lagUri, {2}, {0.0}, 100.0);
    ASSERT_NE(c, nullptr);
    const double h = 1e-4;
    double t = 0.0;
    for (int i = 0; i < 1000000; ++i, t += h) {
        ASSERT_EQ(fmu().fmi2DoStep(c, t, h, fmi2True), fmi2OK) << "step " << i << ": " << logText();
    }
    EXPECT_NE(t, 100.0);
    EXPECT_NEAR(t, 100.0, 1e-8);
    finish(c);
}

TEST_F(KvbridgeHost, AUsersModelRunsFromItsOwnJarInTheResourcesFolder) {
    // heated_room.jar is not on the VM's class path: the instance's class loader finds it.
    const std::string roomUri =
        resourceFolderUri("room", {}, {KVFMU_EXAMPLE_DESCRIPTOR, KVFMU_EXAMPLE_JAR});
    const std::vector<fmi2ValueReference> in{4, 5};  // temperature, heat loss, copies, P, T_out
    fmi2Component c = ready("room", roomUri, in, {2000.0, -5.0}, 86400.0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(read(c, {0, 1}), (std::vector<double>{15.0, 4000.0}));
    for (int i = 0; i < 180; ++i) {  // three hours in minutes
        ASSERT_EQ(fmu().fmi2DoStep(c, i * 60.0, 60.0, fmi2True), fmi2OK) << logText();
    }
    // T = T_out + R P + (T0 - T_out - R P) exp(-t / (R C)): settles at 5 degC, RC = 10^4 s
    const double expected = 5.0 + 10.0 * std::exp(-3 * 3600.0 / 1.0e4);
    const auto y = read(c, {0, 1});
    EXPECT_NEAR(y[0], expected, 1e-9);
    EXPECT_NEAR(y[1], (expected + 5.0) / 0.005, 1e-6);
    finish(c);
}

}  // namespace
