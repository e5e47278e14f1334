#include "platform/CpuFeatures.h"

#include <gtest/gtest.h>

#if defined(KORVANE_HAVE_AVX2)
#include <cpuid.h>

#include <cstdint>
#endif

namespace korvane::platform {
namespace {

#if defined(KORVANE_HAVE_AVX2)
// The processor's own answer, read the long way: AVX2 in the extended
// feature leaf, and the system saving the SSE and AVX register state.
bool ProcessorAndSystemRunAvx2() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) {
        return false;
    }
    std::uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    if ((lo & 0x6) != 0x6) {
        return false;
    }
    if (__get_cpuid_count(7, 0, &a, &b, &c, &d) == 0) {
        return false;
    }
    return (b & bit_AVX2) != 0;
}

TEST(CpuFeaturesTest, Avx2IsReportedExactlyWhereTheProcessorRunsIt) {
    EXPECT_EQ(CpuHasAvx2(), ProcessorAndSystemRunAvx2());
    EXPECT_EQ(CpuHasAvx2(), CpuHasAvx2());
}
#else
TEST(CpuFeaturesTest, Avx2IsNeverReportedWhereItIsNotCompiledIn) {
    EXPECT_FALSE(CpuHasAvx2());
}
#endif

}  // namespace
}  // namespace korvane::platform
