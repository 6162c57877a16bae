// JNI failures that a real VM gives only under memory pressure or not at all, injected at
// every place the library meets them on a whole co-simulation run: each must end in the
// documented failure value or an fmi2Error with a message, and never in a crash, a broken
// JNI rule, host memory or a server-side instance left behind, or a thread left attached.
#include "fmi_table.h"
#include "host.h"
#include "host_text.h"
#include "kvfmu_guid.h"
#include "standin_vm.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class HostThread { java, native };

// One host call of the run; answers its status (fmi2FreeInstance: fmi2OK).
struct Operation {
    const char* name;
    std::function<fmi2Status(fmi2Component&, const fmi2CallbackFunctions&)> run;
};

fmi2Status setReals(fmi2Component c, std::vector<fmi2ValueReference> vr,
                    std::vector<fmi2Real> values) {
    return fmi().fmi2SetReal(c, vr.data(), vr.size(), values.data());
}

fmi2Status getOutputs(fmi2Component c) {
    const fmi2ValueReference vr[] = {0, 1, 2, 3};
    fmi2Real values[4];
    return fmi().fmi2GetReal(c, vr, 4, values);
}

const std::vector<Operation>& operations() {
    static const std::vector<Operation> ops = {
        {"fmi2Instantiate",
         [](fmi2Component& c, const fmi2CallbackFunctions& callbacks) {
             c = fmi().fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "file:///res",
                                       &callbacks, fmi2False, fmi2False);
             return c ? fmi2OK : fmi2Error;
         }},
        {"fmi2SetupExperiment",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             return fmi().fmi2SetupExperiment(c, fmi2False, 0, 0.0, fmi2True, 10.0);
         }},
        {"fmi2EnterInitializationMode",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             return fmi().fmi2EnterInitializationMode(c);
         }},
        {"fmi2SetReal (initial)",
         [](fmi2Component& c, const fmi2CallbackFunctions&) { return setReals(c, {4}, {0.25}); }},
        {"fmi2ExitInitializationMode",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             return fmi().fmi2ExitInitializationMode(c);
         }},
        {"fmi2GetReal (initial)",
         [](fmi2Component& c, const fmi2CallbackFunctions&) { return getOutputs(c); }},
        {"fmi2SetReal",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             return setReals(c, {4, 5}, {1.0, -1.0});
         }},
        {"fmi2DoStep",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             return fmi().fmi2DoStep(c, 0.0, 0.5, fmi2True);
         }},
        {"fmi2GetReal", [](fmi2Component& c, const fmi2CallbackFunctions&) { return getOutputs(c); }},
        {"fmi2Terminate",
         [](fmi2Component& c, const fmi2CallbackFunctions&) { return fmi().fmi2Terminate(c); }},
        {"fmi2FreeInstance",
         [](fmi2Component& c, const fmi2CallbackFunctions&) {
             fmi().fmi2FreeInstance(c);
             c = nullptr;
             return fmi2OK;
         }},
    };
    return ops;
}

struct Injection {
    size_t operation;  // index into operations()
    int nth;           // call of the function within that operation
};

