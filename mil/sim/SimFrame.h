#pragma once
// The simulated sensor's picture: a ramp that moves with every frame, so
// that tests can tell frames apart and recompute any pixel.
//   8-bit sensor:  (sx + 2*sy + 3*n) mod 256
//   16-bit sensor: (37*sx + 101*sy + 1009*n) mod 65536
// for sensor pixel (sx, sy) of frame n (the digitizer's grabs counted from
// 1). The grabbed image pixel (x, y) is the sensor pixel at
// (offsetX + x', offsetY + y'), where x' is x, or width - 1 - x when the
// X direction is mirrored (and y' likewise); pixels outside the sensor are 0.
#include <cstdint>
#include <memory>

#include "mil/sim/SensorImage.h"
#include "mil/sim/SimNoise.h"

namespace korvane::mil::sim {

// The sequences a ramp row is copied from, for one sensor and buffer depth
// (up to 512 KiB, built in well under a millisecond). Whoever renders holds
// them, a digitizer from its first frame on. Nothing of them is static or
// per thread: a host may exit without finalize while a camera grabs, and
// the exit handlers would destroy static tables under the grab (or, with
// MinGW, wait for ever on the key of per-thread ones).
struct RampTables;
std::shared_ptr<const RampTables> MakeRampTables(int sensorBits, int bufferBits);

struct FrameView {
    int sensorWidth = 0;
    int sensorHeight = 0;
    int sensorBits = 8;
    long long offsetX = 0;
    long long offsetY = 0;
    bool mirrorX = false;
    bool mirrorY = false;
    long long frame = 1;
    // A recorded image of the sensor's size and depth shown instead of the
    // ramp; offsets, mirrors and the buffer depth apply to it the same way.
    std::shared_ptr<const SensorImage> image;
    NoiseConfig noise;  // added on top of the picture when its amplitude is not 0
    // The ramp's tables; when null or of other depths RenderFrame builds
    // them for this frame alone.
    std::shared_ptr<const RampTables> ramp;
};

// The sensor's value at (sx, sy) in its own depth (the ramp's or the
// recorded image's); 0 outside the sensor.
std::uint32_t SensorPixel(const FrameView& view, long long sx, long long sy);

// The value stored in a buffer of bufferBits for a sensor value: a 16-bit
// value into an 8-bit buffer keeps its high byte, an 8-bit value into a
// 16-bit buffer keeps its value.
std::uint32_t ToBufferDepth(std::uint32_t value, int sensorBits, int bufferBits);

// Fills a width x height image of bufferBits (8: one byte per pixel, 16:
// one native-endian std::uint16_t per pixel), rows back to back.
void RenderFrame(const FrameView& view, int width, int height, int bufferBits, void* pixels);

}  // namespace korvane::mil::sim
