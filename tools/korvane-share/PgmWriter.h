#pragma once
// Writes 8-bit grey images as binary PGM files.
#include <cstdint>
#include <string>

namespace sharetool {

// False with a message when the file cannot be written.
bool WritePgm(const std::string& path, const std::uint8_t* pixels, int width, int height,
              std::string& error);

}  // namespace sharetool
