// Staying power of the shipped library, loaded as a host loads it, against the working test
// facade (tests/java/worker): a long run, instantiate/free churn, a thousand short-lived
// native threads, and instances stepped in parallel on threads of their own. Counts are
// fixed and every value read back is checked; nothing here is timed.
#include "java_host.h"
#include "kvfmu_guid.h"
#include "loaded_library.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const LoadedFmu& fmu() { return loadedFmu(KVFMU_SHARED_LIBRARY); }

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitizer = true;
#else
constexpr bool addressSanitizer = false;
#endif

// Host callbacks that any thread may call: they count the memory handed out and given back
// and keep every message.
struct SharedHost {
    std::mutex lock;
    std::set<void*> outstanding;
    size_t allocations = 0;
    size_t frees = 0;
    size_t unknownFrees = 0;  // pointers given back that were never handed out
    std::vector<std::string> messages;
};
SharedHost shared;

void sharedLogger(fmi2ComponentEnvironment, fmi2String instanceName, fmi2Status, fmi2String,
                  fmi2String message, ...) {
    char text[1024];
    va_list args;
    va_start(args, message);
    std::vsnprintf(text, sizeof text, message, args);
    va_end(args);
    const std::lock_guard<std::mutex> guard(shared.lock);
    shared.messages.push_back(std::string(instanceName ? instanceName : "?") + ": " + text);
}

void* sharedAllocate(size_t count, size_t size) {
    void* pointer = std::calloc(std::max<size_t>(count, 1), std::max<size_t>(size, 1));
    const std::lock_guard<std::mutex> guard(shared.lock);
    ++shared.allocations;
    shared.outstanding.insert(pointer);
    return pointer;
}

void sharedFree(void* pointer) {
    {
        const std::lock_guard<std::mutex> guard(shared.lock);
        ++shared.frees;
        if (shared.outstanding.erase(pointer) == 0) ++shared.unknownFrees;
    }
    std::free(pointer);
}

const fmi2CallbackFunctions callbacks = {sharedLogger, sharedAllocate, sharedFree, nullptr,
                                         nullptr};

// Instantiated, set up and initialized; null when any of it failed.
fmi2Component ready(const std::string& name) {
    fmi2Component c = fmu().fmi2Instantiate(name.c_str(), fmi2CoSimulation, kvfmuGuid,
                                            "file:///res", &callbacks, fmi2False, fmi2False);
    if (!c) return nullptr;
    const bool initialized = fmu().fmi2SetupExperiment(c, 0, 0, 0.0, 0, 0.0) == fmi2OK &&
                             fmu().fmi2EnterInitializationMode(c) == fmi2OK &&
                             fmu().fmi2ExitInitializationMode(c) == fmi2OK;
    if (initialized) return c;
    fmu().fmi2FreeInstance(c);
    return nullptr;
}

void release(fmi2Component c) {
    fmu().fmi2Terminate(c);
    fmu().fmi2FreeInstance(c);
}

// One communication step with inputs (a, b), the instance's n-th: empty when every call
// succeeded and the outputs and their copy are (a + b, n), else what went wrong.
std::string stepCycle(fmi2Component c, double a, double b, long n) {
    const fmi2ValueReference in[] = {4, 5};
    const fmi2Real inputs[] = {a, b};
    const fmi2ValueReference out[] = {0, 1, 2, 3};
    fmi2Real outputs[4] = {};
    std::ostringstream failure;
    if (fmu().fmi2SetReal(c, in, 2, inputs) != fmi2OK) return "fmi2SetReal failed";
    if (fmu().fmi2DoStep(c, 0.01 * static_cast<double>(n - 1), 0.01, fmi2True) != fmi2OK)
        return "fmi2DoStep failed";
    if (fmu().fmi2GetReal(c, out, 4, outputs) != fmi2OK) return "fmi2GetReal failed";
    const double expected[] = {a + b, static_cast<double>(n), a + b, static_cast<double>(n)};
    if (std::equal(outputs, outputs + 4, expected)) return "";
    failure << "step " << n << " read (" << outputs[0] << ", " << outputs[1] << ", "
            << outputs[2] << ", " << outputs[3] << "), expected (" << a + b << ", " << n << ")";
    return failure.str();
}

// Inputs of step n of the instance with the given number: no two instances send the same.
double firstInput(int instance, long n) { return instance * 1e6 + static_cast<double>(n); }
double secondInput(int instance) { return 0.25 + instance; }

size_t residentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Runs work(k) on n threads at once, k = 0..n-1, and waits for all of them.
void onThreads(int n, const std::function<void(int)>& work) {
    std::vector<std::thread> threads;
    for (int k = 0; k < n; ++k) threads.emplace_back(work, k);
    for (std::thread& t : threads) t.join();
}

