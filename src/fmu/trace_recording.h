// Access to the lines that the recording trace sink of test builds has kept.
#pragma once

#include <string>
#include <vector>

struct TraceLine {
    bool wide;  // written as a fixed wide text rather than a composed narrow one
    std::string text;
};

std::vector<TraceLine>& recordedTrace();
