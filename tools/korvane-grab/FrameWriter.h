#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace grab {

// Writes an 8-bit grey image; false with the reason in error on failure.
bool WritePgm(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& pixels, std::string& error);
// PNG when the tool was built with libpng; answers false when not available.
bool WritePng(const std::string& path, int width, int height,
              const std::vector<std::uint8_t>& pixels, std::string& error);
bool PngAvailable();

}  // namespace grab
