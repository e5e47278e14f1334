#pragma once
// Text to number and back the way the settings files and dialogs expect:
// numbers are read as a leading number (never an error), reals are written
// in the short "%g" form. Independent of the process locale.
#include <string>
#include <string_view>

namespace korvane {

// Leading decimal integer: blanks skipped, optional sign, digits up to the
// first other character. No number gives 0; values beyond the 32-bit range
// saturate.
int ParseLeadingInt(std::string_view text);

// Leading decimal real number (digits, optional fraction and exponent) after
// optional blanks and sign. No number gives 0.0; an overflow gives infinity.
double ParseLeadingReal(std::string_view text);

// printf "%.*g" of the value in the "C" locale (precision 6 is "%g").
std::string FormatReal(double value, int precision = 6);

}  // namespace korvane