class StayingPower : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(fmu().handle, nullptr) << fmu().error;
        const std::lock_guard<std::mutex> guard(shared.lock);
        shared.messages.clear();
    }

    void TearDown() override {
        const std::lock_guard<std::mutex> guard(shared.lock);
        EXPECT_EQ(shared.messages, std::vector<std::string>{});
        EXPECT_EQ(shared.outstanding.size(), 0u) << "instance memory not given back";
        EXPECT_EQ(shared.unknownFrees, 0u);
    }
};

TEST_F(StayingPower, LongRunOnTheVmsOwnThread) {
    fmi2Component c = ready("long");
    ASSERT_NE(c, nullptr);
    constexpr long warmUp = 10000, steps = 100000;
    long n = 1;
    for (; n <= warmUp; ++n) ASSERT_EQ(stepCycle(c, firstInput(0, n), secondInput(0), n), "");
    const size_t references = localReferenceCount();
    const size_t resident = residentBytes();
    for (; n <= steps; ++n) {
        ASSERT_EQ(stepCycle(c, firstInput(0, n), secondInput(0), n), "");
        // Stops at the first growth: a leaking run only gets slower from there.
        if (n % 1000 == 0) {
            ASSERT_EQ(localReferenceCount(), references) << "after step " << n;
        }
    }
    // 90,000 steps: a leak of a dozen bytes a step passes the bound. (AddressSanitizer keeps
    // freed memory in quarantine, so resident memory says nothing there.)
    const auto grown = static_cast<long long>(residentBytes()) - static_cast<long long>(resident);
    if (!addressSanitizer) {
        EXPECT_LT(grown, 1ll << 20) << "resident memory grew by " << grown;
    }
    release(c);
}

TEST_F(StayingPower, InstantiateFreeChurn) {
    // The VM makes global references of its own as it warms up (compiler threads).
    for (int i = 0; i < 500; ++i) release(ready("warm-up"));
    const size_t globals = globalReferenceCount();
    size_t allocations = 0;
    {
        const std::lock_guard<std::mutex> guard(shared.lock);
        allocations = shared.allocations;
    }
    for (int i = 0; i < 5000; ++i) {
        fmi2Component c = ready("churn");
        ASSERT_NE(c, nullptr) << "cycle " << i;
        ASSERT_EQ(stepCycle(c, i, 0.5, 1), "") << "cycle " << i;
        release(c);
    }
    {
        const std::lock_guard<std::mutex> guard(shared.lock);
        EXPECT_GT(shared.allocations - allocations, 5000u);
        EXPECT_EQ(shared.frees, shared.allocations);
    }
    EXPECT_EQ(liveFacadeObjects(), 0);
    // A queued compilation holds a global reference to its method's class or class loader,
    // so either count may include one: a leak of ours would add one a cycle.
    size_t after = globalReferenceCount();
    for (int wait = 0; after > globals && wait < 100; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        after = globalReferenceCount();
    }
    EXPECT_LE(after, globals);
}

TEST_F(StayingPower, ThousandFreshNativeThreads) {
    fmi2Component c = ready("threads");
    ASSERT_NE(c, nullptr);
    const int javaThreads = nonDaemonJavaThreadCount();
    for (long n = 1; n <= 1000; ++n) {
        std::string result = "not run";
        jint afterwards = JNI_OK;
        std::thread([&] {
            result = stepCycle(c, firstInput(0, n), secondInput(0), n);
            afterwards = javaThreadStatus();
        }).join();
        ASSERT_EQ(result, "");
        ASSERT_EQ(afterwards, JNI_EDETACHED) << "thread " << n << " left attached";
    }
    EXPECT_EQ(nonDaemonJavaThreadCount(), javaThreads);
    release(c);
}

// Two threads drive one instance at once: the host's fault, whose results are undefined,
// but the process survives it and the instance can still be freed.
TEST_F(StayingPower, OneInstanceFromTwoThreadsAtOnceDoesNotCrash) {
    fmi2Component c = ready("shared");
    ASSERT_NE(c, nullptr);
    onThreads(2, [&](int k) {
        for (long n = 1; n <= 2000; ++n) stepCycle(c, firstInput(k, n), secondInput(k), n);
    });
    release(c);
    const std::lock_guard<std::mutex> guard(shared.lock);
    shared.messages.clear();
}

