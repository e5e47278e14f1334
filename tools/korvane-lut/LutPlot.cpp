#include "tools/korvane-lut/LutPlot.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "settings/LutGenerator.h"

namespace korvane::lut {

std::string PlotCurve(int lsb, int msb, int steepness, int width, int height) {
    const int hi = (1 << msb) - 1;
    // Show the rise and a stretch of the flat top after it.
    const int xMax = std::min(kLutFileRows - 1, hi + hi / 8 + 1);
    std::vector<std::string> rows(static_cast<std::size_t>(height), std::string(width, ' '));
    for (int col = 0; col < width; ++col) {
        const int x = static_cast<int>(static_cast<long long>(xMax) * col / (width - 1));
        const int y = LutCurveValue(x, lsb, msb, steepness);
        const int row = (height - 1) - y * (height - 1) / 255;
        rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = '*';
    }
    std::string out;
    char label[16];
    for (int r = 0; r < height; ++r) {
        const int y = (height - 1 - r) * 255 / (height - 1);
        std::snprintf(label, sizeof label, "%4d |", y);
        out += label + rows[static_cast<std::size_t>(r)] + "\n";
    }
    out += "     +" + std::string(width, '-') + "\n";
    std::snprintf(label, sizeof label, "%d", xMax);
    std::string axis = "      0";
    axis += std::string(static_cast<std::size_t>(
                            std::max(1, width - 1 - static_cast<int>(std::string(label).size()))),
                        ' ');
    out += axis + label + "  (input)\n";
    return out;
}

}  // namespace korvane::lut
