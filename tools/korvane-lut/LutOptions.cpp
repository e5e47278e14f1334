#include "tools/korvane-lut/LutOptions.h"

#include <charconv>

#include "settings/CameraSettings.h"
#include "settings/LutGenerator.h"

namespace korvane::lut {
namespace {

bool ParseWhole(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && first != last;
}

std::string CheckOne(const char* option, const Param<int>& limits, int value) {
    if (value < limits.minValue || value > limits.maxValue) {
        return std::string(option) + " " + std::to_string(value) + " is outside " +
               FormatRangeText(limits);
    }
    return {};
}

}  // namespace

const char* const kUsage =
    "Usage: korvane-lut [--lsb N] [--msb N] [--steepness N] [--out FILE] [--plot]\n"
    "\n"
    "Writes a 16-bit to 8-bit look-up table file (column \"ln\") with the curve\n"
    "  y = (ln(x - lo + s) - ln(s)) / (ln(hi - lo + s) - ln(s)) x 255\n"
    "where lo = 2^LSB - 1, hi = 2^MSB - 1 and s is the steepness; inputs below lo\n"
    "give 0, inputs from hi up give 255.\n"
    "\n"
    "Options:\n"
    "  --lsb N        lowest input bit, 0..15 (default 0)\n"
    "  --msb N        highest input bit, 0..15, above LSB (default 15)\n"
    "  --steepness N  curve constant s, 1..10 (default 1); smaller rises faster\n"
    "  --out FILE     the file to write (65536 rows)\n"
    "  --plot         print a small text plot of the curve\n"
    "  --help         this text\n"
    "\n"
    "Examples:\n"
    "  korvane-lut --out lut.csv\n"
    "  korvane-lut --lsb 4 --msb 12 --steepness 10 --out dark.csv --plot\n"
    "  korvane-lut --msb 10 --plot\n"
    "\n"
    "To use a file, set the camera's LUT_FILE to it, lutcolumn to ln and UseLUT to 1.\n"
    "\n"
    "Exit status: 0 success, 1 the run failed (the file could not be written),\n"
    "2 a usage error (unknown option, bad value or range, nothing to do).\n";

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--plot") {
            options.plot = true;
            continue;
        }
        int* number = arg == "--lsb"         ? &options.lsb
                      : arg == "--msb"       ? &options.msb
                      : arg == "--steepness" ? &options.steepness
                                             : nullptr;
        if (number == nullptr && arg != "--out") {
            error = "unknown argument '" + arg + "'";
            return false;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (number == nullptr) {
            options.out = value;
        } else if (!ParseWhole(value, *number)) {
            error = arg + " needs a whole number, not '" + value + "'";
            return false;
        }
    }
    return true;
}

std::string ValidateRange(const Options& options) {
    const CameraSettings limits;
    for (const std::string& problem :
         {CheckOne("--lsb", limits.LUTGEN_minpix, options.lsb),
          CheckOne("--msb", limits.LUTGEN_maxpix, options.msb),
          CheckOne("--steepness", limits.LUTGEN_steepness, options.steepness)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    if (options.lsb >= options.msb) {
        return "--lsb " + std::to_string(options.lsb) + " must be below --msb " +
               std::to_string(options.msb);
    }
    return {};
}

}  // namespace korvane::lut
