// Common ground of the bridge tests: a fresh script and trace per test, server-side
// instances that are freed again at the end, and instance records built by hand whose real
// array is fenced by guard entries, so that any access outside it shows.
#pragma once

#include "facade.h"
#include "instance.h"
#include "java_host.h"
#include "java_vm.h"
#include "server_exchange.h"
#include "trace_recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using Calls = std::vector<std::string>;

constexpr double guardValue = -999.25;
constexpr size_t guardEntries = 8;

// The trace lines recorded since the test began, as text.
inline std::vector<std::string> traceTexts() {
    std::vector<std::string> texts;
    for (const TraceLine& line : recordedTrace()) texts.push_back(line.text);
    return texts;
}

inline bool traced(const std::string& text) {
    const auto texts = traceTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// A count of the server's, or nothing when it gave none (the reason is in LastError).
inline std::optional<int32_t> countOf(bool (*query)(const char*, int32_t&), const char* key) {
    int32_t count = -12345;
    if (query(key, count)) return count;
    return std::nullopt;
}
inline std::optional<int32_t> numberOfReals(const char* key) {
    return countOf(getNumberOfReals, key);
}

// The calls of facadeCalls() that name the given method.
inline Calls callsOf(const std::string& method) {
    Calls found;
    for (const std::string& call : facadeCalls())
        if (call.compare(0, method.size() + 1, method + "(") == 0) found.push_back(call);
    return found;
}

class BridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        scriptReset();
        recordedTrace().clear();
    }

    void TearDown() override {
        scriptReset();
        for (const std::string& name : serverInstances) j_doFreeInstance(name.c_str());
        EXPECT_EQ(liveInstances, 0) << "server-side instances left behind";
        EXPECT_FALSE(javaExceptionPending()) << "a Java exception was left pending";
    }

    // Creates the server-side instance (and with it the facade object), then clears the
    // facade's log and answers. TearDown frees it.
    void serverInstance(const char* name = "inst") {
        ASSERT_TRUE(doInstantiate(name, "file:///res")) << LastError;
        serverInstances.push_back(name);
        scriptReset();
        recordedTrace().clear();
    }

    void forgetServerInstance(const std::string& name) {
        serverInstances.erase(std::find(serverInstances.begin(), serverInstances.end(), name));
    }

    // A record of instance "inst" whose realValues has `length` entries, all 0.0, between
    // guard entries.
    FmuInstance& record(size_t length, ModelState state = modelStepComplete) {
        memory.assign(length + 2 * guardEntries, guardValue);
        std::fill_n(memory.begin() + guardEntries, length, 0.0);
        instance = FmuInstance{};
        instance.realValues = memory.data() + guardEntries;
        instance.realValuesLength = length;
        instance.instanceName = instanceName;
        instance.serverKey = instanceName;
        instance.fmuType = fmi2CoSimulation;
        instance.state = state;
        return instance;
    }

    std::vector<double> reals() const {
        return {instance.realValues, instance.realValues + instance.realValuesLength};
    }

    bool guardsIntact() const {
        const auto outside = [](double v) { return v == guardValue; };
        return std::all_of(memory.begin(), memory.begin() + guardEntries, outside) &&
               std::all_of(memory.end() - guardEntries, memory.end(), outside);
    }

    // The counts the server reports for instance "inst".
    void layout(const char* reals, const char* outputs, const char* inputs) {
        scriptLayout(reals, outputs, inputs);
    }

    std::vector<std::string> serverInstances;
    std::vector<double> memory;
    FmuInstance instance{};
    char instanceName[5] = "inst";
};
