// Reading and writing decimal numbers, independent of the C locale.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The finite number the whole text spells (blanks around it allowed, a leading '+' too),
// or nothing.
std::optional<double> parseNumber(std::string_view text);

// The shortest text that reads back as exactly the same double.
std::string formatNumber(double value);

// The same, appended to the text (no string of its own: for rows written every step).
void appendNumber(std::string& text, double value);
