#include "provider_settings.h"

#include "java_runtime.h"
#include "text_parts.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

// A '#' at the start of a line or after a blank starts a comment; one inside a value, as in
// -Dtag=a#b, does not.
size_t commentStart(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || blank(line[i - 1]))) return i;
    return std::string::npos;
}

// A decimal number as kvfmu-pack writes it: [-]digits[.digits][(e|E)[+|-]digits].
bool decimalNumber(const std::string& text) {
    size_t at = text.rfind('-', 0) == 0 ? 1 : 0;
    auto digits = [&text, &at] {
        const size_t begin = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        return at - begin;
    };
    size_t mantissa = digits();
    if (at < text.size() && text[at] == '.') {
        ++at;
        mantissa += digits();
    }
    if (mantissa == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        if (digits() == 0) return false;
    }
    return at == text.size();
}

// Numbers are read the same way whatever the host's locale: the C runtime's conversion
// reads the decimal point of the locale the host has set, so ours is given as that.
bool readNumber(const std::string& text, double& value) {
    if (!decimalNumber(text)) return false;
    std::string local = text;
    const char* point = std::localeconv()->decimal_point;
    if (const size_t dot = local.find('.'); dot != std::string::npos && point && *point)
        local.replace(dot, 1, point);
    char* stop = nullptr;
    value = std::strtod(local.c_str(), &stop);
    return stop == local.c_str() + local.size() && std::isfinite(value);
}

bool readReference(const std::string& text, uint32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && !text.empty();
}

// A plain file name: the jar lies in the resources folder itself.
bool plainFileName(const std::string& name) {
    return name.find_first_of("/\\:") == std::string::npos && name != "." && name != "..";
}

class Reader {
public:
    SettingsReading result;

    void line(size_t number, std::string text) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        text.erase(std::min(text.size(), commentStart(text)));
        size_t begin = 0;
        while (begin < text.size() && blank(text[begin])) ++begin;
        if (begin == text.size()) return;
        size_t keyEnd = begin;
        while (keyEnd < text.size() && !blank(text[keyEnd])) ++keyEnd;
        const std::string key = text.substr(begin, keyEnd - begin);
        size_t valueBegin = keyEnd;
        while (valueBegin < text.size() && blank(text[valueBegin])) ++valueBegin;
        size_t valueEnd = text.size();
        while (valueEnd > valueBegin && blank(text[valueEnd - 1])) --valueEnd;
        const std::string value = text.substr(valueBegin, valueEnd - valueBegin);
        lineNumber_ = number;
        setting(key, value);
    }

    void finish() {
        if (!sawGuid_) result.problems.push_back("no guid line");
        if (result.settings.facadeJars.empty()) result.problems.push_back("no facade-jar line");
    }

private:
    size_t lineNumber_ = 0;
    bool sawGuid_ = false;

    void problem(const std::string& text) {
        result.problems.push_back("line " + std::to_string(lineNumber_) + ": " + text);
    }

    void setting(const std::string& key, const std::string& value) {
        ProviderSettings& settings = result.settings;
        if (key != "guid" && key != "facade-jar" && key != "vm-option" && key != "start") {
            problem("unknown key '" + key + "'");
            return;
        }
        if (value.empty()) {
            problem(key + " without a value");
            return;
        }
        if (key == "guid") {
            if (sawGuid_) problem("a second guid line");
            sawGuid_ = true;
            settings.guid = value;
        } else if (key == "facade-jar") {
            if (plainFileName(value))
                settings.facadeJars.push_back(value);
            else
                problem("facade-jar '" + value + "' is not a file name in the resources folder");
        } else if (key == "vm-option") {
            settings.vmOptions.push_back(value);
        } else {
            start(value);
        }
    }

    void start(const std::string& value) {
        size_t split = 0;
        while (split < value.size() && !blank(value[split])) ++split;
        size_t valueBegin = split;
        while (valueBegin < value.size() && blank(value[valueBegin])) ++valueBegin;
        StartValue entry{};
        if (!readReference(value.substr(0, split), entry.valueReference) ||
            !readNumber(value.substr(valueBegin), entry.value)) {
            problem("start '" + value + "': expected a value reference and a finite number");
            return;
        }
        result.settings.startValues.push_back(entry);
    }
};

}  // namespace

SettingsReading parseProviderSettings(const std::string& text) {
    Reader reader;
    size_t number = 0;
    for (const std::string& line : textParts(text.rfind("\xEF\xBB\xBF", 0) == 0 ? text.substr(3) : text, '\n'))
        reader.line(++number, line);
    reader.finish();
    return reader.result;
}

SettingsReading readProviderSettings(const FilePath& file) {
    std::string text;
    if (!readFileBytes(file, text)) {
        SettingsReading reading;
        reading.problems.push_back("cannot be read");
        return reading;
    }
    return parseProviderSettings(text);
}

std::string damagedSettingsMessage(const FilePath& file,
                                   const std::vector<std::string>& problems) {
    std::string message = "the FMU's settings " + pathText(file) +
                          " are damaged or from another version of kvfmu-pack (pack the FMU "
                          "again): ";
    for (size_t i = 0; i < problems.size(); ++i) message += (i ? "; " : "") + problems[i];
    return message;
}
