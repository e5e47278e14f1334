#include "mil/sim/SimBuffer.h"

#include <cstring>

namespace korvane::mil::sim {

SimBuffer::SimBuffer(MilId systemId, int width, int height, int bits)
    : systemId_(systemId), width_(width), height_(height), bits_(bits) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (bits == 16) {
        words_.assign(count, 0);
    } else {
        bytes_.assign(count, 0);
    }
}

bool SimBuffer::Get(long long x, long long y, long long width, long long height, void* dest,
                    std::string& error) const {
    if (dest == nullptr) {
        error = "no destination";
        return false;
    }
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x > width_ - width || y > height_ - height) {
        error = "region " + std::to_string(x) + "," + std::to_string(y) + " " +
                std::to_string(width) + "x" + std::to_string(height) + " outside the " +
                std::to_string(width_) + "x" + std::to_string(height_) + " buffer";
        return false;
    }
    const std::size_t elementSize = bits_ == 16 ? 2 : 1;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * elementSize;
    auto* out = static_cast<std::uint8_t*>(dest);
    std::lock_guard lock(mutex_);
    for (long long row = 0; row < height; ++row) {
        const std::size_t first =
            static_cast<std::size_t>(y + row) * static_cast<std::size_t>(width_) +
            static_cast<std::size_t>(x);
        const void* source = bits_ == 16 ? static_cast<const void*>(&words_[first])
                                         : static_cast<const void*>(&bytes_[first]);
        std::memcpy(out + static_cast<std::size_t>(row) * rowBytes, source, rowBytes);
    }
    return true;
}

void SimBuffer::Render(const FrameView& view) {
    std::lock_guard lock(mutex_);
    void* pixels = bits_ == 16 ? static_cast<void*>(words_.data()) : bytes_.data();
    RenderFrame(view, width_, height_, bits_, pixels);
}

}  // namespace korvane::mil::sim
