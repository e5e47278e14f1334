#include "platform/common/IniWriteRules.h"

namespace korvane::platform {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

}  // namespace

bool IniSectionWritable(std::string_view section) {
    return section.find_first_not_of(" \t") != section.npos && !HasLineBreakOrNul(section) &&
           section.find(']') == section.npos;
}

bool IniKeyWritable(std::string_view key) {
    return !key.empty() && !IsBlank(key.front()) && !IsBlank(key.back()) &&
           !HasLineBreakOrNul(key) && key.find('=') == key.npos && key.front() != '[' &&
           key.front() != ';';
}

bool IniValueWritable(std::string_view value) {
    return !HasLineBreakOrNul(value);
}

bool IniWriteWritable(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& entries) {
    if (!IniSectionWritable(section)) {
        return false;
    }
    for (const auto& [key, value] : entries) {
        if (!IniKeyWritable(key) || !IniValueWritable(value)) {
            return false;
        }
    }
    return true;
}

}  // namespace korvane::platform
