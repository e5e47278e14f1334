#include "mil/sim/RowCopy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace korvane::mil::sim {
namespace {

// Lengths across the vector bodies and every tail, from and to addresses of
// every alignment; the bytes around the destination stay untouched. Every
// copy the processor can run is held to this, CopyRow's own among them.
void ExpectExactCopies(void (*copy)(void*, const void*, std::size_t), const char* name) {
    SCOPED_TRACE(name);
    std::vector<std::uint8_t> source(700);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    for (std::size_t from = 0; from < 4; ++from) {
        for (std::size_t to = 0; to < 4; ++to) {
            for (std::size_t n = 0; n <= 600; ++n) {
                std::vector<std::uint8_t> dest(n + 16, 0xA5);
                copy(dest.data() + to, source.data() + from, n);
                for (std::size_t i = 0; i < dest.size(); ++i) {
                    const bool inside = i >= to && i < to + n;
                    const std::uint8_t want = inside ? source[from + i - to] : 0xA5;
                    ASSERT_EQ(dest[i], want)
                        << "from +" << from << " to +" << to << " length " << n << " byte " << i;
                }
            }
        }
    }
}

TEST(RowCopy, CopiesExactlyTheBytesAskedForAtAnyAlignment) {
    ExpectExactCopies(&CopyRow, "CopyRow");
}

TEST(RowCopy, EveryCopyThisProcessorRunsGivesTheSameBytes) {
    std::size_t count = 0;
    const RowCopyPath* paths = RowCopyPaths(count);
    ASSERT_GE(count, 1u);
    EXPECT_STREQ(paths[0].name, "plain");
    for (std::size_t i = 0; i < count; ++i) {
        ExpectExactCopies(paths[i].copy, paths[i].name);
    }
}

}  // namespace
}  // namespace korvane::mil::sim
