#include "mil/sim/SimNoise.h"

#include <algorithm>
#include <cstddef>

namespace korvane::mil::sim {
namespace {

constexpr std::uint64_t kPixelStream = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kTimeStream = 0xD1B54A32D192ED03ull;

template <typename Pixel>
void AddTo(Pixel* pixels, std::size_t count, int amplitude, int maxValue, FrameRandom& random) {
    for (std::size_t i = 0; i < count; ++i) {
        const int value = pixels[i] + random.Symmetric(amplitude);
        pixels[i] = static_cast<Pixel>(std::clamp(value, 0, maxValue));
    }
}

}  // namespace

FrameRandom::FrameRandom(std::uint64_t seed, long long frame, std::uint64_t stream)
    : state_(seed * 0xBF58476D1CE4E5B9ull ^ static_cast<std::uint64_t>(frame) * stream) {}

std::uint64_t FrameRandom::Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int FrameRandom::Symmetric(int range) {
    if (range <= 0) {
        return 0;
    }
    const auto span = static_cast<std::uint64_t>(2 * range + 1);
    return static_cast<int>(Next() % span) - range;
}

void AddNoise(const NoiseConfig& noise, long long frame, int sensorBits, int width, int height,
              int bufferBits, void* pixels) {
    if (noise.amplitude <= 0) {
        return;
    }
    FrameRandom random(noise.seed, frame, kPixelStream);
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // A 16-bit sensor read 8 bits deep shows its high byte: its noise shrinks
    // with it. An 8-bit sensor read 16 bits deep keeps its values.
    const bool narrowed = sensorBits == 16 && bufferBits == 8;
    const int amplitude = narrowed ? noise.amplitude >> 8 : noise.amplitude;
    const int maxValue = sensorBits == 16 && bufferBits == 16 ? 65535 : 255;
    if (bufferBits == 16) {
        AddTo(static_cast<std::uint16_t*>(pixels), count, amplitude, maxValue, random);
    } else {
        AddTo(static_cast<std::uint8_t*>(pixels), count, amplitude, maxValue, random);
    }
}

int JitteredFrameTimeMs(const NoiseConfig& noise, int frameTimeMs, long long frame) {
    if (noise.jitterMs <= 0) {
        return frameTimeMs;
    }
    FrameRandom random(noise.seed, frame, kTimeStream);
    return std::max(0, frameTimeMs + random.Symmetric(noise.jitterMs));
}

}  // namespace korvane::mil::sim
