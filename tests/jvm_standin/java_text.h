// The stand-in's strings hold UTF-16 code units, as Java's do; records show them as UTF-8.
#pragma once

#include <jni.h>

#include <string>
#include <vector>

namespace standin {

// The code units of a UTF-8 text; a byte that starts no well-formed sequence becomes U+FFFD.
std::vector<jchar> unitsOfUtf8(const std::string& text);
// The UTF-8 form of code units; an unpaired surrogate becomes U+FFFD.
std::string utf8OfUnits(const std::vector<jchar>& units);

}  // namespace standin
