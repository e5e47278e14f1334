#include "mil/sim/SimFrame.h"

#include <algorithm>

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

namespace {

// One row of the ramp. Along a sensor row the value grows by a fixed step
// per pixel, so a row is its start plus the step times the column; pixels
// that fall outside the sensor read 0.
template <typename Out>
void RenderRow(const FrameView& view, long long sy, int width, int bufferBits, Out* out) {
    if (sy < 0 || sy >= view.sensorHeight) {
        std::fill(out, out + width, Out{0});
        return;
    }
    const auto y = static_cast<std::uint64_t>(sy);
    const auto n = static_cast<std::uint64_t>(view.frame);
    const bool sixteen = view.sensorBits == 16;
    const std::uint32_t base = sixteen ? static_cast<std::uint32_t>((101 * y + 1009 * n) & 0xFFFF)
                                       : static_cast<std::uint32_t>((2 * y + 3 * n) & 0xFF);
    const std::uint32_t step = sixteen ? 37 : 1;
    const std::uint32_t mask = sixteen ? 0xFFFF : 0xFF;
    const int shift = (sixteen && bufferBits == 8) ? 8 : 0;
    // Columns whose sensor pixel exists: offsetX + k for k in [first, last).
    const long long first = std::clamp(-view.offsetX, 0LL, static_cast<long long>(width));
    const long long last =
        std::clamp(view.sensorWidth - view.offsetX, first, static_cast<long long>(width));
    std::fill(out, out + width, Out{0});
    // Sensor column of image column x is offsetX + k with k = x, or
    // k = width - 1 - x when mirrored.
    const std::uint32_t start = base + step * static_cast<std::uint32_t>(view.offsetX);
    if (view.mirrorX) {
        for (long long k = first; k < last; ++k) {
            const auto value = ((start + step * static_cast<std::uint32_t>(k)) & mask) >> shift;
            out[width - 1 - k] = static_cast<Out>(value);
        }
    } else {
        Out* row = out;
        for (long long k = first; k < last; ++k) {
            row[k] =
                static_cast<Out>(((start + step * static_cast<std::uint32_t>(k)) & mask) >> shift);
        }
    }
}

}  // namespace

void RenderFrame(const FrameView& view, int width, int height, int bufferBits, void* pixels) {
    for (int y = 0; y < height; ++y) {
        const long long sy = view.offsetY + (view.mirrorY ? height - 1 - y : y);
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        if (bufferBits == 16) {
            RenderRow(view, sy, width, bufferBits, static_cast<std::uint16_t*>(pixels) + row);
        } else {
            RenderRow(view, sy, width, bufferBits, static_cast<std::uint8_t*>(pixels) + row);
        }
    }
}

}  // namespace korvane::mil::sim
