// The conversion of texts between the host's UTF-8 and Java's UTF-16, with no Java VM.
#include "text_encoding.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Units = std::vector<uint16_t>;

TEST(TextEncoding, WellFormedUtf8BecomesItsUtf16AndBack) {
    const struct {
        const char* what;
        std::string utf8;
        Units utf16;
    } cases[] = {
        {"empty", "", {}},
        {"ASCII", "inst 1", {'i', 'n', 's', 't', ' ', '1'}},
        {"two bytes", "\xC3\xA9", {0x00E9}},
        {"three bytes", "\xE2\x88\x85", {0x2205}},
        {"last before the surrogates", "\xED\x9F\xBF", {0xD7FF}},
        {"first after the surrogates", "\xEE\x80\x80", {0xE000}},
        {"last of the basic plane", "\xEF\xBF\xBF", {0xFFFF}},
        {"four bytes", "\xF0\x9F\x99\x82", {0xD83D, 0xDE42}},
        {"first beyond the basic plane", "\xF0\x90\x80\x80", {0xD800, 0xDC00}},
        {"last code point", "\xF4\x8F\xBF\xBF", {0xDBFF, 0xDFFF}},
        {"a path", "/srv/\xF0\x9F\x99\x82/r", {'/', 's', 'r', 'v', '/', 0xD83D, 0xDE42, '/', 'r'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(utf16FromUtf8(c.utf8.c_str()), c.utf16);
        EXPECT_EQ(utf8FromUtf16(c.utf16.data(), c.utf16.size()), c.utf8);
        EXPECT_EQ(wellFormedUtf8(c.utf8.c_str()), c.utf8);
    }
    EXPECT_EQ(utf16FromUtf8(nullptr), Units{});
}

TEST(TextEncoding, EachIllFormedPartOfUtf8BecomesOneReplacementCharacter) {
    constexpr uint16_t r = 0xFFFD;
    const struct {
        const char* what;
        std::string utf8;
        Units utf16;
    } cases[] = {
        {"stray continuation byte", "a\x80z", {'a', r, 'z'}},
        {"byte that is never UTF-8", "a\xFFz", {'a', r, 'z'}},
        {"overlong two-byte form", "\xC0\xAF", {r, r}},
        {"overlong three-byte form", "\xE0\x80\xAF", {r, r, r}},
        {"encoded surrogate", "\xED\xA0\x80", {r, r, r}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {r, r, r, r}},
        {"cut short at the end", "a\xF0\x9F\x99", {'a', r}},
        {"cut short by ASCII", "\xE2\x88z", {r, 'z'}},
        {"cut short by a new lead byte", "\xE2\xC3\xA9", {r, 0x00E9}},
        {"two stray bytes", "\xFF\xFE", {r, r}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(utf16FromUtf8(c.utf8.c_str()), c.utf16);
    }
    EXPECT_EQ(wellFormedUtf8("bad\xFF"), "bad\xEF\xBF\xBD");
}

TEST(TextEncoding, UnpairedSurrogatesFromJavaBecomeReplacementCharacters) {
    const struct {
        const char* what;
        Units utf16;
        std::string utf8;
    } cases[] = {
        {"high surrogate at the end", {'a', 0xD83D}, "a\xEF\xBF\xBD"},
        {"high surrogate before a letter", {0xD83D, 'b'}, "\xEF\xBF\xBD" "b"},
        {"low surrogate alone", {0xDE42, 'c'}, "\xEF\xBF\xBD" "c"},
        {"reversed pair", {0xDE42, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"NUL inside", {'a', 0, 'b'}, std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(utf8FromUtf16(c.utf16.data(), c.utf16.size()), c.utf8);
    }
}

}  // namespace
