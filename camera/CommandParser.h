#pragma once
// The small text forms of the command and property language.
#include <map>
#include <string>

namespace korvane {

// "key=value;key=value": split at ';', each item at its first '='; keys and
// values taken exactly; items without '=' ignored; later keys win.
std::map<std::string, std::string> ParseArguments(const char* text);

// A leading decimal integer: leading blanks, optional sign, digits up to the
// first other character; no digits gives 0. Saturates at the int range.
int ParseLeadingInt(const char* text);

// A leading real number (blanks, sign, decimals, exponent); none gives 0.
double ParseLeadingDouble(const char* text);

// Copies text into a buffer of size bytes: never past it, NUL-terminated
// whenever there is room for the terminator.
void CopyBounded(char* dest, int size, const char* text);

// Letter-case-insensitive comparisons of ASCII names.
bool EqualsNoCase(const char* a, const char* b);
bool StartsWithNoCase(const char* text, const char* prefix);

}  // namespace korvane
