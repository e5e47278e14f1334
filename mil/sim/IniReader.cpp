#include "mil/sim/IniReader.h"

#include <cctype>
#include <charconv>

namespace korvane::mil::sim {
namespace {

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])) != 0) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])) != 0) {
        --end;
    }
    return text.substr(begin, end - begin);
}

}  // namespace

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool ParseInteger(const std::string& text, long long min, long long max, long long& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    int base = 10;
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
        base = 16;
        first += 2;
    }
    if (first == last || *first == '+' || *first == '-') {
        return false;
    }
    unsigned long long magnitude = 0;
    auto [end, ec] = std::from_chars(first, last, magnitude, base);
    if (ec != std::errc() || end != last || magnitude > 0x7FFFFFFFFFFFFFFFULL) {
        return false;
    }
    const long long v =
        negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (v < min || v > max) {
        return false;
    }
    value = v;
    return true;
}

IniDocument ReadIni(const std::string& text) {
    IniDocument doc;
    std::size_t pos = 0;
    int lineNumber = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        ++lineNumber;
        pos = end + 1;

        if (const std::size_t comment = line.find(';'); comment != std::string::npos) {
            line.erase(comment);
        }
        line = Trim(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) {
                doc.problems.push_back({lineNumber, "malformed section header '" + line + "'"});
                // Entries up to the next good header must not land in the
                // previous section.
                doc.sections.push_back({lineNumber, line, {}, false});
                continue;
            }
            doc.sections.push_back({lineNumber, Trim(line.substr(1, line.size() - 2)), {}, true});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            doc.problems.push_back({lineNumber, "not a key=value line: '" + line + "'"});
            continue;
        }
        if (doc.sections.empty()) {
            doc.sections.push_back({0, "", {}, true});
        }
        doc.sections.back().entries.push_back(
            {lineNumber, Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))});
    }
    return doc;
}

}  // namespace korvane::mil::sim
