#pragma once
// A small reader for the simulator's text files (its configuration and its
// DCF files): "[section]" headers, "key=value" lines, comments from ';' to
// the end of a line and lines starting with '#'. Names and values are
// trimmed; nothing is looked up here, the callers give the entries meaning.
#include <string>
#include <vector>

namespace korvane::mil::sim {

struct IniEntry {
    int line = 0;
    std::string key;
    std::string value;
};

struct IniSection {
    int line = 0;      // of the header; 0 for the entries before any header
    std::string name;  // "" for the entries before any header
    std::vector<IniEntry> entries;
    bool valid = true;  // false for a malformed header: its entries mean nothing
};

struct IniProblem {
    int line = 0;
    std::string message;
};

struct IniDocument {
    std::vector<IniSection> sections;  // in file order; the unnamed one first when present
    std::vector<IniProblem> problems;  // lines that are neither header, entry nor comment
};

IniDocument ReadIni(const std::string& text);

// Case-insensitive ASCII comparison, as the library compares names.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);

// Parses a whole decimal (or 0x hexadecimal) integer with an optional sign
// and checks it against [min, max]; false for anything else.
bool ParseInteger(const std::string& text, long long min, long long max, long long& value);

}  // namespace korvane::mil::sim
