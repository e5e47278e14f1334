#include "settings/LutGenerator.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

namespace korvane {

const char* const kLutFormulaText =
    "Generate 16bit->8bit transformation LUT file according to formula:\n\tln(x+s) - "
    "ln(s)\n\t---------------------     x 255\n\tln(xmax+s) - ln(s)";

bool LutCurveDefined(int lsb, int msb, int steepness) {
    return lsb >= 0 && lsb < msb && msb <= 30 && steepness > 0;
}

int LutCurveValue(int x, int lsb, int msb, int steepness) {
    if (!LutCurveDefined(lsb, msb, steepness)) {
        return 0;
    }
    const int lo = (1 << lsb) - 1;
    const int hi = (1 << msb) - 1;
    const double range = hi - lo;
    const double s = steepness;
    const int xc = x < lo ? lo : (x > hi ? hi : x);
    const double e = xc - lo;
    const double y = (std::log(e + s) - std::log(s)) / (std::log(range + s) - std::log(s)) * 255.0;
    return static_cast<int>(y + 0.5);
}

std::string FormatLutFile(int lsb, int msb, int steepness) {
    if (!LutCurveDefined(lsb, msb, steepness)) {
        return {};
    }
    std::string text = "LN;ln\n";
    text.reserve(text.size() + static_cast<std::size_t>(kLutFileRows) * 11);
    char row[32];
    for (int x = 0; x < kLutFileRows; ++x) {
        const int n =
            std::snprintf(row, sizeof row, "%4d;%4d\n", x, LutCurveValue(x, lsb, msb, steepness));
        text.append(row, static_cast<std::size_t>(n));
    }
    return text;
}

bool WriteLutFile(const std::string& path, int lsb, int msb, int steepness) {
    const std::string text = FormatLutFile(lsb, msb, steepness);
    if (text.empty() || path.empty()) {
        return false;
    }
    std::random_device random;
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
    const std::string tempPath = path + suffix;
    {
        // Text mode: the platform's own line ends.
        std::ofstream out(tempPath, std::ios::out | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(tempPath, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(tempPath, path, ec);
    if (ec) {
        std::filesystem::remove(tempPath, ec);
        return false;
    }
    return true;
}

std::string FormatRangeText(const Param<int>& setting) {
    char text[32];
    std::snprintf(text, sizeof text, "[%d..%d]", setting.minValue, setting.maxValue);
    return text;
}

LutRangeState EvaluateLutRange(const CameraSettings& settings) {
    LutRangeState state;
    state.valid = settings.LUTGEN_minpix.IsInRange() && settings.LUTGEN_maxpix.IsInRange() &&
                  settings.LUTGEN_steepness.IsInRange() &&
                  settings.LUTGEN_minpix.value < settings.LUTGEN_maxpix.value;
    state.minpixRange = FormatRangeText(settings.LUTGEN_minpix);
    state.maxpixRange = FormatRangeText(settings.LUTGEN_maxpix);
    state.steepnessRange = FormatRangeText(settings.LUTGEN_steepness);
    return state;
}

}  // namespace korvane