// Instances set up and freed on one thread while another instance steps on another.
TEST_F(StayingPower, ChurnBesideSteps) {
    fmi2Component steady = ready("steady");
    ASSERT_NE(steady, nullptr);
    std::atomic<bool> churning{true};
    std::string result;
    long steps = 0;
    std::thread stepper([&] {
        while (churning && result.empty()) {
            ++steps;
            result = stepCycle(steady, firstInput(1, steps), secondInput(1), steps);
        }
    });
    for (int i = 0; i < 1000; ++i) {
        fmi2Component c = ready("churn");
        EXPECT_NE(c, nullptr);
        if (!c) break;
        release(c);
    }
    churning = false;
    stepper.join();
    EXPECT_EQ(result, "");
    EXPECT_GT(steps, 0);
    release(steady);
    EXPECT_EQ(liveFacadeObjects(), 0);
}

// The host's logger may call back into the library on the same thread, also from inside an
// operation that has the thread attached (fmi2SetReal logs its values inside its bracket).
fmi2Component reentered = nullptr;
std::string reentry = "not called";

void reenteringLogger(fmi2ComponentEnvironment, fmi2String, fmi2Status, fmi2String,
                      fmi2String message, ...) {
    if (reentered && std::string(message) == "fmi2SetReal: #r%d# = %.16g") {
        fmi2Component c = reentered;
        reentered = nullptr;  // once
        reentry = stepCycle(c, 7.0, 0.5, 1);
    }
}

TEST_F(StayingPower, LoggerMayCallBackIntoTheLibrary) {
    fmi2Component inner = ready("inner");
    ASSERT_NE(inner, nullptr);
    const fmi2CallbackFunctions reentering = {reenteringLogger, sharedAllocate, sharedFree,
                                              nullptr, nullptr};
    fmi2Component outer = fmu().fmi2Instantiate("outer", fmi2CoSimulation, kvfmuGuid, "",
                                                &reentering, fmi2False, fmi2True);
    ASSERT_NE(outer, nullptr);
    ASSERT_EQ(fmu().fmi2SetupExperiment(outer, 0, 0, 0.0, 0, 0.0), fmi2OK);
    ASSERT_EQ(fmu().fmi2EnterInitializationMode(outer), fmi2OK);
    ASSERT_EQ(fmu().fmi2ExitInitializationMode(outer), fmi2OK);
    std::thread([&] {
        reentered = inner;
        EXPECT_EQ(stepCycle(outer, 1.0, 2.0, 1), "");
    }).join();
    EXPECT_EQ(reentry, "");
    release(outer);
    release(inner);
}

class ParallelInstances : public StayingPower {
protected:
    static constexpr int instances = 4;
    static constexpr long cycles = 10000;

    // The first failure of each instance's run; empty when all went right.
    std::vector<std::string> failures = std::vector<std::string>(instances);

    void run(int k, fmi2Component c) {
        for (long n = 1; n <= cycles && failures[k].empty(); ++n)
            failures[k] = stepCycle(c, firstInput(k, n), secondInput(k), n);
    }
};

TEST_F(ParallelInstances, FourOnThreadsTheVmDoesNotKnow) {
    std::vector<fmi2Component> components;
    for (int k = 0; k < instances; ++k) {
        components.push_back(ready("parallel" + std::to_string(k)));
        ASSERT_NE(components.back(), nullptr);
    }
    const int javaThreads = nonDaemonJavaThreadCount();
    onThreads(instances, [&](int k) { run(k, components[k]); });
    EXPECT_EQ(failures, std::vector<std::string>(instances));
    EXPECT_EQ(nonDaemonJavaThreadCount(), javaThreads);
    for (fmi2Component c : components) release(c);
    EXPECT_EQ(liveFacadeObjects(), 0);
}

// Each thread is attached before, sets up and frees its own instance, and stays attached
// until it detaches itself.
TEST_F(ParallelInstances, FourOnThreadsAttachedBefore) {
    const int javaThreads = nonDaemonJavaThreadCount();
    std::vector<jint> statusAtEnd(instances, JNI_EDETACHED);
    onThreads(instances, [&](int k) {
        JNIEnv* env = nullptr;
        if (testJavaVm()->AttachCurrentThread(reinterpret_cast<void**>(&env), nullptr) != JNI_OK) {
            failures[k] = "could not attach";
            return;
        }
        fmi2Component c = ready("attached" + std::to_string(k));
        if (c) {
            run(k, c);
            release(c);
        } else {
            failures[k] = "set-up failed";
        }
        statusAtEnd[k] = javaThreadStatus();
        testJavaVm()->DetachCurrentThread();
    });
    EXPECT_EQ(failures, std::vector<std::string>(instances));
    EXPECT_EQ(statusAtEnd, std::vector<jint>(instances, JNI_OK));
    EXPECT_EQ(nonDaemonJavaThreadCount(), javaThreads);
    EXPECT_EQ(liveFacadeObjects(), 0);
}

}  // namespace
