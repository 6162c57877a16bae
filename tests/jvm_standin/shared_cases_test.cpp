// Cases that every build runs on the stand-in VM: a host drives the library through whole
// runs while the stand-in checks every JNI call; each case's record must equal the one
// expected record that all builds share.
#include "case_record.h"
#include "fmi_table.h"
#include "host.h"
#include "kvfmu_guid.h"
#include "standin_vm.h"
#include "trace_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class SharedCase : public ::testing::Test {
protected:
    void SetUp() override {
        // The library keeps process-wide state (the instance counter shows in the trace),
        // so a record holds only for a case that runs in a process of its own.
        static int casesInProcess = 0;
        ASSERT_EQ(++casesInProcess, 1)
            << "run one shared case per process (as CTest does), e.g. --gtest_filter";
        ASSERT_NE(fmi().fmi2Instantiate, nullptr);
        standinServer();
        resetTestHost();
        startTraceCapture();
        record.begin();
    }

    void TearDown() override {
        if (!fmi().fmi2Instantiate) return;
        const std::vector<std::string> actual = record.finish();
        stopTraceCapture();
        jvmStandinCheckQuiescent();
        if (!standinViolations().empty()) {
            ADD_FAILURE() << "JNI rules broken; the JNI calls were:\n" << jvmStandinJniCalls();
            EXPECT_EQ(standinViolations(), std::vector<std::string>{});
        }
        EXPECT_EQ(allocationsOutstanding(), 0u) << "host memory not given back";

        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::string suite =
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        const std::string caseName = suite + "." + name;
        writeActualRecord(caseName, actual);
        std::vector<std::string> expected;
        ASSERT_TRUE(expectedRecord(caseName, expected)) << "no expected record " << caseName;
        const std::vector<std::string> have = comparable(actual);
        const std::vector<std::string> want = comparable(expected);
        for (size_t i = 0; i < std::min(have.size(), want.size()); ++i)
            ASSERT_EQ(have[i], want[i]) << "first difference at line " << i + 1;
        EXPECT_EQ(have.size(), want.size()) << "the record differs in length";
    }

    // Host calls, each written to the record with its result.
    fmi2Component instantiate(const char* name, fmi2Type type, bool logging,
                              const char* resources = "file:///res") {
        fmi2Component c = fmi().fmi2Instantiate(name, type, kvfmuGuid, resources, &callbacks,
                                                fmi2False, logging ? fmi2True : fmi2False);
        record.hostCall(std::string("fmi2Instantiate ") + name, c ? "instance" : "null");
        return c;
    }

    fmi2Status note(const char* call, fmi2Status status) {
        record.hostCall(call, status);
        return status;
    }

    void setReals(fmi2Component c, const std::vector<fmi2ValueReference>& vr,
                  const std::vector<fmi2Real>& values) {
        std::string call = "fmi2SetReal";
        for (size_t i = 0; i < vr.size(); ++i)
            call += " " + std::to_string(vr[i]) + "=" + realText(values[i]);
        note(call.c_str(), fmi().fmi2SetReal(c, vr.data(), vr.size(), values.data()));
    }

    void getReals(fmi2Component c, const std::vector<fmi2ValueReference>& vr) {
        std::vector<fmi2Real> values(vr.size(), -1.0);
        const fmi2Status status = fmi().fmi2GetReal(c, vr.data(), vr.size(), values.data());
        std::string result = statusName(status);
        for (double v : values) result += " " + realText(v);
        record.hostCall("fmi2GetReal", result);
    }

    void step(fmi2Component c, double time, double size) {
        note(("fmi2DoStep " + realText(time) + " " + realText(size)).c_str(),
             fmi().fmi2DoStep(c, time, size, fmi2True));
    }

    void freeInstance(fmi2Component c) {
        fmi().fmi2FreeInstance(c);
        record.hostCall("fmi2FreeInstance", "done");
    }

    // Set-up and initialization of a co-simulation instance, reading the initial outputs.
    void initialize(fmi2Component c) {
        note("fmi2SetupExperiment", fmi().fmi2SetupExperiment(c, fmi2False, 0, 0.0, fmi2True, 10.0));
        note("fmi2EnterInitializationMode", fmi().fmi2EnterInitializationMode(c));
        note("fmi2ExitInitializationMode", fmi().fmi2ExitInitializationMode(c));
    }

    // One instance from instantiation to release, then a second one whose step the server
    // refuses: every facade method is called at least once.
    void runToARefusedStep() {
        fmi2Component c = instantiate("inst", fmi2CoSimulation, false);
        if (c) {
            initialize(c);
            getReals(c, {0, 1, 2, 3});
            setReals(c, {4, 5}, {1.0, -1.0});
            step(c, 0.0, 0.5);
            getReals(c, {0, 1, 2, 3});
            note("fmi2Terminate", fmi().fmi2Terminate(c));
            freeInstance(c);
        }
        fmi2Component second = instantiate("second", fmi2CoSimulation, false);
        if (!second) return;
        initialize(second);
        jvmStandinAnswer("doStepModel", 0);
        jvmStandinLastError("step refused");
        step(second, 0.0, 0.5);
        freeInstance(second);
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
    CaseRecord record;
};

