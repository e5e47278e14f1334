#include "camera/PixelConvert.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace korvane::pixels {
namespace {

std::vector<std::uint16_t> Random16(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint16_t> v(n);
    for (auto& x : v) {
        x = static_cast<std::uint16_t>(rng());
    }
    // Make sure the extremes are present.
    v[0] = 0;
    v[1] = 0xFFFF;
    v[2] = 0x8000;
    v[3] = 0x7FFF;
    return v;
}

TEST(PixelConvert, KnownValues) {
    EXPECT_EQ(ShiftSaturate(0x0FF0, 4), 255);
    EXPECT_EQ(ShiftSaturate(0x0800, 4), 128);
    EXPECT_EQ(ShiftSaturate(0xFFFF, 15), 1);
    EXPECT_EQ(ShiftSaturate(0xFFFF, 16), 0);
    EXPECT_EQ(ShiftSaturate(0xFFFF, 100), 0);
    std::uint16_t src[1] = {0x1234};
    std::uint8_t out[1] = {0};
    LowByte16(src, out, 1);
    EXPECT_EQ(out[0], 0x34);
}

// Every length from 0 to 70 covers the vector body and every tail length.
TEST(PixelConvert, VectorPathsMatchScalarForEveryShiftAndLength) {
    const auto src = Random16(70 + 3, 7);
    for (int shift = 0; shift <= 17; ++shift) {
        for (std::size_t n = 0; n <= 70; ++n) {
            std::vector<std::uint8_t> fast(n + 8, 0xEE);
            std::vector<std::uint8_t> slow(n + 8, 0xEE);
            ShiftSaturate16(src.data() + 3, fast.data(), n, shift);
            scalar::ShiftSaturate16(src.data() + 3, slow.data(), n, shift);
            ASSERT_EQ(fast, slow) << "shift " << shift << " length " << n;

            std::vector<std::uint8_t> a(n + 8);
            std::vector<std::uint8_t> b(n + 8);
            for (std::size_t i = 0; i < a.size(); ++i) {
                a[i] = b[i] = static_cast<std::uint8_t>(src[i % src.size()] >> 3);
            }
            ShiftInPlace8(a.data() + 1, n, shift);
            scalar::ShiftInPlace8(b.data() + 1, n, shift);
            ASSERT_EQ(a, b) << "8-bit shift " << shift << " length " << n;
        }
    }
    for (std::size_t n = 0; n <= 70; ++n) {
        std::vector<std::uint8_t> fast(n + 8, 0xEE);
        std::vector<std::uint8_t> slow(n + 8, 0xEE);
        LowByte16(src.data() + 1, fast.data(), n);
        scalar::LowByte16(src.data() + 1, slow.data(), n);
        ASSERT_EQ(fast, slow) << "length " << n;
    }
}

// Each vector set the processor can run (SSE2 and, where present, AVX2)
// against the scalar one, over lengths that cover the 16- and 32-pixel
// bodies and every tail, at odd addresses.
TEST(PixelConvert, EveryVectorSetMatchesScalar) {
    std::size_t count = 0;
    const ConvertPath* paths = VectorPaths(count);
#if defined(__SSE2__)
    ASSERT_GE(count, 1U) << "an SSE2 build offers at least the SSE2 set";
#endif
    const auto src = Random16(140 + 3, 13);
    for (std::size_t p = 0; p < count; ++p) {
        const ConvertPath& path = paths[p];
        for (int shift = -1; shift <= 17; ++shift) {
            for (std::size_t n = 0; n <= 140; ++n) {
                std::vector<std::uint8_t> fast(n + 8, 0xEE);
                std::vector<std::uint8_t> slow(n + 8, 0xEE);
                path.shiftSaturate16(src.data() + 3, fast.data() + 1, n, shift);
                scalar::ShiftSaturate16(src.data() + 3, slow.data() + 1, n, shift);
                ASSERT_EQ(fast, slow) << path.name << " shift " << shift << " length " << n;

                std::vector<std::uint8_t> a(n + 8);
                for (std::size_t i = 0; i < a.size(); ++i) {
                    a[i] = static_cast<std::uint8_t>(src[i % src.size()] >> 5);
                }
                std::vector<std::uint8_t> b = a;
                path.shiftInPlace8(a.data() + 1, n, shift);
                scalar::ShiftInPlace8(b.data() + 1, n, shift);
                ASSERT_EQ(a, b) << path.name << " 8-bit shift " << shift << " length " << n;
            }
        }
        for (std::size_t n = 0; n <= 140; ++n) {
            std::vector<std::uint8_t> fast(n + 8, 0xEE);
            std::vector<std::uint8_t> slow(n + 8, 0xEE);
            path.lowByte16(src.data() + 1, fast.data() + 3, n);
            scalar::LowByte16(src.data() + 1, slow.data() + 3, n);
            ASSERT_EQ(fast, slow) << path.name << " length " << n;
        }
    }
}

TEST(PixelConvert, LookupsUseTheTable) {
    std::vector<std::uint8_t> table(0x10000);
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    }
    const auto src = Random16(37, 11);
    std::vector<std::uint8_t> out(37);
    Lookup16(src.data(), out.data(), src.size(), table.data());
    for (std::size_t i = 0; i < src.size(); ++i) {
        ASSERT_EQ(out[i], table[src[i]]);
    }
    std::vector<std::uint8_t> pixels = {0, 1, 2, 255, 128};
    LookupInPlace8(pixels.data(), pixels.size(), table.data());
    EXPECT_EQ(pixels,
              (std::vector<std::uint8_t>{3, 10, 17, static_cast<std::uint8_t>((255 * 7 + 3) & 0xFF),
                                         static_cast<std::uint8_t>((128 * 7 + 3) & 0xFF)}));
}

}  // namespace
}  // namespace korvane::pixels
