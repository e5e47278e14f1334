#pragma once
// A command-line number for the tools: the whole text must be a decimal
// int, so "12x", "" and values past the int range are refused.
#include <cstdlib>

namespace tools {

inline bool ToInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < -2147483647L || v > 2147483647L) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

}  // namespace tools
