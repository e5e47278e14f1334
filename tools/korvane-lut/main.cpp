// korvane-lut: writes a LUT file with the generator's logarithmic curve.
#include <cstdio>
#include <string>
#include <vector>

#include "settings/LutGenerator.h"
#include "tools/korvane-lut/LutOptions.h"
#include "tools/korvane-lut/LutPlot.h"

int main(int argc, char** argv) {
    using namespace korvane;
    const std::vector<std::string> args(argv + 1, argv + argc);
    lut::Options options;
    std::string error;
    if (!lut::ParseOptions(args, options, error)) {
        std::fprintf(stderr, "korvane-lut: %s\n\n%s", error.c_str(), lut::kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(lut::kUsage, stdout);
        return 0;
    }
    // A bad range is named first: it is wrong whatever else is asked for.
    error = lut::ValidateRange(options);
    if (!error.empty()) {
        std::fprintf(stderr, "korvane-lut: invalid range: %s\n", error.c_str());
        return 2;
    }
    if (options.out.empty() && !options.plot) {
        std::fprintf(stderr, "korvane-lut: nothing to do: give --out FILE and/or --plot\n\n%s",
                     lut::kUsage);
        return 2;
    }
    if (options.plot) {
        std::fputs(lut::PlotCurve(options.lsb, options.msb, options.steepness).c_str(), stdout);
    }
    if (!options.out.empty()) {
        if (!WriteLutFile(options.out, options.lsb, options.msb, options.steepness)) {
            std::fprintf(stderr, "korvane-lut: could not write %s\n", options.out.c_str());
            return 1;
        }
        std::printf(
            "korvane-lut: wrote %s: %d rows, column \"ln\", LSB %d, MSB %d, steepness %d "
            "(0 up to input %d, 255 from input %d)\n",
            options.out.c_str(), kLutFileRows, options.lsb, options.msb, options.steepness,
            (1 << options.lsb) - 1, (1 << options.msb) - 1);
    }
    return 0;
}
