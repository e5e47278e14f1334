#pragma once
// The camera's in-memory look-up table: one 16-bit output for every input
// pixel value, filled from a LUT file column.
#include <array>
#include <cstdint>
#include <string>

namespace korvane {

inline constexpr std::size_t kLutTableSize = 131072;
using LutTable = std::array<std::uint16_t, kLutTableSize>;

// Clears the table, then reads the named column of the file (the path used
// as given) and stores each row's output, cut to 16 bits, at its input.
// Inputs outside 0..131071 are skipped, a later row for an input overwrites
// an earlier one, inputs no row names stay 0. False (table all 0) when the
// file or column cannot be used; the caller reports that.
bool LoadLutTable(const std::string& file, const std::string& column, LutTable& table);

}  // namespace korvane
