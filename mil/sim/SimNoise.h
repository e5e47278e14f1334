#pragma once
// Optional realism, off by default and free when off: additive noise on
// the grabbed pixels and a jitter of the frame time, both drawn from a
// generator seeded by the configured seed and the frame number, so a test
// sees the same noisy frame n every time it runs.
#include <cstdint>

namespace korvane::mil::sim {

struct NoiseConfig {
    int amplitude = 0;  // in grey levels of the sensor's depth; 0 = off
    int jitterMs = 0;   // the frame time varies by up to this either way; 0 = off
    std::uint64_t seed = 1;
};

// A small, fast generator (splitmix64) for one frame's draws.
class FrameRandom {
  public:
    FrameRandom(std::uint64_t seed, long long frame, std::uint64_t stream);
    std::uint64_t Next();
    // Uniform in [-range, range].
    int Symmetric(int range);

  private:
    std::uint64_t state_;
};

// Adds noise of up to amplitude (in the sensor's depth, scaled to the
// buffer's) to each pixel of a width x height image of bufferBits,
// clamped to the values the buffer can show of this sensor.
void AddNoise(const NoiseConfig& noise, long long frame, int sensorBits, int width, int height,
              int bufferBits, void* pixels);

// How long frame n takes: frameTimeMs moved by the jitter, never below 0.
int JitteredFrameTimeMs(const NoiseConfig& noise, int frameTimeMs, long long frame);

}  // namespace korvane::mil::sim
