#include "text_parts.h"

std::vector<std::string> textParts(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t begin = 0; begin < text.size();) {
        size_t end = text.find(separator, begin);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}
