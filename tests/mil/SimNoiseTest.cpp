// Pixel noise and frame-time jitter: bounded, reproducible from the seed,
// different from frame to frame, and nothing at all when off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <vector>

#include "mil/sim/SimNoise.h"
#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using mil::sim::AddNoise;
using mil::sim::JitteredFrameTimeMs;
using mil::sim::NoiseConfig;

std::vector<std::uint8_t> Noisy8(const NoiseConfig& noise, long long frame, std::uint8_t value) {
    std::vector<std::uint8_t> pixels(64 * 4, value);
    AddNoise(noise, frame, 8, 64, 4, 8, pixels.data());
    return pixels;
}

TEST(SimNoise, BoundedReproducibleAndOffWhenZero) {
    NoiseConfig noise;
    EXPECT_EQ(Noisy8(noise, 1, 100), std::vector<std::uint8_t>(256, 100)) << "off by default";

    noise.amplitude = 5;
    noise.seed = 42;
    const auto a = Noisy8(noise, 1, 100);
    std::set<int> seen;
    for (std::uint8_t v : a) {
        EXPECT_GE(v, 95);
        EXPECT_LE(v, 105);
        seen.insert(v);
    }
    EXPECT_EQ(seen.size(), 11u) << "all of -5..5 among 256 draws";
    EXPECT_EQ(Noisy8(noise, 1, 100), a) << "same seed and frame, same noise";
    EXPECT_NE(Noisy8(noise, 2, 100), a) << "the next frame has noise of its own";
    NoiseConfig other = noise;
    other.seed = 43;
    EXPECT_NE(Noisy8(other, 1, 100), a);

    // Clamped to what the buffer can show.
    for (std::uint8_t v : Noisy8(noise, 3, 2)) {
        EXPECT_LE(v, 7);
    }
    for (std::uint8_t v : Noisy8(noise, 3, 253)) {
        EXPECT_GE(v, 248);
    }
}

TEST(SimNoise, AmplitudeFollowsTheBufferDepth) {
    NoiseConfig noise;
    noise.amplitude = 1000;  // in 16-bit grey levels
    std::vector<std::uint16_t> deep(256, 30000);
    AddNoise(noise, 1, 16, 64, 4, 16, deep.data());
    int largest = 0;
    for (std::uint16_t v : deep) {
        largest = std::max(largest, std::abs(v - 30000));
    }
    EXPECT_LE(largest, 1000);
    EXPECT_GT(largest, 500);
    // Read 8 bits deep the same sensor noise is 1000 >> 8 = 3 levels.
    std::vector<std::uint8_t> high(256, 100);
    AddNoise(noise, 1, 16, 64, 4, 8, high.data());
    std::set<int> seen(high.begin(), high.end());
    EXPECT_EQ(*seen.begin(), 97);
    EXPECT_EQ(*seen.rbegin(), 103);
    // An 8-bit sensor read 16 bits deep still ends at 255.
    std::vector<std::uint16_t> wide(256, 254);
    noise.amplitude = 20;
    AddNoise(noise, 1, 8, 64, 4, 16, wide.data());
    for (std::uint16_t v : wide) {
        EXPECT_LE(v, 255);
    }
}

TEST(SimNoise, FrameTimeJitter) {
    NoiseConfig noise;
    EXPECT_EQ(JitteredFrameTimeMs(noise, 10, 1), 10);
    noise.jitterMs = 5;
    std::set<int> seen;
    bool zero = false;
    for (long long n = 1; n <= 200; ++n) {
        const int t = JitteredFrameTimeMs(noise, 10, n);
        EXPECT_GE(t, 5);
        EXPECT_LE(t, 15);
        EXPECT_EQ(JitteredFrameTimeMs(noise, 10, n), t);
        seen.insert(t);
        const int shortFrame = JitteredFrameTimeMs(noise, 2, n);
        EXPECT_GE(shortFrame, 0);
        zero = zero || shortFrame == 0;
    }
    EXPECT_EQ(seen.size(), 11u);
    EXPECT_TRUE(zero) << "a frame time below 0 is 0";
}

using SimNoisyCamera = SimTest;

TEST_F(SimNoisyCamera, SameSeedSameFramesAroundTheRamp) {
    UseConfig(
        "[System0]\nDigitizers=1\n[System0.Digitizer0]\nWidth=32\nHeight=4\nNoiseAmplitude=4\n"
        "NoiseSeed=7\n");
    std::vector<std::vector<unsigned char>> runs;
    for (int run = 0; run < 2; ++run) {
        App();
        const MilId sys = System();
        const MilId dig = Digitizer(sys);
        const MilId buf = Buffer(sys, 32, 4);
        ASSERT_TRUE(Grab(dig, buf)) << ErrorText();
        runs.push_back(Row8(buf, 2, 32));
        mil::sim::ResetSimulator();
    }
    EXPECT_EQ(runs[0], runs[1]) << "a fresh camera with the same seed repeats its frames";
    int changed = 0;
    for (int x = 0; x < 32; ++x) {
        const int diff = static_cast<int>(runs[0][static_cast<std::size_t>(x)]) -
                         static_cast<int>(Ramp8(x, 2, 1));
        EXPECT_LE(std::abs(diff), 4) << x;
        changed += diff != 0 ? 1 : 0;
    }
    EXPECT_GT(changed, 0);
}

}  // namespace
}  // namespace korvane::test
