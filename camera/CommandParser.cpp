#include "camera/CommandParser.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace korvane {

std::map<std::string, std::string> ParseArguments(const char* text) {
    std::map<std::string, std::string> result;
    if (text == nullptr) {
        return result;
    }
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        const std::string_view item = rest.substr(0, end);
        const std::size_t eq = item.find('=');
        if (eq != std::string_view::npos) {
            result[std::string(item.substr(0, eq))] = std::string(item.substr(eq + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    return result;
}

int ParseLeadingInt(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r' || *text == '\v' ||
           *text == '\f') {
        ++text;
    }
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text))) {
        value = value * 10 + (*text - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
        ++text;
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    return static_cast<int>(value);
}

double ParseLeadingDouble(const char* text) {
    if (text == nullptr) {
        return 0.0;
    }
    // strtod also accepts hexadecimal numbers, infinity and nan, which are
    // not numbers here.
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) {
        ++p;
    }
    const char* q = (*p == '+' || *p == '-') ? p + 1 : p;
    if (!std::isdigit(static_cast<unsigned char>(*q)) &&
        !(*q == '.' && std::isdigit(static_cast<unsigned char>(q[1])))) {
        return 0.0;
    }
    if (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')) {
        return 0.0;
    }
    return std::strtod(text, nullptr);
}

void CopyBounded(char* dest, int size, const char* text) {
    if (dest == nullptr || size <= 0) {
        return;
    }
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    const std::size_t n = std::min(std::strlen(text), room);
    std::memcpy(dest, text, n);
    dest[n] = '\0';
}

bool EqualsNoCase(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) {
        return false;
    }
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
    if (text == nullptr || prefix == nullptr) {
        return false;
    }
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text == '\0' || std::tolower(static_cast<unsigned char>(*text)) !=
                                 std::tolower(static_cast<unsigned char>(*prefix))) {
            return false;
        }
    }
    return true;
}

}  // namespace korvane
