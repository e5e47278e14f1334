#pragma once
// A plain host-memory image: rows back to back, one byte per pixel (three
// for colour).
#include <cstdint>
#include <memory>

namespace korvane {

class ImageBuffer {
  public:
    // True when data holds width x height x (3 or 1) bytes. The same byte
    // size keeps the memory and its content.
    bool Allocate(bool colorFlag, int imageWidth, int imageHeight);
    // Start of a row, or null (logged) for a row outside the image.
    std::uint8_t* GetLine(int index);

    int BytesPerPixel() const { return color ? 3 : 1; }

    std::int32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool color = false;
    std::unique_ptr<std::uint8_t[]> data;
};

}  // namespace korvane
