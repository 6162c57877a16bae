// The trace channel of the Windows build: every line reaches the debugger output as one
// message, as written, whatever the host's logging says.
#include "debugger_output.h"
#include "fmi2_functions.h"
#include "host.h"
#include "kvfmu_guid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Trace : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        startCapturingDebuggerOutput();
    }
    void TearDown() override { stopCapturingDebuggerOutput(); }

    static std::vector<std::string> texts() {
        std::vector<std::string> found;
        for (const DebuggerMessage& m : capturedDebuggerOutput()) found.push_back(m.text);
        return found;
    }
};

using Lines = std::vector<std::string>;

TEST_F(Trace, EntryLineOfAnInstanceFreeFunction) {
    fmi2GetVersion();
    fmi2GetTypesPlatform();
    EXPECT_EQ(texts(), (Lines{"fmi2GetVersion", "fmi2GetTypesPlatform"}));
}

TEST_F(Trace, CheckLinesKeepTheirLeadingBlanks) {
    fmi2EnterInitializationMode(nullptr);
    fmi2FreeInstance(nullptr);
    EXPECT_EQ(texts(), (Lines{"fmi2EnterInitializationMode", "    invalidState !comp return true",
                              "fmi2FreeInstance"}));
}

TEST_F(Trace, InstantiateWritesItsArgumentsAsNarrowLines) {
    const fmi2CallbackFunctions callbacks = hostCallbacks();
    fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "file:///C:/res", &callbacks, fmi2False,
                    fmi2False);
    const Lines lines = texts();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
              (Lines{"fmi2Instantiate", "inst", kvfmuGuid, "file:///C:/res"}));
    // Only Windows itself tells the kinds apart: under Wine every message arrives narrow.
    EXPECT_FALSE(capturedDebuggerOutput()[1].wide);
}

TEST_F(Trace, TracingDoesNotNeedTheHostsLogger) {
    fmi2Instantiate("inst", fmi2CoSimulation, kvfmuGuid, "", nullptr, fmi2False, fmi2False);
    const Lines lines = texts();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "fmi2Instantiate");
    EXPECT_EQ(lines[1], "inst");
    EXPECT_TRUE(testHost().log.empty());
}

}  // namespace
