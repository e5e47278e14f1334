#pragma once
// The LUT generator's logarithmic 16-to-8-bit curve, the file it writes and
// the range check its dialog runs on every edit:
//
//        ln(x + s) - ln(s)
//   y = ------------------- x 255     (x clamped to lo..hi, then less lo)
//       ln(xmax + s) - ln(s)
//
// with lo = 2^LSB - 1, hi = 2^MSB - 1, xmax = hi - lo and s the steepness.
#include <string>

#include "settings/CameraSettings.h"

namespace korvane {

inline constexpr int kLutFileRows = 65536;

// The text the generator dialog shows above its inputs.
extern const char* const kLutFormulaText;

// Whether the curve is defined for these inputs: 0 <= lsb < msb <= 30 and a
// positive steepness. (The dialog's own limits are narrower, see below.)
bool LutCurveDefined(int lsb, int msb, int steepness);

// y for input x, rounded by adding 0.5 and truncating; 0 when the curve is
// not defined.
int LutCurveValue(int x, int lsb, int msb, int steepness);

// The whole file: the header "LN;ln" and one "%4d;%4d" row for every x from
// 0 to 65535, each line ended by "\n". Empty when the curve is not defined.
std::string FormatLutFile(int lsb, int msb, int steepness);

// Writes the file through a temporary file beside it, so an existing file
// is either replaced whole or left as it was. False when the curve is not
// defined or the file could not be written.
bool WriteLutFile(const std::string& path, int lsb, int msb, int steepness);

// What the generator dialog shows and allows for the current settings.
struct LutRangeState {
    bool valid = false;          // OK may be pressed
    std::string minpixRange;     // "[0..15]" beside "LSB #"
    std::string maxpixRange;     // beside "MSB #"
    std::string steepnessRange;  // beside "Steepness"
};

// Valid when LUTGEN_minpix, LUTGEN_maxpix and LUTGEN_steepness are each in
// their range and LUTGEN_minpix is below LUTGEN_maxpix.
LutRangeState EvaluateLutRange(const CameraSettings& settings);

// "[%d..%d]" of the setting's limits.
std::string FormatRangeText(const Param<int>& setting);

}  // namespace korvane
