#include "tools/korvane-view/RequestGuard.h"

#include <cctype>
#include <cstdio>
#include <random>

namespace view {
namespace {

// Four decimal numbers 0..255 separated by dots.
bool IsIpv4Literal(const std::string& text) {
    int parts = 0;
    std::size_t i = 0;
    while (i <= text.size()) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
            value = value * 10 + (text[i] - '0');
            ++digits;
            ++i;
            if (digits > 3) {
                return false;
            }
        }
        if (digits == 0 || value > 255) {
            return false;
        }
        ++parts;
        if (i == text.size()) {
            break;
        }
        if (text[i] != '.') {
            return false;
        }
        ++i;
    }
    return parts == 4;
}

// Hex groups and colons (with an IPv4 tail allowed): the shape of an IPv6
// address, which no DNS name has.
bool IsIpv6Literal(const std::string& text) {
    int colons = 0;
    for (const char c : text) {
        if (c == ':') {
            ++colons;
        } else if (std::isxdigit(static_cast<unsigned char>(c)) == 0 && c != '.') {
            return false;
        }
    }
    return colons >= 2 && colons <= 7 && text.size() <= 45;
}

}  // namespace

std::string MakeToken() {
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        token += part;
    }
    return token;
}

bool TokenMatches(const std::string& given, const std::string& token) {
    if (token.empty() || given.size() != token.size()) {
        return false;
    }
    unsigned diff = 0;
    for (std::size_t i = 0; i < token.size(); ++i) {
        diff |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(token[i]);
    }
    return diff == 0;
}

bool HostAllowed(const std::string& host, int port) {
    const std::size_t colon = host.rfind(':');
    if (colon == std::string::npos || colon + 1 >= host.size()) {
        return false;
    }
    const std::string portText = host.substr(colon + 1);
    for (const char c : portText) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    if (portText.size() > 5 || std::stoi(portText) != port) {
        return false;
    }
    std::string name = host.substr(0, colon);
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (name == "localhost") {
        return true;
    }
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        return IsIpv6Literal(name.substr(1, name.size() - 2));
    }
    return IsIpv4Literal(name);
}

bool OriginAllowed(const std::string& origin, bool present, const std::string& host) {
    if (!present) {
        return true;
    }
    std::string lower = origin;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::string expected = "http://" + host;
    for (char& c : expected) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower == expected;
}

}  // namespace view