// Runs the whole co-simulation, with the failure (if any) armed just before its operation.
// Instantiation runs on the host's Java thread (the library expects that); with
// HostThread::native each later call comes from a fresh native thread. Answers the
// problems found.
std::vector<std::string> run(const std::string& function, HostThread thread,
                             const Injection* injection, std::vector<int>* callsPerOperation) {
    standinServer();
    resetTestHost();
    jvmStandinLastError("server failure");
    const fmi2CallbackFunctions callbacks = hostCallbacks();
    const int globalsBefore = jvmStandinLiveGlobalRefs();
    std::vector<std::string> problems;
    std::string where;
    fmi2Component c = nullptr;
    bool freeReportedFailure = false;  // the host was told the server keeps the instance

    for (size_t k = 0; k < operations().size(); ++k) {
        const Operation& op = operations()[k];
        if (k > 0 && !c) break;  // nothing was instantiated
        const bool faulted = injection && injection->operation == k;
        if (faulted) {
            jvmStandinFailAt(function.c_str(), injection->nth);
            where = function + " call " + std::to_string(injection->nth) + " in " + op.name;
        }
        const int callsBefore = jvmStandinCallCount(function.c_str());
        const size_t logBefore = testHost().log.size();
        fmi2Status status = fmi2OK;
        int attachedAfter = 0;
        if (thread == HostThread::native && k > 0) {
            std::thread host([&] {
                status = op.run(c, callbacks);
                attachedAfter = jvmStandinThreadAttached();
            });
            host.join();
        } else {
            status = op.run(c, callbacks);
        }
        if (callsPerOperation)
            callsPerOperation->push_back(jvmStandinCallCount(function.c_str()) - callsBefore);
        if (attachedAfter) problems.push_back(std::string(op.name) + " left its thread attached");
        if (!faulted) continue;
        if (jvmStandinInjectedFailures() != 1) problems.push_back("the failure was not reached");
        std::string seen = statusName(status);
        bool errorLogged = false;
        for (size_t i = logBefore; i < testHost().log.size(); ++i) {
            const LogRecord& r = testHost().log[i];
            seen += " | " + r.text;
            if (r.status == fmi2Error && !r.text.empty()) errorLogged = true;
        }
        std::cout << "  " << where << ": " << seen << "\n";
        freeReportedFailure = errorLogged && std::string(op.name) == "fmi2FreeInstance";
        if (status != fmi2OK && (status != fmi2Error || !errorLogged))
            problems.push_back("answered " + seen + " without an error message");
    }
    if (c) fmi().fmi2FreeInstance(c);  // the run stopped short

    jvmStandinCheckQuiescent();
    for (const std::string& v : standinViolations()) problems.push_back("JNI rule: " + v);
    if (allocationsOutstanding() != 0) problems.push_back("host memory left allocated");
    // A free that could not reach the server leaves its instance there and says so.
    if (jvmStandinLiveServerInstances() != 0 && !freeReportedFailure)
        problems.push_back("server-side instance left");
    if (jvmStandinLiveGlobalRefs() > globalsBefore && !freeReportedFailure)
        problems.push_back("global reference left");
    for (std::string& p : problems) p = (where.empty() ? "clean run" : where) + ": " + p;
    return problems;
}

struct Case {
    std::string function;
    HostThread thread;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.function << (c.thread == HostThread::java ? " on a Java thread" : " on a native thread");
}

class FaultInjection : public ::testing::TestWithParam<Case> {};

TEST_P(FaultInjection, EveryPlaceOnAWholeRun) {
    const Case& param = GetParam();
    std::vector<int> calls;
    const std::vector<std::string> clean = run(param.function, param.thread, nullptr, &calls);
    ASSERT_EQ(clean, std::vector<std::string>{});
    int places = 0;
    std::vector<std::string> problems;
    for (size_t k = 0; k < calls.size(); ++k) {
        for (int nth = 1; nth <= calls[k]; ++nth) {
            const Injection injection{k, nth};
            for (const std::string& p : run(param.function, param.thread, &injection, nullptr))
                problems.push_back(p);
            ++places;
        }
    }
    EXPECT_GT(places, 0) << param.function << " is never called on this run";
    EXPECT_EQ(problems, std::vector<std::string>{});
}

const Case cases[] = {
    {"AttachCurrentThread", HostThread::native},
    {"NewString", HostThread::java},
    {"NewString", HostThread::native},
    {"NewDoubleArray", HostThread::java},
    {"GetStringChars", HostThread::java},
    {"GetStringChars", HostThread::native},
    {"GetDoubleArrayElements", HostThread::java},
    {"PushLocalFrame", HostThread::java},
    {"PushLocalFrame", HostThread::native},
    {"NewGlobalRef", HostThread::java},
    {"FindClass", HostThread::java},
    {"GetMethodID", HostThread::java},
    {"JNI_GetCreatedJavaVMs", HostThread::native},
    {"GetEnv", HostThread::java},
};

