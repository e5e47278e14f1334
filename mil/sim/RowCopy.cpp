#include "mil/sim/RowCopy.h"

#include <cstdint>
#include <cstring>

#include "platform/CpuFeatures.h"

#if KORVANE_HAVE_SSE2
#include <emmintrin.h>
#endif
#if KORVANE_HAVE_AVX2
#include <immintrin.h>
#endif

namespace korvane::mil::sim {
namespace {

// Each copy ends with one vector that overlaps the bytes already copied
// instead of a byte loop, so a row of any length is the vector steps and at
// most one more. Shorter than one vector: the C library's copy.

#if KORVANE_HAVE_SSE2
void CopySse2(void* dest, const void* src, std::size_t n) {
    auto* d = static_cast<std::uint8_t*>(dest);
    const auto* s = static_cast<const std::uint8_t*>(src);
    if (n < 16) {
        std::memcpy(d, s, n);
        return;
    }
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
    for (; i + 16 <= n; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
    }
    if (i < n) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16)));
    }
}
#endif

#if KORVANE_HAVE_AVX2
KORVANE_TARGET_AVX2 void CopyAvx2(void* dest, const void* src, std::size_t n) {
    auto* d = static_cast<std::uint8_t*>(dest);
    const auto* s = static_cast<const std::uint8_t*>(src);
    if (n < 32) {
        std::memcpy(d, s, n);
        return;
    }
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
    for (; i + 32 <= n; i += 32) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i)));
    }
    if (i < n) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + n - 32),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + n - 32)));
    }
}
#endif

void CopyPlain(void* dest, const void* src, std::size_t n) {
    std::memcpy(dest, src, n);
}

struct Paths {
    RowCopyPath list[3];
    std::size_t count = 0;
};

Paths Detect() {
    Paths paths{};
    paths.list[paths.count++] = RowCopyPath{"plain", &CopyPlain};
#if KORVANE_HAVE_SSE2
    paths.list[paths.count++] = RowCopyPath{"sse2", &CopySse2};
#endif
#if KORVANE_HAVE_AVX2
    if (platform::CpuHasAvx2()) {
        paths.list[paths.count++] = RowCopyPath{"avx2", &CopyAvx2};
    }
#endif
    return paths;
}

const Paths& Available() {
    static const Paths paths = Detect();
    return paths;
}

// Chosen once, when the library is loaded: a row read pays one indirect call
// and no check.
const RowCopyPath chosen = Available().list[Available().count - 1];

}  // namespace

void CopyRow(void* dest, const void* src, std::size_t n) {
    chosen.copy(dest, src, n);
}

const RowCopyPath* RowCopyPaths(std::size_t& count) {
    count = Available().count;
    return Available().list;
}

}  // namespace korvane::mil::sim
