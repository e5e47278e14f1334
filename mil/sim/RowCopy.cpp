#include "mil/sim/RowCopy.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#define KORVANE_ROWCOPY_SSE2 1
#endif
#if KORVANE_ROWCOPY_SSE2 && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KORVANE_ROWCOPY_AVX2 1
#endif

namespace korvane::mil::sim {
namespace {

#if KORVANE_ROWCOPY_SSE2
std::size_t CopySse2(std::uint8_t* d, const std::uint8_t* s, std::size_t n) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    return i;
}
#endif

#if KORVANE_ROWCOPY_AVX2
__attribute__((target("avx2"))) std::size_t CopyAvx2(std::uint8_t* d, const std::uint8_t* s,
                                                     std::size_t n) {
    std::size_t i = 0;
    for (; i + 128 <= n; i += 128) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 32));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 64));
        const __m256i e = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i + 96));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), a);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 32), b);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 64), c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i + 96), e);
    }
    return i;
}

bool HaveAvx2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return have;
}
#endif

}  // namespace

void CopyRow(void* dest, const void* src, std::size_t n) {
    auto* d = static_cast<std::uint8_t*>(dest);
    const auto* s = static_cast<const std::uint8_t*>(src);
    std::size_t done = 0;
#if KORVANE_ROWCOPY_AVX2
    if (HaveAvx2()) {
        done = CopyAvx2(d, s, n);
    }
#endif
#if KORVANE_ROWCOPY_SSE2
    done += CopySse2(d + done, s + done, n - done);
#endif
    std::memcpy(d + done, s + done, n - done);
}

}  // namespace korvane::mil::sim