TEST_F(SharedCase, WholeCoSimulation) {
    fmi2Component c = instantiate("inst", fmi2CoSimulation, true);
    ASSERT_NE(c, nullptr);
    note("fmi2SetupExperiment", fmi().fmi2SetupExperiment(c, fmi2True, 1e-6, 0.0, fmi2True, 10.0));
    note("fmi2EnterInitializationMode", fmi().fmi2EnterInitializationMode(c));
    setReals(c, {4}, {0.25});
    note("fmi2ExitInitializationMode", fmi().fmi2ExitInitializationMode(c));
    getReals(c, {0, 1, 2, 3});
    setReals(c, {4, 5}, {1.0, -1.0});
    step(c, 0.0, 0.5);
    getReals(c, {0, 1, 2, 3, 4, 5});
    const double later[] = {3.5, 4.5};
    jvmStandinData(later, 2);
    step(c, 0.5, 0.5);
    getReals(c, {0, 1, 2, 3});
    note("fmi2Terminate", fmi().fmi2Terminate(c));
    freeInstance(c);
}

TEST_F(SharedCase, TwoInstances) {
    fmi2Component a = instantiate("a", fmi2CoSimulation, false);
    fmi2Component b = instantiate("b", fmi2CoSimulation, false);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    initialize(a);
    initialize(b);
    setReals(a, {4}, {1.0});
    setReals(b, {5}, {2.0});
    step(a, 0.0, 0.5);
    step(b, 0.0, 0.25);
    getReals(a, {2, 3});
    freeInstance(a);
    // b goes on with the facade object that both shared.
    step(b, 0.25, 0.25);
    getReals(b, {2, 3});
    note("fmi2Terminate", fmi().fmi2Terminate(b));
    freeInstance(b);
}

TEST_F(SharedCase, LiveInstancesOfOneName) {
    fmi2Component first = instantiate("twin", fmi2CoSimulation, false);
    fmi2Component second = instantiate("twin", fmi2CoSimulation, false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    initialize(first);
    initialize(second);
    setReals(first, {4}, {1.0});
    setReals(second, {4}, {2.0});
    // Outputs are the model's: setting one is refused, naming it.
    setReals(first, {5, 1}, {3.0, 4.0});
    step(second, 0.0, 0.5);
    freeInstance(first);
    // The freed key is the first to be given again.
    fmi2Component third = instantiate("twin", fmi2CoSimulation, false);
    ASSERT_NE(third, nullptr);
    initialize(third);
    jvmStandinAnswer("doStepModel", 0);
    jvmStandinLastError("step refused");
    step(third, 0.0, 0.5);
    freeInstance(second);
    freeInstance(third);
}

TEST_F(SharedCase, TextsBeyondAscii) {
    // Characters beyond U+FFFF both ways, and bytes that are no UTF-8 at all.
    fmi2Component c = instantiate("Tank \xF0\x9F\x99\x82 \xC3\xA9", fmi2CoSimulation, false,
                                  "file:///srv/models/\xF0\x9F\x99\x82/resources");
    ASSERT_NE(c, nullptr);
    initialize(c);
    jvmStandinAnswer("doStepModel", 0);
    jvmStandinLastError("Resource folder /srv/models/\xF0\x9F\x99\x82/resources: \xE2\x88\x85");
    step(c, 0.0, 0.5);
    freeInstance(c);
    fmi2Component bad = instantiate("bad \xFF\xC3 \xED\xA0\x80", fmi2CoSimulation, false);
    ASSERT_NE(bad, nullptr);
    freeInstance(bad);
}

TEST_F(SharedCase, ModelExchangeModeSwitches) {
    fmi2Component c = instantiate("me", fmi2ModelExchange, true);
    ASSERT_NE(c, nullptr);
    initialize(c);
    fmi2EventInfo info{};
    note("fmi2NewDiscreteStates", fmi().fmi2NewDiscreteStates(c, &info));
    note("fmi2EnterContinuousTimeMode", fmi().fmi2EnterContinuousTimeMode(c));
    note("fmi2SetTime", fmi().fmi2SetTime(c, 0.125));
    fmi2Boolean enterEventMode = fmi2True, terminate = fmi2True;
    note("fmi2CompletedIntegratorStep",
         fmi().fmi2CompletedIntegratorStep(c, fmi2True, &enterEventMode, &terminate));
    fmi2Real indicator = -1;
    note("fmi2GetEventIndicators", fmi().fmi2GetEventIndicators(c, &indicator, 1));
    note("fmi2EnterEventMode", fmi().fmi2EnterEventMode(c));
    note("fmi2NewDiscreteStates", fmi().fmi2NewDiscreteStates(c, &info));
    setReals(c, {4}, {0.5});
    getReals(c, {0, 1, 2, 3});
    // Co-simulation stepping is refused in model exchange.
    step(c, 0.0, 0.5);
    freeInstance(c);
}

// Every facade method missing, and every one throwing, in the same run.
class FacadeFault : public SharedCase, public ::testing::WithParamInterface<std::string> {};

TEST_P(FacadeFault, Missing) {
    jvmStandinRemoveMethod(GetParam().c_str());
    runToARefusedStep();
}

TEST_P(FacadeFault, Throwing) {
    jvmStandinThrowIn(GetParam().c_str());
    runToARefusedStep();
}

INSTANTIATE_TEST_SUITE_P(Method, FacadeFault, ::testing::ValuesIn(facadeMethods()),
                         [](const ::testing::TestParamInfo<std::string>& method) {
                             return method.param;
                         });

}  // namespace
