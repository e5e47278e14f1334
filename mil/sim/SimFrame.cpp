#include "mil/sim/SimFrame.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace korvane::mil::sim {

std::uint32_t SensorPixel(const FrameView& view, long long sx, long long sy) {
    if (sx < 0 || sy < 0 || sx >= view.sensorWidth || sy >= view.sensorHeight) {
        return 0;
    }
    if (view.image) {
        return view.image->At(static_cast<int>(sx), static_cast<int>(sy));
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

// Along a sensor row the ramp grows by a fixed step per pixel modulo its
// period, so every row, forward or mirrored, is a run of one precomputed
// sequence: a row is written as copies out of that sequence instead of
// arithmetic per pixel. A pattern holds the buffer values of
// step * j (forward) or -step * j (mirrored) for j from 0, one period plus
// a copy span long, the span a multiple of the period: a copy of up to the
// span from any start below the period stays inside, and the next one
// starts at the same place again.
template <typename Out>
struct RampPattern {
    std::uint32_t period = 0;
    std::uint32_t span = 0;
    std::uint32_t inverse = 0;  // of the step modulo the period
    std::vector<Out> forward;
    std::vector<Out> mirrored;
};

template <typename Out>
RampPattern<Out> MakePattern(int sensorBits, int bufferBits) {
    const bool sixteen = sensorBits == 16;
    RampPattern<Out> p;
    p.period = sixteen ? 65536u : 256u;
    p.span = sixteen ? 65536u : 4096u;
    const std::uint32_t step = sixteen ? 37u : 1u;
    // The inverse of an odd step modulo a power of two, by Newton's
    // iteration (each round doubles the correct low bits).
    std::uint32_t inverse = step;
    for (int i = 0; i < 5; ++i) {
        inverse *= 2u - step * inverse;
    }
    p.inverse = inverse & (p.period - 1);
    const int shift = (sixteen && bufferBits == 8) ? 8 : 0;
    const std::size_t length = static_cast<std::size_t>(p.period) + p.span;
    // Appended rather than resized and assigned: GCC 12 takes the inlined
    // fill of a resize here for an overflow.
    p.forward.reserve(length);
    p.mirrored.reserve(length);
    for (std::size_t j = 0; j < length; ++j) {
        const auto k = static_cast<std::uint32_t>(j);
        p.forward.push_back(static_cast<Out>(((step * k) & (p.period - 1)) >> shift));
        p.mirrored.push_back(static_cast<Out>(((0u - step * k) & (p.period - 1)) >> shift));
    }
    return p;
}

// out[0, n) = pattern[j, j + n) taken modulo the period.
template <typename Out>
void CopyRun(const std::vector<Out>& pattern, std::uint32_t span, std::uint32_t j, long long n,
             Out* out) {
    while (n > 0) {
        const long long chunk = std::min<long long>(n, span);
        std::memcpy(out, pattern.data() + j, static_cast<std::size_t>(chunk) * sizeof(Out));
        out += chunk;
        n -= chunk;
    }
}

// One row of the ramp; pixels that fall outside the sensor read 0.
template <typename Out>
void RenderRampRow(const FrameView& view, const RampPattern<Out>& pattern, long long sy, int width,
                   Out* out) {
    if (sy < 0 || sy >= view.sensorHeight) {
        std::fill(out, out + width, Out{0});
        return;
    }
    const auto y = static_cast<std::uint32_t>(sy);
    const auto n = static_cast<std::uint64_t>(view.frame);
    const bool sixteen = view.sensorBits == 16;
    const std::uint32_t step = sixteen ? 37 : 1;
    const std::uint32_t mask = pattern.period - 1;
    const std::uint32_t base = sixteen ? static_cast<std::uint32_t>(101 * y + 1009 * n)
                                       : static_cast<std::uint32_t>(2 * y + 3 * n);
    // Image columns k in [first, last) show sensor column offsetX + k.
    const long long first = std::clamp(-view.offsetX, 0LL, static_cast<long long>(width));
    const long long last =
        std::clamp(view.sensorWidth - view.offsetX, first, static_cast<long long>(width));
    const std::uint32_t start = base + step * static_cast<std::uint32_t>(view.offsetX);
    // Image column x holds value(x) at pattern index j0 + x: forward
    // value(x) = start + step * x; mirrored x = width - 1 - k, so
    // value(x) = start + step * (width - 1) - step * x.
    long long lo = first;
    long long hi = last;
    std::uint32_t j0 = 0;
    const std::vector<Out>* run = &pattern.forward;
    if (view.mirrorX) {
        lo = width - last;
        hi = width - first;
        const std::uint32_t top = start + step * static_cast<std::uint32_t>(width - 1);
        j0 = ((0u - top) * pattern.inverse) & mask;
        run = &pattern.mirrored;
    } else {
        j0 = (start * pattern.inverse) & mask;
    }
    std::fill(out, out + lo, Out{0});
    CopyRun(*run, pattern.span, static_cast<std::uint32_t>((j0 + lo) & mask), hi - lo, out + lo);
    std::fill(out + hi, out + width, Out{0});
}

template <typename Out>
void RenderRamp(const FrameView& view, const RampPattern<Out>& pattern, int width, int height,
                Out* pixels) {
    for (int y = 0; y < height; ++y) {
        const long long sy = view.offsetY + (view.mirrorY ? height - 1 - y : y);
        RenderRampRow(view, pattern, sy, width,
                      pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    }
}

// Image columns [lo, hi) of a row that show sensor columns; the rest read 0.
struct ColumnSpan {
    long long lo = 0;
    long long hi = 0;
    long long firstSensorColumn = 0;  // shown at lo (forward) or hi - 1 (mirrored)
};

ColumnSpan SpanOf(const FrameView& view, int width) {
    const long long first = std::clamp(-view.offsetX, 0LL, static_cast<long long>(width));
    const long long last =
        std::clamp(view.sensorWidth - view.offsetX, first, static_cast<long long>(width));
    ColumnSpan span;
    span.firstSensorColumn = view.offsetX + first;
    if (view.mirrorX) {
        span.lo = width - last;
        span.hi = width - first;
    } else {
        span.lo = first;
        span.hi = last;
    }
    return span;
}

// One row of a recorded image: a copy (or a reversed copy) of the sensor
// row, narrowed to the buffer's depth on the way.
template <typename In, typename Out>
void RenderImageRow(const FrameView& view, const In* sensor, long long sy, int width, int shift,
                    Out* out) {
    if (sy < 0 || sy >= view.sensorHeight) {
        std::fill(out, out + width, Out{0});
        return;
    }
    const ColumnSpan span = SpanOf(view, width);
    const In* in = sensor +
                   static_cast<std::size_t>(sy) * static_cast<std::size_t>(view.sensorWidth) +
                   span.firstSensorColumn;
    const long long n = span.hi - span.lo;
    std::fill(out, out + span.lo, Out{0});
    if (view.mirrorX) {
        Out* end = out + span.hi;
        for (long long i = 0; i < n; ++i) {
            *--end = static_cast<Out>(in[i] >> shift);
        }
    } else if constexpr (sizeof(In) == sizeof(Out)) {
        std::memcpy(out + span.lo, in, static_cast<std::size_t>(n) * sizeof(Out));
    } else {
        Out* to = out + span.lo;
        for (long long i = 0; i < n; ++i) {
            to[i] = static_cast<Out>(in[i] >> shift);
        }
    }
    std::fill(out + span.hi, out + width, Out{0});
}

template <typename In, typename Out>
void RenderImage(const FrameView& view, const In* sensor, int width, int height, int shift,
                 Out* pixels) {
    for (int y = 0; y < height; ++y) {
        const long long sy = view.offsetY + (view.mirrorY ? height - 1 - y : y);
        RenderImageRow(view, sensor, sy, width, shift,
                       pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    }
}

}  // namespace

// The patterns of one pair of depths; only the one of the buffer's element
// type is filled.
struct RampTables {
    int sensorBits = 8;
    int bufferBits = 8;
    RampPattern<std::uint8_t> bytes;
    RampPattern<std::uint16_t> words;
};

std::shared_ptr<const RampTables> MakeRampTables(int sensorBits, int bufferBits) {
    auto tables = std::make_shared<RampTables>();
    tables->sensorBits = sensorBits == 16 ? 16 : 8;
    tables->bufferBits = bufferBits == 16 ? 16 : 8;
    if (tables->bufferBits == 16) {
        tables->words = MakePattern<std::uint16_t>(tables->sensorBits, tables->bufferBits);
    } else {
        tables->bytes = MakePattern<std::uint8_t>(tables->sensorBits, tables->bufferBits);
    }
    return tables;
}

void RenderFrame(const FrameView& view, int width, int height, int bufferBits, void* pixels) {
    if (view.image) {
        const SensorImage& image = *view.image;
        if (image.bits == 16 && bufferBits == 16) {
            RenderImage(view, image.words.data(), width, height, 0,
                        static_cast<std::uint16_t*>(pixels));
        } else if (image.bits == 16) {
            RenderImage(view, image.words.data(), width, height, 8,
                        static_cast<std::uint8_t*>(pixels));
        } else if (bufferBits == 16) {
            RenderImage(view, image.bytes.data(), width, height, 0,
                        static_cast<std::uint16_t*>(pixels));
        } else {
            RenderImage(view, image.bytes.data(), width, height, 0,
                        static_cast<std::uint8_t*>(pixels));
        }
        return;
    }
    std::shared_ptr<const RampTables> tables = view.ramp;
    if (!tables || tables->sensorBits != view.sensorBits || tables->bufferBits != bufferBits) {
        tables = MakeRampTables(view.sensorBits, bufferBits);
    }
    if (bufferBits == 16) {
        RenderRamp(view, tables->words, width, height, static_cast<std::uint16_t*>(pixels));
    } else {
        RenderRamp(view, tables->bytes, width, height, static_cast<std::uint8_t*>(pixels));
    }
}

}  // namespace korvane::mil::sim
