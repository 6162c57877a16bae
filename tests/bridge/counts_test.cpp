// The counts of reals, inputs and outputs as the server's property texts give them.
#include "bridge_fixture.h"

namespace {

using ServerCounts = BridgeTest;

TEST_F(ServerCounts, PropertyTextsReadAsDecimalNumbers) {
    serverInstance();
    const struct {
        const char* text;
        int32_t count;
    } cases[] = {{"7", 7},     {" 7", 7},  {"\t 42\n", 42}, {"12abc", 12}, {"-2", -2},
                 {"+5", 5},    {"abc", 0}, {"", 0},         {nullptr, 0},  {"- 3", 0},
                 {"0x10", 0},  {"007", 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? std::string("\"") + c.text + "\"" : "null");
        scriptProp("number_of_reals", c.text);
        EXPECT_EQ(getNumberOfReals("inst"), c.count);
    }
}

TEST_F(ServerCounts, EachCountAsksTheServerAgain) {
    serverInstance();
    scriptProp("number_of_inputs", "3");
    scriptProp("number_of_outputs", "4");
    EXPECT_EQ(getNumberOfInputs("inst"), 3);
    EXPECT_EQ(getNumberOfOutputs("inst"), 4);
    scriptProp("number_of_outputs", "5");
    EXPECT_EQ(getNumberOfOutputs("inst"), 5);
    EXPECT_EQ(getNumberOfReals("inst"), 0);
    EXPECT_EQ(facadeCalls(),
              (Calls{"getProp(inst,number_of_inputs)", "getProp(inst,number_of_outputs)",
                     "getProp(inst,number_of_outputs)", "getProp(inst,number_of_reals)"}));
}

}  // namespace