INSTANTIATE_TEST_SUITE_P(Jni, FaultInjection, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& c) {
                             return c.param.function +
                                    (c.param.thread == HostThread::java ? "_JavaThread"
                                                                        : "_NativeThread");
                         });

// The places where the sweep found faults, by name.
class FaultAt : public ::testing::Test {
protected:
    void SetUp() override {
        standinServer();
        resetTestHost();
    }

    fmi2Component instantiate() {
        return fmi().fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", &callbacks, fmi2False,
                                     fmi2False);
    }

    const fmi2CallbackFunctions callbacks = hostCallbacks();
};

TEST_F(FaultAt, VmLookupFailingForTheCountAfterTheSetUpUndoesIt) {
    // Calls 1 and 2 find the VM for the set-up, whose facade calls use the environment it
    // took; the 3rd is the bracket of the count of reals that sizes the instance's array.
    ASSERT_TRUE(jvmStandinFailAt("JNI_GetCreatedJavaVMs", 3));
    EXPECT_EQ(instantiate(), nullptr);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2Instantiate: The Java VM failed while asking the server for "
              "\"number_of_reals\" (it was not found, or the thread could not be attached)");
    EXPECT_EQ(standinFacadeCalls().back(), "doFreeInstance(inst)");
    EXPECT_EQ(jvmStandinLiveServerInstances(), 0);
    jvmStandinCheckQuiescent();
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
    EXPECT_EQ(jvmStandinLiveGlobalRefs(), 0);
    EXPECT_EQ(allocationsOutstanding(), 0u);
}

TEST_F(FaultAt, AttachFailingForAStepLeavesNoStaleEnvironment) {
    fmi2Component c = instantiate();
    ASSERT_NE(c, nullptr);
    fmi().fmi2SetupExperiment(c, fmi2False, 0, 0.0, fmi2False, 0.0);
    fmi().fmi2EnterInitializationMode(c);
    fmi().fmi2ExitInitializationMode(c);
    fmi2Status status = fmi2OK;
    std::thread host([&] {
        jvmStandinFailAt("AttachCurrentThread", 1);
        status = fmi().fmi2DoStep(c, 0.0, 0.5, fmi2True);
    });
    host.join();
    EXPECT_EQ(status, fmi2Error);
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
    fmi().fmi2FreeInstance(c);
}

TEST_F(FaultAt, FreeThatCannotReachTheServerSaysSo) {
    fmi2Component c = instantiate();
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(jvmStandinFailAt("NewString", 1));
    fmi().fmi2FreeInstance(c);
    ASSERT_EQ(testHost().log.size(), 1u);
    EXPECT_EQ(testHost().log[0].status, fmi2Error);
    EXPECT_EQ(testHost().log[0].text,
              "fmi2FreeInstance: The server could not be told to free instance inst.");
    EXPECT_EQ(allocationsOutstanding(), 0u);
    EXPECT_EQ(standinViolations(), std::vector<std::string>{});
}

// A count query the VM fails to carry: the n-th call of a JNI function within one host
// call, and the count whose query it hits. Each count query makes two strings (instance
// name, key) and reads one answer.
struct CountFault {
    const char* function;
    int nth;
    const char* key;
};

std::vector<CountFault> countFaults(const char* first, const char* second) {
    return {{"NewString", 1, first},      {"NewString", 2, first},
            {"GetStringChars", 1, first}, {"NewString", 3, second},
            {"NewString", 4, second},     {"GetStringChars", 2, second}};
}

std::string countFailure(const std::string& key) {
    return "The Java VM failed while asking the server for \"" + key +
           "\" (it could not make or read a string, e.g. for lack of memory)";
}

// Runs the host call on the given kind of thread; answers its status and whether the
// call left its thread attached.
fmi2Status runOn(HostThread thread, const std::function<fmi2Status()>& call, bool& leftAttached) {
    if (thread == HostThread::java) {
        leftAttached = false;
        return call();
    }
    fmi2Status status = fmi2OK;
    std::thread host([&] {
        status = call();
        leftAttached = jvmStandinThreadAttached() != 0;
    });
    host.join();
    return status;
}

