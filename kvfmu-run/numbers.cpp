#include "numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

std::string_view trimmed(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return std::nullopt;
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return std::nullopt;
    if (error == std::errc::result_out_of_range) {
        // Too large, or too small to represent: the C library rounds the latter to the
        // nearest subnormal or to 0, as a decimal reader should.
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        const std::string copy(text);
        value = strtod_l(copy.c_str(), nullptr, cLocale);
        error = std::errc();
    }
    if (error != std::errc() || !std::isfinite(value)) return std::nullopt;
    return value;
}

void appendNumber(std::string& text, double value) {
    std::array<char, 32> buffer;
    auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    (void)error;  // 32 characters hold any double
    text.append(buffer.data(), end);
}

std::string formatNumber(double value) {
    std::string text;
    appendNumber(text, value);
    return text;
}
