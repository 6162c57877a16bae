#include "text_encoding.h"

#include <cstring>

namespace {

constexpr uint32_t replacement = 0xFFFD;

void appendUtf16(std::vector<uint16_t>& units, uint32_t codePoint) {
    if (codePoint < 0x10000) {
        units.push_back(static_cast<uint16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    units.push_back(static_cast<uint16_t>(0xD800 + (codePoint >> 10)));
    units.push_back(static_cast<uint16_t>(0xDC00 + (codePoint & 0x3FF)));
}

void appendUtf8(std::string& text, uint32_t codePoint) {
    if (codePoint < 0x80) {
        text.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// What a lead byte starts: the number of continuation bytes and the range the first of them
// must lie in, which excludes overlong forms, surrogates and code points beyond U+10FFFF.
struct Lead {
    int continuations;  // -1: the byte starts no sequence
    unsigned char low;
    unsigned char high;
};

Lead leadOf(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
    if (byte == 0xE0) return {2, 0xA0, 0xBF};
    if (byte == 0xED) return {2, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
    if (byte == 0xF0) return {3, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
    if (byte == 0xF4) return {3, 0x80, 0x8F};
    return {-1, 0, 0};
}

}  // namespace

std::vector<uint16_t> utf16FromUtf8(const char* text) {
    std::vector<uint16_t> units;
    if (!text) return units;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const size_t length = std::strlen(text);
    units.reserve(length);
    size_t at = 0;
    while (at < length) {
        const unsigned char first = bytes[at++];
        if (first < 0x80) {
            units.push_back(first);
            continue;
        }
        const Lead lead = leadOf(first);
        if (lead.continuations < 0) {
            units.push_back(replacement);
            continue;
        }
        uint32_t codePoint = first & (0x3F >> lead.continuations);
        unsigned char low = lead.low;
        unsigned char high = lead.high;
        int taken = 0;
        // A sequence cut short is replaced as a whole; the byte that cut it starts anew.
        while (taken < lead.continuations && at < length && bytes[at] >= low &&
               bytes[at] <= high) {
            codePoint = (codePoint << 6) | (bytes[at++] & 0x3F);
            low = 0x80;
            high = 0xBF;
            ++taken;
        }
        appendUtf16(units, taken == lead.continuations ? codePoint : replacement);
    }
    return units;
}

std::string utf8FromUtf16(const uint16_t* units, size_t length) {
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint32_t unit = units[i];
        if (unit < 0xD800 || unit > 0xDFFF) {
            appendUtf8(text, unit);
        } else if (unit <= 0xDBFF && i + 1 < length && units[i + 1] >= 0xDC00 &&
                   units[i + 1] <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00));
        } else {
            appendUtf8(text, replacement);
        }
    }
    return text;
}

std::string wellFormedUtf8(const char* text) {
    const std::vector<uint16_t> units = utf16FromUtf8(text);
    return utf8FromUtf16(units.data(), units.size());
}
