#include "gstreamer/PropertyList.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace korvane::gst {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

bool ParsePropertyList(const std::string& text, PropertyList& out, std::string& error) {
    PropertyList parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos) {
            comma = text.size();
        }
        const std::string item = Trim(text.substr(start, comma - start));
        start = comma + 1;
        if (item.empty()) {
            continue;
        }
        const auto equals = item.find('=');
        if (equals == std::string::npos) {
            error = "'" + item + "' is not Name=value";
            return false;
        }
        const std::string name = Trim(item.substr(0, equals));
        const std::string valueText = Trim(item.substr(equals + 1));
        int value = 0;
        if (name.empty()) {
            error = "'" + item + "' has no name";
            return false;
        }
        if (!ParseInt(valueText, value)) {
            error = "the value of " + name + " ('" + valueText + "') is not a whole number";
            return false;
        }
        parsed.emplace_back(name, value);
    }
    out = std::move(parsed);
    return true;
}

}  // namespace korvane::gst
