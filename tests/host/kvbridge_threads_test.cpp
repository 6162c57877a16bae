// Instances of the real server driven from host threads at once, through the shipped
// library and kvbridge.jar: set-ups and releases on one thread leave the steps of an
// instance on another alone, and every failed step is reported with its own reason.
#include "concurrent_host.h"
#include "java_host.h"
#include "kvbridge_host.h"
#include "kvfmu_guid.h"

#include <atomic>
#include <functional>
#include <sstream>
#include <thread>

namespace {

// Runs the work on a new thread that is attached to the VM for its whole life, as a Java
// thread of the host would be.
std::thread attachedThread(std::function<void()> work) {
    return std::thread([work = std::move(work)] {
        JNIEnv* env = nullptr;
        if (testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
            ADD_FAILURE() << "cannot attach the thread";
            return;
        }
        work();
        testJavaVm()->DetachCurrentThread();
    });
}

// What went wrong on a thread, kept for the report; the first few are enough.
struct Incidents {
    std::vector<std::string> seen;
    long count = 0;
    void add(const std::string& what) {
        if (++count <= 5) seen.push_back(what);
    }
};

class KvbridgeThreads : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(fmu().handle, nullptr) << fmu().error; }
    void TearDown() override { EXPECT_EQ(concurrentAllocationsOutstanding(), 0); }

    // An instance of the lag, set up from 0 and initialized, made on this (the VM's) thread.
    static fmi2Component readyLag(const char* name, const fmi2CallbackFunctions& callbacks,
                                  const InstanceLog& log) {
        fmi2Component c = fmu().fmi2Instantiate(name, fmi2CoSimulation, kvfmuGuid,
                                                lagUri.c_str(), &callbacks, 0, 0);
        EXPECT_NE(c, nullptr) << log.text();
        if (!c) return nullptr;
        EXPECT_EQ(fmu().fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0), fmi2OK) << log.text();
        EXPECT_EQ(fmu().fmi2EnterInitializationMode(c), fmi2OK);
        EXPECT_EQ(fmu().fmi2ExitInitializationMode(c), fmi2OK) << log.text();
        return c;
    }
};

// Steps the lag under the input 1 from t = 0 until told to stop (and at least 100 times),
// checking every value read back; stops at the first incident, since the instance is in
// error then. Answers the steps made.
long stepUntil(const std::atomic<bool>& going, fmi2Component c, const InstanceLog& log,
               Incidents& incidents) {
    constexpr double h = 0.001;
    const fmi2ValueReference u = 2, outputs[] = {0, 1};
    const double one = 1.0;
    long i = 0;
    for (; going || i < 100; ++i) {
        std::ostringstream what;
        what.precision(17);
        what << "step " << i << ": ";
        double y[] = {-1.0, -1.0};
        if (fmu().fmi2SetReal(c, &u, 1, &one) != fmi2OK) {
            what << "fmi2SetReal failed";
        } else if (fmu().fmi2DoStep(c, i * h, h, fmi2True) != fmi2OK) {
            what << "fmi2DoStep failed";
        } else if (fmu().fmi2GetReal(c, outputs, 2, y) != fmi2OK) {
            what << "fmi2GetReal failed";
        } else if (std::abs(y[0] - lag((i + 1) * h)) > 1e-9 || y[1] != y[0]) {
            what << "read y = " << y[0] << " and its copy " << y[1] << ", expected "
                 << lag((i + 1) * h);
        } else {
            continue;
        }
        incidents.add(what.str() + "\n" + log.text());
        break;
    }
    return i;
}

