// Texts split at a character, as reading them line by line would give them: a separator at
// the very end starts no further part.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> textParts(const std::string& text, char separator);
