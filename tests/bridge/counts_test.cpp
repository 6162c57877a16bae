// The counts of reals, inputs and outputs as the server's property texts give them; a
// count the server does not give is a failure with its reason, never 0.
#include "bridge_fixture.h"

#include <thread>

namespace {

using ServerCounts = BridgeTest;

TEST_F(ServerCounts, PropertyTextsReadAsDecimalNumbers) {
    serverInstance();
    const std::string notACount = "\" for \"number_of_reals\", which is not a count";
    const struct {
        const char* text;
        std::optional<int32_t> count;
        std::string reason;  // LastError when there is no count
    } cases[] = {
        {"7", 7, ""},
        {" 7", 7, ""},
        {"\t 42\n", 42, ""},
        {"12abc", 12, ""},
        {"-2", -2, ""},
        {"+5", 5, ""},
        {"007", 7, ""},
        {"0x10", 0, ""},
        {"99999999999", 2147483647, ""},
        {"-99999999999", -2147483647 - 1, ""},
        {"abc", std::nullopt, "The server reported \"abc" + notACount},
        {"", std::nullopt, "The server reported \"" + notACount},
        {"- 3", std::nullopt, "The server reported \"- 3" + notACount},
        {nullptr, std::nullopt, "The server did not report \"number_of_reals\": refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? std::string("\"") + c.text + "\"" : "null");
        scriptProp("number_of_reals", c.text);
        scriptLastError("refused");
        EXPECT_EQ(numberOfReals("inst"), c.count);
        if (!c.count) {
            EXPECT_EQ(LastError, c.reason);
        }
    }
}

TEST_F(ServerCounts, ARefusalIsExplainedOnTheSameJavaThread) {
    serverInstance();
    scriptLastError("");
    EXPECT_EQ(numberOfReals("inst"), std::nullopt);
    EXPECT_EQ(LastError, "The server did not report \"number_of_reals\"");
    // Asked right after the refused query, in the same attachment.
    EXPECT_EQ(facadeCalls(), (Calls{"getProp(inst,number_of_reals)", "getLasterror()"}));
    // A thread the VM does not know is attached once for both.
    std::thread([] { numberOfReals("inst"); }).join();
    const std::vector<long long> threads = facadeCallThreads();
    ASSERT_EQ(threads.size(), 4u);
    EXPECT_EQ(threads[2], threads[3]);
}

TEST_F(ServerCounts, EachCountAsksTheServerAgain) {
    serverInstance();
    scriptProp("number_of_inputs", "3");
    scriptProp("number_of_outputs", "4");
    EXPECT_EQ(countOf(getNumberOfInputs, "inst"), 3);
    EXPECT_EQ(countOf(getNumberOfOutputs, "inst"), 4);
    scriptProp("number_of_outputs", "5");
    EXPECT_EQ(countOf(getNumberOfOutputs, "inst"), 5);
    scriptProp("number_of_reals", "0");
    EXPECT_EQ(numberOfReals("inst"), 0);
    EXPECT_EQ(facadeCalls(),
              (Calls{"getProp(inst,number_of_inputs)", "getProp(inst,number_of_outputs)",
                     "getProp(inst,number_of_outputs)", "getProp(inst,number_of_reals)"}));
}

}  // namespace
