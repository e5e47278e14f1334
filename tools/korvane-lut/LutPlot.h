#pragma once
// A small text plot of the generator's curve for a terminal.
#include <string>

namespace korvane::lut {

// Output 0..255 upwards, input 0..a little past 2^msb - 1 to the right.
std::string PlotCurve(int lsb, int msb, int steepness, int width = 64, int height = 16);

}  // namespace korvane::lut
