// Every pixel of rendered ramp frames against the formula written out
// independently, for each depth pair, region, offset and direction: a
// frame written from precomputed runs must equal the per-pixel arithmetic
// everywhere, including at run boundaries, the sensor's edges and rows
// wider than one run, whichever tables the view carries.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "mil/sim/SimFrame.h"
#include "tests/mil/SimTestSupport.h"

namespace korvane::test {
namespace {

using mil::sim::FrameView;

struct Case {
    int sensorWidth;
    int sensorHeight;
    long long offsetX;
    long long offsetY;
    int width;
    int height;
};

// What image pixel (x, y) must hold, from the formula alone.
unsigned Expected(const FrameView& v, int width, int height, int bufferBits, int x, int y) {
    const long long sx = v.offsetX + (v.mirrorX ? width - 1 - x : x);
    const long long sy = v.offsetY + (v.mirrorY ? height - 1 - y : y);
    if (sx < 0 || sy < 0 || sx >= v.sensorWidth || sy >= v.sensorHeight) {
        return 0;
    }
    if (v.sensorBits == 8) {
        return Ramp8(sx, sy, v.frame % 256);
    }
    const unsigned value = Ramp16(sx, sy, v.frame % 65536);
    return bufferBits == 8 ? value >> 8 : value;
}

class SimRamp : public ::testing::TestWithParam<std::tuple<int, int, bool, bool>> {};

TEST_P(SimRamp, EveryPixelFollowsTheFormula) {
    const auto [sensorBits, bufferBits, mirrorX, mirrorY] = GetParam();
    const Case cases[] = {
        {64, 48, 0, 0, 64, 48},         // the whole sensor
        {64, 48, 5, 3, 40, 30},         // a region inside
        {64, 48, 50, 40, 30, 20},       // a region over the right and bottom edges
        {64, 48, 70, 0, 16, 4},         // entirely right of the sensor
        {5000, 3, 0, 0, 5000, 3},       // wider than an 8-bit run
        {5000, 3, 4093, 1, 900, 2},     // a region starting just before a run boundary
        {300, 2, 0, 0, 301, 3},         // one column and row beyond
        {70000 / 5, 1, 9, 0, 13990, 1}  // a 16-bit row that passes its period
    };
    // A view may carry the ramp's tables, of its own depths or (a mistake
    // the renderer must not follow) of others, or none.
    const std::shared_ptr<const mil::sim::RampTables> tables[] = {
        nullptr, mil::sim::MakeRampTables(sensorBits, bufferBits),
        mil::sim::MakeRampTables(24 - sensorBits, 24 - bufferBits)};
    int next = 0;
    for (long long frame : {1LL, 2LL, 85LL, 65537LL, 0x7FFFFFFFFFFFFFFFLL}) {
        for (const Case& c : cases) {
            FrameView v;
            v.sensorWidth = c.sensorWidth;
            v.sensorHeight = c.sensorHeight;
            v.sensorBits = sensorBits;
            v.offsetX = c.offsetX;
            v.offsetY = c.offsetY;
            v.mirrorX = mirrorX;
            v.mirrorY = mirrorY;
            v.frame = frame;
            v.ramp = tables[next++ % 3];
            const std::size_t n =
                static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height);
            std::vector<std::uint16_t> words(n, 0xABCD);
            std::vector<std::uint8_t> bytes(n, 0xAB);
            void* pixels = bufferBits == 16 ? static_cast<void*>(words.data()) : bytes.data();
            mil::sim::RenderFrame(v, c.width, c.height, bufferBits, pixels);
            int wrong = 0;
            for (int y = 0; y < c.height && wrong < 5; ++y) {
                for (int x = 0; x < c.width && wrong < 5; ++x) {
                    const std::size_t i = static_cast<std::size_t>(y) * c.width + x;
                    const unsigned got = bufferBits == 16 ? words[i] : bytes[i];
                    const unsigned want = Expected(v, c.width, c.height, bufferBits, x, y);
                    if (got != want) {
                        ADD_FAILURE() << "frame " << frame << " sensor " << c.sensorWidth << "x"
                                      << c.sensorHeight << " offset " << c.offsetX << ","
                                      << c.offsetY << " size " << c.width << "x" << c.height
                                      << " tables " << (next - 1) % 3 << " pixel " << x << "," << y
                                      << ": " << got << " not " << want;
                        ++wrong;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DepthsAndDirections, SimRamp,
                         ::testing::Combine(::testing::Values(8, 16), ::testing::Values(8, 16),
                                            ::testing::Bool(), ::testing::Bool()));

}  // namespace
}  // namespace korvane::test