TEST_F(KvbridgeThreads, SetUpsAndReleasesBesideInstancesThatStep) {
    InstanceLog javaLog, nativeLog, churnLog;
    const fmi2CallbackFunctions javaCallbacks = concurrentCallbacks(javaLog);
    const fmi2CallbackFunctions nativeCallbacks = concurrentCallbacks(nativeLog);
    const fmi2CallbackFunctions churnCallbacks = concurrentCallbacks(churnLog);
    fmi2Component onJavaThread = readyLag("on Java thread", javaCallbacks, javaLog);
    fmi2Component onNativeThread = readyLag("on native thread", nativeCallbacks, nativeLog);
    ASSERT_NE(onJavaThread, nullptr);
    ASSERT_NE(onNativeThread, nullptr);

    // Each cycle sets up and frees an instance, after set-ups that the server refuses (the
    // resources folder does not exist): those are quick, so set-ups come thick and fast.
    constexpr int cycles = 2000;
    constexpr int refusedPerCycle = 10;
    const std::string missingUri = lagUri + "/missing";
    std::atomic<bool> churning{true};
    Incidents churnIncidents, javaIncidents, nativeIncidents;
    std::thread churn = attachedThread([&] {
        for (int i = 0; i < cycles && javaIncidents.count + nativeIncidents.count == 0; ++i) {
            for (int k = 0; k < refusedPerCycle; ++k) {
                if (fmu().fmi2Instantiate("refused", fmi2CoSimulation, kvfmuGuid,
                                          missingUri.c_str(), &churnCallbacks, 0, 0))
                    churnIncidents.add("a set-up from a missing folder succeeded");
            }
            fmi2Component c = fmu().fmi2Instantiate("churn", fmi2CoSimulation, kvfmuGuid,
                                                    lagUri.c_str(), &churnCallbacks, 0, 0);
            if (!c) {
                churnIncidents.add("cycle " + std::to_string(i) + ": " + churnLog.text());
                continue;
            }
            fmu().fmi2FreeInstance(c);
        }
        churning = false;
    });
    long javaSteps = 0, nativeSteps = 0;
    std::thread javaStepper = attachedThread(
        [&] { javaSteps = stepUntil(churning, onJavaThread, javaLog, javaIncidents); });
    // A thread the VM does not know: the library attaches it for each call.
    std::thread nativeStepper(
        [&] { nativeSteps = stepUntil(churning, onNativeThread, nativeLog, nativeIncidents); });
    churn.join();
    javaStepper.join();
    nativeStepper.join();

    EXPECT_EQ(javaIncidents.count, 0) << "after " << javaSteps << " steps on a Java thread:\n"
                                      << ::testing::PrintToString(javaIncidents.seen);
    EXPECT_EQ(nativeIncidents.count, 0) << "after " << nativeSteps
                                        << " steps on a native thread:\n"
                                        << ::testing::PrintToString(nativeIncidents.seen);
    EXPECT_EQ(churnIncidents.count, 0) << ::testing::PrintToString(churnIncidents.seen);
    for (const HostMessage& m : churnLog.messages()) {
        if (m.instanceName != "refused") ADD_FAILURE() << m.instanceName << ": " << m.text;
    }
    fmu().fmi2FreeInstance(onJavaThread);
    fmu().fmi2FreeInstance(onNativeThread);
    // Every churned instance was freed on the server too: the name is free again.
    fmi2Component again = fmu().fmi2Instantiate("churn", fmi2CoSimulation, kvfmuGuid,
                                                lagUri.c_str(), &churnCallbacks, 0, 0);
    EXPECT_NE(again, nullptr) << churnLog.text();
    if (again) fmu().fmi2FreeInstance(again);
}

TEST_F(KvbridgeThreads, EachFailedStepOnANativeThreadGivesItsOwnReason) {
    // Two instances fail their steps on threads the VM does not know, each with a reason
    // that names it; every message must be its own instance's.
    constexpr int failures = 1000;
    struct Side {
        explicit Side(const char* sideName)
            : name(sideName), callbacks(concurrentCallbacks(log)) {}
        const char* name;
        InstanceLog log;
        const fmi2CallbackFunctions callbacks;
        fmi2Component c = nullptr;
        Incidents incidents;
    } sides[2] = {Side("left"), Side("right")};
    for (Side& side : sides) {
        side.c = fmu().fmi2Instantiate(side.name, fmi2CoSimulation, kvfmuGuid, lagUri.c_str(),
                                       &side.callbacks, 0, 0);
        ASSERT_NE(side.c, nullptr) << side.log.text();
    }
    const auto fail = [](Side& side) {
        const std::string own = std::string("Error: Instance ") + side.name + ": the step starts";
        for (int i = 0; i < failures; ++i) {
            // A new run each time: the step that skips time fails on the server.
            fmu().fmi2Reset(side.c);
            fmu().fmi2SetupExperiment(side.c, 0, 0, 0.0, 0, 0.0);
            fmu().fmi2EnterInitializationMode(side.c);
            fmu().fmi2ExitInitializationMode(side.c);
            const size_t before = side.log.size();
            if (fmu().fmi2DoStep(side.c, 1.0 + i, 0.5, fmi2True) != fmi2Error) {
                side.incidents.add("failure " + std::to_string(i) + ": the step passed");
                continue;
            }
            const std::vector<HostMessage> messages = side.log.messages();
            if (messages.size() != before + 1 || messages.back().text.rfind(own, 0) != 0)
                side.incidents.add("failure " + std::to_string(i) + ": " +
                                   (messages.size() > before ? messages.back().text : "(none)"));
        }
    };
    std::thread left([&] { fail(sides[0]); });
    std::thread right([&] { fail(sides[1]); });
    left.join();
    right.join();
    for (Side& side : sides) {
        EXPECT_EQ(side.incidents.count, 0)
            << side.name << ":\n" << ::testing::PrintToString(side.incidents.seen);
        fmu().fmi2FreeInstance(side.c);
    }
}

}  // namespace
