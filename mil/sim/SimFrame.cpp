#include "mil/sim/SimFrame.h"

namespace korvane::mil::sim {

std::uint32_t SensorPixel(const FrameView& view, long long sx, long long sy) {
    if (sx < 0 || sy < 0 || sx >= view.sensorWidth || sy >= view.sensorHeight) {
        return 0;
    }
    // Unsigned arithmetic wraps modulo 2^64, a multiple of both moduli, so
    // even a huge frame number gives the exact residue.
    const auto x = static_cast<std::uint64_t>(sx);
    const auto y = static_cast<std::uint64_t>(sy);
    const auto n = static_cast<std::uint64_t>(view.frame);
    if (view.sensorBits == 16) {
        return static_cast<std::uint32_t>((37 * x + 101 * y + 1009 * n) % 65536);
    }
    return static_cast<std::uint32_t>((x + 2 * y + 3 * n) % 256);
}

std::uint32_t ToBufferDepth(std::uint32_t value, int sensorBits, int bufferBits) {
    if (sensorBits == 16 && bufferBits == 8) {
        return value >> 8;
    }
    return value;
}

void RenderFrame(const FrameView& view, int width, int height, int bufferBits, void* pixels) {
    auto* bytes = static_cast<std::uint8_t*>(pixels);
    auto* words = static_cast<std::uint16_t*>(pixels);
    for (int y = 0; y < height; ++y) {
        const long long sy = view.offsetY + (view.mirrorY ? height - 1 - y : y);
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        for (int x = 0; x < width; ++x) {
            const long long sx = view.offsetX + (view.mirrorX ? width - 1 - x : x);
            const std::uint32_t value =
                ToBufferDepth(SensorPixel(view, sx, sy), view.sensorBits, bufferBits);
            if (bufferBits == 16) {
                words[row + static_cast<std::size_t>(x)] = static_cast<std::uint16_t>(value);
            } else {
                bytes[row + static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(value);
            }
        }
    }
}

}  // namespace korvane::mil::sim