class CountQueryFault : public FaultAt {
protected:
    // An instance past initialization, whose initial outputs are 1.5 and 2.5; the server
    // would answer 7 and 8 from now on.
    fmi2Component initialized() {
        fmi2Component c = instantiate();
        EXPECT_NE(c, nullptr);
        fmi().fmi2SetupExperiment(c, fmi2False, 0, 0.0, fmi2False, 0.0);
        fmi().fmi2EnterInitializationMode(c);
        fmi().fmi2ExitInitializationMode(c);
        const double later[] = {7.0, 8.0};
        jvmStandinData(later, 2);
        return c;
    }

    // The facade calls since the given count, apart from count queries.
    std::vector<std::string> callsBesideCounts(size_t since) {
        std::vector<std::string> calls;
        const std::vector<std::string> all = standinFacadeCalls();
        for (size_t i = since; i < all.size(); ++i)
            if (all[i].rfind("getProp(", 0) != 0) calls.push_back(all[i]);
        return calls;
    }

    std::vector<double> outputsAndCopies(fmi2Component c) {
        const fmi2ValueReference vr[] = {0, 1, 2, 3};
        std::vector<double> values(4, -1.0);
        EXPECT_EQ(fmi().fmi2GetReal(c, vr, 4, values.data()), fmi2OK);
        return values;
    }

    // The host's log since the given entry holds just this error.
    void expectLoggedError(size_t since, const std::string& text) {
        ASSERT_EQ(testHost().log.size(), since + 1);
        EXPECT_EQ(testHost().log[since].status, fmi2Error);
        EXPECT_EQ(testHost().log[since].text, text);
    }

    // Arms the fault and runs the host call with it on the given kind of thread.
    fmi2Status runFaulted(const CountFault& fault, HostThread thread, bool& leftAttached,
                          const std::function<fmi2Status()>& call) {
        EXPECT_TRUE(jvmStandinFailAt(fault.function, fault.nth));
        const fmi2Status status = runOn(thread, call, leftAttached);
        EXPECT_EQ(jvmStandinInjectedFailures(), 1);
        return status;
    }

    // Runs the scenario once per fault and kind of thread, each on a fresh instance past
    // initialization; the scenario answers whether its host call left its thread attached.
    void forEachFault(const std::vector<CountFault>& faults,
                      const std::function<bool(fmi2Component, const CountFault&, HostThread)>&
                          scenario) {
        for (const HostThread thread : {HostThread::java, HostThread::native}) {
            for (const CountFault& fault : faults) {
                SCOPED_TRACE(std::string(fault.function) + " call " + std::to_string(fault.nth) +
                             (thread == HostThread::java ? " on a Java thread"
                                                         : " on a native thread"));
                standinServer();
                resetTestHost();
                fmi2Component c = initialized();
                ASSERT_NE(c, nullptr);
                expectCleanAfterFree(c, scenario(c, fault, thread));
            }
        }
    }

    // Nothing the fault could have left behind once the instance is freed.
    void expectCleanAfterFree(fmi2Component c, bool leftAttached) {
        EXPECT_FALSE(leftAttached);
        fmi().fmi2FreeInstance(c);
        jvmStandinCheckQuiescent();
        EXPECT_EQ(standinViolations(), std::vector<std::string>{});
        EXPECT_EQ(allocationsOutstanding(), 0u);
        EXPECT_EQ(jvmStandinLiveServerInstances(), 0);
        EXPECT_EQ(jvmStandinLiveGlobalRefs(), 0);
    }
};

TEST_F(CountQueryFault, StepIsNotSentAndSaysWhy) {
    forEachFault(countFaults("number_of_inputs", "number_of_outputs"),
                 [&](fmi2Component c, const CountFault& fault, HostThread thread) {
                     const size_t callsBefore = standinFacadeCalls().size();
                     const size_t logBefore = testHost().log.size();
                     bool leftAttached = false;
                     EXPECT_EQ(runFaulted(fault, thread, leftAttached,
                                          [&] { return fmi().fmi2DoStep(c, 0.0, 0.5, fmi2True); }),
                               fmi2Error);
                     expectLoggedError(logBefore, "Error: " + countFailure(fault.key));
                     // Neither step nor fetch, nor the server's error text, which has no
                     // part in it.
                     EXPECT_EQ(callsBesideCounts(callsBefore), std::vector<std::string>{});
                     EXPECT_EQ(outputsAndCopies(c), (std::vector<double>{1.5, 2.5, 1.5, 2.5}));
                     return leftAttached;
                 });
}

