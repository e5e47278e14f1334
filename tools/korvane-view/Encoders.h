#pragma once
// The image formats the page and the snapshot downloads use, encoded from
// one 8-bit grey frame.
#include <cstdint>
#include <string>

namespace view {

// JPEG through libjpeg-turbo's TurboJPEG API, quality 1..100.
bool EncodeJpeg(const std::uint8_t* pixels, int width, int height, int quality, std::string& out);

// Lossless PNG through libpng. A low compression level: the page wants the
// frame soon more than small.
bool EncodePng(const std::uint8_t* pixels, int width, int height, std::string& out);

// Binary PGM (P5), what korvane-grab writes.
bool EncodePgm(const std::uint8_t* pixels, int width, int height, std::string& out);

}  // namespace view
