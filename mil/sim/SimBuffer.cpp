#include "mil/sim/SimBuffer.h"

#include <algorithm>

#include "mil/sim/RowCopy.h"

namespace korvane::mil::sim {
namespace {

// How much of the next row a read requests ahead: enough to start the
// processor's own prefetching on it, which fetches the rest; requesting all
// of a long row made it slower.
constexpr std::size_t kReadAhead = 1024;

void ReadAhead(const std::uint8_t* bytes, std::size_t n) {
#if defined(__GNUC__) || defined(__clang__)
    for (std::size_t i = 0; i < n; i += 64) {
        __builtin_prefetch(bytes + i);
    }
#else
    (void)bytes;
    (void)n;
#endif
}

}  // namespace

SimBuffer::SimBuffer(MilId systemId, int width, int height, int bits)
    : systemId_(systemId),
      width_(width),
      height_(height),
      bits_(bits),
      elementShift_(bits == 16 ? 1 : 0) {
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (bits == 16) {
        words_.assign(count, 0);
        pixels_ = reinterpret_cast<std::uint8_t*>(words_.data());
    } else {
        bytes_.assign(count, 0);
        pixels_ = bytes_.data();
    }
}

bool SimBuffer::Get(long long x, long long y, long long width, long long height, void* dest) const {
    if (dest == nullptr || width <= 0 || height <= 0 || x < 0 || y < 0 || x > width_ - width ||
        y > height_ - height) {
        return false;
    }
    // A row read is one call: the checks above, the lock, one copy per row
    // and the read-ahead below are all it costs.
    const std::size_t rowBytes = static_cast<std::size_t>(width) << elementShift_;
    const std::size_t stride = static_cast<std::size_t>(width_) << elementShift_;
    const std::uint8_t* source =
        pixels_ + ((static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                    static_cast<std::size_t>(x))
                   << elementShift_);
    auto* out = static_cast<std::uint8_t*>(dest);
    std::lock_guard lock(mutex_);
    for (long long row = 0; row < height; ++row) {
        CopyRow(out, source, rowBytes);
        out += rowBytes;
        source += stride;
    }
    // Frames are read row after row, one call each. The start of the same
    // span of the next row is requested from memory now, so that it arrives
    // while the caller converts this row and calls again; on its own the
    // processor starts fetching only when the next call reads it.
    if (y + height < height_) {
        ReadAhead(source, std::min(rowBytes, kReadAhead));
    }
    return true;
}

std::string SimBuffer::Refusal(long long x, long long y, long long width, long long height,
                               const void* dest) const {
    if (dest == nullptr) {
        return "no destination";
    }
    if (width <= 0 || height <= 0 || x < 0 || y < 0 || x > width_ - width || y > height_ - height) {
        return "region " + std::to_string(x) + "," + std::to_string(y) + " " +
               std::to_string(width) + "x" + std::to_string(height) + " outside the " +
               std::to_string(width_) + "x" + std::to_string(height_) + " buffer";
    }
    return {};
}

void SimBuffer::Render(const FrameView& view) {
    std::lock_guard lock(mutex_);
    RenderFrame(view, width_, height_, bits_, pixels_);
    AddNoise(view.noise, view.frame, view.sensorBits, width_, height_, bits_, pixels_);
}

}  // namespace korvane::mil::sim