TEST_F(CountQueryFault, ReadFailsAndTheNextReadIsRight) {
    forEachFault(countFaults("number_of_outputs", "number_of_reals"),
                 [&](fmi2Component c, const CountFault& fault, HostThread thread) {
                     EXPECT_EQ(fmi().fmi2DoStep(c, 0.0, 0.5, fmi2True), fmi2OK);
                     const size_t logBefore = testHost().log.size();
                     const fmi2ValueReference vr[] = {0, 1, 2, 3};
                     std::vector<double> values(4, -1.0);
                     bool leftAttached = false;
                     EXPECT_EQ(runFaulted(fault, thread, leftAttached,
                                          [&] { return fmi().fmi2GetReal(c, vr, 4, values.data()); }),
                               fmi2Error);
                     expectLoggedError(logBefore, "fmi2GetReal: " + countFailure(fault.key));
                     // The host's array gets nothing but the model's values.
                     EXPECT_EQ(values, (std::vector<double>(4, -1.0)));
                     // The copy of the outputs is made on the next read, not lost.
                     EXPECT_EQ(outputsAndCopies(c), (std::vector<double>{7.0, 8.0, 7.0, 8.0}));
                     return leftAttached;
                 });
}

// Outputs the VM could not fetch (the name string for getData, or the array's elements):
// the call fails with the reason instead of passing with the previous outputs.
const char* const fetchFailure =
    "The Java VM failed while fetching the outputs from the server (it could not make a "
    "string or read the array, e.g. for lack of memory)";

TEST_F(CountQueryFault, StepWhoseOutputsCannotBeFetchedFailsAndSaysWhy) {
    // A step makes four strings for its two counts, one for doStepModel, then getData's.
    const std::vector<CountFault> faults = {{"NewString", 6, "getData"},
                                            {"GetDoubleArrayElements", 1, "getData"}};
    for (const HostThread thread : {HostThread::java, HostThread::native}) {
        for (const CountFault& fault : faults) {
            SCOPED_TRACE(std::string(fault.function) +
                         (thread == HostThread::java ? " on a Java thread" : " on a native thread"));
            standinServer();
            resetTestHost();
            fmi2Component c = initialized();
            ASSERT_NE(c, nullptr);
            const size_t logBefore = testHost().log.size();
            bool leftAttached = false;
            EXPECT_EQ(runFaulted(fault, thread, leftAttached,
                                 [&] { return fmi().fmi2DoStep(c, 0.0, 0.5, fmi2True); }),
                      fmi2Error);
            expectLoggedError(logBefore, std::string("Error: ") + fetchFailure);
            EXPECT_EQ(outputsAndCopies(c), (std::vector<double>{1.5, 2.5, 1.5, 2.5}));
            expectCleanAfterFree(c, leftAttached);
        }
    }
}

TEST_F(CountQueryFault, InitialOutputsThatCannotBeFetchedFailTheInitialization) {
    fmi2Component c = instantiate();
    ASSERT_NE(c, nullptr);
    fmi().fmi2SetupExperiment(c, fmi2False, 0, 0.0, fmi2False, 0.0);
    fmi().fmi2EnterInitializationMode(c);
    const size_t logBefore = testHost().log.size();
    ASSERT_TRUE(jvmStandinFailAt("GetDoubleArrayElements", 1));
    EXPECT_EQ(fmi().fmi2ExitInitializationMode(c), fmi2Error);
    expectLoggedError(logBefore, std::string("fmi2ExitInitializationMode: ") + fetchFailure);
    expectCleanAfterFree(c, false);
}

}  // namespace
