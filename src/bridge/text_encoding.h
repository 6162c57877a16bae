// Texts between the host, which speaks UTF-8, and Java, whose strings are UTF-16. JNI's own
// byte interface is modified UTF-8, which differs for characters beyond U+FFFF (and NUL),
// so every text crosses as UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The UTF-16 code units of a UTF-8 text (null reads as empty). Each maximal ill-formed
// part of the bytes becomes one U+FFFD, so nothing a host passes can fail the conversion.
std::vector<uint16_t> utf16FromUtf8(const char* text);

// The UTF-8 bytes of UTF-16 code units; an unpaired surrogate becomes U+FFFD.
std::string utf8FromUtf16(const uint16_t* units, size_t length);

// The text as Java will see it, in UTF-8: ill-formed parts replaced by U+FFFD.
std::string wellFormedUtf8(const char* text);
