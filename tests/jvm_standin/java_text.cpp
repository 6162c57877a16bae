#include "java_text.h"

namespace standin {

namespace {

constexpr char32_t replacement = 0xFFFD;

// The code point that starts at text[at] and the number of bytes it takes; a byte that
// starts no well-formed sequence is one replacement character.
char32_t decode(const std::string& text, size_t at, size_t& taken) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    taken = 1;
    if (first < 0x80) return first;
    const size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 0;
    if (length == 0 || at + length > text.size()) return replacement;
    char32_t code = first & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return replacement;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return replacement;
    taken = length;
    return code;
}

void appendUtf8(std::string& text, char32_t code) {
    if (code < 0x80) {
        text += static_cast<char>(code);
        return;
    }
    const int length = code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
    static const unsigned char leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = 0; i < length; ++i) {
        const int shift = 6 * (length - 1 - i);
        const unsigned char bits = (code >> shift) & 0x3F;
        text += static_cast<char>(i == 0 ? leads[length] | (code >> shift) : 0x80 | bits);
    }
}

}  // namespace

std::vector<jchar> unitsOfUtf8(const std::string& text) {
    std::vector<jchar> units;
    for (size_t at = 0, taken = 0; at < text.size(); at += taken) {
        const char32_t code = decode(text, at, taken);
        if (code < 0x10000) {
            units.push_back(static_cast<jchar>(code));
        } else {
            units.push_back(static_cast<jchar>(0xD800 + ((code - 0x10000) >> 10)));
            units.push_back(static_cast<jchar>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        }
    }
    return units;
}

std::string utf8OfUnits(const std::vector<jchar>& units) {
    std::string text;
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t unit = units[i];
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00));
        } else {
            appendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? replacement : unit);
        }
    }
    return text;
}

}  // namespace standin
